// HashTable: the program's one chained hash table. Exactly 256 buckets, never grows or
// rehashes; the bucket of a key is hash(key) AND 255; new entries go to the head of
// their chain. Operations are chosen at creation:
//   hash     missing: the text hash h = byte XOR (h << 2) over the text's bytes
//   compare  missing: ordinary text comparison (0 means equal)
//   copy     missing: the pointer itself is stored and never freed;
//            given: the copy is made with it and released with std::free, so copy
//            operations allocate with std::malloc.
//
// Storage is compact: a table of up to kHashSmall entries holds no bucket array, only
// one chain of its entries kept in bucket order (each bucket's entries newest first),
// which is exactly the order of the 256 chains read one after another. The 256 heads
// are made when the table outgrows that. A table given an index hash
// (hashtable_set_index_hash) also keeps, once it holds more than kHashIndexFrom
// entries, an open-addressing index of its entries beside the chains, so that a lookup
// costs the same at 100 000 entries as at 100; the chains and their order stay as they
// are. Each entry keeps its key's hash, so a chain walk compares keys only when the
// hashes agree.
#pragma once

#include "base/memory.h"

#include <cstdint>

inline constexpr int kHashBuckets = 256;
inline constexpr int kHashSmall = 16;
inline constexpr int kHashIndexFrom = 1024;

using HashFn = int (*)(const void* key);
using CompareFn = int (*)(const void* stored, const void* probe);
using CopyFn = void* (*)(const void* source);
using FreeFn = void (*)(void* copy);

struct HashEntry {
    void* key;
    void* value;
    HashEntry* next;
    unsigned hash;  // hash(key), of which the bucket is the low byte
};

struct HashIndex;

struct HashTable {
    int count = 0;
    HashFn hash = nullptr;
    CompareFn compare = nullptr;
    CopyFn copy_key = nullptr;
    CopyFn copy_value = nullptr;
    FreeFn free_key = nullptr;
    FreeFn free_value = nullptr;
    HashFn index_hash = nullptr;     // a well-mixed hash of the key for the index, or null
    HashEntry** buckets = nullptr;   // the 256 chain heads, once count exceeds kHashSmall
    HashEntry* entries = nullptr;    // until then every entry, in iteration order
    HashIndex* index = nullptr;      // beside the chains of a large table with an index hash
    RecordArena* arena = nullptr;    // where the table and its entries live, if not the heap
};

// Text hash used when no hash operation is given.
[[nodiscard]] int hashtable_text_hash(const void* text);
// Text comparison used when no compare operation is given.
[[nodiscard]] int hashtable_text_compare(const void* stored, const void* probe);
// A std::malloc'ed copy of a text (text_dup_or_die, base/memory.h), as a copy-key or
// copy-value operation.
void* hashtable_text_copy(const void* text);

[[nodiscard]] HashTable* hashtable_create(HashFn hash, CompareFn compare, CopyFn copy_key, CopyFn copy_value);
// The same, with the table and its entries packed into `arena` (the model's tables,
// which live as long as their network): hashtable_destroy then releases the keys,
// values, buckets and index, and leaves the table and its entries to the arena.
[[nodiscard]] HashTable* hashtable_create_in(RecordArena* arena, HashFn hash, CompareFn compare, CopyFn copy_key,
                                             CopyFn copy_value);
// Gives the table a second hash of its keys, well mixed over all 32 bits, for the index
// of a large table. Keys that compare equal must have equal index hashes.
void hashtable_set_index_hash(HashTable* table, HashFn index_hash);
// Returns 1 and the value in *value when the key is present, else 0 and null.
// A null table or key gives 0.
int hashtable_lookup(const HashTable* table, const void* key, void** value);
// Present: frees the old value with free-value, stores copy-value(value), returns 1.
// Absent: adds copy-key(key) -> copy-value(value) at the head of its chain, returns 0.
int hashtable_replace(HashTable* table, const void* key, void* value);
// Present: stores the value by reference (the old one is not freed), returns 1.
// Absent: adds copy-key(key) -> value at the head of its chain, returns 0.
int hashtable_set(HashTable* table, const void* key, void* value);
// Releases the table: copied keys and values with std::free, the entries, the table.
// Values stored by reference are handed to release_value when given.
void hashtable_destroy(HashTable* table, void (*release_value)(void* value, void* context), void* context);

// Calls action(key, value) for buckets 0 to 255, each chain from its head.
template <class F>
void hashtable_foreach(const HashTable* table, F&& action) {
    if (!table) return;
    if (!table->buckets) {
        for (HashEntry* e = table->entries; e; e = e->next) action(e->key, e->value);
        return;
    }
    for (int b = 0; b < kHashBuckets; ++b)
        for (HashEntry* e = table->buckets[b]; e; e = e->next) action(e->key, e->value);
}

// Calls action(key, value) for the entries of buckets first to last - 1 only, in the
// same order as hashtable_foreach: a walk in pieces (the lock released between them).
template <class F>
void hashtable_foreach_in_buckets(const HashTable* table, int first, int last, F&& action) {
    if (!table) return;
    if (!table->buckets) {
        for (HashEntry* e = table->entries; e; e = e->next) {
            const int b = int(e->hash & (kHashBuckets - 1));
            if (b >= last) break;
            if (b >= first) action(e->key, e->value);
        }
        return;
    }
    for (int b = first < 0 ? 0 : first; b < last && b < kHashBuckets; ++b)
        for (HashEntry* e = table->buckets[b]; e; e = e->next) action(e->key, e->value);
}
