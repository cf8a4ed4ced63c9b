// The alarm report: every alarm that fired, in the alarm list's order, with the time of
// each activation it keeps.
//
// No Qt. Runs on the report's thread; the rows come from the alarm engine's source
// (report_alarm_rows, reports.h), copied under its lock.
#pragma once

#include <string>
#include <vector>

#include "reports/reports.h"

// Writes the report of `alarms` into the files after `base`, and its table (Alarm
// Type, Alarm Notify String, Times Activated, Activated At: one row per activation
// time) into `table` (may be null). An alarm that never fired is left out. Returns 1, or
// -1 when the files could not be written.
[[nodiscard]] int alarm_report_write(const std::vector<AlarmReportRow>& alarms, const std::string& base,
                                     const ReportTimes& times, ReportTable* table);
