// Helpers shared by the alarm tests: a fixture with the shipped protocol tree and a
// fresh name service, one canonical line per loaded alarm, the written line of each
// alarm, and the reader of the case tables in tests/alarm/data.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "alarm/adl.h"
#include "alarm/alarm.h"
#include "model/names/hostc.h"
#include "model/names/names.h"
#include "base/netaddr.h"
#include "protocol/protocol_support.h"
#include "protocol/symbol.h"

namespace alarmtest {

using prototest::MessageCapture;

// Non-printing bytes, backslashes and (with `quotes`) double quotes as C escapes, so
// that every alarm is one line.
inline std::string escape(const std::string& text, bool quotes = true) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c == '\\') out += "\\\\";
        else if (c == '"' && quotes) out += "\\\"";
        else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else out.push_back(static_cast<char>(c));
    }
    return out;
}

// The escapes of the case tables: \n \r \t \0 \\ \xNN, and \c at the end of a line for
// "no line feed here".
inline std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const char c = text[++i];
        if (c == 'n') out.push_back('\n');
        else if (c == 'r') out.push_back('\r');
        else if (c == 't') out.push_back('\t');
        else if (c == '0') out.push_back('\0');
        else if (c == 'x' && i + 2 < text.size()) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else out.push_back(c);
    }
    return out;
}

inline std::string end_text(const AlarmAddress& w) {
    char buf[32];
    switch (w.form) {
    case kWrittenEther:
        std::snprintf(buf, sizeof buf, "ether:%02X:%02X:%02X:%02X:%02X:%02X", w.bytes[0], w.bytes[1], w.bytes[2],
                      w.bytes[3], w.bytes[4], w.bytes[5]);
        return buf;
    case kWrittenIp:
        std::snprintf(buf, sizeof buf, "ip:%u.%u.%u.%u", w.bytes[0], w.bytes[1], w.bytes[2], w.bytes[3]);
        return buf;
    case kWrittenName: return "name:\"" + escape(w.name) + "\"";
    default: return "none";
    }
}

inline std::string entry_text(const NameEntry* e) {
    if (!e) return "-";
    char buf[64];
    netaddr_format(&e->address, buf, sizeof buf);
    return std::string(e->address_known ? buf : "unknown-station") + "/" + (e->name ? e->name : "");
}

// One line per alarm, every field the file can set:
//   TYPE CONDITION LEVEL THRESHOLD UNIT STATE [1=END] [2=END] [ref1=..] [ref2=..] [protocol=..] "notify"
inline std::string describe(const Alarm& a) {
    static const char* types[] = {"type0", "host", "link", "protocol", "network"};
    std::string out = a.object_type >= 0 && a.object_type <= 4 ? types[a.object_type] : "type?";
    out += a.condition == kAlarmOccurrence ? " occurrence" : " threshold";
    out += a.level == kLevelHigh ? " high " : " low ";
    out += std::to_string(a.threshold);
    out += a.unit == kUnitPkts ? " pkts" : a.unit == kUnitKbytes ? " kbytes" : " bandwidth";
    out += a.disabled ? " OFF" : " ON";
    if (a.object_type == kAlarmHost || a.object_type == kAlarmLink || a.object_type == kAlarmNetwork)
        if (a.first_written.form != kWrittenNone || a.object_type != kAlarmNetwork || a.condition == kAlarmOccurrence)
            out += " 1=" + end_text(a.first_written);
    if (a.object_type == kAlarmLink) out += " 2=" + end_text(a.second_written);
    if (const NameEntry* e = a.first.load()) out += " ref1=" + entry_text(e);
    if (const NameEntry* e = a.second.load()) out += " ref2=" + entry_text(e);
    if (a.object_type == kAlarmProtocol) out += std::string(" protocol=") + (a.protocol ? a.protocol->name : "-");
    out += " \"" + escape(a.notify) + "\"";
    return out;
}

inline std::string describe(const UrlAlarm& u) {
    return "url \"" + escape(u.url) + "\" \"" + escape(u.notify) + "\"" + (u.disabled ? " OFF" : " ON") +
           " before=" + std::to_string(u.before);
}

// The line the writer makes for one alarm, escaped, without its final line feed.
inline std::string written_line(const std::shared_ptr<Alarm>& a) {
    AlarmList one;
    one.alarms.push_back(a);
    std::string text = alarm_dump_text(one);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return escape(text, false);
}

// Every alarm and URL alarm of a list: the canonical line, and with `written` its
// written line ("w ...") after it.
inline std::vector<std::string> describe_list(const AlarmList& list, bool written) {
    std::vector<std::string> out;
    for (const auto& a : list.alarms) {
        out.push_back(describe(*a));
        if (written) out.push_back("w " + written_line(a));
    }
    for (const UrlAlarm& u : list.url_alarms) out.push_back(describe(u));
    return out;
}

