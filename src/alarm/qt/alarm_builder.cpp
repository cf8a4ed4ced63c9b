#include "alarm/qt/alarm_builder.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include "base/message.h"
#include "protocol/pd.h"
#include "ui/dialog_units.h"
#include "ui/qtext.h"

namespace {

constexpr int kListColumnWidth = 200;
constexpr int kAnswersPollMs = 200;

BuilderFileChooser& file_chooser() {
    static BuilderFileChooser chooser = [](QWidget* owner, const QString& caption, const QStringList& filters,
                                           const QString& suffix) {
        QFileDialog dialog(owner, caption);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilters(filters);
        dialog.setDefaultSuffix(suffix);
        if (suffix.isEmpty())  // a command: only files the user may run, and folders to get there
            dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
        return dialog.selectedFiles().first();
    };
    return chooser;
}

// The list's two icons: a green lamp for an alarm that is ON, a grey one crossed out for OFF.
QIcon lamp(bool on) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(on ? QColor(40, 190, 60) : QColor(170, 170, 170));
    p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    if (!on) {
        p.setPen(QPen(QColor(200, 30, 30), 2));
        p.drawLine(QPointF(3, 13), QPointF(13, 3));
    }
    return QIcon(pm);
}

// The in-place label edit takes at most 80 characters.
class NotifyDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) line->setMaxLength(kBuilderTextMax);
        return editor;
    }
};

QComboBox* make_combo(QWidget* parent) {
    auto* c = new QComboBox(parent);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setMaxVisibleItems(16);
    c->lineEdit()->setMaxLength(kBuilderTextMax);
    return c;
}

QLineEdit* make_edit(QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setMaxLength(kBuilderTextMax);
    return e;
}

// Checks button `id` of an exclusive group, or none for -1.
void check_only(QButtonGroup* group, int id) {
    if (QAbstractButton* b = group->button(id)) {
        b->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) b->setChecked(false);
    group->setExclusive(true);
}

void process_events(void*) { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

// Condition button ids: occurrence, threshold high, threshold low.
enum { kIdOccurrence = 0, kIdHigh = 1, kIdLow = 2 };

}  // namespace

void alarm_builder_set_file_chooser(BuilderFileChooser chooser) { file_chooser() = std::move(chooser); }

