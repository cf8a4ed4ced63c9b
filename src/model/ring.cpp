#include "model/ring.h"

#include "base/memory.h"
#include "model/net.h"

namespace {

// Takes the oldest slot out of the window: its counts leave the network, its sender
// and its link.
void drop_oldest(Network* network) {
    FrameRing* r = network->ring;
    const int at = r->oldest_position;
    const uint32_t len = r->lengths[at];
    network->frames_this_second -= 1;
    network->bytes_this_second -= len;
    if (Link* l = r->links[at]) {
        link_counts_change(l);
        l->source->frames_this_second -= 1;
        l->source->bytes_this_second -= len;
        l->frames_this_second -= 1;
        l->bytes_this_second -= len;
        r->links[at] = nullptr;
    }
    r->oldest_position = at + 1 == kRingSlots ? 0 : at + 1;
    --r->counted;
}

}  // namespace

FrameRing* ring_create() { return new_or_die<FrameRing>(); }

void ring_record(Network* network, Link* link, uint32_t length, TimeValue timestamp) {
    if (!network || !network->ring) return;
    FrameRing* r = network->ring;
    // The link of a frame about to leave the window was last touched thousands of
    // frames ago: ask for its lines a few frames early.
    if (r->counted > 8)
        if (const Link* soon = r->links[r->oldest_position + 8 < kRingSlots ? r->oldest_position + 8 : r->oldest_position + 8 - kRingSlots]) {
            for (int line = 0; line < int(sizeof(Link) / 64); ++line)
                __builtin_prefetch(reinterpret_cast<const char*>(soon) + 64 * line);
            __builtin_prefetch(soon->source);
        }
    // A full window gives up its oldest frame before that slot is reused.
    if (r->counted == kRingSlots) drop_oldest(network);

    const int at = r->write_position;
    r->timestamps[at] = timestamp;
    r->lengths[at] = length;
    r->links[at] = link;
    ++r->counted;
    network->frames_this_second += 1;
    network->bytes_this_second += length;
    if (link) {
        Host* h = link->source;
        h->frames_this_second += 1;
        h->bytes_this_second += length;
        link->frames_this_second += 1;
        link->bytes_this_second += length;
    }
    r->write_position = at + 1 == kRingSlots ? 0 : at + 1;
    ring_expire(network, timestamp);
}

void ring_expire(Network* network, TimeValue now) {
    if (!network || !network->ring) return;
    FrameRing* r = network->ring;
    while (r->counted > 0 && timer_more_than_one_second(r->timestamps[r->oldest_position], now))
        drop_oldest(network);
}

uint32_t ring_full_span_us(const Network* network) {
    if (!network || !network->ring || network->ring->counted < kRingSlots) return 0;
    const FrameRing* r = network->ring;
    const int newest = (r->write_position + kRingSlots - 1) % kRingSlots;
    return timer_elapsed_us(r->timestamps[r->oldest_position], r->timestamps[newest]);
}
