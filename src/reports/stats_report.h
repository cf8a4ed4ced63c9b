// The statistics report: the top hosts, top alarms and top links, and the network's
// peak and average load.
//
// The heading goes to the plain text and the rich text alike (bold, then a blank line),
// as in the other two reports, so that the viewer shows the report under its heading.
// The column headers of the top hosts and top links are padded differently in the two
// files, as the report has always written them.
//
// No Qt. Runs on the report's thread.
#pragma once

#include <string>
#include <vector>

#include "reports/reports.h"

struct StatsReportInput {
    std::vector<ReportRank> hosts;   // top hosts: label, bytes sent
    std::vector<ReportRank> alarms;  // top alarms: notify string, activations
    std::vector<ReportRank> links;   // top links: "source, destination", bytes
    int peak_load = 0;               // the network's peak load (percent)
    float average_load = 0;          // its running average
};

// Copies the rankings and the load figures of `network` (null: none) under
// ModelReadLock, and the top alarms from their source (reports.h).
[[nodiscard]] StatsReportInput stats_report_gather(const Network* network);

// Writes the report into the files after `base` and its table (Section, Rank, Name,
// Value) into `table` (may be null). Returns 1, or -1 when the files could not be
// written.
[[nodiscard]] int stats_report_write(const StatsReportInput& input, const std::string& base, const ReportTimes& times,
                                     ReportTable* table);
