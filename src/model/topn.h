// TopList: a ranking of at most 50 items, largest key first, kept current
// incrementally as keys grow. Items are owned elsewhere and record their own place
// (-1 when not listed). Ties keep the order of admission.
#pragma once

#include <cstdint>

inline constexpr int kTopCapacity = 50;

struct TopList {
    int (*compare)(const void* a, const void* b) = nullptr;  // -1, 0, 1 by key
    int (*get_place)(const void* item) = nullptr;
    void (*set_place)(void* item, int place) = nullptr;
    char* (*label)(const void* item) = nullptr;  // new text, release with std::free
    uint64_t (*key)(const void* item) = nullptr;
    int count = 0;
    int capacity = kTopCapacity;
    void* items[kTopCapacity] = {};
};

// One exported rank: the label (a new text the caller releases with std::free) and key.
struct TopPair {
    char* label;
    uint64_t key;
};

[[nodiscard]] TopList* topn_create(int (*compare)(const void*, const void*), int (*get_place)(const void*),
                                   void (*set_place)(void*, int), char* (*label)(const void*),
                                   uint64_t (*key)(const void*));
// Admits the item if it ranks; returns its place or -1.
int topn_insert(TopList* list, void* item);
// Moves a listed item up after its key has grown; nothing for unlisted or first items.
void topn_update(TopList* list, void* item);
// Insert when the item is not listed, else update.
void topn_offer(TopList* list, void* item);
// Update for the items at places 0..count-1, in that order.
void topn_resort(TopList* list);
// Writes (label, key) for each listed item in place order into out[50]; when fewer
// than 50 are listed, the pair after the last is (null, 0). Returns the count written.
int topn_export(const TopList* list, TopPair out[kTopCapacity]);

// Compares two unsigned keys: -1, 0 or 1.
inline int topn_compare_keys(uint64_t a, uint64_t b) { return a < b ? -1 : (a > b ? 1 : 0); }
