// The capture-and-draw thread applies frames and renders through the draw hook while
// the window thread resizes, zooms, changes the font and paints, and a third thread
// changes the display settings. Run under ThreadSanitizer (-DHOPSCOPE_TSAN=ON
// -DHOPSCOPE_GUI=OFF) this shows that the image, the drawing library and the hosts'
// display fields are never touched by two threads at once.
#include <atomic>
#include <thread>

#include "display/map_fixture.h"
#include "display/statistics.h"
#include "display/zoom_overview.h"
#include "model/netif.h"
#include "support/pcap_writer.h"

namespace {

std::atomic<int> g_repaint_requests{0};
void note_repaint(void*) { g_repaint_requests.fetch_add(1); }

std::string mac(int i) {
    char text[18];
    std::snprintf(text, sizeof text, "02:00:00:00:%02X:%02X", (i >> 8) & 0xff, i & 0xff);
    return text;
}

}  // namespace

TEST_F(MapTest, RenderWhileTheWindowResizesZoomsAndPaints) {
    constexpr int kPasses = 150;
    NetView view(640, 480);
    view.resize(400, 300);
    g_repaint_requests = 0;
    display_set_repaint(note_repaint, nullptr);

    std::atomic<bool> done{false};
    std::thread capture([&] {
        for (int pass = 0; pass < kPasses; ++pass) {
            {
                std::unique_lock<std::shared_mutex> model(model_lock());
                for (int f = 0; f < 20; ++f) {
                    const int src = (pass * 7 + f) % 60, dst = (pass + f * 13) % 60;
                    const auto bytes = testsupport::ether_frame(mac(dst), mac(src), 0x0800, 46 + f * 50);
                    hscap::FrameHeader header{1000 + pass / 10, (pass % 10) * 100000 + f,
                                              uint32_t(bytes.size()), uint32_t(bytes.size())};
                    netif_frame(net, &header, bytes.data());
                }
                net_refresh(net);
            }
            display_draw(net);
        }
        done = true;
    });
    std::thread window([&] {
        int turn = 0;
        QImage screen(800, 600, QImage::Format_RGB32);
        while (!done.load()) {
            ++turn;
            const int w = 200 + turn % 300, h = 150 + turn % 200;
            view.resize(turn % 17 == 0 ? 0 : w, h);  // now and then minimised
            if (turn % 3 == 0) view.post_zoom({turn % 40, turn % 30, 60 + turn % 40, 70 + turn % 30});
            if (turn % 5 == 0) view.post_font_change();
            view.paint([&](const QImage& image) {
                for (int y = 0; y < std::min(h, image.height()); y += 7)
                    for (int x = 0; x < std::min(w, image.width()); x += 7) screen.setPixel(x, y, image.pixel(x, y));
            });
        }
    });
    std::thread menus([&] {
        int turn = 0;
        while (!done.load()) {
            ++turn;
            map_settings().dynamic = turn % 2;
            map_settings().bytes = turn % 3 != 0;
            map_settings().show_name = turn % 4 != 0;
            map_settings().show_manufacturers = turn % 5 == 0;
            map_settings().link_scale = turn % 7 == 0 ? 0.0 : 0.6;
            model_settings().font_scale.store(turn % 2 ? 0.5f : 0.75f);
            std::this_thread::yield();
        }
    });
    capture.join();
    window.join();
    menus.join();
    EXPECT_EQ(g_repaint_requests.load(), kPasses);
    // One more frame at a real size, in case the last one fell on a minimised window.
    view.resize(400, 300);
    display_draw(net);
    display_set_repaint(nullptr, nullptr);

    EXPECT_EQ(net->host_count, 60);
    // Every host has its ring place from the last pass.
    int placed = 0;
    list_foreach(net->host_list, [&](void* item) {
        const Host* h = static_cast<const Host*>(item);
        if (std::abs(std::hypot(h->map_x, h->map_y) - 0.8) < 1e-9) ++placed;
    });
    EXPECT_EQ(placed, 60);
}

// The render pass marks nodes on the Zoom Box overview while the window thread takes
// frames from it and now and then gives it a new size; the capture pass publishes the
// Statistics figures while the window thread takes them.
TEST_F(MapTest, OverviewAndStatisticsWhileTheCaptureThreadRenders) {
    map_settings().dynamic = 0;  // every host drawn, and marked, every pass
    for (int i = 0; i < 40; ++i) add_host(mac(i), 1024.0 * (i + 1));
    NetView view(320, 240);
    view.resize(320, 240);
    display_set_repaint(note_repaint, nullptr);
    zoom_overview_resize(111, 101);
    zoom_overview_install(true);
    statistics_reset();
    const unsigned long marks = zoom_overview_marks();
    std::atomic<bool> done{false};
    std::thread capture([&] {
        for (int pass = 0; pass < 120; ++pass) {
            net->load = uint32_t(pass % 50);
            (void)statistics_pass(net);
            display_draw(net);
        }
        done = true;
    });
    QImage shown;
    StatisticsValues v;
    int taken = 0;
    for (int turn = 0; !done.load(); ++turn) {
        zoom_overview_take(&shown);
        if (turn % 50 == 49) zoom_overview_resize(100 + turn % 20, 90 + turn % 30);
        if (statistics_take(&v)) ++taken;
        std::this_thread::yield();
    }
    capture.join();
    zoom_overview_install(false);
    EXPECT_GE(zoom_overview_marks(), marks + 40 * 120);
    EXPECT_GT(taken, 0);
    EXPECT_EQ(net->peak_load, 49);
}
