#include "alarm/qt/output_window.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <mutex>

#include "alarm/output.h"
#include "alarm/qt/actions.h"
#include "ui/qtext.h"

namespace {

// The lines on their way and the window that takes them (null while there is none).
struct OutputState {
    OutputMailbox mailbox;
    std::mutex window_mutex;  // guards `window`
    AlarmOutputWindow* window = nullptr;
};
OutputState& output_state() {
    static OutputState s;
    return s;
}

// A notify string may span lines; the list shows it on one.
QString one_line(const std::string& text) {
    QString s = ui_text(text);
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

}  // namespace

AlarmOutputWindow::AlarmOutputWindow(QWidget* parent) : QWidget(parent), beep_(alarm_qt_beep) {
    setObjectName("AlarmOutput");
    setWindowTitle("Alarm Output Window");
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    list_ = new QTreeWidget(this);
    list_->setColumnCount(2);
    list_->setHeaderLabels({"Alarm Condition", "Time"});
    list_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->header()->setStretchLastSection(false);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    const AlarmOutputSettings& s = alarm_output_settings();
    list_->setColumnWidth(0, s.output[0].load());
    list_->setColumnWidth(1, s.output[1].load());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    resize(0, 0);
    {
        OutputState& st = output_state();
        std::lock_guard lock(st.window_mutex);
        st.window = this;
    }
    take_pending();  // lines that came before the window
}

AlarmOutputWindow::~AlarmOutputWindow() {
    {
        OutputState& st = output_state();
        std::lock_guard lock(st.window_mutex);
        if (st.window == this) st.window = nullptr;
    }
    AlarmOutputSettings& s = alarm_output_settings();
    s.output[0].store(list_->columnWidth(0));
    s.output[1].store(list_->columnWidth(1));
}

void AlarmOutputWindow::add_line(const std::string& notify, int64_t time) {
    list_->setUpdatesEnabled(false);
    if (beep_) beep_();
    while (list_->topLevelItemCount() > kOutputMaxLines - 1) delete list_->takeTopLevelItem(0);
    char when[kOutputTimeText];
    alarm_time_text(time, when);
    auto* item = new QTreeWidgetItem({one_line(notify), QString::fromLatin1(when)});
    item->setToolTip(0, ui_text(notify));
    list_->addTopLevelItem(item);
    list_->scrollToBottom();
    list_->setUpdatesEnabled(true);
}

void AlarmOutputWindow::take_pending() {
    for (const OutputLine& line : output_state().mailbox.take()) add_line(line.notify, line.time);
}

AlarmOutputWindow* alarm_output_create(QWidget* parent) {
    auto* w = new AlarmOutputWindow(parent);
    w->show();
    return w;
}

void alarm_output_add(const std::string& notify, int64_t time) {
    OutputState& st = output_state();
    if (!st.mailbox.post(OutputLine{notify, time})) return;  // the window has been told already
    std::lock_guard lock(st.window_mutex);
    if (st.window) QMetaObject::invokeMethod(st.window, &AlarmOutputWindow::take_pending, Qt::QueuedConnection);
}
