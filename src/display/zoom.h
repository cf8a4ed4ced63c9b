// The Zoom Box: an overview of the whole world square (-1.3..1.3 on both axes) on
// which the user drags the rectangle of the map to show. This is its state machine and
// arithmetic, without Qt: the widget (qt/zoom_box.h) forwards its mouse events and
// paints what the state says; the overview image is zoom_overview.h.
//
// Rectangles are in pixels of the overview, y downward; what the network window is sent
// (message 1026) is the rectangle in percent of the overview's client size.
//
// Threads: window thread only.
#pragma once


inline constexpr int kZoomClickSlop = 4;  // less horizontal movement than this is a click

struct PixelRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A rectangle in percent (0..100) of the overview, y downward: what message 1026 carries.
struct ZoomPercent {
    int x0 = 0, y0 = 0, x1 = 100, y1 = 100;
    friend bool operator==(const ZoomPercent&, const ZoomPercent&) = default;
};

// Where mark_node draws a node of centre (x, y) and radius r (world units) on an
// overview `width` x `height` pixels: the box of the filled ellipse.
[[nodiscard]] PixelRect zoom_mark_box(double x, double y, double r, int width, int height);

class ZoomControl {
public:
    // The overview's client size; a new size keeps the rectangles.
    void resize(int width, int height);
    // The map's aspect in percent (message 1025): stops dragging and moving, hides the
    // zoom and keeps the aspect for the next fit.
    void set_aspect(int percent);

    // Mouse events. Each returns true when a rectangle is to be posted to the network
    // window; *post then holds it, in percent of the client size.
    bool left_down(int x, int y);
    bool left_up(int x, int y, ZoomPercent* post);
    bool right_down(int x, int y);
    bool right_up(int x, int y, ZoomPercent* post);
    bool mouse_move(int x, int y, ZoomPercent* post);

    // The rectangle being dragged, or the one shown.
    [[nodiscard]] const PixelRect& rect() const { return rect_; }
    [[nodiscard]] const PixelRect& previous() const { return previous_; }
    [[nodiscard]] bool shown() const { return shown_; }
    [[nodiscard]] bool dragging() const { return dragging_; }
    [[nodiscard]] bool moving() const { return moving_; }
    [[nodiscard]] bool captured() const { return captured_; }
    [[nodiscard]] int aspect() const { return aspect_; }

    // Pixels to percent of the client size (integer division); false while the client
    // has no area.
    [[nodiscard]] bool to_percent(const PixelRect& r, ZoomPercent* out) const;

private:
    void fit_aspect();
    void hold_inside();

    int width_ = 0, height_ = 0;
    int aspect_ = 100;
    PixelRect rect_, previous_;
    bool shown_ = false, dragging_ = false, moving_ = false, captured_ = false;
    int last_x_ = 0, last_y_ = 0;
};
