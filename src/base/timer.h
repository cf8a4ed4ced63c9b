// Time values and elapsed time. The model clock is the timestamp of the frame being
// handled or, between frames, of the last one handled; never the wall clock.
#pragma once

#include <cstdint>

struct TimeValue {
    int32_t seconds = 0;
    int32_t microseconds = 0;  // 0 to 999 999
};

inline bool timer_is_zero(TimeValue t) { return t.seconds == 0 && t.microseconds == 0; }

// Microseconds from `from` to a later `to`, in 32-bit unsigned arithmetic (wraps after
// about 71 minutes); 0 when `to` is earlier.
[[nodiscard]] uint32_t timer_elapsed_us(TimeValue from, TimeValue to);
// The same in milliseconds (wraps after about 49 days).
[[nodiscard]] uint32_t timer_elapsed_ms(TimeValue from, TimeValue to);
// True when `to` is more than one second after `from`. Unlike timer_elapsed_us this
// never wraps, so a slot from hours ago is still seen as old.
[[nodiscard]] bool timer_more_than_one_second(TimeValue from, TimeValue to);
