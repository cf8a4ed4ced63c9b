// The stroke font file font.bin, read from memory. No drawing here: this is the part of
// the stroke fonts that takes untrusted bytes, kept free of Qt so the fuzz target can
// build it alone.
//
// Layout (all integers 16-bit little-endian, signed):
//   n, total (stroke bytes / 2), ascender, descender, maximum width,
//   then n times: length, then length bytes of one character's stroke record.
// Character i has code 32 + i. A stroke record is byte pairs read relative to 'R' (82):
// first the left and right extents, then points (x, y with y downward) or a pen-up
// marker, a pair whose first byte is a space.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

inline constexpr int kFontFirstCode = 32;
inline constexpr uint8_t kFontOrigin = 'R';
inline constexpr uint8_t kFontPenUp = ' ';

// Largest file that can be valid: a 10-byte header, 32767 length fields and a stroke
// buffer of 32767 * 2 bytes. Readers never need more than this.
inline constexpr size_t kFontFileMax = 10 + 32767 * 2 + 32767 * 2;

struct FontData {
    int16_t count = 0;      // n, at least 1 once loaded
    int16_t total = 0;      // stroke buffer size / 2
    int16_t ascender = 0;
    int16_t descender = 0;
    int16_t max_width = 0;
    std::unique_ptr<uint8_t[]> strokes;     // total * 2 bytes
    std::unique_ptr<int32_t[]> starts;      // count + 1 offsets into strokes
};

enum class FontFileStatus {
    ok,
    short_read,   // a field or record runs past the end of the data
    bad_count,    // n below 1
    bad_total,    // negative stroke total
    bad_record,   // a record shorter than its extents pair, or negative length
    overflow,     // the records hold more bytes than the stated total
    bad_metrics,  // ascender - descender and maximum width both 0: no text size
    no_memory,
};

// Plain-language reason for a status, for messages.
const char* fontfile_status_text(FontFileStatus status);

// Parses a whole font file held in memory. On ok, *font holds the font; otherwise *font
// is left empty. Reads never go past data + size. When no_memory is returned,
// *failed_bytes holds the size of the request that failed (if the pointer is given).
[[nodiscard]] FontFileStatus fontfile_parse(const uint8_t* data, size_t size, FontData* font,
                                            size_t* failed_bytes = nullptr);

// Index of the record used for a character code: code - 32, below 0 becomes 0, n or
// more becomes n - 1. Codes are taken as signed bytes, so 128..255 give index 0.
int fontfile_index(const FontData& font, char code);

// One character's stroke record: pointer and length (at least 2 for a loaded font).
struct GlyphView {
    const uint8_t* bytes = nullptr;
    int length = 0;
    int width() const { return length >= 2 ? int(bytes[1]) - int(bytes[0]) : 0; }
};
GlyphView fontfile_glyph(const FontData& font, char code);

// Calls visit(x, y, pen_down) for each point of the glyph after the extents pair, in
// font units with x measured from the left extent and y upward from the descender line.
// pen_down is false for the first point of each stroke. A trailing odd byte is ignored.
template <class Visit>
void fontfile_walk(const FontData& font, const GlyphView& glyph, Visit&& visit) {
    if (glyph.length < 2) return;
    const int left = glyph.bytes[0];
    bool pen_down = false;
    for (int i = 2; i + 1 < glyph.length; i += 2) {
        if (glyph.bytes[i] == kFontPenUp) {
            pen_down = false;
            continue;
        }
        const int x = int(glyph.bytes[i]) - left;
        const int y = int(kFontOrigin) - int(glyph.bytes[i + 1]) - font.descender;
        visit(x, y, pen_down);
        pen_down = true;
    }
}
