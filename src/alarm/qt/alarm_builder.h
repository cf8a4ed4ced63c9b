// The "Alarm Builder" dialog (Custom > Edit Alarms): the alarms of a working copy on the
// left, the current alarm's object, condition, unit, value and actions on the right.
// Every control forwards to the engine (alarm/calarm.h) and shows its view again; OK
// hands the copy to the engine, Cancel drops it.
//
// Host names typed in a combo box are looked up in the local names, else asked of the
// name service: the dialog waits for the answer with the wait cursor for at most
// `resolve_wait_ms` (kResolveWaitMs), repainting meanwhile; without an answer by then
// the end stays "(unresolved)", the note line says so, and an answer that comes later
// still fills the alarm (the dialog shows it as it comes).
//
// Threads: window thread.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <vector>

#include "alarm/calarm.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class QTimer;

// Asks for a file to open: (owner, caption, name filters, default suffix) -> a path, or
// empty when cancelled. The dialog's Browse buttons use it; tests put their own.
using BuilderFileChooser =
    std::function<QString(QWidget* owner, const QString& caption, const QStringList& filters, const QString& suffix)>;
void alarm_builder_set_file_chooser(BuilderFileChooser chooser);

class AlarmBuilder : public QDialog {
    Q_OBJECT
public:
    explicit AlarmBuilder(QWidget* parent = nullptr);
    ~AlarmBuilder() override;

    [[nodiscard]] AlarmBuilderModel& model() { return *model_; }
    // Shows the current alarm's view in every control.
    void refresh();
    // Takes what a field holds, as when it loses the focus.
    void field_done(QWidget* field);
    // Takes the answers that came in since the last look (run by a timer while any is
    // awaited).
    void take_answers();
    // Questions to the name service still unanswered.
    [[nodiscard]] const std::vector<std::shared_ptr<BuilderRequest>>& awaited() const { return awaited_; }

    int resolve_wait_ms = kResolveWaitMs;

    QListWidget* alarms = nullptr;
    QPushButton* new_button = nullptr;
    QPushButton* delete_button = nullptr;
    QRadioButton* host = nullptr;
    QRadioButton* link = nullptr;
    QRadioButton* network = nullptr;
    QRadioButton* protocol = nullptr;
    QLabel* first_caption = nullptr;
    QLabel* second_caption = nullptr;
    QComboBox* first = nullptr;
    QComboBox* second = nullptr;
    QRadioButton* occurrence = nullptr;
    QRadioButton* threshold_hi = nullptr;
    QRadioButton* threshold_lo = nullptr;
    QRadioButton* kbytes = nullptr;
    QRadioButton* pkts = nullptr;
    QRadioButton* bandwidth = nullptr;
    QLineEdit* value = nullptr;
    QCheckBox* play_wave = nullptr;
    QLineEdit* wave_file = nullptr;
    QPushButton* wave_browse = nullptr;
    QCheckBox* run_command = nullptr;
    QLineEdit* command = nullptr;
    QPushButton* command_browse = nullptr;
    QLabel* note = nullptr;
    QPushButton* cancel_button = nullptr;
    QPushButton* ok_button = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fill_list();
    void set_item(QListWidgetItem* item, size_t index);
    void end_done(int end);
    void browse(bool sound);
    void fill_combo(QComboBox* combo, bool protocols);

    std::unique_ptr<AlarmBuilderModel> model_;
    QButtonGroup* objects_ = nullptr;
    QButtonGroup* conditions_ = nullptr;
    QButtonGroup* units_ = nullptr;
    int first_fill_ = -1;  // what the first combo holds: 0 names, 1 protocols, -1 nothing
    std::vector<std::shared_ptr<BuilderRequest>> awaited_;
    QTimer* answers_timer_ = nullptr;
    bool showing_ = false;
};

// Runs the dialog, modal, over `owner`.
void alarm_builder_run(QWidget* owner);
