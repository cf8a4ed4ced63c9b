// The model's part of handling one frame.
#include "model/frame.h"

#include "base/memory.h"
#include "model/host_topn.h"
#include "model/link_topn.h"
#include "protocol/pd.h"

namespace {

// Tally nodes a link takes from its network at a time: a first block on cache lines of
// its own, enough for a link that carries one kind of traffic, then small blocks packed
// after whatever the network made last, so that a link pays for few nodes it never uses.
constexpr int kFirstTallyBlock = 6;
constexpr int kTallyBlock = 4;

ProtocolTally* new_tally(Link* link, const ProtocolNode* protocol) {
    ProtocolTally* t;
    Network* network = link->source ? link->source->network : nullptr;
    if (!network) {
        t = new_or_die<ProtocolTally>();
    } else {
        if (link->spare_tally_count == 0) {
            const int n = link->protocol_tree ? kTallyBlock : kFirstTallyBlock;
            link->spare_tallies = network->records.make_array<ProtocolTally>(size_t(n), n == kTallyBlock);
            link->spare_tally_count = uint8_t(n);
            link->spare_block_size = uint8_t(n);
        }
        t = link->spare_tallies++;
        --link->spare_tally_count;
    }
    t->protocol = protocol;
    hashtable_set(link->protocol_index, protocol, t);
    return t;
}

// Asks for the lines of a link's tally nodes: its first block and, when it has taken
// another, the block its next nodes come from.
void prefetch_tally(const Link* link) {
    auto lines = [](int nodes) { return int((nodes * sizeof(ProtocolTally) + 63) / 64); };
    const char* first = reinterpret_cast<const char*>(link->protocol_tree);
    if (!first) return;
    for (int line = 0; line < lines(kFirstTallyBlock); ++line) __builtin_prefetch(first + 64 * line);
    if (!link->spare_tallies) return;
    const char* last = reinterpret_cast<const char*>(link->spare_tallies -
                                                     (link->spare_block_size - link->spare_tally_count));
    if (last != first)  // packed: it may start within a line
        for (int line = 0; line <= lines(link->spare_block_size); ++line) __builtin_prefetch(last + 64 * line);
}

}  // namespace

void link_tally(Link* link, const ProtocolNode* const* path, uint32_t length) {
    if (!link || !path || !path[0]) return;
    link->colour_generation = 0;  // the bytes change: the link's dominant colour may too
    if (!link->protocol_tree) link->protocol_tree = new_tally(link, path[0]);
    ProtocolTally* node = link->protocol_tree;
    int i = 0;
    while (path[i] && node) {
        if (node->protocol == path[i]) {
            node->frames += 1;
            node->bytes += length;
            ++i;
            if (!node->first_child && path[i]) node->first_child = new_tally(link, path[i]);
            node = node->first_child;
        } else {
            if (!node->next) node->next = new_tally(link, path[i]);
            node = node->next;
        }
    }
}

void held_tally_flush(HeldTally* held) {
    if (!held || !held->link) return;
    link_tally(held->link, held->path, held->length);
    held->link = nullptr;
}

Link* frame_apply(Network* network, const uint8_t* frame, uint32_t captured, uint32_t length) {
    return frame_apply_held(network, frame, captured, length, nullptr);
}

Link* frame_apply_held(Network* network, const uint8_t* frame, uint32_t captured, uint32_t length, HeldTally* held) {
    if (!network || !frame || captured < 2 * kEtherAddrLen) return nullptr;
    NetAddress source, destination;
    ether_set(&source, frame + kEtherAddrLen);
    ether_set(&destination, frame);

    // The hosts and the link first, then the classification: while the classifier reads
    // the frame, the link's lines and its first tally nodes come in from memory.
    Host* src = host_find_or_create(network, &source);
    Host* dst = src ? host_find_or_create(network, &destination) : nullptr;
    Link* link = nullptr;
    if (dst) {
        link = link_between(src, dst);
        if (!link) link = link_create(src, dst);
        __builtin_prefetch(link);
        prefetch_tally(link);
    }
    const ProtocolNode* const* path = pd_classify(frame, captured, length);
    if (!dst) {
        // Beyond the host limit: the frame is the network's alone.
        network->unattributed_frames += 1;
        return nullptr;
    }
    host_topn_offer(network->top_hosts, src);
    src->total_frames += 1;
    src->total_bytes += length;
    src->display = 1;
    src->last_sent = model_clock();
    host_mark_busy(src);

    host_topn_offer(network->top_hosts, dst);
    dst->display = 1;
    host_mark_busy(dst);

    link_topn_offer(network->top_links, link);
    link->total_frames += 1;
    link->total_bytes += length;
    link->display = 1;
    link->last_seen = model_clock();
    link_mark_busy(link);

    if (!held) {
        link_tally(link, path, length);
        return link;
    }
    held_tally_flush(held);
    held->link = link;
    int i = 0;
    for (; path[i]; ++i) held->path[i] = path[i];
    held->path[i] = nullptr;
    held->length = length;
    return link;
}