AlarmBuilder::AlarmBuilder(QWidget* parent)
    : QDialog(parent), model_(std::make_unique<AlarmBuilderModel>(alarm_list(), pd_root())) {
    setWindowTitle("Alarm Builder");
    setObjectName("AlarmBuilder");

    // "Alarms"
    auto* alarms_box = new QGroupBox("Alarms", this);
    alarms = new QListWidget(alarms_box);
    alarms->setSelectionMode(QAbstractItemView::SingleSelection);
    alarms->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    alarms->setItemDelegate(new NotifyDelegate(alarms));
    alarms->setMinimumWidth(kListColumnWidth);
    new_button = new QPushButton("New", alarms_box);
    delete_button = new QPushButton("Delete", alarms_box);
    auto* alarms_layout = new QVBoxLayout(alarms_box);
    alarms_layout->addWidget(alarms, 1);
    auto* list_buttons = new QHBoxLayout;
    list_buttons->addWidget(new_button);
    list_buttons->addWidget(delete_button);
    alarms_layout->addLayout(list_buttons);

    // "Object Type"
    auto* object_box = new QGroupBox("Object Type", this);
    host = new QRadioButton("Host", object_box);
    link = new QRadioButton("Link", object_box);
    network = new QRadioButton("Network", object_box);
    protocol = new QRadioButton("Protocol", object_box);
    objects_ = new QButtonGroup(this);
    objects_->addButton(host, kAlarmHost);
    objects_->addButton(link, kAlarmLink);
    objects_->addButton(network, kAlarmNetwork);
    objects_->addButton(protocol, kAlarmProtocol);
    first_caption = new QLabel(object_box);
    second_caption = new QLabel(object_box);
    first = make_combo(object_box);
    second = make_combo(object_box);
    auto* object_layout = new QGridLayout(object_box);
    object_layout->addWidget(host, 0, 0);
    object_layout->addWidget(link, 0, 1);
    object_layout->addWidget(network, 1, 0);
    object_layout->addWidget(protocol, 1, 1);
    object_layout->addWidget(first_caption, 2, 0);
    object_layout->addWidget(second_caption, 2, 1);
    object_layout->addWidget(first, 3, 0);
    object_layout->addWidget(second, 3, 1);

    // "Theshold Type"
    auto* condition_box = new QGroupBox("Theshold Type", this);
    occurrence = new QRadioButton("Occurrence", condition_box);
    threshold_hi = new QRadioButton("Threshold hi", condition_box);
    threshold_lo = new QRadioButton("Threshold lo", condition_box);
    conditions_ = new QButtonGroup(this);
    conditions_->addButton(occurrence, kIdOccurrence);
    conditions_->addButton(threshold_hi, kIdHigh);
    conditions_->addButton(threshold_lo, kIdLow);
    auto* condition_layout = new QVBoxLayout(condition_box);
    condition_layout->addWidget(occurrence);
    condition_layout->addWidget(threshold_hi);
    condition_layout->addWidget(threshold_lo);

    // "Traffic Units"
    auto* units_box = new QGroupBox("Traffic Units", this);
    kbytes = new QRadioButton("KBytes/sec", units_box);
    pkts = new QRadioButton("Packets/sec", units_box);
    bandwidth = new QRadioButton("% Bandwidth", units_box);
    units_ = new QButtonGroup(this);
    units_->addButton(kbytes, kUnitKbytes);
    units_->addButton(pkts, kUnitPkts);
    units_->addButton(bandwidth, kUnitBandwidth);
    value = make_edit(units_box);
    auto* units_layout = new QGridLayout(units_box);
    units_layout->addWidget(kbytes, 0, 0);
    units_layout->addWidget(pkts, 1, 0);
    units_layout->addWidget(bandwidth, 2, 0);
    units_layout->addWidget(new QLabel("Value", units_box), 0, 1);
    units_layout->addWidget(value, 1, 1);

    // "Actions"
    auto* actions_box = new QGroupBox("Actions", this);
    play_wave = new QCheckBox("Play wave file", actions_box);
    wave_file = make_edit(actions_box);
    wave_browse = new QPushButton("Browse", actions_box);
    run_command = new QCheckBox("Execute command", actions_box);
    command = make_edit(actions_box);
    command_browse = new QPushButton("Browse", actions_box);
    auto* actions_layout = new QGridLayout(actions_box);
    actions_layout->addWidget(play_wave, 0, 0);
    actions_layout->addWidget(wave_file, 0, 1);
    actions_layout->addWidget(wave_browse, 0, 2);
    actions_layout->addWidget(run_command, 1, 0);
    actions_layout->addWidget(command, 1, 1);
    actions_layout->addWidget(command_browse, 1, 2);
    actions_layout->setColumnStretch(1, 1);

    note = new QLabel(this);
    note->setWordWrap(true);
    cancel_button = new QPushButton("Cancel", this);
    ok_button = new QPushButton("OK", this);
    // Enter moves through the fields instead of closing the dialog: no default button.
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    auto* right = new QGridLayout;
    right->addWidget(object_box, 0, 0, 1, 2);
    right->addWidget(condition_box, 1, 0);
    right->addWidget(units_box, 1, 1);
    right->addWidget(actions_box, 2, 0, 1, 2);
    auto* top = new QHBoxLayout;
    top->addWidget(alarms_box, 0);
    top->addLayout(right, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(note, 1);
    bottom->addWidget(cancel_button);
    bottom->addWidget(ok_button);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top, 1);
    outer->addLayout(bottom);
    resize(dialog_units(this, 370, 249).expandedTo(QSize(640, 420)));

    for (QWidget* w : std::initializer_list<QWidget*>{first, second, value, wave_file, command}) w->installEventFilter(this);
    first->lineEdit()->installEventFilter(this);
    second->lineEdit()->installEventFilter(this);

    answers_timer_ = new QTimer(this);
    answers_timer_->setInterval(kAnswersPollMs);
    connect(answers_timer_, &QTimer::timeout, this, &AlarmBuilder::take_answers);

    connect(alarms, &QListWidget::currentRowChanged, this, [this](int row) {
        if (showing_) return;
        model_->select(row);
        refresh();
    });
    connect(alarms, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        const int row = alarms->row(item);
        model_->toggle_disabled(row);
        set_item(item, static_cast<size_t>(row));
    });
    connect(alarms, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (showing_) return;
        const int row = alarms->row(item);
        model_->rename(row, ui_engine_text(item->text()));
        set_item(item, static_cast<size_t>(row));
    });
    connect(new_button, &QPushButton::clicked, this, [this] {
        const int row = model_->add_new();
        fill_list();
        alarms->setCurrentRow(row);
        refresh();
    });
    connect(delete_button, &QPushButton::clicked, this, [this] {
        model_->delete_at(alarms->currentRow());
        fill_list();
        refresh();
    });
    connect(objects_, &QButtonGroup::idClicked, this, [this](int id) {
        model_->choose_object(id);
        refresh();
    });
    connect(conditions_, &QButtonGroup::idClicked, this, [this](int id) {
        model_->choose_condition(id == kIdOccurrence ? kAlarmOccurrence : kAlarmThreshold,
                                 id == kIdLow ? kLevelLow : kLevelHigh);
        refresh();
    });
    connect(units_, &QButtonGroup::idClicked, this, [this](int id) {
        model_->choose_unit(id);
        refresh();
    });
    connect(first, &QComboBox::activated, this, [this](int index) {
        if (first_fill_ == 1) model_->choose_protocol(index);
    });
    connect(play_wave, &QCheckBox::clicked, this, [this] {
        model_->toggle_play_wave();
        refresh();
    });
    connect(run_command, &QCheckBox::clicked, this, [this] {
        model_->toggle_run_command();
        refresh();
    });
    connect(wave_browse, &QPushButton::clicked, this, [this] { browse(true); });
    connect(command_browse, &QPushButton::clicked, this, [this] { browse(false); });
    connect(ok_button, &QPushButton::clicked, this, [this] {
        model_->commit();
        accept();
    });
    connect(cancel_button, &QPushButton::clicked, this, &QDialog::reject);

    fill_list();
    if (model_->size() > 0) alarms->setCurrentRow(0);
    refresh();
    alarms->setFocus();
}

