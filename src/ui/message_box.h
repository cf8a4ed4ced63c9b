// Message boxes for the engine's messages (base/message.h): a box without an owner
// window, shown on the window thread. A message from another thread is queued to the
// window thread and shown there; the sender never waits for it.
#pragma once

// Installs the message-box sink. Call once the application object exists.
void ui_message_box_install();
