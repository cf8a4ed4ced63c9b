// The start-up and shutdown steps that belong to other subsystems, as one table of call
// sites. Start-up (shell.h) and shutdown (the main window) call through this table in
// their fixed order. The table starts empty, and an empty entry does nothing (an empty
// protocol step gives no tree, an empty font step asks for no font); the program fills
// it with the real steps before start-up (app/steps.h, app/program.h). Tests replace
// entries to watch the order or to fake a module.
#pragma once

#include "model/netif.h"

struct StartupSteps {
    // Start-up, in the order the shell calls them.
    void (*hostc_init)();                                          // name service tables, queue, "Hostc mutex"
    void (*alarm_init)();                                          // alarm engine lists, queue, fired signal
    bool (*load_protocols)(const char* path);                      // protocol tree; false: no tree
    void (*load_alarms)(const char* path);                         // alarm file, then arm every alarm
    void (*read_names)(const char* ethers, const char* manufacturers);  // local names, manufacturers
    void (*start_graphics)();                                      // drawing library on the "mswin" device
    bool (*load_font)();                                           // "font.bin"; false: it cannot be opened
    void (*text_size)(double font_size);                           // stroke-font text size 0.06 x F
    void (*read_focus)(const char* cfdump, const char* focus_name);  // focus dictionary, current focus
    void (*build_palette)();                                       // logical palette
    void (*start_resolver)();                                      // host-name resolver thread
    void (*start_alarm_thread)();                                  // alarm thread
    CaptureHooks capture_hooks;                                    // what a capture pass calls out to

    // Shutdown, in the order the main window calls them.
    void (*stop_workers)();                                        // resolver and alarm threads
    void (*focus_dump)(const char* cfdump);                        // custom focus file
    void (*free_palette)();
    void (*alarm_dump)(const char* alarms);                        // alarm file
};

// The table the program uses.
StartupSteps& startup_steps();

// Calls a step when the table has one.
template <class Fn, class... Args>
void startup_call(Fn* step, Args... args) {
    if (step) step(args...);
}

// True when the stroke-font file is a regular file that opens for reading. The font is
// only ever read: a read-only font file (an installed one) is as good as any.
[[nodiscard]] bool shell_font_file_present(const char* path);
