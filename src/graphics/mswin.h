// The "mswin" output device: draws into a QImage owned by the caller (the network
// window's off-screen image). Colours come from the library's 256-entry colour map.
// Rows are flipped: a device y (upward) becomes image row height - 1 - y, with height
// the device height given to resizedevice().
#pragma once

#include <cstdint>

class QImage;

// Attaches the image the device draws into (null detaches). The caller keeps ownership
// and must keep the image alive while it is attached; hold the GraphicsLock when other
// threads may draw. Without an image every drawing operation does nothing, which suits
// measuring text. The image may be larger than the device size (the network window's
// image has the full-screen size); clear() fills only the device-size area.
void mswin_set_image(QImage* image);

// Ends the painter the device keeps open on the image, so that the image can be read or
// copied. GraphicsLock does this on release; call it directly when drawing without the
// lock (single-threaded tools and tests).
void mswin_flush();

// Colour-map entry as 0xRRGGBB; 0 for an index outside 0..255.
uint32_t mswin_colour(int index);

// --- recorded groups -----------------------------------------------------------------
// What a group of drawing operations put into the image, as runs of pixels: each run a
// row, a first column, a length and a colour. A colour is a colour-map index, or the
// fill outline's black. Kept by the library's group cache (graphics.h, group_begin).
struct MswinRun {
    int32_t row;
    int32_t x;
    int32_t length;
    int32_t colour;  // colour-map index, or kMswinOutline
};
inline constexpr int32_t kMswinOutline = -1;
struct MswinPattern;

// Starts noting the lines and fills drawn from now on (they are drawn as ever).
void mswin_record_begin();
// Ends the noting and makes the pattern of what was noted: the operations drawn again,
// in order and at the same places, into a scratch image of the same size and format
// with a distinct code for each colour, and read back. Null when the image is not one
// of 32 bits a pixel or nothing was drawn. Release with mswin_pattern_free.
[[nodiscard]] MswinPattern* mswin_record_end();
void mswin_pattern_free(MswinPattern* pattern);
// Writes the pattern's runs into the image, colours from the current colour map; false
// when the image is no longer one it fits.
bool mswin_pattern_draw(const MswinPattern* pattern);
// Runs of a pattern, for tests.
[[nodiscard]] int mswin_pattern_runs(const MswinPattern* pattern);
