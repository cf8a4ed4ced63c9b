#include "base/netaddr.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "base/memory.h"
#include "base/scan.h"

int g_frame_address_type = kEtherType;

namespace {

AddressTypeTable* g_table = nullptr;

// --- Ethernet ---

int ether_hash(const uint8_t* s) {
    unsigned h = 0;
    for (int i = 0; i < kEtherAddrLen; ++i) h = (h << 2) ^ s[i];
    return static_cast<int>(h);
}

void ether_copy(uint8_t* d, const uint8_t* s) { std::memcpy(d, s, kEtherAddrLen); }
void ether_clear(uint8_t* s) { std::memset(s, 0, kEtherAddrLen); }

// Negative when b is smaller, positive when b is larger: the host list ascends because
// an address goes before the first listed one that is not smaller.
int ether_compare(const uint8_t* a, const uint8_t* b) {
    for (int i = 0; i < kEtherAddrLen; ++i)
        if (a[i] != b[i]) return int(b[i]) - int(a[i]);
    return 0;
}

void ether_format(const uint8_t* s, char* out, size_t out_size) {
    if (!out || out_size == 0) return;
    std::snprintf(out, out_size, "%02X:%02X:%02X:%02X:%02X:%02X", s[0], s[1], s[2], s[3], s[4], s[5]);
}

char* ether_to_text(const uint8_t* s) {
    auto* t = static_cast<char*>(malloc_or_die(kEtherTextLen + 1));
    ether_format(s, t, kEtherTextLen + 1);
    return t;
}

void ether_parse(const char* text, uint8_t* s) {
    if (!text || !s) return;
    uint8_t bytes[kEtherAddrLen] = {};
    int n = 0;
    std::string tok;
    auto flush = [&] {
        if (tok.empty()) return;
        if (n < kEtherAddrLen) bytes[n] = static_cast<uint8_t>(scan_hex_byte(tok.data(), tok.data() + tok.size()));
        ++n;
        tok.clear();
    };
    for (const char* p = text; *p; ++p) {
        if (std::strchr(".-: \t\n", *p)) flush();
        else tok.push_back(*p);
    }
    flush();
    if (n < kEtherAddrLen) ether_clear(s);
    else std::memcpy(s, bytes, kEtherAddrLen);
}

}  // namespace

void netaddr_table_create() {
    // Descriptors are never freed; an earlier table is simply left behind.
    g_table = new AddressTypeTable{};
    g_table->defined = list_create();
}

const AddressType* netaddr_define(int index, int size, int (*hash)(const uint8_t*),
                                  void (*copy)(uint8_t*, const uint8_t*), void (*clear)(uint8_t*),
                                  int (*compare)(const uint8_t*, const uint8_t*),
                                  char* (*to_text)(const uint8_t*),
                                  void (*format)(const uint8_t*, char*, size_t),
                                  void (*parse)(const char*, uint8_t*)) {
    if (!g_table || index < 0 || index >= kAddressTypes || size < 0 || size > kAddressStorage) return nullptr;
    auto* t = new AddressType{index, size, hash, copy, clear, compare, to_text, format, parse};
    g_table->types[index] = t;
    ++g_table->count;
    list_append(g_table->defined, t);
    return t;
}

const AddressType* netaddr_type(int index) {
    if (!g_table || index < 0 || index >= kAddressTypes) return nullptr;
    return g_table->types[index];
}

void netaddr_init(NetAddress* a, int index) {
    const AddressType* t = netaddr_type(index);
    if (!a || !t) return;
    *a = NetAddress{};
    a->type = t;
}

NetAddress* netaddr_new(int index) {
    const AddressType* t = netaddr_type(index);
    if (!t) return nullptr;
    auto* a = static_cast<NetAddress*>(calloc_or_die(1, sizeof(NetAddress)));
    a->type = t;
    return a;
}

int netaddr_hash(const NetAddress* a) { return (a && a->type) ? a->type->hash(a->storage) : 0; }

void netaddr_copy(NetAddress* dst, const NetAddress* src) {
    if (!dst || !src) return;
    dst->type = src->type;
    if (src->type) src->type->copy(dst->storage, src->storage);
}

NetAddress* netaddr_clone(const NetAddress* src) {
    if (!src || !src->type) return nullptr;
    NetAddress* a = netaddr_new(src->type->index);
    if (!a) {  // a type from an earlier table: keep the descriptor it names
        a = static_cast<NetAddress*>(calloc_or_die(1, sizeof(NetAddress)));
    }
    netaddr_copy(a, src);
    return a;
}

int netaddr_compare(const NetAddress* a, const NetAddress* b) {
    if (!a || !b || !a->type) return 1;
    return a->type->compare(a->storage, b->storage);
}

char* netaddr_to_text(const NetAddress* a) { return (a && a->type) ? a->type->to_text(a->storage) : nullptr; }

void netaddr_format(const NetAddress* a, char* out, size_t out_size) {
    if (!out || out_size == 0) return;
    out[0] = '\0';
    if (a && a->type) a->type->format(a->storage, out, out_size);
}

void netaddr_parse(NetAddress* a, const char* text) {
    if (a && a->type) a->type->parse(text, a->storage);
}

int ether_define() {
    return netaddr_define(kEtherType, kEtherAddrLen, ether_hash, ether_copy, ether_clear, ether_compare,
                          ether_to_text, ether_format, ether_parse) != nullptr;
}

void netaddr_startup() {
    netaddr_table_create();
    ether_define();
    g_frame_address_type = kEtherType;
}

void ether_set(NetAddress* a, const uint8_t* six) {
    a->type = netaddr_type(kEtherType);
    std::memcpy(a->storage, six, kEtherAddrLen);
}

int netaddr_hash_key(const void* key) { return netaddr_hash(static_cast<const NetAddress*>(key)); }

int netaddr_compare_key(const void* stored, const void* probe) {
    return netaddr_compare(static_cast<const NetAddress*>(stored), static_cast<const NetAddress*>(probe));
}

void* netaddr_copy_key(const void* key) { return netaddr_clone(static_cast<const NetAddress*>(key)); }

int netaddr_index_hash_key(const void* key) {
    static const uint64_t seed = [] {
        std::random_device device;
        return uint64_t(device()) << 32 ^ device();
    }();
    const auto* a = static_cast<const NetAddress*>(key);
    if (!a || !a->type) return 0;
    uint64_t h = seed ^ uint64_t(a->type->index) * 0x9E3779B97F4A7C15ull;
    const int size = a->type->size < kAddressStorage ? a->type->size : kAddressStorage;
    for (int i = 0; i < size; ++i) h = (h ^ a->storage[i]) * 0x100000001B3ull;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return static_cast<int>(static_cast<uint32_t>(h));
}
