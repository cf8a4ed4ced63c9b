// Engine start-up: the steps every program of the engine runs before its first frame,
// in one order, and the reset that gives tests a fresh engine.
//
// The program (shell/shell.cpp) runs these stages through its start-up step table,
// because the alarm engine's steps fall between them; the replay tool, the benchmarks
// and the tests call engine_start or engine_reset. Window thread (or the tool's only
// thread), before any worker thread starts.
#pragma once

#include <string>

struct ProtocolNode;

struct EngineOptions {
    std::string protocols;      // protocol definition file; empty: none (frames are not classified)
    bool classify = true;       // false: the tree is loaded but frames are not walked along it
    std::string ethers;         // local names file; empty: none
    std::string manufacturers;  // manufacturers file; empty: none
};

enum class EngineStatus {
    ok,
    no_protocol_tree,          // the protocol file gives no tree (its messages were shown)
    ethers_unreadable,         // the local names file cannot be read
    manufacturers_unreadable,  // the manufacturers file cannot be read
};

// Every engine module's state as at process start: a fresh address-type table with the
// Ethernet type, an empty list of networks and no current network, the model clock at
// zero, no focus source and no classification tree. The name service, the name files
// and the capture sources keep their state (they have resets of their own:
// hostc_init, local_names_create, hscap::reset_sources).
void engine_reset();

// The name service's tables, queue and lock (hostc_init); before any name file.
void engine_start_name_service();

// Loads the protocol definition file and, with `classify`, makes its tree the one every
// frame is classified along. Returns the tree's root, or null (the parser has shown
// why) when the file gives none.
[[nodiscard]] ProtocolNode* engine_load_protocols(const char* path, bool classify);

// Reads the local names file and the manufacturers file; a null path is skipped. With
// `required`, a named file that cannot be read stops the reading with its status;
// otherwise its table is left empty without a message, as the program's start-up wants.
[[nodiscard]] EngineStatus engine_read_names(const char* ethers, const char* manufacturers, bool required);

// engine_reset, then the protocol tree, the name service and the name files of the
// options, in that order. A file named in the options that cannot be used ends the
// start with its status.
[[nodiscard]] EngineStatus engine_start(const EngineOptions& options);
