// The custom focus file, the focus dictionary, the current focus as the traffic model's
// focus source, and the palette with its colour-map binding. The multi-thread test runs
// under ThreadSanitizer in the -DHOPSCOPE_TSAN=ON -DHOPSCOPE_GUI=OFF build.
#include <gtest/gtest.h>

#include <QImage>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "display/cfocus.h"
#include "display/palette.h"
#include "graphics/graphics.h"
#include "graphics/mswin.h"
#include "base/message.h"
#include "model/engine.h"
#include "model/net.h"
#include "model/netif.h"
#include "protocol/pd.h"
#include "protocol/pdl.h"
#include "protocol/symbol.h"
#include "support/pcap_writer.h"

namespace {

const std::string kShipped = std::string(HOPSCOPE_DATA_DIR) + "/cfdump.bin";

std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string le32(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    return std::string{char(u & 0xff), char(u >> 8 & 0xff), char(u >> 16 & 0xff), char(u >> 24 & 0xff)};
}

// A palette block of `n` colours, colour i being (i, 2i, 3i).
std::string palette_block(int32_t count, int colours) {
    std::string b = le32(count);
    for (int i = 0; i < colours; ++i) b += std::string{char(i), char(2 * i), char(3 * i), 0};
    return b;
}

std::string record(const std::string& name, const std::vector<std::pair<std::string, int>>& entries) {
    std::string r = name + "\n" + le32(int32_t(entries.size()));
    for (const auto& [protocol, colour] : entries) r += protocol + "\n" + le32(colour);
    return r;
}

Focus make_focus(const char* name, const std::vector<std::pair<const char*, int>>& entries) {
    Focus f;
    std::snprintf(f.name, sizeof f.name, "%s", name);
    for (const auto& [protocol, colour] : entries) {
        const Symbol* s = symbol_lookup(protocol);
        f.entries.push_back(FocusItem{s ? s->node : nullptr, protocol, colour});
    }
    return f;
}

std::string mac(int i) {
    char text[18];
    std::snprintf(text, sizeof text, "02:00:00:00:00:%02X", i & 0xff);
    return text;
}

struct Messages {
    Messages() {
        previous = message_set_sink(
            [this](const std::string& t, const std::string& m, MessageIcon i) { shown.push_back({t, m, i}); });
    }
    ~Messages() { message_set_sink(previous); }
    struct Shown {
        std::string title, text;
        MessageIcon icon;
    };
    std::vector<Shown> shown;
    MessageSink previous;
};

class FocusTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Loaded once: the snapshots and link tallies of earlier tests keep pointing at
        // these nodes.
        static ProtocolNode* root = pdl_parse(HOPSCOPE_DATA_DIR "/protocol.pdl");
        root_ = root;
    }
    void SetUp() override {
        ASSERT_NE(root_, nullptr);
        palette_set_colour_map(nullptr);
        palette_reset();
        free_logical_palette();
        focus_dictionary().clear();
        engine_reset();
        cfocus_set_current(nullptr);
        pd_set_root(root_);
        model_set_clock({});
        net = net_create("focus0");
        net_list_add(net);
        net_set_current(net);
    }
    void TearDown() override {
        cfocus_set_current(nullptr);
        model_set_focus_source(nullptr);
        palette_set_colour_map(nullptr);
        pd_set_root(nullptr);
    }

    static const ProtocolNode* node(const char* name) {
        const Symbol* s = symbol_lookup(name);
        return s ? s->node : nullptr;
    }

    // `count` frames of EtherType `type` with `payload` bytes from host a to host b.
    void send(int a, int b, uint16_t type, size_t payload, int count = 1) {
        const auto bytes = testsupport::ether_frame(mac(b), mac(a), type, payload);
        for (int i = 0; i < count; ++i) {
            ++frame_;
            hscap::FrameHeader header{1000 + frame_ / 1000, frame_ % 1000 * 1000, uint32_t(bytes.size()),
                                      uint32_t(bytes.size())};
            netif_frame(net, &header, bytes.data());
        }
    }
    Link* link(int a, int b) {
        const NetAddress from = address(a), to = address(b);
        Host* h = host_find(net, &from);
        return h ? link_find(h, &to) : nullptr;
    }
    static NetAddress address(int i) {
        NetAddress n;
        netaddr_init(&n, kEtherType);
        netaddr_parse(&n, mac(i).c_str());
        return n;
    }

    static ProtocolNode* root_;
    Network* net = nullptr;
    int frame_ = 0;
};
ProtocolNode* FocusTest::root_ = nullptr;

