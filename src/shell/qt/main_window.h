// The main window "Hopscope": the menu "HOPSCOPE95" and its commands, the network window
// on the left, the panel column on the right, the status bar with the menu help along
// the bottom, the adapter switch and the shutdown.
#pragma once

#include <QMainWindow>

#include <functional>
#include <map>

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class NetWindow;
class PanelColumn;
struct Network;

// Command numbers of the menu.
enum MenuCommand : int {
    kCmdEditAlarms = 99,
    kCmdQuit = 100,
    kCmdProtocolFocus = 103,
    kCmdPackets = 111,
    kCmdBytes = 112,
    kCmdLocalName = 118,
    kCmdEthernetAddress = 119,
    kCmdManufacturer = 120,
    kCmdDynamic = 121,
    kCmdCumulative = 122,
    kCmdHostList = 125,
    kCmdTopHosts = 170,
    kCmdTopAlarms = 171,
    kCmdTopLinks = 172,
    kCmdHostReport = 173,
    kCmdAlarmsReport = 174,
    kCmdStatsReport = 175,
    kCmdHelpTopics = 186,
    kCmdChooseAdapter = 202,
};

inline constexpr char kMenuName[] = "HOPSCOPE95";
inline constexpr char kReadyText[] = "Ready";
inline constexpr int kMenuHelpFirstString = 92;  // "File menu" .. "Help menu" are 92..98

// The string-table entry with this number: a command's help text, or one of the
// drop-down titles' texts 92..98. Empty when there is none.
[[nodiscard]] const char* shell_string(int number);

// Commands that open other subsystems' windows and dialogs. An empty entry does nothing.
struct CommandHooks {
    // Runs the adapter chooser and returns the chosen index (the given one on cancel).
    std::function<unsigned(QWidget* owner, unsigned current)> choose_adapter;
    std::function<void(QWidget* owner)> focus_builder;  // modal
    std::function<void(QWidget* owner)> alarm_builder;  // modal
    std::function<void(QWidget* owner)> host_list;      // open or raise
    std::function<void(QWidget* owner)> top_hosts;
    std::function<void(QWidget* owner)> top_links;
    std::function<void(QWidget* owner)> top_alarms;
    std::function<void(QWidget* owner, int report_command)> start_report;  // 173, 175, 174
    std::function<void(QWidget* owner)> help_topics;
};
CommandHooks& command_hooks();

// Posts the Statistics panel its refresh (message 1030) with the network. Called by the
// capture thread at the start of every pass; does nothing while no panel column exists.
// Returns whether it posted.
bool shell_statistics_notice(Network* network);

// The main window's client area: network window, panel column and status bar, placed
// at every resize.
class ClientArea : public QWidget {
    Q_OBJECT
public:
    explicit ClientArea(QWidget* parent);
    NetWindow* network_window = nullptr;
    PanelColumn* panel_column = nullptr;
    QStatusBar* status_bar = nullptr;
    QLabel* status_text = nullptr;     // "Ready" and the menu help
    QLabel* capture_status = nullptr;  // why the adapter could not be opened; empty when it was
    void place();

protected:
    void resizeEvent(QResizeEvent* event) override;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow();
    ~MainWindow() override;

    // Serves one menu command; any other number does nothing.
    void command(int number);
    // Ticks the display-flag items from the settings.
    void set_initial_checks();
    // Sets the title from the current adapter, and the status bar's capture status (why
    // the adapter could not be opened, and what to do; nothing when it was).
    void update_title();
    // Switches the capture to adapter `index` (already checked) and tells every view.
    void adapter_switch(unsigned index);
    // Writes the focus file, the alarm file and the settings, once, and asks the message
    // loop to end with exit code 0.
    void shutdown();

    [[nodiscard]] QAction* action(int number) const;
    [[nodiscard]] QList<QMenu*> menus() const { return menus_; }
    [[nodiscard]] NetWindow* network_window() const { return client_->network_window; }
    [[nodiscard]] PanelColumn* panel_column() const { return client_->panel_column; }
    [[nodiscard]] ClientArea* client_area() const { return client_; }
    [[nodiscard]] QString status_text() const;
    [[nodiscard]] QString capture_status() const;
    [[nodiscard]] bool shut_down() const { return shut_down_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void build_menu();
    void choose_adapter();
    void show_help(const QString& text);
    void check(int number, bool on);

    ClientArea* client_;
    QList<QMenu*> menus_;
    std::map<int, QAction*> actions_;
    bool shut_down_ = false;
};
