// Call sites of the other subsystems' start-up and shutdown steps.
//
// The order of the calls is fixed in shell/shell.cpp and shell/qt/main_window.cpp.
#include "app/steps.h"

#include <thread>

#include "alarm/adl.h"
#include "alarm/alarm.h"
#include "reports/alarm_source.h"
#include "display/cfocus.h"
#include "display/palette.h"
#include "model/engine.h"
#include "model/names/hostc.h"

namespace {

// The host-name resolver thread, joined at shutdown.
struct StepsState {
    std::thread resolver;
};
StepsState g_steps;

void hostc_init_step() { engine_start_name_service(); }

// The alarm engine initialised, and named as the alarm report's source.
void alarm_init_step() {
    alarm_init();
    report_use_alarm_engine();
}

// The protocol tree the classifier walks; false when the file gives none.
bool load_protocols_step(const char* path) { return engine_load_protocols(path, true) != nullptr; }

// A file that cannot be read or does not parse whole has shown its message; the alarms
// read before a syntax error are armed.
void load_alarms_step(const char* path) {
    (void)adl_parse(path);
    alarm_arm_all();
}

// A missing file leaves its table empty, without a message.
void read_names_step(const char* ethers, const char* manufacturers) {
    (void)engine_read_names(ethers, manufacturers, false);
}

// The drawing library and the stroke fonts need Qt Gui: the program installs those
// steps (app/program.h). Without them nothing is drawn and no font file is asked for.
void start_graphics_step() {}
bool load_font_step() { return true; }
void text_size_step(double font_size) { (void)font_size; }

// The dictionary and the palette; the last focus of the dictionary with the saved name
// becomes current (none when no name matches). The colours reach the map's colour map
// when the program has bound the palette to it (app/program.h).
void read_focus_step(const char* cfdump, const char* focus_name) {
    (void)cfocus_read(cfdump);
    cfocus_set_current(find_focus(focus_name));
}

void build_palette_step() { build_logical_palette(); }

void start_resolver_step() {
    if (!g_steps.resolver.joinable()) g_steps.resolver = std::thread(hostc_resolve);
}

void start_alarm_thread_step() { alarm_thread_start(); }

// The alarm thread performs the batch it has begun, then ends.
void stop_workers_step() {
    if (g_steps.resolver.joinable()) {
        hostc_stop();
        g_steps.resolver.join();
    }
    alarm_stop();
}

// A file that cannot be written is reported by cfocus_dump on standard output; the
// shutdown goes on.
void focus_dump_step(const char* cfdump) { (void)cfocus_dump(cfdump); }

void free_palette_step() { free_logical_palette(); }

// The alarm file is rewritten only when the Alarm Builder changed the alarms, and then
// the old file is kept beside it when it holds anything the new one would not
// (alarm/adl.h: alarm_save_at_exit). A file that cannot be written is reported.
void alarm_dump_step(const char* alarms) { (void)alarm_save_at_exit(alarms); }

}  // namespace

StartupSteps app_startup_steps() {
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
    // The capture pass's hooks need the windows: the program installs them
    // (app/program.h, app/pass.h).
    s.capture_hooks = CaptureHooks{};
    s.stop_workers = stop_workers_step;
    s.focus_dump = focus_dump_step;
    s.free_palette = free_palette_step;
    s.alarm_dump = alarm_dump_step;
    return s;
}
