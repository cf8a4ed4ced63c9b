// The three reports: every report file the writer made for the golden cases reads back
// as its plain text; the alarm report and the report tables against reviewed files;
// where the files go and who removes them; the threads; and the host report read in
// pieces while the capture thread writes the model.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "model/engine.h"
#include "model/names/names.h"
#include "model/net.h"
#include "model/netif.h"
#include "model/runtime.h"
#include "reports/alarm_report.h"
#include "reports/host_report.h"
#include "reports/reports.h"
#include "reports/report_model.h"
#include "reports/rich_text_lines.h"
#include "reports/stats_report.h"
#include "reports/table_file.h"
#include "support/pcap_writer.h"

namespace fs = std::filesystem;
using namespace report_tests;

namespace {

const std::string kGoldenDir = std::string(HOPSCOPE_TEST_DIR) + "/golden/expected";

// The statistics report pads two column headers differently in its two files (the
// report's own texts); the rich text's are put back as the plain text's before the two
// are compared, and nothing else may differ.
std::string with_text_headers(std::string rich) {
    const struct {
        std::string rich, text;
    } headers[] = {
        {"Hosts Name:" + std::string(53, ' ') + "Bytes Sent\n", "Hosts Name:" + std::string(61, ' ') + "Bytes Sent\n"},
        {"Source, Destination:" + std::string(44, ' ') + "Bytes Sent\n",
         "Source, Destination:" + std::string(52, ' ') + "Bytes Sent\n"},
    };
    for (const auto& h : headers)
        for (size_t at = rich.find(h.rich); at != std::string::npos; at = rich.find(h.rich, at + h.text.size()))
            rich.replace(at, h.rich.size(), h.text);
    return rich;
}

void expect_rich_reads_as_text(const std::string& base) {
    SCOPED_TRACE(base);
    const std::string rtf = read_whole(base + ".rtf");
    RtfDocument doc;
    ASSERT_EQ(rtf_read(rtf.data(), rtf.size(), &doc), 1);
    EXPECT_EQ(doc.damage, 0u);
    std::string problem;
    const std::vector<RichLine> lines = rich_text_lines(doc, &problem);
    ASSERT_TRUE(problem.empty()) << problem;
    std::string text = rich_text_as_plain(lines);
    if (fs::path(base).filename() == "statsrep") text = with_text_headers(text);
    EXPECT_EQ(text, read_whole(base + ".txt"));
}

// The report files of `dir` against the reviewed ones in `expected` (both: base paths
// without the extension), or written there when refreshing.
void expect_files(const std::string& made, const std::string& expected) {
    for (int kind = 0; kind < kDocumentKinds; ++kind) {
        const std::string golden = document_path(expected, kind);
        if (refreshing()) write_whole(golden, read_whole(document_path(made, kind)));
        else EXPECT_EQ(read_whole(document_path(made, kind)), read_whole(golden)) << golden;
    }
}

void expect_golden(const std::string& bytes, const std::string& golden) {
    if (refreshing()) write_whole(golden, bytes);
    else EXPECT_EQ(bytes, read_whole(golden)) << golden;
}

// The alarm list of a case file: one block an alarm, in list order (type, activations,
// times as seconds separated by spaces, notify).
std::vector<AlarmReportRow> read_alarms(const std::string& path) {
    std::vector<AlarmReportRow> rows;
    for (const Case& c : read_cases(path)) {
        AlarmReportRow r;
        r.type = c.at("type") == "threshold" ? AlarmReportType::threshold : AlarmReportType::occurrence;
        r.activations = std::stoull(c.at("activations"));
        std::istringstream times(c.at("times"));
        for (long long t; times >> t;) r.times.push_back(static_cast<std::time_t>(t));
        r.notify = unescape(c.at("notify"));
        rows.push_back(std::move(r));
    }
    return rows;
}

std::vector<AlarmReportRow> g_alarm_rows;
std::vector<ReportRank> g_top_alarms;
std::vector<AlarmReportRow> alarm_rows() { return g_alarm_rows; }
std::vector<ReportRank> top_alarms() { return g_top_alarms; }

// Installs the alarm sources for one test and removes them after it.
struct AlarmSources {
    AlarmSources(std::vector<AlarmReportRow> rows, std::vector<ReportRank> top) {
        g_alarm_rows = std::move(rows);
        g_top_alarms = std::move(top);
        report_set_alarm_sources(alarm_rows, top_alarms);
    }
    ~AlarmSources() { report_set_alarm_sources(nullptr, nullptr); }
};

constexpr ReportTimes kTimes{741397748, 741401348};  // TZ=UTC: Tue Jun 29 23:49:08 1993, an hour later

}  // namespace

