#include "dissector_compare.h"

#include <pcap/pcap.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "protocol/pd.h"

namespace dissect {

namespace {

struct TokenEntry {
    const char* node;
    const char* token;
    bool service;  // named by tshark only when the frame carries data for it
};

// Our node names and the protocol names tshark 4 gives the same thing. Nodes not
// listed (root, catch-alls, message types, families tshark names differently) are not
// compared.
const TokenEntry kTokens[] = {
    {"ETHER2", "ethertype", false}, {"IEEE8023", "802.3", false}, {"LLC", "llc", false},
    {"IPX_RAW", "ipx", false}, {"IPX_LLC", "ipx", false}, {"IPX", "ipx", false},
    {"STP", "stp", false}, {"PVST", "stp", false}, {"CDP", "cdp", false}, {"VTP", "vtp", false},
    {"DTP", "dtp", false}, {"PAGP", "pagp", false}, {"UDLD", "udld", false},
    {"ATALK", "ddp", false}, {"ATALK_SNAP", "ddp", false}, {"AARP", "aarp", false}, {"AARP_SNAP", "aarp", false},
    {"LLDP", "lldp", false}, {"EAPOL", "eapol", false}, {"SLOW", "slow", false}, {"PTP", "ptp", false},
    {"PPPOED", "pppoed", false}, {"PPPOES", "pppoes", false}, {"MPLS", "mpls", false},
    {"VLAN", "vlan", false}, {"ARP", "arp", false}, {"RARP", "arp", false}, {"VLAN_ARP", "arp", false},
    {"IP", "ip", false}, {"VLAN_IP", "ip", false}, {"IPV6", "ipv6", false}, {"VLAN_IPV6", "ipv6", false},
    {"ICMP", "icmp", false}, {"VLAN_ICMP", "icmp", false}, {"IGMP", "igmp", false}, {"VLAN_IGMP", "igmp", false},
    {"TCP", "tcp", false}, {"VLAN_TCP", "tcp", false}, {"TCP6", "tcp", false}, {"VLAN_TCP6", "tcp", false},
    {"UDP", "udp", false}, {"VLAN_UDP", "udp", false}, {"UDP6", "udp", false}, {"VLAN_UDP6", "udp", false},
    {"ICMP6", "icmpv6", false}, {"HBH_ICMP6", "icmpv6", false}, {"VLAN_ICMP6", "icmpv6", false},
    {"HOPOPT", "ipv6.hopopts", false}, {"GRE", "gre", false}, {"ESP", "esp", false}, {"OSPF", "ospf", false},
    {"PIM", "pim", false}, {"VRRP", "vrrp", false}, {"SCTP", "sctp", false}, {"EIGRP", "eigrp", false},
    {"ESP6", "esp", false}, {"OSPF6", "ospf", false}, {"PIM6", "pim", false}, {"VRRP6", "vrrp", false},
    // services
    {"FTP", "ftp", true}, {"FTP_DATA", "ftp-data", true}, {"SSH", "ssh", true}, {"SSH6", "ssh", true},
    {"TELNET", "telnet", true}, {"SMTP", "smtp", true}, {"SMTP6", "smtp", true},
    {"DNS", "dns", true}, {"DNS_TCP", "dns", true}, {"DNS6", "dns", true}, {"DNS6_TCP", "dns", true},
    {"HTTP", "http", true}, {"HTTP6", "http", true}, {"HTTP_ALT", "http", true}, {"HTTP_ALT6", "http", true},
    {"HTTPS", "tls", true}, {"HTTPS6", "tls", true}, {"IMAPS", "tls", true}, {"POP3S", "tls", true},
    {"LDAPS", "tls", true}, {"SMTPS", "tls", true},
    {"POP3", "pop", true}, {"IMAP", "imap", true}, {"IMAP6", "imap", true}, {"NTP", "ntp", true},
    {"NTP6", "ntp", true}, {"DHCP", "dhcp", true}, {"DHCPV6", "dhcpv6", true}, {"TFTP", "tftp", true},
    {"SNMP", "snmp", true}, {"SNMP6", "snmp", true}, {"SNMPTRAP", "snmp", true}, {"NBNS", "nbns", true},
    {"NBDGM", "nbdgm", true}, {"NBSS", "nbss", true}, {"SYSLOG", "syslog", true}, {"SYSLOG6", "syslog", true},
    {"SSDP", "ssdp", true}, {"SSDP6", "ssdp", true}, {"MDNS", "mdns", true}, {"MDNS6", "mdns", true},
    {"LLMNR", "llmnr", true}, {"LLMNR6", "llmnr", true}, {"RIP", "rip", true}, {"RIPNG", "ripng", true},
    {"ISAKMP", "isakmp", true}, {"ISAKMP6", "isakmp", true}, {"KERBEROS", "kerberos", true},
    {"KERBEROS_TCP", "kerberos", true}, {"LDAP", "ldap", true}, {"LDAP6", "ldap", true},
    {"CLDAP", "cldap", true}, {"BGP", "bgp", true}, {"SIP", "sip", true}, {"SIP_TCP", "sip", true},
    {"RADIUS", "radius", true}, {"L2TP", "l2tp", true}, {"HSRP", "hsrp", true}, {"MSRPC", "dcerpc", true},
    {"QUIC", "quic", true}, {"QUIC6", "quic", true}, {"VXLAN", "vxlan", true}, {"IRC", "irc", true},
    {"X11", "x11", true}, {"MYSQL", "mysql", true}, {"POSTGRES", "pgsql", true}, {"MSSQL", "tds", true},
    {"NNTP", "nntp", true}, {"IDENT", "ident", true}, {"WHOIS", "whois", true}, {"RLOGIN", "rlogin", true},
    {"RSH", "rsh", true}, {"LPD", "lpd", true}, {"RSYNC", "rsync", true}, {"SOCKS", "socks", true},
    {"PPTP", "pptp", true}, {"MQTT", "mqtt", true}, {"ISCSI", "iscsi", true}, {"VNC", "vnc", true},
    {"XMPP", "xmpp", true}, {"BFD", "bfd", true}, {"STUN", "stun", true}, {"TEREDO", "teredo", true},
    {"NETFLOW", "cflow", true}, {"SFLOW", "sflow", true}, {"CAPWAP", "capwap", true},
    {"WIREGUARD", "wg", true}, {"OPENVPN", "openvpn", true}, {"PORTMAP", "portmap", true},
    {"PORTMAP_TCP", "portmap", true}, {"NFS", "nfs", true}, {"NFS_UDP", "nfs", true},
    {"SMB", "smb2", true}, {"SMB6", "smb2", true},
    {"VLAN_SSH", "ssh", true}, {"VLAN_TELNET", "telnet", true}, {"VLAN_HTTP", "http", true},
    {"VLAN_HTTP_ALT", "http", true}, {"VLAN_HTTPS", "tls", true}, {"VLAN_SMB", "smb2", true},
    {"VLAN_SIP_TCP", "sip", true}, {"VLAN_DNS", "dns", true}, {"VLAN_DHCP", "dhcp", true},
    {"VLAN_TFTP", "tftp", true}, {"VLAN_NTP", "ntp", true}, {"VLAN_SNMP", "snmp", true},
    {"VLAN_SYSLOG", "syslog", true}, {"VLAN_QUIC", "quic", true}, {"VLAN_SIP", "sip", true},
    {"VLAN_MDNS", "mdns", true},
};

const TokenEntry* entry_of(const std::string& node) {
    for (const auto& e : kTokens)
        if (node == e.node) return &e;
    return nullptr;
}

bool is_token(const std::string& t, bool* service) {
    for (const auto& e : kTokens)
        if (t == e.token) {
            *service = e.service;
            return true;
        }
    return false;
}

// tshark names nothing useful for these; they never count as a service.
bool is_filler(const std::string& t) { return t == "data" || t.rfind("_ws.", 0) == 0 || t == "tcp.segments"; }

const char* const kIpv4Options = "IPv4 options";

uint32_t word_at(const std::vector<uint8_t>& f, size_t at) {
    return at + 1 < f.size() ? (uint32_t(f[at]) << 8) | f[at + 1] : 0xFFFFFFFF;
}

}  // namespace

std::string token_of(const std::string& node_name) {
    const TokenEntry* e = entry_of(node_name);
    return e ? e->token : "";
}

bool read_capture(const std::string& path, std::vector<CapturedFrame>* frames) {
    char err[PCAP_ERRBUF_SIZE];
    pcap_t* p = pcap_open_offline(path.c_str(), err);
    if (!p) return false;
    pcap_pkthdr* h;
    const u_char* data;
    while (pcap_next_ex(p, &h, &data) == 1) frames->push_back({std::vector<uint8_t>(data, data + h->caplen), h->len});
    pcap_close(p);
    return true;
}

bool tshark_available() { return std::system("tshark --version >/dev/null 2>&1") == 0; }

std::vector<std::vector<std::string>> tshark_protocols(const std::string& path) {
    std::vector<std::vector<std::string>> out;
    const std::string cmd = "tshark -n -r '" + path +
                            "' -o ip.defragment:FALSE -o ipv6.defragment:FALSE"
                            " -o tcp.desegment_tcp_streams:FALSE -T fields -E separator=/t"
                            " -e frame.protocols -e eth.len 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char line[4096];
    while (std::fgets(line, sizeof line, p)) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        const size_t tab = s.find('\t');
        std::vector<std::string> tokens;
        std::stringstream protocols(s.substr(0, tab));
        for (std::string t; std::getline(protocols, t, ':');) tokens.push_back(t);
        if (tab != std::string::npos && tab + 1 < s.size()) tokens.push_back("802.3");
        out.push_back(std::move(tokens));
    }
    pclose(p);
    return out;
}

