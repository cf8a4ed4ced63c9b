// The "mswin" device over a QImage.
#include "graphics/mswin.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QScreen>
#include <algorithm>
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
    // A group being recorded: its operations in order (mswin_record_begin).
    bool recording = false;
    struct Op {
        bool fill;
        int32_t colour;  // colour-map index
        int width;       // lines: the pen width given to the painter
        size_t first, count;  // lines in lines, or points in points
    };
    std::vector<Op> ops;
    std::vector<QLine> lines;
    std::vector<QPoint> points;
    QImage* scratch = nullptr;
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
    if (m.recording) {
        if (m.ops.empty() || m.ops.back().fill || m.ops.back().colour != d.colour || m.ops.back().width != width)
            m.ops.push_back({false, d.colour, width, m.lines.size(), 0});
        m.lines.push_back(m.pending.back());
        ++m.ops.back().count;
    }
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
    Mswin& m = mw();
    m.pen_valid = false;
    if (m.recording) {
        m.ops.push_back({true, device_record().colour, 0, m.points.size(), size_t(n)});
        for (int i = 0; i < n; ++i) m.points.push_back(polygon.point(i));
    }
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

struct MswinPattern {
    std::vector<MswinRun> runs;
    int width = 0, height = 0;
    QImage::Format format = QImage::Format_Invalid;
};

namespace {

bool fits_pattern(const QImage* image) {
    return image && !image->isNull() &&
           (image->format() == QImage::Format_RGB32 || image->format() == QImage::Format_ARGB32 ||
            image->format() == QImage::Format_ARGB32_Premultiplied);
}

// The scratch code of a colour: 1 + its place among the group's colours (0 is nothing
// drawn). Opaque, so that the painter writes it as it is.
QColor code_colour(int code) { return QColor::fromRgb(QRgb(0xff000000u | uint32_t(code))); }

}  // namespace

void mswin_record_begin() {
    Mswin& m = mw();
    m.recording = true;
    m.ops.clear();
    m.lines.clear();
    m.points.clear();
}

MswinPattern* mswin_record_end() {
    Mswin& m = mw();
    m.recording = false;
    if (!fits_pattern(m.image) || m.ops.empty()) return nullptr;
    const QImage& image = *m.image;
    if (!m.scratch || m.scratch->size() != image.size() || m.scratch->format() != image.format()) {
        delete m.scratch;
        m.scratch = new QImage(image.size(), image.format());
    }
    // The group's colours, each with its code; the fill outline's black is one of them.
    std::vector<int32_t> colours;
    auto code_of = [&](int32_t colour) {
        for (size_t i = 0; i < colours.size(); ++i)
            if (colours[i] == colour) return int(i) + 1;
        colours.push_back(colour);
        return int(colours.size());
    };
    // Where the operations may have drawn: their points, widened by the widest pen.
    int left = image.width(), right = -1, top = image.height(), bottom = -1, margin = 2;
    auto cover = [&](const QPoint& p) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    };
    for (const Mswin::Op& op : m.ops) {
        margin = std::max(margin, op.width / 2 + 2);
        if (op.fill) {
            for (size_t i = 0; i < op.count; ++i) cover(m.points[op.first + i]);
        } else {
            for (size_t i = 0; i < op.count; ++i) {
                cover(m.lines[op.first + i].p1());
                cover(m.lines[op.first + i].p2());
            }
        }
    }
    const QRect area = QRect(QPoint(left - margin, top - margin), QPoint(right + margin, bottom + margin)) & image.rect();
    auto* pattern = new MswinPattern;
    pattern->width = image.width();
    pattern->height = image.height();
    pattern->format = image.format();
    if (area.isEmpty()) return pattern;
    {
        QPainter p(m.scratch);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(area, QColor::fromRgb(0xff000000u));
        for (const Mswin::Op& op : m.ops) {
            if (op.fill) {
                const int outline = code_of(kMswinOutline), inside = code_of(op.colour);
                p.setPen(QPen(code_colour(outline), 0));
                p.setBrush(code_colour(inside));
                p.drawPolygon(m.points.data() + op.first, int(op.count), Qt::WindingFill);
                p.setBrush(Qt::NoBrush);
            } else {
                p.setPen(QPen(code_colour(code_of(op.colour)), op.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.drawLines(m.lines.data() + op.first, int(op.count));
            }
        }
    }
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* line = reinterpret_cast<const uint32_t*>(m.scratch->constScanLine(y));
        for (int x = area.left(); x <= area.right();) {
            const uint32_t code = line[x] & 0xffffffu;
            int end = x + 1;
            while (end <= area.right() && (line[end] & 0xffffffu) == code) ++end;
            if (code) pattern->runs.push_back({y, x, end - x, colours[code - 1]});
            x = end;
        }
    }
    return pattern;
}

void mswin_pattern_free(MswinPattern* pattern) { delete pattern; }

int mswin_pattern_runs(const MswinPattern* pattern) { return pattern ? int(pattern->runs.size()) : 0; }

bool mswin_pattern_draw(const MswinPattern* pattern) {
    Mswin& m = mw();
    QImage* image = m.image;
    if (!pattern || !fits_pattern(image) || image->width() != pattern->width || image->height() != pattern->height ||
        image->format() != pattern->format)
        return false;
    // What the painter still holds comes first.
    if (m.painter.isActive()) draw_pending();
    uchar* bits = image->bits();
    const qsizetype stride = image->bytesPerLine();
    for (const MswinRun& r : pattern->runs) {
        const uint32_t rgb = r.colour == kMswinOutline ? 0u : (r.colour >= 0 && r.colour < kColourMapSize ? m.colours[r.colour] : 0u);
        auto* at = reinterpret_cast<uint32_t*>(bits + stride * r.row) + r.x;
        std::fill(at, at + r.length, 0xff000000u | rgb);
    }
    return true;
}

uint32_t mswin_colour(int index) { return index >= 0 && index < kColourMapSize ? mw().colours[index] : 0; }
