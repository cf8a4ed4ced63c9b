// The alarm output window: the panel of the panel column that lists the newest alarm
// firings, newest at the bottom, at most 200 lines.
//
// Lines come from the alarm thread through alarm_output_add, which never touches a
// widget: it leaves the line in a mailbox (alarm/output.h) and asks the window, by a
// queued call, to take what waits. The window adds the lines on the window thread.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

class QTreeWidget;

// The panel "AlarmOutput" ("Alarm Output Window"): a report-style list with the two
// columns "Alarm Condition" and "Time", their widths from the "output 0" and "output 1"
// settings, stored back into them when the window is destroyed.
class AlarmOutputWindow : public QWidget {
    Q_OBJECT
public:
    explicit AlarmOutputWindow(QWidget* parent = nullptr);
    ~AlarmOutputWindow() override;

    // Appends a line (window thread): the oldest goes once there are 200, the list
    // scrolls to the newest, and the line beeps once.
    void add_line(const std::string& notify, int64_t time);
    [[nodiscard]] QTreeWidget* list() const { return list_; }
    // What a line's beep does; the system beep (at most a few a second) by default.
    void set_beep(std::function<void()> beep) { beep_ = std::move(beep); }

public Q_SLOTS:
    // Adds every line waiting in the mailbox.
    void take_pending();

private:
    QTreeWidget* list_;
    std::function<void()> beep_;
};

// Creates the panel as a child of `parent`, with zero size: the panel column places it.
[[nodiscard]] AlarmOutputWindow* alarm_output_create(QWidget* parent);
// Adds a line for a firing of the alarm with this notify string at `time`. Any thread;
// never waits for the window. Lines added while no window exists wait for the next one.
void alarm_output_add(const std::string& notify, int64_t time);
