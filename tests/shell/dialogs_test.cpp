// The Network Adapters dialog and File > Choose Adapter, the status bar's reason when an
// adapter cannot be opened, and the help window, with Qt Test, offscreen.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/program.h"
#include "app/steps.h"
#include "lists/qt/popup.h"
#include "model/net.h"
#include "shell/qt/adapter_chooser.h"
#include "shell/qt/help_window.h"
#include "shell/qt/main_window.h"
#include "shell/settings.h"
#include "shell/shell.h"
#include "shell/startup_steps.h"
#include "shell/test_files.h"

using namespace shelltest;

namespace {

// Runs `act` on the modal dialog once it is open. An earlier test's shutdown asked the
// application to quit, which ends every dialog's loop at once until the application's
// own loop has run again: it runs here, for a moment.
void when_open(std::function<void(AdapterChooser*)> act) {
    QApplication::setQuitOnLastWindowClosed(false);
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<AdapterChooser*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(dialog);
    });
}

void choose_row(AdapterChooser* d, int row) {
    d->table->clearSelection();
    d->table->topLevelItem(row)->setSelected(true);
    d->use_button->click();
}

class ChooserTest : public ::testing::Test {
protected:
    ChooserTest() {
        adapters_[0] = adapter("eth0", "Ethernet", 0);
        adapters_[1] = adapter("eth1", "Ethernet too", 0);
        adapters_[2] = adapter("lo", "Loopback", 772);
        for (int i = 0; i < 3; ++i) list_[i] = &adapters_[i];
        list_[3] = nullptr;
    }
    hscap::Adapter adapters_[3];
    hscap::Adapter* list_[4];
};

