#include "graphics/graphics.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/memory.h"
#include "base/numbers.h"
#include "graphics/device.h"
#include "graphics/mswin.h"
#include "base/message.h"

namespace {

constexpr int kPolygonMax = 128;
constexpr int kCircleSegments = 32;

struct Matrix {
    float m[4][4];
};

struct MatrixNode {
    Matrix matrix;
    MatrixNode* next;
};

struct Point4 {
    float x, y, z, w;
};

struct State {
    DeviceRecord device;
    bool name_set = false;
    bool initialised = false;
    bool clipping = true;
    int line_style = 0;
    float x = 0, y = 0, z = 0;  // current position, world units

    // Matrix stack (top first) and the popped matrices kept for reuse.
    MatrixNode* top = nullptr;
    MatrixNode* free_list = nullptr;

    // Viewport in pixels and as fractions of the device size.
    int vp_left = 0, vp_right = 499, vp_bottom = 0, vp_top = 499;
    float vp_fraction[4] = {0, 1, 0, 1};

    // Polygon being built, world units.
    float poly[kPolygonMax][3];
    int poly_count = 0;

    // Working buffers of polygon clipping, reused from call to call.
    std::vector<Point4> clip_in, clip_out;
    std::vector<int> fill_x, fill_y;
};

// The library state lives for the whole process and is never destroyed, so that a
// thread still drawing while the process exits never meets a destroyed object.
State& st() {
    static State* s = [] {
        State* p = new_or_die<State>();
        p->top = new_or_die<MatrixNode>();
        for (int i = 0; i < 4; ++i) p->top->matrix.m[i][i] = 1;
        return p;
    }();
    return *s;
}

std::mutex& lock_mutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}

[[noreturn]] void errorf(const char* format, ...) __attribute__((format(printf, 1, 2)));

void errorf(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    mswin_verror(text);
}

void check(const char* routine) {
    if (!st().initialised) errorf("%s: graphics not initialised", routine);
}

// Errors of opendevice come before there is a device to show them: standard error.
[[noreturn]] void device_failure(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    std::exit(1);
}

Point4 transform(float x, float y, float z) {
    const auto& m = st().top->matrix.m;
    return {x * m[0][0] + y * m[1][0] + z * m[2][0] + m[3][0], x * m[0][1] + y * m[1][1] + z * m[2][1] + m[3][1],
            x * m[0][2] + y * m[1][2] + z * m[2][2] + m[3][2], x * m[0][3] + y * m[1][3] + z * m[2][3] + m[3][3]};
}

bool finite(const Point4& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && std::isfinite(p.w);
}

// Signed distance of a clip-space point inside plane i (0..5: x >= -w, x <= w, y >= -w,
// y <= w, z >= -w, z <= w); inside when >= 0.
float plane_distance(const Point4& p, int plane) {
    switch (plane) {
        case 0: return p.w + p.x;
        case 1: return p.w - p.x;
        case 2: return p.w + p.y;
        case 3: return p.w - p.y;
        case 4: return p.w + p.z;
        default: return p.w - p.z;
    }
}

Point4 lerp(const Point4& a, const Point4& b, float t) {
    return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.z + t * (b.z - a.z), a.w + t * (b.w - a.w)};
}

// Cuts the segment to the view volume, one plane after another. False when nothing of
// it is visible (or its coordinates are not finite).
bool clip_line(Point4* a, Point4* b) {
    if (!finite(*a) || !finite(*b)) return false;
    for (int plane = 0; plane < 6; ++plane) {
        const float da = plane_distance(*a, plane), db = plane_distance(*b, plane);
        if (da < 0 && db < 0) return false;
        if (da < 0) {
            *a = lerp(*a, *b, da / (da - db));
        } else if (db < 0) {
            *b = lerp(*a, *b, da / (da - db));
        }
    }
    return true;
}

