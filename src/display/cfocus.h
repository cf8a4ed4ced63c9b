// Custom focuses: named selections of protocols, each with a palette colour, that
// decide how the map colours its links. The focus dictionary and the palette
// (palette.h) are kept together in the custom focus file (cfdump.bin by default), read
// once at start-up and written once at exit.
//
// File layout (integers 32-bit little-endian, lines end with one line feed):
//   palette block: count n (0..33), n colours of 4 bytes (red, green, blue, 0);
//   then, to the end of the file, one record per focus:
//     name line; entry count m; m times: protocol name line, colour index.
//
// The current focus is published as an immutable snapshot (FocusSnapshot) through an
// atomic pointer: the capture-and-draw thread reads it while it refreshes links
// (cfocus_view, the traffic model's focus source) and the window thread replaces it
// when the user picks another focus. Snapshots are never freed while the program runs,
// so a reader never sees one go away.
//
// Threads: the dictionary belongs to the window thread (start-up, the Focus Builder,
// shutdown). cfocus_current() and cfocus_view() may be called from any thread.
//
// No Qt: the engine side of the shell, the replay tool and the fuzz target use it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "display/palette.h"
#include "model/net.h"

struct ProtocolNode;

inline constexpr int kFocusNameSize = 32;  // name field: at most 31 characters

// One entry of a focus: a protocol and the palette index of its colour.
struct FocusItem {
    // The protocol of the loaded protocol tree, or null when the tree has no protocol
    // named `protocol_name` (the entry is kept, so that it is written back at exit and
    // colours links again under a protocol file that defines it, but it colours no
    // link now).
    const ProtocolNode* protocol = nullptr;
    std::string protocol_name;  // the protocol's name, as stored in the file
    int colour = 0;             // palette index, 0..31 when chosen by the user
};

struct Focus {
    char name[kFocusNameSize] = {};
    std::vector<FocusItem> entries;  // in order; the entry count is entries.size()
};

// Ordered list of focuses.
using FocusDictionary = std::vector<Focus>;

// The dictionary of the program (window thread).
[[nodiscard]] FocusDictionary& focus_dictionary();

// --- the file ---------------------------------------------------------------------------

// Reads the custom focus file at `path` (a backslash is read as a path separator): its
// palette block goes into the shared palette and the colour map (palette_set_colour),
// its focuses replace the dictionary, which is returned.
// When the file cannot be opened: a warning "Custom Focus: Could not open file %s for
// parsing" titled "Hopscope" (message_show), an empty dictionary, the palette as it
// was. A palette count of 34 or more: "palette_read: Header greater than 33" on the
// standard output stream, no colours and no focuses (the rest of the file is out of
// step). A short file keeps every whole record before its end.
const FocusDictionary& cfocus_read(const char* path);

// Writes the shared palette and the dictionary to `path`, replacing the file. The new
// contents go to a temporary file beside it that then takes the file's place, so a
// failed write leaves the old file whole. Returns 1, or -1 after
// "cfocus_dump: Warning - cannot overwrite %s\n" on the standard output stream.
[[nodiscard]] int cfocus_dump(const char* path);

// The bytes of a focus file, parsed without touching the shared palette or the
// dictionary: `palette` starts as `start` and takes the `palette_loaded` colours read.
struct CfocusContents {
    Palette palette;
    int palette_loaded = 0;
    FocusDictionary focuses;
};
// Parses `size` bytes at `data` (never reads past them). Names are read as whole lines:
// a focus name keeps at most 31 bytes (cut at a character boundary); a protocol name
// is looked up whole in the protocol name table. A record cut short keeps what was
// read whole: a focus whose count is missing is dropped; an entry whose colour is
// missing is dropped and ends the file.
[[nodiscard]] CfocusContents cfocus_parse(const unsigned char* data, size_t size, const Palette& start);
// The bytes cfocus_dump writes: the palette block (33 colours), then every focus.
[[nodiscard]] std::string cfocus_serialise(const Palette& palette, const FocusDictionary& focuses);

// The last focus of the dictionary whose name equals `name`, or null.
[[nodiscard]] const Focus* find_focus(const char* name);

// --- the current focus -------------------------------------------------------------------

// What the map colours links by: the current focus's name and its entries that have a
// protocol, with colours outside 0..32 replaced by "Other" (32), so a hostile file can
// never make the map pick a colour-map entry outside the palette.
struct FocusSnapshot {
    char name[kFocusNameSize] = {};
    std::vector<FocusEntry> entries;
};

// Makes a copy of `focus` (null: no focus) the current focus, installs cfocus_view as
// the traffic model's focus source, and recomputes the colour index of every link of
// every network with link_recolour_all, holding the model lock exclusively. The caller
// must not hold the model lock or the drawing lock.
void cfocus_set_current(const Focus* focus);

// The current focus, or null for none. Any thread; the snapshot stays valid while the
// program runs.
[[nodiscard]] const FocusSnapshot* cfocus_current();

// The traffic model's focus source: the current focus's entries (none without a
// current focus). Any thread.
[[nodiscard]] FocusView cfocus_view();
