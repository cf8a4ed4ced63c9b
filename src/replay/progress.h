// The replay tool's progress line: on a file that takes more than a few seconds to
// read, one line on standard error, rewritten in place, when standard error is a
// terminal; nothing otherwise (a pipe or a file never gets it).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

inline constexpr double kProgressAfterSeconds = 2.0;  // nothing for a shorter read
inline constexpr double kProgressEverySeconds = 0.5;

// "12345 frames, 42% of the file, 81234 frames/s"; a fraction below 0 (unknown) leaves
// the percent out.
[[nodiscard]] std::string replay_progress_text(uint64_t frames, double fraction, double rate);

class ReplayProgress {
public:
    // `out` null, or not a terminal: the line never shows.
    explicit ReplayProgress(std::FILE* out);
    ReplayProgress(std::FILE* out, bool terminal) : out_(out), terminal_(terminal && out) {}

    // Whether a line is due at `elapsed` seconds since the read began.
    [[nodiscard]] bool due(double elapsed) const;
    // Shows the line when it is due.
    void update(double elapsed, uint64_t frames, double fraction);
    // Ends the line (a line feed) when one was shown.
    void finish();
    [[nodiscard]] bool shown() const { return shown_at_ >= 0; }

private:
    std::FILE* out_;
    bool terminal_;
    double shown_at_ = -1;
};
