#include "model/runtime.h"

#include <atomic>
#include <cstdio>

#include "model/net.h"

namespace {

std::time_t system_clock_now() { return std::time(nullptr); }

struct RuntimeState {
    std::atomic<WallClock> wall_clock{system_clock_now};
    std::atomic<std::time_t> start_time{0};
    // Run-time origin: set at the first runtime_text; -1 while unset.
    std::atomic<std::time_t> origin{-1};
    char text[32] = {};
};
RuntimeState g_runtime;

std::time_t now() { return g_runtime.wall_clock.load()(); }

}  // namespace

WallClock runtime_set_clock(WallClock clock) {
    g_runtime.origin.store(-1);
    return g_runtime.wall_clock.exchange(clock ? clock : system_clock_now);
}

std::time_t runtime_now() { return now(); }

void runtime_record_start() { g_runtime.start_time.store(now()); }
std::time_t runtime_start_time() { return g_runtime.start_time.load(); }

const char* runtime_text() {
    const std::time_t t_now = now();
    std::time_t origin = g_runtime.origin.load();
    if (origin < 0) {
        origin = t_now;
        g_runtime.origin.store(origin);
    }
    // A clock set back before the origin counts as no time passed.
    const long long t = t_now > origin ? static_cast<long long>(t_now - origin) : 0;
    std::snprintf(g_runtime.text, sizeof g_runtime.text, "%02lld:%02lld:%02lld", t / 3600, (t % 3600) / 60, t % 60);
    return g_runtime.text;
}

void load_statistics_update(LoadStatistics* stats, Network* network) {
    if (!stats || !network) return;
    const float load = static_cast<float>(network->load);
    const float peak = static_cast<float>(static_cast<long long>(stats->peak));
    stats->peak = load > peak ? load : peak;
    stats->average += (load - stats->average) / static_cast<float>(stats->samples + 1);
    ++stats->samples;
    network->peak_load = static_cast<int>(stats->peak);
    network->average_load = stats->average;
}
