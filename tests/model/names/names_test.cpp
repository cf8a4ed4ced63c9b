#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

#include "model/names/names.h"
#include "model/net.h"
#include "support/pcap_writer.h"

namespace {

std::string write_file(const std::string& name, const std::string& contents) {
    std::string path = testsupport::temp_path(name);
    std::ofstream(path, std::ios::binary) << contents;
    return path;
}

NetAddress ether(const char* text) {
    NetAddress a;
    netaddr_init(&a, kEtherType);
    netaddr_parse(&a, text);
    return a;
}

std::string name_at(const char* address_text) {
    NetAddress a = ether(address_text);
    const NameEntry* e = local_name_by_address(&a);
    return e && e->name ? e->name : "(none)";
}

int local_count() {
    std::shared_lock lock(names_lock());
    return local_names_by_address()->count;
}

const char* maker(const char* address_text) {
    NetAddress a = ether(address_text);
    for (int i = 3; i < 6; ++i) a.storage[i] = 0;  // as host creation does
    return manufacturer_of(&a);
}

class NameFiles : public ::testing::Test {
protected:
    void SetUp() override {
        netaddr_startup();
        local_names_create();
    }
};

struct Parsed {
    int result;
    uint8_t address[6];
    std::string name;
};

Parsed parse(const char* line) {
    Parsed p{};
    std::memset(p.address, 0xEE, sizeof p.address);
    char name[kNameMax + 1];
    std::strcpy(name, "untouched");
    p.result = parse_address_line(line, p.address, name);
    p.name = name;
    return p;
}

}  // namespace

TEST(ParseAddressLine, BothSpellingsGiveTheSameEntry) {
    for (const char* line : {"08-00-2b-1a-00-ff printer-3", "8:0:2b:1a:0:ff printer-3", "08.00.2B.1A.00.FF\tprinter-3\n",
                             "8 0 2b 1a 0 ff printer-3 and a comment", "8:0:2b:1a:0:ff:printer-3"}) {
        SCOPED_TRACE(line);
        Parsed p = parse(line);
        ASSERT_EQ(p.result, 0);
        const uint8_t want[6] = {0x08, 0x00, 0x2b, 0x1a, 0x00, 0xff};
        EXPECT_EQ(std::memcmp(p.address, want, 6), 0);
        EXPECT_EQ(p.name, "printer-3");
    }
    // Dots and hyphens belong to the name; a colon ends it.
    EXPECT_EQ(parse("1:2:3:4:5:6 gw.example-1.org").name, "gw.example-1.org");
    EXPECT_EQ(parse("1:2:3:4:5:6 host:extra").name, "host");
}

TEST(ParseAddressLine, MissingTokensFailWithoutWritingAndBadBytesReadAsZero) {
    for (const char* line : {"", "08:00:2b:1a:00:ff", "08:00:2b:1a:00:ff   \t", "1:2:3:4:5 name", "host-only"}) {
        SCOPED_TRACE(line);
        Parsed p = parse(line);
        EXPECT_EQ(p.result, -1);
        EXPECT_EQ(p.address[0], 0xEE);
        EXPECT_EQ(p.name, "untouched");
    }
    EXPECT_EQ(parse_address_line(nullptr, nullptr, nullptr), -1);
    // Seven tokens are there: the malformed byte reads as 0, the line stands.
    Parsed p = parse("zz:0x1f:123:4:5:6 odd");
    ASSERT_EQ(p.result, 0);
    EXPECT_EQ(p.address[0], 0x00);
    EXPECT_EQ(p.address[1], 0x1f);
    EXPECT_EQ(p.address[2], 0x23);  // low 8 bits of 0x123
    EXPECT_EQ(p.name, "odd");
}

TEST(ParseAddressLine, NameIsCutTo79Characters) {
    const std::string long_name(100, 'n');
    Parsed p = parse(("1:2:3:4:5:6 " + long_name + "x").c_str());
    ASSERT_EQ(p.result, 0);
    EXPECT_EQ(p.name, std::string(79, 'n'));
}

