#include "lists/qt/list_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QResizeEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "lists/fills.h"
#include "lists/qt/popup.h"
#include "model/net.h"
#include "ui/qtext.h"
#include "ui/window_messages.h"

namespace {

constexpr int kTickMs = 1000;
constexpr char kCopyAllText[] = "Copy all";

// The open window of each single-instance kind.
QPointer<ListWindow>& instance(ListKind kind) {
    static QPointer<ListWindow> windows[kListKinds];
    return windows[static_cast<int>(kind)];
}

// The watch commands of each kind's context menu.
std::vector<std::pair<QString, int>> watch_commands(ListKind kind) {
    switch (kind) {
        case ListKind::host_list:
        case ListKind::host_watch: return {{"Watch Node Traffic", kListWatchCommand}};
        case ListKind::top_hosts: return {{"Watch Host Traffic", kListWatchCommand}};
        case ListKind::top_links:
            return {{"Watch Source Traffic", kListWatchCommand},
                    {"Watch Destination Traffic", kListWatchDestinationCommand}};
        case ListKind::top_alarms: return {};
    }
    return {};
}

// Opens a window of the kind with its stored size, sends it the start message with the
// subject, shows it and lists it among the open windows.
ListWindow* open_window(ListKind kind, const void* subject) {
    const ListKindInfo& info = list_kind_info(kind);
    if (info.single) {
        if (ListWindow* w = instance(kind)) {
            w->showNormal();
            w->raise();
            w->activateWindow();
            return w;
        }
    }
    auto* w = new ListWindow(kind);
    if (info.single) instance(kind) = w;
    const ListWindowSettings& s = list_window_settings(kind);
    const QSize outer(s.x > 0 ? s.x.load() : info.default_x, s.y > 0 ? s.y.load() : info.default_y);
    w->resize(outer);
    WindowMessageEvent start(kMsgListStart, const_cast<void*>(subject));
    QCoreApplication::sendEvent(w, &start);
    w->show();
    // The stored size is the outer one; the frame is known once the window is shown.
    const QSize frame = w->frameGeometry().size() - w->size();
    if (!frame.isEmpty()) w->resize(outer - frame);
    popup_add(w);
    return w;
}

}  // namespace

ListTableModel::ListTableModel(const ListTable* table, const ListKindInfo* info, QObject* parent)
    : QAbstractTableModel(parent), table_(table), info_(info) {}

int ListTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(table_->rows.size());
}

int ListTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : info_->columns; }

QVariant ListTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::DisplayRole) {
        const auto& cells = table_->rows[static_cast<size_t>(index.row())].cells;
        const auto c = static_cast<size_t>(index.column());
        return c < cells.size() ? ui_text(cells[c]) : QString();
    }
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

QVariant ListTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= info_->columns) return {};
    if (role == Qt::DisplayRole) return ui_text(info_->column_titles[section]);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

ListWindow::ListWindow(ListKind kind) : QWidget(nullptr, Qt::Window), info_(&list_kind_info(kind)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(info_->window_class);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    table_.columns = info_->columns;

    toolbar_ = new QToolBar(this);
    toolbar_->setIconSize(QSize(16, 16));
    QAction* force = toolbar_->addAction(style()->standardIcon(QStyle::SP_BrowserReload), "Force update");
    force->setToolTip("Force update");
    force->setData(info_->force_update_command);
    connect(force, &QAction::triggered, this, &ListWindow::force_update);
    QAction* close_action = toolbar_->addAction(style()->standardIcon(QStyle::SP_DialogCloseButton), "Close window");
    close_action->setToolTip("Close window");
    close_action->setData(info_->close_command);
    connect(close_action, &QAction::triggered, this, &QWidget::close);

    view_ = new QTreeView(this);
    model_ = new ListTableModel(&table_, info_, this);
    view_->setModel(model_);
    view_->setRootIsDecorated(false);
    view_->setUniformRowHeights(true);
    view_->setItemsExpandable(false);
    view_->setSortingEnabled(false);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setAllColumnsShowFocus(true);
    view_->header()->setStretchLastSection(false);
    view_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const ListWindowSettings& s = list_window_settings(kind);
    for (int c = 0; c < info_->columns; ++c) {
        const int w = s.width[c].load();
        view_->header()->resizeSection(c, w > 0 ? w : info_->default_width[c]);
    }
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this, &ListWindow::context_menu);

    // The table would copy only its current cell: Ctrl+C on it copies the row.
    view_->installEventFilter(this);
    auto* copy = new QAction("Copy", this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WindowShortcut);
    connect(copy, &QAction::triggered, this, &ListWindow::copy_row);
    addAction(copy);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar_);
    layout->addWidget(view_, 1);

    timer_ = new QTimer(this);
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &ListWindow::tick);
    timer_->start();
}

ListWindow::~ListWindow() {
    ListWindowSettings& s = list_window_settings(info_->kind);
    for (int c = 0; c < info_->columns; ++c) s.width[c].store(view_->header()->sectionSize(c));
    if (info_->single && instance(info_->kind) == this) instance(info_->kind) = nullptr;
    // The view and its model read the table, which goes before the base class deletes
    // the children.
    delete view_;
    delete model_;
}

bool ListWindow::event(QEvent* event) {
    const int type = static_cast<int>(event->type());
    if (type == kMsgListStart) {
        start(static_cast<WindowMessageEvent*>(event)->pointer());
        return true;
    }
    if (type == kMsgAdapterChanged) {
        adapter_changed();
        return true;
    }
    return QWidget::event(event);
}

