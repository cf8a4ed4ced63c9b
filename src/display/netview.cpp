#include "display/netview.h"

#include <algorithm>
#include <cmath>
#include <shared_mutex>
#include <utility>

#include "display/display.h"
#include "graphics/graphics.h"
#include "graphics/mswin.h"
#include "base/memory.h"
#include "model/net.h"

namespace {

constexpr double kWorldHalf = 1.3;

// Percent of the overview (0..100, y downward) to world units (-1.3..1.3, y upward).
double world_x(int percent) { return (percent - 50) / 50.0 * kWorldHalf; }
double world_y(int percent) { return (50 - percent) / 50.0 * kWorldHalf; }

QImage make_image(int width, int height) {
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    if (image.isNull()) fatal_out_of_memory();
    image.fill(0);
    return image;
}

}  // namespace

bool zoom_view(const ZoomRect& zoom, ViewRect* view) {
    if (zoom.x0 == zoom.x1 || zoom.y0 == zoom.y1) return false;
    const int x0 = std::min(zoom.x0, zoom.x1), x1 = std::max(zoom.x0, zoom.x1);
    const int y0 = std::min(zoom.y0, zoom.y1), y1 = std::max(zoom.y0, zoom.y1);
    view->left = world_x(x0);
    view->right = world_x(x1);
    view->bottom = world_y(y1);
    view->top = world_y(y0);
    return true;
}

NetView::NetView(int image_width, int image_height) : image_(make_image(image_width, image_height)) {
    GraphicsLock lock;
    mswin_set_image(&image_);
}

NetView::~NetView() {
    GraphicsLock lock;
    mswin_set_image(nullptr);
}

int NetView::resize(int width, int height) {
    if (width <= 0 || height <= 0) {
        // Minimised: nothing is drawn until the next real size.
        set_drawing_suspended(true);
        return -1;
    }
    float x, y;
    if (height > width) {
        x = 1.3f;
        y = 1.3f * float(height) / float(width);
    } else {
        y = 1.3f;
        x = 1.3f * float(width) / float(height);
    }
    {
        // Exclusive with rendering: the device size, the projection and the image are
        // the render pass's too.
        GraphicsLock lock;
        if (width > image_.width() || height > image_.height()) {
            // A window beyond the screen the image was made for (a second, larger
            // screen): grow the image rather than lose part of the map.
            QImage larger = make_image(std::max(width, image_.width()), std::max(height, image_.height()));
            mswin_set_image(&larger);
            image_.swap(larger);
            mswin_set_image(&image_);
        }
        set_drawing_suspended(false);
        resizedevice(width, height);
        ortho2(-x, x, -y, y);
    }
    width_ = width;
    height_ = height;
    half_x_ = x;
    half_y_ = y;
    return static_cast<int>(std::trunc(x / y * 100));
}

void NetView::post_zoom(const ZoomRect& zoom) {
    ViewRect unused;
    if (!zoom_view(zoom, &unused)) return;
    std::lock_guard<std::mutex> lock(pending_mutex_);
    zoom_ = zoom;
    zoom_pending_ = true;
}

void NetView::post_font_change() {
    std::lock_guard<std::mutex> lock(pending_mutex_);
    font_pending_ = true;
}

bool NetView::zoom_pending() const {
    std::lock_guard<std::mutex> lock(pending_mutex_);
    return zoom_pending_;
}

bool NetView::font_change_pending() const {
    std::lock_guard<std::mutex> lock(pending_mutex_);
    return font_pending_;
}

void NetView::paint(const std::function<void(const QImage& image)>& copy) {
    // The label-size pass writes host fields: the model lock comes before the drawing
    // lock, as on the capture-and-draw thread.
    ModelWriteLock model(std::defer_lock);
    if (font_change_pending()) model.lock();
    GraphicsLock lock;
    if (copy) copy(image_);

    bool font = false, zoom = false;
    ZoomRect rect;
    {
        std::lock_guard<std::mutex> pending(pending_mutex_);
        // Only a change seen before the model lock was taken is applied now; a later
        // one waits for the next paint.
        font = font_pending_ && model.owns_lock();
        if (font) font_pending_ = false;
        zoom = zoom_pending_;
        rect = zoom_;
        zoom_pending_ = false;
    }
    if (font) net_for_each_network(measure_labels);
    ViewRect view;
    if (zoom && zoom_view(rect, &view)) ortho2(view.left, view.right, view.bottom, view.top);
}
