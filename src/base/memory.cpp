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
