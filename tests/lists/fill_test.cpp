// The fills of the five list windows from a model that frames are applied to: rows kept
// in place and new ones inserted at their place, the host watch's leaves, the top
// lists re-sorted before each fill, and fills racing a capture thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "alarm/alarm.h"
#include "lists/fills.h"
#include "lists/lists.h"
#include "lists/list_model.h"
#include "protocol/protocol.h"

using namespace list_tests;

namespace {

constexpr int kPeer = 0x100;  // sorts after the other hosts of these tests

ListTable table_of(ListKind kind) {
    ListTable t;
    t.columns = list_kind_info(kind).columns;
    return t;
}

Host* host(Network* n, int station) {
    NetAddress a;
    netaddr_init(&a, 0);
    netaddr_parse(&a, mac(station).c_str());
    return host_find(n, &a);
}

using Cells = std::vector<std::string>;

}  // namespace

class ListFill : public ListModel {};

TEST_F(ListFill, HostListKeepsRowsAndInsertsANewHostAtItsPlace) {
    send(1, kPeer, 0x0806, 46, 2);
    send(3, kPeer);
    send(5, kPeer);
    ListTable t = table_of(ListKind::host_list);
    wnet_fill(&t, net);
    ASSERT_EQ(t.rows.size(), 4u);
    EXPECT_EQ(t.rows[0].cells, (Cells{"00:00:00:00:00:01", "", "120", std::to_string(host(net, 1)->bytes_this_second),
                                      "2", std::to_string(host(net, 1)->frames_this_second)}));
    EXPECT_EQ(t.rows[3].subject, host(net, kPeer));
    EXPECT_EQ(t.rows[3].cells[2], "0");

    send(2, kPeer, 0x0806, 46, 3);  // between hosts 1 and 3
    send(1, kPeer);
    t.rows[1].cells[1] = "mark";  // the row of host 3: rewritten in place, one down
    wnet_fill(&t, net);
    ASSERT_EQ(t.rows.size(), 5u);
    const int order[] = {1, 2, 3, 5, kPeer};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(t.rows[i].subject, host(net, order[i])) << i;
    EXPECT_EQ(t.rows[0].cells[2], "180");
    EXPECT_EQ(t.rows[1].cells[0], "00:00:00:00:00:02");
    EXPECT_EQ(t.rows[1].cells[4], "3");
    EXPECT_EQ(t.rows[2].cells[1], "");
    EXPECT_EQ(t.rows[2].cells[0], "00:00:00:00:00:03");

    // No network: nothing changes.
    wnet_fill(&t, nullptr);
    EXPECT_EQ(t.rows.size(), 5u);
}

TEST_F(ListFill, HostListFillsInPiecesOfTheLock) {
    for (int s = 1; s <= 1300; ++s) send(s, 0x7fff, 0x0806, 46, 1);
    ListTable t = table_of(ListKind::host_list);
    ListFillStats stats;
    wnet_fill(&t, net, &stats);
    ASSERT_EQ(t.rows.size(), 1301u);
    EXPECT_EQ(stats.pieces, 6u);  // 5 x 256 + 21 hosts
    size_t i = 0;
    net_for_each_host(net, [&](Host* h) {
        EXPECT_EQ(t.rows[i].subject, h);
        EXPECT_EQ(t.rows[i].cells[0], h->address_text);
        ++i;
    });
    EXPECT_EQ(t.rows[1299].cells[4], "1");
}

TEST_F(ListFill, HostWatchShowsOneRowPerLeafNamingTheInnerProtocol) {
    send(1, 2, 0x0806, 46, 2);  // one path: ETHER2 / ARP / OTHER_ARP (no ARP operation)
    ListTable t = table_of(ListKind::host_watch);
    wnode_fill(&t, host(net, 1));
    ASSERT_EQ(t.rows.size(), 1u);
    EXPECT_EQ(t.rows[0].cells, (Cells{"00:00:00:00:00:02", "", "OTHER_ARP", "120", "2"}));
    EXPECT_EQ(t.rows[0].detail, host(net, 2));
    const void* arp = t.rows[0].subject;

    // A later sibling (IPv6 beside ARP) comes before it: a new row at 0, ARP's row moves down.
    send(1, 2, 0x86DD, 46, 1);
    wnode_fill(&t, host(net, 1));
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[1].subject, arp);
    EXPECT_NE(t.rows[0].cells[2], "OTHER_ARP");
    EXPECT_EQ(t.rows[0].cells[3], "60");
    const auto* leaf = static_cast<const ProtocolTally*>(t.rows[0].subject);
    EXPECT_EQ(leaf->first_child, nullptr);
    EXPECT_EQ(t.rows[0].cells[2], leaf->protocol->name);

    // Host 2 sent nothing: no rows; a host without links neither.
    ListTable none = table_of(ListKind::host_watch);
    wnode_fill(&none, host(net, 2));
    wnode_fill(&none, nullptr);
    EXPECT_TRUE(none.rows.empty());
}