// Loads `text` as an alarm file into `list` and gives everything observable: the
// alarms, the messages ("! TITLE | TEXT"), the standard output lines ("> LINE") and
// the status ("status N [line L]").
inline std::vector<std::string> load_report(const std::string& text, AlarmList* list, bool written = true) {
    const std::string path = prototest::write_text(text, "case.adl");
    MessageCapture cap;
    ::testing::internal::CaptureStdout();
    const int status = adl_parse_into(path.c_str(), list);
    const std::string out = ::testing::internal::GetCapturedStdout();
    std::vector<std::string> lines = describe_list(*list, written);
    for (const auto& m : cap.messages) lines.push_back("! " + m.title + " | " + m.text);
    std::istringstream so(out);
    for (std::string l; std::getline(so, l);) lines.push_back("> " + l);
    lines.push_back("status " + std::to_string(status) +
                    (list->error_line ? " line " + std::to_string(list->error_line) : std::string()));
    return lines;
}

// A case of a table file:
//   === NAME
//   input lines (escapes as in unescape; joined by line feeds, one after the last)
//   ---
//   expected lines
// Lines starting with "#" before the first "===" are comments.
struct Case {
    std::string name;
    std::string input;
    std::vector<std::string> expected;
    int line = 0;                // of the "===" line, for failure messages
    std::vector<std::string> raw;  // the input lines as the file has them
};

// What comes before the first case of a table file.
inline std::string table_header(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string out;
    for (std::string l; std::getline(in, l) && l.rfind("=== ", 0) != 0;) out += l + "\n";
    return out;
}

// Rewrites a table file with the given expected lines of each case (the refresh of
// an expected table, for review: HOPSCOPE_REFRESH=1).
inline void write_cases(const std::string& path, const std::vector<Case>& cases,
                        const std::vector<std::vector<std::string>>& expected) {
    std::string out = table_header(path);
    for (size_t i = 0; i < cases.size(); ++i) {
        out += "=== " + cases[i].name + "\n";
        for (const auto& l : cases[i].raw) out += l + "\n";
        out += "---\n";
        for (const auto& l : expected[i]) out += l + "\n";
        out += "\n";
    }
    std::ofstream(path, std::ios::binary) << out;
}

inline bool refreshing() {
    const char* r = std::getenv("HOPSCOPE_REFRESH");
    return r && *r == '1';
}

inline std::vector<Case> read_cases(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot read " << path;
    std::vector<Case> cases;
    bool in_input = false;
    int n = 0;
    for (std::string l; std::getline(in, l);) {
        ++n;
        if (l.rfind("=== ", 0) == 0) {
            cases.push_back(Case{l.substr(4), "", {}, n, {}});
            in_input = true;
        } else if (cases.empty()) {
            continue;
        } else if (in_input && l == "---") {
            in_input = false;
        } else if (in_input) {
            const bool joined = l.size() >= 2 && l.compare(l.size() - 2, 2, "\\c") == 0;
            cases.back().input += unescape(joined ? l.substr(0, l.size() - 2) : l) + (joined ? "" : "\n");
            cases.back().raw.push_back(l);
        } else if (!l.empty()) {
            cases.back().expected.push_back(l);
        }
    }
    return cases;
}

inline std::string data_path(const std::string& name) { return std::string(HOPSCOPE_TEST_DIR) + "/alarm/data/" + name; }

inline std::string join(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

// A system resolver that never touches the network: `name` resolves to 192.0.2.N,
// whose station the neighbour table gives as 02:00:00:00:00:N; `before`, when given, runs
// on the resolver thread before each answer (a test may hold the answer back there).
inline SystemResolver one_name_resolver(const std::string& name, uint8_t n, std::function<void()> before = {}) {
    SystemResolver r;
    r.by_name = [name, n, before](const char* asked, HostRecord* out) {
        if (name != asked) return false;
        if (before) before();
        out->official_name = name;
        out->address_type = 2;
        out->address_length = 4;
        out->addresses = {{192, 0, 2, n}};
        return true;
    };
    r.by_address = [](const uint8_t*, int, int, HostRecord*) { return false; };
    r.station_of = [](const uint8_t* bytes, int length, int, uint8_t out[6]) {
        if (length != 4) return false;
        const uint8_t station[6] = {0x02, 0, 0, 0, 0, bytes[3]};
        std::memcpy(out, station, 6);
        return true;
    };
    return r;
}

// Every test starts with the shipped protocol tree, a fresh name service with no
// names, and an empty engine list.
class AlarmTest : public ::testing::Test {
protected:
    void SetUp() override {
        netaddr_startup();
        hostc_init();
        MessageCapture quiet;
        ASSERT_NE(pdl_parse(HOPSCOPE_DATA_DIR "/protocol.pdl"), nullptr);
        alarm_list_clear();
    }
    void TearDown() override { alarm_list_clear(); }
};

}  // namespace alarmtest
