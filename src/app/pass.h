// What a capture pass calls out to, in the program. The pass itself is the engine's
// (model/netif.h: capture_pass); this is the one place that says what else happens in it.
#pragma once

#include "model/netif.h"

// The capture pass's hooks for the program with its windows.
[[nodiscard]] CaptureHooks app_capture_hooks();
