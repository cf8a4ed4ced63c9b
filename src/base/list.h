// List: a singly linked list of item references with a count, head and tail. Items
// are owned by whoever put them there; the list owns only its nodes. Null lists are
// accepted everywhere and change nothing.
#pragma once

struct ListNode {
    void* item;
    ListNode* next;
};

struct List {
    int count = 0;
    ListNode* head = nullptr;
    ListNode* tail = nullptr;
};

[[nodiscard]] List* list_create();
void list_append(List* list, void* item);
void list_prepend(List* list, void* item);
// Puts `item` just before the first listed item for which order(item, existing) is not
// negative, or at the end when there is none.
void list_insert_ordered(List* list, void* item, int (*order)(const void* item, const void* existing));
// Puts `item` just after the node `after` (at the head when `after` is null) and returns
// its node. `after` must be a node of this list.
ListNode* list_insert_after(List* list, ListNode* after, void* item);
// Unlinks the first node holding that very item (identity). Returns 1 when one was
// removed, else 0.
int list_remove(List* list, void* item);
// First item for which match(probe, item) is 0, else null.
[[nodiscard]] void* list_find(List* list, const void* probe, int (*match)(const void* probe, const void* item));
// A new list of convert(item) for each item, in the same order.
[[nodiscard]] List* list_map(List* list, void* (*convert)(void* item));
// Releases each item with `release` (when given), then the nodes and the list.
void list_destroy(List* list, void (*release)(void* item));

// Calls action(item) for each item, head first.
template <class F>
void list_foreach(const List* list, F&& action) {
    if (!list) return;
    for (ListNode* n = list->head; n; n = n->next) action(n->item);
}

// Calls step(item, node) for each item; step returns the node to continue from (its
// next is visited), or null to end the walk.
template <class F>
void list_walk(const List* list, F&& step) {
    if (!list) return;
    for (ListNode* n = list->head; n;) {
        ListNode* at = step(n->item, n);
        n = at ? at->next : nullptr;
    }
}
