// The open-window list: every host watch, host list and top-N window opened so far, in
// opening order. A window adds itself when it opens; one that no longer exists is
// dropped the next time the list is walked. Window thread only.
#pragma once

#include <QWidget>

// Empties the list (start-up).
void popup_list_create();
// Adds an open window at the end of the list.
void popup_add(QWidget* window);
// Walks the list in order: drops windows that no longer exist and sends every live one
// the adapter-changed message (5024). Returns the number of windows it was sent to.
int popup_notify_adapter_changed();
// The live windows, in order (without changing the list).
QList<QWidget*> popup_windows();
