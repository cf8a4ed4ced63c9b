#include "base/memory.h"

#include <cstdint>
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

void* RecordArena::allocate(size_t size, size_t align) {
    if (align == 0 || align > kAlign || (align & (align - 1))) align = kAlign;
    if (size == 0) size = 1;
    // Padding to the alignment asked for, from where the current block stands.
    const size_t pad = next_ ? size_t(-reinterpret_cast<uintptr_t>(next_)) & (align - 1) : 0;
    if (!next_ || pad + size > left_) {
        // A record larger than a block gets a block of its own; the current block stays.
        const size_t rounded = (size + kAlign - 1) / kAlign * kAlign;
        const size_t block = rounded > kBlockSize ? rounded : kBlockSize;
        void* b = ::operator new(block, std::align_val_t{kAlign}, std::nothrow);
        if (!b) fatal_out_of_memory();
        blocks_.push_back(b);
        reserved_ += block;
        if (rounded > kBlockSize) return b;
        next_ = static_cast<char*>(b);
        left_ = block;
        return allocate(size, align);
    }
    void* p = next_ + pad;
    // Records on cache lines end on one too, so that the next one starts there.
    const size_t used = align == kAlign ? (size + kAlign - 1) / kAlign * kAlign : size;
    const size_t take = pad + used > left_ ? left_ : pad + used;
    next_ += take;
    left_ -= take;
    return p;
}
