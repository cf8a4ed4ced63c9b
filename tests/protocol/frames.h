// Builds well-formed Ethernet frames for the classification tests: Ethernet II and
// 802.3 headers, IPv4 (with options and fragments when asked), IPv6, TCP and UDP.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace frames {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}
inline void put32(Bytes& b, uint32_t v) {
    put16(b, v >> 16);
    put16(b, v & 0xFFFF);
}
inline void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline const Bytes kDst = {0x00, 0x1b, 0x21, 0x0a, 0x0b, 0x0c};
inline const Bytes kSrc = {0x00, 0x1c, 0x42, 0x01, 0x02, 0x03};

// Pads to the 60-byte Ethernet minimum, as a sender does.
inline Bytes pad(Bytes f) {
    if (f.size() < 60) f.resize(60, 0);
    return f;
}

inline Bytes eth2(uint16_t type, const Bytes& payload, const Bytes& dst = kDst) {
    Bytes f = dst;
    append(f, kSrc);
    put16(f, type);
    append(f, payload);
    return pad(f);
}

// IEEE 802.3: the length, then `payload` (LLC and what follows).
inline Bytes ieee8023(const Bytes& payload, const Bytes& dst = kDst) {
    Bytes f = dst;
    append(f, kSrc);
    put16(f, static_cast<uint32_t>(payload.size()));
    append(f, payload);
    return pad(f);
}

inline Bytes vlan(uint16_t vid, uint16_t inner_type, const Bytes& payload) {
    Bytes t;
    put16(t, vid & 0x0FFF);
    put16(t, inner_type);
    append(t, payload);
    return eth2(0x8100, t);
}

inline uint16_t checksum(const uint8_t* p, size_t n) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < n; i += 2) sum += (p[i] << 8) | p[i + 1];
    if (n & 1) sum += p[n - 1] << 8;
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

struct Ip4Options {
    Bytes options;            // multiple of 4 bytes
    uint16_t fragment = 0;    // fragment offset in 8-byte units
    bool more_fragments = false;
    uint8_t ttl = 64;
};

inline Bytes ipv4(uint8_t protocol, const Bytes& payload, const Ip4Options& o = {},
                  uint32_t src = 0xC0A80A01, uint32_t dst = 0xC0A80A02) {
    Bytes h;
    h.push_back(static_cast<uint8_t>(0x40 | ((20 + o.options.size()) / 4)));
    h.push_back(0);
    put16(h, static_cast<uint32_t>(20 + o.options.size() + payload.size()));
    put16(h, 0x1234);
    put16(h, (o.more_fragments ? 0x2000 : 0) | (o.fragment & 0x1FFF));
    h.push_back(o.ttl);
    h.push_back(protocol);
    put16(h, 0);
    put32(h, src);
    put32(h, dst);
    append(h, o.options);
    const uint16_t sum = checksum(h.data(), h.size());
    h[10] = static_cast<uint8_t>(sum >> 8);
    h[11] = static_cast<uint8_t>(sum);
    append(h, payload);
    return h;
}

inline Bytes ipv6(uint8_t next_header, const Bytes& payload, uint8_t last_src_byte = 1, uint8_t last_dst_byte = 2) {
    Bytes h;
    put32(h, 0x60000000);
    put16(h, static_cast<uint32_t>(payload.size()));
    h.push_back(next_header);
    h.push_back(64);
    Bytes src = {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, last_src_byte};
    Bytes dst = {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, last_dst_byte};
    append(h, src);
    append(h, dst);
    append(h, payload);
    return h;
}

// TCP with PSH|ACK (or the flags given) and no options.
inline Bytes tcp(uint16_t sport, uint16_t dport, const Bytes& payload, uint8_t flags = 0x18) {
    Bytes h;
    put16(h, sport);
    put16(h, dport);
    put32(h, 1000);
    put32(h, 2000);
    h.push_back(0x50);
    h.push_back(flags);
    put16(h, 65535);
    put16(h, 0);
    put16(h, 0);
    append(h, payload);
    return h;
}

inline Bytes udp(uint16_t sport, uint16_t dport, const Bytes& payload) {
    Bytes h;
    put16(h, sport);
    put16(h, dport);
    put16(h, static_cast<uint32_t>(8 + payload.size()));
    put16(h, 0);
    append(h, payload);
    return h;
}

// A DNS query for "example.com" A (also the shape of mDNS, LLMNR and NBNS queries).
inline Bytes dns_query(uint16_t id = 0x1234) {
    Bytes d;
    put16(d, id);
    put16(d, 0x0100);
    put16(d, 1);
    put16(d, 0);
    put16(d, 0);
    put16(d, 0);
    for (const char* label : {"example", "com"}) {
        d.push_back(static_cast<uint8_t>(std::string(label).size()));
        append(d, text(label));
    }
    d.push_back(0);
    put16(d, 1);
    put16(d, 1);
    return d;
}

}  // namespace frames
