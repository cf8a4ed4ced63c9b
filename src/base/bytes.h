// Bounded reads of bytes that come from outside: files and frames. Every read checks
// what is left first, so a short or hostile input ends a read with a defined result
// (false, nothing consumed, the output left alone) instead of running past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A cursor over bytes held in memory, read front to back.
struct ByteCursor {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;

    ByteCursor() = default;
    ByteCursor(const void* bytes, size_t length) : data(static_cast<const uint8_t*>(bytes)), size(length) {}

    [[nodiscard]] bool at_end() const { return pos >= size; }
    [[nodiscard]] size_t left() const { return pos < size ? size - pos : 0; }

    // A 16-bit little-endian signed integer.
    [[nodiscard]] bool read_le16(int16_t* out) {
        if (left() < 2) return false;
        *out = int16_t(uint16_t(data[pos]) | uint16_t(data[pos + 1]) << 8);
        pos += 2;
        return true;
    }
    // A 32-bit little-endian signed integer.
    [[nodiscard]] bool read_le32(int32_t* out) {
        if (left() < 4) return false;
        const uint8_t* b = data + pos;
        *out = static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
        pos += 4;
        return true;
    }
    // `n` bytes into `out`.
    [[nodiscard]] bool read_bytes(uint8_t* out, size_t n) {
        if (left() < n) return false;
        for (size_t i = 0; i < n; ++i) out[i] = data[pos + i];
        pos += n;
        return true;
    }
    // The bytes up to the next line feed, which is consumed and not stored; at the end
    // of the data, the bytes that are left. False when no byte is left.
    [[nodiscard]] bool read_line(std::string* out) {
        if (at_end()) return false;
        size_t end = pos;
        while (end < size && data[end] != '\n') ++end;
        out->assign(reinterpret_cast<const char*>(data + pos), end - pos);
        pos = end < size ? end + 1 : end;
        return true;
    }
};

// An unsigned big-endian field of `width` bytes (0, 1, 2 or 4; 0 reads nothing and
// gives 0) at byte position `pos` of `size` bytes. False, with *value untouched, when
// the field lies wholly or partly outside them or the width is another one. For the
// per-frame path: inline and allocation-free.
[[nodiscard]] inline bool bytes_read_be(const uint8_t* data, size_t size, int64_t pos, int width, uint32_t* value) {
    if (width == 0) {
        *value = 0;
        return true;
    }
    if (pos < 0 || pos + width > static_cast<int64_t>(size)) return false;
    const uint8_t* p = data + pos;
    switch (width) {
        case 1: *value = p[0]; return true;
        case 2: *value = (uint32_t(p[0]) << 8) | p[1]; return true;
        case 4: *value = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; return true;
        default: return false;
    }
}

// Appends a 32-bit little-endian integer.
inline void bytes_put_le32(std::string* out, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    out->push_back(char(v & 0xff));
    out->push_back(char(v >> 8 & 0xff));
    out->push_back(char(v >> 16 & 0xff));
    out->push_back(char(v >> 24 & 0xff));
}