bool ListWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copy_row();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ListWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSize outer = isVisible() ? frameGeometry().size() : event->size();
    ListWindowSettings& s = list_window_settings(info_->kind);
    s.x.store(outer.width());
    s.y.store(outer.height());
}

void ListWindow::start(const void* subject) {
    subject_ = subject;
    if (info_->kind == ListKind::host_watch) {
        const Host* h = static_cast<const Host*>(subject);
        title_ = h ? list_watch_title(h->address_text, h->name) : list_watch_title(nullptr, nullptr);
    } else {
        title_ = info_->title;
    }
    list_frame_start(&frame_, &title_);
    show_title();
    refresh();
}

void ListWindow::adapter_changed() {
    if (info_->kind == ListKind::host_watch) {
        close();
        return;
    }
    if (info_->kind == ListKind::host_list) subject_ = net_current();
    model_->begin_change();
    list_table_clear(&table_);
    rows_shown_ = 0;
    selected_ = -1;
    model_->end_change();
    refresh();
}

void ListWindow::tick() {
    list_frame_tick(&frame_, &title_, [this] {
        show_title();
        refresh();
    });
    show_title();
}

void ListWindow::force_update() { list_frame_force(&frame_); }

void ListWindow::show_title() { setWindowTitle(ui_text(title_)); }

void ListWindow::refresh() {
    // The selected row is found again by its subject after the rows have moved.
    const QModelIndex current = view_->currentIndex();
    const void* selected_subject = nullptr;
    if (current.isValid() && static_cast<size_t>(current.row()) < table_.rows.size())
        selected_subject = table_.rows[static_cast<size_t>(current.row())].subject;
    model_->begin_change();
    fill();
    model_->end_change();
    if (!selected_subject) return;
    for (size_t r = 0; r < table_.rows.size(); ++r) {
        if (table_.rows[r].subject != selected_subject) continue;
        view_->setCurrentIndex(model_->index(static_cast<int>(r), 0));
        break;
    }
}

void ListWindow::fill() {
    switch (info_->kind) {
        case ListKind::host_list: wnet_fill(&table_, static_cast<const Network*>(subject_)); break;
        case ListKind::host_watch: wnode_fill(&table_, static_cast<const Host*>(subject_)); break;
        case ListKind::top_hosts: host_popup_fill(&table_, net_current(), &rows_shown_); break;
        case ListKind::top_links: link_popup_fill(&table_, net_current(), &rows_shown_); break;
        case ListKind::top_alarms: alarm_popup_fill(&table_, &rows_shown_); break;
    }
}

std::vector<std::pair<QString, int>> ListWindow::menu_commands(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= table_.rows.size()) return {};
    auto commands = watch_commands(info_->kind);
    commands.emplace_back(kCopyAllText, kListCopyAllCommand);
    return commands;
}

void ListWindow::context_menu(const QPoint& at) {
    const int row = view_->indexAt(at).row();
    const auto commands = menu_commands(row);
    if (commands.empty()) return;
    selected_ = row;
    QMenu menu(this);
    for (const auto& [text, number] : commands) menu.addAction(text)->setData(number);
    if (QAction* chosen = menu.exec(view_->viewport()->mapToGlobal(at))) run_command(chosen->data().toInt(), row);
}

void ListWindow::run_command(int command, int row) {
    if (row < 0 || static_cast<size_t>(row) >= table_.rows.size()) return;
    selected_ = row;
    const ListRow& r = table_.rows[static_cast<size_t>(row)];
    const Host* watch = nullptr;
    switch (info_->kind) {
        case ListKind::host_list:
        case ListKind::top_hosts:
            if (command == kListWatchCommand) watch = static_cast<const Host*>(r.subject);
            break;
        case ListKind::host_watch:
            if (command == kListWatchCommand) watch = static_cast<const Host*>(r.detail);
            break;
        case ListKind::top_links:
            if (const Link* l = static_cast<const Link*>(r.subject)) {
                if (command == kListWatchCommand) watch = l->source;
                if (command == kListWatchDestinationCommand) watch = l->destination;
            }
            break;
        case ListKind::top_alarms: break;
    }
    if (watch) wnode_open(watch);
    if (command == kListCopyAllCommand) copy_all();
}

QString ListWindow::selected_row_text() const {
    const QModelIndex current = view_->currentIndex();
    if (!current.isValid()) return {};
    return ui_text(list_table_tsv_row(table_, static_cast<size_t>(current.row())));
}

QString ListWindow::all_text() const { return ui_text(list_table_tsv(table_, info_->column_titles)); }

void ListWindow::copy_row() {
    const QString text = selected_row_text();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void ListWindow::copy_all() { QApplication::clipboard()->setText(all_text()); }

ListWindow* wnet_open() { return open_window(ListKind::host_list, net_current()); }
ListWindow* wnode_open(const Host* host) { return host ? open_window(ListKind::host_watch, host) : nullptr; }
ListWindow* host_popup_open() { return open_window(ListKind::top_hosts, nullptr); }
ListWindow* link_popup_open() { return open_window(ListKind::top_links, nullptr); }
ListWindow* alarm_popup_open() { return open_window(ListKind::top_alarms, nullptr); }
ListWindow* list_window_open_instance(ListKind kind) { return instance(kind); }
