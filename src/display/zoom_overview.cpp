#include "display/zoom_overview.h"

#include <QPainter>

#include <atomic>
#include <cstring>

#include "base/memory.h"
#include "display/display.h"
#include "display/zoom.h"
#include "graphics/graphics.h"

namespace {

// Guarded by the drawing lock.
struct Overview {
    QImage image;
    std::atomic<unsigned long> marks{0};
};
Overview& overview() {
    static Overview* o = new Overview;  // never destroyed: the capture thread may outlive statics
    return *o;
}

void mark_node(double x, double y, double r) { zoom_overview_mark(x, y, r); }

}  // namespace

void zoom_overview_resize(int width, int height) {
    QImage image;
    if (width > 0 && height > 0) {
        image = QImage(width, height, QImage::Format_RGB32);
        if (image.isNull()) fatal_out_of_memory();
        image.fill(Qt::black);
    }
    GraphicsLock lock;
    overview().image.swap(image);
}

void zoom_overview_mark(double x, double y, double r) {
    Overview& o = overview();
    if (o.image.isNull()) return;
    const PixelRect box = zoom_mark_box(x, y, r, o.image.width(), o.image.height());
    QPainter painter(&o.image);
    painter.setPen(Qt::white);
    painter.setBrush(Qt::white);
    // The box's right and bottom edges are outside the ellipse, as the platform's
    // ellipse leaves them.
    painter.drawEllipse(QRect(box.x0, box.y0, box.x1 - box.x0 - 1, box.y1 - box.y0 - 1));
    o.marks.fetch_add(1, std::memory_order_relaxed);
}

void zoom_overview_take(QImage* display) {
    Overview& o = overview();
    GraphicsLock lock;
    if (o.image.isNull()) return;
    if (display->size() != o.image.size() || display->format() != o.image.format()) {
        *display = o.image.copy();
        if (display->isNull()) fatal_out_of_memory();
    } else {
        std::memcpy(display->bits(), o.image.constBits(), static_cast<size_t>(o.image.sizeInBytes()));
    }
    o.image.fill(Qt::black);
}

void zoom_overview_install(bool on) { display_set_mark_node(on ? mark_node : nullptr); }

unsigned long zoom_overview_marks() { return overview().marks.load(std::memory_order_relaxed); }
