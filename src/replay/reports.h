// The replay tool's reports (--reports DIR) and its fixed wall clock (--clock).
#pragma once

#include <string>

struct Network;

// Makes the wall clock stand still at `seconds` since 1970 (model/runtime.h).
void replay_fix_clock(long long seconds);

// Writes the host, statistics and alarm reports of `network` into `dir` (made when
// missing): hostrep, statsrep and alarmrep, each as .txt, .rtf and .html, with the same
// code as the program's reports. The alarm report holds the alarms of the source that
// the alarm engine installed (reports/reports.h), none without one. False after a
// message on standard error when a report could not be written.
[[nodiscard]] bool replay_write_reports(const Network* network, const std::string& dir);
