// Time values and elapsed time. The model clock is the timestamp of the frame being
// handled or, between frames, of the last one handled; never the wall clock.
#pragma once

#include <cstdint>

struct TimeValue {
    int32_t seconds = 0;
    int32_t microseconds = 0;  // 0 to 999 999
};

inline bool timer_is_zero(TimeValue t) { return t.seconds == 0 && t.microseconds == 0; }

namespace timer_detail {
// Whole seconds and leftover microseconds from `from` to `to`; false when `to` is earlier.
inline bool difference(TimeValue from, TimeValue to, int64_t* d, int64_t* u) {
    if (to.seconds < from.seconds || (to.seconds == from.seconds && to.microseconds < from.microseconds))
        return false;
    *d = int64_t(to.seconds) - from.seconds;
    *u = int64_t(to.microseconds) - from.microseconds;
    if (*u < 0) {
        *d -= 1;
        *u += 1000000;
    }
    return true;
}
}  // namespace timer_detail

// Microseconds from `from` to a later `to`, in 32-bit unsigned arithmetic (wraps after
// about 71 minutes); 0 when `to` is earlier. Inline: the refresh asks it of every busy
// host and link at every pass.
[[nodiscard]] inline uint32_t timer_elapsed_us(TimeValue from, TimeValue to) {
    int64_t d, u;
    if (!timer_detail::difference(from, to, &d, &u)) return 0;
    return uint32_t(d) * 1000000u + uint32_t(u);
}
// The same in milliseconds (wraps after about 49 days).
[[nodiscard]] inline uint32_t timer_elapsed_ms(TimeValue from, TimeValue to) {
    int64_t d, u;
    if (!timer_detail::difference(from, to, &d, &u)) return 0;
    return uint32_t(d) * 1000u + uint32_t(u) / 1000u;
}
// True when `to` is more than one second after `from`. Unlike timer_elapsed_us this
// never wraps, so a slot from hours ago is still seen as old.
[[nodiscard]] inline bool timer_more_than_one_second(TimeValue from, TimeValue to) {
    int64_t d, u;
    if (!timer_detail::difference(from, to, &d, &u)) return false;
    return d * 1000000 + u > 1000000;
}
