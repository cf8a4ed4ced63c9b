// The name service's request queue: a first-in, first-out list of ResolveRequest
// references. It does no locking of its own; the name service holds its queue lock
// "Hostc mutex" around every put and take.
#pragma once

struct ResolveRequest;

struct QueueNode {
    ResolveRequest* request;
    QueueNode* next;
};

struct RequestQueue {
    int count = 0;
    QueueNode* head = nullptr;
    QueueNode* tail = nullptr;
};

// A new, empty queue.
[[nodiscard]] RequestQueue* queue_create();
// Appends the request (a null request is queued like any other). Returns 1; a node
// that cannot be allocated ends the program.
int queue_put(RequestQueue* queue, ResolveRequest* request);
// Removes the oldest request into *request and returns 1, or returns 0 (with *request
// null, head and tail reset) when the queue is empty. A null queue counts as empty.
int queue_take(RequestQueue* queue, ResolveRequest** request);