// Every report the golden cases hold (tests/golden/report_cases.txt) reads back through
// the program's own reader as the plain-text file.
TEST(ReportFiles, EveryGoldenRichTextReadsAsItsPlainText) {
    int reports = 0;
    for (const auto& entry : fs::directory_iterator(kGoldenDir)) {
        if (!entry.is_directory()) continue;
        for (int kind = 0; kind < kReportKinds; ++kind) {
            expect_rich_reads_as_text((entry.path() / report_info(kind).base_name).string());
            ++reports;
        }
    }
    EXPECT_GE(reports, 9);
    expect_rich_reads_as_text(data_path("alarmrep"));
}

// The alarm report of data/alarm_cases.txt: alarms that never fired are left out; the
// count is the exact one even where fewer times were kept; notify strings reach the
// rich text and the HTML escaped; the table has one row per activation time kept.
TEST(AlarmReport, IsTheReviewedFiles) {
    const std::vector<AlarmReportRow> alarms = read_alarms(data_path("alarm_cases.txt"));
    ASSERT_GE(alarms.size(), 4u);
    TempDir dir;
    const std::string base = (dir.path / "alarmrep").string();
    ReportTable table;
    ASSERT_EQ(alarm_report_write(alarms, base, kTimes, &table), 1);
    expect_files(base, data_path("alarmrep"));
    expect_golden(csv_format(table), data_path("alarmrep.csv"));
    EXPECT_EQ(read_whole(base + ".txt").find("never fired"), std::string::npos);
}

TEST(AlarmReport, ComesFromTheInstalledSource) {
    TempDir dir;
    const std::string base = (dir.path / "alarmrep").string();
    ASSERT_EQ(report_write(kAlarmReport, nullptr, base, kTimes, nullptr), 1);
    const std::string none = read_whole(base + ".txt");
    EXPECT_EQ(none, "Monitored Alarms Report\n\n\nproduced by Hopscope\n\n\n");
    AlarmSources sources({{AlarmReportType::occurrence, "from the source", 1, {0}}}, {});
    ASSERT_EQ(report_write(kAlarmReport, nullptr, base, kTimes, nullptr), 1);
    EXPECT_NE(read_whole(base + ".txt").find("Alarm Notify String: from the source\n"), std::string::npos);
}

// The tables the viewer saves as comma-separated data, for a small segment, and the
// statistics report's top alarms from the alarm source.
TEST_F(ReportModel, TablesAreTheReviewedFiles) {
    small_segment();
    AlarmSources sources({}, {{"disk, full", 7}, {"link down", 2}});
    TempDir dir;
    ReportTable hosts, stats;
    ASSERT_EQ(report_write(kHostReport, net, (dir.path / "hostrep").string(), kTimes, &hosts), 1);
    ASSERT_EQ(report_write(kStatsReport, net, (dir.path / "statsrep").string(), kTimes, &stats), 1);
    expect_golden(csv_format(hosts), data_path("hostrep.csv"));
    expect_golden(csv_format(stats), data_path("statsrep.csv"));
    // The texts that HTML would read as markup are escaped in the raw table rows too.
    const std::string html = read_whole((dir.path / "hostrep.html").string());
    EXPECT_EQ(html.find("<b>&amp;"), std::string::npos);
    EXPECT_NE(html.find("&lt;b&gt;&amp;amp;"), std::string::npos);
    const std::string stats_text = read_whole((dir.path / "statsrep.txt").string());
    EXPECT_NE(stats_text.find("Top 2 Alarms are: \n"), std::string::npos);
    expect_rich_reads_as_text((dir.path / "hostrep").string());
    expect_rich_reads_as_text((dir.path / "statsrep").string());
}

