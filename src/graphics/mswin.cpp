// The "mswin" device over a QImage.
#include "graphics/mswin.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QScreen>
#include <vector>

#include "graphics/device.h"
#include "base/memory.h"

namespace {

constexpr int kColourMapSize = 256;

struct Mswin {
    QImage* image = nullptr;
    QPainter painter;
    uint32_t colours[kColourMapSize] = {};
    // The pen last given to the painter, so that runs of lines of one colour and width
    // do not build a pen each.
    bool pen_valid = false;
    uint32_t pen_rgb = 0;
    int pen_width = 0;
    // Lines drawn with that pen and not yet handed to the painter: runs of lines (stroke
    // text above all) go to the painter in one call.
    std::vector<QLine> pending;
};

constexpr size_t kPendingMax = 4096;

// Never destroyed, like the library state.
Mswin& mw() {
    static Mswin* m = [] {
        return new_or_die<Mswin>();
    }();
    return *m;
}

QPainter* painter() {
    Mswin& m = mw();
    if (!m.image || m.image->isNull()) return nullptr;
    if (!m.painter.isActive()) {
        if (!m.painter.begin(m.image)) return nullptr;
        m.painter.setRenderHint(QPainter::Antialiasing, false);
        m.pen_valid = false;
    }
    return &m.painter;
}

void draw_pending() {
    Mswin& m = mw();
    if (m.pending.empty()) return;
    m.painter.drawLines(m.pending.data(), int(m.pending.size()));
    m.pending.clear();
}

uint32_t current_rgb() {
    const int i = device_record().colour;
    return i >= 0 && i < kColourMapSize ? mw().colours[i] : 0;
}

QColor to_qcolor(uint32_t rgb) { return QColor::fromRgb(QRgb(0xff000000u | rgb)); }

// Device y grows upward; image rows grow downward from the top of the device area.
int row(int y) { return device_record().height - 1 - y; }

int mswin_clear() {
    if (QPainter* p = painter()) {
        draw_pending();
        const DeviceRecord& d = device_record();
        p->fillRect(QRect(0, 0, d.width, d.height), to_qcolor(current_rgb()));
    }
    return 1;
}

int mswin_color(int index) {
    device_record().colour = index;
    return 1;
}

int mswin_draw(int x, int y) {
    QPainter* p = painter();
    if (!p) return 1;
    Mswin& m = mw();
    const DeviceRecord& d = device_record();
    const uint32_t rgb = current_rgb();
    // Widths 0 and 1 are the one-pixel cosmetic pen.
    const int width = d.line_width > 1 ? d.line_width : 0;
    if (!m.pen_valid || m.pen_rgb != rgb || m.pen_width != width) {
        draw_pending();
        p->setPen(QPen(to_qcolor(rgb), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        m.pen_valid = true;
        m.pen_rgb = rgb;
        m.pen_width = width;
    }
    m.pending.emplace_back(d.x, row(d.y), x, row(y));
    if (m.pending.size() >= kPendingMax) draw_pending();
    return 1;
}

int mswin_exit() {
    mswin_flush();
    return -1;
}

int mswin_fill(int n, const int* x, const int* y) {
    QPainter* p = painter();
    if (!p) return 1;
    draw_pending();
    QPolygon polygon(n);
    for (int i = 0; i < n; ++i) polygon.setPoint(i, x[i], row(y[i]));
    // The outline is the image's default one-pixel black pen.
    p->setPen(QPen(Qt::black, 0));
    p->setBrush(to_qcolor(current_rgb()));
    p->drawPolygon(polygon, Qt::WindingFill);
    p->setBrush(Qt::NoBrush);
    mw().pen_valid = false;
    return 1;
}

int mswin_font(const char*) { return 1; }

int mswin_init() {
    DeviceRecord& d = device_record();
    Mswin& m = mw();
    d.depth = 24;
    if (m.image && !m.image->isNull()) d.depth = m.image->depth();
    else if (qGuiApp && QGuiApplication::primaryScreen()) d.depth = QGuiApplication::primaryScreen()->depth();
    d.width = 500;
    d.height = 500;
    static const uint32_t kFirstColours[8] = {0x000000, 0xff0000, 0x00ff00, 0xffff00,
                                              0x0000ff, 0xff00ff, 0x00ffff, 0xffffff};
    for (int i = 0; i < 8; ++i) m.colours[i] = kFirstColours[i];
    return 1;
}

int clamp_component(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

int mswin_mapcolor(int index, int r, int g, int b) {
    if (index < 0 || index >= kColourMapSize) return -1;
    mw().colours[index] = uint32_t(clamp_component(r)) << 16 | uint32_t(clamp_component(g)) << 8 |
                          uint32_t(clamp_component(b));
    return 1;
}

int mswin_setls(int) { return 1; }
int mswin_setlw(int) { return 1; }

}  // namespace

const DeviceOps kMswinDevice = {
    "mswin",       "large",     "small",      mswin_clear, mswin_color, mswin_draw,  mswin_exit,
    mswin_fill,    mswin_font,  mswin_init,   mswin_mapcolor, mswin_setls, mswin_setlw,
};

void mswin_set_image(QImage* image) {
    mswin_flush();
    mw().image = image;
}

void mswin_flush() {
    Mswin& m = mw();
    if (m.painter.isActive()) {
        draw_pending();
        m.painter.end();
    }
    m.pending.clear();
    m.pen_valid = false;
}

uint32_t mswin_colour(int index) { return index >= 0 && index < kColourMapSize ? mw().colours[index] : 0; }