// Clip coordinates to device pixels over the viewport (y upward), truncated toward zero.
// Values far outside the device are held to a range that cannot overflow.
int to_pixel(float v, float w, int low, int high) {
    if (!std::isfinite(v) || !std::isfinite(w) || w == 0) return low;
    double d = double(v) / double(w) * (high - low) / 2.0 + (high + low) / 2.0 + 0.5;
    if (d > 1e9) d = 1e9;
    if (d < -1e9) d = -1e9;
    return int(d);
}

void device_point(const Point4& p, int* px, int* py) {
    State& s = st();
    *px = to_pixel(p.x, p.w, s.vp_left, s.vp_right);
    *py = to_pixel(p.y, p.w, s.vp_bottom, s.vp_top);
}

void load_top(const Matrix& m) { st().top->matrix = m; }

void set_viewport(int left, int right, int bottom, int top) {
    State& s = st();
    s.vp_left = left;
    s.vp_right = right;
    s.vp_bottom = bottom;
    s.vp_top = top;
    const float w = float(s.device.width), h = float(s.device.height);
    s.vp_fraction[0] = left / w;
    s.vp_fraction[1] = right / w;
    s.vp_fraction[2] = bottom / h;
    s.vp_fraction[3] = top / h;
}

// Fills the polygon held in st().poly: transform, clip against the view volume, draw.
void fill_polygon() {
    State& s = st();
    auto& in = s.clip_in;
    auto& out = s.clip_out;
    in.clear();
    for (int i = 0; i < s.poly_count; ++i) {
        Point4 p = transform(s.poly[i][0], s.poly[i][1], s.poly[i][2]);
        if (!finite(p)) return;
        in.push_back(p);
    }
    if (s.clipping) {
        for (int plane = 0; plane < 6 && !in.empty(); ++plane) {
            out.clear();
            for (size_t i = 0; i < in.size(); ++i) {
                const Point4& cur = in[i];
                const Point4& prev = in[(i + in.size() - 1) % in.size()];
                const float dc = plane_distance(cur, plane), dp = plane_distance(prev, plane);
                if (dc >= 0) {
                    if (dp < 0) out.push_back(lerp(prev, cur, dp / (dp - dc)));
                    out.push_back(cur);
                } else if (dp >= 0) {
                    out.push_back(lerp(prev, cur, dp / (dp - dc)));
                }
            }
            in.swap(out);
        }
    }
    const int n = int(in.size());
    if (n < 3) return;
    if (n > kPolygonMax) errorf("dopoly: can't fill a polygon with more than %d vertices", kPolygonMax);
    s.fill_x.resize(size_t(n));
    s.fill_y.resize(size_t(n));
    for (int i = 0; i < n; ++i) device_point(in[size_t(i)], &s.fill_x[size_t(i)], &s.fill_y[size_t(i)]);
    s.device.ops->fill(n, s.fill_x.data(), s.fill_y.data());
    s.device.x = s.fill_x[size_t(n - 1)];
    s.device.y = s.fill_y[size_t(n - 1)];
}

void close_library() {
    State& s = st();
    if (s.device.ops) s.device.ops->exit();
    s.initialised = false;
    s.poly_count = 0;
}

}  // namespace

DeviceRecord& device_record() { return st().device; }

// --- errors -------------------------------------------------------------------------

void mswin_verror(const char* message) {
    message_show("Error", message, MessageIcon::Error);
    if (st().initialised) close_library();
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(1);
}

// --- device set-up ------------------------------------------------------------------

void setdevice(const char* name) {
    State& s = st();
    s.device.name = name ? name : "";
    s.name_set = name != nullptr;
}

void opendevice() {
    State& s = st();
    std::string name = s.device.name;
    if (!s.name_set) {
        const char* env = std::getenv("VDEVICE");
        name = env ? env : "";
    }
    if (name.empty())
        device_failure("graphics: expected the enviroment variable VDEVICE to be set to the desired device.\n");
    if (name.compare(0, 5, kMswinDevice.name) != 0)
        device_failure("graphics: " + name + " is an invalid device type\n");
    s.device.name = name;

    if (s.initialised) gexit();
    s.device.ops = &kMswinDevice;

    s.clipping = true;
    s.device.line_width = 1;
    s.line_style = 0;
    s.poly_count = 0;

    if (s.device.ops->init() != 1) device_failure("graphics: error while setting up device\n");
    s.initialised = true;
    viewport(0, int16_t(s.device.width - 1), 0, int16_t(s.device.height - 1));
    ortho2(0, s.device.width - 1, 0, s.device.height - 1);
    move(0, 0, 0);
    s.device.ops->font(s.device.ops->large_font);
    s.device.ops->setls(s.line_style);
}

