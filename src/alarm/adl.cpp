#include "alarm/adl.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "base/file.h"
#include "base/memory.h"
#include "base/message.h"
#include "base/netaddr.h"
#include "base/path.h"
#include "base/scan.h"
#include "model/names/hostc.h"
#include "model/names/names.h"
#include "protocol/protocol.h"
#include "protocol/symbol.h"

namespace {

constexpr const char* kParseTitle = "ADL Parse";
constexpr const char* kFileTitle = "Corvex";
constexpr const char* kHostUnknown = "<host unknown>";
constexpr const char* kProtocolUnknown = "<protocol unknown>";

enum class Tok { End, Word, String, Number, HexByte, Ether, Colon, Slash, Dot, Bad };

enum class Kw { None, Off, On, Occurrence, Threshold, Url, Bandwidth, High, Host, Kbytes, Link, Low, Network, Pkts, Protocol };

struct Token {
    Tok kind = Tok::End;
    Kw keyword = Kw::None;             // a word that is a keyword
    ProtocolNode* protocol = nullptr;  // a word that the protocol name table holds
    std::string text;                  // a word, the contents of a string
    uint32_t number = 0;
    uint8_t ether[6] = {};
};

Kw keyword_of(const std::string& word) {
    static const struct {
        const char* text;
        Kw kw;
    } table[] = {{"OFF", Kw::Off},         {"ON", Kw::On},       {"Occurrence", Kw::Occurrence},
                 {"Threshold", Kw::Threshold}, {"URL", Kw::Url}, {"bandwidth", Kw::Bandwidth},
                 {"high", Kw::High},       {"host", Kw::Host},   {"kbytes", Kw::Kbytes},
                 {"link", Kw::Link},       {"low", Kw::Low},     {"network", Kw::Network},
                 {"pkts", Kw::Pkts},       {"protocol", Kw::Protocol}};
    for (const auto& k : table)
        if (word == k.text) return k.kw;
    return Kw::None;
}

// The carriage return at `p` is one of a run that ends in a line feed before `end`.
bool cr_before_lf(const char* p, const char* end) {
    while (p < end && *p == '\r') ++p;
    return p < end && *p == '\n';
}

// Splits the file into tokens, longest match first; counts lines as it goes.
class Scanner {
public:
    Scanner(const char* data, size_t size) : data_(data), size_(size) {}

    void next(Token* t);
    int line() const { return line_; }

private:
    unsigned char at(size_t i) const { return i < size_ ? static_cast<unsigned char>(data_[i]) : 0; }
    bool ether_at(size_t i) const;
    void skip_blanks();

