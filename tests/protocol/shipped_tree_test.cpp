// The protocol tree the program ships (data/protocol.pdl): it loads, its shape keeps
// the walk's limits, frames of the common protocols take the expected paths, and on
// captures the tests make (and on data/demo.pcap when present) the protocols agree
// with an independent dissector for every frame whose headers sit at fixed offsets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "dissector_compare.h"
#include "frames.h"
#include "protocol/pd.h"
#include "protocol/pdl.h"
#include "protocol/symbol.h"
#include "protocol_support.h"

using namespace frames;
using namespace prototest;

namespace {

const std::string kShipped = std::string(HOPSCOPE_DATA_DIR) + "/protocol.pdl";

class ShippedTree : public testing::Test {
protected:
    void SetUp() override {
        MessageCapture cap;
        root_ = pdl_parse(kShipped.c_str());
        ASSERT_NE(root_, nullptr) << (cap.messages.empty() ? "no ROOT" : cap.messages[0].text);
        ASSERT_TRUE(cap.messages.empty());
        pd_set_root(root_);
    }
    void TearDown() override {
        pd_set_root(nullptr);
        symbol_reset();
    }
    static std::string path_of(const Bytes& f) {
        const ProtocolNode* const* path = pd_classify(f.data(), static_cast<uint32_t>(f.size()),
                                                      static_cast<uint32_t>(f.size()));
        std::string s;
        for (int i = 0; path[i]; ++i) s += (i ? "/" : "") + std::string(path[i]->name);
        return s;
    }
    ProtocolNode* root_ = nullptr;
};

void walk(const ProtocolNode* n, int depth, const std::function<void(const ProtocolNode*, int)>& visit) {
    visit(n, depth);
    for (const ProtocolNode* c = n->first_child; c; c = c->next) walk(c, depth + 1, visit);
}

TEST_F(ShippedTree, EveryNameIsDefinedAndPlaced) {
    std::set<const ProtocolNode*> in_tree;
    int deepest = 0;
    walk(root_, 0, [&](const ProtocolNode* n, int depth) {
        in_tree.insert(n);
        deepest = std::max(deepest, depth);
        // A field whose name was misspelt would be a node with no label.
        EXPECT_STRNE(n->label, "") << n->name;
    });
    // Deeper nodes could never be reached: the path holds six.
    EXPECT_LE(deepest + 1, kPathMax);
    // A primitive defined but never used as a field would never match.
    symbol_foreach([&](const Symbol& s) { EXPECT_TRUE(in_tree.count(s.node)) << s.name << " is not in the tree"; });
}

TEST_F(ShippedTree, ServicesByEitherPortLowestFirst) {
    int services = 0;
    for (const char* transport : {"TCP", "UDP", "TCP6", "UDP6", "VLAN_TCP", "VLAN_UDP"}) {
        uint32_t previous = 0;
        for (const ProtocolNode* c = symbol_lookup(transport)->node->first_child; c->next; c = c->next) {
            EXPECT_EQ(c->width, 2) << c->name;
            EXPECT_EQ(c->offset, 0) << c->name;
            EXPECT_EQ(c->alt_offset, 2) << c->name;
            EXPECT_LE(previous, c->low) << c->name << " is tried before a lower port";
            previous = c->high;
            if (std::string(transport).size() == 3) ++services;  // IPv4 services
        }
    }
    EXPECT_GE(services, 40);
}

struct Case {
    const char* what;
    Bytes frame;
    const char* path;
};

Bytes arp(uint16_t op) {
    Bytes a = {0, 1, 8, 0, 6, 4};
    put16(a, op);
    append(a, kSrc);
    put32(a, 0xC0A80A01);
    append(a, Bytes(6, 0));
    put32(a, 0xC0A80A02);
    return a;
}

Bytes tls_client_hello() {
    Bytes body = {0x03, 0x03};
    body.resize(body.size() + 32, 0x11);
    append(body, {0x00, 0x00, 0x02, 0xc0, 0x2f, 0x01, 0x00, 0x00, 0x00});
    Bytes hs = {0x01, 0x00, 0x00, static_cast<uint8_t>(body.size())};
    append(hs, body);
    Bytes rec = {0x16, 0x03, 0x01};
    put16(rec, static_cast<uint32_t>(hs.size()));
    append(rec, hs);
    return rec;
}

Bytes dhcp_discover() {
    Bytes d = {1, 1, 6, 0, 0x39, 0x03, 0xF3, 0x26};
    d.resize(28, 0);
    append(d, kSrc);
    d.resize(236, 0);
    append(d, {0x63, 0x82, 0x53, 0x63, 53, 1, 1, 255});
    return d;
}

Bytes ntp_client() {
    Bytes n(48, 0);
    n[0] = 0x23;
    return n;
}

Bytes snmp_get() {
    return {0x30, 0x23, 0x02, 0x01, 0x00, 0x04, 0x06, 'p',  'u',  'b',  'l',  'i',  'c',
            0xa0, 0x16, 0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x0b,
            0x30, 0x09, 0x06, 0x05, 0x2b, 0x06, 0x01, 0x02, 0x01, 0x05, 0x00};
}

Bytes nbns_query() {
    Bytes d = {0x12, 0x34, 0x01, 0x10, 0, 1, 0, 0, 0, 0, 0, 0, 0x20};
    append(d, text("CKAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"));
    append(d, {0, 0, 0x21, 0, 1});
    return d;
}

Bytes ipx_header(uint16_t dst_socket, uint16_t src_socket) {
    Bytes x = {0xFF, 0xFF, 0, 30, 0, 4};
    put32(x, 1);
    append(x, kDst);
    put16(x, dst_socket);
    put32(x, 1);
    append(x, kSrc);
    put16(x, src_socket);
    return x;
}

Bytes stp_bpdu() {
    Bytes b = {0x42, 0x42, 0x03, 0, 0, 0, 0, 0};
    b.resize(3 + 35, 0);
    b[3 + 5] = 0x80;  // root priority
    b[3 + 17] = 0x80;  // bridge priority
    b[3 + 29] = 0x14;  // max age 20 s
    b[3 + 31] = 0x02;  // hello 2 s
    b[3 + 33] = 0x0f;  // forward delay 15 s
    return b;
}

Bytes cdp() {
    Bytes c = {0xAA, 0xAA, 0x03, 0x00, 0x00, 0x0C, 0x20, 0x00, 0x02, 0xB4, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0A};
    append(c, text("switch"));
    return c;
}

Bytes lldp() {
    Bytes l = {0x02, 0x07, 0x04};
    append(l, kSrc);
    append(l, {0x04, 0x07, 0x03});
    append(l, kSrc);
    append(l, {0x06, 0x02, 0x00, 0x78, 0x00, 0x00});
    return l;
}

Bytes icmp(uint8_t type, const Bytes& rest = Bytes(8, 0)) {
    Bytes i = {type, 0, 0, 0, 0, 1, 0, 1};
    append(i, rest);
    return i;
}

Bytes mld2_with_hop_by_hop() {
    Bytes h = {58, 0, 0x05, 0x02, 0x00, 0x00, 0x01, 0x00};
    Bytes m = {143, 0, 0, 0, 0, 0, 0, 1, 4, 0, 0, 0, 0xff, 0x02};
    m.resize(m.size() + 13, 0);
    m.push_back(0xfb);
    append(h, m);
    return h;
}

std::vector<Case> cases() {
    const Bytes http_get = text("GET / HTTP/1.1\r\nHost: example.com\r\n\r\n");
    Bytes dns_tcp;
    put16(dns_tcp, static_cast<uint32_t>(dns_query().size()));
    append(dns_tcp, dns_query());
    Ip4Options ra;
    ra.options = {0x94, 0x04, 0x00, 0x00};
    Ip4Options nops;
    nops.options = {0x01, 0x01, 0x01, 0x00};
    Ip4Options later_fragment;
    later_fragment.fragment = 185;
    Ip4Options first_fragment;
    first_fragment.more_fragments = true;
    const Bytes sip = text(
        "OPTIONS sip:user@example.com SIP/2.0\r\nVia: SIP/2.0/UDP 192.168.10.1:5060;branch=z9hG4bK1\r\n"
        "From: <sip:a@example.com>;tag=1\r\nTo: <sip:user@example.com>\r\nCall-ID: 1@x\r\nCSeq: 1 OPTIONS\r\n"
        "Max-Forwards: 70\r\nContent-Length: 0\r\n\r\n");
    const Bytes ssdp = text(
        "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: 1\r\nST: ssdp:all\r\n\r\n");
    Bytes rip = {2, 2, 0, 0, 0, 2, 0, 0, 10, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    Bytes tftp = {0, 1};
    append(tftp, text("file.txt"));
    tftp.push_back(0);
    append(tftp, text("octet"));
    tftp.push_back(0);
    Bytes ospf = {2, 1, 0, 44, 10, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    ospf.resize(24, 0);
    append(ospf, {255, 255, 255, 0, 0, 10, 2, 1, 0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 0});
    Bytes gre = {0, 0, 0x08, 0x00};
    append(gre, ipv4(17, udp(1000, 2000, Bytes(8, 0))));
    Bytes unreachable = ipv4(17, udp(53, 33000, dns_query()));
    unreachable.resize(28);
    const Bytes ns = {135, 0, 0, 0, 0, 0, 0, 0, 0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};
    const Bytes dhcpv6 = {1, 0x10, 0x20, 0x30, 0, 8, 0, 2, 0, 0};
    Bytes frag6 = {17, 0, 0, 1, 0, 0, 0, 1};
    append(frag6, udp(53, 53, dns_query()));

    return {
        {"ARP request", eth2(0x0806, arp(1)), "ROOT/ETHER2/ARP/ARP_REQUEST"},
        {"ARP reply", eth2(0x0806, arp(2)), "ROOT/ETHER2/ARP/ARP_REPLY"},
        {"RARP", eth2(0x8035, arp(3)), "ROOT/ETHER2/RARP"},
        {"ICMP echo request", eth2(0x0800, ipv4(1, icmp(8))), "ROOT/ETHER2/IP/ICMP/ICMP_ECHOREQ"},
        {"ICMP echo reply", eth2(0x0800, ipv4(1, icmp(0))), "ROOT/ETHER2/IP/ICMP/ICMP_ECHOREP"},
        {"ICMP unreachable quoting DNS", eth2(0x0800, ipv4(1, icmp(3, unreachable))),
         "ROOT/ETHER2/IP/ICMP/ICMP_UNREACH"},
        {"IGMP with router alert", eth2(0x0800, ipv4(2, {0x16, 0, 0xfa, 0x04, 239, 1, 1, 1}, ra)),
         "ROOT/ETHER2/IP/IGMP"},
        {"IGMP", eth2(0x0800, ipv4(2, {0x16, 0, 0xfa, 0x04, 239, 1, 1, 1})), "ROOT/ETHER2/IP/IGMP"},
        {"HTTP request", eth2(0x0800, ipv4(6, tcp(49152, 80, http_get))), "ROOT/ETHER2/IP/TCP/HTTP"},
        {"HTTP response", eth2(0x0800, ipv4(6, tcp(80, 49152, text("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n")))),
         "ROOT/ETHER2/IP/TCP/HTTP"},
        {"TLS client hello", eth2(0x0800, ipv4(6, tcp(50000, 443, tls_client_hello()))), "ROOT/ETHER2/IP/TCP/HTTPS"},
        {"TLS SYN, no data", eth2(0x0800, ipv4(6, tcp(50000, 443, {}, 0x02))), "ROOT/ETHER2/IP/TCP/HTTPS"},
        {"client port 3389 to 443", eth2(0x0800, ipv4(6, tcp(3389, 443, tls_client_hello()))),
         "ROOT/ETHER2/IP/TCP/HTTPS"},
        {"SSH banner", eth2(0x0800, ipv4(6, tcp(22, 40000, text("SSH-2.0-OpenSSH_9.2\r\n")))), "ROOT/ETHER2/IP/TCP/SSH"},
        {"SMTP banner", eth2(0x0800, ipv4(6, tcp(25, 40001, text("220 mail.example.com ESMTP\r\n")))),
         "ROOT/ETHER2/IP/TCP/SMTP"},
        {"FTP banner", eth2(0x0800, ipv4(6, tcp(21, 40002, text("220 FTP server ready\r\n")))),
         "ROOT/ETHER2/IP/TCP/FTP"},
        {"Telnet option", eth2(0x0800, ipv4(6, tcp(23, 40003, {0xff, 0xfb, 0x01}))), "ROOT/ETHER2/IP/TCP/TELNET"},
        {"POP3 banner", eth2(0x0800, ipv4(6, tcp(110, 40004, text("+OK POP3 ready\r\n")))), "ROOT/ETHER2/IP/TCP/POP3"},
        {"IMAP banner", eth2(0x0800, ipv4(6, tcp(143, 40005, text("* OK IMAP ready\r\n")))), "ROOT/ETHER2/IP/TCP/IMAP"},
        {"DNS over TCP", eth2(0x0800, ipv4(6, tcp(40006, 53, dns_tcp))), "ROOT/ETHER2/IP/TCP/DNS_TCP"},
        {"TCP, unknown ports", eth2(0x0800, ipv4(6, tcp(40007, 40008, text("hello")))), "ROOT/ETHER2/IP/TCP/OTHER_TCP"},
        {"TCP behind IPv4 options", eth2(0x0800, ipv4(6, tcp(49152, 80, http_get), nops)),
         "ROOT/ETHER2/IP/TCP/OTHER_TCP"},
        {"DNS query", eth2(0x0800, ipv4(17, udp(40009, 53, dns_query()))), "ROOT/ETHER2/IP/UDP/DNS"},
        {"DNS from the mDNS port", eth2(0x0800, ipv4(17, udp(5353, 53, dns_query()))), "ROOT/ETHER2/IP/UDP/DNS"},
        {"DHCP discover", eth2(0x0800, ipv4(17, udp(68, 67, dhcp_discover()), {}, 0, 0xFFFFFFFF)),
         "ROOT/ETHER2/IP/UDP/DHCP"},
        {"NTP", eth2(0x0800, ipv4(17, udp(123, 123, ntp_client()))), "ROOT/ETHER2/IP/UDP/NTP"},
        {"SNMP get", eth2(0x0800, ipv4(17, udp(40010, 161, snmp_get()))), "ROOT/ETHER2/IP/UDP/SNMP"},
        {"NetBIOS name query", eth2(0x0800, ipv4(17, udp(137, 137, nbns_query()))), "ROOT/ETHER2/IP/UDP/NBNS"},
        {"mDNS", eth2(0x0800, ipv4(17, udp(5353, 5353, dns_query(0)), {}, 0xC0A80A01, 0xE00000FB)),
         "ROOT/ETHER2/IP/UDP/MDNS"},
        {"LLMNR", eth2(0x0800, ipv4(17, udp(40011, 5355, dns_query()), {}, 0xC0A80A01, 0xE00000FC)),
         "ROOT/ETHER2/IP/UDP/LLMNR"},
        {"SSDP", eth2(0x0800, ipv4(17, udp(40012, 1900, ssdp), {}, 0xC0A80A01, 0xEFFFFFFA)), "ROOT/ETHER2/IP/UDP/SSDP"},
        {"Syslog", eth2(0x0800, ipv4(17, udp(40013, 514, text("<34>Oct 11 22:14:15 host su: 'su root' failed")))),
         "ROOT/ETHER2/IP/UDP/SYSLOG"},
        {"TFTP read", eth2(0x0800, ipv4(17, udp(40014, 69, tftp))), "ROOT/ETHER2/IP/UDP/TFTP"},
        {"SIP options", eth2(0x0800, ipv4(17, udp(5060, 5060, sip))), "ROOT/ETHER2/IP/UDP/SIP"},
        {"RIP response", eth2(0x0800, ipv4(17, udp(520, 520, rip))), "ROOT/ETHER2/IP/UDP/RIP"},
        {"UDP, unknown ports", eth2(0x0800, ipv4(17, udp(40015, 40016, Bytes(20, 0)))), "ROOT/ETHER2/IP/UDP/OTHER_UDP"},
        {"first fragment", eth2(0x0800, ipv4(17, udp(40017, 53, dns_query()), first_fragment)), "ROOT/ETHER2/IP/UDP/DNS"},
        {"later fragment", eth2(0x0800, ipv4(17, Bytes(40, 0x35), later_fragment)), "ROOT/ETHER2/IP/IPFRAG"},
        {"OSPF hello", eth2(0x0800, ipv4(89, ospf, {}, 0xC0A80A01, 0xE0000005)), "ROOT/ETHER2/IP/OSPF"},
        {"ESP", eth2(0x0800, ipv4(50, Bytes{0, 0, 1, 0, 0, 0, 0, 1, 9, 9, 9, 9})), "ROOT/ETHER2/IP/ESP"},
        {"GRE", eth2(0x0800, ipv4(47, gre)), "ROOT/ETHER2/IP/GRE"},
        {"neighbor solicitation", eth2(0x86DD, ipv6(58, ns)), "ROOT/ETHER2/IPV6/ICMP6/ND_NS"},
        {"ICMPv6 echo", eth2(0x86DD, ipv6(58, icmp(128))), "ROOT/ETHER2/IPV6/ICMP6/ICMP6_ECHOREQ"},
        {"MLDv2 report", eth2(0x86DD, ipv6(0, mld2_with_hop_by_hop())), "ROOT/ETHER2/IPV6/HOPOPT/HBH_ICMP6/MLDV2"},
        {"TLS over IPv6", eth2(0x86DD, ipv6(6, tcp(50001, 443, tls_client_hello()))), "ROOT/ETHER2/IPV6/TCP6/HTTPS6"},
        {"HTTP over IPv6", eth2(0x86DD, ipv6(6, tcp(50002, 80, http_get))), "ROOT/ETHER2/IPV6/TCP6/HTTP6"},
        {"DNS over IPv6", eth2(0x86DD, ipv6(17, udp(50003, 53, dns_query()))), "ROOT/ETHER2/IPV6/UDP6/DNS6"},
        {"DHCPv6 solicit", eth2(0x86DD, ipv6(17, udp(546, 547, dhcpv6))), "ROOT/ETHER2/IPV6/UDP6/DHCPV6"},
        {"IPv6 fragment", eth2(0x86DD, ipv6(44, frag6)), "ROOT/ETHER2/IPV6/FRAG6"},
        {"VLAN TCP", vlan(10, 0x0800, ipv4(6, tcp(50004, 80, {}, 0x10))), "ROOT/ETHER2/VLAN/VLAN_IP/VLAN_TCP/VLAN_HTTP"},
        {"VLAN DNS", vlan(10, 0x0800, ipv4(17, udp(50005, 53, dns_query()))),
         "ROOT/ETHER2/VLAN/VLAN_IP/VLAN_UDP/VLAN_DNS"},
        {"VLAN SIP", vlan(20, 0x0800, ipv4(17, udp(5060, 5060, sip))), "ROOT/ETHER2/VLAN/VLAN_IP/VLAN_UDP/VLAN_SIP"},
        {"VLAN UDP, unknown ports", vlan(20, 0x0800, ipv4(17, udp(2222, 2224, Bytes(160, 0x80)))),
         "ROOT/ETHER2/VLAN/VLAN_IP/VLAN_UDP/OTHER_VLAN_UDP"},
        {"VLAN TCP over IPv6", vlan(10, 0x86DD, ipv6(6, tcp(50006, 443, tls_client_hello()))),
         "ROOT/ETHER2/VLAN/VLAN_IPV6/VLAN_TCP6"},
        {"VLAN ARP", vlan(10, 0x0806, arp(1)), "ROOT/ETHER2/VLAN/VLAN_ARP"},
        {"VLAN ICMPv6", vlan(10, 0x86DD, ipv6(58, icmp(128))), "ROOT/ETHER2/VLAN/VLAN_IPV6/VLAN_ICMP6"},
        {"STP", ieee8023(stp_bpdu(), {0x01, 0x80, 0xc2, 0, 0, 0}), "ROOT/IEEE8023/LLC/STP"},
        {"CDP", ieee8023(cdp(), {0x01, 0x00, 0x0c, 0xcc, 0xcc, 0xcc}), "ROOT/IEEE8023/LLC/SNAP/CDP"},
        {"AARP over SNAP", ieee8023([] {
             Bytes b = {0xAA, 0xAA, 0x03, 0x00, 0x00, 0x00, 0x80, 0xF3, 0x00, 0x01, 0x80, 0x9B, 6, 4, 0, 1};
             append(b, kSrc);
             append(b, {0, 0, 1, 2});
             append(b, Bytes(6, 0));
             append(b, {0, 0, 1, 3});
             return b;
         }()),
         "ROOT/IEEE8023/LLC/SNAP/AARP_SNAP"},
        {"LLDP", eth2(0x88CC, lldp(), {0x01, 0x80, 0xc2, 0, 0, 0x0e}), "ROOT/ETHER2/LLDP"},
        {"IPX raw 802.3", ieee8023(ipx_header(0x0452, 0x0452)), "ROOT/IEEE8023/IPX_RAW"},
        {"IPX over LLC", ieee8023([] { Bytes b = {0xE0, 0xE0, 0x03}; append(b, ipx_header(0x0453, 0x0453)); return b; }()),
         "ROOT/IEEE8023/LLC/IPX_LLC"},
        {"IPX SAP, Ethernet II", eth2(0x8137, ipx_header(0x0452, 0x4000)), "ROOT/ETHER2/IPX/IPX_SAP"},
        {"EAPOL start", eth2(0x888E, {0x02, 0x01, 0x00, 0x00}), "ROOT/ETHER2/EAPOL"},
        {"PPPoE discovery", eth2(0x8863, {0x11, 0x09, 0x00, 0x00, 0x00, 0x04, 0x01, 0x01, 0x00, 0x00}),
         "ROOT/ETHER2/PPPOED"},
        {"unknown EtherType", eth2(0x1234, Bytes(46, 0)), "ROOT/ETHER2/OTHER_ETHER2"},
        {"neither type nor length", eth2(0x05FF, Bytes(46, 0)), "ROOT/OTHER_ROOT"},
    };
}

TEST_F(ShippedTree, CommonFramesTakeTheirPaths) {
    for (const Case& c : cases()) EXPECT_EQ(path_of(c.frame), c.path) << c.what;
    // Frames cut short fall to the catch-all of the last level that could be read.
    EXPECT_EQ(path_of(Bytes(10, 0)), "ROOT/OTHER_ROOT");
    Bytes cut = eth2(0x0800, ipv4(6, tcp(49152, 80, {})));
    cut.resize(35);
    EXPECT_EQ(path_of(cut), "ROOT/ETHER2/IP/TCP/OTHER_TCP");
    cut.resize(23);
    EXPECT_EQ(path_of(cut), "ROOT/ETHER2/IP/OTHER_IP");
}

void expect_agreement(const std::string& capture, bool all_must_agree) {
    std::vector<dissect::CapturedFrame> frames;
    ASSERT_TRUE(dissect::read_capture(capture, &frames)) << capture;
    const auto tshark = dissect::tshark_protocols(capture);
    ASSERT_EQ(tshark.size(), frames.size()) << "tshark did not read every frame of " << capture;
    const dissect::Report report = dissect::compare(frames, tshark);
    std::printf("%s\n%s", capture.c_str(), report.text().c_str());
    if (!all_must_agree) return;
    for (const auto& [protocol, counts] : report.protocols) {
        EXPECT_EQ(counts.both, counts.ours) << protocol;
        EXPECT_EQ(counts.both, counts.theirs) << protocol;
    }
    EXPECT_TRUE(report.differences.empty());
}

TEST_F(ShippedTree, AgreesWithTsharkOnMadeCapture) {
    if (!dissect::tshark_available()) GTEST_SKIP() << "tshark is not installed: no independent dissector to compare with";
    std::vector<testsupport::Frame> pcap;
    int second = 0;
    for (const Case& c : cases()) pcap.push_back({1700000000 + second++, 0, c.frame, 0});
    const std::string path = testsupport::temp_path("made.pcap");
    testsupport::write_pcap(path, pcap);
    expect_agreement(path, true);
}

TEST_F(ShippedTree, AgreesWithTsharkOnDemoCapture) {
    const std::string demo = std::string(HOPSCOPE_DATA_DIR) + "/demo.pcap";
    if (!std::filesystem::exists(demo)) GTEST_SKIP() << demo << " is not there";
    if (!dissect::tshark_available()) GTEST_SKIP() << "tshark is not installed: no independent dissector to compare with";
    expect_agreement(demo, true);
}

// Any capture named by HOPSCOPE_COMPARE_CAPTURE, for checking the tree on real traffic:
//   HOPSCOPE_COMPARE_CAPTURE=file.pcap protocol_tests --gtest_filter='*GivenCapture'
TEST_F(ShippedTree, AgreesWithTsharkOnGivenCapture) {
    const char* capture = std::getenv("HOPSCOPE_COMPARE_CAPTURE");
    if (!capture || !*capture) GTEST_SKIP() << "HOPSCOPE_COMPARE_CAPTURE names no capture";
    if (!dissect::tshark_available()) GTEST_SKIP() << "tshark is not installed: no independent dissector to compare with";
    expect_agreement(capture, true);
}

}  // namespace