TEST_F(ListFill, TopHostsGrowFromThreeToFourRowsRewrittenInTheNewOrder) {
    send(1, 2, 0x0806, 46, 1);
    send(2, 3, 0x0806, 46, 2);
    send(3, 1, 0x0806, 46, 3);
    ListTable t = table_of(ListKind::top_hosts);
    int shown = 0;
    host_popup_fill(&t, net, &shown);
    EXPECT_EQ(shown, 3);
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.rows[0].cells, (Cells{"00:00:00:00:00:03", "180"}));
    EXPECT_EQ(t.rows[2].cells, (Cells{"00:00:00:00:00:01", "60"}));

    send(4, 1, 0x0806, 46, 4);
    host_popup_fill(&t, net, &shown);
    EXPECT_EQ(shown, 4);
    ASSERT_EQ(t.rows.size(), 4u);
    const int order[] = {4, 3, 2, 1};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(t.rows[i].subject, host(net, order[i])) << i;
    EXPECT_EQ(t.rows[0].cells, (Cells{"00:00:00:00:00:04", "240"}));
    EXPECT_EQ(t.rows[3].cells, (Cells{"00:00:00:00:00:01", "60"}));

    // A shorter list rewrites its rows; the rows beyond its count keep their texts.
    Network* other = add_network("test1");
    send(7, 8, 0x0806, 46, 1, other);
    host_popup_fill(&t, other, &shown);
    EXPECT_EQ(shown, 2);
    ASSERT_EQ(t.rows.size(), 4u);
    EXPECT_EQ(t.rows[0].cells, (Cells{"00:00:00:00:00:07", "60"}));
    EXPECT_EQ(t.rows[1].cells, (Cells{"00:00:00:00:00:08", "0"}));
    EXPECT_EQ(t.rows[2].cells, (Cells{"00:00:00:00:00:02", "120"}));
}

TEST_F(ListFill, TopHostsResortBeforeTheFill) {
    send(1, 2, 0x0806, 46, 1);
    send(2, 1, 0x0806, 46, 1);
    // Counters that grew without an offer (as between frames) leave the list out of order.
    {
        ModelWriteLock lock;
        host(net, 2)->total_bytes += 1000;
    }
    ListTable t = table_of(ListKind::top_hosts);
    int shown = 0;
    host_popup_fill(&t, net, &shown);
    ASSERT_EQ(shown, 2);
    EXPECT_EQ(t.rows[0].cells, (Cells{"00:00:00:00:00:02", "1060"}));
    EXPECT_EQ(net->top_hosts->items[0], host(net, 2));
}

TEST_F(ListFill, TopLinksShowBothEndsAndBytes) {
    send(1, 2, 0x0806, 46, 1);
    send(2, 1, 0x0806, 46, 2);
    ListTable t = table_of(ListKind::top_links);
    int shown = 0;
    link_popup_fill(&t, net, &shown);
    ASSERT_EQ(shown, 2);
    EXPECT_EQ(t.rows[0].cells, (Cells{"00:00:00:00:00:02", "00:00:00:00:00:01", "120"}));
    EXPECT_EQ(t.rows[1].cells, (Cells{"00:00:00:00:00:01", "00:00:00:00:00:02", "60"}));
    const auto* l = static_cast<const Link*>(t.rows[0].subject);
    EXPECT_EQ(l->source, host(net, 2));
}

