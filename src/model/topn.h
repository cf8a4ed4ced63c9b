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

// topn_insert, topn_update and topn_offer over the operations `ops` gives (compare,
// get_place, set_place as in TopList): the list's own function pointers, or, for the
// host and link rankings that every frame offers to, the same operations inline.
namespace topn_detail {

template <class Ops>
int insert(TopList* list, void* item, const Ops& ops) {
    const int c = list->count;
    if (c < 0 || c > list->capacity) return -1;
    if (c == 0) {
        list->items[0] = item;
        list->count = 1;
        ops.set_place(item, 0);
        return 0;
    }
    void* last = list->items[c - 1];
    if (ops.compare(last, item) < 0) {
        if (c == list->capacity) {
            ops.set_place(last, -1);  // displaced: leaves the list, count stays
        } else {
            ops.set_place(last, c);
            list->items[c] = last;
            ++list->count;
        }
        int i = c - 1;
        while (i > 0 && ops.compare(list->items[i - 1], item) < 0) {
            ops.set_place(list->items[i - 1], i);
            list->items[i] = list->items[i - 1];
            --i;
        }
        list->items[i] = item;
        ops.set_place(item, i);
        return i;
    }
    if (c < list->capacity) {
        list->items[c] = item;
        ++list->count;
        ops.set_place(item, c);
        return c;
    }
    ops.set_place(item, -1);
    return -1;
}

template <class Ops>
void update(TopList* list, void* item, const Ops& ops) {
    int n = ops.get_place(item);
    if (n <= 0 || n >= list->count) return;
    for (; n > 0; --n) {
        void* upper = list->items[n - 1];
        void* lower = list->items[n];
        if (ops.compare(upper, lower) >= 0) break;
        list->items[n - 1] = lower;
        list->items[n] = upper;
        ops.set_place(upper, n);
        ops.set_place(lower, n - 1);
    }
}

template <class Ops>
void offer(TopList* list, void* item, const Ops& ops) {
    if (!list || !item) return;
    if (ops.get_place(item) == -1) insert(list, item, ops);
    else update(list, item, ops);
}

// A ranking by a record's 64-bit key, with its place in a field of the record.
template <class T, uint64_t T::*Key, int T::*Place>
struct FieldOps {
    static T* of(const void* item) { return static_cast<T*>(const_cast<void*>(item)); }
    int compare(const void* a, const void* b) const { return topn_compare_keys(of(a)->*Key, of(b)->*Key); }
    int get_place(const void* item) const { return of(item)->*Place; }
    void set_place(void* item, int place) const { of(item)->*Place = place; }
};

}  // namespace topn_detail
