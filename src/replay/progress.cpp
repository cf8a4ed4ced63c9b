#include "replay/progress.h"

#include <unistd.h>

std::string replay_progress_text(uint64_t frames, double fraction, double rate) {
    char buf[160];
    const auto n = static_cast<unsigned long long>(frames);
    if (fraction >= 0)
        std::snprintf(buf, sizeof buf, "%llu frames, %.0f%% of the file, %.0f frames/s", n, fraction * 100, rate);
    else
        std::snprintf(buf, sizeof buf, "%llu frames, %.0f frames/s", n, rate);
    return buf;
}

ReplayProgress::ReplayProgress(std::FILE* out) : ReplayProgress(out, out && ::isatty(::fileno(out))) {}

bool ReplayProgress::due(double elapsed) const {
    if (!terminal_ || elapsed < kProgressAfterSeconds) return false;
    return shown_at_ < 0 || elapsed - shown_at_ >= kProgressEverySeconds;
}

void ReplayProgress::update(double elapsed, uint64_t frames, double fraction) {
    if (!due(elapsed)) return;
    shown_at_ = elapsed;
    // Carriage return and erase to the end of the line: the line is rewritten in place.
    std::fprintf(out_, "\r%s\033[K", replay_progress_text(frames, fraction, elapsed > 0 ? frames / elapsed : 0).c_str());
    std::fflush(out_);
}

void ReplayProgress::finish() {
    if (!shown()) return;
    std::fputc('\n', out_);
    std::fflush(out_);
}
