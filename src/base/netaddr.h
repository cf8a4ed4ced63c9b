// Typed network addresses. An AddressType describes one kind of address (only the
// 6-byte Ethernet type, index 0, is defined); a NetAddress is a type reference and its
// storage. Records that embed an address reserve 24 bytes of storage.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/list.h"

inline constexpr int kAddressTypes = 7;
inline constexpr int kAddressStorage = 24;
inline constexpr int kEtherType = 0;      // index of the Ethernet address type
inline constexpr int kEtherAddrLen = 6;
inline constexpr int kEtherTextLen = 17;  // "XX:XX:XX:XX:XX:XX"

struct AddressType {
    int index;
    int size;  // bytes of storage an address of this type uses
    int (*hash)(const uint8_t* storage);
    void (*copy)(uint8_t* dst, const uint8_t* src);
    void (*clear)(uint8_t* storage);
    int (*compare)(const uint8_t* a, const uint8_t* b);
    char* (*to_text)(const uint8_t* storage);                  // new text, release with std::free
    void (*format)(const uint8_t* storage, char* out, size_t out_size);
    void (*parse)(const char* text, uint8_t* storage);
};

struct NetAddress {
    const AddressType* type = nullptr;  // null: no type
    uint8_t storage[kAddressStorage] = {};
};

struct AddressTypeTable {
    const AddressType* types[kAddressTypes] = {};
    int count = 0;
    List* defined = nullptr;  // of AddressType, in order of definition
};

// Index of the type of every address taken from a frame (Ethernet).
extern int g_frame_address_type;

// Creates the type table afresh (all slots null).
void netaddr_table_create();
// Defines a type; returns the descriptor, or null without a table or with an index
// outside 0..6.
const AddressType* netaddr_define(int index, int size, int (*hash)(const uint8_t*),
                                  void (*copy)(uint8_t*, const uint8_t*), void (*clear)(uint8_t*),
                                  int (*compare)(const uint8_t*, const uint8_t*),
                                  char* (*to_text)(const uint8_t*),
                                  void (*format)(const uint8_t*, char*, size_t),
                                  void (*parse)(const char*, uint8_t*));
[[nodiscard]] const AddressType* netaddr_type(int index);
// Zeroes the address and sets its type when `index` is defined; else does nothing.
void netaddr_init(NetAddress* address, int index);
// A new zeroed address of that type (release with std::free), or null.
[[nodiscard]] NetAddress* netaddr_new(int index);

// Each applies the operation of the address's own type. Untyped or null addresses:
// hash 0, compare 1, text null, format writes an empty text, parse does nothing.
[[nodiscard]] int netaddr_hash(const NetAddress* a);
void netaddr_copy(NetAddress* dst, const NetAddress* src);
[[nodiscard]] NetAddress* netaddr_clone(const NetAddress* src);
[[nodiscard]] int netaddr_compare(const NetAddress* a, const NetAddress* b);
[[nodiscard]] char* netaddr_to_text(const NetAddress* a);
void netaddr_format(const NetAddress* a, char* out, size_t out_size);
void netaddr_parse(NetAddress* a, const char* text);

// Defines the Ethernet type at index 0 with size 6. Returns 1 on success, else 0.
int ether_define();
// Runs the start-up sequence: a fresh table, the Ethernet type, frame type 0.
void netaddr_startup();
// Sets `a` to the Ethernet address held in six bytes.
void ether_set(NetAddress* a, const uint8_t* six_bytes);

// Operations for HashTables keyed by NetAddress (hash, compare, copy-key).
int netaddr_hash_key(const void* key);
int netaddr_compare_key(const void* stored, const void* probe);
void* netaddr_copy_key(const void* key);
// A hash of the address's type and stored bytes mixed over all 32 bits, with a seed
// chosen at process start so that a flood of made-up addresses cannot aim at one slot:
// the index hash of the large address tables (hashtable_set_index_hash).
int netaddr_index_hash_key(const void* key);
