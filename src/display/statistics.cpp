#include "display/statistics.h"

#include <cstdio>

#include "model/net.h"
#include "model/netif.h"
#include "model/runtime.h"

namespace {

struct StatisticsState {
    LoadStatistics load;  // capture thread only
    std::atomic<int> load_value{0};
    std::atomic<float> average{0}, peak{0};
    std::atomic<unsigned> samples{0};
    std::atomic<uint64_t> frames{0}, bytes{0}, dropped{0}, unattributed{0};
    std::atomic<bool> pending{false};
};
StatisticsState g_statistics;

constexpr const char* kLabels[kStatisticsRows] = {
    "Runtime :", "Avg Load :", "Peak Load :", "Packets/sec :", "Bytres/sec :", "Dropped :", "Unattributed :",
};

std::string format_load(float v) {
    char text[64];
    std::snprintf(text, sizeof text, "%3.2f%%    ", static_cast<double>(v));
    return text;
}

std::string format_count(uint64_t v) {
    char text[64];
    std::snprintf(text, sizeof text, "%lu    ", static_cast<unsigned long>(v));
    return text;
}

}  // namespace

bool statistics_pass(Network* network) {
    if (!network) return false;
    StatisticsState& s = g_statistics;
    uint64_t frames = 0, bytes = 0;
    {
        ModelWriteLock lock;
        load_statistics_update(&s.load, network);
        // More than 5000 frames a second fill the frame window before a second has
        // passed; the rates are then scaled to the span it covers, as the load is.
        netif_second_rates(network, &frames, &bytes);
        s.load_value.store(static_cast<int>(network->load), std::memory_order_relaxed);
        s.dropped.store(network->dropped, std::memory_order_relaxed);
        s.unattributed.store(network->unattributed_frames, std::memory_order_relaxed);
    }
    s.frames.store(frames, std::memory_order_relaxed);
    s.bytes.store(bytes, std::memory_order_relaxed);
    s.average.store(s.load.average, std::memory_order_relaxed);
    s.peak.store(s.load.peak, std::memory_order_relaxed);
    s.samples.store(s.load.samples, std::memory_order_relaxed);
    // Release: the figures above are seen by the window thread that takes the refresh.
    return !s.pending.exchange(true, std::memory_order_acq_rel);
}

void statistics_refresh_dropped() { g_statistics.pending.store(false, std::memory_order_release); }

bool statistics_take(StatisticsValues* v) {
    StatisticsState& s = g_statistics;
    const bool was = s.pending.exchange(false, std::memory_order_acq_rel);
    v->average = s.average.load(std::memory_order_relaxed);
    v->peak = s.peak.load(std::memory_order_relaxed);
    v->samples = s.samples.load(std::memory_order_relaxed);
    v->frames_per_second = s.frames.load(std::memory_order_relaxed);
    v->bytes_per_second = s.bytes.load(std::memory_order_relaxed);
    v->dropped = s.dropped.load(std::memory_order_relaxed);
    v->unattributed = s.unattributed.load(std::memory_order_relaxed);
    return was;
}

std::atomic<int>* statistics_load_value() { return &g_statistics.load_value; }

void statistics_rows(const StatisticsValues& v, const char* runtime, StatisticsRow (&rows)[kStatisticsRows]) {
    for (int i = 0; i < kStatisticsRows; ++i) rows[i].label = kLabels[i];
    rows[0].value = runtime ? runtime : "";
    rows[1].value = format_load(v.average);
    rows[2].value = format_load(v.peak);
    rows[3].value = format_count(v.frames_per_second);
    rows[4].value = format_count(v.bytes_per_second);
    rows[5].value = format_count(v.dropped);
    rows[6].value = format_count(v.unattributed);
}

void statistics_reset() {
    StatisticsState& s = g_statistics;
    s.load = LoadStatistics{};
    s.load_value.store(0);
    s.average.store(0);
    s.peak.store(0);
    s.samples.store(0);
    s.frames.store(0);
    s.bytes.store(0);
    s.dropped.store(0);
    s.unattributed.store(0);
    s.pending.store(false);
}