AlarmBuilder::~AlarmBuilder() = default;

void AlarmBuilder::set_item(QListWidgetItem* item, size_t index) {
    const bool was = showing_;
    showing_ = true;
    item->setText(ui_text(model_->label(index)));
    item->setIcon(lamp(model_->enabled(index)));
    showing_ = was;
}

void AlarmBuilder::fill_list() {
    showing_ = true;
    alarms->clear();
    for (size_t i = 0; i < model_->size(); ++i) {
        auto* item = new QListWidgetItem(alarms);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        set_item(item, i);
    }
    alarms->setCurrentRow(model_->current());
    showing_ = false;
}

void AlarmBuilder::fill_combo(QComboBox* combo, bool protocols) {
    combo->clear();
    if (protocols) {
        for (const ProtocolEntry& e : model_->protocols()) combo->addItem(ui_text(e.text));
    } else {
        for (const std::string& name : calarm_local_names()) combo->addItem(ui_text(name));
    }
}

void AlarmBuilder::refresh() {
    const BuilderView v = model_->view();
    showing_ = true;
    for (QWidget* w : std::initializer_list<QWidget*>{host, link, network, protocol, occurrence, play_wave, run_command,
                                                      wave_file, command, wave_browse, command_browse, delete_button})
        w->setEnabled(v.has_alarm);
    check_only(objects_, v.has_alarm ? v.object_type : -1);
    check_only(conditions_, !v.has_alarm ? -1
                            : v.condition == kAlarmOccurrence ? kIdOccurrence
                            : v.level == kLevelLow            ? kIdLow
                                                              : kIdHigh);
    check_only(units_, v.unit);
    for (QWidget* w : std::initializer_list<QWidget*>{threshold_hi, threshold_lo, kbytes, pkts, bandwidth})
        w->setEnabled(v.thresholds_enabled);
    value->setEnabled(v.value_enabled);
    value->setReadOnly(v.value_read_only);
    value->setText(ui_text(v.value_text));
    first_caption->setText(ui_text(v.first_caption));
    second_caption->setText(ui_text(v.second_caption));

    const int fill = !v.first.enabled ? -1 : v.first.protocols ? 1 : 0;
    if (fill != first_fill_) {
        if (fill == -1) first->clear();
        else fill_combo(first, fill == 1);
        first_fill_ = fill;
    }
    first->setEnabled(v.first.enabled);
    first->setCurrentIndex(v.first.selected);
    first->setEditText(ui_text(v.first.text));
    const bool second_names = v.second.enabled;
    if (second_names != (second->count() > 0)) {
        if (second_names) fill_combo(second, false);
        else second->clear();
    }
    second->setEnabled(v.second.enabled);
    second->setCurrentIndex(-1);
    second->setEditText(ui_text(v.second.text));

    play_wave->setChecked(v.play_wave);
    run_command->setChecked(v.run_command);
    wave_file->setText(ui_text(v.wave_file));
    command->setText(ui_text(v.command));
    showing_ = false;
}

