// The replay tool where the drawing library is not built: no --map.
#include <cstdio>

#include "replay/map.h"

bool replay_map_available() { return false; }

bool replay_map_open(const ReplayMapOptions&) {
    std::fprintf(stderr, "hopscope-replay: built without the drawing library: no --map\n");
    return false;
}

bool replay_map_write(Network*, const std::string&) { return false; }
