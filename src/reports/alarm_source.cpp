#include "reports/alarm_source.h"

#include <cstdlib>
#include <mutex>

#include "alarm/alarm.h"
#include "model/topn.h"

std::vector<AlarmReportRow> report_engine_alarm_rows() {
    std::vector<AlarmReportRow> rows;
    for (const auto& alarm : alarm_list_snapshot()) {
        AlarmReportRow row;
        row.type = alarm->condition == kAlarmThreshold ? AlarmReportType::threshold : AlarmReportType::occurrence;
        row.notify = alarm->notify;
        for (const AlarmActivation& a : alarm_activations(*alarm, &row.activations))
            row.times.push_back(static_cast<std::time_t>(a.time));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<ReportRank> report_engine_top_alarms() {
    std::vector<ReportRank> ranks;
    TopPair pairs[kTopCapacity];
    int n = 0;
    {
        std::lock_guard lock(alarm_mutex());
        TopList* top = alarm_top_alarms();
        if (!top) return ranks;
        topn_resort(top);
        n = topn_export(top, pairs);
    }
    for (int i = 0; i < n; ++i) {
        ranks.push_back({pairs[i].label ? pairs[i].label : "", pairs[i].key});
        std::free(pairs[i].label);
    }
    return ranks;
}

void report_use_alarm_engine() { report_set_alarm_sources(report_engine_alarm_rows, report_engine_top_alarms); }
