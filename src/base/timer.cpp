#include "base/timer.h"

namespace {

// Whole seconds and leftover microseconds from `from` to `to`; false when `to` is earlier.
bool difference(TimeValue from, TimeValue to, int64_t* d, int64_t* u) {
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

}  // namespace

uint32_t timer_elapsed_us(TimeValue from, TimeValue to) {
    int64_t d, u;
    if (!difference(from, to, &d, &u)) return 0;
    return uint32_t(d) * 1000000u + uint32_t(u);
}

uint32_t timer_elapsed_ms(TimeValue from, TimeValue to) {
    int64_t d, u;
    if (!difference(from, to, &d, &u)) return 0;
    return uint32_t(d) * 1000u + uint32_t(u) / 1000u;
}

bool timer_more_than_one_second(TimeValue from, TimeValue to) {
    int64_t d, u;
    if (!difference(from, to, &d, &u)) return false;
    return d * 1000000 + u > 1000000;
}
