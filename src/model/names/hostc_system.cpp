// The platform's resolver behind the name service: getaddrinfo and getnameinfo (both
// thread-safe) and the kernel's ARP cache for the station of an Internet address.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "model/names/hostc.h"

namespace {

bool system_by_name(const char* name, HostRecord* out) {
    if (!name || !*name || !out) return false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;  // one result per address, not one per socket type
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) return false;
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> results(found, freeaddrinfo);
    HostRecord r;
    if (found->ai_canonname) r.official_name = found->ai_canonname;
    // Like the classic host record, one family: IPv4 when there is any, else IPv6.
    for (int family : {AF_INET, AF_INET6}) {
        for (const addrinfo* a = found; a; a = a->ai_next) {
            if (a->ai_family != family || !a->ai_addr) continue;
            std::vector<uint8_t> bytes;
            if (family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in)) {
                const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
                const auto* b = reinterpret_cast<const uint8_t*>(&in->sin_addr);
                bytes.assign(b, b + 4);
            } else if (family == AF_INET6 && a->ai_addrlen >= sizeof(sockaddr_in6)) {
                const auto* in6 = reinterpret_cast<const sockaddr_in6*>(a->ai_addr);
                const auto* b = reinterpret_cast<const uint8_t*>(&in6->sin6_addr);
                bytes.assign(b, b + 16);
            } else {
                continue;
            }
            bool seen = false;
            for (const auto& known : r.addresses) seen = seen || known == bytes;
            if (!seen) r.addresses.push_back(bytes);
        }
        if (!r.addresses.empty()) {
            r.address_type = family;
            r.address_length = family == AF_INET ? 4 : 16;
            break;
        }
    }
    if (r.addresses.empty()) return false;
    *out = std::move(r);
    return true;
}

bool system_by_address(const uint8_t* bytes, int length, int family, HostRecord* out) {
    if (!bytes || !out) return false;
    sockaddr_storage storage{};
    socklen_t size = 0;
    if (family == AF_INET && length == 4) {
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        std::memcpy(&in->sin_addr, bytes, 4);
        size = sizeof(sockaddr_in);
    } else if (family == AF_INET6 && length == 16) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        std::memcpy(&in6->sin6_addr, bytes, 16);
        size = sizeof(sockaddr_in6);
    } else {
        return false;
    }
    char host[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<sockaddr*>(&storage), size, host, sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
        return false;
    out->official_name = host;
    out->aliases.clear();
    out->address_type = family;
    out->address_length = length;
    out->addresses = {std::vector<uint8_t>(bytes, bytes + length)};
    return true;
}

bool system_station_of(const uint8_t* bytes, int length, int family, uint8_t ether[6]) {
    if (family != AF_INET || length != 4) return false;
    return hostc_arp_lookup("/proc/net/arp", bytes, ether) == 1;
}

}  // namespace

SystemResolver hostc_system_resolver() { return {system_by_name, system_by_address, system_station_of}; }

int hostc_arp_lookup(const char* table_path, const uint8_t ipv4[4], uint8_t ether[6]) {
    if (!table_path || !ipv4 || !ether) return 0;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(table_path, "r"), std::fclose);
    if (!file) return 0;
    // "IP address  HW type  Flags  HW address  Mask  Device", one header line.
    char line[512];
    bool header = true;
    while (std::fgets(line, sizeof line, file.get())) {
        if (header) {
            header = false;
            continue;
        }
        char ip[64] = {}, hw_type[32] = {}, flags[32] = {}, hw[64] = {};
        if (std::sscanf(line, "%63s %31s %31s %63s", ip, hw_type, flags, hw) != 4) continue;
        in_addr a{};
        if (inet_pton(AF_INET, ip, &a) != 1 || std::memcmp(&a, ipv4, 4) != 0) continue;
        const unsigned long f = std::strtoul(flags, nullptr, 16);
        if (!(f & 0x2)) continue;  // not a complete entry
        unsigned v[6];
        char tail = 0;
        if (std::sscanf(hw, "%2x:%2x:%2x:%2x:%2x:%2x%c", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &tail) != 6)
            continue;
        unsigned any = 0;
        for (int i = 0; i < 6; ++i) any |= v[i];
        if (!any) continue;
        for (int i = 0; i < 6; ++i) ether[i] = static_cast<uint8_t>(v[i]);
        return 1;
    }
    return 0;
}
