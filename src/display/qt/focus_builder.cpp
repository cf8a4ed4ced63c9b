#include "display/qt/focus_builder.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <cstring>

#include "display/palette.h"
#include "display/qt/palette_editor.h"
#include "display/qt/protocol_key.h"
#include "protocol/pd.h"
#include "protocol/protocol.h"
#include "protocol/symbol.h"
#include "shell/settings.h"
#include "ui/dialog_units.h"
#include "ui/qtext.h"

namespace {

constexpr int kEditorRowHeight = 14;
constexpr int kEditorTextLeft = 4;
constexpr int kNodeRole = Qt::UserRole + 1;
constexpr int kDictionaryMinWidth = 100;

// The label edit of a focus name takes at most 31 characters.
class NameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) line->setMaxLength(kFocusNameSize - 1);
        return editor;
    }
};

// Each entry's label in its palette colour, 4 pixels from the left, on black.
class EntryDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        p->save();
        p->fillRect(option.rect, Qt::black);
        if (option.state & QStyle::State_Selected) p->fillRect(option.rect, QColor(0, 0, 128));
        p->setPen(KeyView::row_colour(index.data(Qt::UserRole).toInt()));
        p->drawText(option.rect.adjusted(kEditorTextLeft, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                    index.data(Qt::DisplayRole).toString());
        p->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), kEditorRowHeight);
    }
};

const ProtocolNode* protocol_named(const QByteArray& name) {
    const std::string text = name.toStdString();
    if (text.empty() || text.find('\0') != std::string::npos) return nullptr;
    const Symbol* s = symbol_lookup(text.c_str());
    return s ? s->node : nullptr;
}

}  // namespace

FocusSignals* focus_signals() {
    static FocusSignals* s = new FocusSignals;
    return s;
}

// --- the protocol tree ---

ProtocolTreeView::ProtocolTreeView(QWidget* parent) : QTreeWidget(parent) {
    setObjectName("Protocol Tree");
    setHeaderHidden(true);
    setColumnCount(1);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void ProtocolTreeView::fill(const ProtocolNode* root) {
    clear();
    const QIcon icons[2] = {style()->standardIcon(QStyle::SP_DirIcon), style()->standardIcon(QStyle::SP_FileIcon)};
    std::vector<QTreeWidgetItem*> made;
    for (const TreeItem& t : focus_tree_items(root)) {
        auto* item = t.parent < 0 ? new QTreeWidgetItem(this) : new QTreeWidgetItem(made[static_cast<size_t>(t.parent)]);
        item->setText(0, ui_text(std::string(t.node->label, strnlen(t.node->label, sizeof t.node->label)).c_str()));
        item->setIcon(0, icons[t.icon]);
        item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(t.node)));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
        made.push_back(item);
    }
}

const ProtocolNode* ProtocolTreeView::node_of(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<const ProtocolNode*>(item->data(0, kNodeRole).value<quintptr>()) : nullptr;
}

QStringList ProtocolTreeView::mimeTypes() const { return {QString::fromLatin1(kProtocolMimeType)}; }

QMimeData* ProtocolTreeView::mimeData(const QList<QTreeWidgetItem*>& items) const {
    if (items.isEmpty()) return nullptr;
    const ProtocolNode* node = node_of(items.first());
    if (!node) return nullptr;
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kProtocolMimeType), QByteArray(node->name, int(strnlen(node->name, sizeof node->name))));
    return data;
}

// --- the focus editor ---

FocusEditorList::FocusEditorList(FocusBuilder* builder, QWidget* parent) : QListWidget(parent), builder_(builder) {
    setObjectName("Focus Editor");
    setItemDelegate(new EntryDelegate(this));
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setUniformItemSizes(true);
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::black);
    setPalette(p);
    connect(focus_signals(), &FocusSignals::paletteChanged, viewport(), qOverload<>(&QWidget::update));
}

const ProtocolNode* FocusEditorList::dropped_protocol(const QMimeData* data) const {
    if (!data || !data->hasFormat(QString::fromLatin1(kProtocolMimeType))) return nullptr;
    return protocol_named(data->data(QString::fromLatin1(kProtocolMimeType)));
}

void FocusEditorList::dragEnterEvent(QDragEnterEvent* e) {
    if (builder_->model().current_focus() && dropped_protocol(e->mimeData())) e->acceptProposedAction();
    else e->ignore();
}

