#include "base/memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void fatal_out_of_memory() {
    std::fputs("ERROR: Could not allocate memory\n", stderr);
    std::exit(-1);
}

void* malloc_or_die(size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) fatal_out_of_memory();
    return p;
}

void* calloc_or_die(size_t count, size_t size) {
    void* p = std::calloc(count ? count : 1, size ? size : 1);
    if (!p) fatal_out_of_memory();
    return p;
}

char* text_dup_or_die(const char* text) {
    char* t = strdup(text ? text : "");
    if (!t) fatal_out_of_memory();
    return t;
}

RecordArena::~RecordArena() {
    for (void* b : blocks_) ::operator delete(b, std::align_val_t{kAlign});
}

void* RecordArena::allocate(size_t size) {
    size = (size + kAlign - 1) / kAlign * kAlign;
    if (size == 0) size = kAlign;
    if (size > left_) {
        // A record larger than a block gets a block of its own; the current block stays.
        const size_t block = size > kBlockSize ? size : kBlockSize;
        void* b = ::operator new(block, std::align_val_t{kAlign}, std::nothrow);
        if (!b) fatal_out_of_memory();
        blocks_.push_back(b);
        reserved_ += block;
        if (size > kBlockSize) return b;
        next_ = static_cast<char*>(b);
        left_ = block;
    }
    void* p = next_;
    next_ += size;
    left_ -= size;
    return p;
}