// Rankings are written in the order of their keys, even where a list's places trail
// its keys (an item is offered before its frame is counted).
TEST_F(ReportModel, RankingsAreInTheOrderOfTheirKeys) {
    small_segment();
    const StatsReportInput in = stats_report_gather(net);
    ASSERT_FALSE(in.hosts.empty());
    ASSERT_FALSE(in.links.empty());
    for (const auto* ranks : {&in.hosts, &in.links})
        for (size_t i = 1; i < ranks->size(); ++i) EXPECT_GE((*ranks)[i - 1].count, (*ranks)[i].count) << i;
}

TEST(ReportColumn, CutsAndPadsByCharacters) {
    const struct {
        const char* text;
        size_t width;
        const char* column;
    } cases[] = {
        {"abc", 5, "abc  "},
        {"abcdef", 3, "abc"},
        {"", 2, "  "},
        {nullptr, 2, "  "},
        {"caf\xC3\xA9-au-lait", 4, "caf\xC3\xA9"},        // a two-byte character is one column
        {"\xE2\x82\xAC\xE2\x82\xAC", 3, "\xE2\x82\xAC\xE2\x82\xAC "},
        {"ab\xFF\xFE" "cd", 4, "ab\xFF\xFE"},              // a byte that is not UTF-8 is one column
        {"ab\xC3", 4, "ab\xC3 "},                           // a sequence cut by the end
    };
    for (const auto& c : cases) EXPECT_EQ(report_column(c.text, c.width), c.column) << (c.text ? c.text : "null");
}

// Every run gets a directory of its own in the process's private one, so a report run
// again never touches the files an open viewer shows; removing a run's files removes
// its directory and nothing of another run.
TEST(ReportDirectory, AFreshRunDirectoryForEveryReport) {
    std::string dir;
    ASSERT_EQ(report_directory(&dir), 1);
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "no other user may list, read or plant report files";

    std::string first, second;
    ASSERT_EQ(report_fresh_base(kHostReport, &first), 1);
    ASSERT_EQ(report_fresh_base(kHostReport, &second), 1);
    EXPECT_NE(first, second);
    EXPECT_EQ(fs::path(first).filename(), "hostrep");
    EXPECT_EQ(fs::path(first).parent_path().parent_path(), fs::path(dir));
    ASSERT_EQ(report_write(kHostReport, nullptr, first, kTimes, nullptr), 1);
    ASSERT_EQ(report_write(kHostReport, nullptr, second, kTimes, nullptr), 1);

    report_remove_files(first);
    EXPECT_FALSE(fs::exists(fs::path(first).parent_path()));
    for (int kind = 0; kind < kDocumentKinds; ++kind) EXPECT_TRUE(fs::exists(document_path(second, kind)));
    report_remove_files(second);
    EXPECT_FALSE(fs::exists(fs::path(second).parent_path()));

    // A base outside the private directory loses its files, never its directory.
    TempDir other;
    const std::string outside = (other.path / "statsrep").string();
    ASSERT_EQ(report_write(kStatsReport, nullptr, outside, kTimes, nullptr), 1);
    report_remove_files(outside);
    EXPECT_TRUE(other.names().empty());
    EXPECT_TRUE(fs::exists(other.path));
}

// The private directory goes, with what is left in it, when the process ends.
TEST(ReportDirectory, IsRemovedWhenTheProcessEnds) {
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string base;
        if (report_fresh_base(kAlarmReport, &base) != 1 || report_write(kAlarmReport, nullptr, base, kTimes, nullptr) != 1)
            _exit(2);
        std::string dir;
        if (report_directory(&dir) != 1) _exit(2);
        if (::write(pipe_fds[1], dir.data(), dir.size()) != static_cast<ssize_t>(dir.size())) _exit(2);
        std::exit(0);  // runs the handlers registered with atexit
    }
    ::close(pipe_fds[1]);
    char buf[1100];
    const ssize_t n = ::read(pipe_fds[0], buf, sizeof buf);
    ::close(pipe_fds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_GT(n, 0);
    EXPECT_FALSE(fs::exists(std::string(buf, static_cast<size_t>(n))));
}

