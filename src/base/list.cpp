#include "base/list.h"

#include "base/memory.h"

namespace {

ListNode* new_node(void* item) {
    return new_or_die<ListNode>(item, nullptr);
}

}  // namespace

List* list_create() {
    return new_or_die<List>();
}

void list_append(List* list, void* item) {
    if (!list) return;
    ListNode* n = new_node(item);
    if (list->tail) list->tail->next = n;
    else list->head = n;
    list->tail = n;
    ++list->count;
}

void list_prepend(List* list, void* item) {
    if (!list) return;
    ListNode* n = new_node(item);
    n->next = list->head;
    list->head = n;
    if (!list->tail) list->tail = n;
    ++list->count;
}

ListNode* list_insert_after(List* list, ListNode* after, void* item) {
    if (!list) return nullptr;
    ListNode* n = new_node(item);
    ListNode*& link = after ? after->next : list->head;
    n->next = link;
    link = n;
    if (list->tail == after) list->tail = n;
    ++list->count;
    return n;
}

void list_insert_ordered(List* list, void* item, int (*order)(const void*, const void*)) {
    if (!list || !order) return;
    ListNode* prev = nullptr;
    ListNode* at = list->head;
    while (at && order(item, at->item) < 0) {
        prev = at;
        at = at->next;
    }
    if (!at) {
        list_append(list, item);
        return;
    }
    ListNode* n = new_node(item);
    n->next = at;
    if (prev) prev->next = n;
    else list->head = n;
    ++list->count;
}

int list_remove(List* list, void* item) {
    if (!list) return 0;
    ListNode* prev = nullptr;
    for (ListNode* n = list->head; n; prev = n, n = n->next) {
        if (n->item != item) continue;
        if (prev) prev->next = n->next;
        else list->head = n->next;
        if (list->tail == n) list->tail = prev;
        delete n;
        --list->count;
        return 1;
    }
    return 0;
}

void* list_find(List* list, const void* probe, int (*match)(const void*, const void*)) {
    if (!list || !match) return nullptr;
    for (ListNode* n = list->head; n; n = n->next)
        if (match(probe, n->item) == 0) return n->item;
    return nullptr;
}

List* list_map(List* list, void* (*convert)(void*)) {
    if (!list || !convert) return nullptr;
    List* out = list_create();
    for (ListNode* n = list->head; n; n = n->next) list_append(out, convert(n->item));
    return out;
}

void list_destroy(List* list, void (*release)(void*)) {
    if (!list) return;
    for (ListNode* n = list->head; n;) {
        ListNode* next = n->next;
        if (release) release(n->item);
        delete n;
        n = next;
    }
    delete list;
}
