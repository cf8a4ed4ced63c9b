#include "model/net.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "base/memory.h"
#include "model/host_topn.h"
#include "model/link_topn.h"
#include "model/names/names.h"

namespace {

// The model's state. Its settings and its lock are model_settings() and model_lock().
struct ModelState {
    List* networks = nullptr;
    std::atomic<Network*> current{nullptr};
    std::atomic<TextWidthFn> text_width{nullptr};
    std::atomic<FocusSource> focus_source{nullptr};
    TimeValue clock;  // the model clock
    // The focus that the refresh last coloured links by, and its generation: a link whose
    // colour_generation equals it has the colour that focus gives its tally. A focus's
    // entries are never changed in place (a new focus is a new view), so a new source,
    // entries or count is a new generation. Capture thread only.
    FocusSource coloured_source = nullptr;
    FocusView coloured_focus;
    uint32_t colour_generation = 1;
};
ModelState g_model;

float text_width(const char* text) {
    TextWidthFn fn = g_model.text_width.load(std::memory_order_relaxed);
    return fn ? fn(text) : 0.0f;
}

float text_height() { return 0.06f * static_cast<float>(model_settings().font_scale.load(std::memory_order_relaxed)); }

void copy_text(char* dst, const char* src) {
    std::strncpy(dst, src, kHostTextLen - 1);
    dst[kHostTextLen - 1] = '\0';
}

int pointer_hash(const void* key) { return static_cast<int>(reinterpret_cast<uintptr_t>(key)); }

int pointer_compare(const void* stored, const void* probe) {
    return stored == probe ? 0 : (reinterpret_cast<uintptr_t>(stored) < reinterpret_cast<uintptr_t>(probe) ? -1 : 1);
}

bool active(TimeValue last, int timeout_seconds) {
    if (timer_is_zero(last)) return false;
    return int64_t(timer_elapsed_ms(last, g_model.clock)) < int64_t(timeout_seconds) * 1000;
}

}  // namespace

void rate_push(RateAverage* rate, uint32_t sample) {
    rate->sum = rate->sum - rate->samples[rate->index] + sample;
    rate->samples[rate->index] = sample;
    rate->index = rate->index + 1 == kRateSamples ? 0 : rate->index + 1;
    rate->mean = double(rate->sum) / kRateSamples;
}

bool HostAddressBefore::operator()(const NetAddress* a, const NetAddress* b) const {
    // The address compare orders b before a when it is positive: ascending bytes.
    return netaddr_compare(a, b) > 0;
}

ModelSettings& model_settings() {
    static ModelSettings s;
    return s;
}

void model_set_text_width(TextWidthFn fn) { g_model.text_width.store(fn); }
void model_set_focus_source(FocusSource fn) { g_model.focus_source.store(fn); }

std::shared_mutex& model_lock() {
    static std::shared_mutex m;
    return m;
}

TimeValue model_clock() { return g_model.clock; }
void model_set_clock(TimeValue t) { g_model.clock = t; }

void model_reset() {
    net_list_create();
    g_model.clock = {};
    g_model.focus_source.store(nullptr);
}

void net_list_create() {
    g_model.networks = list_create();
    g_model.current.store(nullptr);
}

List* net_list() { return g_model.networks; }

Network* net_create(const char* adapter_name) {
    auto* n = new_or_die<Network>();
    std::memset(n->name, 0, sizeof n->name);
    if (adapter_name) std::strncpy(n->name, adapter_name, kNetworkNameMax);
    // Keys are the hosts' own addresses: a host lives as long as its network.
    n->host_table = hashtable_create(netaddr_hash_key, netaddr_compare_key, nullptr, nullptr);
    hashtable_set_index_hash(n->host_table, netaddr_index_hash_key);
    n->host_list = list_create();
    n->ring = ring_create();
    n->top_links = link_topn_create();
    n->top_hosts = host_topn_create();
    n->top_alarms = nullptr;  // the alarm engine creates its list with its accessors
    return n;
}

void net_list_add(Network* network) {
    if (!g_model.networks) net_list_create();
    list_prepend(g_model.networks, network);
}

Network* net_find(const char* adapter_name) {
    Network* found = nullptr;
    if (adapter_name)
        net_for_each_network([&](Network* net) {
            if (!found && std::strcmp(net->name, adapter_name) == 0) found = net;
        });
    return found;
}

