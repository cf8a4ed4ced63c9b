#include "shell/settings.h"

#include <locale.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "alarm/output.h"
#include "base/file.h"
#include "display/map_settings.h"
#include "lists/lists.h"
#include "model/net.h"
#include "shell/regfile.h"

namespace {

// A key file larger than this is not a settings key.
constexpr size_t kMaxKeyFile = 4 * 1024 * 1024;

enum class Form {
    Text,     // registry string into a 260-byte buffer
    Number,   // registry string holding a decimal number, held as a double
    Timeout,  // registry string holding a decimal number, held as an int (truncated)
    Integer,  // 32-bit value, any stored value of at most 4 bytes
};

// The range a value read from the key is held within (shell/README.md lists them): a
// value beyond it takes the nearest end, so that a hand-edited key cannot make the map
// blank or the windows vanish. A flag is 0 or 1 (any other stored value is 1); the
// snap length keeps 0, which asks for whole frames.
struct Range {
    double lo = -HUGE_VAL, hi = HUGE_VAL;
    bool flag = false;
    bool zero_kept = false;
};

constexpr Range kAny{};
constexpr Range kFlag{0, 1, true, false};
constexpr Range kScale{0, 100};
constexpr Range kTimeout{0, 365 * 24 * 3600};  // seconds: up to a year
constexpr Range kColumn{0, 4096};              // column widths, pixels
constexpr Range kWindow{50, 8192};             // window widths and heights, pixels
constexpr Range kSnaplen{12, 262144, false, true};
// Fewer than two hosts cannot hold a link; more than 16 M would outgrow any memory.
constexpr Range kMaxHosts{kMinMaxHosts, kMaxMaxHosts};

struct Entry {
    const char* name;
    Form form;
    const char* text_default;  // Text
    double number_default;     // Number, Timeout
    int int_default;           // Integer
    char* text = nullptr;
    std::atomic<double>* number = nullptr;
    std::atomic<int>* integer = nullptr;
    Range range = kAny;
};

Entry text(const char* name, const char* def, char* buf) { return Entry{name, Form::Text, def, 0, 0, buf, nullptr, nullptr}; }
Entry number(const char* name, double def, std::atomic<double>* v, Range r) {
    return Entry{name, Form::Number, nullptr, def, 0, nullptr, v, nullptr, r};
}
Entry timeout(const char* name, double def, std::atomic<int>* v) {
    return Entry{name, Form::Timeout, nullptr, def, 0, nullptr, nullptr, v, kTimeout};
}
Entry integer(const char* name, int def, std::atomic<int>* v, Range r) {
    return Entry{name, Form::Integer, nullptr, 0, def, nullptr, nullptr, v, r};
}

double clamp_to(double v, const Range& r) {
    if (r.flag) return v != 0 ? 1 : 0;
    if (r.zero_kept && v == 0) return 0;
    return v < r.lo ? r.lo : v > r.hi ? r.hi : v;
}

// Every value the load reads, in the order it reads them, with its form, its default
// and the field it is bound to.
std::vector<Entry> load_table() {
    Settings& s = settings();
    ModelSettings& model = model_settings();
    MapSettings& map = map_settings();
    AlarmOutputSettings& output = alarm_output_settings();
    std::vector<Entry> t = {
        text("ethers", ".\\ethers", s.ethers),
        text("manufacturers", ".\\manf", s.manufacturers),
        text("cfdump", ".\\cfdump.bin", s.cfdump),
        text("alarms", ".\\alarm.adl", s.alarms),
        text("protocols", ".\\protocol.pdl", s.protocols),
        text("dbpath", ".\\", s.dbpath),
        text("focus", "Ethernet", s.focus),
        number("font size", 0.5, &model.font_scale, Range{0, 10}),
        number("link scale", 0.6, &map.link_scale, kScale),
        number("node scale", 0.2, &map.node_scale, kScale),
        number("max node radius", 0.5, &map.max_node_radius, Range{0, 10}),
        timeout("node timeout", 10, &model.node_timeout),
        timeout("link timeout", 5, &model.link_timeout),
        number("net size", 55, &s.net_size, kAny),
        integer("max link width", 100, &map.max_link_width, Range{0, 1000}),
        integer("dynamic", 1, &map.dynamic, kFlag),
        integer("bytes", 1, &map.bytes, kFlag),
        integer("show name", 1, &map.show_name, kFlag),
        integer("show manufacturers", 0, &map.show_manufacturers, kFlag),
        integer("output 0", 150, &output.output[0], kColumn),
        integer("output 1", 150, &output.output[1], kColumn),
        integer("snaplen", 54, &s.snaplen, kSnaplen),
    };
    // The list windows' column widths and sizes (lists/lists.h), kind by kind.
    static const char* const list_keys[][kListMaxColumns + 2] = {
        {"wnode 0", "wnode 1", "wnode 2", "wnode 3", "wnode 4", nullptr, "wnode x", "wnode y"},
        {"wnet 0", "wnet 1", "wnet 2", "wnet 3", "wnet 4", "wnet 5", "wnet x", "wnet y"},
        {"host 0", "host 1", nullptr, nullptr, nullptr, nullptr, "host x", "host y"},
        {"link 0", "link 1", "link 2", nullptr, nullptr, nullptr, "link x", "link y"},
        {"alarm 0", "alarm 1", nullptr, nullptr, nullptr, nullptr, "alarm x", "alarm y"},
    };
    static const ListKind list_order[] = {ListKind::host_watch, ListKind::host_list, ListKind::top_hosts,
                                          ListKind::top_links, ListKind::top_alarms};
    for (int k = 0; k < kListKinds; ++k) {
        const ListKindInfo& info = list_kind_info(list_order[k]);
        ListWindowSettings& w = list_window_settings(list_order[k]);
        for (int c = 0; c < info.columns; ++c) t.push_back(integer(list_keys[k][c], info.default_width[c], &w.width[c], kColumn));
        t.push_back(integer(list_keys[k][kListMaxColumns], info.default_x, &w.x, kWindow));
        t.push_back(integer(list_keys[k][kListMaxColumns + 1], info.default_y, &w.y, kWindow));
    }
    // An adapter index that is out of range is reset to 0 by the start-up itself.
    t.push_back(integer("interface", 0, &s.interface, kAny));
    t.push_back(integer("max hosts", kDefaultMaxHosts, &model.max_hosts, kMaxHosts));
    t.push_back(text("filter", "", s.filter));
    return t;
}

// The save writes the load's values in the load's order, less "dbpath" and "net size",
// with "show broadcast" (always 0) between "bytes" and "show name".
constexpr const char kShowBroadcast[] = "show broadcast";

// Numbers are read and written in the C locale whatever the user's locale is, so that a
// key written under one locale reads back the same under another.
locale_t c_locale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

// The standard text-to-double conversion: leading blanks skipped, the longest number
// prefix taken, 0 when there is none.
double text_to_double(const char* text) { return strtod_l(text, nullptr, c_locale()); }

// The text "%f" gives: fixed notation with six decimals.
std::string format_number(double v) {
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    if (r.ec != std::errc()) return "0.000000";
    return std::string(buf, r.ptr);
}

// Whole seconds of a timeout: truncated toward zero, held within the int range.
int truncate_to_int(double v) {
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(v);
}

// Reads a text-form value into a 260-byte buffer. Fails when the value is missing or
// does not fit with its terminating NUL. The stored type is not examined.
bool query_text(const RegKey& key, const char* name, char* buf) {
    const RegValue* v = key.find(name);
    if (!v || v->data.size() >= static_cast<size_t>(kSettingText)) return false;
    std::memset(buf, 0, kSettingText);
    std::memcpy(buf, v->data.data(), v->data.size());
    return true;
}

// Reads an integer: any stored value of at most 4 bytes, least significant byte first;
// bytes the value does not have stay 0.
bool query_int(const RegKey& key, const char* name, int* out) {
    const RegValue* v = key.find(name);
    if (!v || v->data.size() > 4) return false;
    uint32_t u = 0;
    for (size_t i = 0; i < v->data.size(); ++i) u |= static_cast<uint32_t>(static_cast<unsigned char>(v->data[i])) << (8 * i);
    *out = static_cast<int>(u);
    return true;
}

// The key file's text, when the file is a regular file of at most kMaxKeyFile bytes
// that opens for reading and writing.
bool read_key_file(const char* path, std::string* text) {
    FileReadLimits limits;
    limits.regular_only = true;
    limits.for_writing = true;
    limits.max_size = kMaxKeyFile;
    return path && file_read_all(path, text, limits) == FileRead::ok;
}

// Replaces the contents of an existing key file (base/file.h: the new text goes beside
// it and takes its place, keeping its owner and mode, else the file is rewritten in
// place). Never creates the key file.
bool write_key_file(const char* path, const std::string& text) {
    return path && file_replace(path, text, ReplaceMode::existing);
}

}  // namespace

