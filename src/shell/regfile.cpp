#include "shell/regfile.h"

#include <algorithm>
#include <cstdio>

#include "base/scan.h"

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool starts_with_nocase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && same_name(s.substr(0, prefix.size()), prefix);
}

// Reads a double-quoted string at the start of `s` (which starts with the quote):
// backslash-backslash and backslash-quote are escapes, any other backslash is kept.
// Returns false when the closing quote is missing; otherwise `rest` is what follows it.
bool read_quoted(std::string_view s, std::string* out, std::string_view* rest) {
    out->clear();
    size_t i = 1;
    while (i < s.size()) {
        char c = s[i];
        if (c == '"') {
            *rest = s.substr(i + 1);
            return true;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out->push_back(s[i + 1]);
            i += 2;
            continue;
        }
        out->push_back(c);
        ++i;
    }
    return false;
}

// Parses "XX,XX,..." into bytes; empty text gives no bytes.
bool read_hex_bytes(std::string_view s, std::string* out) {
    out->clear();
    s = trim(s);
    if (s.empty()) return true;
    size_t i = 0;
    for (;;) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        int value = 0, digits = 0;
        while (i < s.size() && scan_hex_value(s[i]) >= 0) {
            value = value * 16 + scan_hex_value(s[i]);
            if (++digits > 2) return false;
            ++i;
        }
        if (digits == 0) return false;
        out->push_back(static_cast<char>(value));
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        if (i == s.size()) return true;
        if (s[i] != ',') return false;
        ++i;
    }
}

// Parses the data part of a value line (after '='). Returns false when it is malformed.
// `deleted` is set for "-".
bool read_data(std::string_view s, RegValue* v, bool* deleted) {
    *deleted = false;
    s = trim(s);
    if (s == "-") {
        *deleted = true;
        return true;
    }
    if (!s.empty() && s.front() == '"') {
        std::string_view rest;
        if (!read_quoted(s, &v->data, &rest) || !trim(rest).empty()) return false;
        v->type = kRegText;
        return true;
    }
    if (starts_with_nocase(s, "dword:")) {
        std::string_view digits = trim(s.substr(6));
        if (digits.empty() || digits.size() > 8) return false;
        uint32_t value = 0;
        for (char c : digits) {
            int d = scan_hex_value(c);
            if (d < 0) return false;
            value = value * 16 + static_cast<uint32_t>(d);
        }
        v->type = kRegDword;
        v->data.assign(4, '\0');
        for (int i = 0; i < 4; ++i) v->data[i] = static_cast<char>((value >> (8 * i)) & 0xff);
        return true;
    }
    if (starts_with_nocase(s, "hex:")) {
        v->type = kRegBinary;
        return read_hex_bytes(s.substr(4), &v->data);
    }
    if (starts_with_nocase(s, "hex(")) {
        size_t close = s.find(')');
        if (close == std::string_view::npos || close == 4 || close > 12 || close + 1 >= s.size() || s[close + 1] != ':')
            return false;
        uint32_t type = 0;
        for (size_t i = 4; i < close; ++i) {
            int d = scan_hex_value(s[i]);
            if (d < 0) return false;
            type = type * 16 + static_cast<uint32_t>(d);
        }
        v->type = type;
        return read_hex_bytes(s.substr(close + 2), &v->data);
    }
    return false;
}

void append_escaped(std::string* out, std::string_view s) {
    for (char c : s) {
        if (c == '\\' || c == '"') out->push_back('\\');
        out->push_back(c);
    }
}

void append_hex(std::string* out, std::string_view data) {
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        if (i) out->push_back(',');
        auto b = static_cast<unsigned char>(data[i]);
        out->push_back(digits[b >> 4]);
        out->push_back(digits[b & 15]);
    }
}

// A text value can be written between quotes unless it holds a line break or a NUL.
bool quotable(std::string_view s) {
    return std::none_of(s.begin(), s.end(), [](char c) { return c == '\n' || c == '\r' || c == '\0'; });
}