    const char* data_;
    size_t size_;
    size_t pos_ = 0;
    int line_ = 1;
};

// Six groups of exactly two hexadecimal digits joined by ':' start at i.
bool Scanner::ether_at(size_t i) const {
    for (int g = 0; g < 6; ++g, i += 3)
        if (!scan_is_hex(at(i)) || !scan_is_hex(at(i + 1)) || (g < 5 && at(i + 2) != ':')) return false;
    return true;
}

void Scanner::skip_blanks() {
    while (pos_ < size_) {
        const unsigned char c = at(pos_);
        if (c == ' ' || c == '\t' || c == '\r') {
            ++pos_;
        } else if (c == '\n') {
            ++pos_;
            ++line_;
        } else if (c == '/' && at(pos_ + 1) == '*' && pos_ + 1 < size_) {
            const char* end = nullptr;
            for (size_t i = pos_ + 2; i + 1 < size_; ++i)
                if (data_[i] == '*' && data_[i + 1] == '/') {
                    end = data_ + i;
                    break;
                }
            if (!end) return;  // left open: the lone "/" is then a token no rule accepts
            for (const char* p = data_ + pos_; p < end; ++p)
                if (*p == '\n') ++line_;
            pos_ = static_cast<size_t>(end - data_) + 2;
        } else {
            return;
        }
    }
}

void Scanner::next(Token* t) {
    skip_blanks();
    *t = Token{};
    if (pos_ >= size_) return;
    const unsigned char c = at(pos_);
    if (scan_is_hex(c) && ether_at(pos_)) {
        for (int g = 0; g < 6; ++g)
            t->ether[g] = static_cast<uint8_t>(scan_hex_value(at(pos_ + 3 * g)) * 16 + scan_hex_value(at(pos_ + 3 * g + 1)));
        t->kind = Tok::Ether;
        pos_ += 17;
        return;
    }
    if (c == '0' && at(pos_ + 1) == 'x' && scan_is_hex(at(pos_ + 2)) && scan_is_hex(at(pos_ + 3))) {
        t->kind = Tok::HexByte;
        t->number = static_cast<uint32_t>(scan_hex_value(at(pos_ + 2)) * 16 + scan_hex_value(at(pos_ + 3)));
        pos_ += 4;
        return;
    }
    if (scan_is_digit(c)) {
        uint32_t v = 0;  // modulo 2^32
        for (; pos_ < size_ && scan_is_digit(at(pos_)); ++pos_) v = v * 10u + static_cast<uint32_t>(at(pos_) - '0');
        t->kind = Tok::Number;
        t->number = v;
        return;
    }
    if (scan_is_name_start(c) || scan_is_word_punctuation(c)) {
        size_t end = pos_ + 1;
        while (end < size_ && scan_is_name_char(at(end))) ++end;
        t->kind = Tok::Word;
        t->text.assign(data_ + pos_, end - pos_);
        pos_ = end;
        t->keyword = keyword_of(t->text);
        if (t->keyword == Kw::None)
            if (const Symbol* s = symbol_lookup(t->text.c_str())) t->protocol = s->node;
        return;
    }
    if (c == '"') {
        const void* close = std::memchr(data_ + pos_ + 1, '"', size_ - pos_ - 1);
        if (!close) {  // left open: the lone quote is a token no rule accepts
            t->kind = Tok::Bad;
            ++pos_;
            return;
        }
        const size_t end = static_cast<size_t>(static_cast<const char*>(close) - data_);
        t->kind = Tok::String;
        for (size_t i = pos_ + 1; i < end; ++i) {
            const char ch = data_[i];
            if (ch == '\n') ++line_;
            // A file with CR LF line ends reads as one with LF alone, in strings too;
            // so do carriage returns before a line feed (which the writer never makes).
            if (ch == '\r' && cr_before_lf(data_ + i, data_ + end)) continue;
            t->text.push_back(ch);
        }
        pos_ = end + 1;
        return;
    }
    ++pos_;
    switch (c) {
    case ':': t->kind = Tok::Colon; return;
    case '.': t->kind = Tok::Dot; return;
    case '/': t->kind = Tok::Slash; return;
    default: t->kind = Tok::Bad; return;
    }
}

// Waits for the name service's answer to one end of an alarm. The reply owns it.
struct PendingEnd {
    std::weak_ptr<Alarm> alarm;
    int end = 1;       // 1 the first reference, 2 the second
    std::string name;  // the host name asked for; empty for an Ethernet address
};

// Runs on the resolver thread. A name that the local names know (they are read after
// the alarm file at start-up) is taken from them.
void fill_end(const NameEntry* answer, void* user_data, void*) {
    std::unique_ptr<PendingEnd> pending(static_cast<PendingEnd*>(user_data));
    if (!pending) return;
    const std::shared_ptr<Alarm> alarm = pending->alarm.lock();
    if (!alarm) return;  // the alarm is gone (its list was replaced)
    const NameEntry* entry = answer;
    if (!pending->name.empty())
        if (const NameEntry* local = local_name_lookup_text(pending->name.c_str())) entry = local;
    if (!entry) return;
    (pending->end == 1 ? alarm->first : alarm->second).store(entry, std::memory_order_release);
}

std::string ip_text(const uint8_t* b) {
    char buf[20];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return buf;
}

std::string ether_text(const uint8_t* b) {
    char buf[20];
    std::snprintf(buf, sizeof buf, "%02X:%02X:%02X:%02X:%02X:%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
    return buf;
}

// An end that names no Ethernet station on this system: the alarm is kept as written
// and never fires.
void warn_unsupported(const char* what, const std::string& text, int line) {
    const std::string shown = std::string(what) + " " + text + " is not supported on line [" + std::to_string(line) + "]";
    message_show(kParseTitle, shown.c_str(), MessageIcon::Warning);
    std::printf("adl_parse: Warning - %s %s on line %d names no Ethernet station; the alarm never fires\n", what,
                text.c_str(), line);
    std::fflush(stdout);
}

class Parser {
public:
    Parser(const char* data, size_t size, AlarmList* list) : scan_(data, size), list_(list) {}

    // Reads alarms to the end of the input. False after the message of a syntax error.
    bool run();
    int error_line() const { return error_line_; }

private:
    void advance() { scan_.next(&tok_); }
    bool syntax_error();
    bool is(Kw k) const { return tok_.kind == Tok::Word && tok_.keyword == k; }
    bool is_word(const char* text) const { return tok_.kind == Tok::Word && tok_.text == text; }

    bool alarm();
    bool address(AlarmAddress* out, int* line);
    bool ip_address(AlarmAddress* out);
    bool placeholder(const char* first);
    bool protocol_name(ProtocolNode** out);
    bool level_value_unit(Alarm* a);
    void resolve(const std::shared_ptr<Alarm>& a, int end, int line);

    Scanner scan_;
    Token tok_;
    AlarmList* list_;
    int error_line_ = 0;
};

bool Parser::syntax_error() {
    error_line_ = scan_.line();
    char text[64];
    std::snprintf(text, sizeof text, "parse error on line [%d]", error_line_);
    message_show(kParseTitle, text, MessageIcon::Error);
    return false;
}

bool Parser::run() {
    advance();
    while (tok_.kind != Tok::End)
        if (!alarm()) return false;
    return true;
}

// The words "<host unknown>" or "<protocol unknown>", after the first of them.
bool Parser::placeholder(const char* first) {
    if (!is_word(first)) return syntax_error();
    advance();
    if (!is_word("unknown")) return syntax_error();
    advance();
    if (!is_word(">")) return syntax_error();
    advance();
    return true;
}

bool Parser::ip_address(AlarmAddress* out) {
    out->form = kWrittenIp;
    for (int k = 0; k < 4; ++k) {
        if (tok_.kind != Tok::Number) return syntax_error();
        out->bytes[k] = static_cast<uint8_t>(tok_.number & 0xFF);
        advance();
        if (k == 3) break;
        if (tok_.kind != Tok::Dot) return syntax_error();
        advance();
    }
    return true;
}

bool Parser::address(AlarmAddress* out, int* line) {
    *line = scan_.line();
    switch (tok_.kind) {
    case Tok::Ether:
        out->form = kWrittenEther;
        std::memcpy(out->bytes, tok_.ether, sizeof tok_.ether);
        advance();
        return true;
    case Tok::String:
        out->form = kWrittenName;
        out->name = tok_.text;
        advance();
        return true;
    case Tok::Number:
        return ip_address(out);
    case Tok::Colon:
        advance();
        if (tok_.kind != Tok::Colon) return syntax_error();
        advance();
        return ip_address(out);
    case Tok::Word:
        out->form = kWrittenNone;
        return placeholder("<host");
    default:
        return syntax_error();
    }
}

// A protocol name; a word that is a keyword counts when the name table holds it, since
// nothing else may stand here.
bool Parser::protocol_name(ProtocolNode** out) {
    if (tok_.kind != Tok::Word) return syntax_error();
    if (is_word("<protocol")) {
        *out = nullptr;
        return placeholder("<protocol");
    }
    ProtocolNode* node = tok_.protocol;
    if (!node && tok_.keyword != Kw::None)
        if (const Symbol* s = symbol_lookup(tok_.text.c_str())) node = s->node;
    if (!node) return syntax_error();
    *out = node;
    advance();
    return true;
}

bool Parser::level_value_unit(Alarm* a) {
    if (is(Kw::High)) a->level = kLevelHigh;
    else if (is(Kw::Low)) a->level = kLevelLow;
    else return syntax_error();
    advance();
    if (tok_.kind != Tok::Number) return syntax_error();
    a->threshold = tok_.number;
    advance();
    if (is(Kw::Pkts)) a->unit = kUnitPkts;
    else if (is(Kw::Kbytes)) a->unit = kUnitKbytes;
    else if (is(Kw::Bandwidth)) a->unit = kUnitBandwidth;
    else return syntax_error();
    advance();
    return true;
}

bool Parser::alarm() {
    const bool threshold = is(Kw::Threshold);
    if (!threshold && !is(Kw::Occurrence)) return syntax_error();
    advance();
    std::shared_ptr<Alarm> a = alarm_new();
    a->condition = threshold ? kAlarmThreshold : kAlarmOccurrence;
    int lines[2] = {0, 0};
    bool url = false;
    std::string url_text;
    if (is(Kw::Host)) {
        a->object_type = kAlarmHost;
        advance();
        if (!address(&a->first_written, &lines[0])) return false;
        if (threshold && !level_value_unit(a.get())) return false;
    } else if (is(Kw::Link)) {
        a->object_type = kAlarmLink;
        advance();
        if (!address(&a->first_written, &lines[0]) || !address(&a->second_written, &lines[1])) return false;
        if (threshold && !level_value_unit(a.get())) return false;
    } else if (is(Kw::Network)) {
        a->object_type = kAlarmNetwork;
        advance();
        if (threshold ? !level_value_unit(a.get()) : !address(&a->first_written, &lines[0])) return false;
    } else if (is(Kw::Protocol)) {
        a->object_type = kAlarmProtocol;
        advance();
        if (!protocol_name(&a->protocol)) return false;
        if (threshold && (is(Kw::High) || is(Kw::Low)) && !level_value_unit(a.get())) return false;
    } else if (is(Kw::Url) && !threshold) {
        url = true;
        advance();
        if (tok_.kind != Tok::String) return syntax_error();
        url_text = tok_.text;
        advance();
    } else {
        return syntax_error();
    }
    if (tok_.kind != Tok::String) return syntax_error();
    a->notify = tok_.text;
    advance();
    if (is(Kw::On)) a->disabled = 0;
    else if (is(Kw::Off)) a->disabled = 1;
    else return syntax_error();

    // Complete: the alarm joins the list before the next token is read.
    if (url) {
        list_->url_alarms.push_back(UrlAlarm{url_text, a->notify, a->disabled, list_->alarms.size()});
    } else {
        list_->alarms.push_back(a);
        if (a->object_type == kAlarmHost || a->object_type == kAlarmLink ||
            (a->object_type == kAlarmNetwork && !threshold))
            resolve(a, 1, lines[0]);
        if (a->object_type == kAlarmLink) resolve(a, 2, lines[1]);
    }
    advance();
    return true;
}

// Gives one end of a complete alarm its reference: an answer at once, or a request to
// the name service whose reply fills it later.
void Parser::resolve(const std::shared_ptr<Alarm>& a, int end, int line) {
    const AlarmAddress& w = end == 1 ? a->first_written : a->second_written;
    const bool lookup_only = a->object_type == kAlarmNetwork;
    const bool both = a->condition == kAlarmOccurrence && (a->object_type == kAlarmHost || lookup_only);
    NetAddress address;
    netaddr_init(&address, g_frame_address_type);
    const NameEntry* found = nullptr;
    int kind = kRequestByEther;
    switch (w.form) {
    case kWrittenEther:
        ether_set(&address, w.bytes);
        found = local_name_by_address(&address);
        break;
    case kWrittenName:
        // The name service reads text with a colon as an Ethernet address, and would
        // make one of any such text (an IPv6 address, a typo); a quoted name is no
        // Ethernet address, which is written without quotes.
        if (w.name.find(':') != std::string::npos) return warn_unsupported("host name", w.name, line);
        found = local_name_lookup_text(w.name.c_str());
        if (!found) found = hostc_find_name(w.name.c_str());
        kind = kRequestByName;
        break;
    case kWrittenIp:
        return warn_unsupported("IP address", ip_text(w.bytes), line);
    default:
        return;  // <host unknown>
    }
    if (found) {
        (end == 1 ? a->first : a->second).store(found, std::memory_order_release);
        if (both) a->second.store(found, std::memory_order_release);
        return;
    }
    if (lookup_only) return;

    HostRef* ref = hostc_ref_create();
    ref->kind = kind;
    if (kind == kRequestByEther) {
        netaddr_copy(&ref->address, &address);
    } else {
        ref->name = text_dup_or_die(w.name.c_str());
    }
    auto* pending = new PendingEnd{a, end, kind == kRequestByName ? w.name : std::string()};
    if (hostc_resolve_rec_process(ref, fill_end, pending, nullptr) != 1) delete pending;  // never answered
    hostc_ref_destroy(ref);
}

// Text the language cannot hold inside quotes: a double quote becomes an apostrophe;
// carriage returns before a line feed, which the reader drops, are left out.
void put_quoted(std::string* out, const std::string& text) {
    out->push_back('"');
    const char* end = text.data() + text.size();
    for (const char* p = text.data(); p < end; ++p) {
        if (*p == '\r' && cr_before_lf(p, end)) continue;
        out->push_back(*p == '"' ? '\'' : *p);
    }
    out->push_back('"');
}

void put_end(std::string* out, const Alarm& a, int end) {
    const NameEntry* e = (end == 1 ? a.first : a.second).load(std::memory_order_acquire);
    if (e && e->address_known && e->address.type) {
        char buf[64];
        netaddr_format(&e->address, buf, sizeof buf);
        *out += buf;
        return;
    }
    const AlarmAddress& w = end == 1 ? a.first_written : a.second_written;
    switch (w.form) {
    case kWrittenEther: *out += ether_text(w.bytes); break;
    case kWrittenIp: *out += ip_text(w.bytes); break;
    case kWrittenName: put_quoted(out, w.name); break;
    default: *out += kHostUnknown; break;
    }
}

void put_alarm(std::string* out, const Alarm& a) {
    const bool threshold = a.condition != kAlarmOccurrence;
    *out += threshold ? "Threshold " : "Occurrence ";
    switch (a.object_type) {
    case kAlarmHost:
        *out += "host ";
        put_end(out, a, 1);
        *out += ' ';
        break;
    case kAlarmLink:
        *out += "link ";
        put_end(out, a, 1);
        *out += ' ';
        put_end(out, a, 2);
        *out += ' ';
        break;
    case kAlarmProtocol:
        *out += "protocol ";
        *out += a.protocol ? a.protocol->name : kProtocolUnknown;
        *out += ' ';
        break;
    default:  // kAlarmNetwork
        *out += "network ";
        if (!threshold) {
            put_end(out, a, 1);
            *out += ' ';
        }
        break;
    }
    if (threshold) {
        *out += a.level == kLevelHigh ? "high " : "low ";
        *out += std::to_string(a.threshold);
        *out += a.unit == kUnitPkts ? " pkts " : a.unit == kUnitBandwidth ? " bandwidth " : " kbytes ";
    }
    put_quoted(out, a.notify);
    *out += a.disabled ? " OFF \n" : " ON \n";
}

void put_url(std::string* out, const UrlAlarm& u) {
    *out += "Occurrence URL ";
    put_quoted(out, u.url);
    *out += ' ';
    put_quoted(out, u.notify);
    *out += u.disabled ? " OFF \n" : " ON \n";
}

// An alarm file is a few lines a user wrote; anything far larger is not one.
constexpr FileReadLimits kAlarmFileLimits{true, false, size_t{16} << 20, false};

// The first of `path`.bak, `path`.bak2, `path`.bak3 ... that names nothing yet, or empty
// when none of the first 999 is free.
std::string free_backup_name(const std::string& path) {
    for (int k = 1; k < 1000; ++k) {
        std::string name = path + ".bak" + (k == 1 ? std::string() : std::to_string(k));
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0 && errno == ENOENT) return name;
    }
    return {};
}

// Keeps the file `path` names (a link is followed) under the new name `backup`: a
// second name for the same file where the file system allows it, else a copy.
bool keep_old(const std::string& path, const std::string& backup) {
    std::unique_ptr<char, void (*)(void*)> real(::realpath(path.c_str(), nullptr), std::free);
    const std::string target = real ? std::string(real.get()) : path;
    if (::link(target.c_str(), backup.c_str()) == 0) return true;
    if (errno == EEXIST) return false;
    std::string old;
    return file_read_all(target, &old, kAlarmFileLimits) == FileRead::ok &&
           file_replace(backup, old, ReplaceMode::create);
}

void report_write_failure(const char* path) {
    const std::string text = std::string("Could not save file ") + path + " for parsing";
    message_show(kFileTitle, text.c_str(), MessageIcon::Warning);
    std::printf("alarm_dump: Warning - cannot overwrite %s\n", path);
    std::fflush(stdout);
}

}  // namespace

