#include "shell/startup_steps.h"

#include <cstdio>

StartupSteps& startup_steps() {
    static StartupSteps s{};
    return s;
}

bool shell_font_file_present(const char* path) {
    std::FILE* f = path ? std::fopen(path, "r+b") : nullptr;
    if (!f) return false;
    std::fclose(f);
    return true;
}
