#include "reports/alarm_report.h"

#include <cinttypes>

int alarm_report_write(const std::vector<AlarmReportRow>& alarms, const std::string& base, const ReportTimes& times,
                       ReportTable* table) {
    (void)times;  // the alarm report prints no times of its own
    if (table) *table = report_table_make(kAlarmReportColumns);
    ReportDocument doc;
    if (report_open(&doc, kAlarmReport, base, kToAll) != 1) return -1;

    for (const AlarmReportRow& a : alarms) {
        if (a.activations == 0) continue;
        const bool threshold = a.type == AlarmReportType::threshold;
        document_bold(&doc, kToAll, "%s", threshold ? "Alarm Type: Threshold" : "Alarm Type: Occurrence");
        document_bold(&doc, kToAll, "Alarm Notify String: %s", a.notify.c_str());
        document_bold(&doc, kToAll, "Alarm was triggered %" PRIu64 " times", a.activations);
        const char* type = threshold ? "Threshold" : "Occurrence";
        for (const std::time_t when : a.times) {
            document_line(&doc, kToAll, "%s", report_time_text(when).c_str());
            if (table) report_table_add(table, {type, a.notify, std::to_string(a.activations), report_time_cell(when)});
        }
        // An alarm whose times were not kept still has its row in the table.
        if (table && a.times.empty()) report_table_add(table, {type, a.notify, std::to_string(a.activations), ""});
        document_line(&doc, kToAll, "\n\n");
    }

    report_footer(&doc, "produced by Hopscope");
    document_line(&doc, kToTextRich, "\n");
    return document_close(&doc);
}
