#include "shell/qt/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QThread>

#include <algorithm>
#include <atomic>

#include "base/message.h"
#include "display/map_settings.h"
#include "display/qt/netwindow.h"
#include "shell/qt/panel_column.h"
#include "lists/qt/popup.h"
#include "shell/settings.h"
#include "shell/shell.h"
#include "shell/startup_steps.h"
#include "ui/window_messages.h"
#include "ui/qtext.h"

namespace {

// The Statistics panel, for the capture thread's refresh notices.
std::atomic<QObject*> g_statistics_target{nullptr};

struct MenuItem {
    const char* title;  // null: separator
    int number;
};

struct DropDown {
    const char* title;
    int help_string;  // the string shown while the drop-down is open
    std::initializer_list<MenuItem> items;
};

// The menu "HOPSCOPE95", drop-downs in order.
const DropDown kMenu[] = {
    {"&File", 92, {{"Choose Adapter", kCmdChooseAdapter}, {nullptr, 0}, {"&Quit", kCmdQuit}}},
    {"&Custom", 93, {{"Protocol Focus", kCmdProtocolFocus}, {"Edit Alarms", kCmdEditAlarms}}},
    {"&Traffic", 94, {{"Bytes", kCmdBytes}, {"Packets", kCmdPackets}}},
    {"&Hosts",
     96,
     {{"Ethernet Address", kCmdEthernetAddress},
      {"Local Name", kCmdLocalName},
      {"Manufacturer", kCmdManufacturer},
      {"Host List", kCmdHostList}}},
    {"&Statistics", 97, {{"Dynamic", kCmdDynamic}, {"Cumulative", kCmdCumulative}}},
    {"&Top Summaries", 95, {{"Top Hosts", kCmdTopHosts}, {"Top Links", kCmdTopLinks}, {"Top Alarms", kCmdTopAlarms}}},
    {"&Reports",
     95,
     {{"Host Report", kCmdHostReport}, {"Stats Report", kCmdStatsReport}, {"Alarms Report", kCmdAlarmsReport}}},
    {"&Help", 98, {{"Help &Topics", kCmdHelpTopics}}},
};

// Items that carry a check mark.
constexpr int kCheckable[] = {kCmdBytes,    kCmdPackets,     kCmdEthernetAddress, kCmdLocalName,
                              kCmdManufacturer, kCmdDynamic, kCmdCumulative};

void call(const std::function<void(QWidget*)>& hook, QWidget* owner) {
    if (hook) hook(owner);
}

}  // namespace

const char* shell_string(int number) {
    switch (number) {
        case 92: return "File menu";
        case 93: return "Filter menu";
        case 94: return "Traffic menu";
        case 95: return "Misc menu";
        case 96: return "Host menu";
        case 97: return "Statistics menu";
        case 98: return "Help menu";
        case kCmdQuit: return "Quit the application";
        case kCmdProtocolFocus: return "Modify the currently filtered protocols";
        case kCmdEditAlarms: return "Customise alarms";
        case kCmdBytes: return "View traffic as bytes";
        case kCmdPackets: return "View traffic as packets";
        case kCmdEthernetAddress: return "Show hosts by Ethernet address";
        case kCmdLocalName: return "Show hosts by name";
        case kCmdManufacturer: return "Show host manufacturer";
        case kCmdDynamic: return "Dynamic updates";
        case kCmdCumulative: return "Cumulative updates";
        default: return "";
    }
}

CommandHooks& command_hooks() {
    static CommandHooks hooks;
    return hooks;
}

bool shell_statistics_notice(Network* network) {
    QObject* target = g_statistics_target.load();
    if (target) QCoreApplication::postEvent(target, new WindowMessageEvent(kMsgStatisticsRefresh, network));
    return target != nullptr;
}

// --- client area ---

