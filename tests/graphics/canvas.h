// A fresh drawing library on an off-screen image, for raster tests.
#pragma once

#include <QImage>
#include <QRect>
#include <cstdint>

#include "graphics/graphics.h"
#include "graphics/mswin.h"

namespace testsupport {

class Canvas {
public:
    // An image of image_w x image_h pixels, the device set to device_w x device_h (the
    // device may be smaller than the image, as in the program) and the world square
    // -1..1 on both axes.
    Canvas(int image_w, int image_h, int device_w, int device_h) : image_(image_w, image_h, QImage::Format_RGB32) {
        image_.fill(0);
        setdevice("mswin");
        mswin_set_image(&image_);
        opendevice();
        resizedevice(device_w, device_h);
        ortho2(-1, 1, -1, 1);
    }
    explicit Canvas(int size = 100) : Canvas(size, size, size, size) {}
    ~Canvas() { mswin_set_image(nullptr); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Colour of one pixel as 0xRRGGBB (image rows, y downward).
    uint32_t at(int x, int y) {
        mswin_flush();
        return image_.pixel(x, y) & 0xffffffu;
    }

    // Pixels that are not black inside a rectangle (the whole image by default).
    int lit(QRect area = QRect()) {
        mswin_flush();
        if (area.isNull()) area = image_.rect();
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (image_.pixel(x, y) & 0xffffffu) ++n;
        return n;
    }

    QImage& image() { return image_; }

private:
    QImage image_;
};

}  // namespace testsupport