Network* net_current() { return g_model.current.load(std::memory_order_acquire); }

void net_set_current(Network* network) {
    if (network) g_model.current.store(network, std::memory_order_release);
}

namespace {

bool is_ether(const NetAddress* a) { return a && a->type && a->type->index == kEtherType; }

// An Ethernet address as a key of the host index: its six bytes.
uint64_t ether_key(const NetAddress* a) {
    uint64_t k = 0;
    std::memcpy(&k, a->storage, kEtherAddrLen);
    return k;
}

}  // namespace

Host* host_find(const Network* network, const NetAddress* address) {
    void* v = nullptr;
    if (!network) return nullptr;
    if (network->unindexed_hosts == 0 && is_ether(address)) return network->host_index.find(ether_key(address));
    hashtable_lookup(network->host_table, address, &v);
    return static_cast<Host*>(v);
}

Link* link_find(const Host* host, const NetAddress* destination) {
    void* v = nullptr;
    if (!host) return nullptr;
    hashtable_lookup(host->link_table, destination, &v);
    return static_cast<Link*>(v);
}

Link* link_between(const Host* source, const Host* destination) {
    if (!source || !destination) return nullptr;
    if (!source->network) return link_find(source, &destination->address);
    return source->network->link_index.find(PointerPair{source, destination});
}

Host* host_create(Network* network, const NetAddress* address) {
    auto* h = new_or_die<Host>();
    h->network = network;
    netaddr_copy(&h->address, address);
    netaddr_format(&h->address, h->address_text, sizeof h->address_text);
    h->address_width = text_width(h->address_text);
    h->address_height = text_height();

    NetAddress manufacturer_key;
    netaddr_copy(&manufacturer_key, address);
    for (int i = 3; i < kEtherAddrLen; ++i) manufacturer_key.storage[i] = 0;

    const NameEntry* entry = local_name_by_address(address);
    h->top_hosts_place = -1;
    if (entry && entry->name && entry->name[0]) {
        copy_text(h->name_text, entry->name);
        h->name_width = text_width(h->name_text);
        h->name_height = text_height();
        h->name = h->name_text;
    }
    h->address_label = h->address_text;
    if (const char* maker = manufacturer_of(&manufacturer_key)) {
        copy_text(h->manufacturer_text, maker);
        h->manufacturer_width = text_width(h->manufacturer_text);
        h->manufacturer_height = text_height();
    }
    // Keys are the destinations' own addresses.
    h->link_table = hashtable_create_in(network ? &network->records : nullptr, netaddr_hash_key, netaddr_compare_key,
                                        nullptr, nullptr);
    if (network) {
        hashtable_set(network->host_table, &h->address, h);
        if (is_ether(&h->address)) network->host_index.set(ether_key(&h->address), h);
        else ++network->unindexed_hosts;
        // After the last host whose address comes before this one.
        auto& places = network->host_places;
        auto next = places.lower_bound(&h->address);
        ListNode* after = next == places.begin() ? nullptr : std::prev(next)->second;
        places.emplace_hint(next, &h->address, list_insert_after(network->host_list, after, h));
        ++network->host_count;
        // Room for every host in the busy list, so that listing one never allocates.
        if (network->busy_hosts.capacity() < size_t(network->host_count))
            network->busy_hosts.reserve(2 * size_t(network->host_count));
    }
    return h;
}

Host* host_find_or_create(Network* network, const NetAddress* address) {
    if (Host* h = host_find(network, address)) return h;
    if (!network || network->host_count >= model_settings().max_hosts.load(std::memory_order_relaxed)) return nullptr;
    return host_create(network, address);
}

Link* link_create(Host* source, Host* destination) {
    Network* network = source ? source->network : nullptr;
    Link* l = network ? network->records.make<Link>() : new_or_die<Link>();
    l->source = source;
    l->destination = destination;
    l->protocol_index = hashtable_create_in(network ? &network->records : nullptr, pointer_hash, pointer_compare,
                                            nullptr, nullptr);
    l->colour_index = 0;
    l->display = 1;
    l->top_links_place = -1;
    hashtable_set(source->link_table, &destination->address, l);
    if (Network* n = source->network) {
        n->link_index.set(PointerPair{source, destination}, l);
        // Room for every link in the busy and steady lists, so that listing one never
        // allocates.
        if (n->busy_links.capacity() < ++n->link_count) n->busy_links.reserve(2 * n->link_count);
        if (n->resting_links.capacity() < n->link_count) n->resting_links.reserve(2 * n->link_count);
    }
    return l;
}

