// Call sites of the other subsystems' start-up and shutdown steps.
//
// PENDING: each function marked PENDING does nothing until its module is part of the
// program; replace its body with the module's call when the module lands. Nothing else
// in the shell needs to change: the order of the calls is fixed in shell.cpp and
// main_window.cpp.
#include "shell/startup_steps.h"

#include <cstdio>

namespace {

// PENDING (names): hostc_init().
void hostc_init_step() {}

// PENDING (alarms): alarm_init().
void alarm_init_step() {}

// PENDING (protocol): pdl_parse(path); pd_set_root(tree); return whether the tree has a
// root. Until then frames are not classified and start-up goes on.
bool load_protocols_step(const char* path) {
    (void)path;
    return true;
}

// PENDING (alarms): adl_parse(path); alarm_arm_all().
void load_alarms_step(const char* path) { (void)path; }

// PENDING (names): ethers_read(ethers); manf_read(manufacturers).
void read_names_step(const char* ethers, const char* manufacturers) {
    (void)ethers;
    (void)manufacturers;
}

// PENDING (graphics): setdevice("mswin"); opendevice(); ortho2(-1.3, 1.3, -1.3, 1.3).
void start_graphics_step() {}

// PENDING (graphics): hfontdir("."); if (!shell_font_file_present("font.bin")) return
// false; hloadfont("font.bin"); return true. Until the stroke fonts exist no font file
// is asked for.
bool load_font_step() { return true; }

// PENDING (graphics): htextsize(0.06 * font_size, 0.06 * font_size).
void text_size_step(double font_size) { (void)font_size; }

// PENDING (focus): cfocus_read(cfdump); current focus := find_focus(focus_name).
void read_focus_step(const char* cfdump, const char* focus_name) {
    (void)cfdump;
    (void)focus_name;
}

// PENDING (focus): build_logical_palette().
void build_palette_step() {}

// PENDING (names): start the thread running hostc_resolve.
void start_resolver_step() {}

// PENDING (alarms): start the thread running alarm_thread.
void start_alarm_thread_step() {}

// PENDING (names, alarms): stop and join the resolver and alarm threads.
void stop_workers_step() {}

// PENDING (focus): cfocus_dump(cfdump).
void focus_dump_step(const char* cfdump) { (void)cfdump; }

// PENDING (focus): free the logical palette.
void free_palette_step() {}

// PENDING (alarms): alarm_dump(alarms).
void alarm_dump_step(const char* alarms) { (void)alarms; }

}  // namespace

StartupSteps startup_steps_default() {
    StartupSteps s{};
    s.hostc_init = hostc_init_step;
    s.alarm_init = alarm_init_step;
    s.load_protocols = load_protocols_step;
    s.load_alarms = load_alarms_step;
    s.read_names = read_names_step;
    s.start_graphics = start_graphics_step;
    s.load_font = load_font_step;
    s.text_size = text_size_step;
    s.read_focus = read_focus_step;
    s.build_palette = build_palette_step;
    s.start_resolver = start_resolver_step;
    s.start_alarm_thread = start_alarm_thread_step;
    // PENDING (panels, alarms, map): statistics notice, alarm pass and map drawing. The
    // window side installs the statistics notice (main.cpp).
    s.capture_hooks = CaptureHooks{};
    s.stop_workers = stop_workers_step;
    s.focus_dump = focus_dump_step;
    s.free_palette = free_palette_step;
    s.alarm_dump = alarm_dump_step;
    return s;
}

StartupSteps& startup_steps() {
    static StartupSteps s = startup_steps_default();
    return s;
}

bool shell_font_file_present(const char* path) {
    std::FILE* f = path ? std::fopen(path, "r+b") : nullptr;
    if (!f) return false;
    std::fclose(f);
    return true;
}
