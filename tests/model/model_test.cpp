#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "model/model_fixture.h"

namespace {

std::vector<std::string> host_order(const Network* net) {
    std::vector<std::string> out;
    list_foreach(net->host_list, [&](void* h) { out.push_back(static_cast<Host*>(h)->address_text); });
    return out;
}

}  // namespace

TEST_F(ModelTest, AFrameCreatesBothHostsAndTheDirectedLink) {
    send(B, A, 100);  // A -> B, 60 bytes
    ASSERT_NE(host(A), nullptr);
    ASSERT_NE(host(B), nullptr);
    EXPECT_EQ(net->host_count, 2);
    EXPECT_EQ(host(A)->total_frames, 1u);
    EXPECT_EQ(host(A)->total_bytes, 60u);
    EXPECT_EQ(host(B)->total_frames, 0u);  // receivers count nothing
    EXPECT_TRUE(timer_is_zero(host(B)->last_sent));
    ASSERT_NE(link(A, B), nullptr);
    EXPECT_EQ(link(B, A), nullptr);
    EXPECT_EQ(link(A, B)->total_bytes, 60u);
    EXPECT_EQ(link(A, B)->source, host(A));
    EXPECT_EQ(link(A, B)->destination, host(B));

    send(A, B, 101);
    ASSERT_NE(link(B, A), nullptr);
    EXPECT_EQ(host(B)->total_frames, 1u);
    EXPECT_EQ(host(B)->link_table->count, 1);
}

TEST_F(ModelTest, HostListAscendsByAddressBytesAndSelfLinksAreOrdinary) {
    send(BCAST, C, 1);
    send(A, "01:00:5e:00:00:01", 1);
    send(B, B, 1);  // source equals destination: one host, a link to itself
    EXPECT_EQ(host_order(net), (std::vector<std::string>{"00:00:00:00:00:0A", "00:00:00:00:00:0B",
                                                          "00:00:00:00:00:0C", "01:00:5E:00:00:01",
                                                          "FF:FF:FF:FF:FF:FF"}));
    ASSERT_NE(link(B, B), nullptr);
    EXPECT_EQ(host(B)->total_frames, 1u);
    EXPECT_EQ(host(BCAST)->total_frames, 0u);
    EXPECT_EQ(std::string(host(A)->address_label), "00:00:00:00:00:0A");
}

TEST_F(ModelTest, TotalsCountTheWireLengthAndCarryPast32Bits) {
    // One host sending 4 GiB is 34 s at 1 Gbit/s: its totals must not wrap.
    auto f = testsupport::ether_frame(B, A, 0x0800, 40);  // 54 captured bytes
    send(f, 5, 0, 1514);
    EXPECT_EQ(host(A)->total_bytes, 1514u);
    host(A)->total_bytes = 0xFFFFFFFFu - 10;
    link(A, B)->total_frames = 0xFFFFFFFFu;
    send(f, 5, 1, 100);
    EXPECT_EQ(host(A)->total_bytes, 0xFFFFFFFFull + 90);
    EXPECT_EQ(link(A, B)->total_frames, 0x100000000ull);
}

TEST_F(ModelTest, ShortFramesCountOnTheNetworkOnlyAndNeverReadPastTheCapture) {
    // Every length from 0 to 13 captured bytes, with heap buffers of exactly that size
    // so that a sanitizer build catches any read past them.
    for (uint32_t n = 0; n < 14; ++n) {
        std::vector<uint8_t> exact(n, 0xAA);
        hscap::FrameHeader h{10, int32_t(n), n, 60};
        netif_frame(net, &h, n ? exact.data() : nullptr);
    }
    // Frames of 12 and 13 readable bytes carry both addresses.
    EXPECT_EQ(net->host_count, 1);
    EXPECT_EQ(host("aa:aa:aa:aa:aa:aa")->total_frames, 2u);
    EXPECT_EQ(net->frames_this_second, 14u);  // each used the wire
    EXPECT_EQ(net->bytes_this_second, 14u * 60);

    // A wire length below the captured length: only wire-length bytes are frame bytes.
    std::vector<uint8_t> f = testsupport::ether_frame(B, C, 0x0800);
    hscap::FrameHeader h{10, 100, uint32_t(f.size()), 8};
    netif_frame(net, &h, f.data());
    EXPECT_EQ(host(C), nullptr);
    EXPECT_EQ(net->frames_this_second, 15u);
}

