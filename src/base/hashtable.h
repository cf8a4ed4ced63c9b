// HashTable: the program's one chained hash table. Exactly 256 buckets, never grows or
// rehashes; the bucket of a key is hash(key) AND 255; new entries go to the head of
// their chain. Operations are chosen at creation:
//   hash     missing: the text hash h = byte XOR (h << 2) over the text's bytes
//   compare  missing: ordinary text comparison (0 means equal)
//   copy     missing: the pointer itself is stored and never freed;
//            given: the copy is made with it and released with std::free, so copy
//            operations allocate with std::malloc.
#pragma once

inline constexpr int kHashBuckets = 256;

using HashFn = int (*)(const void* key);
using CompareFn = int (*)(const void* stored, const void* probe);
using CopyFn = void* (*)(const void* source);
using FreeFn = void (*)(void* copy);

struct HashEntry {
    void* key;
    void* value;
    HashEntry* next;
};

struct HashTable {
    int count = 0;
    HashFn hash = nullptr;
    CompareFn compare = nullptr;
    CopyFn copy_key = nullptr;
    CopyFn copy_value = nullptr;
    FreeFn free_key = nullptr;
    FreeFn free_value = nullptr;
    HashEntry* buckets[kHashBuckets] = {};
};

// Text hash used when no hash operation is given.
[[nodiscard]] int hashtable_text_hash(const void* text);
// Text comparison used when no compare operation is given.
[[nodiscard]] int hashtable_text_compare(const void* stored, const void* probe);
// A std::malloc'ed copy of a text (text_dup_or_die, base/memory.h), as a copy-key or
// copy-value operation.
void* hashtable_text_copy(const void* text);

[[nodiscard]] HashTable* hashtable_create(HashFn hash, CompareFn compare, CopyFn copy_key, CopyFn copy_value);
// Returns 1 and the value in *value when the key is present, else 0 and null.
// A null table or key gives 0.
int hashtable_lookup(const HashTable* table, const void* key, void** value);
// Present: frees the old value with free-value, stores copy-value(value), returns 1.
// Absent: adds copy-key(key) -> copy-value(value) at the head of its chain, returns 0.
int hashtable_replace(HashTable* table, const void* key, void* value);
// Present: stores the value by reference (the old one is not freed), returns 1.
// Absent: adds copy-key(key) -> value at the head of its chain, returns 0.
int hashtable_set(HashTable* table, const void* key, void* value);

// Calls action(key, value) for buckets 0 to 255, each chain from its head.
template <class F>
void hashtable_foreach(const HashTable* table, F&& action) {
    if (!table) return;
    for (HashEntry* head : table->buckets)
        for (HashEntry* e = head; e; e = e->next) action(e->key, e->value);
}
