#include "app/program.h"

#include "alarm/alarm.h"
#include "alarm/qt/actions.h"
#include "alarm/qt/alarm_builder.h"
#include "app/pass.h"
#include "base/datadir.h"
#include "display/palette.h"
#include "display/qt/focus_builder.h"
#include "shell/qt/adapter_chooser.h"
#include "shell/qt/help_window.h"
#include "shell/qt/main_window.h"
#include "graphics/graphics.h"
#include "graphics/hershey.h"
#include "lists/qt/list_window.h"
#include "model/net.h"
#include "reports/qt/report_viewer.h"
#include "reports/reports.h"
#include "shell/startup_steps.h"

#include <string>

namespace {

constexpr char kFontFile[] = "font.bin";

// Sets one colour-map entry for the palette. The capture thread draws with the colour
// map, so a change (the Palette Editor's) takes the drawing lock. Once the library is
// closed there is no colour map to set.
void map_palette_colour(int entry, int red, int green, int blue) {
    GraphicsLock lock;
    if (graphics_state().initialised) mapcolor(entry, red, green, blue);
}

// The drawing library on the "mswin" device; the palette's colours (the defaults until
// the focus file is read) are bound to its colour map from now on.
void start_graphics() {
    setdevice("mswin");
    opendevice();
    ortho2(-1.3, 1.3, -1.3, 1.3);
    palette_set_colour_map(map_palette_colour);
}

// The stroke font is the shipped one (base/datadir.h: the configured directory, the
// installed one, the working directory); one that cannot be found or read ends
// start-up. It is opened for reading only.
bool load_font() {
    const std::string dir = data_dir_of(kFontFile);
    if (dir.empty() || !shell_font_file_present((dir + "/" + kFontFile).c_str())) return false;
    hfontdir(dir.c_str());
    hloadfont(kFontFile);
    model_set_text_width(htextwidth);
    return true;
}

// The Reports menu: 173 host, 175 statistics, 174 alarm report.
void start_report_command(QWidget*, int command) {
    switch (command) {
        case kCmdHostReport: (void)start_report(kHostReport); break;
        case kCmdStatsReport: (void)start_report(kStatsReport); break;
        case kCmdAlarmsReport: (void)start_report(kAlarmReport); break;
        default: break;
    }
}

void text_size(double font_size) {
    const auto size = static_cast<float>(0.06 * font_size);
    htextsize(size, size);
}

}  // namespace

void app_install_program_steps() {
    StartupSteps& s = startup_steps();
    s.start_graphics = start_graphics;
    s.load_font = load_font;
    s.text_size = text_size;
    s.capture_hooks = app_capture_hooks();
    // The alarm thread beeps, shows its lines and plays its sounds through the windows.
    alarm_set_actions(alarm_qt_actions());
    // The windows that other subsystems add plug into the main window's command hooks
    // (shell/qt/main_window.h: command_hooks()) here, as they land:
    command_hooks().choose_adapter = choose_adapter_command;
    command_hooks().help_topics = help_topics_run;
    command_hooks().focus_builder = focus_builder_run;
    command_hooks().alarm_builder = alarm_builder_run;
    command_hooks().host_list = [](QWidget*) { wnet_open(); };
    command_hooks().top_hosts = [](QWidget*) { host_popup_open(); };
    command_hooks().top_links = [](QWidget*) { link_popup_open(); };
    command_hooks().top_alarms = [](QWidget*) { alarm_popup_open(); };
    command_hooks().start_report = start_report_command;
    // The Zoom Box (display/qt) marks the nodes it draws through display_set_mark_node
    // (display/zoom_overview.h) while it exists.
}