void gexit() {
    check("gexit");
    close_library();
}

void resizedevice(int width, int height) {
    if (width < 1 || height < 1) return;
    State& s = st();
    s.device.width = width;
    s.device.height = height;
    set_viewport(0, width - 1, 0, height - 1);
}

void viewport(int16_t left, int16_t right, int16_t bottom, int16_t top) {
    check("viewport");
    State& s = st();
    if (left < 0 || right < 0) errorf("viewport: x dimension value is invalid");
    if (bottom < 0 || top < 0) errorf("viewport: y dimension value is invalid");
    int r = right, t = top;
    if (r > s.device.width - 1) r = s.device.width - 1;
    if (t > s.device.height - 1) t = s.device.height - 1;
    if (left >= r) errorf("viewport: xleft(%d) >= xright(%d)", int(left), r);
    if (bottom >= t) errorf("viewport: ybottom(%d) >= ytop(%d)", int(bottom), t);
    set_viewport(left, r, bottom, t);
}

// --- matrices -----------------------------------------------------------------------

void ortho2(double left, double right, double bottom, double top) {
    check("ortho2");
    if (right == left) errorf("ortho2: left clipping plane same as right one.");
    if (top == bottom) errorf("ortho2: bottom clipping plane same as top one.");
    Matrix m{};
    m.m[0][0] = float(2.0 / (right - left));
    m.m[1][1] = float(2.0 / (top - bottom));
    m.m[2][2] = -1;
    m.m[3][0] = float(-(right + left) / (right - left));
    m.m[3][1] = float(-(top + bottom) / (top - bottom));
    m.m[3][3] = 1;
    load_top(m);
}

void dupmatrix() {
    State& s = st();
    MatrixNode* node = s.free_list;
    if (node) {
        s.free_list = node->next;
    } else {
        node = new (std::nothrow) MatrixNode;
        if (!node) errorf("vallocate: request for %d bytes returned NULL", int(sizeof(MatrixNode)));
    }
    node->matrix = s.top->matrix;
    node->next = s.top;
    s.top = node;
}

void popmatrix() {
    State& s = st();
    if (!s.top->next) errorf("popmatrix: matrix stack empty");
    MatrixNode* node = s.top;
    s.top = node->next;
    node->next = s.free_list;
    s.free_list = node;
}

void translate(double x, double y, double z) {
    check("translate");
    auto& m = st().top->matrix.m;
    for (int j = 0; j < 4; ++j) m[3][j] = float(m[3][j] + x * m[0][j] + y * m[1][j] + z * m[2][j]);
}

void rot(double angle, char axis) {
    check("rot");
    int a, b;  // the two rows that turn into each other: row a' = c·a + s·b, row b' = c·b − s·a
    switch (axis) {
        case 'x': case 'X': a = 1; b = 2; break;
        case 'y': case 'Y': a = 2; b = 0; break;
        case 'z': case 'Z': a = 0; b = 1; break;
        default: errorf("rot: illegal axis of rotation");
    }
    const double r = angle * (kPi / 180.0);
    const double c = std::cos(r), sn = std::sin(r);
    auto& m = st().top->matrix.m;
    for (int j = 0; j < 4; ++j) {
        const double ra = m[a][j], rb = m[b][j];
        m[a][j] = float(c * ra + sn * rb);
        m[b][j] = float(c * rb - sn * ra);
    }
}

void getmatrix(float m[4][4]) { std::memcpy(m, st().top->matrix.m, sizeof(Matrix::m)); }

// --- position and primitives ------------------------------------------------------

