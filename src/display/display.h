// The network map: every host a white filled circle on a ring, labelled radially
// outward, every active link a line coloured by its dominant focus protocol and as wide
// as its byte rate. render_map() redraws the whole map through the drawing library
// (graphics/graphics.h) into the network window's off-screen image.
//
// World square -1.3..1.3 on both axes, ring radius 0.8, x to the right, y upward.
//
// Threads and locks: render_map() and measure_labels() write host display fields
// (ring position, label sizes, display flag) and use the drawing library, so they run
// with the model lock held exclusively (model_lock()) and then the drawing lock
// (GraphicsLock), in that order. display_draw() is the capture pass's draw hook and
// takes both itself. Settings are atomics: the window thread changes them while the
// capture-and-draw thread renders.
//
// Qt Gui only (through the drawing library); no widgets.
#pragma once

#include <atomic>

#include "display/map_settings.h"

struct Network;
struct Host;

// --- settings the map reads ---------------------------------------------------------

// The settings themselves are MapSettings (display/map_settings.h).

// A consistent copy of the settings for one pass (and for the geometry functions).
struct MapParams {
    double node_scale = 0.2;
    double link_scale = 0.6;
    double max_node_radius = 0.5;
    int max_link_width = 100;
    bool dynamic = true;
    bool bytes = true;
    bool show_name = true;
    bool show_manufacturers = false;
    double font_scale = 0.5;  // F
};
// The current settings and the model's font scale.
[[nodiscard]] MapParams map_params();

// --- colours ------------------------------------------------------------------------

inline constexpr int kMapBackground = 0;   // colour-map entry of the background (black)
inline constexpr int kMapForeground = 7;   // circles and labels (white)
inline constexpr int kPaletteBase = 8;     // palette index k is colour-map entry k + 8
inline constexpr int kPaletteSize = 33;    // palette indices 0..32
inline constexpr int kLinkOther = 40;      // links that no focus entry colours (palette 32)

// The colour-map entry of a link with the given colour index (-1: no focus entry).
[[nodiscard]] int map_link_colour(int colour_index);

// Loads the default palette (palette_default_colour, palette.h) into colour-map
// entries 8..40: 32 distinct colours and a mid grey for "Other" (entry 40). The program
// binds its palette with palette_set_colour_map instead, which starts from the same
// colours; this is for tools and tests that draw without the palette. Call before the
// worker threads start, or with the GraphicsLock held.
void display_default_colours();
// The default palette as 0xRRGGBB, indices 0..32.
[[nodiscard]] unsigned display_default_colour(int palette_index);

// --- geometry (pure functions; what render_map draws) --------------------------------

struct NodeGeometry {
    double theta = 0;      // radians, 2*pi/n * i
    double x = 0, y = 0;   // ring position
    double rate_term = 0;  // rho: the unclamped radius, which pushes the label out
    double radius = 0;     // rho cut to the maximum node radius
};
// Place and size of the host with index `index` of `count` on the ring. `host` may be
// null (radius 0).
[[nodiscard]] NodeGeometry map_node_geometry(int index, int count, const Host* host, const MapParams& p);

struct LabelPlacement {
    const char* text = "";
    double angle = 0;        // degrees of the rotation about z
    double tx = 0, ty = 0;   // translation in the rotated frame
    float width = 0, height = 0;
    bool right_half = true;  // x >= 0: reads outward; else turned half-way round
};
// The label of a host placed at `g`.
[[nodiscard]] LabelPlacement map_label_placement(const NodeGeometry& g, const Host* host, const MapParams& p);

// Line width in pixels of a link with byte-rate mean `byte_rate` (bytes per second).
[[nodiscard]] int map_link_width(double byte_rate, double link_scale, int max_link_width);

// --- rendering ----------------------------------------------------------------------

// Redraws the whole map of the network into the image attached to the drawing library.
// Stores every host's ring position; clears the display flag of each host it draws.
// Does nothing while drawing is suspended or for a null network. The caller holds the
// model lock (exclusive), then the GraphicsLock.
void render_map(Network* network);

// While set, render_map() does nothing (the network window has a zero dimension or is
// minimised).
void set_drawing_suspended(bool suspended);
[[nodiscard]] bool drawing_suspended();

// Recomputes every host's name and address label sizes for the current font scale
// (the manufacturer size stays as cached at host creation). Sets the text size to
// 0.06*F. The caller holds the model lock (exclusive), then the GraphicsLock.
void measure_labels(Network* network);

// The Zoom Box overview's hook: called for each node drawn, with its centre and
// radius in world units, on the capture-and-draw thread inside render_map(). Null (the
// default) marks nothing.
using MarkNodeFn = void (*)(double x, double y, double r);
void display_set_mark_node(MarkNodeFn fn);

// --- the capture pass's draw hook ---------------------------------------------------

// Asks the network window to repaint; called on the capture-and-draw thread after a
// render pass, without locks held other than the hook's own, so it must only post
// (never paint or wait).
using RepaintFn = void (*)(void* context);
// Installed by the network window when it exists, removed (null) when it goes. Once
// removal has returned, the function is never called again.
void display_set_repaint(RepaintFn fn, void* context);

// CaptureContext.hooks.draw: when a network window exists, takes the model lock
// (exclusive) and the drawing lock, renders the map, releases both and asks the window
// to repaint. Without a window it draws nothing.
void display_draw(Network* network);

// Render pacing. A render of a large map takes milliseconds to tens of milliseconds;
// after every 255-frame pass that would leave the capture thread too little time to
// keep up with a busy segment. display_draw therefore renders only when at least
// kMinDrawIntervalMs have passed since the last render began (at most 30 renders a
// second: the map moves smoothly), and the time since it ended is at least twice what
// it took (the capture passes get two thirds of the thread or more). Passes in between
// still refresh the model; the next render shows their result.
inline constexpr double kMinDrawIntervalMs = 1000.0 / 30;
[[nodiscard]] bool display_draw_due(double ms_since_last_render_start, double ms_since_last_render_end,
                                    double last_render_ms);
// Turns pacing off (every call renders) or on; on by default. For tests.
void display_set_draw_pacing(bool on);

// The map's state as at process start: drawing not suspended, no mark-node hook, no
// repaint request, pacing on, no render done. The settings stay. For tests.
void display_reset();

// Render passes done by display_draw (tests and diagnostics).
[[nodiscard]] unsigned long display_draw_count();