// The program's start-up on capture files that count as adapters of the system (they
// are registered before start-up, not named on its command line), and its main window.
class ProgramTest : public ::testing::Test {
protected:
    void start(int ethernet_files) {
        hscap::reset_sources();
        startup_steps() = app_startup_steps();
        app_install_program_steps();
        startup_steps().focus_dump = nullptr;
        startup_steps().alarm_dump = nullptr;
        key_ = key_file("dialogs.reg", empty_key());
        char err[hscap::kErrbufSize];
        for (int i = 0; i < ethernet_files; ++i) {
            files_.push_back(small_capture("switch" + std::to_string(i) + ".pcap", "00:00:00:00:00:0" + std::to_string(i + 1)));
            ASSERT_EQ(hscap::add_capture_file(files_.back().c_str(), hscap::Pace::Recorded, true, err), 0);
        }
        files_.push_back(small_capture("other.pcap", "00:00:00:00:00:09", 101));
        ASSERT_EQ(hscap::add_capture_file(files_.back().c_str(), hscap::Pace::Recorded, true, err), 0);
        ASSERT_EQ(shell_startup({}, key_), 0);
        popup_list_create();
        window_ = std::make_unique<MainWindow>();
        window_->update_title();
    }
    void TearDown() override {
        window_.reset();
        hscap::reset_sources();
        startup_steps() = app_startup_steps();
        command_hooks() = CommandHooks{};
    }
    std::string key_;
    std::vector<std::string> files_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace

TEST_F(ChooserTest, RowsColumnsAndTheCurrentRow) {
    AdapterChooser d(list_, 3, 1);
    EXPECT_EQ(d.windowTitle(), "Network Adapters");
    ASSERT_EQ(d.table->topLevelItemCount(), 3);
    EXPECT_EQ(d.table->headerItem()->text(0), "Adapter");
    EXPECT_EQ(d.table->headerItem()->text(1), "Description");
    EXPECT_EQ(d.table->columnWidth(0), 100);
    EXPECT_EQ(d.table->columnWidth(1), 300);
    EXPECT_EQ(d.table->topLevelItem(2)->text(0), "lo");
    EXPECT_EQ(d.table->topLevelItem(2)->text(1), "Loopback");
    EXPECT_EQ(d.table->indexOfTopLevelItem(d.table->selectedItems().value(0)), 1);
    EXPECT_TRUE(d.use_button->isDefault());
    // An index past the rows (also the one just past them) starts on the first row.
    for (unsigned beyond : {3u, 7u}) {
        AdapterChooser past(list_, 3, beyond);
        EXPECT_EQ(past.table->indexOfTopLevelItem(past.table->selectedItems().value(0)), 0) << beyond;
    }
}

TEST_F(ChooserTest, UseWithoutASelectionKeepsTheDialogOpen) {
    bool stayed = false;
    when_open([&](AdapterChooser* d) {
        d->table->clearSelection();
        d->use_button->click();
        stayed = d->isVisible() && d->result() == 0;
        choose_row(d, 2);
    });
    EXPECT_EQ(choose_adapter_run(nullptr, list_, 3, 0), 2u);
    EXPECT_TRUE(stayed);
}

TEST_F(ChooserTest, CancelReturnsTheIndexItWasGiven) {
    when_open([](AdapterChooser* d) {
        d->table->clearSelection();
        d->table->topLevelItem(0)->setSelected(true);
        d->cancel_button->click();
    });
    EXPECT_EQ(choose_adapter_run(nullptr, list_, 3, 1), 1u);
}

TEST_F(ProgramTest, APositiveTypeShowsItsMessageAndTheCaptureStaysOnThePreviousAdapter) {
    start(2);
    command_hooks().choose_adapter = choose_adapter_command;
    const ShellState& st = shell_state();
    hscap::Handle* before = st.capture.handle;
    Network* network = net_current();
    ASSERT_NE(before, nullptr);
    MessageCapture messages;
    when_open([](AdapterChooser* d) { choose_row(d, 2); });
    window_->action(kCmdChooseAdapter)->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Hopscope Error");
    EXPECT_EQ(messages.shown[0].text, "This adapter is using an unsupported network type");
    EXPECT_EQ(st.capture.handle, before);
    EXPECT_EQ(net_current(), network);
    EXPECT_EQ(settings().interface, 0);
}

TEST_F(ProgramTest, TheInterfaceSavedAtExitIsTheLastAdapterSwitchedTo) {
    start(3);
    command_hooks().choose_adapter = choose_adapter_command;
    when_open([](AdapterChooser* d) { choose_row(d, 2); });
    window_->action(kCmdChooseAdapter)->trigger();
    EXPECT_STREQ(net_current()->name, shell_state().adapters[2]->name);
    when_open([](AdapterChooser* d) { choose_row(d, 1); });
    window_->action(kCmdChooseAdapter)->trigger();
    when_open([](AdapterChooser* d) { choose_row(d, 3); });  // refused: another link type
    MessageCapture quiet;
    window_->action(kCmdChooseAdapter)->trigger();
    window_->action(kCmdQuit)->trigger();
    EXPECT_NE(read_file(key_).find("\"interface\"=dword:00000001\n"), std::string::npos) << read_file(key_);
}

TEST_F(ProgramTest, AnAdapterThatCannotBeOpenedSaysWhyInTheStatusBar) {
    start(2);
    EXPECT_EQ(window_->capture_status(), "");
    std::remove(files_[1].c_str());  // it can no longer be opened
    window_->adapter_switch(1);
    EXPECT_EQ(shell_state().capture.handle, nullptr);
    const QString status = window_->capture_status();
    EXPECT_TRUE(status.startsWith("Cannot capture on " + QString::fromStdString(shell_state().adapters[1]->name) + ": "))
        << status.toStdString();
    EXPECT_TRUE(status.contains("open a capture file")) << status.toStdString();
    // The menu help comes and goes beside it; the reason stays.
    Q_EMIT window_->menus()[0]->aboutToShow();
    Q_EMIT window_->menus()[0]->aboutToHide();
    EXPECT_EQ(window_->status_text(), "Ready");
    EXPECT_EQ(window_->capture_status(), status);
    window_->adapter_switch(0);
    EXPECT_EQ(window_->capture_status(), "");
}

TEST(OpenFailure, TheTextSaysWhatTheUserCanDo) {
    EXPECT_EQ(shell_open_failure_text("hs-veth0", "hs-veth0: socket: Operation not permitted"),
              "Cannot capture on hs-veth0: socket: Operation not permitted. Live capture needs the cap_net_raw "
              "capability (see \"Live capture permissions\" in Help Topics and the README), or open a capture file: "
              "hopscope FILE.pcap");
    EXPECT_EQ(shell_open_failure_text(
                  "eth0", "eth0: You don't have permission to perform this capture on that device (socket: x)"),
              "Cannot capture on eth0: You don't have permission to perform this capture on that device (socket: x). "
              "Live capture needs the cap_net_raw capability (see \"Live capture permissions\" in Help Topics and the "
              "README), or open a capture file: hopscope FILE.pcap");
    EXPECT_EQ(shell_open_failure_text("eth1", "eth1: That device is not up."),
              "Cannot capture on eth1: That device is not up. Choose another adapter (File > Choose Adapter), or open "
              "a capture file: hopscope FILE.pcap");
    EXPECT_NE(shell_open_failure_text("x", "").find("no reason given"), std::string::npos);
}

TEST(HelpWindowTest, OpensAtTheContentsWithBackAndForward) {
    ::unsetenv("HOPSCOPE_HELP_DIR");
    MessageCapture messages;
    help_topics_run(nullptr);
    HelpWindow* w = help_window();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(w->windowTitle(), "Hopscope Help");
    EXPECT_TRUE(w->browser->source().toLocalFile().endsWith("/index.html"));
    EXPECT_TRUE(w->browser->toPlainText().contains("Contents"));
    EXPECT_FALSE(w->back_action->isEnabled());
    w->browser->setSource(QUrl("pdl.html"));
    EXPECT_TRUE(w->browser->toPlainText().contains("protocol ROOT : 0 \"Ethernet\" 0 {"));
    EXPECT_TRUE(w->back_action->isEnabled());
    w->back_action->trigger();
    EXPECT_TRUE(w->browser->source().toLocalFile().endsWith("/index.html"));
    EXPECT_TRUE(w->forward_action->isEnabled());
    w->forward_action->trigger();
    EXPECT_TRUE(w->browser->source().toString().endsWith("pdl.html"));
    w->contents_action->trigger();
    EXPECT_TRUE(w->browser->source().toLocalFile().endsWith("/index.html"));
    help_topics_run(nullptr);  // a second time: the same window
    EXPECT_EQ(help_window(), w);
    delete w;
}

TEST(HelpWindowTest, UnreadableHelpCannotBeActivated) {
    ::setenv("HOPSCOPE_HELP_DIR", "/nonexistent/help", 1);
    MessageCapture messages;
    help_topics_run(nullptr);
    ::unsetenv("HOPSCOPE_HELP_DIR");
    EXPECT_EQ(help_window(), nullptr);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Hopscope");
    EXPECT_EQ(messages.shown[0].text, "Unable to activate help");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
}
