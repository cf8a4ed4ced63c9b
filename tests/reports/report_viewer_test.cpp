// The report viewer, offscreen: a report from start_report to its viewer and back to
// nothing when the viewer closes; runs that never share files; Find; Save As in its four
// kinds without ever replacing a file; the menu and toolbar.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QTimer>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolBar>

#include <filesystem>
#include <string>
#include <vector>

#include "base/message.h"
#include "reports/qt/report_viewer.h"
#include "reports/report_model.h"
#include "reports/reports.h"
#include "reports/table_file.h"

namespace fs = std::filesystem;
using namespace report_tests;

namespace {

// The messages shown while it lives, instead of message boxes.
struct Messages {
    std::vector<std::string> shown;  // "title: text"
    MessageSink previous;
    Messages() {
        previous = message_set_sink([this](const std::string& title, const std::string& text, MessageIcon) {
            shown.push_back(title + ": " + text);
        });
    }
    ~Messages() { message_set_sink(previous); }
};

class Viewer : public ReportModel {
protected:
    // Runs a report to its viewer, as the menu does, and waits until it is shown.
    ReportViewer* run(int kind) {
        ReportViewer* v = start_report(kind);
        EXPECT_NE(v, nullptr);
        if (!v) return nullptr;
        EXPECT_FALSE(v->isVisible()) << "hidden until the report is complete";
        report_threads_join();
        QCoreApplication::sendPostedEvents();
        EXPECT_TRUE(v->isVisible());
        return v;
    }
    static void close(ReportViewer* v) {
        v->command(kCmdReportClose);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static bool files_exist(const std::string& base) {
        for (int kind = 0; kind < kDocumentKinds; ++kind)
            if (!fs::exists(document_path(base, kind))) return false;
        return true;
    }
};

}  // namespace

TEST_F(Viewer, EachReportOpensInItsViewerAndItsFilesGoWithIt) {
    small_segment();
    const struct {
        int kind;
        const char* title;
        const char* shown;
    } reports[] = {
        {kHostReport, "Host Report", "00:00:00:00:00:0C"},
        {kStatsReport, "Statistics Report", "Overall Statistics"},
        {kAlarmReport, "Host Report", "Monitored Alarms Report"},
    };
    for (const auto& r : reports) {
        SCOPED_TRACE(r.title);
        QPointer<ReportViewer> v = run(r.kind);
        ASSERT_TRUE(v);
        EXPECT_EQ(v->windowTitle(), r.title);
        EXPECT_TRUE(v->view()->toPlainText().contains(r.shown));
        EXPECT_FALSE(v->view()->document()->isModified());
        const std::string base = v->base();
        EXPECT_EQ(fs::path(base).filename(), report_info(r.kind).base_name);
        EXPECT_TRUE(files_exist(base));
        close(v);
        EXPECT_FALSE(v) << "closing destroys the viewer";
        EXPECT_FALSE(fs::exists(fs::path(base).parent_path())) << "its three files and its run directory are gone";
    }
}

// A report run again while its viewer is open gets files of its own: each viewer shows
// its own and closing one leaves the other's.
TEST_F(Viewer, ARunAgainNeverTouchesTheOpenViewersFiles) {
    small_segment();
    ReportViewer* first = run(kHostReport);
    send("00:00:00:00:00:0a", "00:00:00:00:00:0e", 0x0800, 46);  // a new host since
    ReportViewer* second = run(kHostReport);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->base(), second->base());
    EXPECT_FALSE(first->view()->toPlainText().contains("00:00:00:00:00:0E"));
    EXPECT_TRUE(second->view()->toPlainText().contains("00:00:00:00:00:0E"));
    const std::string kept = second->base();
    close(first);
    EXPECT_TRUE(files_exist(kept));
    close(second);
    EXPECT_FALSE(files_exist(kept));
}