// --- the file ---------------------------------------------------------------------------

TEST_F(FocusTest, WritesTheExactFileLayout) {
    Palette p{};
    p.colours[0] = {1, 2, 3};
    p.colours[32] = {0xfe, 0x80, 0x7f};
    FocusDictionary d;
    d.push_back(make_focus("Web", {{"HTTP", 3}, {"NOSUCH_PROTOCOL", 31}}));
    d.push_back(make_focus("Empty", {}));
    std::string expected = le32(33) + std::string{1, 2, 3, 0} + std::string(31 * 4, '\0') +
                           std::string{char(0xfe), char(0x80), 0x7f, 0};
    expected += "Web\n" + le32(2) + "HTTP\n" + le32(3) + "NOSUCH_PROTOCOL\n" + le32(31);
    expected += "Empty\n" + le32(0);
    EXPECT_EQ(cfocus_serialise(p, d), expected);
}

TEST_F(FocusTest, DumpThenReadGivesBackPaletteNamesEntriesAndColours) {
    for (int k = 0; k < kPaletteColours; ++k) palette_set_colour(k, {uint8_t(k), uint8_t(255 - k), uint8_t(7 * k)});
    FocusDictionary& d = focus_dictionary();
    d.push_back(make_focus("Ethernet", {{"IP", 0}, {"IPV6", 6}, {"ARP", 2}}));
    d.push_back(make_focus("Nothing yet", {}));  // no entries: written with count 0
    d.push_back(make_focus("Odd", {{"NOT_IN_THIS_FILE", 5}, {"SSH", -3}, {"TCP", 1000}}));
    const FocusDictionary before = d;
    const Palette palette_before = palette();
    const std::string path = testsupport::temp_path("cfdump.bin");
    ASSERT_EQ(cfocus_dump(path.c_str()), 1);
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));

    palette_reset();
    d.clear();
    d.push_back(make_focus("stale", {}));
    const FocusDictionary& read = cfocus_read(path.c_str());
    ASSERT_EQ(read.size(), before.size());
    for (size_t i = 0; i < read.size(); ++i) {
        SCOPED_TRACE(before[i].name);
        EXPECT_STREQ(read[i].name, before[i].name);
        ASSERT_EQ(read[i].entries.size(), before[i].entries.size());
        for (size_t j = 0; j < read[i].entries.size(); ++j) {
            EXPECT_EQ(read[i].entries[j].protocol, before[i].entries[j].protocol);
            EXPECT_EQ(read[i].entries[j].protocol_name, before[i].entries[j].protocol_name);
            EXPECT_EQ(read[i].entries[j].colour, before[i].entries[j].colour);
        }
    }
    for (int k = 0; k < kPaletteColours; ++k) EXPECT_EQ(palette().colours[k], palette_before.colours[k]) << k;
    // And the same bytes again.
    const std::string again = testsupport::temp_path("cfdump-again.bin");
    ASSERT_EQ(cfocus_dump(again.c_str()), 1);
    EXPECT_EQ(read_bytes(again), read_bytes(path));
}

TEST_F(FocusTest, AMissingFileWarnsAndLeavesThePaletteAndAnEmptyDictionary) {
    palette_set_colour(4, {9, 9, 9});
    focus_dictionary().push_back(make_focus("old", {}));
    Messages messages;
    const char* path = "no/such/dir/cfdump.bin";
    EXPECT_TRUE(cfocus_read(path).empty());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Hopscope");
    EXPECT_EQ(messages.shown[0].text, "Custom Focus: Could not open file no/such/dir/cfdump.bin for parsing");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(palette().colours[4], (PaletteColour{9, 9, 9}));
    EXPECT_EQ(palette().colours[5], palette_default_colour(5));
    EXPECT_EQ(find_focus("old"), nullptr);
}