TEST_F(ModelTest, TallyTreeFollowsClassificationPaths) {
    ProtocolNode root, ip, arp, tcp, udp;
    std::strcpy(root.name, "ROOT");
    std::strcpy(ip.name, "IP");
    std::strcpy(arp.name, "ARP");
    std::strcpy(tcp.name, "TCP");
    std::strcpy(udp.name, "UDP");
    Link* l = link_create(host_create(net, &addr_a), host_create(net, &addr_b));
    const ProtocolNode* p1[] = {&root, &ip, &tcp, nullptr};
    const ProtocolNode* p2[] = {&root, &arp, nullptr};
    const ProtocolNode* p3[] = {&root, &ip, &udp, nullptr};
    const ProtocolNode* empty[] = {nullptr};
    link_tally(l, empty, 10);
    EXPECT_EQ(l->protocol_tree, nullptr);
    link_tally(l, p1, 100);
    link_tally(l, p2, 60);
    link_tally(l, p3, 200);
    link_tally(l, p1, 100);
    ProtocolTally* r = l->protocol_tree;
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->protocol, &root);
    EXPECT_EQ(r->frames, 4u);
    EXPECT_EQ(r->bytes, 460u);
    EXPECT_EQ(r->next, nullptr);
    ProtocolTally* t_ip = r->first_child;
    ASSERT_NE(t_ip, nullptr);
    EXPECT_EQ(t_ip->protocol, &ip);
    EXPECT_EQ(t_ip->frames, 3u);
    ASSERT_NE(t_ip->next, nullptr);
    EXPECT_EQ(t_ip->next->protocol, &arp);  // siblings in order of first appearance
    EXPECT_EQ(t_ip->first_child->protocol, &tcp);
    EXPECT_EQ(t_ip->first_child->bytes, 200u);
    EXPECT_EQ(t_ip->first_child->next->protocol, &udp);
    EXPECT_EQ(l->protocol_index->count, 5);
}

TEST_F(ModelTest, DominantColourFollowsTheFocusOrderAndStrictlyGreaterBytes) {
    static ProtocolNode root, ip, arp;
    static FocusEntry entries[3];
    static int entry_count;
    Link* l = link_create(host_create(net, &addr_a), host_create(net, &addr_b));
    const ProtocolNode* p1[] = {&root, &ip, nullptr};
    const ProtocolNode* p2[] = {&root, &arp, nullptr};
    link_tally(l, p1, 100);
    link_tally(l, p2, 100);

    EXPECT_EQ(link_dominant_colour(l), -1);  // no focus
    model_set_focus_source([] { return FocusView{entries, entry_count}; });
    entry_count = 0;
    EXPECT_EQ(link_dominant_colour(l), -1);  // empty focus
    entries[0] = {&arp, 3};
    entries[1] = {&ip, 4};
    entry_count = 2;
    EXPECT_EQ(link_dominant_colour(l), 3);  // tie: the earlier entry wins
    link_tally(l, p1, 1);
    EXPECT_EQ(link_dominant_colour(l), 4);
    ProtocolNode unseen;
    entries[0] = {&unseen, 7};
    entries[1] = {&arp, 5};
    entry_count = 2;
    EXPECT_EQ(link_dominant_colour(l), 5);
    l->protocol_tree->first_child->next->bytes = 0;  // ARP's tally: zero bytes never wins
    EXPECT_EQ(link_dominant_colour(l), -1);
    l->colour_index = 99;
    link_recolour_all(net);
    EXPECT_EQ(l->colour_index, -1);
    model_set_focus_source(nullptr);
}