namespace {

int dominant_colour(const Link* link, FocusView focus) {
    uint64_t best = 0;
    int result = -1;
    for (int i = 0; i < focus.count; ++i) {
        void* v = nullptr;
        if (!hashtable_lookup(link->protocol_index, focus.entries[i].protocol, &v)) continue;
        auto* node = static_cast<const ProtocolTally*>(v);
        if (node->bytes > best) {
            best = node->bytes;
            result = focus.entries[i].colour;
        }
    }
    return result;
}

}  // namespace

int link_dominant_colour(const Link* link) {
    FocusSource src = g_model.focus_source.load(std::memory_order_acquire);
    if (!src || !link) return -1;
    return dominant_colour(link, src());
}

void host_mark_busy(Host* host) {
    if (host->busy || !host->network) return;
    host->busy = true;
    host->network->busy_hosts.push_back(host);
}

namespace {

// Pushes `sample` `count` times, as that many refreshes would: after ten, every slot
// holds it and the index has moved on by `count`.
void push_repeated(RateAverage* rate, uint32_t sample, uint64_t count) {
    if (count == 0) return;
    if (count >= uint64_t(kRateSamples)) {
        for (uint32_t& s : rate->samples) s = sample;
        rate->sum = uint64_t(sample) * kRateSamples;
        rate->index = int((uint64_t(rate->index) + count) % kRateSamples);
    } else {
        int at = rate->index;
        uint64_t sum = rate->sum;
        for (uint64_t i = 0; i < count; ++i) {
            sum = sum - rate->samples[at] + sample;
            rate->samples[at] = sample;
            at = at + 1 == kRateSamples ? 0 : at + 1;
        }
        rate->sum = sum;
        rate->index = at;
    }
    rate->mean = double(rate->sum) / kRateSamples;
}

// The mean that `count` more pushes of `sample` would give, without making them.
double mean_after(const RateAverage& rate, uint32_t sample, uint64_t count) {
    if (count == 0) return rate.mean;
    if (count >= uint64_t(kRateSamples)) return double(uint64_t(sample) * kRateSamples) / kRateSamples;
    uint64_t sum = rate.sum;
    for (uint64_t i = 0, at = uint64_t(rate.index); i < count; ++i, at = (at + 1) % kRateSamples)
        sum = sum - rate.samples[at] + sample;
    return double(sum) / kRateSamples;
}

// Refreshes a resting link's averages skipped since it was set aside.
uint64_t spared_pushes(const Link* l) {
    return l->resting ? l->source->network->refresh_count - l->resting_since : 0;
}

// Wakes a resting link: its averages get the pushes it was spared, and it is refreshed
// again from the next pass.
void wake_link(Link* l) {
    const uint64_t spared = spared_pushes(l);
    push_repeated(&l->frame_rate, l->frames_this_second, spared);
    push_repeated(&l->byte_rate, l->bytes_this_second, spared);
    if (l->resting == kRestingActive) {
        --l->source->resting_links;
        --l->destination->resting_links;
    }
    l->resting = kAwake;
}

}  // namespace

void link_mark_busy(Link* link) {
    if (link->busy || !link->source || !link->source->network) return;
    if (link->resting) wake_link(link);
    link->busy = true;
    link->source->network->busy_links.push_back(link);
}

void link_counts_change(Link* link) {
    if (!link || !link->source || !link->source->network) return;
    if (!link->resting) {
        link_mark_busy(link);
        return;
    }
    // Resting, it stays so: the pushes it was spared were of the counts it has now; from
    // here on it lacks pushes of the counts it is about to have. Its flags, colour and
    // timeout do not depend on the counts.
    const uint64_t spared = spared_pushes(link);
    push_repeated(&link->frame_rate, link->frames_this_second, spared);
    push_repeated(&link->byte_rate, link->bytes_this_second, spared);
    link->resting_since = link->source->network->refresh_count;
}

