// The capture thread against the window thread: adapter switches and shutdown while
// passes run, with another thread reading the model. Built with -DHOPSCOPE_TSAN=ON this
// is where ThreadSanitizer looks for races on the handle, the current network and the
// settings.
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <chrono>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/net.h"
#include "base/netaddr.h"
#include "display/map_settings.h"
#include "model/engine.h"
#include "shell/settings.h"
#include "shell/shell.h"
#include "app/steps.h"
#include "shell/startup_steps.h"
#include "support/pcap_writer.h"

namespace {

// A capture of `hosts` stations, each sending to the next.
std::string capture_of(const std::string& name, int first_host, int hosts) {
    std::vector<testsupport::Frame> frames;
    char src[32], dst[32];
    for (int i = 0; i < 200; ++i) {
        int a = first_host + i % hosts, b = first_host + (i + 1) % hosts;
        std::snprintf(src, sizeof src, "02:00:00:00:00:%02x", a);
        std::snprintf(dst, sizeof dst, "02:00:00:00:00:%02x", b);
        frames.push_back({100 + i / 50, (i % 50) * 1000, testsupport::ether_frame(dst, src, 0x0800, 60), 0});
    }
    std::string path = testsupport::temp_path(name);
    testsupport::write_pcap(path, frames);
    return path;
}

// Waits (boundedly) until `done` holds.
template <class F>
bool eventually(F done) {
    for (int i = 0; i < 2000; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

// Every host of the network has an address within [first, first + hosts).
bool hosts_within(const Network* net, int first, int hosts) {
    std::shared_lock<std::shared_mutex> lock(model_lock());
    bool ok = true;
    list_foreach(net->host_list, [&](void* item) {
        const int last = static_cast<const Host*>(item)->address.storage[5];
        if (last < first || last >= first + hosts) ok = false;
    });
    return ok;
}

int host_count(const Network* net) {
    std::shared_lock<std::shared_mutex> lock(model_lock());
    return net->host_count;
}

std::atomic<int> g_draws{0};

// The draw step reads the display settings, as the map does.
void draw_reading_settings(Network*) {
    const MapSettings& s = map_settings();
    if (s.bytes + s.dynamic + s.show_name + model_settings().node_timeout >= 0) g_draws.fetch_add(1);
}

}  // namespace

TEST(CaptureSwitch, SwitchesAndShutdownNeverMixAdaptersOrRace) {
    hscap::reset_sources();
    startup_steps() = app_startup_steps();
    startup_steps().capture_hooks.draw = draw_reading_settings;
    default_clear();
    engine_reset();

    const std::string a = capture_of("a.pcap", 0x10, 5), b = capture_of("b.pcap", 0x40, 7);
    char err[hscap::kErrbufSize] = {};
    // Replayed as fast as they can be read, looping, so that passes follow each other.
    ASSERT_EQ(hscap::add_capture_file(a.c_str(), hscap::Pace::Fastest, true, err), 0) << err;
    ASSERT_EQ(hscap::add_capture_file(b.c_str(), hscap::Pace::Fastest, true, err), 0) << err;
    ShellState& st = shell_state();
    st.adapters = hscap::pcap_lookupdevs(st.errbuf);
    st.adapter_count = hscap::pcap_get_interface_count();
    ASSERT_GE(st.adapter_count, 2);
    for (int i = 0; i < st.adapter_count; ++i) net_list_add(net_create(st.adapters[i]->name));
    // The files head the list in the order they were named.
    Network* net_a = net_find(st.adapters[0]->name);
    Network* net_b = net_find(st.adapters[1]->name);
    ASSERT_TRUE(net_a && net_b);

    shell_open_adapter(0);
    shell_start_threads();

    // A reader on a thread of its own, as a list window or report writer would be.
    std::atomic<bool> reading{true};
    std::thread reader([&] {
        while (reading.load()) {
            std::shared_lock<std::shared_mutex> lock(model_lock());
            if (Network* n = net_current()) (void)n->host_count;
        }
    });

    for (int round = 0; round < 20; ++round) {
        const unsigned index = round % 2;
        const uint64_t before = st.capture.passes.load();
        shell_open_adapter(index);  // the handle is closed while the thread runs
        map_settings().bytes = round % 2;
        model_settings().node_timeout = round;
        EXPECT_EQ(settings().interface, static_cast<int>(index));
        EXPECT_EQ(net_current(), index == 0 ? net_a : net_b);
        ASSERT_TRUE(eventually([&] { return st.capture.passes.load() > before + 2; }));
    }
    ASSERT_TRUE(eventually([&] { return host_count(net_a) == 5 && host_count(net_b) == 7; }));

    shell_stop_capture();
    reading.store(false);
    reader.join();
    EXPECT_FALSE(st.capture_worker.joinable());
    EXPECT_EQ(st.capture.handle, nullptr);

    // No frame of one file ever reached the other file's network.
    EXPECT_TRUE(hosts_within(net_a, 0x10, 5));
    EXPECT_TRUE(hosts_within(net_b, 0x40, 7));
    EXPECT_GT(g_draws.load(), 0);

    // A stop without any switch, right after the start.
    shell_open_adapter(1);
    shell_start_threads();
    shell_stop_capture();
    EXPECT_EQ(st.capture.handle, nullptr);
    hscap::reset_sources();
    startup_steps() = app_startup_steps();
}

// A live adapter on a segment where nothing is sent: every pass must still end at its
// read time-out, so that passes go on and an adapter switch or the shutdown never waits
// for a frame. Run in a child process inside a network namespace of its own, where the
// loopback adapter is silent.
TEST(SilentSegmentDeathTest, PassesEndAndStopReturnsWithoutAnyFrame) {
    if (::geteuid() != 0) GTEST_SKIP() << "a network namespace and live capture need root";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::alarm(60);  // a hang ends the child, and fails the test, instead of the run
            if (::unshare(CLONE_NEWNET) != 0) std::_Exit(2);
            int sock = ::socket(AF_INET, SOCK_DGRAM, 0);
            ifreq ifr{};
            std::strcpy(ifr.ifr_name, "lo");
            if (sock < 0 || ::ioctl(sock, SIOCGIFFLAGS, &ifr) != 0) std::_Exit(3);
            ifr.ifr_flags |= IFF_UP;
            if (::ioctl(sock, SIOCSIFFLAGS, &ifr) != 0) std::_Exit(3);
            ::close(sock);

            hscap::reset_sources();
            default_clear();
            settings().snaplen = 54;
            engine_reset();
            ShellState& st = shell_state();
            st.adapters = hscap::pcap_lookupdevs(st.errbuf);
            st.adapter_count = hscap::pcap_get_interface_count();
            int lo = -1;
            for (int i = 0; i < st.adapter_count; ++i) {
                net_list_add(net_create(st.adapters[i]->name));
                if (std::strcmp(st.adapters[i]->name, "lo") == 0) lo = i;
            }
            if (lo < 0) std::_Exit(4);
            shell_open_adapter(static_cast<unsigned>(lo));
            if (!st.capture.handle) std::_Exit(5);
            shell_start_threads();
            while (st.capture.passes.load() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            shell_open_adapter(static_cast<unsigned>(lo));  // switch while a pass waits
            const uint64_t before = st.capture.passes.load();
            while (st.capture.passes.load() < before + 1) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            shell_stop_capture();  // while a pass waits
            std::_Exit(st.capture.handle == nullptr && net_current() && net_current()->host_count == 0 ? 0 : 6);
        },
        ::testing::ExitedWithCode(0), "");
}
