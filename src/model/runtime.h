// Run time and load statistics: the start time that the reports print, the run-time
// text of the Statistics panel, and the peak and running average of the network load.
#pragma once

#include <cstdint>
#include <ctime>

struct Network;

// The wall clock in whole seconds. Tests install their own so that nothing sleeps.
using WallClock = std::time_t (*)();
// Installs the clock (null: the system's) and returns the previous one. Also forgets
// the run-time origin, so the next runtime_text starts counting afresh.
WallClock runtime_set_clock(WallClock clock);

// The wall clock's time now (the installed clock's).
[[nodiscard]] std::time_t runtime_now();

// Records the start time (start-up, before the protocol file is read).
void runtime_record_start();
// The start time recorded, in seconds since 1 January 1970, or 0 before it was recorded.
[[nodiscard]] std::time_t runtime_start_time();

// The run time as "%02d:%02d:%02d" (hours, not wrapped at 24 or 100, minutes,
// seconds), counted from the first call. The text lives in one buffer that each call
// overwrites; call it from one thread (the Statistics panel's).
[[nodiscard]] const char* runtime_text();

// The Statistics panel's running figures over the network's load (integer percent of
// 10 Mbit/s, computed after each dispatch by netif_load).
struct LoadStatistics {
    float peak = 0;       // highest load seen at any update
    float average = 0;    // running mean of the load over all updates
    unsigned samples = 0;  // updates so far
};

// One Statistics refresh with the network's current load L: peak = max(trunc(peak), L);
// average = average + (L - average) / (samples + 1); samples + 1. Then writes the peak
// (as an int) and the average back into the network's peak load and average load,
// where the statistics report reads them. Those two fields are the model's: call it
// holding model_lock() exclusively. A null network changes nothing.
void load_statistics_update(LoadStatistics* stats, Network* network);