TEST(NamesTextHash, AlternatesShiftingOnEvenPositions) {
    // 'a' at 0: (0 ^ 97) << 1 = 194; 'b' at 1: 194 ^ 98 = 160, not shifted.
    EXPECT_EQ(names_text_hash("ab"), 160);
    // 'c' at 2: (160 ^ 99) << 1 = 390.
    EXPECT_EQ(names_text_hash("abc"), 390);
    EXPECT_EQ(names_text_hash(""), 0);
}

TEST_F(NameFiles, EthersLinesLaterWinsByAddressWhileBothNamesKeepTheirEntries) {
    const std::string path = write_file("ethers",
                                        "# 08:00:2b:1a:00:ff commented-out\n"
                                        "\n"
                                        "   \t\n"
                                        "00:a0:c9:14:c8:29\n"
                                        "   08-00-2b-1a-00-ff printer-3\r\n"
                                        "8:0:2b:1a:0:ff printer-new\r\n"
                                        "1:2:3:4:5:6 last-line-without-newline");
    ASSERT_EQ(ethers_read(path.c_str()), 0);

    EXPECT_EQ(local_count(), 2);
    EXPECT_EQ(name_at("08:00:2b:1a:00:ff"), "printer-new");
    EXPECT_EQ(name_at("00:a0:c9:14:c8:29"), "(none)");  // address-only line skipped
    EXPECT_EQ(name_at("01:02:03:04:05:06"), "last-line-without-newline");

    const NameEntry* old_entry = local_name_lookup_text("printer-3");
    const NameEntry* new_entry = local_name_lookup_text("printer-new");
    ASSERT_TRUE(old_entry && new_entry);
    EXPECT_NE(old_entry, new_entry);
    EXPECT_STREQ(old_entry->name, "printer-3");
    EXPECT_EQ(netaddr_compare(&old_entry->address, &new_entry->address), 0);
    // Text with a colon is an address; the comment's name was never filed.
    EXPECT_EQ(local_name_lookup_text("8:0:2B:1A:0:FF"), new_entry);
    EXPECT_EQ(local_name_lookup_text("commented-out"), nullptr);
    EXPECT_EQ(local_name_lookup_text(nullptr), nullptr);
}

TEST_F(NameFiles, OverlongLineIsCutAndItsRestNeverReadAsALine) {
    // The tail past 1023 characters looks like a valid line; it must not become one.
    std::string comment = "#" + std::string(1022, '-') + "08:00:2b:1a:00:ff hidden\n";
    std::string padded = "1:2:3:4:5:6 kept" + std::string(1100, ' ') + "9:9:9:9:9:9 tail\n";
    const std::string path = write_file("ethers-long", comment + padded);
    ASSERT_EQ(ethers_read(path.c_str()), 0);
    EXPECT_EQ(local_count(), 1);
    EXPECT_EQ(name_at("01:02:03:04:05:06"), "kept");
    EXPECT_EQ(local_name_lookup_text("hidden"), nullptr);
    EXPECT_EQ(local_name_lookup_text("tail"), nullptr);
}

TEST_F(NameFiles, MissingFileLeavesTablesEmptyAndBackslashIsASeparator) {
    EXPECT_EQ(ethers_read(testsupport::temp_path("absent").c_str()), -1);
    EXPECT_EQ(local_count(), 0);

    const std::string dir = testsupport::temp_path("dir");
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/ethers") << "1:2:3:4:5:6 via-backslash\n";
    ASSERT_EQ(ethers_read((dir + "\\ethers").c_str()), 0);
    EXPECT_EQ(name_at("01:02:03:04:05:06"), "via-backslash");
}

