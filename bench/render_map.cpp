// One render_map of a busy segment at 1280 x 1024: N active hosts and 2N active links
// with labels, focus colours and widths from 1 to the maximum, everything drawn
// (as in dynamic mode when every host and link is active). Timed with the drawing lock,
// whose release finishes the image, as on the capture-and-draw thread. Compare with the
// capture pass itself: hopscope-replay --timing (255 frames a pass).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "display/display.h"
#include "display/netview.h"
#include "graphics/graphics.h"
#include "graphics/hershey.h"
#include "model/net.h"

namespace {

NetView* g_view = nullptr;

void open_library() {
    static bool open = false;
    if (open) return;
    open = true;
    setdevice("mswin");
    opendevice();
    ortho2(-1.3, 1.3, -1.3, 1.3);
    hfontdir(HOPSCOPE_DATA_DIR);
    hloadfont("font.bin");
    htextsize(0.03f, 0.03f);
    model_set_text_width(htextwidth);
    display_default_colours();
    netaddr_startup();
    net_list_create();
    g_view = new NetView(1280, 1024);
    g_view->resize(1280, 1024);
}

Network* make_network(int hosts) {
    Network* net = net_create("bench");
    std::vector<Host*> h;
    for (int i = 0; i < hosts; ++i) {
        NetAddress a;
        netaddr_init(&a, kEtherType);
        char text[18];
        std::snprintf(text, sizeof text, "02:00:00:%02X:%02X:%02X", i >> 16 & 0xff, i >> 8 & 0xff, i & 0xff);
        netaddr_parse(&a, text);
        Host* host = host_create(net, &a);
        host->byte_rate.mean = 200 + (i * 7919) % 40000;
        h.push_back(host);
    }
    for (int i = 0; i < 2 * hosts; ++i) {
        Link* l = link_create(h[i % hosts], h[(i * 31 + 17) % hosts]);
        l->byte_rate.mean = 500 + (i * 104729) % 60000;
        l->colour_index = i % 9 == 0 ? -1 : i % 32;
    }
    return net;
}

void BM_RenderMap(benchmark::State& state) {
    open_library();
    map_settings().dynamic = 0;  // every host and link drawn, pass after pass
    Network* net = make_network(int(state.range(0)));
    for (auto _ : state) {
        std::unique_lock<std::shared_mutex> model(model_lock());
        GraphicsLock lock;
        render_map(net);
    }
    state.counters["hosts"] = double(state.range(0));
    state.counters["links"] = double(2 * state.range(0));
}
BENCHMARK(BM_RenderMap)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
