#include "model/names/names.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "base/file.h"
#include "base/memory.h"
#include "base/path.h"
#include "base/scan.h"

namespace {

struct NamesState {
    std::shared_mutex lock;
    HashTable* by_text = nullptr;     // guarded by lock
    HashTable* by_address = nullptr;  // guarded by lock
    std::atomic<HashTable*> manufacturers{nullptr};
};
NamesState g_names;

bool address_separator(char c) { return c == '.' || c == '-' || c == ':' || c == ' ' || c == '\t' || c == '\n'; }
bool name_separator(char c) { return c == ':' || c == ' ' || c == '\t' || c == '\n'; }

// Reads a name file line by line, keeping at most `max_len` characters of each line:
// the rest of a longer line is dropped, never read as a line of its own. A carriage
// return before the line feed is not part of the line. Calls line_fn(text) for every
// line that is not blank and not a comment, with leading white space removed. The file
// is read whole within the data files' limits (base/file.h): a device or a FIFO is
// refused at once, with a line on the standard output naming the file.
// Returns false when the file cannot be opened or is refused.
template <class F>
bool read_name_file(const char* who, const char* path, size_t max_len, F&& line_fn) {
    if (!path) return false;
    std::string bytes;
    if (const FileRead read = file_read_all(native_path(path), &bytes, kDataFileLimits); read != FileRead::ok) {
        if (read != FileRead::cannot_open) {
            std::printf("%s: Warning - %s %s\n", who, path, file_read_problem(read, kDataFileLimits).c_str());
            std::fflush(stdout);
        }
        return false;
    }
    std::string line;
    line.reserve(max_len);
    bool cut = false;  // the line is longer than max_len; the rest is being dropped
    auto finish = [&] {
        if (!cut && !line.empty() && line.back() == '\r') line.pop_back();
        // Text stops at a NUL byte; what follows it on the line is not read.
        const char* p = line.c_str();
        while (*p && scan_is_blank(static_cast<unsigned char>(*p))) ++p;
        if (*p && *p != '#') line_fn(p);
        line.clear();
        cut = false;
    };
    for (const char c : bytes) {
        if (c == '\n') finish();
        else if (line.size() < max_len) line.push_back(c);
        else cut = true;
    }
    if (!line.empty()) finish();
    return true;
}

// Manufacturer keys end in three zero bytes, which leave the Ethernet hash only two
// bits of variety in its low byte: every prefix would fall into 4 of the 256 buckets.
// Folding the higher bits down spreads them over all buckets; compare and copy stay
// the address type's.
int manufacturer_hash(const void* key) {
    const unsigned h = static_cast<unsigned>(netaddr_hash_key(key));
    return static_cast<int>(h ^ (h >> 8) ^ (h >> 16));
}

void ensure_local_tables() {
    {
        std::shared_lock lock(g_names.lock);
        if (g_names.by_text && g_names.by_address) return;
    }
    local_names_create();
}

}  // namespace

int names_text_hash(const void* text) {
    unsigned h = 0;
    const auto* p = static_cast<const unsigned char*>(text);
    for (size_t k = 0; p && p[k]; ++k) {
        h ^= p[k];
        if (k % 2 == 0) h <<= 1;
    }
    return static_cast<int>(h);
}

void local_names_create() {
    HashTable* by_text = hashtable_create(names_text_hash, hashtable_text_compare, hashtable_text_copy, nullptr);
    HashTable* by_address = hashtable_create(netaddr_hash_key, netaddr_compare_key, netaddr_copy_key, nullptr);
    std::unique_lock lock(g_names.lock);
    g_names.by_text = by_text;
    g_names.by_address = by_address;
}

std::shared_mutex& names_lock() { return g_names.lock; }
HashTable* local_names_by_text() { return g_names.by_text; }
HashTable* local_names_by_address() { return g_names.by_address; }

int parse_address_line(const char* line, uint8_t* address, char* name) {
    if (!line) return -1;
    const char* p = line;
    uint8_t bytes[kEtherAddrLen];
    for (uint8_t& byte : bytes) {
        while (*p && address_separator(*p)) ++p;
        if (!*p) return -1;
        const char* start = p;
        while (*p && !address_separator(*p)) ++p;
        byte = static_cast<uint8_t>(scan_hex_byte(start, p));
        if (*p) ++p;  // the separator that ended the token belongs to it
    }
    while (*p && name_separator(*p)) ++p;
    if (!*p) return -1;
    const char* start = p;
    while (*p && !name_separator(*p)) ++p;
    size_t n = static_cast<size_t>(p - start);
    if (n > size_t(kNameMax)) n = kNameMax;
    if (address) std::memcpy(address, bytes, kEtherAddrLen);
    if (name) {
        std::memcpy(name, start, n);
        name[n] = '\0';
    }
    return 0;
}

int ethers_read(const char* path) {
    ensure_local_tables();
    const AddressType* type = netaddr_type(g_frame_address_type);
    const bool opened = read_name_file("ethers_read", path, kEthersLineMax, [&](const char* line) {
        uint8_t bytes[kEtherAddrLen];
        char name[kNameMax + 1];
        if (parse_address_line(line, bytes, name) != 0 || !type) return;
        auto* e = new_or_die<NameEntry>();
        e->name = text_dup_or_die(name);
        netaddr_init(&e->address, type->index);
        std::memcpy(e->address.storage, bytes, kEtherAddrLen);
        std::unique_lock lock(g_names.lock);
        hashtable_set(g_names.by_text, e->name, e);
        hashtable_set(g_names.by_address, &e->address, e);
    });
    return opened ? 0 : -1;
}

HashTable* manf_read(const char* path, bool* opened) {
    HashTable* table = hashtable_create(manufacturer_hash, netaddr_compare_key, netaddr_copy_key, hashtable_text_copy);
    const AddressType* type = netaddr_type(g_frame_address_type);
    const bool read = read_name_file("manf_read", path, kManufacturersLineMax, [&](const char* line) {
        NetAddress key;
        char name[kNameMax + 1];
        if (!type || parse_address_line(line, key.storage, name) != 0) return;
        key.type = type;
        hashtable_replace(table, &key, name);
    });
    g_names.manufacturers.store(table, std::memory_order_release);
    if (opened) *opened = read;
    return table;
}

const NameEntry* local_name_by_address(const NetAddress* address) {
    if (!address) return nullptr;
    void* value = nullptr;
    std::shared_lock lock(g_names.lock);
    hashtable_lookup(g_names.by_address, address, &value);
    return static_cast<const NameEntry*>(value);
}

const NameEntry* local_name_lookup_text(const char* text) {
    if (!text) return nullptr;
    if (std::strchr(text, ':')) {
        NetAddress a;
        netaddr_init(&a, g_frame_address_type);
        netaddr_parse(&a, text);
        return local_name_by_address(&a);
    }
    void* value = nullptr;
    std::shared_lock lock(g_names.lock);
    hashtable_lookup(g_names.by_text, text, &value);
    return static_cast<const NameEntry*>(value);
}

const char* manufacturer_of(const NetAddress* address) {
    void* value = nullptr;
    hashtable_lookup(g_names.manufacturers.load(std::memory_order_acquire), address, &value);
    return static_cast<const char*>(value);
}
