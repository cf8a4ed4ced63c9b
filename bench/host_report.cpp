// The host report of a large segment, and what it costs the capture thread.
//
//   bench_host_report [HOSTS [PEERS]]      (default 5000 hosts, 4 peers each)
//
// Builds HOSTS hosts, each sending to PEERS peers frames of three protocols (DNS over
// UDP, HTTP over TCP, ARP) classified by data/protocol.pdl, so the report has about
// HOSTS x PEERS x 3 rows. Then:
//   1. the report written alone, five times: wall time of each, best and median;
//   2. a capture thread writing the model (255 frames under the model's exclusive
//      lock, as a capture pass does, then a 1 ms pause) for two seconds without a
//      report, then again while reports are written back to back: how long the capture
//      thread waited for the lock at each pass (median, 99th percentile, longest), and
//      the longest time the report held the lock for one piece.
// Figures go to standard output; nothing is asserted.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "model/engine.h"
#include "model/net.h"
#include "model/netif.h"
#include "reports/host_report.h"
#include "capture_beside.h"

namespace {

using bench::Clock;
using bench::Frame;
using bench::apply;
using bench::ms;

void put16(Frame& f, unsigned v) {
    f.push_back(static_cast<uint8_t>(v >> 8));
    f.push_back(static_cast<uint8_t>(v));
}

void mac(Frame& f, unsigned station) {
    const uint8_t m[6] = {0x02, 0x00, static_cast<uint8_t>(station >> 24), static_cast<uint8_t>(station >> 16),
                          static_cast<uint8_t>(station >> 8), static_cast<uint8_t>(station)};
    f.insert(f.end(), m, m + 6);
}

// Ethernet II from `src` to `dst`: IPv4 with UDP to port 53 (kind 0), TCP to port 80
// (kind 1), or ARP (kind 2); zero-filled to 60 bytes and beyond as the headers need.
Frame frame(unsigned src, unsigned dst, int kind) {
    Frame f;
    mac(f, dst);
    mac(f, src);
    if (kind == 2) {
        put16(f, 0x0806);
        put16(f, 1), put16(f, 0x0800), f.push_back(6), f.push_back(4), put16(f, 2);
    } else {
        put16(f, 0x0800);
        const unsigned proto = kind == 0 ? 17 : 6, header = kind == 0 ? 8 : 20;
        f.push_back(0x45), f.push_back(0), put16(f, 20 + header + 32), put16(f, 0), put16(f, 0x4000);
        f.push_back(64), f.push_back(static_cast<uint8_t>(proto)), put16(f, 0);
        for (int i = 0; i < 8; ++i) f.push_back(static_cast<uint8_t>(10 + i));
        put16(f, 40000), put16(f, kind == 0 ? 53 : 80);
        if (kind == 1) {
            for (int i = 0; i < 8; ++i) f.push_back(0);
            f.push_back(0x50), f.push_back(0x18), put16(f, 1024), put16(f, 0), put16(f, 0);
        } else {
            put16(f, 8 + 32), put16(f, 0);
        }
        f.resize(f.size() + 32, 0);
    }
    if (f.size() < 60) f.resize(60, 0);
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned hosts = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 5000;
    const unsigned peers = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 4;
    Network* net = bench::start_network();
    if (!net) return 1;

    std::vector<Frame> traffic;
    for (unsigned h = 0; h < hosts; ++h)
        for (unsigned p = 1; p <= peers; ++p)
            for (int kind = 0; kind < 3; ++kind) traffic.push_back(frame(h, (h + p * 97) % hosts, kind));
    {
        ModelWriteLock lock;
        for (const Frame& f : traffic) apply(net, f);
    }
    const std::string base = (std::filesystem::temp_directory_path() / "hopscope-bench-hostrep").string();

    std::vector<double> alone;
    HostReportStats stats;
    for (int run = 0; run < 5; ++run) {
        const auto t0 = Clock::now();
        if (host_report_write(net, base, report_times_now(), nullptr, &stats) != 1) return 1;
        alone.push_back(ms(Clock::now() - t0));
    }
    std::sort(alone.begin(), alone.end());
    std::printf("hosts %u, rows %zu, pieces %zu, text %ju bytes\n", hosts, stats.rows, stats.pieces,
                static_cast<uintmax_t>(std::filesystem::file_size(base + ".txt")));
    std::printf("host report alone: best %.1f ms, median %.1f ms (5 runs); lock held %.3f ms a piece on average\n",
                alone.front(), alone[2], stats.total_hold_seconds * 1000 / static_cast<double>(stats.pieces));

    std::atomic<bool> stop{false};
    bench::Series quiet;
    std::thread t([&] { quiet = bench::capture_passes(net, traffic, stop); });
    std::this_thread::sleep_for(std::chrono::seconds(2));
    stop.store(true);
    t.join();

    stop.store(false);
    bench::Series busy;
    std::thread c([&] { busy = bench::capture_passes(net, traffic, stop); });
    double longest_hold = 0, longest_report = 0;
    int reports = 0;
    const auto until = Clock::now() + std::chrono::seconds(2);
    while (Clock::now() < until) {
        const auto t0 = Clock::now();
        if (host_report_write(net, base, report_times_now(), nullptr, &stats) != 1) return 1;
        longest_report = std::max(longest_report, ms(Clock::now() - t0));
        longest_hold = std::max(longest_hold, stats.longest_hold_seconds * 1000);
        ++reports;
    }
    stop.store(true);
    c.join();
    quiet.print_waits("capture, no report:");
    busy.print_waits("capture, reports back to back:");
    std::printf("reports written meanwhile %d, longest %.1f ms; longest lock hold for one piece %.3f ms\n", reports,
                longest_report, longest_hold);
    if (!std::getenv("HOPSCOPE_BENCH_KEEP"))
        for (int kind = 0; kind < kDocumentKinds; ++kind) std::filesystem::remove(document_path(base, kind));
    return 0;
}
