#include "model/topn.h"

#include "base/memory.h"

TopList* topn_create(int (*compare)(const void*, const void*), int (*get_place)(const void*),
                     void (*set_place)(void*, int), char* (*label)(const void*), uint64_t (*key)(const void*)) {
    auto* l = new_or_die<TopList>();
    l->compare = compare;
    l->get_place = get_place;
    l->set_place = set_place;
    l->label = label;
    l->key = key;
    return l;
}

int topn_insert(TopList* list, void* item) {
    if (!list || !item) return -1;
    const int c = list->count;
    if (c < 0 || c > list->capacity) return -1;
    if (c == 0) {
        list->items[0] = item;
        list->count = 1;
        list->set_place(item, 0);
        return 0;
    }
    void* last = list->items[c - 1];
    if (list->compare(last, item) < 0) {
        if (c == list->capacity) {
            list->set_place(last, -1);  // displaced: leaves the list, count stays
        } else {
            list->set_place(last, c);
            list->items[c] = last;
            ++list->count;
        }
        int i = c - 1;
        while (i > 0 && list->compare(list->items[i - 1], item) < 0) {
            list->set_place(list->items[i - 1], i);
            list->items[i] = list->items[i - 1];
            --i;
        }
        list->items[i] = item;
        list->set_place(item, i);
        return i;
    }
    if (c < list->capacity) {
        list->items[c] = item;
        ++list->count;
        list->set_place(item, c);
        return c;
    }
    list->set_place(item, -1);
    return -1;
}

void topn_update(TopList* list, void* item) {
    if (!list || !item) return;
    int n = list->get_place(item);
    if (n <= 0 || n >= list->count) return;
    for (; n > 0; --n) {
        void* upper = list->items[n - 1];
        void* lower = list->items[n];
        if (list->compare(upper, lower) >= 0) break;
        list->items[n - 1] = lower;
        list->items[n] = upper;
        list->set_place(upper, n);
        list->set_place(lower, n - 1);
    }
}

void topn_offer(TopList* list, void* item) {
    if (!list || !item) return;
    if (list->get_place(item) == -1) topn_insert(list, item);
    else topn_update(list, item);
}

void topn_resort(TopList* list) {
    if (!list) return;
    for (int i = 0; i < list->count; ++i) topn_update(list, list->items[i]);
}

int topn_export(const TopList* list, TopPair out[kTopCapacity]) {
    if (!list || !out) return 0;
    int n = 0;
    for (; n < list->count && n < kTopCapacity; ++n) {
        out[n].label = list->label ? list->label(list->items[n]) : nullptr;
        out[n].key = list->key ? list->key(list->items[n]) : 0;
    }
    if (n < kTopCapacity) out[n] = TopPair{nullptr, 0};
    return n;
}
