// The Statistics panel's engine: the figures of the current network published by the
// capture pass, the peak and running average of the load, and the six rows as the panel
// writes them (six as ever, and the frames left unattributed by the host limit). No Qt: the panel (qt/statistics_panel.h) formats and paints.
//
// Threads: statistics_pass runs on the capture-and-draw thread at the start of every
// capture pass (the pass's statistics notice). It updates the peak and average through
// load_statistics_update, holding the model lock for that moment (the capture thread is
// the model's writer; nothing waits for a window), and publishes the figures in atomics.
// The window thread takes them with statistics_take without any lock. A refresh is
// asked for only when none is pending, so at most one refresh message is ever queued
// however fast the passes come.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

struct Network;

inline constexpr int kStatisticsRows = 7;

// What one refresh shows.
struct StatisticsValues {
    float average = 0;
    float peak = 0;
    uint64_t frames_per_second = 0;
    uint64_t bytes_per_second = 0;
    uint64_t dropped = 0;
    uint64_t unattributed = 0;  // frames beyond the host limit, in no host
    unsigned samples = 0;  // load samples taken so far
};

// Capture thread, once a pass, with the pass's network (null changes nothing and asks
// for nothing): one load sample into the peak and average (written back into the
// network's peak load and average load), the network's per-second rates and drop count
// published. Returns true when the window thread is to be sent a refresh (none is
// pending).
bool statistics_pass(Network* network);

// Capture thread: the refresh statistics_pass asked for could not be sent (no panel
// yet); the next pass asks again.
void statistics_refresh_dropped();

// Window thread: the published figures; clears the pending refresh, so the next pass
// asks for another. Returns whether a refresh was pending.
bool statistics_take(StatisticsValues* values);

// The load the last pass published, in percent: the Network Load chart watches it.
// Never null.
[[nodiscard]] std::atomic<int>* statistics_load_value();

// The labels and values of the six rows: "Runtime :" with `runtime` ("%02d:%02d:%02d"),
// "Avg Load :", "Peak Load :" ("%3.2f%%    "), "Packets/sec :", "Bytres/sec :" and
// "Dropped :" ("%lu    "), and "Unattributed :" (the frames that found no host under the
// "max hosts" limit, "%lu    ").
struct StatisticsRow {
    const char* label;
    std::string value;
};
void statistics_rows(const StatisticsValues& values, const char* runtime, StatisticsRow (&rows)[kStatisticsRows]);

// Peak, average, samples and the published figures as at process start. For tests.
void statistics_reset();
