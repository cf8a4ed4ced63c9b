#include "graphics/hershey.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "graphics/fontfile.h"
#include "graphics/graphics.h"
#include "base/file.h"
#include "base/memory.h"
#include "base/path.h"

namespace {

constexpr const char* kDefaultFontDir = "c:\\lib\\hershey\\";

struct FontState {
    std::string dir;
    bool dir_set = false;
    std::string name;   // font last loaded
    bool loaded = false;
    FontData font;
    std::atomic<float> x_scale{1.0f}, y_scale{1.0f};
    float cos_angle = 1.0f, sin_angle = 0.0f;
    int justify = 0;      // 0 = left, the only mode the program uses
    int fixed_width = 0;
};

// Never destroyed, so that a thread still measuring text at process exit is safe.
FontState& fs() {
    static FontState* s = [] {
        return new_or_die<FontState>();
    }();
    return *s;
}

[[noreturn]] void fail(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    std::exit(1);
}

void check(const char* routine) {
    if (!fs().loaded) fail(std::string(routine) + ": no hershey font loaded.\n");
}

bool has_separator(const std::string& dir) { return !dir.empty() && (dir.back() == '\\' || dir.back() == '/'); }

std::string with_separator(std::string dir) {
    if (!dir.empty() && !has_separator(dir)) dir += '\\';
    return dir;
}

int advance_units(const FontState& s, const GlyphView& g) { return s.fixed_width ? s.font.max_width : g.width(); }

// Walks the strokes of one character as relative steps (dx, dy, pen_down) from the
// current position, the last step leading to the next character's origin.
template <class Step>
void char_steps(const FontState& s, char code, Step&& step) {
    const GlyphView g = fontfile_glyph(s.font, code);
    const float xs = s.x_scale.load(std::memory_order_relaxed), ys = s.y_scale.load(std::memory_order_relaxed);
    const float c = s.cos_angle, sn = s.sin_angle;
    float px = 0, py = 0;
    fontfile_walk(s.font, g, [&](int ux, int uy, bool pen_down) {
        const float x = float(ux) * xs, y = float(uy) * ys;
        const float X = c * x - sn * y, Y = sn * x + c * y;
        step(X - px, Y - py, pen_down);
        px = X;
        py = Y;
    });
    const float w = float(advance_units(s, g)) * xs;
    step(c * w - px, sn * w - py, false);
}

}  // namespace

void hfontdir(const char* dir) {
    FontState& s = fs();
    s.dir = with_separator(dir ? dir : "");
    s.dir_set = dir != nullptr;
}

void hloadfont(const char* name) {
    FontState& s = fs();
    if (!name) name = "";
    const char* key = name;
    if (name[0] == '/') key = std::strrchr(name, '/') + 1;
    if (s.loaded && s.name == key) return;

    std::string dir = s.dir;
    if (!s.dir_set) {
        const char* env = std::getenv("HFONTLIB");
        if (!env) env = std::getenv("VFONTLIB");
        dir = with_separator(env ? env : kDefaultFontDir);
    }
    // Nothing beyond kFontFileMax bytes can belong to a valid file: the rest is not read.
    FileReadLimits limits;
    limits.max_size = kFontFileMax;
    limits.keep_prefix = true;
    std::string path = dir + name;
    std::string bytes;
    FileRead read = file_read_all(native_path(path), &bytes, limits);
    if (read == FileRead::cannot_open) {
        path = name;
        read = file_read_all(native_path(path), &bytes, limits);
    }
    if (read == FileRead::cannot_open)
        fail("hershlib: Can't open Hershey fontfile '" + native_path(dir + name) + "' or './" + name + "'.\n");
    path = native_path(path);
    if (read == FileRead::read_error) fail("hershlib: problem reading font file '" + path + "'.\n");

    FontData font;
    size_t failed_bytes = 0;
    const FontFileStatus status =
        fontfile_parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &font, &failed_bytes);
    switch (status) {
        case FontFileStatus::ok: break;
        case FontFileStatus::short_read: fail("hershlib: problem reading font file '" + path + "'.\n");
        case FontFileStatus::no_memory:
            fail("hallocate: request for " + std::to_string(failed_bytes) + " bytes returned NULL\n");
        default:
            fail("hershlib: font file '" + path + "' is not a font: " + fontfile_status_text(status) + ".\n");
    }
    s.font = std::move(font);
    s.loaded = true;
    s.name = key;
    group_cache_clear();  // labels drawn in the old font
}

void htextsize(float width, float height) {
    check("htextsize");
    FontState& s = fs();
    const int height_units = int(s.font.ascender) - int(s.font.descender);
    const float size = std::fabs(float(std::max(height_units, int(s.font.max_width))));
    s.x_scale.store(width / size, std::memory_order_relaxed);
    s.y_scale.store(height / size, std::memory_order_relaxed);
}

void hgetcharsize(char code, float* width, float* height) {
    check("hgetcharsize");
    const FontState& s = fs();
    const GlyphView g = fontfile_glyph(s.font, code);
    *width = float(advance_units(s, g)) * s.x_scale.load(std::memory_order_relaxed);
    *height = float(int(s.font.ascender) - int(s.font.descender)) * s.y_scale.load(std::memory_order_relaxed);
}

void hcharstr(const char* text) {
    check("hcharstr");
    FontState& s = fs();
    const int mode = s.justify;
    s.justify = 0;
    rmv(0, 0, 0);
    for (const char* p = text ? text : ""; *p; ++p)
        char_steps(s, *p, [](float dx, float dy, bool pen_down) {
            if (pen_down) rdr(dx, dy, 0);
            else rmv(dx, dy, 0);
        });
    s.justify = mode;
}

float htextwidth(const char* text) {
    const FontState& s = fs();
    if (!s.loaded || !text) return 0;
    const float xs = s.x_scale.load(std::memory_order_relaxed);
    float width = 0;
    for (const char* p = text; *p; ++p) width += float(advance_units(s, fontfile_glyph(s.font, *p))) * xs;
    return width;
}

std::string hcharstr_dump(const char* text) {
    check("hcharstr_dump");
    const FontState& s = fs();
    std::string out;
    float x = 0, y = 0;
    char line[96];
    for (const char* p = text ? text : ""; *p; ++p) {
        const GlyphView g = fontfile_glyph(s.font, *p);
        const double width = double(float(advance_units(s, g)) * s.x_scale.load(std::memory_order_relaxed));
        const unsigned char code = static_cast<unsigned char>(*p);
        if (code >= 32 && code < 127) std::snprintf(line, sizeof line, "char '%c' width %g\n", code, width);
        else std::snprintf(line, sizeof line, "char \\x%02x width %g\n", code, width);
        out += line;
        char_steps(s, *p, [&](float dx, float dy, bool pen_down) {
            x += dx;
            y += dy;
            std::snprintf(line, sizeof line, "  %s %g %g\n", pen_down ? "draw" : "move", double(x), double(y));
            out += line;
        });
    }
    return out;
}
