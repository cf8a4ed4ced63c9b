#include "base/hashtable.h"

#include <cstdlib>
#include <cstring>

#include "base/memory.h"

// Open addressing over the entries of a large table: slots of (index hash, entry),
// linear probing, at most half full. Grows by doubling; entries never leave.
struct HashIndex {
    struct Slot {
        unsigned hash;
        HashEntry* entry;
    };
    Slot* slots = nullptr;
    unsigned mask = 0;  // capacity - 1, the capacity a power of two
};

namespace {

unsigned bucket_of(unsigned hash) { return hash & (kHashBuckets - 1); }

void index_put(HashIndex* x, unsigned h, HashEntry* e) {
    unsigned i = h & x->mask;
    while (x->slots[i].entry) i = (i + 1) & x->mask;
    x->slots[i] = {h, e};
}

void index_grow(HashIndex* x, unsigned capacity) {
    HashIndex::Slot* old = x->slots;
    const unsigned old_capacity = old ? x->mask + 1 : 0;
    x->slots = static_cast<HashIndex::Slot*>(calloc_or_die(capacity, sizeof(HashIndex::Slot)));
    x->mask = capacity - 1;
    for (unsigned i = 0; i < old_capacity; ++i)
        if (old[i].entry) index_put(x, old[i].hash, old[i].entry);
    std::free(old);
}

void index_add(HashTable* t, HashEntry* e) {
    HashIndex* x = t->index;
    if (unsigned(t->count) * 2 > x->mask + 1) index_grow(x, (x->mask + 1) * 2);
    index_put(x, unsigned(t->index_hash(e->key)), e);
}

// Builds the index of a table that has just outgrown kHashIndexFrom entries.
void index_build(HashTable* t) {
    t->index = new_or_die<HashIndex>();
    unsigned capacity = 1;
    while (capacity < unsigned(t->count) * 4) capacity *= 2;
    index_grow(t->index, capacity);
    for (int b = 0; b < kHashBuckets; ++b)
        for (HashEntry* e = t->buckets[b]; e; e = e->next) index_put(t->index, unsigned(t->index_hash(e->key)), e);
}

HashEntry* find_entry(const HashTable* t, const void* key) {
    if (const HashIndex* x = t->index) {
        const unsigned h = unsigned(t->index_hash(key));
        for (unsigned i = h & x->mask; x->slots[i].entry; i = (i + 1) & x->mask)
            if (x->slots[i].hash == h && t->compare(x->slots[i].entry->key, key) == 0) return x->slots[i].entry;
        return nullptr;
    }
    const unsigned h = unsigned(t->hash(key));
    if (t->buckets) {
        for (HashEntry* e = t->buckets[bucket_of(h)]; e; e = e->next)
            if (e->hash == h && t->compare(e->key, key) == 0) return e;
        return nullptr;
    }
    // One chain in bucket order: the key's bucket is a run of it.
    const unsigned b = bucket_of(h);
    for (HashEntry* e = t->entries; e; e = e->next) {
        const unsigned eb = bucket_of(e->hash);
        if (eb > b) break;
        if (e->hash == h && t->compare(e->key, key) == 0) return e;
    }
    return nullptr;
}

// Makes the 256 heads from the one chain, keeping each bucket's order.
void spread_into_buckets(HashTable* t) {
    t->buckets = static_cast<HashEntry**>(calloc_or_die(kHashBuckets, sizeof(HashEntry*)));
    HashEntry* tails[kHashBuckets] = {};
    for (HashEntry* e = t->entries; e;) {
        HashEntry* next = e->next;
        const unsigned b = bucket_of(e->hash);
        e->next = nullptr;
        if (tails[b]) tails[b]->next = e;
        else t->buckets[b] = e;
        tails[b] = e;
        e = next;
    }
    t->entries = nullptr;
}

void add_entry(HashTable* t, const void* key, void* value) {
    auto* e = t->arena ? t->arena->make<HashEntry>(true) : new_or_die<HashEntry>();
    e->key = t->copy_key ? t->copy_key(key) : const_cast<void*>(key);
    e->value = value;
    e->hash = unsigned(t->hash(key));
    const unsigned b = bucket_of(e->hash);
    if (t->buckets) {
        e->next = t->buckets[b];
        t->buckets[b] = e;
    } else {
        // Before the first entry of this bucket or of a later one.
        HashEntry** at = &t->entries;
        while (*at && bucket_of((*at)->hash) < b) at = &(*at)->next;
        e->next = *at;
        *at = e;
    }
    ++t->count;
    if (!t->buckets && t->count > kHashSmall) spread_into_buckets(t);
    if (t->index) index_add(t, e);
    else if (t->index_hash && t->buckets && t->count > kHashIndexFrom) index_build(t);
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
    return hashtable_create_in(nullptr, hash, compare, copy_key, copy_value);
}

HashTable* hashtable_create_in(RecordArena* arena, HashFn hash, CompareFn compare, CopyFn copy_key,
                               CopyFn copy_value) {
    auto* t = arena ? arena->make<HashTable>(true) : new_or_die<HashTable>();
    t->arena = arena;
    t->hash = hash ? hash : hashtable_text_hash;
    t->compare = compare ? compare : hashtable_text_compare;
    t->copy_key = copy_key;
    t->copy_value = copy_value;
    t->free_key = copy_key ? std::free : nullptr;
    t->free_value = copy_value ? std::free : nullptr;
    return t;
}

void hashtable_set_index_hash(HashTable* table, HashFn index_hash) {
    if (!table || table->index) return;
    table->index_hash = index_hash;
    if (index_hash && table->buckets && table->count > kHashIndexFrom) index_build(table);
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

void hashtable_destroy(HashTable* table, void (*release_value)(void* value, void* context), void* context) {
    if (!table) return;
    auto release_chain = [&](HashEntry* e) {
        while (e) {
            HashEntry* next = e->next;
            if (table->free_key) table->free_key(e->key);
            if (table->free_value) table->free_value(e->value);
            else if (release_value) release_value(e->value, context);
            if (!table->arena) delete e;
            e = next;
        }
    };
    if (table->buckets) {
        for (int b = 0; b < kHashBuckets; ++b) release_chain(table->buckets[b]);
        std::free(table->buckets);
    } else {
        release_chain(table->entries);
    }
    if (table->index) {
        std::free(table->index->slots);
        delete table->index;
    }
    if (!table->arena) delete table;
}
