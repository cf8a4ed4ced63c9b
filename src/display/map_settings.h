// The settings the map reads, owned here and bound to the settings key by the settings
// table (shell/settings.cpp), which reads them at start-up and writes them at exit. No
// Qt, so that the settings and the tools bind them without the drawing library.
//
// Threads: menus and panels change them on the window thread; the capture-and-draw
// thread reads them at the start of every render pass (map_params), hence atomics.
#pragma once

#include <atomic>

// The display settings, read at the start of every render pass, so that a change made
// by a menu or panel shows from the next frame on. The font scale F is the model's
// (model_settings().font_scale), which keeps the label widths of new hosts in step.
struct MapSettings {
    std::atomic<double> node_scale{0.2};       // radius per unit of rate
    std::atomic<double> link_scale{0.6};       // line width per KB/s; 0 selects whole KB/s
    std::atomic<double> max_node_radius{0.5};  // upper bound of the radius, world units
    std::atomic<int> max_link_width{100};      // upper bound of the line width, pixels
    std::atomic<int> dynamic{1};               // 1: only changed hosts and active links
    std::atomic<int> bytes{1};                 // 1: size nodes by byte rate, 0: frame rate
    std::atomic<int> show_name{1};             // 1: label with the local name when there is one
    std::atomic<int> show_manufacturers{0};    // 1: add the manufacturer after the label
};
MapSettings& map_settings();
