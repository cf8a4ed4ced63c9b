#include "base/timer.h"

bool timer_more_than_one_second(TimeValue from, TimeValue to) {
    int64_t d, u;
    if (!timer_detail::difference(from, to, &d, &u)) return false;
    return d * 1000000 + u > 1000000;
}
