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

#include "base/netaddr.h"
#include "base/timer.h"

struct Network;
struct Link;

inline constexpr int kRingSlots = 5000;

struct FrameSlot {
    NetAddress source;
    NetAddress destination;
    uint16_t length = 0;  // low 16 bits of the wire length
    TimeValue timestamp;
};

struct FrameRing {
    int write_position = 0;
    int oldest_position = 0;
    int counted = 0;  // slots in the window (0 to 5000)
    // Wire lengths of the slots in the window, in full: slot lengths keep only 16 bits,
    // and jumbo or reassembled frames can be longer.
    uint32_t lengths[kRingSlots] = {};
    // The link each counted slot was counted on (null for frames without addresses),
    // so that expiry finds it without looking the addresses up again.
    Link* links[kRingSlots] = {};
    FrameSlot slots[kRingSlots];
};

[[nodiscard]] FrameRing* ring_create();
// Records one frame in the window and expires the slots more than a second older.
// Frames with fewer than 12 readable bytes count for the network alone.
void ring_record(Network* network, const uint8_t* frame, uint32_t captured, uint32_t length, TimeValue timestamp);
// The same for a frame whose link the caller already has (null: no addresses).
void ring_record_link(Network* network, Link* link, const uint8_t* frame, uint32_t captured, uint32_t length,
                      TimeValue timestamp);
// Drops from the window every slot more than one second older than `now`.
void ring_expire(Network* network, TimeValue now);
// Microseconds of frame time the window covers when it is full (oldest to newest), or
// 0 when the window is not full.
[[nodiscard]] uint32_t ring_full_span_us(const Network* network);
