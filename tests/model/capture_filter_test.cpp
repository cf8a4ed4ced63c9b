// The capture filter of the capture layer on capture files: what it lets through, that
// a looping file keeps it, and what a bad expression says.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/capture/capture.h"
#include "support/pcap_writer.h"

namespace {

// Frames by EtherType: 3 IPv4, 2 ARP, 1 IPv6.
std::string mixed_capture() {
    const std::vector<uint16_t> types = {0x0800, 0x0806, 0x0800, 0x86DD, 0x0806, 0x0800};
    std::vector<testsupport::Frame> frames;
    for (size_t i = 0; i < types.size(); ++i)
        frames.push_back({10, static_cast<int64_t>(i), testsupport::ether_frame("ff:ff:ff:ff:ff:ff", "00:00:00:00:00:01", types[i]), 0});
    const std::string path = testsupport::temp_path("filter.pcap");
    testsupport::write_pcap(path, frames);
    return path;
}

hscap::Handle* open(const std::string& path, bool loop) {
    hscap::reset_sources();
    char err[hscap::kErrbufSize] = {};
    EXPECT_EQ(hscap::add_capture_file(path.c_str(), hscap::Pace::Fastest, loop, err), 0) << err;
    hscap::Adapter** list = hscap::pcap_lookupdevs(err);
    return hscap::pcap_open_live(hscap::pcap_if_name(list[0]), 65535, 1, 600, err);
}

std::vector<uint16_t> g_seen;
void collect(void*, const hscap::FrameHeader*, const uint8_t* bytes) { g_seen.push_back(uint16_t(bytes[12] << 8 | bytes[13])); }

}  // namespace

TEST(CaptureFilter, DeliversOnlyTheFramesTheExpressionAccepts) {
    struct Case {
        const char* expression;
        size_t frames;
    };
    const std::vector<Case> cases = {
        {"arp", 2}, {"ip", 3}, {"ip6", 1}, {"not arp", 4}, {"arp or ip6", 3}, {"", 6}, {"tcp", 0},
    };
    const std::string path = mixed_capture();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        hscap::Handle* h = open(path, false);
        ASSERT_NE(h, nullptr);
        char err[hscap::kErrbufSize] = {};
        ASSERT_EQ(hscap::set_filter(h, c.expression, err), 0) << err;
        g_seen.clear();
        while (!hscap::finished(h)) ASSERT_GE(hscap::pcap_dispatch(h, 255, collect, nullptr), 0);
        EXPECT_EQ(g_seen.size(), c.frames);
        EXPECT_EQ(hscap::delivered(h), c.frames);
        EXPECT_DOUBLE_EQ(hscap::read_fraction(h), 1.0);
        hscap::pcap_close(h);
    }
}

TEST(CaptureFilter, ALoopingFileKeepsItsFilter) {
    hscap::Handle* h = open(mixed_capture(), true);
    ASSERT_NE(h, nullptr);
    char err[hscap::kErrbufSize] = {};
    ASSERT_EQ(hscap::set_filter(h, "arp", err), 0) << err;
    g_seen.clear();
    for (int i = 0; i < 5 && g_seen.size() < 7; ++i) ASSERT_GE(hscap::pcap_dispatch(h, 7, collect, nullptr), 0);
    ASSERT_GE(g_seen.size(), 7u);  // more than one round of the file
    for (uint16_t type : g_seen) EXPECT_EQ(type, 0x0806);
    hscap::pcap_close(h);
}

TEST(CaptureFilter, ABadExpressionIsNamedWithTheLibrarysMessageAndChangesNothing) {
    hscap::Handle* h = open(mixed_capture(), false);
    ASSERT_NE(h, nullptr);
    char err[hscap::kErrbufSize] = {};
    ASSERT_EQ(hscap::set_filter(h, "ip6", err), 0);
    for (const char* bad : {"arp and", "port 99999", "nonsense words"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(hscap::set_filter(h, bad, err), -1);
        EXPECT_EQ(std::string(err).rfind("capture filter \"" + std::string(bad) + "\": ", 0), 0u) << err;
        EXPECT_GT(std::string(err).size(), std::string(bad).size() + 20) << "no reason given: " << err;
    }
    g_seen.clear();
    while (!hscap::finished(h)) ASSERT_GE(hscap::pcap_dispatch(h, 255, collect, nullptr), 0);
    EXPECT_EQ(g_seen, std::vector<uint16_t>{0x86DD});  // the earlier filter holds
    EXPECT_EQ(hscap::set_filter(nullptr, "arp", err), -1);
    hscap::pcap_close(h);
}

// The open's errors that mean "no capture rights", and the hint given for them.
TEST(CaptureRights, TheErrorsOfMissingRightsAreKnownAndTheHintSaysWhatToDo) {
    struct Case {
        const char* error;
        bool missing;
    };
    const std::vector<Case> cases = {
        {"eth0: socket: Operation not permitted", true},
        {"eth0: You don't have permission to perform this capture on that device", true},
        {"/dev/bpf: Permission denied", true},
        {"eth9: No such device exists", false},
        {"eth0: not an Ethernet adapter", false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(hscap::missing_rights(c.error), c.missing) << c.error;
    EXPECT_FALSE(hscap::missing_rights(nullptr));
    const std::string hint = hscap::rights_hint("veth0");
    EXPECT_EQ(hint.rfind("Cannot capture on veth0: live capture needs root or the capture rights", 0), 0u) << hint;
    EXPECT_NE(hint.find("cap_net_raw"), std::string::npos);
}