namespace {

void move_to(float x, float y, float z) {
    State& s = st();
    s.x = x;
    s.y = y;
    s.z = z;
    device_point(transform(x, y, z), &s.device.x, &s.device.y);
}

void draw_to(float x, float y, float z) {
    State& s = st();
    const Point4 end = transform(x, y, z);
    Point4 a = transform(s.x, s.y, s.z), b = end;
    s.x = x;
    s.y = y;
    s.z = z;
    if (!s.clipping || clip_line(&a, &b)) {
        device_point(a, &s.device.x, &s.device.y);
        int bx, by;
        device_point(b, &bx, &by);
        s.device.ops->draw(bx, by);
    }
    // The next draw continues from the unclipped end.
    device_point(end, &s.device.x, &s.device.y);
}

}  // namespace

void move(float x, float y, float z) {
    check("move");
    move_to(x, y, z);
}

void move2(float x, float y) {
    check("move2");
    move_to(x, y, 0);
}

void rmv(float dx, float dy, float dz) {
    check("rmv");
    const State& s = st();
    move_to(s.x + dx, s.y + dy, s.z + dz);
}

void draw(float x, float y, float z) {
    check("draw");
    draw_to(x, y, z);
}

void draw2(float x, float y) {
    check("draw2");
    draw_to(x, y, 0);
}

void rdr(float dx, float dy, float dz) {
    check("rdr");
    const State& s = st();
    draw_to(s.x + dx, s.y + dy, s.z + dz);
}

void pmv(float x, float y, float z) {
    State& s = st();
    s.poly[0][0] = x;
    s.poly[0][1] = y;
    s.poly[0][2] = z;
    s.poly_count = 1;
}

void pdr(float x, float y, float z) {
    State& s = st();
    if (s.poly_count >= kPolygonMax) errorf("pdr: can't draw a polygon with more than %d vertices", kPolygonMax);
    if (s.poly_count == 0) {  // no pmv: start from the current position
        s.poly[0][0] = s.x;
        s.poly[0][1] = s.y;
        s.poly[0][2] = s.z;
        s.poly_count = 1;
    }
    s.poly[s.poly_count][0] = x;
    s.poly[s.poly_count][1] = y;
    s.poly[s.poly_count][2] = z;
    ++s.poly_count;
}

void pclos() {
    check("pclos");
    fill_polygon();
    st().poly_count = 0;
}

void circf(float x, float y, float r) {
    check("circf");
    pmv(x + r, y, 0);
    for (int i = 1; i < kCircleSegments; ++i) {
        const double a = 2 * kPi * i / kCircleSegments;
        pdr(float(x + r * std::cos(a)), float(y + r * std::sin(a)), 0);
    }
    pclos();
}

// --- attributes ---------------------------------------------------------------------

void linewidth(int width) {
    check("linewidth");
    if (width < 0) width = 0;
    if (width > 32767) width = 32767;
    st().device.line_width = width;
    st().device.ops->setlw(width);
}

void color(int index) {
    check("color");
    st().device.colour = index;
    st().device.ops->color(index);
}

void mapcolor(int index, int r, int g, int b) {
    check("mapcolor");
    st().device.ops->mapcolor(index, r, g, b);
}

void clear() {
    check("clear");
    st().device.ops->clear();
}

// --- inspection ---------------------------------------------------------------------

GraphicsState graphics_state() {
    const State& s = st();
    GraphicsState g;
    g.initialised = s.initialised;
    g.width = s.device.width;
    g.height = s.device.height;
    g.colour = s.device.colour;
    g.line_width = s.device.line_width;
    g.x = s.x;
    g.y = s.y;
    g.z = s.z;
    g.device_x = s.device.x;
    g.device_y = s.device.y;
    g.viewport_left = s.vp_left;
    g.viewport_right = s.vp_right;
    g.viewport_bottom = s.vp_bottom;
    g.viewport_top = s.vp_top;
    for (const MatrixNode* n = s.top; n; n = n->next) ++g.matrix_depth;
    for (const MatrixNode* n = s.free_list; n; n = n->next) ++g.free_matrices;
    return g;
}

// --- cached groups ------------------------------------------------------------------