TEST_F(ModelTest, RefreshFlagsSendersByNodeTimeoutAndReceiversThroughActiveLinks) {
    model_settings().node_timeout = 10;
    model_settings().link_timeout = 5;
    send(B, A, 100);
    net_refresh(net);
    EXPECT_EQ(host(A)->display, 1);
    EXPECT_EQ(host(B)->display, 1);  // only through the active link
    EXPECT_EQ(link(A, B)->display, 1);
    EXPECT_EQ(host(A)->frame_rate.mean, 0.1);  // one sample of 1 frame, damped over ten slots

    send(C, C, 105, 0);  // clock moves 5 s: the link to B is now silent for 5 s
    net_refresh(net);
    EXPECT_EQ(link(A, B)->display, 0);
    EXPECT_EQ(host(B)->display, 0);
    EXPECT_EQ(host(A)->display, 1);  // sent 5 s ago, node timeout 10 s

    send(C, C, 109, 999000);
    net_refresh(net);
    EXPECT_EQ(host(A)->display, 1);  // 9 999 ms < 10 000
    send(C, C, 110, 0);
    net_refresh(net);
    EXPECT_EQ(host(A)->display, 0);
    // Without new frames the clock stays: flags stay as they were.
    net_refresh(net);
    EXPECT_EQ(host(C)->display, 1);
}

TEST_F(ModelTest, RateAverageDampsTheFirstSamples) {
    RateAverage r;
    for (int i = 0; i < 9; ++i) rate_push(&r, 10);
    EXPECT_DOUBLE_EQ(r.mean, 9.0);
    rate_push(&r, 10);
    EXPECT_DOUBLE_EQ(r.mean, 10.0);
    rate_push(&r, 0);
    EXPECT_DOUBLE_EQ(r.mean, 9.0);
    EXPECT_EQ(r.index, 1);
}

TEST_F(ModelTest, TopListsFollowTheTraffic) {
    send(B, A, 1, 0, 100);
    send(A, B, 1, 1, 10);
    send(A, B, 1, 2, 10);
    send(A, C, 1, 3, 10);
    // Offered before the counters change, so a host enters with its older total.
    EXPECT_EQ(net->top_hosts->count, 3);
    EXPECT_EQ(static_cast<Host*>(net->top_hosts->items[0]), host(A));
    topn_resort(net->top_hosts);
    EXPECT_EQ(net->top_links->count, 3);
    EXPECT_EQ(static_cast<Link*>(net->top_links->items[0]), link(A, B));
    TopPair out[kTopCapacity];
    ASSERT_EQ(topn_export(net->top_links, out), 3);
    EXPECT_STREQ(out[0].label, "00:00:00:00:00:0A, 00:00:00:00:00:0B");
    for (int i = 0; i < 3; ++i) std::free(out[i].label);
}

