// Shows that the per-frame path allocates nothing once its hosts, links and tally
// nodes exist: every allocation function of the process is counted while frames run
// through netif_frame with classification and the frame window.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "model/engine.h"
#include "model/net.h"
#include "model/netif.h"
#include "protocol/pd.h"
#include "support/pcap_writer.h"

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
void note() {
    if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" void* malloc(size_t n) { note(); return __libc_malloc(n); }
extern "C" void* calloc(size_t n, size_t m) { note(); return __libc_calloc(n, m); }
extern "C" void* realloc(void* p, size_t n) { note(); return __libc_realloc(p, n); }
extern "C" void free(void* p) { __libc_free(p); }
void* operator new(size_t n) {
    note();
    if (void* p = __libc_malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) { return operator new(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept { note(); return __libc_malloc(n ? n : 1); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept { note(); return __libc_malloc(n ? n : 1); }
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t) noexcept { __libc_free(p); }

TEST(PerFramePath, AllocatesNothingForKnownHostsLinksAndProtocols) {
    engine_reset();
    Network* net = net_create("alloc");
    net_list_add(net);
    net_set_current(net);
    // ROOT -> IP (EtherType 0x0800 at offset 12) -> everything else under OTHER.
    ProtocolNode root, ip, other_root, other_ip;
    std::strcpy(root.name, "ROOT");
    root.high = 0;
    ip.width = 2;
    ip.offset = 12;
    ip.low = ip.high = 0x0800;
    other_root.high = 0xFFFFFFFF;
    other_ip.high = 0xFFFFFFFF;
    root.first_child = &ip;
    ip.next = &other_root;
    ip.first_child = &other_ip;
    pd_set_root(&root);

    const char* hosts[] = {"00:00:00:00:00:01", "00:00:00:00:00:02", "00:00:00:00:00:03", "ff:ff:ff:ff:ff:ff"};
    std::vector<std::vector<uint8_t>> frames;
    for (const char* s : hosts)
        for (const char* d : hosts) {
            frames.push_back(testsupport::ether_frame(d, s, 0x0800, 100));
            frames.push_back(testsupport::ether_frame(d, s, 0x0806, 28));
        }
    auto run = [&](int rounds, int32_t second) {
        for (int r = 0; r < rounds; ++r)
            for (size_t i = 0; i < frames.size(); ++i) {
                hscap::FrameHeader h{second + r / 1000, int32_t((r % 1000) * 1000 + i), uint32_t(frames[i].size()),
                                     uint32_t(frames[i].size())};
                netif_frame(net, &h, frames[i].data());
            }
    };
    run(1, 1000);  // creates every host, link and tally node
    net_refresh(net);
    g_counting = true;
    run(20000, 2000);  // 640 000 frames, the window wrapping many times
    net_refresh(net);
    g_counting = false;
    EXPECT_EQ(g_allocations.load(), 0);
    EXPECT_EQ(net->host_count, 4);

    // The counter itself works: a frame from a new station allocates its host and link.
    auto fresh = testsupport::ether_frame("00:00:00:00:00:01", "00:00:00:00:00:09", 0x0800, 100);
    hscap::FrameHeader h{3000, 0, uint32_t(fresh.size()), uint32_t(fresh.size())};
    g_counting = true;
    netif_frame(net, &h, fresh.data());
    g_counting = false;
    EXPECT_GT(g_allocations.load(), 0);
    pd_set_root(nullptr);
}
