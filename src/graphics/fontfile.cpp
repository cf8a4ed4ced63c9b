#include "graphics/fontfile.h"

#include <new>

#include "base/bytes.h"

namespace {

template <class T>
std::unique_ptr<T[]> allocate(size_t count, size_t* failed_bytes) {
    std::unique_ptr<T[]> p(new (std::nothrow) T[count]);
    if (!p && failed_bytes) *failed_bytes = count * sizeof(T);
    return p;
}

}  // namespace

const char* fontfile_status_text(FontFileStatus status) {
    switch (status) {
        case FontFileStatus::ok: return "ok";
        case FontFileStatus::short_read: return "the file ends too early";
        case FontFileStatus::bad_count: return "it holds no characters";
        case FontFileStatus::bad_total: return "its stroke total is negative";
        case FontFileStatus::bad_record: return "a character record has a bad length";
        case FontFileStatus::overflow: return "the characters hold more strokes than its stroke total";
        case FontFileStatus::bad_metrics: return "its character height and width are both zero";
        case FontFileStatus::no_memory: return "out of memory";
    }
    return "unknown";
}

FontFileStatus fontfile_parse(const uint8_t* data, size_t size, FontData* font, size_t* failed_bytes) {
    *font = FontData{};
    ByteCursor in(data, size);
    FontData f;
    if (!in.read_le16(&f.count) || !in.read_le16(&f.total) || !in.read_le16(&f.ascender) || !in.read_le16(&f.descender) ||
        !in.read_le16(&f.max_width))
        return FontFileStatus::short_read;
    if (f.count < 1) return FontFileStatus::bad_count;
    if (f.total < 0) return FontFileStatus::bad_total;
    const int height = int(f.ascender) - int(f.descender);
    if (height == 0 && f.max_width == 0) return FontFileStatus::bad_metrics;

    const size_t buffer_size = size_t(f.total) * 2;
    f.starts = allocate<int32_t>(size_t(f.count) + 1, failed_bytes);
    if (!f.starts) return FontFileStatus::no_memory;
    // At least one byte so that an empty buffer still has a valid pointer.
    f.strokes = allocate<uint8_t>(buffer_size ? buffer_size : 1, failed_bytes);
    if (!f.strokes) return FontFileStatus::no_memory;

    size_t used = 0;
    for (int i = 0; i < f.count; ++i) {
        int16_t length = 0;
        if (!in.read_le16(&length)) return FontFileStatus::short_read;
        if (length < 2) return FontFileStatus::bad_record;
        if (size_t(length) > buffer_size - used) return FontFileStatus::overflow;
        if (!in.read_bytes(f.strokes.get() + used, size_t(length))) return FontFileStatus::short_read;
        f.starts[i] = int32_t(used);
        used += size_t(length);
    }
    f.starts[f.count] = int32_t(used);
    *font = std::move(f);
    return FontFileStatus::ok;
}

int fontfile_index(const FontData& font, char code) {
    int index = int(static_cast<signed char>(code)) - kFontFirstCode;
    if (index < 0) index = 0;
    if (index >= font.count) index = font.count - 1;
    return index;
}

GlyphView fontfile_glyph(const FontData& font, char code) {
    if (font.count < 1 || !font.starts) return {};
    const int i = fontfile_index(font, code);
    return {font.strokes.get() + font.starts[i], int(font.starts[i + 1] - font.starts[i])};
}
