// The three reports: what each is called, where its files go, what it reads besides the
// traffic model, and how a report is run on a thread of its own.
//
//   kind        base name   viewer title         heading
//   host        "hostrep"   "Host Report"        "Report of Monitored Host Statistics"
//   statistics  "statsrep"  "Statistics Report"  "Report of Monitored Statistics"
//   alarm       "alarmrep"  "Host Report"        "Monitored Alarms Report"
//
// Where the files go. The program's reports live in a directory of this process's own,
// made on first use in the system's temporary directory (mkdtemp, mode 0700) and
// removed with whatever is left in it when the process ends. Every run of a report gets
// a fresh subdirectory there ("1", "2", ...), and its three files keep the report's base
// name: "<dir>/3/hostrep.txt", ".rtf", ".html". So a report run again while its viewer
// is open writes new files, each viewer shows and, when closed, deletes only its own,
// and no other user of the machine can read, replace or plant report files.
//
// What the reports read besides the model. The alarm report's alarms and the
// statistics report's top alarms belong to the alarm engine, which keeps them under its
// own lock; it hands them over through report_set_alarm_sources as plain rows, copied
// on the report's thread. Until a source is installed the report sees no alarms.
//
// No Qt. The functions here may be called from any thread unless said otherwise.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "reports/document.h"
#include "reports/report_table.h"

struct Network;

enum ReportKind : int {
    kHostReport = 0,
    kStatsReport = 1,
    kAlarmReport = 2,
};
inline constexpr int kReportKinds = 3;

struct ReportInfo {
    const char* base_name;
    const char* title;
    const char* heading;
};

// The names of a kind; an unknown kind gives the host report's.
[[nodiscard]] const ReportInfo& report_info(int kind);

// The times a report prints: when recording started and when the report was made.
struct ReportTimes {
    std::time_t recording_started = 0;
    std::time_t generated = 0;
};

// The times as the program knows them now: the recorded start time and the wall clock
// (model/runtime.h, whose clock tests and the replay tool may fix).
[[nodiscard]] ReportTimes report_times_now();

// --- what the alarm engine hands over ---------------------------------------------------

enum class AlarmReportType { occurrence, threshold };

// One alarm of the alarm list, in list order.
struct AlarmReportRow {
    AlarmReportType type = AlarmReportType::occurrence;
    std::string notify;               // the notify string
    uint64_t activations = 0;         // how often it fired (exact)
    std::vector<std::time_t> times;   // the activation times it keeps, in list order
};

// One entry of a ranking: its text and its count.
struct ReportRank {
    std::string text;
    uint64_t count = 0;
};

// Each returns a copy taken under the alarm engine's own lock. Null: none.
using AlarmRowsSource = std::vector<AlarmReportRow> (*)();
using TopAlarmsSource = std::vector<ReportRank> (*)();

// Installs the sources (null removes one). Call before any report runs (start-up).
void report_set_alarm_sources(AlarmRowsSource rows, TopAlarmsSource top_alarms);
// What the sources give now; empty without a source.
[[nodiscard]] std::vector<AlarmReportRow> report_alarm_rows();
[[nodiscard]] std::vector<ReportRank> report_top_alarms();

// --- parts every report shares --------------------------------------------------------

// Raw HTML "<CENTER><H2><B>heading</B></H2><HR WIDTH=75%></CENTER><P>".
void report_heading_html(ReportDocument* doc, const char* heading);

// Opens the report of `kind` after `base` and writes its heading: the raw HTML above,
// then the heading in bold and a blank line to `heading_targets`. Returns what
// document_open returns.
[[nodiscard]] int report_open(ReportDocument* doc, int kind, const std::string& base, unsigned heading_targets);
// The footer: raw HTML "<HR WIDTH=75%><FONT SIZE=-6>produced by Hopscope" and "</FONT>",
// and `line` (write_line) to text and rich.
void report_footer(ReportDocument* doc, const char* line);

// `text` cut to at most `width` characters, then padded with spaces to `width`
// characters: what "%-W.Ws" gives for ASCII text. A character is a UTF-8 sequence or a
// byte that is not part of one, so a name is never cut inside a character and the
// columns line up in the viewer whatever the names hold.
[[nodiscard]] std::string report_column(const char* text, size_t width);

// The time text of a moment without its line feed, as the tables hold it.
[[nodiscard]] std::string report_time_cell(std::time_t when);

// --- running a report -------------------------------------------------------------------

// Writes the report of `kind` about `network` (null: no hosts and no rankings) into the
// three files after `base`, and fills `table` (may be null) with its table. Reads the
// model under its shared lock in bounded pieces. Returns 1, or -1 when the files could
// not be written.
[[nodiscard]] int report_write(int kind, const Network* network, const std::string& base, const ReportTimes& times,
                               ReportTable* table);

// The directory of this process's reports (made on the first call; see above). Returns
// 1 with its path, or -1 when no temporary directory can be made.
[[nodiscard]] int report_directory(std::string* dir);

// A fresh directory for one run of a report in report_directory, and the base path of
// its files in it (dir + "/N/" + base name). Returns 1, or -1.
[[nodiscard]] int report_fresh_base(int kind, std::string* base);

// Deletes the three files of a report and, when it is a run directory made by
// report_fresh_base, that directory. Missing files are no error.
void report_remove_files(const std::string& base);

// A report to run on a thread: what it writes, and who is told when it is done.
struct ReportJob {
    int kind = kHostReport;
    const Network* network = nullptr;
    std::string base;
    // Called on the report's thread after the files are written (status 1) or not (-1),
    // with the base and the report's table.
    std::function<void(int status, const std::string& base, ReportTable table)> done;
};

// The report threads of the program: each job runs on a thread of its own; the threads
// are joined by join_all and by the destructor, so none outlives what it reads.
class ReportThreads {
public:
    ReportThreads() = default;
    ReportThreads(const ReportThreads&) = delete;
    ReportThreads& operator=(const ReportThreads&) = delete;
    ~ReportThreads() { join_all(); }

    // Starts the job (the times are taken when the thread starts). Threads of jobs that
    // have ended are joined here.
    void start(ReportJob job);
    // Waits for every started job to end.
    void join_all();

private:
    struct Running {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };
    std::mutex mutex_;
    std::vector<Running> running_;
};