double link_byte_rate(const Link* link) {
    return link ? mean_after(link->byte_rate, link->bytes_this_second, spared_pushes(link)) : 0;
}

double link_frame_rate(const Link* link) {
    return link ? mean_after(link->frame_rate, link->frames_this_second, spared_pushes(link)) : 0;
}

namespace {

// What every link's refresh in one pass shares.
struct LinkPass {
    int link_timeout;
    FocusView focus;  // empty without a focus source
    uint32_t colour_generation;
};

// Refreshes one link; returns whether it is still busy afterwards. The dominant colour
// is worked out again only when the tally or the focus changed since it last was: it
// is a function of those two alone.
bool refresh_link(Link* l, const LinkPass& pass) {
    rate_push(&l->frame_rate, l->frames_this_second);
    rate_push(&l->byte_rate, l->bytes_this_second);
    if (active(l->last_seen, pass.link_timeout)) {
        if (l->colour_generation != pass.colour_generation) {
            l->colour_index = dominant_colour(l, pass.focus);
            l->colour_generation = pass.colour_generation;
        }
        l->display = 1;
        l->source->display = 1;
        l->destination->display = 1;
        host_mark_busy(l->source);
        host_mark_busy(l->destination);
    } else {
        l->display = 0;
    }
    return l->display || l->frames_this_second || l->bytes_this_second || l->frame_rate.sum != 0 ||
           l->byte_rate.sum != 0;
}

bool clock_before(TimeValue a, TimeValue b) {
    return a.seconds < b.seconds || (a.seconds == b.seconds && a.microseconds < b.microseconds);
}

}  // namespace

namespace {

// Refreshes one host; returns whether it is still busy afterwards.
bool refresh_host(Host* h, int node_timeout) {
    rate_push(&h->frame_rate, h->frames_this_second);
    rate_push(&h->byte_rate, h->bytes_this_second);
    // A steady active link flags its ends as the refresh of an active link does.
    h->display = active(h->last_sent, node_timeout) || h->resting_links > 0 ? 1 : 0;
    return h->display || h->frames_this_second || h->bytes_this_second || h->frame_rate.sum != 0 ||
           h->byte_rate.sum != 0;
}

}  // namespace

// Busy hosts and links whose lines the refresh asks for ahead of the one it is on.
constexpr size_t kAhead = 16;

namespace {

// When an active link times out: `timeout_seconds` after its last frame.
TimeValue time_out_at(const Link* l, int timeout_seconds) {
    return TimeValue{int32_t(std::min<int64_t>(INT32_MAX, int64_t(l->last_seen.seconds) + timeout_seconds)),
                     l->last_seen.microseconds};
}

// Sets a link aside after its refresh in this pass: until it wakes, it lacks one push
// of its counts per later refresh.
void set_aside(Network* network, Link* l, int link_timeout) {
    l->busy = false;
    l->resting_since = network->refresh_count + 1;
    if (l->display) {
        l->resting = kRestingActive;
        ++l->source->resting_links;
        ++l->destination->resting_links;
        const TimeValue at = time_out_at(l, link_timeout);
        if (clock_before(at, network->resting_wake)) network->resting_wake = at;
    } else {
        l->resting = kRestingIdle;  // inactive with counts in its window: only a frame can change it
    }
    if (!l->listed_resting) {
        l->listed_resting = true;
        network->resting_links.push_back(l);
    }
}

// Drops the entries of links that have woken, wakes the resting links that time out by
// now (they are refreshed in this pass) and finds the next time one will.
void sweep_resting(Network* network, int link_timeout) {
    std::vector<Link*>& resting = network->resting_links;
    TimeValue wake{INT32_MAX, 0};
    size_t kept = 0;
    for (Link* l : resting) {
        if (l->resting == kRestingActive) {
            const TimeValue at = time_out_at(l, link_timeout);
            if (!clock_before(g_model.clock, at)) {
                link_mark_busy(l);
            } else {
                if (clock_before(at, wake)) wake = at;
                resting[kept++] = l;
                continue;
            }
        } else if (l->resting == kRestingIdle) {
            resting[kept++] = l;
            continue;
        }
        l->listed_resting = false;
    }
    resting.resize(kept);
    network->resting_wake = wake;
}

}  // namespace

