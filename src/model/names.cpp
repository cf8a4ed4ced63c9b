#include "model/names.h"

// Until the name files are read, no host has a local name or a manufacturer.
const NameEntry* local_name_by_address(const NetAddress*) { return nullptr; }
const char* manufacturer_of(const NetAddress*) { return nullptr; }
