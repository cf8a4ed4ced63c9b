// The traffic model: one Network per adapter, one Host per Ethernet address seen, one
// Link per ordered (source, destination) pair. Hosts and links are never removed.
//
// Threads: the capture-and-draw thread is the only writer. It holds the model lock
// (model_lock()) exclusively while it applies frames, refreshes and renders; every
// other thread that reads hosts, links, counters or top lists holds it shared. The
// capture thread takes the lock only once frames have arrived in a pass, so a reader
// never waits for the capture library's read time-out.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "base/hashtable.h"
#include "base/key_index.h"
#include "base/list.h"
#include "base/memory.h"
#include "base/netaddr.h"
#include "model/ring.h"
#include "base/timer.h"
#include "model/topn.h"

struct ProtocolNode;
struct Network;
struct Link;

inline constexpr int kNetworkNameMax = 255;
inline constexpr int kHostTextLen = 80;
inline constexpr int kRateSamples = 10;

// Ten samples in a ring; the mean counts empty slots as zero. The samples are whole
// counts (a second's frames or bytes), so the running sum of the ring is exact and the
// mean is that of all ten slots. One cache line.
struct RateAverage {
    uint32_t samples[kRateSamples] = {};
    int index = 0;
    double mean = 0;
    uint64_t sum = 0;
};
void rate_push(RateAverage* rate, uint32_t sample);

// One node of a link's protocol tally tree (first-child, next-sibling form).
struct ProtocolTally {
    ProtocolTally* next = nullptr;
    ProtocolTally* first_child = nullptr;
    const ProtocolNode* protocol = nullptr;
    uint64_t bytes = 0;
    uint64_t frames = 0;
};

struct Host {
    // What the refresh reads and writes for a busy host comes first (see Link).
    uint32_t frames_this_second = 0;
    uint32_t bytes_this_second = 0;
    TimeValue last_sent;
    int display = 0;
    bool busy = false;  // listed in the network's busy hosts
    int resting_links = 0;  // active links set aside that start or end here
    RateAverage frame_rate;
    RateAverage byte_rate;
    Network* network = nullptr;
    const char* name = nullptr;           // name_text when the host has a local name, else null
    NetAddress address;
    const char* address_label = nullptr;  // always address_text
    HashTable* link_table = nullptr;      // destination NetAddress -> Link
    uint64_t total_frames = 0;
    uint64_t total_bytes = 0;
    char name_text[kHostTextLen] = {};
    float name_width = 0, name_height = 0;
    char address_text[kHostTextLen] = {};
    float address_width = 0, address_height = 0;
    char manufacturer_text[kHostTextLen] = {};
    float manufacturer_width = 0, manufacturer_height = 0;
    double map_x = 0, map_y = 0;
    int top_hosts_place = -1;
};

// Links start on a cache line (a network keeps them side by side in its record arena).
// The first line holds what every frame of the link reads and writes; the next two its
// rate averages, which the refresh pushes; the last the rest.
struct alignas(64) Link {
    uint32_t frames_this_second = 0;
    uint32_t bytes_this_second = 0;
    TimeValue last_seen;
    int display = 1;
    int top_links_place = -1;
    // The colour generation (see net_refresh) that colour_index was worked out for; 0
    // once the tally has changed since.
    uint32_t colour_generation = 0;
    // Whether the refresh has set the link aside (see net_refresh).
    uint8_t resting = 0;  // kAwake, kRestingIdle or kRestingActive
    bool listed_resting = false;  // in the network's resting list
    bool busy = false;            // listed in the network's busy links
    ProtocolTally* protocol_tree = nullptr;
    Host* source = nullptr;
    uint64_t total_frames = 0;
    uint64_t total_bytes = 0;

    RateAverage frame_rate;
    RateAverage byte_rate;

    // The refresh count from which a resting link's averages lack one push of its
    // counts per refresh.
    uint64_t resting_since = 0;
    Host* destination = nullptr;
    int colour_index = 0;
    uint8_t spare_tally_count = 0;
    uint8_t spare_block_size = 0;  // nodes of the block the spare ones are in
    // Tally nodes made ahead, side by side, for this link's next new nodes: a frame's
    // walk down the tree then stays within a few neighbouring cache lines.
    ProtocolTally* spare_tallies = nullptr;
    HashTable* protocol_index = nullptr;  // ProtocolNode* -> ProtocolTally*
};
static_assert(offsetof(Link, frame_rate) == 64 && sizeof(Link) == 256, "a link's lines as described");

// The host list's order (ascending address) as a strict order, for the index of the
// host list.
struct HostAddressBefore {
    bool operator()(const NetAddress* a, const NetAddress* b) const;
};

