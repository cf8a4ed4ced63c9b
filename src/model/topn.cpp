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

namespace {

// The list's own operations.
struct PointerOps {
    const TopList* list;
    int compare(const void* a, const void* b) const { return list->compare(a, b); }
    int get_place(const void* item) const { return list->get_place(item); }
    void set_place(void* item, int place) const { list->set_place(item, place); }
};

}  // namespace

int topn_insert(TopList* list, void* item) {
    if (!list || !item) return -1;
    return topn_detail::insert(list, item, PointerOps{list});
}

void topn_update(TopList* list, void* item) {
    if (!list || !item) return;
    topn_detail::update(list, item, PointerOps{list});
}

void topn_offer(TopList* list, void* item) {
    if (!list || !item) return;
    topn_detail::offer(list, item, PointerOps{list});
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