TEST_F(FocusTest, ABackslashInThePathIsASeparator) {
    const std::string dir = testsupport::temp_path("cfdir");
    std::filesystem::create_directories(dir);
    write_bytes(dir + "/cfdump.bin", palette_block(0, 0) + record("Only", {}));
    const std::string windows_style = dir + "\\cfdump.bin";
    Messages messages;
    ASSERT_EQ(cfocus_read(windows_style.c_str()).size(), 1u);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(cfocus_dump(windows_style.c_str()), 1);
    EXPECT_FALSE(std::filesystem::exists(windows_style));
}

TEST_F(FocusTest, ShortAndOutOfFormatFilesKeepWhatWasReadWhole) {
    struct Case {
        const char* what;
        std::string bytes;
        int colours_loaded;                // palette entries taken from the file
        std::vector<std::string> focuses;  // names, in order
        std::vector<size_t> entries;       // entry counts of those focuses
    };
    const std::string pal = palette_block(33, 33);
    const std::string web = record("Web", {{"HTTP", 3}, {"HTTPS", 4}});
    const std::vector<Case> cases = {
        {"empty file", "", 0, {}, {}},
        {"count cut short", "\x21\x00", 0, {}, {}},
        {"palette count 0 and nothing else", palette_block(0, 0), 0, {}, {}},
        {"palette block only", pal, 33, {}, {}},
        {"five colours", palette_block(5, 5) + web, 5, {"Web"}, {2}},
        {"palette cut inside a colour", palette_block(33, 10) + "\x01\x02", 10, {}, {}},
        {"name line without its count", pal + "Web\n", 33, {}, {}},
        {"name without a line feed", pal + "Web", 33, {}, {}},
        {"entry count cut short", pal + "Web\n\x02\x00", 33, {}, {}},
        {"entry name without its colour", pal + "Web\n" + le32(2) + "HTTP\n" + le32(3) + "HTTPS\n", 33, {"Web"}, {1}},
        {"entry colour cut short", pal + "Web\n" + le32(1) + "HTTP\n\x03", 33, {"Web"}, {0}},
        {"count larger than the entries", pal + "Web\n" + le32(9) + "HTTP\n" + le32(3), 33, {"Web"}, {1}},
        {"huge count", pal + "Web\n" + le32(0x7fffffff) + "HTTP\n" + le32(3), 33, {"Web"}, {1}},
        {"negative count", pal + "Neg\n" + le32(-5) + web, 33, {"Neg", "Web"}, {0, 2}},
        {"two whole records", pal + web + record("Empty", {}), 33, {"Web", "Empty"}, {2, 0}},
        {"empty name", pal + record("", {{"IP", 0}}), 33, {""}, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto* data = reinterpret_cast<const unsigned char*>(c.bytes.data());
        const Palette start = palette();
        const CfocusContents got = cfocus_parse(data, c.bytes.size(), start);
        EXPECT_EQ(got.palette_loaded, c.colours_loaded);
        for (int k = 0; k < kPaletteColours; ++k) {
            const PaletteColour want =
                k < c.colours_loaded ? PaletteColour{uint8_t(k), uint8_t(2 * k), uint8_t(3 * k)} : start.colours[k];
            EXPECT_EQ(got.palette.colours[k], want) << k;
        }
        ASSERT_EQ(got.focuses.size(), c.focuses.size());
        for (size_t i = 0; i < got.focuses.size(); ++i) {
            EXPECT_EQ(got.focuses[i].name, c.focuses[i]);
            EXPECT_EQ(got.focuses[i].entries.size(), c.entries[i]);
        }
    }
}

TEST_F(FocusTest, APaletteCountAbove33IsReportedAndEndsTheFile) {
    for (const int32_t count : {34, 1000, -1}) {
        SCOPED_TRACE(count);
        const std::string bytes = palette_block(count, 33) + record("Web", {{"HTTP", 3}});
        const std::string path = testsupport::temp_path("big.bin");
        write_bytes(path, bytes);
        const Palette before = palette();
        testing::internal::CaptureStdout();
        const FocusDictionary& d = cfocus_read(path.c_str());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "palette_read: Header greater than 33\n");
        EXPECT_TRUE(d.empty());
        for (int k = 0; k < kPaletteColours; ++k) EXPECT_EQ(palette().colours[k], before.colours[k]);
    }
}

