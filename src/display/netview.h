// The network window's state, apart from the widget: the off-screen image the map is
// rendered into, the view's half-extents, suspension, and the zoom and font changes
// waiting for the next paint. The widget (netwindow.h) forwards its resize, paint and
// messages here, so that all of this runs and is tested without widgets.
//
// Threads: resize(), paint() and the post functions run on the window thread; the
// capture-and-draw thread renders into image() through display_draw(). Both sides take
// the drawing lock (GraphicsLock) around every use of the image and the drawing
// library; paint() takes the model lock first when it has labels to measure.
#pragma once

#include <QImage>
#include <functional>
#include <mutex>

// A rectangle in percent (0..100) of the Zoom Box overview, y downward.
struct ZoomRect {
    int x0 = 0, y0 = 0, x1 = 100, y1 = 100;
};

// The world rectangle (left, right, bottom, top) a zoom rectangle shows; false for a
// rectangle without width or height, which would have no view. Corners given in either
// order are put in order.
struct ViewRect {
    double left = 0, right = 0, bottom = 0, top = 0;
};
[[nodiscard]] bool zoom_view(const ZoomRect& zoom, ViewRect* view);

class NetView {
public:
    // Creates the off-screen image (the full screen's size, so that resizing never
    // reallocates it) and attaches it to the drawing device. The library must be open
    // (opendevice) and only one NetView exist at a time.
    NetView(int image_width, int image_height);
    // Detaches the image; a render pass that follows draws nothing.
    ~NetView();
    NetView(const NetView&) = delete;
    NetView& operator=(const NetView&) = delete;

    // Size change of the window. With both dimensions non-zero: drawing resumes, the
    // device takes the size, the view becomes the whole world square widened along the
    // longer side, and the result is the view's aspect in percent, trunc(X / Y * 100),
    // for the Zoom Box. With a zero dimension (minimised): drawing is suspended and the
    // result is -1. A window larger than the image gets a larger image.
    int resize(int width, int height);

    // The zoom message: the rectangle is stored and applied at the next paint. A
    // rectangle without width or height is ignored.
    void post_zoom(const ZoomRect& zoom);
    // The font-change message: label sizes are measured again at the next paint.
    void post_font_change();
    [[nodiscard]] bool zoom_pending() const;
    [[nodiscard]] bool font_change_pending() const;

    // Paint: with the drawing lock held, hands `copy` the image (the window copies its
    // top-left area of the client's size), then runs a pending label-size pass over
    // every network and applies a pending zoom. Both show from the next frame on.
    void paint(const std::function<void(const QImage& image)>& copy);

    // Half-extents X and Y of the whole-map view at the current size.
    [[nodiscard]] float half_width() const { return half_x_; }
    [[nodiscard]] float half_height() const { return half_y_; }
    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }

    // The image; hold GraphicsLock while reading it when a render pass may run.
    [[nodiscard]] const QImage& image() const { return image_; }

private:
    QImage image_;
    int width_ = 0, height_ = 0;
    float half_x_ = 1.3f, half_y_ = 1.3f;
    mutable std::mutex pending_mutex_;  // the posted zoom and font change
    bool zoom_pending_ = false;
    ZoomRect zoom_;
    bool font_pending_ = false;
};