TEST_F(ListFill, TopAlarmsByActivationsWithNullForNoNotifyString) {
    alarm_init();
    ListTable t = table_of(ListKind::top_alarms);
    int shown = 0;
    AlarmList list;
    for (const char* notify : {"disk", "", "load high"}) {
        list.alarms.push_back(alarm_new());
        list.alarms.back()->notify = notify;
    }
    Alarm* a = list.alarms[0].get();
    Alarm* none = list.alarms[1].get();
    Alarm* load = list.alarms[2].get();
    alarm_replace_list(std::move(list));
    for (int i = 0; i < 3; ++i) alarm_record_activation(load, 100 + i);
    alarm_record_activation(none, 100);
    alarm_popup_fill(&t, &shown);
    ASSERT_EQ(shown, 3);
    EXPECT_EQ(t.rows[0].cells, (Cells{"load high", "3"}));
    EXPECT_EQ(t.rows[1].cells, (Cells{"(null)", "1"}));
    EXPECT_EQ(t.rows[2].cells, (Cells{"disk", "0"}));
    EXPECT_EQ(t.rows[0].subject, nullptr);
    (void)a;

    // Fewer alarms after an edit: the first rows are rewritten, the rest keep their texts.
    AlarmList fewer;
    fewer.alarms.push_back(alarm_new());
    fewer.alarms.back()->notify = "only";
    alarm_replace_list(std::move(fewer));
    alarm_popup_fill(&t, &shown);
    EXPECT_EQ(shown, 1);
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.rows[0].cells, (Cells{"only", "0"}));
    EXPECT_EQ(t.rows[2].cells, (Cells{"disk", "0"}));
    alarm_init();
}

// The window thread's fills and re-sorts while a capture thread applies frames that
// make new hosts and links: no race (ThreadSanitizer), and the last fill's rows are
// the host list's.
TEST_F(ListFill, FillsAndResortsBesideTheCaptureThread) {
    std::atomic<bool> stop{false};
    std::atomic<int> sent{0};
    std::thread capture([&] {
        for (int i = 0; !stop.load() || i < 400; ++i, ++sent) send(1 + (i * 7) % 300, 1 + (i * 13) % 300, 0x0806, 46, 1);
    });
    ListTable list = table_of(ListKind::host_list), watch = table_of(ListKind::host_watch),
              hosts = table_of(ListKind::top_hosts), links = table_of(ListKind::top_links);
    int hosts_shown = 0, links_shown = 0;
    for (int round = 0; round < 40 || sent.load() < 200; ++round) {
        wnet_fill(&list, net);
        const Host* first = nullptr;
        {
            ModelReadLock lock;
            if (net->host_list->head) first = static_cast<const Host*>(net->host_list->head->item);
        }
        wnode_fill(&watch, first);
        host_popup_fill(&hosts, net, &hosts_shown);
        link_popup_fill(&links, net, &links_shown);
    }
    stop.store(true);
    capture.join();
    wnet_fill(&list, net);
    host_popup_fill(&hosts, net, &hosts_shown);
    ASSERT_EQ(list.rows.size(), static_cast<size_t>(net->host_count));
    size_t i = 0;
    net_for_each_host(net, [&](Host* h) { EXPECT_EQ(list.rows[i++].subject, h); });
    EXPECT_EQ(hosts_shown, std::min(net->host_count, kTopCapacity));
}

// The Top Alarms fill while another thread records activations and offers the alarms
// under the Alarm mutex, as the alarm thread performs firings: no race, and the last
// fill shows the final counts in order.
TEST_F(ListFill, TopAlarmsFillBesideFirings) {
    alarm_init();
    AlarmList list;
    for (const char* notify : {"first", "second", "third"}) {
        list.alarms.push_back(alarm_new());
        list.alarms.back()->notify = notify;
    }
    std::vector<Alarm*> alarms;
    for (const auto& a : list.alarms) alarms.push_back(a.get());
    alarm_replace_list(std::move(list));
    std::thread firing([&] {
        for (int i = 0; i < 3000; ++i) {
            Alarm* a = alarms[static_cast<size_t>(i % 7 == 0 ? 0 : (i % 2 ? 1 : 2))];
            alarm_record_activation(a, 100 + i);
            std::lock_guard lock(alarm_mutex());
            topn_offer(alarm_top_alarms(), a);
        }
    });
    ListTable t = table_of(ListKind::top_alarms);
    int shown = 0;
    for (int round = 0; round < 200; ++round) alarm_popup_fill(&t, &shown);
    firing.join();
    alarm_popup_fill(&t, &shown);
    ASSERT_EQ(shown, 3);
    EXPECT_EQ(t.rows[0].cells, (Cells{"second", "1286"}));
    EXPECT_EQ(t.rows[1].cells, (Cells{"third", "1285"}));
    EXPECT_EQ(t.rows[2].cells, (Cells{"first", "429"}));
    alarm_init();
}
