// The drawing library: an immediate-mode 2-D/3-D drawing interface with a current
// transformation matrix on a stack, a current position, a current colour index into a
// 256-entry colour map and a current line width. Lines and filled circles are
// transformed, clipped against the view volume and handed to the output device.
// Exactly one device exists, "mswin", which draws into a QImage (mswin.h).
//
// Conventions: points are row vectors multiplied on the left of the matrix, so the
// translation is the matrix's fourth row. World y grows upward; the device turns it
// into image rows. Every error is fatal: the message goes to mswin_verror(), the
// library is closed and the process exits with status 1.
//
// Threads: the library has one global state and is not re-entrant. Hold a GraphicsLock
// around every use once more than one thread draws, resizes or reads the image
// (see GraphicsLock below). The text-width function htextwidth() (hershey.h) is the
// one exception: it needs no lock.
#pragma once

#include <cstddef>
#include <cstdint>

// --- device set-up ------------------------------------------------------------------

// Remembers the device name for opendevice(). Start-up passes "mswin".
void setdevice(const char* name);

// Initialises the library on the remembered device (or the one named by the
// environment variable "VDEVICE" when none was remembered). The name must begin with
// "mswin". Closes the library first when it is already open. Afterwards: device size
// 500 x 500, viewport over the whole device, ortho2(0, 499, 0, 499), position (0, 0, 0),
// line width 1, clipping on, colour-map entries 0-7 black, red, green, yellow, blue,
// magenta, cyan, white.
void opendevice();

// Closes the library (the device's exit operation); routines then fail until the next
// opendevice().
void gexit();

// Sets the device size in pixels and resets the viewport to the whole device
// (0..width-1, 0..height-1). Sizes below 1 are ignored. Works before opendevice().
void resizedevice(int width, int height);

// Sets the viewport in device pixels; normalised coordinates -1..1 map onto it. A right
// or top edge beyond the device is cut to the last pixel.
void viewport(int16_t left, int16_t right, int16_t bottom, int16_t top);

// --- matrices -----------------------------------------------------------------------

// Replaces the top matrix with the orthographic projection of the rectangle.
void ortho2(double left, double right, double bottom, double top);
// Pushes a copy of the top matrix (reusing a matrix popped earlier when there is one).
void dupmatrix();
// Discards the top matrix; the last matrix cannot be popped.
void popmatrix();
// Moves the origin of the current object frame to (x, y, z).
void translate(double x, double y, double z);
// Rotates the current object frame by angle degrees about axis 'x', 'y' or 'z' (either
// case); positive is counter-clockwise looking down the axis.
void rot(double angle, char axis);
// Copies the top matrix (the transformation including the projection).
void getmatrix(float m[4][4]);

// --- position and primitives ------------------------------------------------------

void move(float x, float y, float z);
void move2(float x, float y);
// Relative moves and draws from the current position (the stroke fonts draw with these).
void rmv(float dx, float dy, float dz);
// Line from the current position to the point, which becomes the current position.
void draw(float x, float y, float z);
void draw2(float x, float y);
void rdr(float dx, float dy, float dz);
// Filled circle: a closed polygon of 32 segments, the first vertex at (x + r, y).
void circf(float x, float y, float r);

// Filled polygons, built vertex by vertex: pmv starts one, pdr adds a vertex (at most
// 128 in all), pclos fills it with the current colour.
void pmv(float x, float y, float z);
void pdr(float x, float y, float z);
void pclos();

// --- attributes ---------------------------------------------------------------------

// Line width in pixels (saturated to 0..32767). Widths 0 and 1 both draw one pixel wide.
void linewidth(int width);
// Current colour index into the colour map.
void color(int index);
// Sets colour-map entry index to (r, g, b), components cut to 0..255. An index outside
// 0..255 changes nothing.
void mapcolor(int index, int r, int g, int b);
// Fills the drawing area (the device size) with the current colour.
void clear();

// --- cached groups ------------------------------------------------------------------
// A group is a run of drawing calls whose pixels are fully determined by a key that the
// caller gives (a label's text and font sizes, say) together with the library's state
// at group_begin: the current matrix, viewport, device and image size, colour, line
// width, clipping and position. The first time a key is met the group is drawn as
// usual; the second time it is drawn and recorded (the pixels it set, as runs, with
// their colour-map indices); from then on group_begin writes those pixels itself, sets
// the position as the group left it, and returns true: the caller skips the group's
// calls and does not call group_end. Pixels are exactly those the calls draw, as each
// recording is the calls' own output. Colours are looked up when the pixels are
// written, so a changed colour map is honoured. The cache holds at most
// kGroupCacheMax keys and starts afresh when it is full.
inline constexpr size_t kGroupCacheMax = 40000;
[[nodiscard]] bool group_begin(const void* key, size_t key_size);
void group_end();
// A layer is a group that holds groups (all the map's hosts, all its links), cached
// alike in a cache of its own of kLayerCacheMax keys. While a layer is recorded, the
// groups in it are drawn by their calls, so that the layer's record holds them all;
// a layer written from its record writes its groups' final pixels once.
inline constexpr size_t kLayerCacheMax = 8;
[[nodiscard]] bool layer_begin(const void* key, size_t key_size);
void layer_end();
// Turns the cache off (every group and layer drawn by its calls, the cache left as it
// is) or on again; on by default.
void group_cache_enable(bool on);
// Empties the cache (a new font changes what every label's key draws).
void group_cache_clear();
// Groups written from the cache since start, for tests and benchmarks.
[[nodiscard]] unsigned long group_cache_hits();

// --- errors -------------------------------------------------------------------------

// The device's error routine: shows the message in a box titled "Error" (through
// message_show), closes the library when it is open, and exits with status 1.
[[noreturn]] void mswin_verror(const char* message);

// --- inspection (tests and diagnostics) ---------------------------------------------

struct GraphicsState {
    bool initialised = false;
    int width = 0, height = 0;              // device size
    int colour = 0;
    int line_width = 0;
    float x = 0, y = 0, z = 0;              // current position, world units
    int device_x = 0, device_y = 0;         // current position, device pixels (y upward)
    int viewport_left = 0, viewport_right = 0, viewport_bottom = 0, viewport_top = 0;
    int matrix_depth = 0;                   // matrices on the stack
    int free_matrices = 0;                  // popped matrices kept for reuse
};
GraphicsState graphics_state();

// --- the drawing lock ---------------------------------------------------------------

// The one lock of the drawing library and its image. Whoever draws (the capture-and-draw
// thread's render pass), resizes (resizedevice + ortho2 on the window thread) or copies
// the image to the screen holds it for the whole operation; the network window uses it
// as its drawing lock "netwindow". Not recursive: take it once per pass.
//
// While the lock is held the device may keep a painter open on the image between
// calls; releasing the lock ends that painter, so whoever takes the lock next finds a
// finished image.
class GraphicsLock {
public:
    GraphicsLock();
    ~GraphicsLock();
    GraphicsLock(const GraphicsLock&) = delete;
    GraphicsLock& operator=(const GraphicsLock&) = delete;
};