int adl_parse_bytes(const char* data, size_t size, AlarmList* list) {
    if (!list) return kAdlUnreadable;
    Parser parser(data ? data : "", data ? size : 0, list);
    const bool whole = parser.run();
    list->parse_status = whole ? kAdlWhole : kAdlStopped;
    list->error_line = whole ? 0 : parser.error_line();
    list->loaded_text = alarm_dump_text(*list);
    return list->parse_status;
}

int adl_parse_into(const char* path, AlarmList* list) {
    if (!list) return kAdlUnreadable;
    if (!path) path = "";
    std::string source;
    if (file_read_all(native_path(path), &source, kAlarmFileLimits) != FileRead::ok) {
        const std::string text = std::string("Alarm Definition Language: Could not open file ") + path + " for parsing";
        message_show(kFileTitle, text.c_str(), MessageIcon::Warning);
        std::printf("adl_parse: Warning - %s not found\n", path);
        std::fflush(stdout);
        list->parse_status = kAdlUnreadable;
        list->error_line = 0;
        list->loaded_text = alarm_dump_text(*list);
        return kAdlUnreadable;
    }
    return adl_parse_bytes(source.data(), source.size(), list);
}

AlarmList* adl_parse(const char* path) {
    (void)adl_parse_into(path, &alarm_list());
    return &alarm_list();
}

