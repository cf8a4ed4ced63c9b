// Texts cut to a field's size without cutting a UTF-8 sequence in two; one UTF-8
// sequence decoded or one character encoded.
#pragma once

#include <cstddef>
#include <string>

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

// Decodes the well-formed UTF-8 sequence at the start of text[0..size). Returns its
// length (1..4) with the character in *cp, or 0 when the bytes there are not one (a
// stray continuation byte, an overlong form, a surrogate, a value above U+10FFFF or a
// sequence cut by the end).
[[nodiscard]] size_t utf8_decode(const unsigned char* text, size_t size, char32_t* cp);

// Appends the UTF-8 form of `cp`; a surrogate or a value above U+10FFFF appends U+FFFD.
void utf8_append(std::string* out, char32_t cp);