// A report that could not be written shows nothing and leaves no viewer behind.
TEST(ViewerReady, AFailedReportLeavesNoViewer) {
    Messages messages;
    QPointer<ReportViewer> v = create_report_window("Host Report");
    QCoreApplication::postEvent(v, new ReportReadyEvent(-1, "/nonexistent/1/hostrep", {}));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(v);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Hopscope: The report could not be written."});
}

// A viewer that is gone before its report is done is never posted to.
TEST_F(Viewer, AViewerGoneBeforeItsReportIsNeverTold) {
    small_segment();
    ReportViewer* v = start_report(kStatsReport);
    ASSERT_NE(v, nullptr);
    const std::shared_ptr<ReportMailbox> mailbox = v->mailbox();
    delete v;
    EXPECT_EQ(mailbox->viewer, nullptr);
    report_threads_join();
    QCoreApplication::sendPostedEvents();  // nothing is delivered to the deleted window
}

// Find from the character after the start of the selection to the end; a miss says
// "Text not found." in a box titled "Find".
TEST_F(Viewer, FindSearchesForwardFromAfterTheSelectionStart) {
    small_segment();
    Messages messages;
    ReportViewer* v = run(kHostReport);
    ASSERT_TRUE(v);
    const QString text = v->view()->toPlainText();
    const QString address = "00:00:00:00:00:0C";
    ASSERT_GE(text.count(address), 2);

    ASSERT_TRUE(v->find_next(address, false, false));
    const int first = v->view()->textCursor().selectionStart();
    EXPECT_EQ(first, text.indexOf(address));
    EXPECT_EQ(v->view()->textCursor().selectedText(), address);
    ASSERT_TRUE(v->find_next(address, false, false));
    EXPECT_EQ(v->view()->textCursor().selectionStart(), text.indexOf(address, first + 1));
    while (v->find_next(address, false, false)) {
    }
    EXPECT_EQ(messages.shown.back(), "Find: Text not found.");
    EXPECT_EQ(v->view()->textCursor().selectedText(), address) << "a miss keeps the selection";

    // Text only before the selection is not found.
    messages.shown.clear();
    EXPECT_FALSE(v->find_next("Report of Monitored Host Statistics", false, false));
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Find: Text not found."});

    // Case and whole words.
    QTextCursor top(v->view()->document());
    v->view()->setTextCursor(top);
    EXPECT_FALSE(v->find_next("REPORT OF", true, false));
    EXPECT_TRUE(v->find_next("REPORT OF", false, false));
    v->view()->setTextCursor(top);
    EXPECT_FALSE(v->find_next("Monitor", false, true));
    EXPECT_TRUE(v->find_next("Monitored", false, true));
    close(v);
}

TEST_F(Viewer, FindUsesOneSharedDialog) {
    small_segment();
    ReportViewer* a = run(kHostReport);
    ReportViewer* b = run(kStatsReport);
    ASSERT_TRUE(a && b);
    a->command(kCmdReportFind);
    QDialog* dialog = report_find_dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Find");
    b->command(kCmdReportFind);
    EXPECT_EQ(report_find_dialog(), dialog) << "at most one Find dialog";
    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(report_find_dialog(), nullptr) << "closing it clears the shared handle";
    close(a);
    close(b);
}

