// Fuzz target for the stroke font file parser: any bytes as font.bin, then every
// character code measured and walked the way the drawing code walks it.
#include <cstddef>
#include <cstdint>

#include "graphics/fontfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FontData font;
    if (fontfile_parse(data, size, &font) != FontFileStatus::ok) return 0;
    volatile long sink = 0;
    long sum = 0;
    for (int code = 0; code < 256; ++code) {
        const GlyphView glyph = fontfile_glyph(font, char(code));
        sum += glyph.width();
        fontfile_walk(font, glyph, [&](int x, int y, bool pen_down) { sum += x * 3 + y + pen_down; });
    }
    sink = sum;
    (void)sink;
    return 0;
}
