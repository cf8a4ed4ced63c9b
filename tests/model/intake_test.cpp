#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/message.h"
#include "model/model_fixture.h"

using testsupport::ether_frame;

TEST_F(ModelTest, WindowKeepsAFrameExactlyOneSecondOldAndDropsOneMicrosecondMore) {
    send(B, A, 10, 500000);
    send(C, A, 11, 500000);  // exactly 1 s after the first: still counted
    EXPECT_EQ(net->frames_this_second, 2u);
    EXPECT_EQ(host(A)->frames_this_second, 2u);
    send(C, A, 11, 500001);  // one microsecond more: the first leaves
    EXPECT_EQ(net->frames_this_second, 2u);
    EXPECT_EQ(host(A)->frames_this_second, 2u);
    EXPECT_EQ(link(A, B)->frames_this_second, 0u);
    EXPECT_EQ(link(A, C)->frames_this_second, 2u);
    EXPECT_EQ(link(A, C)->bytes_this_second, 120u);
    EXPECT_EQ(host(B)->frames_this_second, 0u);  // receivers carry no per-second counts
}

TEST_F(ModelTest, ClockSteppingBackDropsNothing) {
    send(B, A, 100);
    send(B, A, 100, 900000);
    send(B, A, 50);  // earlier than everything before it
    EXPECT_EQ(net->frames_this_second, 3u);
    EXPECT_EQ(model_clock().seconds, 50);
    send(B, A, 101, 900001);  // more than a second after the first two and the third
    EXPECT_EQ(net->frames_this_second, 1u);
    EXPECT_EQ(host(A)->total_frames, 4u);
}

TEST_F(ModelTest, LoadIsPercentOfTenMegabitsTruncated) {
    for (int i = 0; i < 100; ++i) send(ether_frame(B, A, 0x0800, 986), 20, i * 1000);  // 1000-byte frames
    EXPECT_EQ(net->bytes_this_second, 100000u);
    EXPECT_EQ(netif_load(net), 8u);  // (100*192 + 100000*8) / 100000 = 8.192
}

TEST_F(ModelTest, WindowNeverOverwritesACountedSlotAndLoadScalesToTheSpan) {
    // 20 000 frames a second for half a second: the window holds the last 5000.
    const int frames = 10000;
    for (int i = 0; i < frames; ++i) send(B, A, 30, i * 50);
    EXPECT_EQ(net->ring->counted, kRingSlots);
    EXPECT_EQ(net->frames_this_second, uint32_t(kRingSlots));
    EXPECT_EQ(net->bytes_this_second, uint32_t(kRingSlots) * 60);
    EXPECT_EQ(host(A)->frames_this_second, uint32_t(kRingSlots));
    EXPECT_EQ(link(A, B)->frames_this_second, uint32_t(kRingSlots));
    uint64_t fps = 0, bps = 0;
    netif_second_rates(net, &fps, &bps);
    EXPECT_NEAR(double(fps), 20000.0, 10.0);
    // 20 000 frames of 60 bytes: (20000*192 + 1 200 000*8) / 100 000 = 134 percent.
    EXPECT_NEAR(double(netif_load(net)), 134.0, 1.0);
    // After the burst, a second of silence then one frame empties the window properly.
    send(B, A, 32, 0);
    EXPECT_EQ(net->frames_this_second, 1u);
    EXPECT_EQ(host(A)->frames_this_second, 1u);
    EXPECT_EQ(link(A, B)->bytes_this_second, 60u);
}

TEST_F(ModelTest, JumboLengthsAndLongGapsLeaveTheCountersExact) {
    auto f = ether_frame(B, A, 0x0800);
    send(f, 1, 0, 70000);  // longer than 16 bits can hold
    send(f, 1, 1, 100);
    EXPECT_EQ(net->bytes_this_second, 70100u);
    // 72 minutes later: the old slots must expire even though elapsed microseconds wrap.
    send(f, 1 + 72 * 60, 0, 60);
    EXPECT_EQ(net->frames_this_second, 1u);
    EXPECT_EQ(net->bytes_this_second, 60u);
    EXPECT_EQ(host(A)->bytes_this_second, 60u);
}

namespace {

struct SinkCapture {
    std::vector<std::string> texts;
    MessageSink old;
    SinkCapture() {
        old = message_set_sink([this](const std::string& t, const std::string& x, MessageIcon) { texts.push_back(t + ": " + x); });
    }
    ~SinkCapture() { message_set_sink(old); }
};

std::string make_file(const std::vector<testsupport::Frame>& frames) {
    std::string path = testsupport::temp_path("intake.pcap");
    testsupport::write_pcap(path, frames);
    return path;
}

struct Opened {
    hscap::Handle* handle = nullptr;
    ~Opened() { hscap::pcap_close(handle); }
};

hscap::Handle* open_file(const std::string& path, hscap::Pace pace = hscap::Pace::Fastest, bool loop = false) {
    hscap::reset_sources();
    char err[hscap::kErrbufSize] = {};
    EXPECT_EQ(hscap::add_capture_file(path.c_str(), pace, loop, err), 0) << err;
    hscap::Adapter** list = hscap::pcap_lookupdevs(err);
    EXPECT_NE(list[0], nullptr);
    EXPECT_EQ(list[0]->network_type, 0);
    return hscap::pcap_open_live(hscap::pcap_if_name(list[0]), 54, 1, 600, err);
}

}  // namespace