void AlarmBuilder::field_done(QWidget* field) {
    if (showing_ || !model_->current_alarm()) return;
    if (field == value) {
        value->setText(ui_text(model_->set_value_text(ui_engine_text(value->text()))));
    } else if (field == wave_file) {
        model_->set_wave_file(ui_engine_text(wave_file->text()));
    } else if (field == command) {
        model_->set_command(ui_engine_text(command->text()));
    } else if (field == first) {
        if (first_fill_ == 1) {
            // A chosen entry stands; typed text is matched against the list.
            const int index = first->currentIndex();
            if (index >= 0 && first->currentText() == first->itemText(index)) model_->choose_protocol(index);
            else model_->set_protocol_text(ui_engine_text(first->currentText()));
            refresh();
        } else if (first_fill_ == 0) {
            end_done(1);
        }
    } else if (field == second) {
        if (second->isEnabled()) end_done(2);
    }
}

void AlarmBuilder::end_done(int end) {
    QComboBox* combo = end == 1 ? first : second;
    std::string why;
    std::shared_ptr<BuilderRequest> request = model_->set_end_text(end, ui_engine_text(combo->currentText()), &why);
    if (request) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const bool answered = calarm_wait(*request, resolve_wait_ms, process_events, nullptr);
        QApplication::restoreOverrideCursor();
        if (!answered) {
            why = "No answer from the name service for \"" + request->text + "\" within " +
                  (resolve_wait_ms % 1000 == 0 ? std::to_string(resolve_wait_ms / 1000) + " s"
                                               : std::to_string(resolve_wait_ms) + " ms") +
                  ": it stays unresolved for now, and a later answer fills it in.";
            awaited_.push_back(std::move(request));
            answers_timer_->start();
        } else if (!request->answer) {
            why = "The name service does not know \"" + request->text + "\": it stays unresolved.";
        }
    }
    note->setText(ui_text(why));
    refresh();
}

void AlarmBuilder::take_answers() {
    bool any = false;
    for (auto it = awaited_.begin(); it != awaited_.end();) {
        if (!calarm_answered(**it)) {
            ++it;
            continue;
        }
        any = true;
        note->setText(ui_text((*it)->answer ? "The name service answered \"" + (*it)->text + "\"."
                                            : "The name service does not know \"" + (*it)->text + "\"."));
        it = awaited_.erase(it);
    }
    if (awaited_.empty()) answers_timer_->stop();
    if (!any) return;
    // The answer may be the current alarm's: show it, unless the user is typing there.
    QWidget* focus = QApplication::focusWidget();
    const bool typing = focus && (focus == first || focus == second || focus->parentWidget() == first ||
                                  focus->parentWidget() == second);
    if (!typing) refresh();
}

void AlarmBuilder::browse(bool sound) {
    const QStringList filters = sound ? QStringList{"WAV sound files (*.wav *.WAV)", "All files (*)"}
                                      : QStringList{"Programs (*)", "Shell scripts (*.sh)"};
    const QString path = file_chooser()(this, sound ? "Wave file" : "Command", filters, sound ? "wav" : "");
    if (path.isEmpty()) return;  // cancelled: nothing changes
    const std::string chosen = ui_engine_text(path);
    if (chosen.size() > static_cast<size_t>(kBuilderTextMax)) {
        message_show("Hopscope", ("The path is longer than 80 characters and cannot be kept: " + chosen).c_str(),
                     MessageIcon::Warning);
        return;
    }
    if (sound) model_->set_wave_file(chosen);
    else model_->set_command(chosen);
    refresh();
}

bool AlarmBuilder::eventFilter(QObject* watched, QEvent* event) {
    QWidget* field = qobject_cast<QWidget*>(watched);
    if (field == first->lineEdit()) field = first;
    if (field == second->lineEdit()) field = second;
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
    } else if (event->type() == QEvent::FocusOut && watched != first->lineEdit() && watched != second->lineEdit()) {
        // A combo box's popup takes the focus for a moment: that is no leaving.
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) field_done(field);
    }
    return QDialog::eventFilter(watched, event);
}

void AlarmBuilder::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* b = qobject_cast<QPushButton*>(QApplication::focusWidget())) b->click();
        else focusNextChild();
        return;
    }
    QDialog::keyPressEvent(event);
}

void alarm_builder_run(QWidget* owner) {
    AlarmBuilder dialog(owner);
    dialog.exec();
}