struct Network {
    char name[kNetworkNameMax + 1] = {};
    HashTable* host_table = nullptr;  // NetAddress -> Host
    List* host_list = nullptr;        // of Host, ascending address bytes
    int host_count = 0;
    // Beside the host list: each host's node in it, by address, so that a new host finds
    // its place without walking the list.
    std::map<const NetAddress*, ListNode*, HostAddressBefore> host_places;
    // Frames that no host could be made for (the host limit was reached): they count in
    // the network's figures and in no host's or link's.
    uint64_t unattributed_frames = 0;
    uint32_t dropped = 0;
    uint32_t load = 0;
    int peak_load = 0;
    float average_load = 0;
    uint32_t frames_this_second = 0;
    uint32_t bytes_this_second = 0;
    FrameRing* ring = nullptr;
    TopList* top_links = nullptr;
    TopList* top_hosts = nullptr;
    TopList* top_alarms = nullptr;
    // Links that the next refresh must visit: those a frame has used or that woke from
    // rest (see resting_links) since the last one. Every other link is resting or idle:
    // a refresh would leave an idle one as it is (zero samples into an all-zero average,
    // still inactive) for as long as the clock does not go back and no timeout changes,
    // so the refresh visits them all only then.
    std::vector<Link*> busy_links;
    size_t link_count = 0;
    // Hosts that a refresh must visit, alike: those that a frame or an active link
    // flagged, with traffic in the window, a rate average above zero or an active flag.
    std::vector<Host*> busy_hosts;
    // Links set aside by the refresh. Between the refresh that sets a link aside and a
    // change of its counts (a frame into or out of its window), every refresh would
    // push the same two samples into its averages and leave the rest of it as it is
    // until it times out. So the refresh does not visit it: the pushes it was spared
    // are made when it wakes (link_mark_busy), or computed by link_byte_rate. It wakes
    // on a frame in or out of its window, when it times out, on a new focus or
    // timeout, and when the clock steps back. An entry whose link has woken stays
    // until the next sweep; resting_wake is the earliest time at which a resting
    // active link times out.
    std::vector<Link*> resting_links;
    TimeValue resting_wake{INT32_MAX, 0};
    uint64_t refresh_count = 0;  // refreshes done
    uint32_t refreshed_colour_generation = 0;
    TimeValue refreshed_at;  // model clock at the last refresh
    // The timeouts of the last refresh: a longer one may make an idle host or link
    // active again, and the refresh then visits them all.
    int refreshed_node_timeout = -1, refreshed_link_timeout = -1;
    // Where the network's links and their tally nodes live, in the order they were made.
    RecordArena records;
    // Beside the host table and the link tables, for the per-frame lookups: hosts by
    // Ethernet address, links by their two hosts. The tables keep the order users see.
    KeyIndex<Host> host_index;
    KeyIndex<Link, PointerPair> link_index;
    int unindexed_hosts = 0;  // hosts whose address is not an Ethernet one (none today)
};

inline constexpr uint8_t kAwake = 0, kRestingIdle = 1, kRestingActive = 2;  // Link::resting

inline constexpr int kDefaultMaxHosts = 65536;
inline constexpr int kMinMaxHosts = 2;
inline constexpr int kMaxMaxHosts = 16777216;

// --- settings the model reads ---
// Owned here and bound to the settings key ("node timeout", "link timeout", "font
// size", "max hosts") by the settings table (shell/settings.cpp). Changed by the settings load and
// by menus and panels on the window thread, read by the capture thread, hence atomic.
struct ModelSettings {
    std::atomic<int> node_timeout{10};    // seconds a sender stays active
    std::atomic<int> link_timeout{5};     // seconds a link stays active
    std::atomic<double> font_scale{0.5};  // F: labels are 0.06 x F high (used as a float)
    std::atomic<int> max_hosts{kDefaultMaxHosts};  // hosts a network makes at most
};
ModelSettings& model_settings();

// Width in map units of a text at the current stroke-font text size. Until the stroke
// font is loaded every width is 0.
using TextWidthFn = float (*)(const char* text);
void model_set_text_width(TextWidthFn fn);

// The current custom focus: entries in order, each a protocol and a colour index.
struct FocusEntry {
    const ProtocolNode* protocol;
    int colour;
};
struct FocusView {
    const FocusEntry* entries = nullptr;
    int count = 0;
};
// Returns the focus to colour links by. Until a focus module installs one, the focus
// is empty and every link's colour is -1.
using FocusSource = FocusView (*)();
void model_set_focus_source(FocusSource fn);

// The lock that orders the capture thread's writes against other threads' reads. Take
// it through the guards below.
std::shared_mutex& model_lock();

// Holds the model lock shared for its lifetime: what a reader on another thread than
// the capture thread (a list window, a report, a panel, the alarm thread) holds while it
// reads hosts, links, counters or top lists.
class ModelReadLock {
public:
    ModelReadLock() : lock_(model_lock()) {}

private:
    std::shared_lock<std::shared_mutex> lock_;
};

