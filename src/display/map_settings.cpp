#include "display/map_settings.h"

MapSettings& map_settings() {
    static MapSettings s;
    return s;
}