void FocusEditorList::dragMoveEvent(QDragMoveEvent* e) {
    if (builder_->model().current_focus() && dropped_protocol(e->mimeData())) e->acceptProposedAction();
    else e->ignore();
}

void FocusEditorList::dropEvent(QDropEvent* e) {
    if (builder_->add_protocol(dropped_protocol(e->mimeData()))) e->acceptProposedAction();
    else e->ignore();
}

// --- the dialog ---

FocusBuilder::FocusBuilder(QWidget* parent) : QDialog(parent), model_(std::make_unique<FocusBuilderModel>()) {
    setObjectName("Focus Builder");
    setWindowTitle(QStringLiteral("Focus Builder"));
    setModal(true);

    dictionary_ = new QListWidget(this);
    dictionary_->setObjectName("Focus Dictionary");
    dictionary_->setItemDelegate(new NameDelegate(dictionary_));
    dictionary_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    dictionary_->setContextMenuPolicy(Qt::CustomContextMenu);
    editor_ = new FocusEditorList(this, this);
    editor_->setContextMenuPolicy(Qt::CustomContextMenu);
    tree_ = new ProtocolTreeView(this);
    tree_->fill(pd_root());
    tree_->expandAll();

    auto* columns = new QHBoxLayout;
    const struct {
        const char* heading;
        QWidget* widget;
    } cols[] = {{"Focus Dictionary", dictionary_}, {"Focus Editor", editor_}, {"Protocol Tree", tree_}};
    for (const auto& c : cols) {
        auto* col = new QVBoxLayout;
        col->addWidget(new QLabel(QString::fromLatin1(c.heading), this));
        col->addWidget(c.widget, 1);
        columns->addLayout(col, c.widget == dictionary_ ? 0 : 1);
    }
    auto* buttons = new QHBoxLayout;
    for (const char* text : {"New", "Delete", "Edit Palette"}) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    for (const char* text : {"Cancel", "OK"}) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    auto* top = new QVBoxLayout(this);
    top->addLayout(columns, 1);
    top->addLayout(buttons);
    resize(dialog_units(this, 480, 180).expandedTo(QSize(560, 300)));

    connect(button("New"), &QPushButton::clicked, this, &FocusBuilder::new_focus);
    connect(button("Delete"), &QPushButton::clicked, this, &FocusBuilder::delete_focus);
    connect(button("Edit Palette"), &QPushButton::clicked, this, [this] { palette_editor_run(this); });
    connect(button("Cancel"), &QPushButton::clicked, this, &QDialog::reject);
    connect(button("OK"), &QPushButton::clicked, this, &FocusBuilder::accept);

    connect(dictionary_, &QListWidget::currentRowChanged, this, &FocusBuilder::select_focus);
    connect(dictionary_, &QListWidget::itemChanged, this, &FocusBuilder::focus_renamed);
    connect(dictionary_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        QAction* del = menu.addAction(QStringLiteral("Delete"));
        QAction* add = menu.addAction(QStringLiteral("New"));
        QAction* ren = menu.addAction(QStringLiteral("Rename"));
        QAction* chosen = menu.exec(dictionary_->viewport()->mapToGlobal(at));
        if (chosen == del) delete_focus();
        else if (chosen == add) new_focus();
        else if (chosen == ren) rename_focus();
    });
    connect(editor_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        QAction* colour = menu.addAction(QStringLiteral("Choose colour"));
        QAction* del = menu.addAction(QStringLiteral("Delete"));
        const QPoint global = editor_->viewport()->mapToGlobal(at);
        QAction* chosen = menu.exec(global);
        if (chosen == colour) choose_colour(global);
        else if (chosen == del) delete_entry();
    });
    connect(editor_, &QListWidget::itemDoubleClicked, this, [this] { choose_colour(QCursor::pos()); });

    {
        QSignalBlocker block(dictionary_);
        for (const Focus& f : model_->focuses()) {
            auto* item = new QListWidgetItem(ui_text(f.name), dictionary_);
            item->setFlags(item->flags() | Qt::ItemIsEditable);
        }
        if (model_->current() >= 0) dictionary_->setCurrentRow(model_->current());
    }
    dictionary_->setFocus();
    fit_dictionary();
    show_entries();
}

