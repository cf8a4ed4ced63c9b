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
        l->source->frames_this_second -= 1;
        l->source->bytes_this_second -= len;
        l->frames_this_second -= 1;
        l->bytes_this_second -= len;
        r->links[at] = nullptr;
    }
    r->oldest_position = (at + 1) % kRingSlots;
    --r->counted;
}

}  // namespace

FrameRing* ring_create() {
    auto* r = new_or_die<FrameRing>();
    for (FrameSlot& s : r->slots) {
        netaddr_init(&s.source, kEtherType);
        netaddr_init(&s.destination, kEtherType);
    }
    return r;
}

void ring_record(Network* network, const uint8_t* frame, uint32_t captured, uint32_t length, TimeValue timestamp) {
    Link* link = nullptr;
    if (network && frame && captured >= 2 * kEtherAddrLen) {
        NetAddress source, destination;
        ether_set(&source, frame + kEtherAddrLen);
        ether_set(&destination, frame);
        link = link_find(host_find(network, &source), &destination);
    }
    ring_record_link(network, link, frame, captured, length, timestamp);
}

void ring_record_link(Network* network, Link* link, const uint8_t* frame, uint32_t captured, uint32_t length,
                      TimeValue timestamp) {
    if (!network || !network->ring) return;
    FrameRing* r = network->ring;
    // A full window gives up its oldest frame before that slot is reused.
    if (r->counted == kRingSlots) drop_oldest(network);

    const int at = r->write_position;
    FrameSlot& slot = r->slots[at];
    const bool addressed = frame && captured >= 2 * kEtherAddrLen;
    if (addressed) {
        ether_set(&slot.source, frame + kEtherAddrLen);
        ether_set(&slot.destination, frame);
    } else {
        // No addresses: an untyped address never matches a host, so expiry touches
        // the network's counts alone.
        slot.source.type = nullptr;
        slot.destination.type = nullptr;
    }
    slot.length = static_cast<uint16_t>(length);
    slot.timestamp = timestamp;
    r->lengths[at] = length;
    ++r->counted;
    model_set_clock(timestamp);

    network->frames_this_second += 1;
    network->bytes_this_second += length;
    r->links[at] = addressed ? link : nullptr;
    if (Link* l = r->links[at]) {
        Host* h = l->source;
        h->frames_this_second += 1;
        h->bytes_this_second += length;
        h->last_sent = timestamp;
        l->frames_this_second += 1;
        l->bytes_this_second += length;
        l->last_seen = timestamp;
    }
    r->write_position = (at + 1) % kRingSlots;
    ring_expire(network, timestamp);
}

void ring_expire(Network* network, TimeValue now) {
    if (!network || !network->ring) return;
    FrameRing* r = network->ring;
    while (r->counted > 0 && timer_more_than_one_second(r->slots[r->oldest_position].timestamp, now))
        drop_oldest(network);
}

uint32_t ring_full_span_us(const Network* network) {
    if (!network || !network->ring || network->ring->counted < kRingSlots) return 0;
    const FrameRing* r = network->ring;
    const int newest = (r->write_position + kRingSlots - 1) % kRingSlots;
    return timer_elapsed_us(r->slots[r->oldest_position].timestamp, r->slots[newest].timestamp);
}
