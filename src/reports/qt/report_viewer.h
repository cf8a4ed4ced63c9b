// The report viewer: a top-level window of its own for each report, with the menu
// "REPORT" and a toolbar over the report's rich text; it saves a copy of the report,
// prints it, copies, selects and finds text, and deletes the report's files when it is
// closed. Created hidden by start_report; shown when the report's thread tells it
// (message 10009) that the files are complete.
//
//   menu     entry          command   toolbar tooltip
//   "&File"  "&SaveAs"      10001     "Save As"
//            "&Print"       10000     "Print"
//            "&Close"       10005     "Close Window"
//   "&Edit"  "&Select All"  10003
//            "C&opy"        10002     "Copy"
//            "&Find"        10004     "Find"
//
// Find: one modeless Find dialog for all viewers; it searches the view that had the
// keyboard focus last, from the character after the start of its selection to the end.
//
// Window thread only, except report_ready_post (any thread).
#pragma once

#include <QEvent>
#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <mutex>
#include <string>

#include "reports/report_table.h"
#include "ui/window_messages.h"

class QTextEdit;
class QToolBar;

enum ReportCommand : int {
    kCmdReportPrint = 10000,
    kCmdReportSaveAs = 10001,
    kCmdReportCopy = 10002,
    kCmdReportSelectAll = 10003,
    kCmdReportFind = 10004,
    kCmdReportClose = 10005,
};

inline constexpr char kReportMenuName[] = "REPORT";
inline constexpr char kReportErrorTitle[] = "Corvex error";
inline constexpr char kFindTitle[] = "Find";
inline constexpr char kTextNotFound[] = "Text not found.";
inline constexpr int kFindTextMax = 128;

// The Save As filters, in order (the index is the filter's number).
enum ReportSaveFilter : int { kSaveText = 0, kSaveCsv = 1, kSaveRich = 2, kSaveHtml = 3 };

// Message 10009: the report's files are complete (status 1) or could not be written.
class ReportReadyEvent : public QEvent {
public:
    ReportReadyEvent(int status, std::string base, ReportTable table)
        : QEvent(static_cast<QEvent::Type>(kMsgReportReady)), status(status), base(std::move(base)),
          table(std::move(table)) {}
    int status;
    std::string base;
    ReportTable table;
};

// Where a report's thread sends its 10009: the viewer, for as long as it exists. The
// viewer clears it when it goes, so the thread never posts to a window that is gone.
struct ReportMailbox {
    std::mutex mutex;
    QObject* viewer = nullptr;
};

// Posts the report-ready message to the mailbox's viewer, if it is still there.
void report_ready_post(ReportMailbox* mailbox, int status, const std::string& base, ReportTable table);

class ReportViewer : public QMainWindow {
    Q_OBJECT
public:
    explicit ReportViewer(const QString& title);
    ~ReportViewer() override;

    // Serves one command of the menu or toolbar; any other number does nothing.
    void command(int number);

    // Save As without the dialog: the file of `filter` (the report's table as
    // comma-separated data for kSaveCsv) to a new file `path`. Returns 1 when written,
    // 0 when `path` exists (it is left as it was), -1 when it could not be written.
    // Says so in an error box unless it wrote the file.
    int save_as(const QString& path, int filter);

    // Find next as the Find dialog does it: selects the hit and returns true, or shows
    // "Text not found." and returns false.
    bool find_next(const QString& text, bool match_case, bool whole_word);

    [[nodiscard]] QTextEdit* view() const { return view_; }
    [[nodiscard]] QToolBar* tool_bar() const { return tools_; }
    [[nodiscard]] const std::string& base() const { return base_; }
    [[nodiscard]] const ReportTable& table() const { return table_; }
    [[nodiscard]] std::shared_ptr<ReportMailbox> mailbox() const { return mailbox_; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build_menu_and_tools();
    void save_as_dialog();
    void print();
    void find_dialog();

    QTextEdit* view_;
    QToolBar* tools_ = nullptr;
    std::string base_;
    ReportTable table_;
    std::shared_ptr<ReportMailbox> mailbox_;
};

// create_report_window: a hidden viewer with the given title.
[[nodiscard]] ReportViewer* create_report_window(const QString& title);

// start_report: the report of `kind` (reports/reports.h) about the current network, on
// a thread of its own, into a fresh run directory, shown in a new viewer. Does nothing
// when no temporary directory can be made. Returns the viewer (hidden until the files
// are complete), or null.
ReportViewer* start_report(int kind);

// Waits for every report thread (the program's end; tests).
void report_threads_join();

// The open Find dialog, or null.
[[nodiscard]] QDialog* report_find_dialog();
