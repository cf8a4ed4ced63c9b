#include "reports/stats_report.h"

#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <string>

#include "model/net.h"
#include "model/topn.h"

namespace {

struct Section {
    const char* name;         // the table's Section column
    const char* title;        // "Top %d ... are: "
    std::string text_header;  // the column header in the plain text
    std::string rich_header;  // and in the rich text
    const char* value_cell;   // the HTML value cell
};

Section section(const char* name, const char* title, const char* left, int text_spaces, int rich_spaces,
                const char* right, const char* value_cell) {
    return {name, title, left + std::string(static_cast<size_t>(text_spaces), ' ') + right,
            left + std::string(static_cast<size_t>(rich_spaces), ' ') + right, value_cell};
}

// The ranking in the order of its keys. A list is kept current as frames arrive, but
// an item is offered before its frame is counted, so places can trail the keys by an
// item's last frame until the list is re-sorted; a stable sort of the copy gives what
// topn_resort would (equal keys keep their places) without moving the list's items.
std::vector<ReportRank> export_ranking(const TopList* list) {
    std::vector<ReportRank> out;
    if (!list) return out;
    TopPair pairs[kTopCapacity] = {};
    const int n = topn_export(list, pairs);
    for (int i = 0; i < n; ++i) {
        out.push_back({pairs[i].label ? pairs[i].label : "", pairs[i].key});
        std::free(pairs[i].label);
    }
    std::stable_sort(out.begin(), out.end(), [](const ReportRank& a, const ReportRank& b) { return a.count > b.count; });
    return out;
}

// One top section; a ranking without entries leaves out the whole section.
void write_section(ReportDocument* doc, const Section& s, const std::vector<ReportRank>& ranks, ReportTable* table) {
    if (ranks.empty()) return;
    document_line(doc, kToAll, "\n\n");
    document_bold(doc, kToAll, s.title, static_cast<int>(ranks.size()));
    document_bold(doc, kToText, "%s", s.text_header.c_str());
    document_bold(doc, kToRich, "%s", s.rich_header.c_str());
    document_html(doc, "<TABLE BORDER=0 WIDTH=100%%>");
    int rank = 0;
    for (const ReportRank& r : ranks) {
        document_html(doc, "<TR><TD>");
        document_line(doc, kToHtml, "%s", r.text.c_str());
        document_html(doc, "</TD><TD>");
        document_html(doc, s.value_cell, r.count);
        document_html(doc, "</TD></TR>");
        document_line(doc, kToTextRich, "%s %" PRIu64 "\n", report_column(r.text.c_str(), 71).c_str(), r.count);
        if (table) report_table_add(table, {s.name, std::to_string(++rank), r.text, std::to_string(r.count)});
    }
    document_html(doc, "</TABLE>");
}

}  // namespace

StatsReportInput stats_report_gather(const Network* network) {
    StatsReportInput in;
    if (network) {
        ModelReadLock lock;
        in.hosts = export_ranking(network->top_hosts);
        in.links = export_ranking(network->top_links);
        in.peak_load = network->peak_load;
        in.average_load = network->average_load;
    }
    in.alarms = report_top_alarms();
    return in;
}

int stats_report_write(const StatsReportInput& in, const std::string& base, const ReportTimes& times,
                       ReportTable* table) {
    static const Section kHosts =
        section("Top Hosts", "Top %d Hosts are: ", "Hosts Name:", 61, 53, "Bytes Sent", "   (%" PRIu64 " bytes sent)\n");
    static const Section kAlarms = section("Top Alarms", "Top %d Alarms are: ", "Alarm Notify String:", 22, 22,
                                           "Times Activated", "   (%" PRIu64 " activations)\n");
    static const Section kLinks = section("Top Links", "Top %d Links are: ", "Source, Destination:", 52, 44,
                                          "Bytes Sent", "   (%" PRIu64 " bytes sent)\n");
    if (table) *table = report_table_make(kStatsReportColumns);
    ReportDocument doc;
    if (report_open(&doc, kStatsReport, base, kToTextRich) != 1) return -1;

    write_section(&doc, kHosts, in.hosts, table);
    write_section(&doc, kAlarms, in.alarms, table);
    write_section(&doc, kLinks, in.links, table);

    const std::string started = report_time_text(times.recording_started);
    const std::string generated = report_time_text(times.generated);
    document_line(&doc, kToAll, "\n\n");
    document_bold(&doc, kToAll, "Overall Statistics");
    document_line(&doc, kToAll, "Peak Network Load = %u", static_cast<unsigned>(in.peak_load));
    document_line(&doc, kToAll, "Average Network Load = %f", static_cast<double>(in.average_load));
    document_line(&doc, kToAll, "recording started at %s", started.c_str());
    document_line(&doc, kToAll, "report generated at %s", generated.c_str());
    if (table) {
        const char* overall = "Overall Statistics";
        char average[64];
        std::snprintf(average, sizeof average, "%f", static_cast<double>(in.average_load));
        report_table_add(table, {overall, "", "Peak Network Load", std::to_string(static_cast<unsigned>(in.peak_load))});
        report_table_add(table, {overall, "", "Average Network Load", average});
        report_table_add(table, {overall, "", "Recording Started", report_time_cell(times.recording_started)});
        report_table_add(table, {overall, "", "Report Generated", report_time_cell(times.generated)});
    }

    report_footer(&doc, "produced by Corvex");
    document_line(&doc, kToAll, "\n");
    return document_close(&doc);
}