void net_refresh(Network* network) {
    if (!network) return;
    const int node_timeout = model_settings().node_timeout.load(std::memory_order_relaxed);
    const int link_timeout = model_settings().link_timeout.load(std::memory_order_relaxed);
    std::vector<Host*>& busy_hosts = network->busy_hosts;
    std::vector<Link*>& busy = network->busy_links;
    // Idle hosts and links are skipped: a refresh would leave them as they are (zero
    // samples into all-zero averages, still inactive) for as long as the clock does not
    // go back and no timeout changes. Resting links are skipped too (see Network). When
    // one of those happens, visit them all, in host-list and link-table order.
    LinkPass pass{link_timeout, {}, 0};
    const FocusSource src = g_model.focus_source.load(std::memory_order_acquire);
    if (src) pass.focus = src();
    if (src != g_model.coloured_source || pass.focus.entries != g_model.coloured_focus.entries ||
        pass.focus.count != g_model.coloured_focus.count) {
        g_model.coloured_source = src;
        g_model.coloured_focus = pass.focus;
        if (++g_model.colour_generation == 0) g_model.colour_generation = 1;  // 0 means "not worked out"
    }
    pass.colour_generation = g_model.colour_generation;
    // A changed timeout or focus, or a clock that stepped back, may change any link
    // and host, the idle and resting ones too.
    const bool visit_all = clock_before(g_model.clock, network->refreshed_at) ||
                           node_timeout != network->refreshed_node_timeout ||
                           link_timeout != network->refreshed_link_timeout ||
                           pass.colour_generation != network->refreshed_colour_generation;
    std::vector<Link*>& resting = network->resting_links;
    if (visit_all) {
        for (Link* l : resting) {
            if (l->resting) wake_link(l);
            l->listed_resting = false;
        }
        resting.clear();
        network->resting_wake = {INT32_MAX, 0};
        busy_hosts.clear();
        net_for_each_host(network, [&](Host* h) {
            h->busy = refresh_host(h, node_timeout);
            if (h->busy) busy_hosts.push_back(h);
        });
        busy.clear();
        net_for_each_host(network, [&](const Host* h) {
            host_for_each_link(h, [&](Link* l) {
                l->busy = refresh_link(l, pass);
                if (l->busy) set_aside(network, l, link_timeout);
            });
        });
    } else {
        if (!clock_before(g_model.clock, network->resting_wake)) sweep_resting(network, link_timeout);
        size_t kept = 0;
        const size_t hosts = busy_hosts.size();
        for (size_t i = 0; i < hosts; ++i) {
            if (i + kAhead < hosts) {
                __builtin_prefetch(busy_hosts[i + kAhead]);
                __builtin_prefetch(reinterpret_cast<const char*>(busy_hosts[i + kAhead]) + 64);
                __builtin_prefetch(reinterpret_cast<const char*>(busy_hosts[i + kAhead]) + 128);
            }
            Host* h = busy_hosts[i];
            h->busy = refresh_host(h, node_timeout);
            if (h->busy) busy_hosts[kept++] = h;
        }
        busy_hosts.resize(kept);
        // The links that woke since the last refresh: a frame came or left, or they
        // time out now. Refreshed, they rest again until the next change.
        const size_t n = busy.size();
        for (size_t i = 0; i < n; ++i) {
            if (i + kAhead < n)
                for (int line = 0; line < int(sizeof(Link) / 64); ++line)
                    __builtin_prefetch(reinterpret_cast<const char*>(busy[i + kAhead]) + 64 * line);
            Link* l = busy[i];
            l->busy = refresh_link(l, pass);
            if (l->busy) set_aside(network, l, link_timeout);
        }
        busy.clear();
    }
    network->refreshed_at = g_model.clock;
    network->refreshed_node_timeout = node_timeout;
    network->refreshed_link_timeout = link_timeout;
    network->refreshed_colour_generation = pass.colour_generation;
    ++network->refresh_count;
}

void link_recolour_all(Network* network) {
    if (!network) return;
    net_for_each_host(network, [](const Host* h) {
        host_for_each_link(h, [](Link* l) { l->colour_index = link_dominant_colour(l); });
    });
}

const char* host_label(const Host* host) {
    if (!host) return "";
    return host->name ? host->name : host->address_text;
}
