// Compares the protocols that the loaded protocol tree assigns to the frames of a
// capture with those that an independent dissector (tshark) finds, protocol by
// protocol, for the frames whose headers sit at the fixed offsets the tree assumes (and
// the frames behind IPv4 options down to their transport protocol).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace dissect {

struct CapturedFrame {
    std::vector<uint8_t> bytes;
    uint32_t wire_length = 0;
};

// Every frame of a pcap or pcapng file; false when it cannot be read.
bool read_capture(const std::string& path, std::vector<CapturedFrame>* frames);

// True when a tshark binary can be run.
bool tshark_available();

// The protocols tshark finds in each frame, in frame order: the frame.protocols
// tokens (reassembly off), with "802.3" added for frames that carry a length.
// Empty on failure.
std::vector<std::vector<std::string>> tshark_protocols(const std::string& path);

// "" when the frame's headers sit at the offsets the shipped tree assumes, else why
// not ("IPv4 options", "IPv6 extension header", ...).
std::string fixed_offset_exception(const std::vector<uint8_t>& frame);

struct Counts {
    int ours = 0;    // fixed-offset frames where our path names the protocol
    int theirs = 0;  // ... where tshark names it
    int both = 0;
};

struct Difference {
    int frame = 0;  // 1-based, as tshark numbers frames
    std::string ours, theirs, why;
};

struct Report {
    int frames = 0;
    int fixed = 0;
    std::map<std::string, int> not_fixed;       // reason -> frames
    int unnamed_service = 0;                    // service on our path, no payload for tshark to name
    int no_service_level = 0;                   // our path ends at a transport leaf (VLAN)
    std::map<std::string, Counts> protocols;    // tshark token -> counts
    std::vector<Difference> differences;
    std::string text() const;                   // a table for people
};

// Classifies each frame with the current tree (pd_classify) and compares. The
// tree's node names are mapped to tshark's protocol names by a table inside.
Report compare(const std::vector<CapturedFrame>& frames, const std::vector<std::vector<std::string>>& tshark);

// The tshark protocol name our node stands for, or "" for nodes with none (the root,
// catch-alls, message types).
std::string token_of(const std::string& node_name);

}  // namespace dissect
