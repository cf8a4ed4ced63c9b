#include <gtest/gtest.h>

#include "model/net.h"
#include "model/runtime.h"

namespace {

std::time_t g_now = 0;
std::time_t fake_clock() { return g_now; }

class Runtime : public ::testing::Test {
protected:
    void SetUp() override {
        g_now = 1'000'000;
        previous_ = runtime_set_clock(fake_clock);
    }
    void TearDown() override { runtime_set_clock(previous_); }
    WallClock previous_ = nullptr;
};

}  // namespace

TEST_F(Runtime, CountsFromTheFirstRequestAndHoursAreNotWrapped) {
    runtime_record_start();
    EXPECT_EQ(runtime_start_time(), 1'000'000);
    g_now += 50;  // the origin is the first request, not the start time
    EXPECT_STREQ(runtime_text(), "00:00:00");
    g_now += 3725;
    EXPECT_STREQ(runtime_text(), "01:02:05");
    g_now += 99 * 3600 - 3725 + 3599;
    EXPECT_STREQ(runtime_text(), "99:59:59");
    g_now += 1;
    EXPECT_STREQ(runtime_text(), "100:00:00");
    g_now -= 400 * 3600;  // a clock set back counts as no time
    EXPECT_STREQ(runtime_text(), "00:00:00");
}

TEST(LoadStatistics, ConstantLoadGivesEqualAverageAndPeak) {
    Network net;
    LoadStatistics stats;
    net.load = 7;
    for (int i = 0; i < 25; ++i) load_statistics_update(&stats, &net);
    EXPECT_EQ(stats.samples, 25u);
    EXPECT_FLOAT_EQ(stats.average, 7.0f);
    EXPECT_FLOAT_EQ(stats.peak, 7.0f);
    EXPECT_EQ(net.peak_load, 7);
    EXPECT_FLOAT_EQ(net.average_load, 7.0f);
}

TEST(LoadStatistics, PeakHoldsAndAverageIsTheRunningMean) {
    Network net;
    LoadStatistics stats;
    for (uint32_t load : {10u, 0u, 20u, 6u}) {
        net.load = load;
        load_statistics_update(&stats, &net);
    }
    EXPECT_EQ(net.peak_load, 20);
    EXPECT_FLOAT_EQ(net.average_load, 9.0f);
    // A silent segment keeps its last load, which keeps counting.
    load_statistics_update(&stats, &net);
    EXPECT_FLOAT_EQ(net.average_load, (36.0f + 6.0f) / 5.0f);
    load_statistics_update(&stats, nullptr);  // nothing to do
    EXPECT_EQ(stats.samples, 5u);
}
