#include "model/names/q.h"

#include "base/memory.h"

RequestQueue* queue_create() {
    auto* q = new_or_die<RequestQueue>();
    return q;
}

int queue_put(RequestQueue* queue, ResolveRequest* request) {
    if (!queue) return 0;
    auto* node = new_or_die<QueueNode>(request, nullptr);
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
