// The model's part of handling one frame: classification, hosts, link, top lists,
// totals and the link's protocol tally. The per-frame handler (netif.h) calls it for
// every frame the capture library delivers; nothing else writes these counts.
#pragma once

#include <cstdint>

#include "model/net.h"
#include "protocol/pd.h"

struct ProtocolNode;

// Applies one frame to the model: classification, hosts, link, top lists, totals and
// the link's protocol tally. `captured` bytes of `frame` are readable; `length` is the
// wire length, which everything counts. Frames with fewer than 12 readable bytes carry
// no addresses and are left to the frame ring alone (see netif_frame). Allocates only
// when a host, link or tally node is new. Returns the frame's link, or null.
Link* frame_apply(Network* network, const uint8_t* frame, uint32_t captured, uint32_t length);

// A frame's tally held back by one frame. Within a capture pass (the model lock held
// throughout) the tally of each frame is made while the next frame is handled, after
// that frame has asked for its own tally nodes' lines: the nodes of a link last seen
// thousands of frames ago then arrive while the work goes on instead of stalling it.
// The tallies are made in the frames' order; held_tally_flush makes the last one.
struct HeldTally {
    Link* link = nullptr;  // null: nothing held
    const ProtocolNode* path[kPathMax + 1] = {};
    uint32_t length = 0;
};
// frame_apply, with the frame's tally held in `held` and the one held before made.
Link* frame_apply_held(Network* network, const uint8_t* frame, uint32_t captured, uint32_t length, HeldTally* held);
// Makes the held tally, if any.
void held_tally_flush(HeldTally* held);
// Adds one classification path (null-terminated) to the link's tally tree.
void link_tally(Link* link, const ProtocolNode* const* path, uint32_t length);
