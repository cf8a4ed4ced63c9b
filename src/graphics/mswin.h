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
