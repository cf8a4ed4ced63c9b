#include "shell/startup_steps.h"

#include "base/file.h"

StartupSteps& startup_steps() {
    static StartupSteps s{};
    return s;
}

bool shell_font_file_present(const char* path) { return file_opens(path, "r+b"); }
