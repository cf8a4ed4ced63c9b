// The shared 33-colour palette of the map's links, its binding to the drawing
// library's colour map, the logical palette of the windows that show palette colours,
// and the palette block of the custom focus file.
//
// Palette index k (0..32) is colour-map entry k + 8 of the drawing library, so the
// map's link colours are entries 8..40; index 32 is the colour of "Other" (links that
// no focus entry colours). Before a focus file is read the palette holds the default
// colours (palette_default_colour), so that links are visible without one.
//
// Threads: the palette and the logical palette belong to the window thread. The colour
// map belongs to the drawing library; the function installed with
// palette_set_colour_map() is called on the thread that changes a colour, so it takes
// the drawing lock itself (the program's does).
//
// No Qt: the headless tools, the shell's engine side and the fuzz target use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/bytes.h"

inline constexpr int kPaletteColours = 33;    // palette indices 0..32
inline constexpr int kPaletteOther = 32;      // colour of "Other"
inline constexpr int kPaletteMapOffset = 8;   // palette index k is colour-map entry k + 8
inline constexpr int kLogicalPaletteSize = 256;
inline constexpr int kLogicalWhite = 33;      // logical-palette entry of white
inline constexpr int kLogicalBlack = 34;      // logical-palette entry of black

struct PaletteColour {
    uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const PaletteColour&, const PaletteColour&) = default;
};

struct Palette {
    PaletteColour colours[kPaletteColours];
};

// --- the shared palette --------------------------------------------------------------

// The palette the map's links are drawn with.
[[nodiscard]] const Palette& palette();

// Sets palette entry `index` (0..32; others are ignored), colour-map entry index + 8
// through the installed colour-map function, and the logical palette's entry when the
// logical palette exists.
void palette_set_colour(int index, PaletteColour colour);

// The colour palette index `index` has before any file is read: 32 distinct colours
// and a mid grey for "Other". Black outside 0..32.
[[nodiscard]] PaletteColour palette_default_colour(int index);

// Puts the default colours back into every entry (and the colour map).
void palette_reset();

// Sets one colour-map entry: the drawing library's mapcolor(entry, r, g, b), or a
// function that takes the drawing lock around it. Components 0..255.
using ColourMapFn = void (*)(int entry, int red, int green, int blue);
// Installs the function that binds palette colours to the colour map (null: none, the
// default) and binds all 33 current colours through it at once. Install it once the
// drawing library is open.
void palette_set_colour_map(ColourMapFn fn);

// --- the logical palette --------------------------------------------------------------

// 256 entries as 0xRRGGBB: entries 0..32 the palette colours, 33 white, 34 black,
// 35..255 black. Windows that show palette colours name them by logical-palette index.
struct LogicalPalette {
    uint32_t entries[kLogicalPaletteSize];
};

// Creates the logical palette from the palette, replacing the previous one.
void build_logical_palette();
// The logical palette, or null before build_logical_palette() and after
// free_logical_palette().
[[nodiscard]] const LogicalPalette* logical_palette();
// Releases the logical palette (when the main window is destroyed).
void free_logical_palette();

// --- the palette block of the focus file ------------------------------------------------

// Reads the palette block: the count n, then n colours of 4 bytes (red, green, blue,
// 0), colour i (1-based) into palette->colours[i - 1]. Returns the number of colours
// read (0..33; fewer than n when the data ends early), or -1 when the data ends before
// the count or the count is not 0..33; for a count of 34 or more (a negative count
// read as unsigned is one) it prints "palette_read: Header greater than 33\n" on the
// standard output stream and reads no colour.
[[nodiscard]] int palette_read(ByteCursor& in, Palette* palette);

// Appends the palette block: count 33 and the 33 colours.
void palette_write(std::string* out, const Palette& palette);
