#include "reports/reports.h"

#include <stdlib.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/text.h"
#include "model/runtime.h"
#include "reports/alarm_report.h"
#include "reports/host_report.h"
#include "reports/stats_report.h"

namespace fs = std::filesystem;

namespace {

constexpr ReportInfo kInfo[kReportKinds] = {
    {"hostrep", "Host Report", "Report of Monitored Host Statistics"},
    {"statsrep", "Statistics Report", "Report of Monitored Statistics"},
    {"alarmrep", "Host Report", "Monitored Alarms Report"},
};

struct ReportsState {
    std::atomic<AlarmRowsSource> alarm_rows{nullptr};
    std::atomic<TopAlarmsSource> top_alarms{nullptr};
    std::mutex directory_mutex;
    std::string directory;  // made once; empty until then
    std::atomic<unsigned> runs{0};
};
ReportsState g_reports;

void remove_directory_at_exit() {
    std::error_code ignored;
    if (!g_reports.directory.empty()) fs::remove_all(g_reports.directory, ignored);
}

}  // namespace

const ReportInfo& report_info(int kind) { return kind >= 0 && kind < kReportKinds ? kInfo[kind] : kInfo[0]; }

ReportTimes report_times_now() { return {runtime_start_time(), runtime_now()}; }

void report_set_alarm_sources(AlarmRowsSource rows, TopAlarmsSource top_alarms) {
    g_reports.alarm_rows.store(rows);
    g_reports.top_alarms.store(top_alarms);
}

std::vector<AlarmReportRow> report_alarm_rows() {
    const AlarmRowsSource source = g_reports.alarm_rows.load();
    return source ? source() : std::vector<AlarmReportRow>{};
}

std::vector<ReportRank> report_top_alarms() {
    const TopAlarmsSource source = g_reports.top_alarms.load();
    return source ? source() : std::vector<ReportRank>{};
}

void report_heading_html(ReportDocument* doc, const char* heading) {
    document_html(doc, "<CENTER><H2><B>%s</B></H2><HR WIDTH=75%%></CENTER><P>", heading);
}

int report_open(ReportDocument* doc, int kind, const std::string& base, unsigned heading_targets) {
    if (document_open(doc, base.c_str()) != 1) return -1;
    const char* heading = report_info(kind).heading;
    report_heading_html(doc, heading);
    document_bold(doc, heading_targets, "%s", heading);
    document_line(doc, heading_targets, "\n");
    return 1;
}

void report_footer(ReportDocument* doc, const char* line) {
    document_html(doc, "<HR WIDTH=75%%><FONT SIZE=-6>produced by Hopscope");
    document_html(doc, "</FONT>");
    document_line(doc, kToTextRich, "%s", line);
}

std::string report_column(const char* text, size_t width) {
    std::string out;
    size_t characters = 0;
    if (text) {
        const auto* p = reinterpret_cast<const unsigned char*>(text);
        const size_t n = std::char_traits<char>::length(text);
        for (size_t i = 0; i < n && characters < width; ++characters) {
            char32_t cp = 0;
            const size_t len = utf8_decode(p + i, n - i, &cp);
            const size_t step = len ? len : 1;  // a byte that is not UTF-8 is one character
            out.append(text + i, step);
            i += step;
        }
    }
    out.append(width - characters, ' ');
    return out;
}

std::string report_time_cell(std::time_t when) {
    std::string t = report_time_text(when);
    if (!t.empty() && t.back() == '\n') t.pop_back();
    return t;
}

int report_write(int kind, const Network* network, const std::string& base, const ReportTimes& times,
                 ReportTable* table) {
    switch (kind) {
        case kHostReport: return host_report_write(network, base, times, table);
        case kStatsReport: return stats_report_write(stats_report_gather(network), base, times, table);
        case kAlarmReport: return alarm_report_write(report_alarm_rows(), base, times, table);
        default: return -1;
    }
}

int report_directory(std::string* dir) {
    std::lock_guard<std::mutex> lock(g_reports.directory_mutex);
    if (g_reports.directory.empty()) {
        std::error_code error;
        const fs::path temp = fs::temp_directory_path(error);
        if (error) return -1;
        std::string pattern = (temp / "hopscope-reports-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) return -1;
        g_reports.directory = pattern;
        std::atexit(remove_directory_at_exit);
    }
    *dir = g_reports.directory;
    return 1;
}

int report_fresh_base(int kind, std::string* base) {
    std::string dir;
    if (report_directory(&dir) != 1) return -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path run = fs::path(dir) / std::to_string(++g_reports.runs);
        std::error_code error;
        if (fs::create_directory(run, error)) {
            fs::permissions(run, fs::perms::owner_all, error);
            const std::string path = (run / report_info(kind).base_name).string();
            if (path.size() > kReportBaseMax) return -1;
            *base = path;
            return 1;
        }
        if (error) return -1;  // created nothing, and not because the name was taken
    }
    return -1;
}

void report_remove_files(const std::string& base) {
    if (base.empty()) return;
    std::error_code ignored;
    for (int kind = 0; kind < kDocumentKinds; ++kind) fs::remove(document_path(base, kind), ignored);
    std::string dir;
    {
        std::lock_guard<std::mutex> lock(g_reports.directory_mutex);
        dir = g_reports.directory;
    }
    const fs::path run = fs::path(base).parent_path();
    if (!dir.empty() && run.parent_path() == fs::path(dir)) fs::remove(run, ignored);  // only when empty
}

// --- threads ------------------------------------------------------------------------------

void ReportThreads::start(ReportJob job) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = running_.begin(); it != running_.end();) {
        if (it->ended->load()) {
            it->thread.join();
            it = running_.erase(it);
        } else {
            ++it;
        }
    }
    auto ended = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([job = std::move(job), ended]() mutable {
        ReportTable table;
        const int status = report_write(job.kind, job.network, job.base, report_times_now(), &table);
        if (job.done) job.done(status, job.base, std::move(table));
        ended->store(true);
    });
    running_.push_back({std::move(thread), std::move(ended)});
}

void ReportThreads::join_all() {
    std::vector<Running> running;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running.swap(running_);
    }
    for (Running& r : running)
        if (r.thread.joinable()) r.thread.join();
}
