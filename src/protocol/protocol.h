// The protocol tree: one ProtocolNode per name that a protocol definition file
// defines or uses. Built once by pdl_parse (pdl.h), walked by pd_classify (pd.h) for
// every frame, shown by the focus and alarm builders. Its shape never changes after
// loading; only the per-node statistics do. Nodes are never freed.
#pragma once

#include <cstdint>

// Traffic counted at one node since its last reset. Doubles, so that they never wrap.
struct ProtocolStats {
    double bytes = 0;   // sum of wire lengths of the frames counted
    double frames = 0;  // number of frames counted
};

inline constexpr int kProtocolNameMax = 31;   // characters of a node name or label
inline constexpr int kSymbolNameMax = 19;     // characters of a name in the name table

struct ProtocolRun;

// What the classifier reads of a node it tests (links, test) fills its first cache
// line; the statistics of a matched node and the names come after.
struct alignas(64) ProtocolNode {
    ProtocolNode* next = nullptr;         // next sibling in the parent's child list
    ProtocolNode* first_child = nullptr;  // first child, or null for a leaf
    // Set by the classifier on the first node of a run of siblings that test one field
    // in the same way (a port list): the run is then searched at once.
    const ProtocolRun* run = nullptr;
    int32_t header_length = 0;  // moves the test position of the grandchildren
    int32_t offset = 0;         // byte offset of the tested field
    int32_t alt_offset = 0;     // second offset tried when the first fails
    uint32_t low = 0;           // lowest matching value, or the mask of a mask test
    uint32_t high = 0;          // highest matching value
    int width = 0;              // 0 (read nothing), 1, 2 or 4 bytes, network order
    bool has_alt_offset = false;
    bool mask_test = false;     // test is (value & low) != 0
    alignas(64) ProtocolStats stats;
    char name[kProtocolNameMax + 1] = {};
    char label[kProtocolNameMax + 1] = {};
};