// True for a value line whose data is written as hexadecimal bytes, which may go on
// over several lines.
bool is_hex_value(std::string_view line) {
    std::string name;
    std::string_view rest;
    if (line.empty() || line.front() != '"' || !read_quoted(line, &name, &rest)) return false;
    rest = trim(rest);
    if (rest.empty() || rest.front() != '=') return false;
    return starts_with_nocase(trim(rest.substr(1)), "hex");
}

}  // namespace

const RegValue* RegKey::find(std::string_view name) const {
    for (const RegValue& v : values)
        if (same_name(v.name, name)) return &v;
    return nullptr;
}

void RegKey::set(std::string_view name, uint32_t type, std::string data) {
    for (RegValue& v : values) {
        if (same_name(v.name, name)) {
            v.type = type;
            v.data = std::move(data);
            return;
        }
    }
    values.push_back(RegValue{std::string(name), type, std::move(data)});
}

void RegKey::remove(std::string_view name) {
    values.erase(std::remove_if(values.begin(), values.end(), [&](const RegValue& v) { return same_name(v.name, name); }),
                 values.end());
}

int regfile_parse(std::string_view text, std::string_view key_name, RegKey* key) {
    key->values.clear();
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

    bool header_seen = false;
    bool in_key = false;
    std::string logical;  // a value line with its continuation lines joined
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = trim(text.substr(pos, end - pos));
        pos = end + 1;

        if (!logical.empty()) {
            // Continuation of a hex value: "XX,XX,\" lines.
            logical.append(line);
        } else {
            if (line.empty() || line.front() == ';') continue;
            if (!header_seen) {
                if (line != "REGEDIT4") return -1;
                header_seen = true;
                continue;
            }
            if (line.front() == '[') {
                std::string_view inner = line.substr(1);
                if (!inner.empty() && inner.back() == ']') inner.remove_suffix(1);
                else inner = {};
                in_key = !inner.empty() && same_name(trim(inner), key_name);
                continue;
            }
            logical.assign(line);
        }
        if (!logical.empty() && logical.back() == '\\' && is_hex_value(logical) && pos <= text.size()) {
            logical.pop_back();
            continue;  // more on the next line
        }
        std::string_view entry = logical;
        RegValue v;
        std::string_view rest;
        bool ok = false, deleted = false;
        if (!entry.empty() && entry.front() == '"' && read_quoted(entry, &v.name, &rest)) {
            rest = trim(rest);
            if (!rest.empty() && rest.front() == '=') ok = read_data(rest.substr(1), &v, &deleted);
        }
        if (ok && in_key) {
            if (deleted) key->remove(v.name);
            else key->set(v.name, v.type, std::move(v.data));
        }
        logical.clear();
    }
    return header_seen ? 1 : -1;
}

std::string regfile_format(const RegKey& key, std::string_view key_name) {
    std::string out = "REGEDIT4\n\n[";
    out.append(key_name);
    out.append("]\n");
    for (const RegValue& v : key.values) {
        out.push_back('"');
        append_escaped(&out, v.name);
        out.append("\"=");
        if (v.type == kRegText && quotable(v.data)) {
            out.push_back('"');
            append_escaped(&out, v.data);
            out.push_back('"');
        } else if (v.type == kRegDword && v.data.size() == 4) {
            uint32_t value = 0;
            for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(v.data[i]);
            char buf[16];
            std::snprintf(buf, sizeof buf, "dword:%08x", value);
            out.append(buf);
        } else if (v.type == kRegBinary) {
            out.append("hex:");
            append_hex(&out, v.data);
        } else {
            char buf[24];
            std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
            out.append(buf);
            append_hex(&out, v.data);
        }
        out.push_back('\n');
    }
    return out;
}

std::string regfile_dword(int32_t value) {
    auto u = static_cast<uint32_t>(value);
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((u >> (8 * i)) & 0xff);
    return data;
}
