// The out-of-memory rule, once: a failed allocation ends the program with
// "ERROR: Could not allocate memory\n" on standard error and exit status -1. Every
// allocation of the engine's records goes through these, so none of them can return null.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

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

// Storage for records that live as long as their owner and are never released one by
// one (the model's links and tally nodes). Records are handed out in order from blocks
// of 64 KiB, so records made one after another sit side by side in memory, and each
// allocation starts on a cache line. The blocks are freed with the arena; the records
// in them are not destroyed, so only trivially destructible ones may live here.
class RecordArena {
public:
    static constexpr size_t kAlign = 64;
    static constexpr size_t kBlockSize = 64 * 1024;

    RecordArena() = default;
    RecordArena(const RecordArena&) = delete;
    RecordArena& operator=(const RecordArena&) = delete;
    ~RecordArena();

    // `size` bytes aligned to `align` (a power of two up to kAlign), or the end of the
    // program.
    [[nodiscard]] void* allocate(size_t size, size_t align = kAlign);

    // A value-initialised T, or the end of the program. On a cache line of its own, or
    // packed with its neighbours (aligned as T needs) when `packed`.
    template <class T>
    [[nodiscard]] T* make(bool packed = false) {
        static_assert(std::is_trivially_destructible_v<T>, "the arena never destroys its records");
        static_assert(alignof(T) <= kAlign);
        return new (allocate(sizeof(T), packed ? alignof(T) : kAlign)) T{};
    }
    // `count` value-initialised Ts side by side, or the end of the program; placed as
    // make places one.
    template <class T>
    [[nodiscard]] T* make_array(size_t count, bool packed = false) {
        static_assert(std::is_trivially_destructible_v<T>, "the arena never destroys its records");
        static_assert(alignof(T) <= kAlign);
        T* p = static_cast<T*>(allocate(sizeof(T) * count, packed ? alignof(T) : kAlign));
        for (size_t i = 0; i < count; ++i) new (p + i) T{};
        return p;
    }

    // Bytes held in blocks (for memory figures).
    [[nodiscard]] size_t reserved() const { return reserved_; }

private:
    std::vector<void*> blocks_;
    char* next_ = nullptr;
    size_t left_ = 0;
    size_t reserved_ = 0;
};
