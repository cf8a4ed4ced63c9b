// The list windows: Host List ("hostlist"), host watch ("hostwatch"), Top Hosts, Top
// Links and Top Alarms. One frame for all five: a two-button toolbar ("Force update",
// "Close window") above a report-style table, a 1000 ms timer that counts down to the
// next refresh in the title, a context menu over the rows, and the window's size and
// column widths kept in its settings (lists/lists.h). The table shows a ListTable that
// the engine's fills (lists/fills.h) write.
//
// Window thread only. The fills take the model lock themselves, in pieces; the window
// never holds it.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>

#include <vector>

#include "lists/lists.h"
#include "lists/list_table.h"

class QAction;
class QTimer;
class QToolBar;
class QTreeView;
struct Host;
struct Network;

// The table's rows as Qt sees them: a view of the window's ListTable, no copy.
class ListTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    ListTableModel(const ListTable* table, const ListKindInfo* info, QObject* parent);
    [[nodiscard]] int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void begin_change() { beginResetModel(); }
    void end_change() { endResetModel(); }

private:
    const ListTable* table_;
    const ListKindInfo* info_;
};

class ListWindow : public QWidget {
    Q_OBJECT
public:
    explicit ListWindow(ListKind kind);
    ~ListWindow() override;

    // One tick of the 1000 ms timer: the countdown, and the refresh when it runs out.
    void tick();
    // "Force update": the next tick refreshes.
    void force_update();
    // Fills the table from the window's subject now (the refresh of a tick).
    void refresh();

    // The commands of the context menu over row `row` (its texts and numbers); empty
    // over no row.
    [[nodiscard]] std::vector<std::pair<QString, int>> menu_commands(int row) const;
    // Runs a context-menu command for row `row` (which becomes the selected row).
    void run_command(int command, int row);
    // The selected row as tab-separated text (Ctrl+C), and the whole table with its
    // header ("Copy all"); both also go to the clipboard by copy_row / copy_all.
    [[nodiscard]] QString selected_row_text() const;
    [[nodiscard]] QString all_text() const;
    void copy_row();
    void copy_all();

    [[nodiscard]] ListKind kind() const { return info_->kind; }
    [[nodiscard]] const ListTable& table() const { return table_; }
    [[nodiscard]] QTreeView* view() const { return view_; }
    [[nodiscard]] QToolBar* toolbar() const { return toolbar_; }
    [[nodiscard]] QTimer* timer() const { return timer_; }
    [[nodiscard]] int countdown() const { return frame_.countdown; }
    [[nodiscard]] const void* subject() const { return subject_; }
    [[nodiscard]] int rows_shown() const { return rows_shown_; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void start(const void* subject);
    void adapter_changed();
    void show_title();
    void context_menu(const QPoint& at);
    void fill();

    const ListKindInfo* info_;
    ListTable table_;
    ListTableModel* model_;
    QToolBar* toolbar_;
    QTreeView* view_;
    QTimer* timer_;
    ListFrame frame_;
    std::string title_;
    const void* subject_ = nullptr;  // Network (Host List), Host (host watch), null (top lists)
    int rows_shown_ = 0;             // top lists: the rows the last fill wrote
    int selected_ = -1;              // the row of the last context-menu command
};

// Opens the Host List, or brings the open one to the front (restored to its normal size).
ListWindow* wnet_open();
// Opens a new host watch window for the host (never null for a host).
ListWindow* wnode_open(const Host* host);
// Open or bring to the front Top Hosts, Top Links, Top Alarms.
ListWindow* host_popup_open();
ListWindow* link_popup_open();
ListWindow* alarm_popup_open();
// The open window of a single-instance kind, or null.
[[nodiscard]] ListWindow* list_window_open_instance(ListKind kind);
