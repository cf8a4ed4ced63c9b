// The Focus Builder dialog: the focus dictionary, the focus being edited and the protocol
// tree side by side. It works on a deep copy of the dictionary (display/focus_edit.h):
// OK puts the copy in the dictionary's place, makes the dialog's current focus the
// program's (the "focus" setting takes its name, the Protocol Key shows it and every
// link is recoloured); Cancel throws the copy away.
//
// - Focus Dictionary: the focuses in order, labels editable (at most 31 characters);
//   its menu: "Delete", "New", "Rename".
// - Focus Editor: the current focus's entries, each label in its palette colour on
//   black, 14 pixels a row. Drop a protocol from the tree on it to add an entry (colour
//   0); double-click an entry or "Choose colour" in its menu for the colour picker;
//   "Delete" in its menu removes the entry.
// - Protocol Tree: the loaded protocol tree; drag an item from it (the drag carries the
//   protocol's name as kProtocolMimeType).
//
// Threads: window thread.
#pragma once

#include <QDialog>
#include <QListWidget>
#include <QTreeWidget>

#include <memory>

#include "display/focus_edit.h"

class QPushButton;
struct ProtocolNode;

inline constexpr char kProtocolMimeType[] = "application/x-hopscope-protocol";

// Notices to the windows that show focus colours (the Protocol Key, the Focus Editor).
class FocusSignals : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void focusChanged();    // the current focus was replaced
    void paletteChanged();  // a palette colour changed
};
[[nodiscard]] FocusSignals* focus_signals();

// Runs the Focus Builder, modal, over `owner` (Custom > Protocol Focus and the Protocol
// Key's "Protocol Editor").
void focus_builder_run(QWidget* owner);

// The protocol tree: items carry their node; a drag carries the node's name.
class ProtocolTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit ProtocolTreeView(QWidget* parent);
    // Fills the view from the tree under `root` (display/focus_edit.h: focus_tree_items).
    void fill(const ProtocolNode* root);
    [[nodiscard]] static const ProtocolNode* node_of(const QTreeWidgetItem* item);
    // The drag's data for the items, as a real drag carries it.
    [[nodiscard]] QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
    [[nodiscard]] QStringList mimeTypes() const override;
};

class FocusBuilder;

// The owner-drawn list of the current focus's entries, and the drop target.
class FocusEditorList : public QListWidget {
    Q_OBJECT
public:
    explicit FocusEditorList(FocusBuilder* builder, QWidget* parent);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    [[nodiscard]] const ProtocolNode* dropped_protocol(const QMimeData* data) const;
    FocusBuilder* builder_;
};

class FocusBuilder : public QDialog {
    Q_OBJECT
public:
    explicit FocusBuilder(QWidget* parent = nullptr);
    ~FocusBuilder() override;

    [[nodiscard]] FocusBuilderModel& model() { return *model_; }
    [[nodiscard]] QListWidget* dictionary_list() const { return dictionary_; }
    [[nodiscard]] FocusEditorList* editor() const { return editor_; }
    [[nodiscard]] ProtocolTreeView* tree() const { return tree_; }
    [[nodiscard]] QPushButton* button(const QString& text) const;

    // What the buttons and menus do; public for tests.
    void new_focus();
    void delete_focus();
    void rename_focus();
    void delete_entry();
    // The colour picker at `global` for the selected entry.
    void choose_colour(const QPoint& global);
    // Appends an entry for `protocol` to the current focus (the drop).
    bool add_protocol(const ProtocolNode* protocol);
    // Shows the current focus's entries in the editor.
    void show_entries();

    // OK: commits the copy (see above) and closes.
    void accept() override;

private:
    void select_focus(int row);
    void focus_renamed(QListWidgetItem* item);
    void fit_dictionary();

    std::unique_ptr<FocusBuilderModel> model_;
    QListWidget* dictionary_;
    FocusEditorList* editor_;
    ProtocolTreeView* tree_;
};

// The colour picker: 32 boxes of palette colours; a click picks one and closes it.
class ColourPicker : public QDialog {
    Q_OBJECT
public:
    explicit ColourPicker(QWidget* parent);
    [[nodiscard]] int picked() const { return picked_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int picked_ = -1;
};