ClientArea::ClientArea(QWidget* parent) : QWidget(parent) {
    setObjectName("ClientArea");
    status_bar = new QStatusBar(this);
    status_bar->setSizeGripEnabled(true);
    status_text = new QLabel(kReadyText, status_bar);
    status_bar->addWidget(status_text, 0);
    capture_status = new QLabel(status_bar);
    capture_status->setObjectName("CaptureStatus");
    status_bar->addWidget(capture_status, 1);
    network_window = new NetWindow(this);
    panel_column = new PanelColumn(network_window, this);
    panel_column->resize(0, 0);
}

void ClientArea::place() {
    const int w = width(), h = height();
    const int s = status_bar->sizeHint().height();
    if (network_window) network_window->setGeometry(0, 0, std::max(0, w - kPanelColumnWidth), std::max(0, h - s));
    if (panel_column) panel_column->setGeometry(w - kPanelColumnWidth, 0, kPanelColumnWidth, std::max(0, h - s));
    status_bar->setGeometry(0, h - s, w, s);
}

void ClientArea::resizeEvent(QResizeEvent*) { place(); }

// --- main window ---

MainWindow::MainWindow() {
    setObjectName(kProductName);
    setWindowTitle(kProductName);
    client_ = new ClientArea(this);
    setCentralWidget(client_);
    build_menu();
    g_statistics_target.store(client_->panel_column->statistics_panel());

    // The whole work area, from its top-left corner.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect work = screen->availableGeometry();
        move(0, 0);
        resize(work.x() + work.width(), work.y() + work.height());
    }
}

MainWindow::~MainWindow() { shutdown(); }

void MainWindow::build_menu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(kMenuName);
    for (const DropDown& d : kMenu) {
        QMenu* menu = bar->addMenu(ui_text(d.title));
        menus_.append(menu);
        const QString title_help = ui_text(shell_string(d.help_string));
        connect(menu, &QMenu::aboutToShow, this, [this, title_help] { show_help(title_help); });
        connect(menu, &QMenu::aboutToHide, this, [this] { show_help(kReadyText); });
        for (const MenuItem& item : d.items) {
            if (!item.title) {
                menu->addSeparator();
                continue;
            }
            QAction* a = menu->addAction(ui_text(item.title));
            a->setData(item.number);
            if (std::find(std::begin(kCheckable), std::end(kCheckable), item.number) != std::end(kCheckable))
                a->setCheckable(true);
            const int number = item.number;
            connect(a, &QAction::hovered, this, [this, number] { show_help(ui_text(shell_string(number))); });
            connect(a, &QAction::triggered, this, [this, number] { command(number); });
            actions_[number] = a;
        }
    }
}

QAction* MainWindow::action(int number) const {
    auto it = actions_.find(number);
    return it == actions_.end() ? nullptr : it->second;
}

QString MainWindow::status_text() const { return client_->status_text->text(); }

QString MainWindow::capture_status() const { return client_->capture_status->text(); }

void MainWindow::show_help(const QString& text) { client_->status_text->setText(text); }

bool MainWindow::event(QEvent* event) {
    // The status bar shows the menu help itself; Qt's own status tips would overwrite it.
    if (event->type() == QEvent::StatusTip) return true;
    return QMainWindow::event(event);
}

void MainWindow::check(int number, bool on) {
    if (QAction* a = action(number)) a->setChecked(on);
}

void MainWindow::set_initial_checks() {
    const MapSettings& s = map_settings();
    check(kCmdDynamic, s.dynamic == 1);
    check(kCmdCumulative, s.dynamic != 1);
    check(kCmdBytes, s.bytes == 1);
    check(kCmdPackets, s.bytes != 1);
    check(kCmdLocalName, s.show_name == 1);
    check(kCmdEthernetAddress, s.show_name != 1);
    check(kCmdManufacturer, s.show_manufacturers == 1);
}

void MainWindow::update_title() {
    setWindowTitle(ui_text(shell_window_title(shell_current_adapter())));
    const QString failure = ui_text(shell_state().open_failure);
    client_->capture_status->setText(failure);
    client_->capture_status->setToolTip(failure);
}

