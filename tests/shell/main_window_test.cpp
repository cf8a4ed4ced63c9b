#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "model/net.h"
#include "display/display.h"
#include "display/qt/netwindow.h"
#include "app/program.h"
#include "shell/qt/main_window.h"
#include "shell/qt/panel_column.h"
#include "lists/qt/popup.h"
#include "shell/settings.h"
#include "shell/shell.h"
#include "app/steps.h"
#include "shell/startup_steps.h"
#include "shell/test_files.h"
#include "ui/window_messages.h"
#include "support/pcap_writer.h"

using namespace shelltest;

namespace {

// A list window that counts the private messages it receives.
class CountingWindow : public QWidget {
public:
    int adapter_changes = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() == static_cast<QEvent::Type>(kMsgAdapterChanged)) {
            ++adapter_changes;
            return true;
        }
        return QWidget::event(e);
    }
};

// What the shutdown steps saw, in order.
std::vector<std::string> g_calls;
std::string g_key_path;
std::string g_key_before_save;

void record_focus_dump(const char* path) {
    g_calls.push_back(std::string("focus ") + path);
    g_key_before_save = read_file(g_key_path);
}
void record_alarm_dump(const char* path) {
    g_calls.push_back(std::string("alarms ") + path);
    // The settings are written after the alarm file.
    if (read_file(g_key_path) != g_key_before_save) g_calls.push_back("settings already written");
}

class MainWindowTest : public ::testing::Test {
protected:
    void start(const std::string& key_values = "") {
        hscap::reset_sources();
        startup_steps() = app_startup_steps();
        app_install_program_steps();
        startup_steps().focus_dump = record_focus_dump;
        startup_steps().alarm_dump = record_alarm_dump;
        g_calls.clear();
        command_hooks() = CommandHooks{};
        key_ = key_file("gui.reg", empty_key() + key_values);
        g_key_path = key_;
        files_ = {small_capture("one.pcap", "00:00:00:00:00:01"), small_capture("two.pcap", "00:00:00:00:00:02"),
                  small_capture("raw.pcap", "00:00:00:00:00:03", 101)};
        ASSERT_EQ(shell_startup(files_, key_), 0);
        popup_list_create();
        window_ = std::make_unique<MainWindow>();
        window_->set_initial_checks();
        window_->update_title();
    }
    void TearDown() override {
        window_.reset();
        hscap::reset_sources();
        startup_steps() = app_startup_steps();
        command_hooks() = CommandHooks{};
    }
    bool checked(int number) { return window_->action(number)->isChecked(); }

    std::string key_;
    std::vector<std::string> files_;
    std::unique_ptr<MainWindow> window_;
};

