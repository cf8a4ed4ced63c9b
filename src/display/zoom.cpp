#include "display/zoom.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

constexpr double kWorld = 2.6;
constexpr double kHalf = 1.3;

bool empty(const PixelRect& r) { return r.x0 == r.x1 || r.y0 == r.y1; }

int trunc_int(double v) {
    if (!(v > -2e9 && v < 2e9)) return v > 0 ? 2000000000 : (v < 0 ? -2000000000 : 0);  // NaN: 0
    return static_cast<int>(std::trunc(v));
}

}  // namespace

PixelRect zoom_mark_box(double x, double y, double r, int width, int height) {
    const int cx = trunc_int((x + kHalf) / kWorld * width);
    const int cy = height - trunc_int((y + kHalf) / kWorld * height);
    const int d = std::max(trunc_int(r / kHalf * width), 2);
    const int half = d / 2;
    return PixelRect{cx - half, cy - half, cx + half, cy + half};
}

void ZoomControl::resize(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
}

void ZoomControl::set_aspect(int percent) {
    dragging_ = moving_ = captured_ = false;
    shown_ = false;
    aspect_ = percent;
}

bool ZoomControl::to_percent(const PixelRect& r, ZoomPercent* out) const {
    if (width_ <= 0 || height_ <= 0) return false;
    *out = ZoomPercent{r.x0 * 100 / width_, r.y0 * 100 / height_, r.x1 * 100 / width_, r.y1 * 100 / height_};
    return true;
}

bool ZoomControl::left_down(int x, int y) {
    captured_ = true;
    dragging_ = true;
    rect_ = PixelRect{x, y, x, y};
    return false;
}

void ZoomControl::fit_aspect() {
    if (aspect_ <= 100) {
        rect_.x1 = rect_.x0 + static_cast<int>(static_cast<long long>(rect_.y1 - rect_.y0) * aspect_ / 100);
    } else {
        rect_.y1 = rect_.y0 + static_cast<int>(static_cast<long long>(rect_.x1 - rect_.x0) * 100 / aspect_);
    }
}

bool ZoomControl::left_up(int x, int y, ZoomPercent* post) {
    if (!dragging_) return false;
    captured_ = false;
    dragging_ = false;
    rect_.x1 = x;
    rect_.y1 = y;
    if (std::abs(rect_.x0 - x) < kZoomClickSlop) {
        if (shown_ || empty(previous_)) {
            // Back to the whole map.
            shown_ = false;
            *post = ZoomPercent{0, 0, 100, 100};
            return width_ > 0 && height_ > 0;
        }
        // A second click brings the last rectangle back.
        rect_ = previous_;
        shown_ = true;
        return to_percent(rect_, post);
    }
    if (rect_.x0 > rect_.x1) std::swap(rect_.x0, rect_.x1);
    if (rect_.y0 > rect_.y1) std::swap(rect_.y0, rect_.y1);
    fit_aspect();
    previous_ = rect_;
    shown_ = true;
    return to_percent(rect_, post);
}

bool ZoomControl::right_down(int x, int y) {
    if (!shown_) return false;
    captured_ = true;
    if (x >= rect_.x0 && x <= rect_.x1 && y >= rect_.y0 && y <= rect_.y1) {
        moving_ = true;
        last_x_ = x;
        last_y_ = y;
    }
    return false;
}

void ZoomControl::hold_inside() {
    // Pushed back from the left, right, top and bottom edges in that order; the size
    // stays.
    if (rect_.x0 < 0) {
        rect_.x1 -= rect_.x0;
        rect_.x0 = 0;
    }
    if (rect_.x1 > width_) {
        rect_.x0 -= rect_.x1 - width_;
        rect_.x1 = width_;
    }
    if (rect_.y0 < 0) {
        rect_.y1 -= rect_.y0;
        rect_.y0 = 0;
    }
    if (rect_.y1 > height_) {
        rect_.y0 -= rect_.y1 - height_;
        rect_.y1 = height_;
    }
}

bool ZoomControl::mouse_move(int x, int y, ZoomPercent* post) {
    if (dragging_) {
        rect_.x1 = x;
        rect_.y1 = y;
        return false;
    }
    if (!moving_) return false;
    const int dx = x - last_x_, dy = y - last_y_;
    last_x_ = x;
    last_y_ = y;
    rect_.x0 += dx;
    rect_.x1 += dx;
    rect_.y0 += dy;
    rect_.y1 += dy;
    hold_inside();
    return to_percent(rect_, post);
}

bool ZoomControl::right_up(int, int, ZoomPercent* post) {
    if (!shown_) return false;
    captured_ = false;
    moving_ = false;
    return to_percent(rect_, post);
}