// Holds the model lock exclusively: the capture thread while it writes the model, and
// whoever moves items (re-sorting a top list) or writes host display fields. Deferred,
// it is taken later with lock() (the capture pass takes it at its first frame). Comes
// before the drawing lock when a thread takes both.
class ModelWriteLock {
public:
    ModelWriteLock() : lock_(model_lock()) {}
    explicit ModelWriteLock(std::defer_lock_t) : lock_(model_lock(), std::defer_lock) {}
    void lock() { lock_.lock(); }
    [[nodiscard]] bool owns_lock() const { return lock_.owns_lock(); }

private:
    std::unique_lock<std::shared_mutex> lock_;
};

// Model clock: the timestamp of the frame being handled, or of the last one handled.
TimeValue model_clock();
void model_set_clock(TimeValue t);

// The model's state as at process start: no networks and none current, the model clock
// at zero, no focus source. The settings and the text-width function stay.
void model_reset();

// --- networks ---
void net_list_create();
[[nodiscard]] List* net_list();
[[nodiscard]] Network* net_create(const char* adapter_name);
// Puts a network at the head of the list of networks.
void net_list_add(Network* network);
[[nodiscard]] Network* net_find(const char* adapter_name);
[[nodiscard]] Network* net_current();
void net_set_current(Network* network);

// Calls fn(Network*) for each network, newest first.
template <class F>
void net_for_each_network(F&& fn) {
    list_foreach(net_list(), [&](void* item) { fn(static_cast<Network*>(item)); });
}

// --- hosts and links ---

// Calls fn(Host*) for each host of the network, in host-list order (ascending address).
// A null network has none.
template <class F>
void net_for_each_host(const Network* network, F&& fn) {
    if (network) list_foreach(network->host_list, [&](void* item) { fn(static_cast<Host*>(item)); });
}

// Calls fn(Link*) for each link the host sends on, in link-table order. A null host has
// none.
template <class F>
void host_for_each_link(const Host* host, F&& fn) {
    if (host) hashtable_foreach(host->link_table, [&](void*, void* value) { fn(static_cast<Link*>(value)); });
}

// Calls fn(const ProtocolTally*) for the leaves of a tally tree (the most specific
// protocol of each path), at each level the later siblings first, then each node's
// children, or the node itself when it has none. Recursion goes only down the tree (its
// depth is the protocol tree's); a chain of siblings is walked backwards from a small
// stack. A null tree has no leaves.
template <class F>
void tally_for_each_leaf(const ProtocolTally* first, F&& fn) {
    std::vector<const ProtocolTally*> chain;
    for (const ProtocolTally* t = first; t; t = t->next) chain.push_back(t);
    for (size_t i = chain.size(); i-- > 0;) {
        if (chain[i]->first_child) tally_for_each_leaf(chain[i]->first_child, fn);
        else fn(chain[i]);
    }
}

[[nodiscard]] Host* host_find(const Network* network, const NetAddress* address);
// The host of that address, made when it is new and the network holds fewer hosts than
// the "max hosts" setting; null when the limit keeps it out.
[[nodiscard]] Host* host_find_or_create(Network* network, const NetAddress* address);
[[nodiscard]] Link* link_find(const Host* host, const NetAddress* destination);
// The link from `source` to `destination` (hosts of one network), or null: link_find
// of the destination's address, in one probe of the network's link index.
[[nodiscard]] Link* link_between(const Host* source, const Host* destination);
Host* host_create(Network* network, const NetAddress* address);
Link* link_create(Host* source, Host* destination);

// Lists a link for the next refresh once a frame has used it or its counts are about to
// change (a resting link first gets the pushes it was spared).
void link_mark_busy(Link* link);
// Before a link's counts change without a frame of its own (its oldest frame leaves the
// window): a resting link gets the pushes it was spared and rests on; any other is listed
// for the next refresh as by link_mark_busy.
void link_counts_change(Link* link);
// The means of a link's rate averages as the refresh would have left them (a resting
// link's averages lack the pushes it was spared). Capture thread, or with the model lock.
[[nodiscard]] double link_byte_rate(const Link* link);
[[nodiscard]] double link_frame_rate(const Link* link);
// Lists a host for the next refreshes once a frame or an active link has flagged it.
void host_mark_busy(Host* host);
// Once per capture pass: rate samples, activity flags, link colours.
void net_refresh(Network* network);
// The focus colour of the protocol that carried the most bytes on the link, or -1.
[[nodiscard]] int link_dominant_colour(const Link* link);
// Recomputes every link's colour index from the current focus, active or not.
void link_recolour_all(Network* network);

// Label used by the top lists: the name when there is one, else the address text.
[[nodiscard]] const char* host_label(const Host* host);
