#include "shell/startup_steps.h"

#include <sys/stat.h>

#include "base/file.h"

StartupSteps& startup_steps() {
    static StartupSteps s{};
    return s;
}

bool shell_font_file_present(const char* path) {
    struct stat st {};
    return path && ::stat(path, &st) == 0 && S_ISREG(st.st_mode) && file_opens(path, "rb");
}
