#include "replay/map.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "base/datadir.h"
#include "base/file.h"
#include "display/cfocus.h"
#include "display/display.h"
#include "display/netview.h"
#include "graphics/graphics.h"
#include "graphics/hershey.h"
#include "model/net.h"
#include "protocol/symbol.h"
#include "ui/qtext.h"

namespace {

std::unique_ptr<NetView> g_view;

// "NAME:COLOUR,..." into the entries of `focus`.
bool parse_focus(const std::string& spec, Focus* focus) {
    size_t at = 0;
    while (at < spec.size()) {
        size_t end = spec.find(',', at);
        if (end == std::string::npos) end = spec.size();
        const std::string item = spec.substr(at, end - at);
        at = end + 1;
        const size_t colon = item.rfind(':');
        char* rest = nullptr;
        const long colour = colon == std::string::npos ? -1 : std::strtol(item.c_str() + colon + 1, &rest, 10);
        if (colon == std::string::npos || colon == 0 || !rest || *rest || rest == item.c_str() + colon + 1 ||
            colour < 0 || colour > 31) {
            std::fprintf(stderr, "hopscope-replay: --focus wants NAME:COLOUR items (colour 0..31), not '%s'\n",
                         item.c_str());
            return false;
        }
        const std::string name = item.substr(0, colon);
        const Symbol* symbol = symbol_lookup(name.c_str());
        if (!symbol) {
            std::fprintf(stderr, "hopscope-replay: --focus: no protocol named %s in the protocol file\n", name.c_str());
            return false;
        }
        focus->entries.push_back(FocusItem{symbol->node, name, int(colour)});
    }
    return true;
}

}  // namespace

bool replay_map_available() { return true; }

bool replay_map_open(const ReplayMapOptions& o) {
    std::string font = o.font;
    if (font.empty()) font = data_find("font.bin");
    if (font.empty()) {
        std::fprintf(stderr, "hopscope-replay: no stroke font font.bin in %s (name one with --font)\n",
                     data_dirs_text().c_str());
        return false;
    }
    if (!file_opens(font.c_str(), "rb")) {
        std::fprintf(stderr, "hopscope-replay: cannot read the stroke font %s\n", font.c_str());
        return false;
    }
    Focus command_line_focus;
    std::snprintf(command_line_focus.name, sizeof command_line_focus.name, "--focus");
    if (!o.focus.empty() && !parse_focus(o.focus, &command_line_focus)) return false;
    if (!o.cfdump.empty()) {
        // Checked as the focus file's reader reads it, so that a device or a FIFO is
        // refused here, with the reason, and never waited on.
        std::string bytes;
        if (const FileRead read = file_read_all(o.cfdump, &bytes, kDataFileLimits); read != FileRead::ok) {
            std::fprintf(stderr, "hopscope-replay: cannot read the focus file %s: it %s\n", o.cfdump.c_str(),
                         file_read_problem(read, kDataFileLimits).c_str());
            return false;
        }
    }
    const std::string::size_type slash = font.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : font.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? font : font.substr(slash + 1);

    MapSettings& s = map_settings();
    s.dynamic.store(o.cumulative ? 0 : 1);
    s.bytes.store(o.packets ? 0 : 1);
    s.show_name.store(o.addresses ? 0 : 1);
    s.show_manufacturers.store(o.manufacturers ? 1 : 0);
    model_settings().font_scale.store(o.font_size);

    // The program's start-up order: device, world square, font, text size.
    setdevice("mswin");
    opendevice();
    ortho2(-1.3, 1.3, -1.3, 1.3);
    hfontdir(dir.c_str());
    hloadfont(name.c_str());
    const float cell = 0.06f * static_cast<float>(o.font_size);
    htextsize(cell, cell);
    model_set_text_width(htextwidth);
    // The palette (its defaults until a focus file is read) is the map's link colours.
    palette_set_colour_map(mapcolor);
    if (!o.cfdump.empty()) {
        (void)cfocus_read(o.cfdump.c_str());
        if (o.focus.empty()) {
            const std::string name = o.focus_name.empty() ? "Ethernet" : o.focus_name;
            const Focus* chosen = find_focus(name.c_str());
            if (!chosen) {
                std::fprintf(stderr, "hopscope-replay: %s holds no focus named \"%s\"; it holds:", o.cfdump.c_str(),
                             name.c_str());
                for (const Focus& f : focus_dictionary()) std::fprintf(stderr, " \"%s\"", f.name);
                std::fputc('\n', stderr);
                return false;
            }
            cfocus_set_current(chosen);
        }
    }
    if (!o.focus.empty()) cfocus_set_current(&command_line_focus);
    g_view = std::make_unique<NetView>(o.width, o.height);
    g_view->resize(o.width, o.height);
    return true;
}

bool replay_map_write(Network* network, const std::string& path) {
    if (!g_view) return false;
    {
        ModelWriteLock model;
        GraphicsLock drawing;
        render_map(network);
    }
    bool saved = false;
    const int w = g_view->width(), h = g_view->height();
    g_view->paint([&](const QImage& image) { saved = image.copy(0, 0, w, h).save(ui_text(path), "PNG"); });
    if (!saved) std::fprintf(stderr, "hopscope-replay: cannot write %s\n", path.c_str());
    return saved;
}