TEST_F(NameFiles, SystemEthersFormReads) {
    // ethers(5): address with one-digit bytes, then a host name or an IPv4 address.
    const std::string path = write_file("etc-ethers", "8:0:20:1:2:3  sunbox\n0:1b:21:a:b:c\t192.168.1.5\n");
    ASSERT_EQ(ethers_read(path.c_str()), 0);
    EXPECT_EQ(name_at("08:00:20:01:02:03"), "sunbox");
    EXPECT_EQ(name_at("00:1b:21:0a:0b:0c"), "192.168.1.5");
}

TEST_F(NameFiles, ManufacturersMatchOnlyTheirPrefixAndLaterLinesReplace) {
    const std::string path = write_file("manf",
                                        "# maker list\n"
                                        "00:00:0c:00:00:00 OldName\n"
                                        "00-00-0C-00-00-00 Cisco\n"
                                        "00:a0:c9:14:00:00 NeverMatches\n"
                                        "08:00:2b:00:00:00 DEC trailing words\n");
    HashTable* table = manf_read(path.c_str());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->count, 3);
    EXPECT_STREQ(maker("00:00:0c:12:34:56"), "Cisco");
    EXPECT_STREQ(maker("08:00:2b:ff:ff:ff"), "DEC");
    // Host lookups zero the last three bytes, so a line naming them can never match.
    EXPECT_EQ(maker("00:a0:c9:14:00:00"), nullptr);
    EXPECT_EQ(maker("00:a0:c9:14:c8:29"), nullptr);

    // Lines are cut at 255 characters: here inside the name.
    const std::string cut = write_file("manf-long", std::string(240, ' ') + "1:2:3:0:0:0 Beyond\n");
    manf_read(cut.c_str());
    EXPECT_STREQ(maker("01:02:03:04:05:06"), "Bey");

    // An unreadable file gives an empty table, which then answers nothing.
    HashTable* empty = manf_read(testsupport::temp_path("absent").c_str());
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->count, 0);
    EXPECT_EQ(maker("00:00:0c:12:34:56"), nullptr);
}

TEST_F(NameFiles, ShippedFilesRead) {
    HashTable* table = manf_read(HOPSCOPE_DATA_DIR "/manf");
    EXPECT_GT(table->count, 30000);
    EXPECT_STREQ(maker("00:00:0c:01:02:03"), "Cisco");
    EXPECT_STREQ(maker("00:a0:c9:14:c8:29"), "Intel");
    // Every name is a single token the reader takes whole.
    hashtable_foreach(table, [](void*, void* value) {
        const char* n = static_cast<const char*>(value);
        ASSERT_TRUE(n[0] != '\0' && !std::strpbrk(n, " \t:")) << n;
    });
    EXPECT_EQ(ethers_read(HOPSCOPE_DATA_DIR "/ethers"), 0);  // examples only, all commented
    EXPECT_EQ(local_count(), 0);
}

TEST_F(NameFiles, HostsTakeLocalNameAndManufacturerAtCreation) {
    const std::string ethers = write_file("ethers-hosts", "08:00:2b:1a:00:ff printer-3\n");
    const std::string manf = write_file("manf-hosts", "08:00:2b:00:00:00 DEC\n");
    ASSERT_EQ(ethers_read(ethers.c_str()), 0);
    manf_read(manf.c_str());
    net_list_create();
    Network* net = net_create("test");
    NetAddress named = ether("08:00:2b:1a:00:ff");
    NetAddress other = ether("08:00:2b:00:00:01");
    NetAddress unknown = ether("02:00:00:00:00:01");
    Host* h1 = host_create(net, &named);
    Host* h2 = host_create(net, &other);
    Host* h3 = host_create(net, &unknown);
    ASSERT_NE(h1->name, nullptr);
    EXPECT_STREQ(h1->name, "printer-3");
    EXPECT_STREQ(h1->manufacturer_text, "DEC");
    EXPECT_EQ(h2->name, nullptr);
    EXPECT_STREQ(h2->manufacturer_text, "DEC");
    EXPECT_STREQ(h3->manufacturer_text, "");
}
