// The replay tool's command line.
#pragma once

#include <cstdio>
#include <string>

#include "model/engine.h"
#include "replay/map.h"

struct ReplayOptions {
    bool dump = false;     // --dump: print the model after the last frame
    bool timing = false;   // --timing: frames, seconds, frames per second, received and dropped, on standard error
    EngineOptions engine;  // --protocols, --no-classify, --ethers, --manufacturers
    bool from_file = false;  // a capture file was named (else --live)
    std::string file;        // the capture file
    std::string live;      // --live ADAPTER
    double duration = 10;  // --duration SECONDS, with --live
    int max_hosts = 0;     // --max-hosts N: 0 keeps the model's default
    bool map = false;      // --map FILE.png given
    ReplayMapOptions map_options;
    std::string alarms;      // --alarms FILE: the alarm engine's events, one a line
    bool alarms_on = false;  // --alarms-on: every alarm of the file switched on
    bool no_dump = false;    // --no-dump: cancels --dump
    std::string reports;   // --reports DIR: the three reports, in all three kinds, into DIR
    bool fixed_clock = false;  // --clock SECONDS given
    long long clock = 0;       // the wall clock's fixed time (seconds since 1970)
    bool no_protocols = false; // --no-protocols: no protocol tree (and no focus file) by default
    bool no_names = false;     // --no-names: no manufacturers file by default
    bool filter_given = false; // --filter EXPR given
    std::string filter;        // the capture filter, libpcap's filter syntax
};

enum class ReplayParse { run, help, usage_error };

// The shipped files the tool reads unless told otherwise, as the program does: the
// protocol tree, the manufacturers file and, for --map, the custom focus file (found as
// base/datadir.h says). --no-protocols leaves out the tree and the focus file,
// --no-names the manufacturers; a file named on the command line is kept; --focus
// alone keeps the built-in palette. A shipped file that cannot be found is left out.
void replay_apply_defaults(ReplayOptions* options);

// Parses argv into `options` (the defaults above applied). --help prints the usage on
// standard output, --version the version (help); a
// mistake prints what is wrong, and the usage where it helps (usage_error, exit status 2).
[[nodiscard]] ReplayParse replay_parse_options(int argc, char** argv, ReplayOptions* options);

// Parses "WxH" (both 1..16384). False for anything else.
[[nodiscard]] bool replay_parse_size(const char* text, int* width, int* height);

// Parses whole seconds since 1970 (0 up to the end of the year 9999). False otherwise.
[[nodiscard]] bool replay_parse_clock(const char* text, long long* seconds);

void replay_usage(std::FILE* out);
