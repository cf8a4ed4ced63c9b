#include "base/hashtable.h"

#include <cstdlib>
#include <cstring>

#include "base/memory.h"

namespace {

int bucket_of(const HashTable* t, const void* key) { return t->hash(key) & (kHashBuckets - 1); }

HashEntry* find_entry(const HashTable* t, const void* key) {
    for (HashEntry* e = t->buckets[bucket_of(t, key)]; e; e = e->next)
        if (t->compare(e->key, key) == 0) return e;
    return nullptr;
}

void add_entry(HashTable* t, const void* key, void* value) {
    auto* e = new_or_die<HashEntry>();
    e->key = t->copy_key ? t->copy_key(key) : const_cast<void*>(key);
    e->value = value;
    int b = bucket_of(t, key);
    e->next = t->buckets[b];
    t->buckets[b] = e;
    ++t->count;
}

}  // namespace

int hashtable_text_compare(const void* stored, const void* probe) {
    return std::strcmp(static_cast<const char*>(stored), static_cast<const char*>(probe));
}

void* hashtable_text_copy(const void* text) { return text_dup_or_die(static_cast<const char*>(text)); }

int hashtable_text_hash(const void* text) {
    unsigned h = 0;
    for (const unsigned char* p = static_cast<const unsigned char*>(text); p && *p; ++p) h = *p ^ (h << 2);
    return static_cast<int>(h);
}

HashTable* hashtable_create(HashFn hash, CompareFn compare, CopyFn copy_key, CopyFn copy_value) {
    auto* t = new_or_die<HashTable>();
    t->hash = hash ? hash : hashtable_text_hash;
    t->compare = compare ? compare : hashtable_text_compare;
    t->copy_key = copy_key;
    t->copy_value = copy_value;
    t->free_key = copy_key ? std::free : nullptr;
    t->free_value = copy_value ? std::free : nullptr;
    return t;
}

int hashtable_lookup(const HashTable* table, const void* key, void** value) {
    if (value) *value = nullptr;
    if (!table || !key) return 0;
    HashEntry* e = find_entry(table, key);
    if (!e) return 0;
    if (value) *value = e->value;
    return 1;
}

int hashtable_replace(HashTable* table, const void* key, void* value) {
    if (!table || !key) return 0;
    void* stored = table->copy_value ? table->copy_value(value) : value;
    if (HashEntry* e = find_entry(table, key)) {
        if (table->free_value) table->free_value(e->value);
        e->value = stored;
        return 1;
    }
    add_entry(table, key, stored);
    return 0;
}

int hashtable_set(HashTable* table, const void* key, void* value) {
    if (!table || !key) return 0;
    if (HashEntry* e = find_entry(table, key)) {
        e->value = value;
        return 1;
    }
    add_entry(table, key, value);
    return 0;
}
