#include "shell/qt/adapter_chooser.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "shell/shell.h"
#include "ui/dialog_units.h"
#include "ui/qtext.h"

namespace {

constexpr int kAdapterColumnWidth = 100;
constexpr int kDescriptionColumnWidth = 300;

}  // namespace

AdapterChooser::AdapterChooser(hscap::Adapter* const* adapters, int count, unsigned current, QWidget* parent)
    : QDialog(parent), index_(current) {
    setWindowTitle("Network Adapters");
    setObjectName("NetworkAdapters");
    table = new QTreeWidget(this);
    table->setRootIsDecorated(false);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setHeaderLabels({"Adapter", "Description"});
    table->setColumnWidth(0, kAdapterColumnWidth);
    table->setColumnWidth(1, kDescriptionColumnWidth);
    for (int i = 0; adapters && i < count && adapters[i]; ++i)
        new QTreeWidgetItem(table, {ui_text(adapters[i]->name), ui_text(adapters[i]->description)});
    use_button = new QPushButton("Use", this);
    use_button->setDefault(true);
    cancel_button = new QPushButton("Cancel", this);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(use_button);
    buttons->addStretch(1);
    buttons->addWidget(cancel_button);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(table, 1);
    layout->addLayout(buttons);
    resize(dialog_units(this, 343, 53).expandedTo(QSize(600, 220)));

    // An index beyond the rows (a saved adapter that is gone) starts on the first.
    const int rows = table->topLevelItemCount();
    const int row = current < static_cast<unsigned>(rows) ? static_cast<int>(current) : 0;
    if (QTreeWidgetItem* item = table->topLevelItem(row)) {
        table->setCurrentItem(item);
        item->setSelected(true);
    }
    table->setFocus();
    connect(use_button, &QPushButton::clicked, this, &AdapterChooser::use);
    connect(cancel_button, &QPushButton::clicked, this, &QDialog::reject);
    connect(table, &QTreeWidget::itemDoubleClicked, this, &AdapterChooser::use);
}

void AdapterChooser::use() {
    const QList<QTreeWidgetItem*> selected = table->selectedItems();
    if (selected.isEmpty()) return;
    index_ = static_cast<unsigned>(table->indexOfTopLevelItem(selected.first()));
    accept();
}

unsigned choose_adapter_run(QWidget* owner, hscap::Adapter* const* adapters, int count, unsigned current) {
    AdapterChooser dialog(adapters, count, current, owner);
    return dialog.exec() == QDialog::Accepted ? dialog.index() : current;
}

unsigned choose_adapter_command(QWidget* owner, unsigned current) {
    const ShellState& st = shell_state();
    return choose_adapter_run(owner, st.adapters, st.adapter_count, current);
}
