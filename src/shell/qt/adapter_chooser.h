// The "Network Adapters" dialog (File > Choose Adapter): the capture adapters, capture
// files named on the command line first, one row each ("Adapter", "Description"); "Use"
// returns the selected row, "Cancel" the index it was given.
//
// Threads: window thread.
#pragma once

#include <QDialog>

#include "model/capture/capture.h"

class QPushButton;
class QTreeWidget;

class AdapterChooser : public QDialog {
    Q_OBJECT
public:
    // `count` adapters of `adapters`; the row at `current` is selected (a current index
    // beyond the rows selects the first).
    AdapterChooser(hscap::Adapter* const* adapters, int count, unsigned current, QWidget* parent = nullptr);

    // The index to return: the row chosen by "Use", else the one given.
    [[nodiscard]] unsigned index() const { return index_; }
    // "Use": with no row selected nothing happens and the dialog stays open.
    void use();

    QTreeWidget* table = nullptr;
    QPushButton* use_button = nullptr;
    QPushButton* cancel_button = nullptr;

private:
    unsigned index_;
};

// Runs the dialog, modal, over `owner`; the chosen index, or `current` when cancelled.
[[nodiscard]] unsigned choose_adapter_run(QWidget* owner, hscap::Adapter* const* adapters, int count, unsigned current);
// The command hook: the shell's adapter list.
[[nodiscard]] unsigned choose_adapter_command(QWidget* owner, unsigned current);
