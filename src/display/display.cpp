#include "display/display.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "display/palette.h"
#include "base/numbers.h"
#include "graphics/graphics.h"
#include "graphics/hershey.h"
#include "model/net.h"

namespace {

// The ring's angles use pi to 14 digits.
constexpr double kTwoPi = 2 * kPi;
constexpr double kRingRadius = 0.8;
constexpr float kTextCell = 0.06f;          // label character cell per unit of font scale
constexpr float kManufacturerCell = 0.025f;  // manufacturer character cell per unit of F

// The map's state, apart from its settings (map_settings()) and the repaint request.
struct DisplayState {
    std::atomic<bool> suspended{false};
    std::atomic<MarkNodeFn> mark_node{nullptr};
    std::atomic<unsigned long> draws{0};
    std::atomic<bool> pacing{true};
    // Capture thread only: when the last render ended and how long it took.
    std::chrono::steady_clock::time_point last_render_start;
    std::chrono::steady_clock::time_point last_render_end;
    double last_render_ms = 0;
    std::string layer_key;  // capture thread: the key of the layer being drawn
};
DisplayState g_display;

struct Repaint {
    std::mutex mutex;
    RepaintFn fn = nullptr;
    void* context = nullptr;
};
Repaint& repaint() {
    static Repaint* r = new Repaint;  // never destroyed: the capture thread may outlive statics
    return *r;
}

// What a label's pixels depend on besides the library's state (matrix, colour, width):
// its texts and sizes. The texts are cut at the record's text length.
struct LabelKey {
    float cell = 0, manufacturer_height = 0;
    int show_manufacturers = 0;
    char text[kHostTextLen] = {};
    char manufacturer[kHostTextLen] = {};
};

void draw_label(const NodeGeometry& g, const Host* h, const MapParams& p) {
    const LabelPlacement l = map_label_placement(g, h, p);
    const float f = static_cast<float>(p.font_scale);
    dupmatrix();
    rot(l.angle, 'z');
    translate(l.tx, l.ty, 0);
    LabelKey key;
    key.cell = kTextCell * f;
    key.show_manufacturers = p.show_manufacturers;
    std::strncpy(key.text, l.text, kHostTextLen - 1);
    if (p.show_manufacturers) {
        key.manufacturer_height = h->manufacturer_height;
        std::strncpy(key.manufacturer, h->manufacturer_text, kHostTextLen - 1);
    }
    if (!group_begin(&key, sizeof key)) {
        move(0, 0, 0);
        hcharstr(l.text);
        if (p.show_manufacturers) {
            // Smaller text, a little below, continuing from the end of the label.
            translate(0, -(h->manufacturer_height * f) / 2, 0);
            htextsize(kManufacturerCell * f, kManufacturerCell * f);
            if (h->manufacturer_text[0]) hcharstr(h->manufacturer_text);
            htextsize(kTextCell * f, kTextCell * f);
        }
        group_end();
    }
    popmatrix();
}

void draw_node(Host* h, const NodeGeometry& g, const MapParams& p) {
    const float circle[] = {static_cast<float>(g.x), static_cast<float>(g.y), static_cast<float>(g.radius)};
    if (!group_begin(circle, sizeof circle)) {
        circf(circle[0], circle[1], circle[2]);
        group_end();
    }
    if (MarkNodeFn mark = g_display.mark_node.load(std::memory_order_acquire)) mark(g.x, g.y, g.radius);
    h->display = 0;
    draw_label(g, h, p);
}

template <class T>
void append_bytes(std::string& key, const T& value) {
    key.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// What a drawn host's circle and label depend on, as layer-key bytes.
void append_node_key(std::string& key, const NodeGeometry& g, const Host* h, const MapParams& p) {
    const LabelPlacement l = map_label_placement(g, h, p);
    const double place[] = {g.x, g.y, g.radius, g.theta, l.angle, l.tx, l.ty, l.width, l.height};
    append_bytes(key, place);
    key += l.text;
    key += '\0';
    if (p.show_manufacturers) {
        append_bytes(key, h->manufacturer_height);
        key += h->manufacturer_text;
        key += '\0';
    }
}

struct LinkKey {
    int colour;
    int width;
    float ends[4];
};

LinkKey link_key(const Link* l, const MapParams& p) {
    return {map_link_colour(l->colour_index), map_link_width(link_byte_rate(l), p.link_scale, p.max_link_width),
            {static_cast<float>(l->source->map_x), static_cast<float>(l->source->map_y),
             static_cast<float>(l->destination->map_x), static_cast<float>(l->destination->map_y)}};
}

}  // namespace

MapParams map_params() {
    const MapSettings& s = map_settings();
    MapParams p;
    p.node_scale = s.node_scale.load(std::memory_order_relaxed);
    p.link_scale = s.link_scale.load(std::memory_order_relaxed);
    p.max_node_radius = s.max_node_radius.load(std::memory_order_relaxed);
    p.max_link_width = s.max_link_width.load(std::memory_order_relaxed);
    p.dynamic = s.dynamic.load(std::memory_order_relaxed) != 0;
    p.bytes = s.bytes.load(std::memory_order_relaxed) != 0;
    p.show_name = s.show_name.load(std::memory_order_relaxed) != 0;
    p.show_manufacturers = s.show_manufacturers.load(std::memory_order_relaxed) != 0;
    p.font_scale = model_settings().font_scale.load(std::memory_order_relaxed);
    return p;
}

int map_link_colour(int colour_index) { return colour_index == -1 ? kLinkOther : colour_index + kPaletteBase; }

unsigned display_default_colour(int palette_index) {
    const PaletteColour c = palette_default_colour(palette_index);
    return unsigned(c.red) << 16 | unsigned(c.green) << 8 | c.blue;
}

void display_default_colours() {
    for (int k = 0; k < kPaletteSize; ++k) {
        const PaletteColour c = palette_default_colour(k);
        mapcolor(k + kPaletteBase, c.red, c.green, c.blue);
    }
}

NodeGeometry map_node_geometry(int index, int count, const Host* host, const MapParams& p) {
    NodeGeometry g;
    g.theta = count > 0 ? kTwoPi / count * index : 0;
    g.x = kRingRadius * std::cos(g.theta);
    g.y = kRingRadius * std::sin(g.theta);
    if (!host) return g;
    if (p.bytes) {
        const double b = host->byte_rate.mean;
        g.rate_term = p.node_scale * b / 1024 * 0.01;
        g.radius = p.node_scale * b * 0.01 / 1024;
    } else {
        const double r = host->frame_rate.mean;
        g.rate_term = r * p.node_scale * 0.01;
        g.radius = r * 0.01 * p.node_scale;
    }
    g.radius = std::min(g.radius, p.max_node_radius);
    return g;
}

LabelPlacement map_label_placement(const NodeGeometry& g, const Host* h, const MapParams& p) {
    LabelPlacement l;
    if (!h) return l;
    if (p.show_name && h->name_text[0]) {
        l.text = h->name_text;
        l.width = h->name_width;
        l.height = h->name_height;
    } else {
        l.text = h->address_text;
        l.width = h->address_width;
        l.height = h->address_height;
    }
    const double height = l.height;
    const double shifted = p.show_manufacturers ? height + 0.003 : height;
    const double degrees = g.theta * 180 / kPi;
    const double rho = g.rate_term;
    l.right_half = g.x >= 0;
    if (l.right_half) {
        l.angle = degrees;
        l.tx = p.bytes ? rho + 0.8 + 0.003 : rho + 0.82;
    } else {
        // The extra half-turn keeps the text upright, reading toward the node.
        l.angle = degrees + 180;
        l.tx = p.bytes ? -(rho + l.width + 0.803) : -(rho + l.width + 0.82);
    }
    l.ty = shifted / 2 - height;
    return l;
}

int map_link_width(double byte_rate, double link_scale, int max_link_width) {
    double w;
    if (link_scale != 0) {
        w = std::trunc(byte_rate / 1024 * link_scale);
    } else {
        // Whole bytes per second, then whole kilobytes. Dividing by 1024 is exact in
        // binary floating point, so this equals the integer division without its
        // overflow for rates beyond an int.
        w = std::trunc(std::trunc(byte_rate) / 1024);
    }
    if (std::isnan(w)) w = 0;
    w = std::min(w, double(max_link_width));
    w = std::max(w, 0.0);
    return static_cast<int>(w);
}

void set_drawing_suspended(bool suspended) { g_display.suspended.store(suspended, std::memory_order_release); }
bool drawing_suspended() { return g_display.suspended.load(std::memory_order_acquire); }

void display_set_mark_node(MarkNodeFn fn) { g_display.mark_node.store(fn, std::memory_order_release); }

void render_map(Network* network) {
    if (drawing_suspended() || !network) return;
    const MapParams p = map_params();
    const float cell = kTextCell * static_cast<float>(p.font_scale);

    color(kMapBackground);
    clear();
    htextsize(cell, cell);

    // Hosts in list order: every host gets its ring place, drawn or not, so that the
    // ring never closes up while hosts are merely idle. The hosts' drawing is one cached
    // layer, keyed by everything each drawn host's circle and label depend on.
    const int count = network->host_count;
    std::string& key = g_display.layer_key;
    key.clear();
    const double numbers[] = {p.node_scale, p.link_scale, p.max_node_radius, p.font_scale};
    append_bytes(key, numbers);
    const char flags[] = {char(p.dynamic), char(p.bytes), char(p.show_name), char(p.show_manufacturers)};
    append_bytes(key, flags);
    int index = 0;
    net_for_each_host(network, [&](Host* h) {
        const NodeGeometry g = map_node_geometry(index++, count, h, p);
        h->map_x = g.x;
        h->map_y = g.y;
        const bool drawn = h->display == 1 || !p.dynamic;
        key += drawn ? '+' : '-';
        if (drawn) append_node_key(key, g, h, p);
    });
    color(kMapForeground);
    if (layer_begin(key.data(), key.size())) {
        // Written from the layer's record: what drawing does besides pixels.
        MarkNodeFn mark = g_display.mark_node.load(std::memory_order_acquire);
        index = 0;
        net_for_each_host(network, [&](Host* h) {
            const NodeGeometry g = map_node_geometry(index++, count, h, p);
            if (h->display != 1 && p.dynamic) return;
            if (mark) mark(g.x, g.y, g.radius);
            h->display = 0;
        });
    } else {
        index = 0;
        net_for_each_host(network, [&](Host* h) {
            const NodeGeometry g = map_node_geometry(index++, count, h, p);
            color(kMapForeground);
            if (h->display == 1 || !p.dynamic) draw_node(h, g, p);
        });
        layer_end();
    }

    // Links after all hosts, so that they lie over the circles: a second layer, keyed by
    // each drawn link's colour, width and ends.
    key.clear();
    net_for_each_host(network, [&](const Host* h) {
        host_for_each_link(h, [&](const Link* l) {
            if (l->display != 1 && p.dynamic) return;
            const LinkKey k = link_key(l, p);
            append_bytes(key, k);
        });
    });
    if (!layer_begin(key.data(), key.size())) {
        net_for_each_host(network, [&](const Host* h) {
            host_for_each_link(h, [&](const Link* l) {
                if (l->display != 1 && p.dynamic) return;
                const LinkKey k = link_key(l, p);
                color(k.colour);
                linewidth(k.width);
                if (!group_begin(k.ends, sizeof k.ends)) {
                    move2(k.ends[0], k.ends[1]);
                    draw2(k.ends[2], k.ends[3]);
                    group_end();
                }
                linewidth(1);
            });
        });
        layer_end();
    }
}

void measure_labels(Network* network) {
    const auto f = static_cast<float>(model_settings().font_scale.load(std::memory_order_relaxed));
    const float cell = kTextCell * f;
    htextsize(cell, cell);
    if (!network) return;
    net_for_each_host(network, [&](Host* h) {
        if (h->name_text[0]) {
            h->name_width = htextwidth(h->name_text);
            h->name_height = cell;
        }
        h->address_width = htextwidth(h->address_text);
        h->address_height = cell;
    });
}

void display_set_repaint(RepaintFn fn, void* context) {
    Repaint& r = repaint();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.fn = fn;
    r.context = context;
}

bool display_draw_due(double ms_since_last_render_start, double ms_since_last_render_end, double last_render_ms) {
    return ms_since_last_render_start >= kMinDrawIntervalMs && ms_since_last_render_end >= 2 * last_render_ms;
}

void display_set_draw_pacing(bool on) { g_display.pacing.store(on); }

void display_draw(Network* network) {
    {
        Repaint& r = repaint();
        std::lock_guard<std::mutex> lock(r.mutex);
        if (!r.fn) return;  // no network window yet (or any more): nothing to draw into
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    if (g_display.pacing.load() && g_display.draws.load(std::memory_order_relaxed) > 0 &&
        !display_draw_due(std::chrono::duration<double, std::milli>(start - g_display.last_render_start).count(),
                          std::chrono::duration<double, std::milli>(start - g_display.last_render_end).count(),
                          g_display.last_render_ms))
        return;
    g_display.last_render_start = start;
    {
        ModelWriteLock model;
        GraphicsLock drawing;
        render_map(network);
    }
    g_display.last_render_end = Clock::now();
    g_display.last_render_ms = std::chrono::duration<double, std::milli>(g_display.last_render_end - start).count();
    g_display.draws.fetch_add(1, std::memory_order_relaxed);
    Repaint& r = repaint();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.fn) r.fn(r.context);
}

void display_reset() {
    g_display.suspended.store(false);
    g_display.mark_node.store(nullptr);
    g_display.draws.store(0);
    g_display.pacing.store(true);
    g_display.last_render_start = {};
    g_display.last_render_end = {};
    g_display.last_render_ms = 0;
    display_set_repaint(nullptr, nullptr);
}

unsigned long display_draw_count() { return g_display.draws.load(std::memory_order_relaxed); }
