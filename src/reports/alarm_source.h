// The alarm engine as the source of the alarm report and of the statistics report's top
// alarms: rows and ranks copied from the engine's alarm list and top alarms list.
#pragma once

#include <vector>

#include "reports/reports.h"

// Installs the two copies below as the reports' alarm sources. Start-up (program and
// replay tool), once the alarm engine is initialised.
void report_use_alarm_engine();

// Every alarm of the alarm list in list order: its condition, notify string, exact
// count of firings and the activation times it keeps. Any thread.
[[nodiscard]] std::vector<AlarmReportRow> report_engine_alarm_rows();
// The top alarms list in rank order (notify string and count), re-sorted and copied
// under the Alarm mutex. Any thread.
[[nodiscard]] std::vector<ReportRank> report_engine_top_alarms();
