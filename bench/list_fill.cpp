// The Host List's fill of a large segment, and what it costs the capture thread.
//
//   bench_list_fill [HOSTS]      (default 10 000 hosts)
//
// Builds HOSTS hosts, each sending ARP frames to two peers. Then:
//   1. reference: one walk of the host list under the read lock that reads the six
//      fields a row shows and formats nothing, the floor of any fill;
//   2. the fill into an empty table (every row new) and into a full one (every row
//      rewritten in place), five times each: wall time (best, median), pieces, the
//      longest hold of the lock for one piece;
//   3. with the window (when built with it): the Host List window's whole refresh on
//      the window thread, the table model's reset and the view's layout included;
//   4. a capture thread writing the model (255 frames under the exclusive lock, then a
//      1 ms pause) for two seconds alone, then while fills run back to back: its wait
//      for the lock at each pass (median, 99th percentile, longest).
// Figures go to standard output; nothing is asserted.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "lists/fills.h"
#include "lists/lists.h"
#include "model/engine.h"
#include "model/net.h"
#include "model/netif.h"
#include "capture_beside.h"

#ifdef HOPSCOPE_BENCH_WINDOW
#include <QApplication>

#include "lists/qt/list_window.h"
#endif

namespace {

using bench::Clock;
using bench::Series;
using bench::apply;
using bench::ms;

// An ARP request of 60 bytes from station `src` to station `dst`.
std::vector<uint8_t> arp(unsigned src, unsigned dst) {
    std::vector<uint8_t> f(60, 0);
    const unsigned ends[2] = {dst, src};
    for (int e = 0; e < 2; ++e) {
        uint8_t* m = f.data() + 6 * e;
        m[0] = 0x02, m[2] = static_cast<uint8_t>(ends[e] >> 24), m[3] = static_cast<uint8_t>(ends[e] >> 16);
        m[4] = static_cast<uint8_t>(ends[e] >> 8), m[5] = static_cast<uint8_t>(ends[e]);
    }
    f[12] = 0x08, f[13] = 0x06, f[21] = 1;
    return f;
}

ListTable host_table() {
    ListTable t;
    t.columns = list_kind_info(ListKind::host_list).columns;
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned hosts = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 10000;
#ifdef HOPSCOPE_BENCH_WINDOW
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
#endif
    Network* net = bench::start_network();
    if (!net) return 1;
    std::vector<std::vector<uint8_t>> traffic;
    for (unsigned h = 0; h < hosts; ++h)
        for (unsigned p = 1; p <= 2; ++p) traffic.push_back(arp(h, (h + p * 97) % hosts));
    {
        ModelWriteLock lock;
        for (const auto& f : traffic) apply(net, f);
    }
    std::printf("hosts %d, piece %d hosts\n", net->host_count, kListFillPieceHosts);

    // 1. The bare walk.
    Series walk;
    for (int run = 0; run < 5; ++run) {
        const auto t0 = Clock::now();
        uint64_t sum = 0;
        {
            ModelReadLock lock;
            net_for_each_host(net, [&](const Host* h) {
                sum += h->total_bytes + h->bytes_this_second + h->total_frames + h->frames_this_second +
                       static_cast<uint64_t>(h->address_text[0]) + (h->name ? 1 : 0);
            });
        }
        walk.ms.push_back(ms(Clock::now() - t0));
        if (sum == 1) std::printf(" ");
    }
    std::printf("reference, bare walk under one hold: best %.3f ms, median %.3f ms\n", walk.at(0), walk.at(0.5));

    // 2. The fills.
    Series fresh, again;
    double longest_hold = 0;
    size_t pieces = 0;
    for (int run = 0; run < 5; ++run) {
        ListTable t = host_table();
        ListFillStats stats;
        auto t0 = Clock::now();
        wnet_fill(&t, net, &stats);
        fresh.ms.push_back(ms(Clock::now() - t0));
        t0 = Clock::now();
        wnet_fill(&t, net, &stats);
        again.ms.push_back(ms(Clock::now() - t0));
        longest_hold = std::max(longest_hold, stats.longest_hold_seconds * 1000);
        pieces = stats.pieces / 2;
    }
    std::printf("fill, every row new:       best %.3f ms, median %.3f ms\n", fresh.at(0), fresh.at(0.5));
    std::printf("fill, rows in place:       best %.3f ms, median %.3f ms\n", again.at(0), again.at(0.5));
    std::printf("pieces a fill %zu, longest hold for one piece %.3f ms\n", pieces, longest_hold);

#ifdef HOPSCOPE_BENCH_WINDOW
    // 3. The window's whole refresh.
    {
        Series open, refresh;
        for (int run = 0; run < 5; ++run) {
            auto t0 = Clock::now();
            ListWindow* w = wnet_open();
            open.ms.push_back(ms(Clock::now() - t0));
            t0 = Clock::now();
            w->refresh();
            refresh.ms.push_back(ms(Clock::now() - t0));
            delete w;
        }
        std::printf("window: open and first fill  best %.3f ms, median %.3f ms\n", open.at(0), open.at(0.5));
        std::printf("window: refresh              best %.3f ms, median %.3f ms\n", refresh.at(0), refresh.at(0.5));
    }
#endif

    // 4. The capture thread beside fills.
    std::atomic<bool> stop{false};
    Series quiet;
    std::thread t([&] { quiet = bench::capture_passes(net, traffic, stop); });
    std::this_thread::sleep_for(std::chrono::seconds(2));
    stop.store(true);
    t.join();
    stop.store(false);
    Series busy;
    std::thread c([&] { busy = bench::capture_passes(net, traffic, stop); });
    int fills = 0;
    double longest_busy_hold = 0, longest_busy_cpu = 0;
    Series busy_fill;
    ListTable table = host_table();
    const auto until = Clock::now() + std::chrono::seconds(2);
    while (Clock::now() < until) {
        ListFillStats stats;
        const auto t0 = Clock::now();
        wnet_fill(&table, net, &stats);
        busy_fill.ms.push_back(ms(Clock::now() - t0));
        longest_busy_hold = std::max(longest_busy_hold, stats.longest_hold_seconds * 1000);
        longest_busy_cpu = std::max(longest_busy_cpu, stats.longest_hold_cpu_seconds * 1000);
        ++fills;
    }
    stop.store(true);
    c.join();
    quiet.print_waits("capture, no fill:");
    busy.print_waits("capture, fills back to back:");
    std::printf("fills meanwhile %d, median %.3f ms, longest %.3f ms\n", fills, busy_fill.at(0.5), busy_fill.at(1.0));
    std::printf("longest hold for one piece: %.3f ms by the clock, %.3f ms of the thread's own time\n",
                longest_busy_hold, longest_busy_cpu);
    return 0;
}
