// One render_map of a busy segment at 1280 x 1024: N active hosts and 2N active links
// with labels, focus colours and widths from 1 to the maximum, everything drawn
// (as in dynamic mode when every host and link is active). Timed with the drawing lock,
// whose release finishes the image, as on the capture-and-draw thread. Compare with the
// capture pass itself: hopscope-replay --timing (255 frames a pass). The drawing cache is
// on, as in the program; BM_RenderMap/.../0 draws every frame by its calls alone.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <vector>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "display/display.h"
#include "display/netview.h"
#include "graphics/graphics.h"
#include "graphics/hershey.h"
#include "model/engine.h"
#include "model/net.h"
#include "model/netif.h"

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
    engine_reset();
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

// A network of its own for a capture-and-draw benchmark, made current.
Network* bench_network(const char* name) {
    Network* n = net_create(name);
    net_list_add(n);
    net_set_current(n);
    return n;
}

// `count` 60-byte IPv4 frames from station i % 1000 to station dst_of(i), the stations'
// addresses 02:00:00:<group>:<hi>:<lo>.
std::vector<std::vector<uint8_t>> station_frames(int count, uint8_t group, int (*dst_of)(int)) {
    std::vector<std::vector<uint8_t>> f;
    for (int i = 0; i < count; ++i) {
        const int src = i % 1000, dst = dst_of(i);
        std::vector<uint8_t> b(60, 0);
        const uint8_t d[6] = {2, 0, 0, group, uint8_t(dst >> 8), uint8_t(dst)};
        const uint8_t s[6] = {2, 0, 0, group, uint8_t(src >> 8), uint8_t(src)};
        std::copy(d, d + 6, b.begin());
        std::copy(s, s + 6, b.begin() + 6);
        b[12] = 0x08;
        f.push_back(b);
    }
    return f;
}

// The capture-and-draw thread's loop: 255 frames `step_us` apart through the per-frame
// handler and the refresh under the model lock, then the draw hook. Returns the frames
// delivered.
int64_t capture_and_draw(benchmark::State& state, Network* net, const std::vector<std::vector<uint8_t>>& frames,
                         int64_t* t_us, int step_us) {
    size_t next = 0;
    int64_t delivered = 0;
    for (auto _ : state) {
        {
            std::unique_lock<std::shared_mutex> model(model_lock());
            for (int i = 0; i < 255; ++i, ++next, *t_us += step_us) {
                const auto& f = frames[next % frames.size()];
                hscap::FrameHeader h{int32_t(*t_us / 1000000), int32_t(*t_us % 1000000), 60, 60};
                netif_frame(net, &h, f.data());
            }
            net_refresh(net);
        }
        display_draw(net);
        delivered += 255;
    }
    return delivered;
}

// The capture-and-draw thread's loop on 1000 busy hosts and 2000 links at 50 000
// frames a second of frame time, with render pacing on (argument 1) or off (0). Items
// per second is the frame rate the thread sustains.
void BM_CaptureWithMap(benchmark::State& state) {
    open_library();
    map_settings().dynamic = 1;
    static Network* net = bench_network("busy");
    static const auto frames = station_frames(2000, 0, [](int i) { return (i * 31 + 17) % 1000; });
    static int64_t t_us = 1000000000000;
    display_set_repaint([](void*) {}, nullptr);
    display_set_draw_pacing(state.range(0) != 0);
    state.SetItemsProcessed(capture_and_draw(state, net, frames, &t_us, 20));
    display_set_repaint(nullptr, nullptr);
}
BENCHMARK(BM_CaptureWithMap)->Arg(0)->Arg(1)->UseRealTime()->MinTime(3.0)->Unit(benchmark::kMicrosecond);

// The capture-and-draw loop on a campus segment: 1000 busy hosts and 20 000 links, the
// frames 1 us apart (a million frames a second of frame time, so every host and link
// stays active and every rate moves from pass to pass), with the program's render
// pacing. In one run: frames a second the loop sustains (items per second) and renders
// a second.
void BM_CaptureAndDraw(benchmark::State& state) {
    open_library();
    map_settings().dynamic = 1;
    static Network* net = bench_network("campus");
    // 20 distinct destinations for each of the 1000 sources.
    static const auto frames = station_frames(20000, 1, [](int i) { return (i / 1000 * 37 + i % 1000 * 13 + 1) % 1000; });
    static int64_t t_us = 2000000000000;
    display_set_repaint([](void*) {}, nullptr);
    display_set_draw_pacing(true);
    const unsigned long draws_before = display_draw_count();
    state.SetItemsProcessed(capture_and_draw(state, net, frames, &t_us, 1));
    state.counters["renders_per_second"] =
        benchmark::Counter(double(display_draw_count() - draws_before), benchmark::Counter::kIsRate);
    state.counters["links"] = double(net->link_count);
    display_set_repaint(nullptr, nullptr);
}
BENCHMARK(BM_CaptureAndDraw)->UseRealTime()->MinTime(5.0)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
