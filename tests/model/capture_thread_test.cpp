// The capture-and-draw thread against readers on other threads, a handle swap and the
// stop event. Meant to run under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <shared_mutex>
#include <thread>

#include "model/model_fixture.h"

using namespace std::chrono_literals;

namespace {

std::string looping_capture() {
    std::vector<testsupport::Frame> frames;
    const char* hosts[] = {A, B, C, BCAST};
    for (int i = 0; i < 2000; ++i)
        frames.push_back({100 + i / 1000, (i % 1000) * 1000, testsupport::ether_frame(hosts[(i + 1) % 4], hosts[i % 3], 0x0800, 50 + i % 400), 0});
    std::string path = testsupport::temp_path("thread.pcap");
    testsupport::write_pcap(path, frames);
    return path;
}

hscap::Handle* open_source(const std::string& name) {
    char err[hscap::kErrbufSize] = {};
    return hscap::pcap_open_live(name.c_str(), 54, 1, 600, err);
}

std::atomic<int> g_draws{0};

}  // namespace

TEST_F(ModelTest, CaptureThreadRunsBesideReadersAndStopsOnTheStopEvent) {
    hscap::reset_sources();
    char err[hscap::kErrbufSize] = {};
    const std::string path = looping_capture();
    ASSERT_EQ(hscap::add_capture_file(path.c_str(), hscap::Pace::Fastest, true, err), 0);
    std::string name = hscap::pcap_if_name(hscap::pcap_lookupdevs(err)[0]);

    CaptureContext ctx;
    ctx.handle = open_source(name);
    ASSERT_NE(ctx.handle, nullptr);
    g_draws = 0;
    ctx.hooks.draw = [](Network* n) {
        // The renderer reads the model like any other reader.
        std::shared_lock<std::shared_mutex> lock(model_lock());
        (void)n->host_count;
        ++g_draws;
    };
    std::thread capture(capture_thread, &ctx);

    // Readers: what the list windows, reports and panels do (shared lock), and the
    // top-N windows' re-sort (exclusive lock, since it moves items).
    std::atomic<bool> done{false};
    std::atomic<uint64_t> seen{0};
    auto resorter = [&] {
        while (!done) {
            std::unique_lock<std::shared_mutex> lock(model_lock());
            topn_resort(net->top_links);
        }
    };
    std::thread r1([&] {
        while (!done) {
            std::shared_lock<std::shared_mutex> lock(model_lock());
            uint64_t sum = 0;
            list_foreach(net->host_list, [&](void* h) { sum += static_cast<Host*>(h)->total_frames; });
            seen = sum + net->load;
        }
    });
    std::thread r2(resorter);

    // Let it run, then swap in a new handle while passes go on, as an adapter change does.
    while (ctx.passes < 20) std::this_thread::sleep_for(1ms);
    hscap::Handle* old = capture_swap_handle(&ctx, open_source(name));
    hscap::pcap_close(old);
    const uint64_t after_swap = ctx.passes;
    while (ctx.passes < after_swap + 20) std::this_thread::sleep_for(1ms);
    // On a busy machine the reader may not have had its turn yet: wait until it has
    // seen traffic, so that its figure below says something.
    while (seen.load() == 0) std::this_thread::sleep_for(1ms);

    capture_signal_stop(&ctx);
    capture.join();  // returns once the stop event is seen
    done = true;
    r1.join();
    r2.join();
    EXPECT_GT(g_draws.load(), 20);
    EXPECT_GT(seen.load(), 0u);
    {
        std::shared_lock<std::shared_mutex> lock(model_lock());
        EXPECT_EQ(net->host_count, 4);
    }
    // After the stop event the handle is no longer used: closing it is safe.
    hscap::pcap_close(capture_swap_handle(&ctx, nullptr));
}

TEST_F(ModelTest, IdleThreadWithoutAHandleStopsPromptly) {
    CaptureContext ctx;
    std::thread capture(capture_thread, &ctx);
    std::this_thread::sleep_for(20ms);
    capture_signal_stop(&ctx);
    capture.join();  // the stop event wakes the idle wait
    EXPECT_EQ(ctx.passes.load(), 0u);
}