std::string base(const std::string& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

TEST_F(MainWindowTest, ClientAreaSplitsIntoMapPanelColumnAndStatusBar) {
    start();
    window_->show();
    window_->resize(900, 700);
    QCoreApplication::processEvents();
    ClientArea* client = window_->client_area();
    ASSERT_EQ(client->width(), 900);
    const int h = client->height(), s = client->status_bar->height();
    EXPECT_GT(s, 0);
    EXPECT_EQ(window_->network_window()->geometry(), QRect(0, 0, 580, h - s));
    EXPECT_EQ(window_->panel_column()->geometry(), QRect(580, 0, 320, h - s));
    EXPECT_EQ(client->status_bar->geometry(), QRect(0, h - s, 900, s));
    EXPECT_EQ(window_->objectName(), "Hopscope");
}

TEST_F(MainWindowTest, TitleNamesTheOpenedAdapter) {
    start();
    EXPECT_EQ(window_->windowTitle().toStdString(),
              "Hopscope :    " + base(files_[0]) + " (Capture file " + files_[0] + ")");
}

TEST_F(MainWindowTest, MenuHasEveryTitleCommandAndNumberInOrder) {
    start();
    EXPECT_EQ(window_->menuBar()->objectName(), "HOPSCOPE95");
    struct Expected {
        const char* title;
        std::vector<std::pair<const char*, int>> items;  // separator: {"-", 0}
    };
    const std::vector<Expected> expected = {
        {"&File", {{"Choose Adapter", 202}, {"-", 0}, {"&Quit", 100}}},
        {"&Custom", {{"Protocol Focus", 103}, {"Edit Alarms", 99}}},
        {"&Traffic", {{"Bytes", 112}, {"Packets", 111}}},
        {"&Hosts", {{"Ethernet Address", 119}, {"Local Name", 118}, {"Manufacturer", 120}, {"Host List", 125}}},
        {"&Statistics", {{"Dynamic", 121}, {"Cumulative", 122}}},
        {"&Top Summaries", {{"Top Hosts", 170}, {"Top Links", 172}, {"Top Alarms", 171}}},
        {"&Reports", {{"Host Report", 173}, {"Stats Report", 175}, {"Alarms Report", 174}}},
        {"&Help", {{"Help &Topics", 186}}},
    };
    const QList<QMenu*> menus = window_->menus();
    ASSERT_EQ(menus.size(), static_cast<qsizetype>(expected.size()));
    for (size_t m = 0; m < expected.size(); ++m) {
        SCOPED_TRACE(expected[m].title);
        EXPECT_EQ(menus[m]->title().toStdString(), expected[m].title);
        const QList<QAction*> actions = menus[m]->actions();
        ASSERT_EQ(actions.size(), static_cast<qsizetype>(expected[m].items.size()));
        for (qsizetype i = 0; i < actions.size(); ++i) {
            if (std::string(expected[m].items[i].first) == "-") {
                EXPECT_TRUE(actions[i]->isSeparator());
                continue;
            }
            EXPECT_EQ(actions[i]->text().toStdString(), expected[m].items[i].first);
            EXPECT_EQ(actions[i]->data().toInt(), expected[m].items[i].second);
        }
    }
}

TEST_F(MainWindowTest, StatusBarShowsMenuHelpAndReturnsToReady) {
    start();
    window_->show();
    EXPECT_EQ(window_->status_text(), "Ready");
    const std::vector<std::pair<int, const char*>> help = {
        {100, "Quit the application"},
        {103, "Modify the currently filtered protocols"},
        {99, "Customise alarms"},
        {112, "View traffic as bytes"},
        {111, "View traffic as packets"},
        {119, "Show hosts by Ethernet address"},
        {118, "Show hosts by name"},
        {120, "Show host manufacturer"},
        {121, "Dynamic updates"},
        {122, "Cumulative updates"},
        {202, ""},
        {125, ""},
        {170, ""},
        {173, ""},
        {186, ""},
    };
    for (const auto& [number, text] : help) {
        SCOPED_TRACE(number);
        window_->action(number)->hover();
        EXPECT_EQ(window_->status_text().toStdString(), text);
    }
    // A drop-down shows its title's help while open; closing it brings back "Ready".
    const char* titles[] = {"File menu", "Filter menu", "Traffic menu", "Host menu",
                            "Statistics menu", "Misc menu", "Misc menu", "Help menu"};
    for (int m = 0; m < 8; ++m) {
        QMenu* menu = window_->menus()[m];
        menu->popup(QPoint(0, 0));
        EXPECT_EQ(window_->status_text().toStdString(), titles[m]);
        menu->hide();
        EXPECT_EQ(window_->status_text(), "Ready");
    }
}

TEST_F(MainWindowTest, InitialCheckMarksFollowTheSettings) {
    start();  // defaults: dynamic 1, bytes 1, show name 1, show manufacturers 0
    EXPECT_TRUE(checked(kCmdDynamic));
    EXPECT_FALSE(checked(kCmdCumulative));
    EXPECT_TRUE(checked(kCmdBytes));
    EXPECT_FALSE(checked(kCmdPackets));
    EXPECT_TRUE(checked(kCmdLocalName));
    EXPECT_FALSE(checked(kCmdEthernetAddress));
    EXPECT_FALSE(checked(kCmdManufacturer));
}

TEST_F(MainWindowTest, InitialCheckMarksFromAChangedKey) {
    start("\"dynamic\"=dword:00000000\n\"bytes\"=dword:00000000\n\"show name\"=dword:00000000\n"
          "\"show manufacturers\"=dword:00000001\n");
    EXPECT_FALSE(checked(kCmdDynamic));
    EXPECT_TRUE(checked(kCmdCumulative));
    EXPECT_FALSE(checked(kCmdBytes));
    EXPECT_TRUE(checked(kCmdPackets));
    EXPECT_FALSE(checked(kCmdLocalName));
    EXPECT_TRUE(checked(kCmdEthernetAddress));
    EXPECT_TRUE(checked(kCmdManufacturer));
}

TEST_F(MainWindowTest, EachDisplayCommandSetsItsSettingAndItsPairOfTicks) {
    start();
    MapSettings& s = map_settings();
    struct Case {
        int command;
        std::atomic<int>* setting;
        int value;
        int ticked, unticked;
    };
    const Case cases[] = {
        {kCmdPackets, &s.bytes, 0, kCmdPackets, kCmdBytes},
        {kCmdPackets, &s.bytes, 0, kCmdPackets, kCmdBytes},  // again: stays
        {kCmdBytes, &s.bytes, 1, kCmdBytes, kCmdPackets},
        {kCmdEthernetAddress, &s.show_name, 0, kCmdEthernetAddress, kCmdLocalName},
        {kCmdLocalName, &s.show_name, 1, kCmdLocalName, kCmdEthernetAddress},
        {kCmdCumulative, &s.dynamic, 0, kCmdCumulative, kCmdDynamic},
        {kCmdDynamic, &s.dynamic, 1, kCmdDynamic, kCmdCumulative},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        window_->action(c.command)->trigger();  // as a click: Qt toggles, the command decides
        EXPECT_EQ(c.setting->load(), c.value);
        EXPECT_TRUE(checked(c.ticked));
        EXPECT_FALSE(checked(c.unticked));
        // The map reads the flags the command set, from its next frame on.
        MapSettings& m = map_settings();
        EXPECT_EQ(m.bytes, s.bytes);
        EXPECT_EQ(m.show_name, s.show_name);
        EXPECT_EQ(m.dynamic, s.dynamic);
    }
    // "Manufacturer" toggles; chosen twice it is back where it was.
    window_->action(kCmdManufacturer)->trigger();
    EXPECT_EQ(s.show_manufacturers, 1);
    EXPECT_EQ(map_settings().show_manufacturers, 1);
    EXPECT_TRUE(checked(kCmdManufacturer));
    window_->action(kCmdManufacturer)->trigger();
    EXPECT_EQ(s.show_manufacturers, 0);
    EXPECT_FALSE(checked(kCmdManufacturer));
    // An unknown number changes nothing.
    window_->command(4242);
    EXPECT_EQ(s.bytes, 1);
}

TEST_F(MainWindowTest, WindowCommandsReachTheirModules) {
    start();
    std::vector<int> opened;
    CommandHooks& h = command_hooks();
    h.focus_builder = [&](QWidget*) { opened.push_back(kCmdProtocolFocus); };
    h.alarm_builder = [&](QWidget*) { opened.push_back(kCmdEditAlarms); };
    h.host_list = [&](QWidget*) { opened.push_back(kCmdHostList); };
    h.top_hosts = [&](QWidget*) { opened.push_back(kCmdTopHosts); };
    h.top_links = [&](QWidget*) { opened.push_back(kCmdTopLinks); };
    h.top_alarms = [&](QWidget*) { opened.push_back(kCmdTopAlarms); };
    h.start_report = [&](QWidget*, int report) { opened.push_back(report); };
    h.help_topics = [&](QWidget*) { opened.push_back(kCmdHelpTopics); };
    const std::vector<int> order = {103, 99, 125, 170, 172, 171, 173, 175, 174, 186};
    for (int n : order) window_->action(n)->trigger();
    EXPECT_EQ(opened, order);
}

TEST_F(MainWindowTest, AdapterSwitchReachesEveryView) {
    start();
    const ShellState& st = shell_state();
    auto* live = new CountingWindow;
    auto* gone = new CountingWindow;
    auto* later = new CountingWindow;
    popup_add(live);
    popup_add(gone);
    popup_add(later);
    delete gone;

    window_->adapter_switch(1);
    EXPECT_EQ(settings().interface, 1);
    ASSERT_NE(net_current(), nullptr);
    EXPECT_STREQ(net_current()->name, st.adapters[1]->name);
    EXPECT_NE(st.capture.handle, nullptr);
    EXPECT_EQ(window_->windowTitle().toStdString(),
              "Hopscope :    " + base(files_[1]) + " (Capture file " + files_[1] + ")");
    EXPECT_EQ(window_->panel_column()->adapter_changes(), 1);
    EXPECT_EQ(live->adapter_changes, 1);
    EXPECT_EQ(later->adapter_changes, 1);
    EXPECT_EQ(popup_windows().size(), 2);  // the destroyed window left the list
    delete live;
    delete later;
}

TEST_F(MainWindowTest, ChooseAdapterSwitchesOnlyToAnEthernetAdapter) {
    start();
    MessageCapture messages;
    unsigned chosen = 2;  // the capture of another link type
    unsigned offered = 99;
    command_hooks().choose_adapter = [&](QWidget*, unsigned current) {
        offered = current;
        return chosen;
    };
    window_->action(kCmdChooseAdapter)->trigger();
    EXPECT_EQ(offered, 0u);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Hopscope Error");
    EXPECT_EQ(messages.shown[0].text, "This adapter is using an unsupported network type");
    EXPECT_EQ(settings().interface, 0);

    chosen = 1;
    window_->action(kCmdChooseAdapter)->trigger();
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(settings().interface, 1);
    EXPECT_STREQ(net_current()->name, shell_state().adapters[1]->name);
}

TEST_F(MainWindowTest, StatisticsNoticeIsPostedFromTheCaptureThread) {
    start();
    struct Catcher : QObject {
        void* network = nullptr;
        int seen = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == static_cast<QEvent::Type>(kMsgStatisticsRefresh)) {
                ++seen;
                network = static_cast<WindowMessageEvent*>(e)->pointer();
            }
            return false;
        }
    } catcher;
    window_->panel_column()->statistics_panel()->installEventFilter(&catcher);
    Network* net = net_current();
    std::thread([net] { shell_statistics_notice(net); }).join();
    QCoreApplication::sendPostedEvents();
    EXPECT_GE(catcher.seen, 1);
    EXPECT_EQ(catcher.network, net);
}