TEST_F(ModelTest, ABurstOf300FramesTakesTwoPassesWithARefreshBetween) {
    std::vector<testsupport::Frame> frames;
    for (int i = 0; i < 300; ++i) frames.push_back({40, i, ether_frame(B, A, 0x0800), 0});
    Opened o{open_file(make_file(frames))};
    ASSERT_NE(o.handle, nullptr);
    CaptureContext ctx;
    static int draws;
    draws = 0;
    ctx.hooks.draw = [](Network*) { ++draws; };
    EXPECT_EQ(capture_pass(&ctx, net, o.handle), 255);
    EXPECT_EQ(host(A)->frame_rate.samples[0], 255.0);
    EXPECT_EQ(capture_pass(&ctx, net, o.handle), 45);
    EXPECT_EQ(host(A)->frame_rate.samples[1], 300.0);
    EXPECT_TRUE(hscap::finished(o.handle));
    EXPECT_EQ(capture_pass(&ctx, net, o.handle), 0);  // nothing more: still a refresh
    EXPECT_EQ(host(A)->frame_rate.samples[2], 300.0);
    EXPECT_EQ(host(A)->total_frames, 300u);
}

TEST_F(ModelTest, TruncatedCaptureFileKeepsTheFramesBeforeTheDamage) {
    std::vector<testsupport::Frame> frames;
    for (int i = 0; i < 10; ++i) frames.push_back({50, i, ether_frame(B, A, 0x0800, 100), 0});
    std::string path = make_file(frames);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 30);  // cut the last frame
    Opened o{open_file(path)};
    ASSERT_NE(o.handle, nullptr);
    SinkCapture sink;
    CaptureContext ctx;
    capture_pass(&ctx, net, o.handle);
    EXPECT_EQ(host(A)->total_frames, 9u);
    ASSERT_EQ(sink.texts.size(), 1u);
    EXPECT_NE(sink.texts[0].find("damaged after frame 9"), std::string::npos) << sink.texts[0];
    EXPECT_TRUE(hscap::finished(o.handle));
}

TEST_F(ModelTest, CaptureFilesThatAreNotCapturesAreRefusedClearly) {
    std::string path = testsupport::temp_path("junk.pcap");
    std::ofstream(path) << "this is not a capture file at all, just text";
    hscap::reset_sources();
    char err[hscap::kErrbufSize] = {};
    EXPECT_EQ(hscap::add_capture_file(path.c_str(), hscap::Pace::Fastest, false, err), -1);
    EXPECT_NE(std::string(err).find(path), std::string::npos);
    EXPECT_EQ(hscap::add_capture_file("/nonexistent/x.pcap", hscap::Pace::Fastest, false, err), -1);
    // A capture of another link type is listed with a positive network type.
    testsupport::write_pcap(path, {{1, 0, std::vector<uint8_t>(20, 1), 0}}, 101 /* raw IP */);
    ASSERT_EQ(hscap::add_capture_file(path.c_str(), hscap::Pace::Fastest, false, err), 0);
    EXPECT_GT(hscap::pcap_lookupdevs(err)[0]->network_type, 0);
}

TEST_F(ModelTest, LoopingReplayMovesTimeForward) {
    std::vector<testsupport::Frame> frames = {{60, 0, ether_frame(B, A, 0x0800), 0}, {61, 0, ether_frame(B, A, 0x0800), 0}};
    Opened o{open_file(make_file(frames), hscap::Pace::Fastest, true)};
    ASSERT_NE(o.handle, nullptr);
    static std::vector<int64_t> stamps;
    stamps.clear();
    hscap::pcap_dispatch(o.handle, 6, [](void*, const hscap::FrameHeader* h, const uint8_t*) {
        stamps.push_back(int64_t(h->seconds) * 1000000 + h->microseconds);
    }, nullptr);
    ASSERT_EQ(stamps.size(), 6u);
    for (size_t i = 1; i < stamps.size(); ++i) EXPECT_GT(stamps[i], stamps[i - 1]);
    EXPECT_FALSE(hscap::finished(o.handle));
}

TEST_F(ModelTest, RecordedPaceDeliversOnlyTheFramesThatAreDue) {
    std::vector<testsupport::Frame> frames = {{70, 0, ether_frame(B, A, 0x0800), 0},
                                              {70, 1000, ether_frame(B, A, 0x0800), 0},
                                              {3600, 0, ether_frame(B, A, 0x0800), 0}};
    Opened o{open_file(make_file(frames), hscap::Pace::Recorded, false)};
    ASSERT_NE(o.handle, nullptr);
    CaptureContext ctx;
    int total = 0;
    // The third frame is due an hour later: a pass returns after the read time-out.
    for (int i = 0; i < 2; ++i) total += capture_pass(&ctx, net, o.handle);
    EXPECT_EQ(total, 2);
    EXPECT_FALSE(hscap::finished(o.handle));
}
