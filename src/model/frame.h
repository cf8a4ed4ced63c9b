// The model's part of handling one frame: classification, hosts, link, top lists,
// totals and the link's protocol tally. The per-frame handler (netif.h) calls it for
// every frame the capture library delivers; nothing else writes these counts.
#pragma once

#include <cstdint>

#include "model/net.h"

struct ProtocolNode;

// Applies one frame to the model: classification, hosts, link, top lists, totals and
// the link's protocol tally. `captured` bytes of `frame` are readable; `length` is the
// wire length, which everything counts. Frames with fewer than 12 readable bytes carry
// no addresses and are left to the frame ring alone (see netif_frame). Allocates only
// when a host, link or tally node is new. Returns the frame's link, or null.
Link* frame_apply(Network* network, const uint8_t* frame, uint32_t captured, uint32_t length);
// Adds one classification path (null-terminated) to the link's tally tree.
void link_tally(Link* link, const ProtocolNode* const* path, uint32_t length);