// Save As writes the report's text, rich text or HTML file, or its table as
// comma-separated data, to a new file, and never replaces an existing one.
TEST_F(Viewer, SaveAsWritesEachKindAndNeverReplacesAFile) {
    small_segment();
    Messages messages;
    ReportViewer* v = run(kHostReport);
    ASSERT_TRUE(v);
    TempDir dir;
    const std::string base = v->base();
    const struct {
        int filter;
        const char* name;
        std::string expected;
    } kinds[] = {
        {kSaveText, "copy.txt", read_whole(base + ".txt")},
        {kSaveCsv, "copy.dat", csv_format(v->table())},
        {kSaveRich, "copy.rtf", read_whole(base + ".rtf")},
        {kSaveHtml, "copy.html", read_whole(base + ".html")},
    };
    for (const auto& k : kinds) {
        const std::string path = (dir.path / k.name).string();
        EXPECT_EQ(v->save_as(QString::fromStdString(path), k.filter), 1) << k.name;
        EXPECT_EQ(read_whole(path), k.expected) << k.name;
    }
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_NE(read_whole((dir.path / "copy.dat").string()).find("Host,Host Address,Traffic to"), std::string::npos);

    const std::string existing = (dir.path / "copy.txt").string();
    write_whole(existing, "mine");
    EXPECT_EQ(v->save_as(QString::fromStdString(existing), kSaveHtml), 0);
    EXPECT_EQ(read_whole(existing), "mine");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], "Corvex error: " + existing + " already exists; the report was not saved over it.");
    EXPECT_EQ(v->save_as(QString::fromStdString((dir.path / "missing" / "x.txt").string()), kSaveText), -1);
    close(v);
}

// The Save As dialog as the user meets it: its four filters by name, each choice saving
// its own kind, the default extension "txt".
TEST_F(Viewer, SaveAsDialogSavesTheChosenKind) {
    small_segment();
    ReportViewer* v = run(kStatsReport);
    ASSERT_TRUE(v);
    TempDir dir;
    const QStringList names = {"Text files {*.*}", "Comma Separated Data {*.DAT;*.dat}", "Rich text files {*.RTF;*.rtf}",
                               "HTML files {*.HTML;*.html}"};
    const std::string expected[] = {read_whole(v->base() + ".txt"), csv_format(v->table()), read_whole(v->base() + ".rtf"),
                                    read_whole(v->base() + ".html")};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        QStringList offered;
        const QString name = QString::fromStdString((dir.path / ("saved" + std::to_string(i))).string());
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            offered = dialog->nameFilters();
            dialog->selectNameFilter(dialog->nameFilters()[i]);
            dialog->selectFile(name);
            static_cast<QDialog*>(dialog)->accept();  // the file dialog's own accept, as its Save button
        });
        v->command(kCmdReportSaveAs);
        ASSERT_EQ(offered.size(), 4);
        for (int k = 0; k < 4; ++k) EXPECT_TRUE(offered[k].startsWith(names[k])) << offered[k].toStdString();
        EXPECT_EQ(read_whole(name.toStdString() + ".txt"), expected[i]) << "saved with the default extension";
    }
    close(v);
}

TEST(ViewerWindow, MenuAndToolbar) {
    ReportViewer* v = create_report_window("Statistics Report");
    EXPECT_FALSE(v->isVisible());
    EXPECT_EQ(v->menuBar()->objectName(), "REPORT");
    std::vector<std::string> entries;
    for (QMenu* menu : v->menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) {
        for (QAction* a : menu->actions())
            entries.push_back(menu->title().toStdString() + " " + a->text().toStdString() + " " +
                              std::to_string(a->data().toInt()));
    }
    EXPECT_EQ(entries, (std::vector<std::string>{"&File &SaveAs 10001", "&File &Print 10000", "&File &Close 10005",
                                                 "&Edit &Select All 10003", "&Edit C&opy 10002",
                                                 "&Edit &Find 10004"}));
    std::vector<std::string> tools;
    for (QAction* a : v->tool_bar()->actions())
        tools.push_back(a->isSeparator() ? "|" : a->toolTip().toStdString() + " " + std::to_string(a->data().toInt()));
    EXPECT_EQ(tools, (std::vector<std::string>{"Save As 10001", "Print 10000", "Copy 10002", "Find 10004", "|",
                                               "Close Window 10005"}));
    EXPECT_EQ(v->tool_bar()->iconSize(), QSize(16, 16));
    for (QAction* a : v->tool_bar()->actions()) EXPECT_TRUE(a->isSeparator() || !a->icon().isNull());
    delete v;
}