void MainWindow::command(int number) {
    MapSettings& s = map_settings();
    CommandHooks& hooks = command_hooks();
    switch (number) {
        case kCmdChooseAdapter: choose_adapter(); break;
        case kCmdQuit: close(); break;
        case kCmdProtocolFocus: call(hooks.focus_builder, this); break;
        case kCmdEditAlarms: call(hooks.alarm_builder, this); break;
        case kCmdBytes:
        case kCmdPackets:
            s.bytes = number == kCmdBytes ? 1 : 0;
            check(kCmdBytes, number == kCmdBytes);
            check(kCmdPackets, number == kCmdPackets);
            break;
        case kCmdEthernetAddress:
        case kCmdLocalName:
            s.show_name = number == kCmdLocalName ? 1 : 0;
            check(kCmdLocalName, number == kCmdLocalName);
            check(kCmdEthernetAddress, number == kCmdEthernetAddress);
            break;
        case kCmdManufacturer:
            s.show_manufacturers = s.show_manufacturers == 1 ? 0 : 1;
            check(kCmdManufacturer, s.show_manufacturers == 1);
            break;
        case kCmdHostList: call(hooks.host_list, this); break;
        case kCmdDynamic:
        case kCmdCumulative:
            s.dynamic = number == kCmdDynamic ? 1 : 0;
            check(kCmdDynamic, number == kCmdDynamic);
            check(kCmdCumulative, number == kCmdCumulative);
            break;
        case kCmdTopHosts: call(hooks.top_hosts, this); break;
        case kCmdTopLinks: call(hooks.top_links, this); break;
        case kCmdTopAlarms: call(hooks.top_alarms, this); break;
        case kCmdHostReport:
        case kCmdStatsReport:
        case kCmdAlarmsReport:
            if (hooks.start_report) hooks.start_report(this, number);
            break;
        case kCmdHelpTopics: call(hooks.help_topics, this); break;
        default: break;
    }
}

void MainWindow::choose_adapter() {
    CommandHooks& hooks = command_hooks();
    const ShellState& st = shell_state();
    if (!hooks.choose_adapter || !st.adapters) return;
    const unsigned index = hooks.choose_adapter(this, static_cast<unsigned>(settings().interface.load()));
    if (index >= static_cast<unsigned>(st.adapter_count)) return;
    const int type = st.adapters[index]->network_type;
    if (type < 0) message_show("Hopscope Error", "This adapter is currently invalid", MessageIcon::Error);
    else if (type > 0) message_show("Hopscope Error", "This adapter is using an unsupported network type", MessageIcon::Error);
    else adapter_switch(index);
}

void MainWindow::adapter_switch(unsigned index) {
    shell_open_adapter(index);
    WindowMessageEvent notice(kMsgPanelAdapterChanged);
    QCoreApplication::sendEvent(client_->panel_column, &notice);
    update_title();
    popup_notify_adapter_changed();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    shutdown();
    event->accept();
}

void MainWindow::shutdown() {
    if (shut_down_) return;
    shut_down_ = true;
    StartupSteps& steps = startup_steps();
    Settings& s = settings();

    // The list windows go first, as windows owned by this one: they store their sizes
    // and column widths in the settings as they are destroyed.
    for (QWidget* w : popup_windows()) delete w;

    // 1. Stop event and capture handle. The capture thread has left its pass and ended
    // before the handle is closed, so no pass can use a closed handle.
    shell_stop_capture();
    g_statistics_target.store(nullptr);
    // 2. Custom focus file and palette; 3. alarm file.
    startup_call(steps.focus_dump, s.cfdump);
    startup_call(steps.free_palette);
    startup_call(steps.alarm_dump, s.alarms);
    // 4. The network window and the panel column (the Alarm Output window stores its
    // column widths as it goes).
    delete client_->panel_column;
    client_->panel_column = nullptr;
    delete client_->network_window;
    client_->network_window = nullptr;
    // 5. Settings.
    shell_save_settings();
    // 6. End the message loop.
    QThread::yieldCurrentThread();
    QCoreApplication::exit(0);
}
