#include "protocol/pdl.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/file.h"
#include "base/message.h"
#include "base/path.h"
#include "base/scan.h"
#include "base/text.h"
#include "protocol/symbol.h"

namespace {

constexpr const char* kParseTitle = "PDL Parse";
constexpr uint32_t kSaturated = 0x7FFFFFFF;  // ceiling of hexadecimal and binary literals

enum class Tok {
    End,
    Comma,
    Colon,
    Open,
    Close,
    Byte,  // "byte" or "octet"
    Word,
    Lword,
    Mask,
    Primitive,
    Protocol,
    Name,
    String,
    Number,
    Bad,  // a character that no rule accepts
};

struct Token {
    Tok kind = Tok::End;
    uint32_t number = 0;
    std::string text;  // name or string contents
    Symbol* symbol = nullptr;
};

// Copies at most kProtocolNameMax bytes of `text` (up to its first NUL) into `out`,
// never cutting a UTF-8 sequence in two.
void copy_label(char (&out)[kProtocolNameMax + 1], const std::string& text) {
    const size_t n = utf8_prefix(text.c_str(), std::strlen(text.c_str()), kProtocolNameMax);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

class Parser {
public:
    explicit Parser(const std::string& source) : src_(source) {}

    // Parses the whole file. Returns false after showing the message of the first error.
    bool run();

private:
    // Scanner.
    void skip_blanks();
    bool scan();  // reads the next token into tok_; false on a scanner-level error
    unsigned char at(size_t i) const { return i < src_.size() ? static_cast<unsigned char>(src_[i]) : 0; }

    // Grammar.
    bool primitive_definition();
    bool protocol_definition();
    bool head(Symbol** out);
    bool value_range(uint32_t* low, uint32_t* high);
    bool field(ProtocolNode* parent, std::vector<ProtocolNode*>* children);
    bool expect(Tok kind);
    bool advance() { return scan(); }

    bool fail(const std::string& what);
    bool syntax_error() { return fail("parse error"); }
    ProtocolNode* tree_root(ProtocolNode* node);

    const std::string& src_;
    size_t pos_ = 0;
    int line_ = 1;
    Token tok_;
    std::unordered_set<const ProtocolNode*> defined_;    // given a head
    std::unordered_set<const ProtocolNode*> in_a_list_;  // already some protocol's child
    std::unordered_map<ProtocolNode*, ProtocolNode*> up_;  // towards the top of a node's tree
};

bool Parser::fail(const std::string& what) {
    char text[160];
    std::snprintf(text, sizeof text, "%s on line [%d]", what.c_str(), line_);
    message_show(kParseTitle, text, MessageIcon::Error);
    return false;
}

void Parser::skip_blanks() {
    for (;;) {
        const unsigned char c = at(pos_);
        if (pos_ >= src_.size()) return;
        if (c == ' ' || c == '\t' || c == '\r') {
            ++pos_;
        } else if (c == '\n') {
            ++pos_;
            ++line_;
        } else if (c == '/' && at(pos_ + 1) == '*') {
            const size_t end = src_.find("*/", pos_ + 2);
            if (end == std::string::npos) return;  // the lone "/" is then a bad character
            for (size_t i = pos_; i < end; ++i)
                if (src_[i] == '\n') ++line_;
            pos_ = end + 2;
        } else {
            return;
        }
    }
}

bool Parser::scan() {
    skip_blanks();
    tok_ = Token{};
    if (pos_ >= src_.size()) {
        tok_.kind = Tok::End;
        return true;
    }
    const unsigned char c = at(pos_);
    switch (c) {
    case ',': tok_.kind = Tok::Comma; ++pos_; return true;
    case ':': tok_.kind = Tok::Colon; ++pos_; return true;
    case '{': tok_.kind = Tok::Open; ++pos_; return true;
    case '}': tok_.kind = Tok::Close; ++pos_; return true;
    default: break;
    }
    if (scan_is_name_start(c)) {
        size_t end = pos_ + 1;
        while (end < src_.size() && scan_is_name_char(at(end))) ++end;
        tok_.text.assign(src_, pos_, end - pos_);
        pos_ = end;
        static const struct {
            const char* word;
            Tok kind;
        } keywords[] = {{"byte", Tok::Byte},   {"octet", Tok::Byte},         {"word", Tok::Word},
                        {"lword", Tok::Lword}, {"mask", Tok::Mask},          {"primitive", Tok::Primitive},
                        {"protocol", Tok::Protocol}};
        for (const auto& k : keywords)
            if (tok_.text == k.word) {
                tok_.kind = k.kind;
                return true;
            }
        if (tok_.text.size() > static_cast<size_t>(kSymbolNameMax))
            return fail("name longer than " + std::to_string(kSymbolNameMax) + " characters");
        tok_.kind = Tok::Name;
        tok_.symbol = symbol_enter(tok_.text.c_str());
        return true;
    }
    if (c == '"') {
        const size_t end = src_.find('"', pos_ + 1);
        if (end == std::string::npos) {
            tok_.kind = Tok::Bad;
            return true;
        }
        tok_.kind = Tok::String;
        for (size_t i = pos_ + 1; i < end; ++i) {
            const char ch = src_[i];
            if (ch == '\n') ++line_;
            // Text files written with CR LF line ends keep LF alone inside labels.
            if (ch == '\r' && i + 1 < end && src_[i + 1] == '\n') continue;
            tok_.text.push_back(ch);
        }
        pos_ = end + 1;
        return true;
    }
    if (c == '0' && at(pos_ + 1) == 'x' && scan_is_hex(at(pos_ + 2))) {
        uint64_t v = 0;
        size_t i = pos_ + 2;
        for (; scan_is_hex(at(i)) && i < src_.size(); ++i)
            v = std::min<uint64_t>(v * 16 + scan_hex_value(at(i)), uint64_t{1} << 32);
        tok_.kind = Tok::Number;
        tok_.number = v > kSaturated ? kSaturated : static_cast<uint32_t>(v);
        pos_ = i;
        return true;
    }
    if (scan_is_digit(c)) {
        uint32_t v = 0;  // decimal literals wrap modulo 2^32
        size_t i = pos_;
        for (; i < src_.size() && scan_is_digit(at(i)); ++i) v = v * 10u + static_cast<uint32_t>(at(i) - '0');
        tok_.kind = Tok::Number;
        tok_.number = v;
        pos_ = i;
        return true;
    }
    if (c == '#' && (at(pos_ + 1) == '0' || at(pos_ + 1) == '1') && pos_ + 1 < src_.size()) {
        uint64_t v = 0;
        size_t i = pos_ + 1;
        for (; i < src_.size() && (at(i) == '0' || at(i) == '1'); ++i)
            v = std::min<uint64_t>(v * 2 + (at(i) - '0'), uint64_t{1} << 32);
        tok_.kind = Tok::Number;
        tok_.number = v > kSaturated ? kSaturated : static_cast<uint32_t>(v);
        pos_ = i;
        return true;
    }
    tok_.kind = Tok::Bad;
    ++pos_;
    return true;
}

bool Parser::expect(Tok kind) {
    if (tok_.kind != kind) return syntax_error();
    return advance();
}

bool Parser::value_range(uint32_t* low, uint32_t* high) {
    if (tok_.kind != Tok::Number) return syntax_error();
    *low = *high = tok_.number;
    if (!advance()) return false;
    if (tok_.kind != Tok::Comma) return true;
    if (!advance()) return false;
    if (tok_.kind != Tok::Number) return syntax_error();
    *high = tok_.number;
    return advance();
}

// node-head: NAME ":" value-range. Sets the node's value range.
bool Parser::head(Symbol** out) {
    if (tok_.kind != Tok::Name) return syntax_error();
    Symbol* s = tok_.symbol;
    if (!defined_.insert(s->node).second) return fail(std::string(s->name) + " defined more than once");
    if (!advance() || !expect(Tok::Colon)) return false;
    uint32_t low = 0, high = 0;
    if (!value_range(&low, &high)) return false;
    s->node->low = low;
    s->node->high = high;
    *out = s;
    return true;
}

bool Parser::primitive_definition() {
    Symbol* s = nullptr;
    if (!advance() || !head(&s)) return false;
    if (tok_.kind != Tok::String) return syntax_error();
    copy_label(s->node->label, tok_.text);
    return advance();
}

// The top of the tree that `node` hangs in, following parents (with path halving).
ProtocolNode* Parser::tree_root(ProtocolNode* node) {
    for (;;) {
        auto it = up_.find(node);
        if (it == up_.end()) return node;
        auto next = up_.find(it->second);
        if (next != up_.end()) it->second = next->second;
        node = it->second;
    }
}

// field: ["mask"] width ":" value-range NAME. Makes NAME a child of `parent`.
bool Parser::field(ProtocolNode* parent, std::vector<ProtocolNode*>* children) {
    bool mask = false;
    if (tok_.kind == Tok::Mask) {
        mask = true;
        if (!advance()) return false;
    }
    int width = 0;
    switch (tok_.kind) {
    case Tok::Byte: width = 1; break;
    case Tok::Word: width = 2; break;
    case Tok::Lword: width = 4; break;
    default: return syntax_error();
    }
    if (!advance() || !expect(Tok::Colon)) return false;
    uint32_t o1 = 0, o2 = 0;
    if (!value_range(&o1, &o2)) return false;
    if (tok_.kind != Tok::Name) return syntax_error();
    ProtocolNode* node = tok_.symbol->node;
    // A node has one sibling link, so it can sit in one child list only; and a child
    // that is already an ancestor of its parent would close a loop.
    if (in_a_list_.count(node)) return fail(std::string(node->name) + " used as a field more than once");
    if (tree_root(parent) == node) return fail(std::string(node->name) + " reachable from itself");
    in_a_list_.insert(node);
    up_[node] = tree_root(parent);
    node->width = width;
    node->mask_test = mask;
    node->offset = static_cast<int32_t>(o1);
    node->alt_offset = static_cast<int32_t>(o2);
    node->has_alt_offset = o1 != o2;
    children->push_back(node);
    return advance();
}

bool Parser::protocol_definition() {
    Symbol* s = nullptr;
    if (!advance() || !head(&s)) return false;
    ProtocolNode* node = s->node;
    if (tok_.kind != Tok::String) return syntax_error();
    copy_label(node->label, tok_.text);
    if (!advance()) return false;
    if (tok_.kind != Tok::Number) return syntax_error();
    node->header_length = static_cast<int32_t>(tok_.number);
    if (!advance() || !expect(Tok::Open)) return false;
    std::vector<ProtocolNode*> children;
    do {
        if (!field(node, &children)) return false;
    } while (tok_.kind != Tok::Close);

    // The catch-all, tried after every field; it reads nothing and accepts every value.
    const std::string other = std::string("OTHER_") + node->name;
    if (symbol_lookup(other.c_str())) return fail(other + " already used");
    ProtocolNode* catch_all = symbol_enter(other.c_str())->node;
    copy_label(catch_all->label, std::string("Other ") + node->label);
    catch_all->low = 0;
    catch_all->high = 0xFFFFFFFF;
    defined_.insert(catch_all);
    in_a_list_.insert(catch_all);
    up_[catch_all] = tree_root(node);

    // Last field written first, the catch-all last.
    ProtocolNode* list = catch_all;
    for (ProtocolNode* child : children) {
        child->next = list;
        list = child;
    }
    node->first_child = list;
    return advance();
}

bool Parser::run() {
    if (!advance()) return false;
    while (tok_.kind == Tok::Primitive)
        if (!primitive_definition()) return false;
    while (tok_.kind == Tok::Protocol)
        if (!protocol_definition()) return false;
    if (tok_.kind != Tok::End) return syntax_error();
    return true;
}

}  // namespace

ProtocolNode* pdl_parse(const char* path) {
    symbol_reset();
    if (!path) path = "";
    std::string source;
    if (const FileRead read = file_read_all(native_path(path), &source, kDataFileLimits); read != FileRead::ok) {
        const std::string text = std::string("Protocol Definition Language: Could not open file ") + path + " for parsing";
        message_show("Corvex", text.c_str(), MessageIcon::Warning);
        if (read == FileRead::cannot_open) std::printf("pdl_parse: Warning - %s not found\n", path);
        else std::printf("pdl_parse: Warning - %s %s\n", path, file_read_problem(read, kDataFileLimits).c_str());
        std::fflush(stdout);
        return nullptr;
    }
    Parser parser(source);
    if (!parser.run()) {
        symbol_reset();
        return nullptr;
    }
    const Symbol* root = symbol_lookup("ROOT");
    if (!root) {
        std::printf("pdl_parse: Warning - %s defines no ROOT\n", path);
        std::fflush(stdout);
        symbol_reset();
        return nullptr;
    }
    return root->node;
}
