// Texts cut to a field's size without cutting a UTF-8 sequence in two.
#pragma once

#include <cstddef>

// The length of the longest prefix of the first `length` bytes of `text` that is at
// most `max` bytes long and, when it is shorter than `length`, does not end inside a
// UTF-8 sequence (the byte after it is no continuation byte). Bytes are not otherwise
// checked: a text that is not UTF-8 is cut at `max` or before a run of bytes that look
// like continuations.
[[nodiscard]] inline size_t utf8_prefix(const char* text, size_t length, size_t max) {
    size_t n = length < max ? length : max;
    if (n < length)
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return n;
}
