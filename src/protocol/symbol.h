// The protocol name table: every name that the protocol definition file defines or
// uses, with its ProtocolNode. Filled by pdl_parse (pdl.h); read by the alarm language
// scanner, which looks names up, and by the focus and alarm builders, which walk it.
// Lookup is by exact, case-sensitive name. Records and nodes stay put until
// symbol_reset, so references to them stay valid while the program runs.
#pragma once

#include <functional>

#include "protocol/protocol.h"

struct Symbol {
    char name[kProtocolNameMax + 1] = {};  // at most 19 characters from a file; catch-all names up to 25
    ProtocolNode* node = nullptr;          // never null
};

// The record of `name`, or null when the table does not hold it (also for null).
[[nodiscard]] const Symbol* symbol_lookup(const char* name);

// The record of `name`, created with a fresh node (name set, every other field zero)
// when the table does not hold it yet. `name` must fit Symbol::name; a longer one is
// refused with null. Used by the definition loader.
[[nodiscard]] Symbol* symbol_enter(const char* name);

// Calls `visit` for every record, in the order the names were first entered.
void symbol_foreach(const std::function<void(const Symbol&)>& visit);

// Number of records in the table.
[[nodiscard]] int symbol_count();

// Empties the table and frees every record and node in it. If the classifier's tree
// (pd_root) is one of those nodes, the classifier is left with no tree. Anything else
// that still refers to the nodes (link tallies, alarms, the focus) must be dropped
// first. The program never calls this; the loader does before each load.
void symbol_reset();
