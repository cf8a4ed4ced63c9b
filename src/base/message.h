// The one way the engine reports to the user: a titled message with an icon. The GUI
// installs a sink that shows a message box; tests and headless tools capture or print
// the messages, so nothing in the engine ever blocks on a dialog.
#pragma once

#include <functional>
#include <string>

enum class MessageIcon { Information, Warning, Error };

// Shows (or records) one message. Thread-safe; the sink runs on the calling thread.
void message_show(const char* title, const char* text, MessageIcon icon);

using MessageSink = std::function<void(const std::string& title, const std::string& text, MessageIcon icon)>;

// Installs the sink and returns the previous one. The default sink prints
// "title: text" on standard error.
MessageSink message_set_sink(MessageSink sink);