std::string alarm_dump_text(const AlarmList& list) {
    std::string out;
    size_t url = 0;
    for (size_t i = 0; i < list.alarms.size(); ++i) {
        for (; url < list.url_alarms.size() && list.url_alarms[url].before <= i; ++url) put_url(&out, list.url_alarms[url]);
        const Alarm* a = list.alarms[i].get();
        if (a && a->object_type >= kAlarmHost && a->object_type <= kAlarmNetwork) put_alarm(&out, *a);
    }
    for (; url < list.url_alarms.size(); ++url) put_url(&out, list.url_alarms[url]);
    return out;
}

int alarm_dump(const char* path, const AlarmList& list) {
    if (!path) path = "";
    if (!file_replace(native_path(path), alarm_dump_text(list), ReplaceMode::create)) {
        report_write_failure(path);
        return -1;
    }
    return 1;
}

int alarm_dump(const char* path) { return alarm_dump(path, alarm_list()); }

AlarmSaveResult alarm_save_at_exit(const char* path, const AlarmList& list) {
    if (!path) path = "";
    if (!list.edited) {
        if (list.parse_status == kAdlStopped) {
            std::printf("alarm_save_at_exit: %s did not load whole; it is left as it was\n", path);
            std::fflush(stdout);
        }
        return {0, {}};
    }
    const std::string native = native_path(path);
    const std::string text = alarm_dump_text(list);
    struct stat st {};
    std::string backup;
    if (::stat(native.c_str(), &st) == 0) {
        std::string old;
        const bool readable = file_read_all(native, &old, kAlarmFileLimits) == FileRead::ok;
        const bool nothing_lost = readable && (old == text || (list.parse_status == kAdlWhole && old == list.loaded_text));
        if (!nothing_lost) {
            backup = free_backup_name(native);
            if (backup.empty() || !keep_old(native, backup)) {
                report_write_failure(path);
                return {-1, {}};
            }
        }
    }
    if (!file_replace(native, text, ReplaceMode::create)) {
        // The old file is still there: the backup of it would only be a stray copy.
        if (!backup.empty()) ::unlink(backup.c_str());
        report_write_failure(path);
        return {-1, {}};
    }
    if (!backup.empty()) {
        std::printf("alarm_save_at_exit: the old %s is kept as %s\n", path, backup.c_str());
        std::fflush(stdout);
    }
    return {1, backup};
}

AlarmSaveResult alarm_save_at_exit(const char* path) { return alarm_save_at_exit(path, alarm_list()); }