TEST_F(ModelTest, TopListsRankTotalsPast32Bits) {
    send(A, B, 1, 0, 100);
    send(C, B, 1, 1, 100);
    host(A)->total_bytes = 4'500'000'000ull;  // wraps to 205 032 704 in 32 bits
    host(C)->total_bytes = 300'000'000ull;
    topn_resort(net->top_hosts);
    ASSERT_EQ(net->top_hosts->count, 3);  // the receiver B ranks too
    EXPECT_EQ(static_cast<Host*>(net->top_hosts->items[0]), host(A));
    EXPECT_EQ(static_cast<Host*>(net->top_hosts->items[1]), host(C));
    TopPair out[kTopCapacity];
    ASSERT_EQ(topn_export(net->top_hosts, out), 3);
    EXPECT_EQ(out[0].key, 4'500'000'000ull);
    for (int i = 0; i < 3; ++i) std::free(out[i].label);
}

TEST_F(ModelTest, NetworksAreFoundByNameAndListedNewestFirst) {
    Network* second = net_create("eth1");
    net_list_add(second);
    EXPECT_EQ(net_find("eth1"), second);
    EXPECT_EQ(net_find("test0"), net);
    EXPECT_EQ(net_find("nope"), nullptr);
    EXPECT_EQ(net_find(nullptr), nullptr);
    EXPECT_EQ(net_list()->head->item, second);
    net_set_current(nullptr);
    EXPECT_EQ(net_current(), net);
    std::string long_name(300, 'x');
    Network* n = net_create(long_name.c_str());
    EXPECT_EQ(std::strlen(n->name), 255u);
}

TEST_F(ModelTest, IdleLinksSkippedByTheRefreshWakeWhenTheClockStepsBack) {
    model_settings().link_timeout = 5;
    send(B, A, 100);
    for (int s = 101; s <= 130; ++s) {  // A->B falls silent; its averages drain to zero
        send(C, C, s);
        net_refresh(net);
    }
    Link* ab = link(A, B);
    EXPECT_EQ(ab->display, 0);
    EXPECT_EQ(link_byte_rate(ab), 0.0);
    EXPECT_FALSE(ab->busy);
    EXPECT_EQ(host(B)->display, 0);
    // The clock steps back to within the link's timeout: a full refresh sees it active.
    send(C, C, 102);
    net_refresh(net);
    EXPECT_EQ(ab->display, 1);
    EXPECT_EQ(host(B)->display, 1);
    EXPECT_EQ(ab->resting, kRestingActive);  // followed again: resting until it times out
    // A frame on an idle link lists it again.
    send(C, C, 200);
    for (int i = 0; i < 12; ++i) net_refresh(net);
    send(B, A, 200, 1);
    EXPECT_TRUE(ab->busy);
    net_refresh(net);
    EXPECT_EQ(ab->display, 1);
    EXPECT_DOUBLE_EQ(link_frame_rate(ab), 0.1);
}

TEST_F(ModelTest, SkippingIdleHostsAndLinksGivesTheSameModelAsVisitingThemAll) {
    // Two networks take the same random traffic (bursts, silences, a clock that
    // sometimes steps back); one is forced to visit every link on each refresh.
    Network* full = net_create("full");
    std::srand(11);
    const char* hosts[] = {A, B, C, BCAST, "00:00:00:00:00:0d", "00:00:00:00:00:0e"};
    int64_t t_ms = 1000000;
    for (int i = 0; i < 20000; ++i) {
        int r = std::rand() % 100;
        t_ms += r < 80 ? 3 : (r < 97 ? 700 : (r < 99 ? 6000 : -4000));
        auto f = testsupport::ether_frame(hosts[std::rand() % 6], hosts[std::rand() % 3], 0x0800, std::rand() % 200);
        hscap::FrameHeader h{int32_t(t_ms / 1000), int32_t(t_ms % 1000 * 1000), uint32_t(f.size()), uint32_t(f.size())};
        netif_frame(net, &h, f.data());
        netif_frame(full, &h, f.data());
        if (i % 7 == 0) {
            net_refresh(net);
            full->refreshed_at = {INT32_MAX, 0};
            net_refresh(full);
        }
        // The map clears the flag of each host it draws.
        if (i % 13 == 0)
            for (Network* n : {net, full}) net_for_each_host(n, [](Host* h) { h->display = 0; });
        // Longer timeouts for a while: idle hosts and links may be active again.
        if (i == 9000 || i == 15000) {
            model_settings().node_timeout = i == 9000 ? 40 : 10;
            model_settings().link_timeout = i == 9000 ? 30 : 5;
        }
        if (i % 997 == 0) {
            // Compare every host and link.
            ASSERT_EQ(net->host_count, full->host_count);
            for (ListNode *p = net->host_list->head, *q = full->host_list->head; p; p = p->next, q = q->next) {
                auto *h1 = static_cast<Host*>(p->item), *h2 = static_cast<Host*>(q->item);
                ASSERT_EQ(h1->display, h2->display) << h1->address_text;
                ASSERT_EQ(h1->byte_rate.mean, h2->byte_rate.mean);
                ASSERT_EQ(h1->frame_rate.mean, h2->frame_rate.mean);
                hashtable_foreach(h1->link_table, [&](void* key, void* value) {
                    auto* l1 = static_cast<Link*>(value);
                    Link* l2 = link_find(h2, static_cast<NetAddress*>(key));
                    ASSERT_NE(l2, nullptr);
                    EXPECT_EQ(l1->display, l2->display);
                    EXPECT_EQ(l1->colour_index, l2->colour_index);
                    EXPECT_EQ(link_frame_rate(l1), l2->frame_rate.mean);
                    EXPECT_EQ(link_byte_rate(l1), l2->byte_rate.mean);
                    EXPECT_EQ(l1->frames_this_second, l2->frames_this_second);
                });
            }
        }
    }
}

// The refresh sets steady links aside (their averages full of their current counts)
// and wakes them on a frame in or out of their window, a timeout, a new focus or a
// clock step. Against a network that visits every link on every refresh: the same
// flags, averages and colours after every refresh, through periodic traffic (steady
// links), silences (timeouts), focus changes and timeouts that shrink and grow.
TEST_F(ModelTest, SteadyLinksSetAsideGiveTheSameModelAsVisitingThemAll) {
    ProtocolNode root, ip, arp;
    std::strcpy(root.name, "ROOT");
    root.high = 0;
    ip.width = arp.width = 2;
    ip.offset = arp.offset = 12;
    ip.low = ip.high = 0x0800;
    arp.low = arp.high = 0x0806;
    root.first_child = &ip;
    ip.next = &arp;
    pd_set_root(&root);
    static FocusEntry focus_a[2], focus_b[1];
    focus_a[0] = {&arp, 3};
    focus_a[1] = {&ip, 4};
    focus_b[0] = {&ip, 7};
    static const FocusEntry* focus = focus_a;
    static int focus_count = 2;
    model_set_focus_source([] { return FocusView{focus, focus_count}; });

    Network* full = net_create("full");
    std::srand(23);
    const char* hosts[] = {A, B, C, BCAST, "00:00:00:00:00:0d", "00:00:00:00:00:0e"};
    int64_t t_us = 5000000000;
    int steady_active = 0, steady_idle = 0, compared = 0;
    for (int i = 0; i < 40000; ++i) {
        // Mostly a fixed round of 10 links among five stations, 50 us apart; a sparse
        // frame to the sixth, which never sends, so that its links' counts hold still
        // for many refreshes and only they flag it; now and then a random frame, a
        // pause or a step back.
        const int r = std::rand() % 1000;
        int s = i % 10 % 5, d = (s + 1 + i % 10 / 5) % 5;
        if (i % 97 == 0) s = i / 97 % 5, d = 5;
        if (r < 20) s = std::rand() % 5, d = std::rand() % 6;
        t_us += r < 990 ? 50 : (r < 996 ? 800000 : (r < 999 ? 7000000 : -3000000));
        auto f = testsupport::ether_frame(hosts[d], hosts[s], r % 3 ? 0x0800 : 0x0806, 20 + i % 7);
        hscap::FrameHeader h{int32_t(t_us / 1000000), int32_t(t_us % 1000000), uint32_t(f.size()), uint32_t(f.size())};
        netif_frame(net, &h, f.data());
        netif_frame(full, &h, f.data());
        if (i % 5 == 0) {
            net_refresh(net);
            full->refreshed_at = {INT32_MAX, 0};
            net_refresh(full);
            ++compared;
            net_for_each_host(net, [&](const Host* h1) {
                const Host* h2 = host_find(full, &h1->address);
                ASSERT_NE(h2, nullptr);
                ASSERT_EQ(h1->display, h2->display) << "host " << h1->address_text << " frame " << i;
                ASSERT_EQ(h1->byte_rate.mean, h2->byte_rate.mean);
                host_for_each_link(h1, [&](const Link* l1) {
                    const Link* l2 = link_find(h2, &l1->destination->address);
                    ASSERT_NE(l2, nullptr);
                    ASSERT_EQ(l1->display, l2->display) << "frame " << i;
                    ASSERT_EQ(l1->colour_index, l2->colour_index) << "frame " << i;
                    // An active link has the colour its tally gives under the focus now.
                    if (l1->display) ASSERT_EQ(l1->colour_index, link_dominant_colour(l1)) << "frame " << i;
                    ASSERT_EQ(link_frame_rate(l1), l2->frame_rate.mean) << "frame " << i;
                    ASSERT_EQ(link_byte_rate(l1), l2->byte_rate.mean) << "frame " << i;
                    steady_active += l1->resting == kRestingActive;
                    steady_idle += l1->resting == kRestingIdle;
                });
            });
        }
        if (i % 13 == 0)  // the map clears the flag of each host it draws
            for (Network* n : {net, full}) net_for_each_host(n, [](Host* h) { h->display = 0; });
        if (i == 12000) focus = focus_b, focus_count = 1;  // a new focus: a new view
        if (i == 20000 || i == 30000) {
            model_settings().node_timeout = i == 20000 ? 1 : 10;
            model_settings().link_timeout = i == 20000 ? 1 : 5;
        }
    }
    model_set_focus_source(nullptr);
    // Not a vacuous comparison: links were set aside, both ways, many times.
    EXPECT_GT(steady_active, 1000);
    EXPECT_GT(compared, 7000);
    RecordProperty("steady_idle", steady_idle);
}

// Thousands of stations in random order, many of them sharing table buckets: the host
// list still ascends, every host and link is found, and the list, the host table and
// each link table hold the same hosts and links.
TEST_F(ModelTest, AFloodOfStationsKeepsTheHostListAscendingAndEveryLookupRight) {
    std::vector<std::string> addresses;
    uint32_t x = 12345;
    for (int i = 0; i < 6000; ++i) {
        x = x * 1103515245u + 12345u;
        char text[18];
        // Half of them differ only in their last two bytes: long chains in few buckets.
        const unsigned hi = i % 2 ? (x >> 8) & 0xFFFFFF : 0x00A0B0;
        std::snprintf(text, sizeof text, "02:%02X:%02X:%02X:%02X:%02X", hi >> 16 & 0xFF, hi >> 8 & 0xFF, hi & 0xFF,
                      (x >> 20) & 0xFF, (x >> 4) & 0xFF);
        addresses.push_back(text);
    }
    for (size_t i = 0; i < addresses.size(); ++i) send(addresses[(i * 7) % addresses.size()], addresses[i], 10);
    std::vector<std::string> expected = addresses;
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    EXPECT_EQ(host_order(net), expected);
    EXPECT_EQ(net->host_count, int(expected.size()));
    EXPECT_EQ(net->host_table->count, net->host_count);
    EXPECT_NE(net->host_table->index, nullptr);
    for (size_t i = 0; i < addresses.size(); ++i) {
        ASSERT_NE(host(addresses[i]), nullptr) << addresses[i];
        EXPECT_EQ(std::string(host(addresses[i])->address_text), addresses[i]);
        ASSERT_NE(link(addresses[i], addresses[(i * 7) % addresses.size()]), nullptr) << addresses[i];
    }
    EXPECT_EQ(host("02:00:00:00:00:00"), nullptr);
    size_t links = 0;
    net_for_each_host(net, [&](const Host* h) { host_for_each_link(h, [&](const Link* l) { links += l->source == h; }); });
    EXPECT_EQ(links, net->link_count);
}

// At the host limit a frame that would need a new host is the network's alone: it is in
// the frame window's figures and the unattributed count, in no host, link or tally.
TEST_F(ModelTest, FramesBeyondTheHostLimitCountOnlyOnTheNetwork) {
    model_settings().max_hosts = 3;
    send(B, A, 10);
    send(C, A, 10);              // three hosts: the limit
    send("00:00:00:00:00:0d", A, 10);  // a fourth destination
    send(A, "00:00:00:00:00:0e", 10);  // a fourth source
    send(B, C, 10);              // known stations still count
    EXPECT_EQ(net->host_count, 3);
    EXPECT_EQ(net->unattributed_frames, 2u);
    EXPECT_EQ(net->frames_this_second, 5u);
    EXPECT_EQ(host(A)->total_frames, 2u);
    EXPECT_EQ(host("00:00:00:00:00:0d"), nullptr);
    EXPECT_EQ(host("00:00:00:00:00:0e"), nullptr);
    ASSERT_NE(link(C, B), nullptr);
    EXPECT_EQ(link(C, B)->total_frames, 1u);
    model_settings().max_hosts = kDefaultMaxHosts;
}