TEST_F(FocusTest, NamesAreReadAsWholeLines) {
    const std::string long_protocol(40, 'P');
    const std::string long_name = "A focus name much longer than thirty-one characters";
    // 30 ASCII bytes, then a two-byte character that would end at byte 32.
    const std::string utf8_name = std::string(30, 'x') + "\xc3\xa9" + "tail";
    const std::string bytes = palette_block(0, 0) + record(long_name, {{long_protocol, 1}, {"HTTP", 2}}) +
                              record(utf8_name, {}) + record("Ethernet", {{"ETHER2", 1}});
    const CfocusContents c = cfocus_parse(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), palette());
    ASSERT_EQ(c.focuses.size(), 3u);
    EXPECT_EQ(std::string(c.focuses[0].name), long_name.substr(0, 31));
    ASSERT_EQ(c.focuses[0].entries.size(), 2u);
    // A long protocol name does not spill into the next entry.
    EXPECT_EQ(c.focuses[0].entries[0].protocol_name, long_protocol);
    EXPECT_EQ(c.focuses[0].entries[0].protocol, nullptr);
    EXPECT_EQ(c.focuses[0].entries[1].protocol, node("HTTP"));
    EXPECT_EQ(std::string(c.focuses[1].name), std::string(30, 'x'));  // not half a character
    EXPECT_EQ(c.focuses[2].entries[0].protocol, node("ETHER2"));
}

TEST_F(FocusTest, UnknownProtocolsAreKeptAndWrittenBackButColourNothing) {
    const std::string path = testsupport::temp_path("unknown.bin");
    std::string with_nul = "IP";
    with_nul += '\0';
    with_nul += "x";
    write_bytes(path, palette_block(0, 0) + record("Mixed", {{"GOPHER", 1}, {"ARP", 2}, {with_nul, 3}, {"ip", 4}}));
    const FocusDictionary& d = cfocus_read(path.c_str());
    ASSERT_EQ(d.size(), 1u);
    ASSERT_EQ(d[0].entries.size(), 4u);
    EXPECT_EQ(d[0].entries[0].protocol, nullptr);
    EXPECT_EQ(d[0].entries[1].protocol, node("ARP"));
    EXPECT_EQ(d[0].entries[2].protocol, nullptr);  // a name with a NUL is no name of the table
    EXPECT_EQ(d[0].entries[3].protocol, nullptr);  // names are case-sensitive

    cfocus_set_current(find_focus("Mixed"));
    const FocusView v = cfocus_view();
    ASSERT_EQ(v.count, 1);
    EXPECT_EQ(v.entries[0].protocol, node("ARP"));
    EXPECT_EQ(v.entries[0].colour, 2);

    const std::string out = testsupport::temp_path("unknown-out.bin");
    ASSERT_EQ(cfocus_dump(out.c_str()), 1);
    EXPECT_NE(read_bytes(out).find("GOPHER\n"), std::string::npos);
    EXPECT_NE(read_bytes(out).find(with_nul + "\n"), std::string::npos);
}