TEST_F(MainWindowTest, QuitWritesFocusFileThenAlarmFileThenSettings) {
    start();
    window_->show();
    window_->action(kCmdPackets)->trigger();
    window_->action(kCmdQuit)->trigger();
    EXPECT_TRUE(window_->shut_down());
    EXPECT_FALSE(shell_state().capture_worker.joinable());
    EXPECT_EQ(shell_state().capture.handle, nullptr);
    const std::vector<std::string> expected = {"focus .\\cfdump.bin", "alarms .\\alarm.adl"};
    EXPECT_EQ(g_calls, expected);
    const std::string saved = read_file(key_);
    EXPECT_NE(saved, g_key_before_save);
    EXPECT_NE(saved.find("\"bytes\"=dword:00000000\n"), std::string::npos);
    EXPECT_NE(saved.find("\"show broadcast\"=dword:00000000\n"), std::string::npos);
    // Destroying the window afterwards writes nothing more.
    window_.reset();
    EXPECT_EQ(g_calls, expected);
}

// --- panel column ---

class PanelColumnTest : public ::testing::Test {
protected:
    // A column whose client area is `client_height` pixels high.
    void size_to(int client_height) {
        column.show();
        column.resize(kPanelColumnWidth, client_height + 2 * column.frameWidth());
        ASSERT_EQ(column.client_height(), client_height);
    }
    int load_y() { return column.panel(kPanelLoad)->y(); }