std::string fixed_offset_exception(const std::vector<uint8_t>& f) {
    if (f.size() < 14) return "shorter than an Ethernet header";
    uint32_t type = word_at(f, 12);
    size_t off = 14;
    if (type == 0x8100) {
        type = word_at(f, 16);
        off = 18;
    }
    if (type == 0x0800 && off < f.size()) {
        if ((f[off] & 0x0F) != 5) return kIpv4Options;
        if (off + 9 < f.size() && f[off + 9] == 51) return "IPsec AH before the transport header";
    }
    if (type == 0x86DD && off + 6 < f.size()) {
        const uint8_t nh = f[off + 6];
        if (nh == 0) {
            // The tree follows one 8-byte hop-by-hop header to ICMPv6 (MLD).
            if (off + 41 < f.size() && f[off + 41] == 0 && f[off + 40] == 58) return "";
            return "IPv6 extension header";
        }
        if (nh == 43 || nh == 44 || nh == 60 || nh == 51) return "IPv6 extension header";
    }
    return "";
}

Report compare(const std::vector<CapturedFrame>& frames, const std::vector<std::vector<std::string>>& tshark) {
    Report r;
    r.frames = static_cast<int>(frames.size());
    for (size_t i = 0; i < frames.size() && i < tshark.size(); ++i) {
        const auto& f = frames[i];
        const std::string why_not = fixed_offset_exception(f.bytes);
        // Behind IPv4 options the protocol number still sits at a fixed place; only the
        // ports do not, so such frames are compared down to the transport.
        const bool ports_fixed = why_not.empty();
        if (!why_not.empty()) {
            r.not_fixed[why_not] += 1;
            if (why_not != kIpv4Options) continue;
        } else {
            r.fixed += 1;
        }
        const ProtocolNode* const* path =
            pd_classify(f.bytes.data(), static_cast<uint32_t>(f.bytes.size()), f.wire_length);
        std::set<std::string> ours, ours_service, theirs, theirs_service;
        std::string our_path;
        bool tree_has_services = true;
        for (int k = 0; path[k]; ++k) {
            our_path += (k ? "/" : "") + std::string(path[k]->name);
            if (const TokenEntry* e = entry_of(path[k]->name)) {
                (e->service ? ours_service : ours).insert(e->token);
                // A transport leaf: the tree names no services here (IPv6 behind VLAN tags).
                if ((e->token == std::string("tcp") || e->token == std::string("udp")) && !path[k]->first_child)
                    tree_has_services = false;
            }
        }
        // Up to the first encapsulated Ethernet or IP header (tunnels, ICMP quotes).
        bool app_named = false, after_transport = false;
        int links = 0, networks = 0;
        std::string their_path;
        for (const std::string& t : tshark[i]) {
            if (t == "eth" && ++links > 1) break;
            if ((t == "ip" || t == "ipv6") && ++networks > 1) break;
            their_path += (their_path.empty() ? "" : ":") + t;
            bool service = false;
            if (is_token(t, &service)) (service ? theirs_service : theirs).insert(t);
            if (after_transport && !is_filler(t)) app_named = true;
            if (t == "tcp" || t == "udp") after_transport = true;
        }
        for (const auto& t : ours) r.protocols[t].ours += 1;
        for (const auto& t : theirs) r.protocols[t].theirs += 1;
        for (const auto& t : ours)
            if (theirs.count(t)) r.protocols[t].both += 1;
        // A service is compared when tshark names some application protocol in the frame.
        if (!ports_fixed) {
            ours_service.clear();
            theirs_service.clear();
        } else if (!tree_has_services) {
            r.no_service_level += 1;
        } else if (!app_named && theirs_service.empty() && !ours_service.empty()) {
            r.unnamed_service += 1;
        } else {
            for (const auto& t : ours_service) {
                r.protocols[t].ours += 1;
                if (theirs_service.count(t)) r.protocols[t].both += 1;
            }
            for (const auto& t : theirs_service) r.protocols[t].theirs += 1;
            ours.insert(ours_service.begin(), ours_service.end());
            theirs.insert(theirs_service.begin(), theirs_service.end());
        }
        if (ours != theirs) {
            std::string why;
            for (const auto& t : ours)
                if (!theirs.count(t)) why += " only ours: " + t;
            for (const auto& t : theirs)
                if (!ours.count(t)) why += " only tshark: " + t;
            r.differences.push_back({static_cast<int>(i + 1), our_path, their_path, why.substr(1)});
        }
    }
    return r;
}

std::string Report::text() const {
    std::ostringstream o;
    o << "frames " << frames << ", at fixed offsets " << fixed << "\n";
    for (const auto& [why, n] : not_fixed)
        o << "  not at fixed offsets (" << why << "): " << n
          << (why == kIpv4Options ? ", compared down to the transport protocol" : "") << "\n";
    o << "  service on our path, no application data for tshark to name (not compared): " << unnamed_service << "\n";
    o << "  transport without a service level in the tree (not compared): " << no_service_level << "\n";
    o << "protocol          ours  tshark  both  agreement\n";
    for (const auto& [t, c] : protocols) {
        const int any = c.ours + c.theirs - c.both;
        char line[128];
        std::snprintf(line, sizeof line, "%-16s %5d  %6d  %4d  %6.1f%%\n", t.c_str(), c.ours, c.theirs, c.both,
                      any ? 100.0 * c.both / any : 100.0);
        o << line;
    }
    for (const auto& d : differences)
        o << "frame " << d.frame << ": ours " << d.ours << " | tshark " << d.theirs << " | " << d.why << "\n";
    return o.str();
}

}  // namespace dissect
