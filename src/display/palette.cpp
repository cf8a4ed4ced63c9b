#include "display/palette.h"

#include <atomic>
#include <cstdio>
#include <memory>

namespace {

// 32 colours for palette indices 0..31 and a mid grey for "Other" (32), as 0xRRGGBB.
constexpr uint32_t kDefaultColours[kPaletteColours] = {
    0xff4040, 0x40ff40, 0x4080ff, 0xffff40, 0xff40ff, 0x40ffff, 0xff8000, 0x80ff00,
    0x00ff80, 0x0080ff, 0x8000ff, 0xff0080, 0xffb0b0, 0xb0ffb0, 0xb0b0ff, 0xffd080,
    0xc08040, 0x80c040, 0x40c080, 0x4080c0, 0x8040c0, 0xc04080, 0xc0c0ff, 0xffc0ff,
    0xc00000, 0x00c000, 0x0000c0, 0xc0c000, 0xc000c0, 0x00c0c0, 0xffffa0, 0xa0ffff,
    0x808080,
};

PaletteColour from_rgb(uint32_t rgb) {
    return PaletteColour{uint8_t(rgb >> 16 & 0xff), uint8_t(rgb >> 8 & 0xff), uint8_t(rgb & 0xff)};
}

uint32_t to_rgb(PaletteColour c) { return uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue; }

Palette make_default() {
    Palette p;
    for (int k = 0; k < kPaletteColours; ++k) p.colours[k] = from_rgb(kDefaultColours[k]);
    return p;
}

struct PaletteState {
    Palette palette = make_default();
    std::atomic<ColourMapFn> colour_map{nullptr};
    std::unique_ptr<LogicalPalette> logical;
};
PaletteState g_palette;

void bind(int index) {
    if (ColourMapFn fn = g_palette.colour_map.load(std::memory_order_acquire)) {
        const PaletteColour c = g_palette.palette.colours[index];
        fn(index + kPaletteMapOffset, c.red, c.green, c.blue);
    }
}

}  // namespace

const Palette& palette() { return g_palette.palette; }

void palette_set_colour(int index, PaletteColour colour) {
    if (index < 0 || index >= kPaletteColours) return;
    g_palette.palette.colours[index] = colour;
    bind(index);
    if (g_palette.logical) g_palette.logical->entries[index] = to_rgb(colour);
}

PaletteColour palette_default_colour(int index) {
    return index >= 0 && index < kPaletteColours ? from_rgb(kDefaultColours[index]) : PaletteColour{};
}

void palette_reset() {
    for (int k = 0; k < kPaletteColours; ++k) palette_set_colour(k, palette_default_colour(k));
}

void palette_set_colour_map(ColourMapFn fn) {
    g_palette.colour_map.store(fn, std::memory_order_release);
    for (int k = 0; k < kPaletteColours; ++k) bind(k);
}

void build_logical_palette() {
    auto logical = std::make_unique<LogicalPalette>();
    for (int i = 0; i < kLogicalPaletteSize; ++i) logical->entries[i] = 0;  // black
    for (int k = 0; k < kPaletteColours; ++k) logical->entries[k] = to_rgb(g_palette.palette.colours[k]);
    logical->entries[kLogicalWhite] = 0xffffff;
    logical->entries[kLogicalBlack] = 0;
    g_palette.logical = std::move(logical);
}

const LogicalPalette* logical_palette() { return g_palette.logical.get(); }

void free_logical_palette() { g_palette.logical.reset(); }

int palette_read(ByteCursor& in, Palette* palette) {
    int32_t n = 0;
    if (!in.read_le32(&n)) return -1;
    // A negative count is as far out of the format as a large one.
    if (static_cast<uint32_t>(n) > static_cast<uint32_t>(kPaletteColours)) {
        std::printf("palette_read: Header greater than %d\n", kPaletteColours);
        std::fflush(stdout);
        return -1;
    }
    int loaded = 0;
    for (; loaded < n; ++loaded) {
        int32_t value = 0;
        if (!in.read_le32(&value)) break;
        const auto v = static_cast<uint32_t>(value);
        palette->colours[loaded] = PaletteColour{uint8_t(v & 0xff), uint8_t(v >> 8 & 0xff), uint8_t(v >> 16 & 0xff)};
    }
    return loaded;
}

void palette_write(std::string* out, const Palette& palette) {
    bytes_put_le32(out, kPaletteColours);
    for (const PaletteColour& c : palette.colours) bytes_put_le32(out, int32_t(uint32_t(c.red) | uint32_t(c.green) << 8 | uint32_t(c.blue) << 16));
}
