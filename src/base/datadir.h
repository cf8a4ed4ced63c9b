// Where the shipped data files are (protocol.pdl, manf, ethers, font.bin, cfdump.bin,
// alarm.adl, demo.pcap, the help): one lookup that the program, the replay tool and the
// first start's settings key all use, so that an installed program, a build tree and a
// copy run from its data directory find the same files.
//
// The places, in this order:
//   1. the configured directory: $HOPSCOPE_DATA, when set;
//   2. the installed directory: share/hopscope beside the bin/ that holds the running
//      program (so any install prefix works, and a moved prefix too);
//   3. the source tree's data/, only for a program that runs from its build tree;
//   4. the working directory.
#pragma once

#include <string>
#include <vector>

inline constexpr char kDataDirEnv[] = "HOPSCOPE_DATA";

// The directories above that exist, in the order they are searched (the working
// directory as "."), without repeats.
[[nodiscard]] std::vector<std::string> data_dirs();

// The path of the data file `name` in the first of data_dirs() that holds it as a
// regular file that opens for reading; empty when none does.
[[nodiscard]] std::string data_find(const std::string& name);

// The directory data_find found `name` in (without a trailing '/'); empty when none.
[[nodiscard]] std::string data_dir_of(const std::string& name);

// The places searched, for messages: "A, B, C".
[[nodiscard]] std::string data_dirs_text();