namespace {

struct GroupEntry {
    MswinPattern* pattern = nullptr;  // null: seen once, not recorded yet
    float x = 0, y = 0, z = 0;        // the position the group left
    int device_x = 0, device_y = 0;
};

struct GroupCache {
    bool enabled = true;
    std::unordered_map<std::string, GroupEntry> entries;
    std::string key;          // the key being built or recorded
    bool recording = false;   // between a recording group_begin and its group_end
    bool open = false;        // between any group_begin that returned false and group_end
    unsigned long hits = 0;

    void clear() {
        for (auto& [k, e] : entries) mswin_pattern_free(e.pattern);
        entries.clear();
    }
};

GroupCache& groups() {
    static GroupCache* g = new GroupCache;  // never destroyed, like the library state
    return *g;
}

GroupCache& layers() {
    static GroupCache* g = new GroupCache;
    return *g;
}

template <class T>
void append(std::string& key, const T& value) {
    key.append(reinterpret_cast<const char*>(&value), sizeof value);
}

}  // namespace

namespace {

// A group or a layer begins: its full key is the caller's with the library's state.
bool cached_begin(GroupCache& g, const void* key, size_t key_size, size_t max_entries) {
    g.open = false;
    g.recording = false;
    const State& s = st();
    if (!groups().enabled || !s.initialised || layers().recording) return false;
    g.key.assign(static_cast<const char*>(key), key_size);
    append(g.key, s.top->matrix);
    const int ints[] = {s.vp_left, s.vp_right, s.vp_bottom, s.vp_top, s.device.width, s.device.height,
                        s.device.colour, s.device.line_width, s.clipping ? 1 : 0};
    append(g.key, ints);
    const float position[] = {s.x, s.y, s.z};
    append(g.key, position);
    auto found = g.entries.find(g.key);
    if (found == g.entries.end()) {
        if (g.entries.size() >= max_entries) g.clear();
        g.entries.emplace(g.key, GroupEntry{});
        g.open = true;
        return false;
    }
    GroupEntry& e = found->second;
    if (e.pattern && mswin_pattern_draw(e.pattern)) {
        State& w = st();
        w.x = e.x;
        w.y = e.y;
        w.z = e.z;
        w.device.x = e.device_x;
        w.device.y = e.device_y;
        ++g.hits;
        return true;
    }
    // Met before and not recorded (or recorded for another image): record it now.
    mswin_pattern_free(e.pattern);
    e.pattern = nullptr;
    mswin_record_begin();
    g.open = true;
    g.recording = true;
    return false;
}

void cached_end(GroupCache& g) {
    if (!g.open) return;
    g.open = false;
    if (!g.recording) return;
    g.recording = false;
    MswinPattern* pattern = mswin_record_end();
    auto found = g.entries.find(g.key);
    if (found == g.entries.end()) {
        mswin_pattern_free(pattern);
        return;
    }
    const State& s = st();
    found->second = GroupEntry{pattern, s.x, s.y, s.z, s.device.x, s.device.y};
}

}  // namespace

bool group_begin(const void* key, size_t key_size) { return cached_begin(groups(), key, key_size, kGroupCacheMax); }
void group_end() { cached_end(groups()); }
bool layer_begin(const void* key, size_t key_size) { return cached_begin(layers(), key, key_size, kLayerCacheMax); }
void layer_end() { cached_end(layers()); }

void group_cache_clear() {
    for (GroupCache* g : {&groups(), &layers()}) {
        if (g->recording) mswin_pattern_free(mswin_record_end());
        g->recording = g->open = false;
        g->clear();
    }
}

void group_cache_enable(bool on) {
    for (GroupCache* g : {&groups(), &layers()}) {
        if (g->recording) mswin_pattern_free(mswin_record_end());
        g->recording = g->open = false;
    }
    groups().enabled = on;
}

unsigned long group_cache_hits() { return groups().hits + layers().hits; }

// --- lock ---------------------------------------------------------------------------

GraphicsLock::GraphicsLock() { lock_mutex().lock(); }

GraphicsLock::~GraphicsLock() {
    mswin_flush();
    lock_mutex().unlock();
}
