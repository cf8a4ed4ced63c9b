#include "model/names/q.h"

#include <new>

#include "base/message.h"

RequestQueue* queue_create() {
    auto* q = new (std::nothrow) RequestQueue{};
    if (!q) fatal_out_of_memory();
    return q;
}

int queue_put(RequestQueue* queue, ResolveRequest* request) {
    if (!queue) return 0;
    auto* node = new (std::nothrow) QueueNode{request, nullptr};
    if (!node) fatal_out_of_memory();
    if (queue->tail) queue->tail->next = node;
    else queue->head = node;
    queue->tail = node;
    ++queue->count;
    return 1;
}

int queue_take(RequestQueue* queue, ResolveRequest** request) {
    if (request) *request = nullptr;
    if (!queue) return 0;
    QueueNode* node = queue->head;
    if (!node) {
        queue->head = queue->tail = nullptr;
        queue->count = 0;
        return 0;
    }
    queue->head = node->next;
    if (!queue->head) queue->tail = nullptr;
    --queue->count;
    if (request) *request = node->request;
    delete node;
    return 1;
}
