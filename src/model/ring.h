// FrameRing: the one-second window of recent frames, 5000 slots per network. The
// per-second counters of the network, of each sending host and of each link are the
// sums over the slots from the oldest position up to the write position.
//
// At more than 5000 frames a second the window is full before its oldest frame is a
// second old. The oldest slot is then taken out of the window (its counts removed)
// before its slot is reused, so a counted slot is never overwritten: the per-second
// counters then hold the last 5000 frames. The network's load is scaled to the span
// of frame time those frames cover, so it stays the real rate (see netif_dispatch).
#pragma once

#include <cstdint>

#include "base/timer.h"

struct Network;
struct Link;

inline constexpr int kRingSlots = 5000;

// One slot a frame: its time, its wire length in full (jumbo or reassembled frames can
// be longer than 16 bits) and the link it was counted on (null for a frame without
// addresses), so that expiry takes its counts back without looking anything up.
struct FrameRing {
    int write_position = 0;
    int oldest_position = 0;
    int counted = 0;  // slots in the window (0 to 5000)
    uint32_t lengths[kRingSlots] = {};
    Link* links[kRingSlots] = {};
    TimeValue timestamps[kRingSlots];
};

[[nodiscard]] FrameRing* ring_create();
// Records one frame in the window and expires the slots more than a second older. The
// frame counts for the network, and for the link and its sender when it has one (null:
// a frame without addresses). The caller has set the model clock to `timestamp`.
void ring_record(Network* network, Link* link, uint32_t length, TimeValue timestamp);
// Drops from the window every slot more than one second older than `now`.
void ring_expire(Network* network, TimeValue now);
// Microseconds of frame time the window covers when it is full (oldest to newest), or
// 0 when the window is not full.
[[nodiscard]] uint32_t ring_full_span_us(const Network* network);
// A count over the window as a count a second: when the full window covers `span_us`
// (ring_full_span_us) of less than a second, the count is scaled to a second; otherwise
// (the window is not full, or its frames all share one time) it is the count.
[[nodiscard]] inline uint64_t ring_scale_to_second(uint64_t count, uint32_t span_us) {
    return span_us > 0 && span_us < 1000000 ? count * 1000000 / span_us : count;
}