Settings& settings() {
    static Settings s;
    return s;
}

std::string default_key_path() {
    if (const char* env = std::getenv(kSettingsEnv); env && *env) return env;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return std::string(xdg) + "/hopscope/hopscope.reg";
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        if (const passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir;
    }
    if (!home || !*home) return {};
    return std::string(home) + "/.config/hopscope/hopscope.reg";
}

void default_clear() {
    for (Entry& e : load_table()) {
        switch (e.form) {
            case Form::Text: std::memset(e.text, 0, kSettingText); break;
            case Form::Number: e.number->store(0); break;
            case Form::Timeout:
            case Form::Integer: e.integer->store(0); break;
        }
    }
    // The host limit is never zero, or a network could hold no host at all.
    model_settings().max_hosts.store(kDefaultMaxHosts);
}

int default_load(const char* key_path) {
    default_clear();
    std::string file;
    RegKey key;
    if (!read_key_file(key_path, &file) || regfile_parse(file, kSettingsKeyName, &key) != 1) {
        std::fprintf(stderr, "default_load: Warning - settings key %s not found\n", key_path ? key_path : "");
        return 0;
    }
    bool created = false;
    char buf[kSettingText];
    for (Entry& e : load_table()) {
        switch (e.form) {
            case Form::Text:
                if (!query_text(key, e.name, e.text)) {
                    key.set(e.name, kRegText, e.text_default);
                    std::memset(e.text, 0, kSettingText);
                    std::strncpy(e.text, e.text_default, kSettingText - 1);
                    created = true;
                }
                break;
            case Form::Number:
            case Form::Timeout: {
                double v = e.number_default;
                if (query_text(key, e.name, buf)) {
                    v = text_to_double(buf);
                    // Infinity or not-a-number is no usable scale or timeout.
                    if (!std::isfinite(v)) v = e.number_default;
                } else {
                    key.set(e.name, kRegText, format_number(e.number_default));
                    created = true;
                }
                if (e.form == Form::Number) e.number->store(clamp_to(v, e.range));
                else e.integer->store(static_cast<int>(clamp_to(truncate_to_int(v), e.range)));
                break;
            }
            case Form::Integer: {
                int v = 0;
                if (!query_int(key, e.name, &v)) {
                    v = e.int_default;
                    key.set(e.name, kRegDword, regfile_dword(v));
                    created = true;
                }
                e.integer->store(static_cast<int>(clamp_to(v, e.range)));
                break;
            }
        }
    }
    // A failed write of the created defaults is ignored, as every write of the key.
    if (created && !write_key_file(key_path, regfile_format(key, kSettingsKeyName)))
        std::fprintf(stderr, "default_load: Warning - cannot write %s\n", key_path);
    return 1;
}

int default_save(const char* key_path) {
    std::string file;
    RegKey key;
    // The key is opened as at the load; a file that has stopped being a key file in the
    // meantime is left alone.
    if (!read_key_file(key_path, &file) || regfile_parse(file, kSettingsKeyName, &key) != 1) return 0;
    for (Entry& e : load_table()) {
        if (std::strcmp(e.name, "dbpath") == 0 || std::strcmp(e.name, "net size") == 0) continue;
        switch (e.form) {
            case Form::Text: key.set(e.name, kRegText, std::string(e.text, strnlen(e.text, kSettingText))); break;
            case Form::Number: key.set(e.name, kRegText, format_number(e.number->load())); break;
            case Form::Timeout: key.set(e.name, kRegText, format_number(e.integer->load())); break;
            case Form::Integer: key.set(e.name, kRegDword, regfile_dword(e.integer->load())); break;
        }
        if (std::strcmp(e.name, "bytes") == 0) key.set(kShowBroadcast, kRegDword, regfile_dword(0));
    }
    if (!write_key_file(key_path, regfile_format(key, kSettingsKeyName))) {
        std::fprintf(stderr, "default_save: Warning - cannot write %s\n", key_path);
        return 0;
    }
    return 1;
}
