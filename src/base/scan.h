// Character classes of the program's scanners: the protocol definition language, the
// alarm definition language, the name files and the settings key. Bytes are taken as
// unsigned; nothing depends on the locale.
#pragma once

// '0'..'9'.
[[nodiscard]] constexpr bool scan_is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// A hexadecimal digit of either case.
[[nodiscard]] constexpr bool scan_is_hex(unsigned char c) {
    return scan_is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The value of a hexadecimal digit, or -1 for any other byte.
[[nodiscard]] constexpr int scan_hex_value(unsigned char c) {
    if (scan_is_digit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A letter or '_': what a name starts with.
[[nodiscard]] constexpr bool scan_is_name_start(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// A letter, a digit or '_': what the rest of a name is made of.
[[nodiscard]] constexpr bool scan_is_name_char(unsigned char c) { return scan_is_name_start(c) || scan_is_digit(c); }

// Punctuation that may start a word of the alarm language, as a letter does:
// ! # $ % & ( ) * + ; < = > ? @ ^ { } | ~
[[nodiscard]] constexpr bool scan_is_word_punctuation(unsigned char c) {
    for (const char* p = "!#$%&()*+;<=>?@^{}|~"; *p; ++p)
        if (c == static_cast<unsigned char>(*p)) return true;
    return false;
}

// A blank as the standard conversions skip it: space, \t, \n, \v, \f, \r.
[[nodiscard]] constexpr bool scan_is_blank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The bytes [p, end) read as a base-16 number the way the standard conversion reads
// one (leading blanks, a '+', a "0x" or "0X" before a digit, then the digits), and the
// low 8 bits of its value kept. A token without digits reads as 0.
[[nodiscard]] constexpr unsigned scan_hex_byte(const char* p, const char* end) {
    while (p < end && scan_is_blank(static_cast<unsigned char>(*p))) ++p;
    if (p < end && *p == '+') ++p;
    if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && scan_is_hex(static_cast<unsigned char>(p[2])))
        p += 2;
    unsigned v = 0;
    for (; p < end && scan_is_hex(static_cast<unsigned char>(*p)); ++p)
        v = (v << 4) | unsigned(scan_hex_value(static_cast<unsigned char>(*p)));
    return v & 0xFF;
}
