// The replay tool's map: the network map after the last frame, rendered by the same
// drawing library and renderer as the network window, written to a PNG file.
#pragma once

#include <string>

struct Network;

struct ReplayMapOptions {
    std::string png;      // output file
    int width = 1024;     // image size in pixels
    int height = 768;
    std::string font;     // font.bin; empty: the shipped one (base/datadir.h)
    double font_size = 0.5;
    bool cumulative = false;     // draw every host and link, not only the active ones
    bool packets = false;        // size nodes by frame rate instead of byte rate
    bool addresses = false;      // label hosts by address even when they have a name
    bool manufacturers = false;  // add the manufacturer under each label
    // Custom focus for the link colours: "NAME:COLOUR,NAME:COLOUR..." with protocol
    // names of the loaded protocol tree and palette indices 0..31. Empty: no focus,
    // every link gets the "Other" colour.
    std::string focus;
    // Custom focus file (palette and focuses) and the name of the focus to colour by
    // (empty: "Ethernet", the program's default). With `focus` as well, the file gives
    // the palette and `focus` the entries.
    std::string cfdump;
    std::string focus_name;
};

// Whether this build of the tool has the drawing library (map.cpp) or not
// (map_none.cpp, whose other functions then refuse).
[[nodiscard]] bool replay_map_available();

// Opens the drawing library on an off-screen image, loads the stroke font and sets the
// map settings, before any frame is read (so that hosts get their label widths when
// they are created). False, after a message on standard error, when the font cannot
// be read, the focus names a protocol the tree does not have, the focus file cannot be
// read or holds no focus of the name asked for.
[[nodiscard]] bool replay_map_open(const ReplayMapOptions& options);

// Renders the network's map and writes the PNG. False, after a message, when the file
// cannot be written.
[[nodiscard]] bool replay_map_write(Network* network, const std::string& path);