// Each job runs on its own thread and tells its caller, with its table, once its files
// are complete.
TEST_F(ReportModel, ReportThreadsTellEachJobsCaller) {
    small_segment();
    TempDir dir;
    std::mutex mutex;
    std::map<std::string, std::pair<int, size_t>> told;  // base -> status, table rows
    {
        ReportThreads threads;
        for (int kind = 0; kind < kReportKinds; ++kind) {
            ReportJob job;
            job.kind = kind;
            job.network = net;
            job.base = (dir.path / report_info(kind).base_name).string();
            job.done = [&](int status, const std::string& base, ReportTable table) {
                // The files are complete when the caller hears of them.
                const bool whole = read_whole(base + ".rtf").back() == '}' &&
                                   read_whole(base + ".html").ends_with("</HTML>");
                std::lock_guard<std::mutex> lock(mutex);
                told[base] = {whole ? status : -2, table.rows.size()};
            };
            threads.start(std::move(job));
        }
        threads.join_all();
        ReportJob failing;
        failing.base = (dir.path / "missing" / "hostrep").string();
        failing.done = [&](int status, const std::string& base, ReportTable) {
            std::lock_guard<std::mutex> lock(mutex);
            told[base] = {status, 0};
        };
        threads.start(std::move(failing));
    }  // the destructor joins
    ASSERT_EQ(told.size(), 4u);
    EXPECT_EQ(told[(dir.path / "hostrep").string()].first, 1);
    EXPECT_GT(told[(dir.path / "hostrep").string()].second, 5u);
    EXPECT_EQ(told[(dir.path / "statsrep").string()].first, 1);
    EXPECT_EQ(told[(dir.path / "alarmrep").string()].first, 1);
    EXPECT_EQ(told[(dir.path / "missing" / "hostrep").string()].first, -1);
}

// The host report reads the model in pieces while the capture thread keeps writing it
// (new frames, new hosts): it takes the lock many times, never for the whole report, and
// writes every host that had links when it began. Under ThreadSanitizer this is also
// the proof that the report reads nothing outside the lock.
TEST_F(ReportModel, HostReportReadsInPiecesWhileCaptureWrites) {
    constexpr int kHosts = 1500;
    auto address = [](int i) {
        char text[18];
        std::snprintf(text, sizeof text, "02:00:00:%02x:%02x:%02x", (i >> 16) & 255, (i >> 8) & 255, i & 255);
        return std::string(text);
    };
    for (int i = 0; i < kHosts; ++i) {
        send(address((i + 1) % kHosts), address(i), 0x0800, 46);
        send(address((i + 7) % kHosts), address(i), 0x0806, 28);
    }
    std::atomic<bool> reporting{true};
    std::atomic<int> batches{0};
    std::thread capture([&] {
        int next = kHosts;
        while (reporting.load()) {
            for (int k = 0; k < 64; ++k) send(address(k * 13 % kHosts), address(next++), 0x0800, 46);
            batches.fetch_add(1);
        }
    });
    while (batches.load() == 0) std::this_thread::yield();  // the capture thread is writing
    TempDir dir;
    const std::string base = (dir.path / "hostrep").string();
    HostReportStats stats;
    const int written = host_report_write(net, base, kTimes, nullptr, &stats);
    reporting.store(false);
    capture.join();
    ASSERT_EQ(written, 1);
    EXPECT_GE(stats.hosts, static_cast<size_t>(kHosts));
    EXPECT_GE(stats.rows, 2u * kHosts);
    EXPECT_GE(stats.pieces, static_cast<size_t>(2 * kHosts) / kHostReportPieceRows);
    expect_rich_reads_as_text(base);
}
