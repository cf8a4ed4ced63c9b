#include "alarm/output.h"

#include <cstdio>
#include <ctime>

AlarmOutputSettings& alarm_output_settings() {
    static AlarmOutputSettings s;
    return s;
}

void alarm_time_text(int64_t time, char out[kOutputTimeText]) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    out[0] = '\0';
    const auto t = static_cast<std::time_t>(time);
    std::tm tm{};
    if (!localtime_r(&t, &tm) || tm.tm_wday < 0 || tm.tm_wday > 6 || tm.tm_mon < 0 || tm.tm_mon > 11) return;
    std::snprintf(out, kOutputTimeText, "%s %s %02d %02d:%02d:%02d %04d", kDays[tm.tm_wday], kMonths[tm.tm_mon],
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_year + 1900);
}

bool OutputMailbox::post(OutputLine line) {
    std::lock_guard lock(mutex_);
    const bool was_empty = lines_.empty();
    if (lines_.size() == static_cast<size_t>(kOutputMaxLines)) {
        lines_.pop_front();
        ++passed_over_;
    }
    lines_.push_back(std::move(line));
    return was_empty;
}

std::deque<OutputLine> OutputMailbox::take(uint64_t* passed_over) {
    std::lock_guard lock(mutex_);
    std::deque<OutputLine> out;
    out.swap(lines_);
    if (passed_over) *passed_over = passed_over_;
    passed_over_ = 0;
    return out;
}
