#include "shell/gui_steps.h"

#include "display/display.h"
#include "graphics/graphics.h"
#include "graphics/hershey.h"
#include "model/net.h"
#include "shell/main_window.h"
#include "shell/startup_steps.h"

namespace {

constexpr char kFontFile[] = "font.bin";

void start_graphics() {
    setdevice("mswin");
    opendevice();
    ortho2(-1.3, 1.3, -1.3, 1.3);
}

// The stroke font comes from the working directory; a font file that cannot be opened
// for reading and writing ends start-up.
bool load_font() {
    hfontdir(".");
    if (!shell_font_file_present(kFontFile)) return false;
    hloadfont(kFontFile);
    model_set_text_width(htextwidth);
    return true;
}

void text_size(double font_size) {
    const auto size = static_cast<float>(0.06 * font_size);
    htextsize(size, size);
}

void build_palette() {
    // PENDING (focus): build_logical_palette() replaces the map's default colours.
    display_default_colours();
}

}  // namespace

void shell_gui_steps_install() {
    StartupSteps& s = startup_steps();
    s.start_graphics = start_graphics;
    s.load_font = load_font;
    s.text_size = text_size;
    s.build_palette = build_palette;
    s.capture_hooks.statistics_notice = shell_statistics_notice;
    s.capture_hooks.draw = display_draw;
}
