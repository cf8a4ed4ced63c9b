// The host report: for every host that sends, the traffic it sent to each peer, one row
// per leaf of each link's protocol tally.
//
// Reading the model. The report never holds the model lock while it formats or
// writes. It walks the network's host list in pieces: under ModelReadLock it copies
// the rows of whole hosts until a piece holds kHostReportPieceRows rows (or
// kHostReportPieceHosts hosts), lets the lock go, writes those hosts, and takes the
// lock again for the next piece from where it stopped. Hosts are never removed and the
// list only grows, so the place it stopped at stays valid between pieces; a host added
// meanwhile before that place is left for the next report. The capture thread thus
// waits at most for one piece to be copied.
//
// No Qt. Runs on the report's thread.
#pragma once

#include <string>

#include "reports/reports.h"

inline constexpr size_t kHostReportPieceRows = 512;
inline constexpr size_t kHostReportPieceHosts = 64;

// How the reading went, for measurements and tests.
struct HostReportStats {
    size_t hosts = 0;    // hosts written (those with at least one link)
    size_t rows = 0;     // protocol rows written
    size_t pieces = 0;   // times the model lock was taken
    double longest_hold_seconds = 0;  // the longest time the lock was held for one piece
    double total_hold_seconds = 0;    // and all the pieces together
};

// Writes the host report of `network` (null: no hosts) into the files after `base`,
// with its table (Host, Host Address, Traffic to, Peer Address, Protocol, Packets,
// Bytes) in `table` (may be null) and how the reading went in `stats` (may be null).
// Returns 1, or -1 when the files could not be written.
[[nodiscard]] int host_report_write(const Network* network, const std::string& base, const ReportTimes& times,
                                    ReportTable* table, HostReportStats* stats = nullptr);
