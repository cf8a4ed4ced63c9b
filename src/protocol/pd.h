// Frame classification: walks the protocol tree from its root, testing header fields
// of the frame, and returns the path of matched nodes, outermost first.
#pragma once

#include <cstdint>

#include "protocol/protocol.h"

// Longest path the classifier records; deeper trees stop after this many nodes.
inline constexpr int kPathMax = 6;

// Sets the tree that pd_classify walks (null: every path is empty). Called once at
// start-up after the protocol file has loaded, before capture starts.
void pd_set_root(ProtocolNode* root);
ProtocolNode* pd_root();

// Classifies one frame. `captured` bytes of `frame` are readable; `length` is the wire
// length, which is what the node statistics count. A field that lies wholly or partly
// past the captured bytes fails its test. Returns the classifier's own path buffer:
// up to kPathMax node references followed by null, valid until the next call.
// Allocates nothing. Capture thread only.
const ProtocolNode* const* pd_classify(const uint8_t* frame, uint32_t captured, uint32_t length);

// Frames and bytes counted at `node` since its last reset; 0 for null.
[[nodiscard]] double pd_stat_frames(const ProtocolNode* node);
[[nodiscard]] double pd_stat_bytes(const ProtocolNode* node);
// Sets both counters of `stats` to 0; null does nothing.
void pd_stat_reset(ProtocolStats* stats);