    QWidget map;
    PanelColumn column{&map};
};

TEST_F(PanelColumnTest, PanelsSitAtTheirPlaces) {
    size_to(700);
    for (int i = 0; i < kPanelCount; ++i) {
        const PanelPlace& p = kPanelPlaces[i];
        SCOPED_TRACE(p.name);
        EXPECT_EQ(column.panel(static_cast<PanelIndex>(i))->geometry(), QRect(p.x, p.y, p.width, p.height));
    }
    EXPECT_EQ(column.panel(kPanelAlarmOutput)->geometry().bottom() + 1, kPanelsHeight);
}

TEST_F(PanelColumnTest, A545PixelColumnScrollsInSteps0f25) {
    size_to(545);
    EXPECT_EQ(column.step(), 25);
    EXPECT_TRUE(column.scroll_bar()->isEnabled());
    EXPECT_EQ(column.scroll(ScrollRequest::LineDown), 1);
    EXPECT_EQ(load_y(), -25);
    EXPECT_EQ(column.scroll(ScrollRequest::PageDown), 1);
    EXPECT_EQ(column.scroll(ScrollRequest::ThumbTrack, 4), 2);
    EXPECT_EQ(column.position(), 4);
    EXPECT_EQ(load_y(), -100);
    EXPECT_EQ(column.panel(kPanelStatistics)->y(), 425 - 100);
    EXPECT_EQ(column.scroll(ScrollRequest::LineDown), 0);  // already at the end
    EXPECT_EQ(column.scroll(ScrollRequest::Other), 0);
    EXPECT_EQ(column.scroll(ScrollRequest::PageUp), -1);
    EXPECT_EQ(load_y(), -75);
    // A resize places the panels again, keeping the position.
    size_to(645 - 4 * 10);
    EXPECT_EQ(column.position(), 3);
    EXPECT_EQ(load_y(), -30);
}