TEST_F(FocusTest, AnUnwritableFileIsReportedAndNothingElseHappens) {
    focus_dictionary().push_back(make_focus("Keep", {{"IP", 1}}));
    const std::string path = testsupport::temp_path("missing-dir") + "/cfdump.bin";
    testing::internal::CaptureStdout();
    EXPECT_EQ(cfocus_dump(path.c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "cfocus_dump: Warning - cannot overwrite " + path + "\n");
    EXPECT_EQ(focus_dictionary().size(), 1u);

    // An existing file is replaced whole, shorter or not, and keeps its permissions.
    const std::string existing = testsupport::temp_path("existing.bin");
    write_bytes(existing, std::string(5000, 'z'));
    namespace fs = std::filesystem;
    fs::permissions(existing, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(cfocus_dump(existing.c_str()), 1);
    EXPECT_EQ(read_bytes(existing), cfocus_serialise(palette(), focus_dictionary()));
    EXPECT_EQ(fs::status(existing).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // A link to the file stays a link; the file it points to is rewritten.
    const std::string link_path = testsupport::temp_path("link.bin");
    write_bytes(existing, "old");
    fs::create_symlink(existing, link_path);
    ASSERT_EQ(cfocus_dump(link_path.c_str()), 1);
    EXPECT_TRUE(fs::is_symlink(link_path));
    EXPECT_EQ(read_bytes(existing), cfocus_serialise(palette(), focus_dictionary()));
}

TEST_F(FocusTest, FindFocusTakesTheLastOfEqualNames) {
    const std::string path = testsupport::temp_path("twins.bin");
    write_bytes(path, palette_block(0, 0) + record("Twin", {{"IP", 1}}) + record("Other", {}) +
                          record("Twin", {{"ARP", 2}}) + record("Twin ", {}));
    (void)cfocus_read(path.c_str());
    const Focus* f = find_focus("Twin");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f, &focus_dictionary()[2]);
    EXPECT_EQ(find_focus("twin"), nullptr);
    EXPECT_EQ(find_focus("Tw"), nullptr);
    EXPECT_EQ(find_focus(""), nullptr);
    EXPECT_EQ(find_focus(nullptr), nullptr);

    // Start-up: the current focus is the last "Twin".
    cfocus_set_current(find_focus("Twin"));
    ASSERT_NE(cfocus_current(), nullptr);
    EXPECT_STREQ(cfocus_current()->name, "Twin");
    ASSERT_EQ(cfocus_current()->entries.size(), 1u);
    EXPECT_EQ(cfocus_current()->entries[0].protocol, node("ARP"));
    cfocus_set_current(find_focus("Nobody"));
    EXPECT_EQ(cfocus_current(), nullptr);
    EXPECT_EQ(cfocus_view().count, 0);
}

// --- the current focus colours the links ------------------------------------------------

TEST_F(FocusTest, LinksTakeTheDominantColourOfTheCurrentFocus) {
    send(1, 2, 0x0800, 500, 4);  // IPv4: 4 x 514 bytes
    send(1, 2, 0x0806, 46, 10);  // ARP: 10 x 60 bytes
    send(3, 4, 0x0806, 46, 2);   // ARP only
    send(5, 6, 0x88cc, 46, 1);   // LLDP: no entry of the focus
    send(7, 8, 0x0800, 46, 1);   // IPv4 only
    {
        std::unique_lock<std::shared_mutex> lock(model_lock());
        net_refresh(net);
    }
    Link* mixed = link(1, 2);
    Link* arp = link(3, 4);
    Link* lldp = link(5, 6);
    Link* ip = link(7, 8);
    ASSERT_TRUE(mixed && arp && lldp && ip);
    EXPECT_EQ(mixed->colour_index, -1);  // no focus yet

    const Focus ethernet = make_focus("Ethernet", {{"ARP", 2}, {"IP", 0}, {"GOPHER", 9}});
    cfocus_set_current(&ethernet);  // recolours at once, before any refresh
    EXPECT_EQ(mixed->colour_index, 0);
    EXPECT_EQ(arp->colour_index, 2);
    EXPECT_EQ(lldp->colour_index, -1);
    EXPECT_EQ(link_dominant_colour(mixed), 0);

    // Equal bytes: the earlier entry wins. ETHER2 carries every byte IP carries.
    const Focus nested = make_focus("Nested", {{"IP", 5}, {"ETHER2", 7}});
    cfocus_set_current(&nested);
    EXPECT_EQ(ip->colour_index, 5);
    EXPECT_EQ(arp->colour_index, 7);
    const Focus parent_first = make_focus("Parent first", {{"ETHER2", 7}, {"IP", 5}});
    cfocus_set_current(&parent_first);
    EXPECT_EQ(ip->colour_index, 7);
    EXPECT_EQ(mixed->colour_index, 7);

    // Colours from a hostile file never leave the palette: "Other".
    const Focus wild = make_focus("Wild", {{"IP", 100000}, {"ARP", -2}});
    cfocus_set_current(&wild);
    EXPECT_EQ(mixed->colour_index, kPaletteOther);
    EXPECT_EQ(arp->colour_index, kPaletteOther);

    cfocus_set_current(nullptr);
    EXPECT_EQ(mixed->colour_index, -1);
    EXPECT_EQ(arp->colour_index, -1);
}

// The capture-and-draw thread refreshes the links (reading the focus through the model's
// focus source) while the window thread switches the current focus back and forth.
TEST_F(FocusTest, FocusSwitchesWhileRefreshesRun) {
    const std::vector<Focus> focuses = {
        make_focus("A", {{"IP", 1}, {"ARP", 2}}),
        make_focus("B", {{"ARP", 4}, {"IP", 5}, {"IPV6", 6}}),
        make_focus("C", {{"LLDP", 8}}),
    };
    std::atomic<bool> done{false};
    std::thread capture([&] {
        for (int pass = 0; pass < 300; ++pass) {
            std::unique_lock<std::shared_mutex> lock(model_lock());
            send(pass % 8, (pass + 1) % 8, 0x0800, 200 + pass % 50);
            send(pass % 8, (pass + 3) % 8, 0x0806, 46);
            net_refresh(net);
        }
        done = true;
    });
    int switches = 0;
    while (!done.load() || switches < 30) {
        const int k = switches++ % 4;
        cfocus_set_current(k < 3 ? &focuses[k] : nullptr);
        const FocusSnapshot* now = cfocus_current();
        if (k < 3) ASSERT_TRUE(now && std::strcmp(now->name, focuses[k].name) == 0);
        else ASSERT_EQ(now, nullptr);
        std::this_thread::yield();
    }
    capture.join();

    cfocus_set_current(&focuses[0]);
    std::shared_lock<std::shared_mutex> lock(model_lock());
    int coloured = 0;
    list_foreach(net->host_list, [&](void* item) {
        hashtable_foreach(static_cast<Host*>(item)->link_table, [&](void*, void* value) {
            auto* l = static_cast<Link*>(value);
            EXPECT_EQ(l->colour_index, link_dominant_colour(l));
            EXPECT_TRUE(l->colour_index == 1 || l->colour_index == 2) << l->colour_index;
            ++coloured;
        });
    });
    EXPECT_GT(coloured, 8);
}

// --- the palette --------------------------------------------------------------------------

TEST_F(FocusTest, ThePaletteIsBoundToColourMapEntriesEightOn) {
    setdevice("mswin");
    opendevice();
    palette_set_colour_map(mapcolor);  // binds the defaults at once
    for (int k = 0; k < kPaletteColours; ++k) {
        const PaletteColour c = palette_default_colour(k);
        EXPECT_EQ(mswin_colour(k + kPaletteMapOffset), uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue) << k;
        EXPECT_NE(mswin_colour(k + kPaletteMapOffset), 0u) << "invisible on the black map: " << k;
    }
    const uint32_t before_map = mswin_colour(7), after_map = mswin_colour(41);

    // A file with five colours changes palette 0..4 and entries 8..12 only.
    const std::string path = testsupport::temp_path("five.bin");
    write_bytes(path, palette_block(5, 5));
    (void)cfocus_read(path.c_str());
    for (int k = 0; k < kPaletteColours; ++k) {
        const PaletteColour want = k < 5 ? PaletteColour{uint8_t(k), uint8_t(2 * k), uint8_t(3 * k)} : palette_default_colour(k);
        EXPECT_EQ(palette().colours[k], want) << k;
        EXPECT_EQ(mswin_colour(k + 8), uint32_t(want.red) << 16 | uint32_t(want.green) << 8 | want.blue) << k;
    }
    EXPECT_EQ(mswin_colour(7), before_map);
    EXPECT_EQ(mswin_colour(41), after_map);

    palette_set_colour(kPaletteColours, {1, 1, 1});  // out of range: ignored
    palette_set_colour(-1, {1, 1, 1});
    EXPECT_EQ(mswin_colour(41), after_map);
    EXPECT_EQ(mswin_colour(7), before_map);
}

TEST_F(FocusTest, TheLogicalPaletteHasThePaletteThenWhiteThenBlack) {
    EXPECT_EQ(logical_palette(), nullptr);
    palette_set_colour(32, {0x10, 0x20, 0x30});
    build_logical_palette();
    const LogicalPalette* l = logical_palette();
    ASSERT_NE(l, nullptr);
    for (int k = 0; k < kPaletteColours; ++k) {
        const PaletteColour c = palette().colours[k];
        EXPECT_EQ(l->entries[k], uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue) << k;
    }
    EXPECT_EQ(l->entries[32], 0x102030u);
    EXPECT_EQ(l->entries[kLogicalWhite], 0xffffffu);
    for (int i = kLogicalBlack; i < kLogicalPaletteSize; ++i) EXPECT_EQ(l->entries[i], 0u) << i;
    // A palette change reaches it at once (the Palette Editor's edits).
    palette_set_colour(3, {0xaa, 0xbb, 0xcc});
    EXPECT_EQ(logical_palette()->entries[3], 0xaabbccu);
    free_logical_palette();
    EXPECT_EQ(logical_palette(), nullptr);
}

// --- the shipped file ------------------------------------------------------------------------

TEST_F(FocusTest, TheShippedFileHasTheDefaultFocusAndVisibleDistinctColours) {
    Messages messages;
    const FocusDictionary& d = cfocus_read(kShipped.c_str());
    EXPECT_TRUE(messages.shown.empty());
    ASSERT_GE(d.size(), 3u);
    const Focus* ethernet = find_focus("Ethernet");  // the "focus" setting's default
    ASSERT_NE(ethernet, nullptr);
    std::set<const ProtocolNode*> in_ethernet;
    for (const FocusItem& e : ethernet->entries) in_ethernet.insert(e.protocol);
    for (const char* main : {"IP", "IPV6", "ARP"}) EXPECT_TRUE(in_ethernet.count(node(main))) << main;
    for (const Focus& f : d)
        for (const FocusItem& e : f.entries) {
            EXPECT_NE(e.protocol, nullptr) << f.name << ": " << e.protocol_name;
            EXPECT_TRUE(e.colour >= 0 && e.colour <= 31) << f.name << ": " << e.protocol_name;
        }
    std::set<uint32_t> colours;
    for (int k = 0; k < kPaletteColours; ++k) {
        const PaletteColour c = palette().colours[k];
        EXPECT_GE(c.red + c.green + c.blue, 3 * 0x60) << "too dark for the black map: " << k;
        colours.insert(uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue);
    }
    EXPECT_EQ(colours.size(), size_t(kPaletteColours));
    const PaletteColour other = palette().colours[kPaletteOther];
    EXPECT_TRUE(other.red == other.green && other.green == other.blue) << "Other is a grey";
    // The file is exactly what the writer writes.
    EXPECT_EQ(cfocus_serialise(palette(), d), read_bytes(kShipped));
}

TEST(FocusReplay, TheReplayToolColoursTheDemoByTheShippedFocus) {
    const std::string tool = std::string(HOPSCOPE_BIN_DIR) + "/src/replay/hopscope-replay";
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << "no replay tool";
    const std::string data = HOPSCOPE_DATA_DIR;
    const std::string png = testsupport::temp_path("demo-focus.png");
    const std::string command = tool + " --protocols " + data + "/protocol.pdl --cfdump " + kShipped +
                                " --font " + data + "/font.bin --size 640x480 --map " + png + " " + data + "/demo.pcap";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const QImage made = QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(made.isNull());

    // Palette colours 0 (IPv4 in "Ethernet") and 2 (ARP) from the file itself.
    const std::string bytes = read_bytes(kShipped);
    auto colour = [&](int k) {
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data()) + 4 + 4 * k;
        return uint32_t(b[0]) << 16 | uint32_t(b[1]) << 8 | b[2];
    };
    int ip = 0, arp = 0;
    for (int y = 0; y < made.height(); ++y)
        for (int x = 0; x < made.width(); ++x) {
            const uint32_t p = made.pixel(x, y) & 0xffffffu;
            ip += p == colour(0);
            arp += p == colour(2);
        }
    EXPECT_GT(ip, 500);
    EXPECT_GT(arp, 50);

    const std::vector<std::string> bad_options = {"--cfdump /no/such/file", "--cfdump " + kShipped + " --focus-name Nobody",
                                                  "--focus IP:3 --focus-name Ethernet"};
    for (const std::string& bad : bad_options) {
        const std::string c = tool + " --protocols " + data + "/protocol.pdl " + bad + " --map /dev/null " + data +
                              "/demo.pcap 2>/dev/null";
        EXPECT_NE(std::system(c.c_str()), 0) << bad;
    }
}

}  // namespace