FocusBuilder::~FocusBuilder() = default;

QPushButton* FocusBuilder::button(const QString& text) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

void FocusBuilder::select_focus(int row) {
    model_->select(row);
    show_entries();
}

void FocusBuilder::show_entries() {
    editor_->clear();
    const Focus* f = model_->current_focus();
    if (!f) return;
    for (const FocusItem& e : f->entries) {
        auto* item = new QListWidgetItem(ui_text(focus_entry_label(e).c_str()), editor_);
        item->setData(Qt::UserRole, e.colour);
    }
    if (editor_->count() > 0) editor_->setCurrentRow(0);
}

void FocusBuilder::new_focus() {
    model_->add_focus();
    QSignalBlocker block(dictionary_);
    auto* item = new QListWidgetItem(QString::fromLatin1(kNewFocusName), dictionary_);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    fit_dictionary();
}

void FocusBuilder::delete_focus() {
    const int row = model_->current();
    if (row < 0) return;
    model_->delete_current();
    {
        QSignalBlocker block(dictionary_);
        delete dictionary_->takeItem(row);
        dictionary_->setCurrentRow(-1);
        dictionary_->clearSelection();
    }
    show_entries();
}

void FocusBuilder::rename_focus() {
    if (QListWidgetItem* item = dictionary_->currentItem()) dictionary_->editItem(item);
}

void FocusBuilder::focus_renamed(QListWidgetItem* item) {
    const int row = dictionary_->row(item);
    const std::string kept = model_->rename(row, ui_engine_text(item->text()));
    QSignalBlocker block(dictionary_);
    item->setText(ui_text(kept.c_str()));
    fit_dictionary();
}

void FocusBuilder::fit_dictionary() {
    int widest = kDictionaryMinWidth;
    const QFontMetrics fm(dictionary_->font());
    for (int i = 0; i < dictionary_->count(); ++i)
        widest = std::max(widest, fm.horizontalAdvance(dictionary_->item(i)->text()) + 4 * fm.averageCharWidth());
    dictionary_->setMinimumWidth(widest);
    dictionary_->setMaximumWidth(widest);
}

bool FocusBuilder::add_protocol(const ProtocolNode* protocol) {
    if (!model_->add_entry(protocol)) return false;
    const Focus* f = model_->current_focus();
    const FocusItem& e = f->entries.back();
    auto* item = new QListWidgetItem(ui_text(focus_entry_label(e).c_str()), editor_);
    item->setData(Qt::UserRole, e.colour);
    return true;
}

void FocusBuilder::delete_entry() {
    const int row = editor_->currentRow();
    if (!model_->delete_entry(row)) return;
    delete editor_->takeItem(row);
}

void FocusBuilder::choose_colour(const QPoint& global) {
    const int row = editor_->currentRow();
    if (row < 0 || !model_->current_focus()) return;
    ColourPicker picker(this);
    picker.move(global);
    picker.exec();
    if (picker.picked() >= 0 && model_->set_colour(row, picker.picked()))
        editor_->item(row)->setData(Qt::UserRole, picker.picked());
}

void FocusBuilder::accept() {
    const std::string name = model_->commit();
    if (!name.empty()) {
        char(&focus)[kSettingText] = settings().focus;
        std::memset(focus, 0, sizeof focus);
        std::memcpy(focus, name.data(), std::min(name.size(), sizeof focus - 1));
    }
    Q_EMIT focus_signals()->focusChanged();
    QDialog::accept();
}

void focus_builder_run(QWidget* owner) {
    FocusBuilder dialog(owner);
    dialog.exec();
}

// --- the colour picker ---

ColourPicker::ColourPicker(QWidget* parent) : QDialog(parent, Qt::Popup) {
    setObjectName("Colour picker");
    setFixedSize(70, 130);
}

void ColourPicker::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    for (int i = 0; i < kPickerColours; ++i) {
        const BoxRect b = picker_box_rect(i);
        p.fillRect(QRect(b.x, b.y, b.width, b.height), KeyView::row_colour(i));
    }
}

void ColourPicker::mousePressEvent(QMouseEvent* e) {
    const QPoint at = e->position().toPoint();
    const int i = picker_box_at(at.x(), at.y());
    if (i < 0) return;
    picked_ = i;
    accept();
}