TEST_F(PanelColumnTest, ThumbTrackingIsClampedToTheFivePositions) {
    size_to(545);
    EXPECT_EQ(column.scroll(ScrollRequest::ThumbTrack, 9), 4);
    EXPECT_EQ(column.position(), 4);
    EXPECT_EQ(column.scroll(ScrollRequest::ThumbTrack, -3), -4);
    EXPECT_EQ(column.position(), 0);
    EXPECT_EQ(column.scroll(ScrollRequest::LineUp), 0);
    EXPECT_EQ(load_y(), 0);
}

TEST_F(PanelColumnTest, At645PixelsScrollingMovesNothingAndAboveTheBarIsOff) {
    size_to(645);
    EXPECT_EQ(column.step(), 0);
    EXPECT_TRUE(column.scroll_bar()->isEnabled());
    EXPECT_EQ(column.scroll(ScrollRequest::ThumbTrack, 4), 4);
    EXPECT_EQ(load_y(), 0);
    size_to(646);
    EXPECT_FALSE(column.scroll_bar()->isEnabled());
    EXPECT_EQ(load_y(), 0);
    // Back down: the kept position takes effect again.
    size_to(545);
    EXPECT_EQ(load_y(), -100);
}

TEST_F(PanelColumnTest, TheScrollBarDrivesTheColumn) {
    size_to(545);
    column.scroll_bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(column.position(), 1);
    EXPECT_EQ(column.scroll_bar()->value(), 1);
    column.scroll_bar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(load_y(), -50);
    column.scroll_bar()->setSliderPosition(4);  // dragging the thumb
    EXPECT_EQ(column.position(), 4);
    EXPECT_EQ(load_y(), -100);
    column.scroll_bar()->triggerAction(QAbstractSlider::SliderToMinimum);  // no change
    EXPECT_EQ(column.position(), 4);
    EXPECT_EQ(column.scroll_bar()->value(), 4);
}
