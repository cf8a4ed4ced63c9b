// The out-of-memory rule, once: a failed allocation ends the program with
// "ERROR: Could not allocate memory\n" on standard error and exit status -1. Every
// allocation of the engine's records goes through these, so none of them can return null.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

// Ends the program after a failed allocation.
[[noreturn]] void fatal_out_of_memory();

// A new T built from the arguments, or the end of the program. Release with delete.
template <class T, class... Args>
[[nodiscard]] T* new_or_die(Args&&... args) {
    T* p = new (std::nothrow) T{std::forward<Args>(args)...};
    if (!p) fatal_out_of_memory();
    return p;
}

// std::malloc and std::calloc that never return null. Release with std::free.
[[nodiscard]] void* malloc_or_die(size_t size);
[[nodiscard]] void* calloc_or_die(size_t count, size_t size);

// A std::malloc'ed copy of a text (null reads as the empty text). Release with std::free.
[[nodiscard]] char* text_dup_or_die(const char* text);
