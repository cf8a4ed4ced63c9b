// An index from keys (64-bit numbers, or pairs of pointers) to records, for finding a record in one probe of a flat
// array where a HashTable would walk a chain. It only finds: the HashTable beside it
// keeps the records' order. Open addressing with linear probing, at most half full, so
// a lookup reads one or two neighbouring slots. The slot is chosen by a mix of the key
// with a seed drawn once per process, so that crafted keys (a flood of chosen
// addresses) cannot be made to share slots.
//
// Keys need not be unique: several records may carry one key (a hash of something
// larger), and find_if asks the caller which of them is meant. A numeric key of 0 is
// stored as 1.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <random>

#include "base/memory.h"

namespace key_index_detail {

inline uint64_t seed() {
    static const uint64_t s = [] {
        std::random_device device;
        return (uint64_t(device()) << 32 ^ device()) | 1;
    }();
    return s;
}

// The finaliser of splitmix64: every key bit moves every slot bit.
inline uint64_t mix(uint64_t x) {
    x ^= seed();
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    x ^= x >> 31;
    return x;
}

inline uint64_t mix_key(uint64_t key) { return mix(key); }

}  // namespace key_index_detail

// Two records as a key, in order.
struct PointerPair {
    const void* first = nullptr;
    const void* second = nullptr;
    bool operator==(const PointerPair&) const = default;
};

namespace key_index_detail {
inline uint64_t mix_key(const PointerPair& p) {
    return mix(uint64_t(reinterpret_cast<uintptr_t>(p.first)) * 0x9e3779b97f4a7c15ull ^
               uint64_t(reinterpret_cast<uintptr_t>(p.second)));
}
// The empty slot's key is the all-zero key; a zero key is stored as this one.
inline uint64_t stored(uint64_t key) { return key ? key : 1; }
inline PointerPair stored(const PointerPair& p) { return p; }  // records are never at address 0
}  // namespace key_index_detail

template <class T, class Key = uint64_t>
class KeyIndex {
public:
    KeyIndex() = default;
    KeyIndex(const KeyIndex&) = delete;
    KeyIndex& operator=(const KeyIndex&) = delete;
    ~KeyIndex() { std::free(slots_); }

    // The record stored under `key` that `match` accepts, or null.
    template <class Match>
    [[nodiscard]] T* find_if(Key key, Match match) const {
        if (!slots_) return nullptr;
        key = key_index_detail::stored(key);
        for (size_t i = key_index_detail::mix_key(key) & mask_;; i = (i + 1) & mask_) {
            const Slot& s = slots_[i];
            if (!s.value) return nullptr;
            if (s.key == key && match(s.value)) return s.value;
        }
    }
    // The first record stored under `key`, or null: for keys that are unique.
    [[nodiscard]] T* find(Key key) const {
        return find_if(key, [](const T*) { return true; });
    }

    // Stores `value` under `key` in place of the record there that `match` accepts, as
    // a HashTable's set replaces the value of an equal key; else adds it. Grows
    // (allocating) when the index would be more than half full.
    template <class Match>
    void set_if(Key key, T* value, Match match) {
        if (!value) return;
        key = key_index_detail::stored(key);
        if (slots_)
            for (size_t i = key_index_detail::mix_key(key) & mask_; slots_[i].value; i = (i + 1) & mask_)
                if (slots_[i].key == key && match(slots_[i].value)) {
                    slots_[i].value = value;
                    return;
                }
        if (2 * (count_ + 1) > capacity_) grow();
        put(key, value);
        ++count_;
    }
    // The same for keys that are unique.
    void set(Key key, T* value) {
        set_if(key, value, [](const T*) { return true; });
    }

    [[nodiscard]] size_t size() const { return count_; }

private:
    struct Slot {
        Key key;
        T* value;  // null: empty
    };

    void put(Key key, T* value) {
        size_t i = key_index_detail::mix_key(key) & mask_;
        while (slots_[i].value) i = (i + 1) & mask_;
        slots_[i] = Slot{key, value};
    }

    // Allocates through the out-of-memory rule: the index grows on the capture thread.
    void grow() {
        Slot* old = slots_;
        const size_t old_capacity = capacity_;
        capacity_ = old ? 2 * old_capacity : 16;
        slots_ = static_cast<Slot*>(calloc_or_die(capacity_, sizeof(Slot)));  // all empty
        mask_ = capacity_ - 1;
        for (size_t i = 0; i < old_capacity; ++i)
            if (old[i].value) put(old[i].key, old[i].value);
        std::free(old);
    }

    Slot* slots_ = nullptr;
    size_t capacity_ = 0;
    size_t mask_ = 0;
    size_t count_ = 0;
};
