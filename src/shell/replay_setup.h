// Engine start-up for the headless tools: addresses, protocol tree, name files.
#pragma once

#include <string>

struct ProtocolNode;

struct ReplayOptions {
    std::string protocols;  // protocol definition file, empty for none
    bool classify = true;
    std::string ethers;         // local names file, empty for none
    std::string manufacturers;  // manufacturers file, empty for none
};

// Runs the engine part of start-up. Returns false (after a message on standard error)
// when a file named in the options cannot be used.
bool replay_setup(const ReplayOptions& options);

// The name a tally record shows for a protocol node.
const char* protocol_name(const ProtocolNode* node);
