#include <gtest/gtest.h>

#include "base/timer.h"

TEST(Timer, ElapsedFollowsTheBorrowRule) {
    EXPECT_EQ(timer_elapsed_us({10, 900000}, {11, 100000}), 200000u);
    EXPECT_EQ(timer_elapsed_ms({10, 900000}, {11, 100000}), 200u);
    EXPECT_EQ(timer_elapsed_ms({0, 999}, {1, 0}), 999u);
    // Earlier "to" gives 0.
    EXPECT_EQ(timer_elapsed_us({11, 0}, {10, 999999}), 0u);
    EXPECT_EQ(timer_elapsed_ms({11, 0}, {10, 999999}), 0u);
}

TEST(Timer, MicrosecondsWrapButTheOneSecondTestDoesNot) {
    // 4295 s is past the 32-bit microsecond range: the elapsed value wraps, the
    // window test must still see the slot as old.
    EXPECT_LT(timer_elapsed_us({0, 0}, {4295, 0}), 1000000u);
    EXPECT_TRUE(timer_more_than_one_second({0, 0}, {4295, 0}));
    EXPECT_FALSE(timer_more_than_one_second({5, 0}, {6, 0}));
    EXPECT_TRUE(timer_more_than_one_second({5, 0}, {6, 1}));
    EXPECT_FALSE(timer_more_than_one_second({7, 0}, {6, 1}));
}
