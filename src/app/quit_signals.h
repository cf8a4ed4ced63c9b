// SIGTERM, SIGINT and SIGHUP (a logout, a closed terminal, Ctrl+C, kill) end the
// program the way a quit does: the main window closes, so the focus file, the alarm
// file and the settings are written in their order. The handler only writes the
// signal's number into a pipe; the window thread reads it through a socket notifier
// and does the work, so nothing but write(2) ever runs in the handler.
#pragma once

class QWidget;

// Makes the pipe and installs the handlers. Call early, before start-up: a signal that
// comes during start-up waits in the pipe until the window watches it.
void quit_signals_install();

// From now on a signal closes `window` (once it is back in the message loop).
void quit_signals_watch(QWidget* window);
