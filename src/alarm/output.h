// The alarm output window's engine side: its settings, the text of a firing's time, and
// the hand-over of lines from the alarm thread to the window (alarm/qt/output_window.h
// shows them).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

inline constexpr int kOutputMaxLines = 200;  // lines the window keeps
inline constexpr int kOutputTimeText = 32;   // bytes of a time text, with its NUL

// The window's settings, bound to "output 0" and "output 1" (the widths of its two
// columns) by the settings table (shell/settings.cpp). Read when the window is made,
// written when it is destroyed, on the window thread; atomic like every setting.
struct AlarmOutputSettings {
    std::atomic<int> output[2] = {};
};
AlarmOutputSettings& alarm_output_settings();

// A firing's time as local time: three-letter weekday, three-letter month, two-digit
// day, hh:mm:ss and the four-digit year, separated by single spaces (as in
// "Wed Jan 02 02:03:55 1980"), without a newline. English names whatever the locale.
// A time the system cannot break down gives the empty text.
void alarm_time_text(int64_t time, char out[kOutputTimeText]);

// One line for the window: the notify string and the firing's time.
struct OutputLine {
    std::string notify;
    int64_t time = 0;
};

// Lines on their way from the alarm thread to the window, at most kOutputMaxLines of
// them: the window keeps no more, so when lines arrive faster than the window takes
// them only the newest wait, and the others are counted as passed over. Thread-safe;
// the producer never waits for the window, only for this short lock.
class OutputMailbox {
public:
    // Adds a line; true when the mailbox was empty, so that the window needs telling.
    bool post(OutputLine line);
    // Takes every waiting line, oldest first, and the count passed over since the last take.
    std::deque<OutputLine> take(uint64_t* passed_over = nullptr);

private:
    std::mutex mutex_;
    std::deque<OutputLine> lines_;
    uint64_t passed_over_ = 0;
};
