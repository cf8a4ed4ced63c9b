// The program's start-up and shutdown steps that need no window: the name service and
// its resolver thread, the protocol tree, the name files, the custom focus and the
// logical palette, and the alarm engine's. The shell's start-up calls them
// through its step table (shell/startup_steps.h) in its fixed order.
#pragma once

#include "shell/startup_steps.h"

// The table with these steps; the window-system steps are left empty (app/program.h
// fills them). Tests install it to run start-up headless.
[[nodiscard]] StartupSteps app_startup_steps();
