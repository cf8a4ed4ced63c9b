#include "reports/rtf_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "base/text.h"

namespace {

constexpr size_t kMaxWordLetters = 32;
constexpr size_t kMaxParamDigits = 10;
constexpr int32_t kParamMax = 2147483647;
constexpr int kMaxSize = 3276;    // half-points; larger sizes are kept at this
constexpr int kMaxSkipCount = 64; // "\ucN" beyond this is kept at it

// Windows-1252 for 0x80..0x9F; the undefined positions keep their C1 code.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t cp1252(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kCp1252High[byte - 0x80] : byte;
}

enum class Dest : unsigned char { Body, Skip, FontTable, ColourTable };

struct GroupState {
    Dest dest = Dest::Body;
    bool bold = false;
    int font = -1;
    int size = 24;
    int colour = -1;
    int uc = 1;
};

enum class Word : unsigned char {
    Unknown, B, Bin, Blue, Bullet, Cell, Cf, Colortbl, Deff, Emdash, Endash, F, Fonttbl, Fprq, Fs,
    Green, Ldblquote, Line, Lquote, Par, Plain, Rdblquote, Red, Row, Rquote, Skip, Tab, U, Uc,
};

struct WordEntry {
    std::string_view name;
    Word word;
};

// Sorted by name. "Skip" entries are destinations that hold no text of the document.
constexpr WordEntry kWords[] = {
    {"author", Word::Skip},          {"b", Word::B},
    {"bin", Word::Bin},              {"blue", Word::Blue},
    {"bullet", Word::Bullet},        {"cell", Word::Cell},
    {"cf", Word::Cf},                {"colorschememapping", Word::Skip},
    {"colortbl", Word::Colortbl},    {"comment", Word::Skip},
    {"datastore", Word::Skip},       {"deff", Word::Deff},
    {"doccomm", Word::Skip},         {"emdash", Word::Emdash},
    {"endash", Word::Endash},        {"f", Word::F},
    {"filetbl", Word::Skip},         {"fldinst", Word::Skip},
    {"fonttbl", Word::Fonttbl},      {"footer", Word::Skip},
    {"footerf", Word::Skip},         {"footerl", Word::Skip},
    {"footerr", Word::Skip},         {"footnote", Word::Skip},
    {"fprq", Word::Fprq},            {"fs", Word::Fs},
    {"generator", Word::Skip},       {"green", Word::Green},
    {"header", Word::Skip},          {"headerf", Word::Skip},
    {"headerl", Word::Skip},         {"headerr", Word::Skip},
    {"info", Word::Skip},            {"keywords", Word::Skip},
    {"latentstyles", Word::Skip},    {"ldblquote", Word::Ldblquote},
    {"line", Word::Line},            {"listoverridetable", Word::Skip},
    {"listtable", Word::Skip},       {"lquote", Word::Lquote},
    {"nonshppict", Word::Skip},      {"object", Word::Skip},
    {"operator", Word::Skip},        {"par", Word::Par},
    {"pict", Word::Skip},            {"plain", Word::Plain},
    {"rdblquote", Word::Rdblquote},  {"red", Word::Red},
    {"revtbl", Word::Skip},          {"row", Word::Row},
    {"rquote", Word::Rquote},        {"rsidtbl", Word::Skip},
    {"stylesheet", Word::Skip},      {"subject", Word::Skip},
    {"tab", Word::Tab},              {"themedata", Word::Skip},
    {"title", Word::Skip},           {"u", Word::U},
    {"uc", Word::Uc},                {"xmlnstbl", Word::Skip},
};

Word lookup(std::string_view name) {
    const auto* end = std::end(kWords);
    const auto* it = std::lower_bound(std::begin(kWords), end, name,
                                      [](const WordEntry& e, std::string_view n) { return e.name < n; });
    return it != end && it->name == name ? it->word : Word::Unknown;
}

bool is_lower(unsigned char c) { return c >= 'a' && c <= 'z'; }
bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

int hex_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Reader {
public:
    Reader(const unsigned char* data, size_t size, RtfDocument* doc, const RtfLimits& limits)
        : p_(data), n_(size), doc_(*doc), limits_(limits) {}

    // Reads from pos (the root group's "{") to the end of the root group or the data.
    void run(size_t pos) {
        pos_ = pos;
        doc_.paragraphs.emplace_back();
        while (pos_ < n_ && !stopped_) {
            const unsigned char c = p_[pos_];
            if (c == '{') {
                ++pos_;
                open_group();
            } else if (c == '}') {
                ++pos_;
                if (close_group()) return;
            } else if (c == '\\') {
                ++pos_;
                control();
            } else {
                ++pos_;
                if (c == '\r' || c == '\n') continue;
                if (c == '\t') {
                    text('\t');
                } else if (c >= 0x20) {
                    text(cp1252(c));
                }
            }
        }
        if (!stopped_ && !stack_.empty()) doc_.damage |= kRtfUnbalanced;
    }

private:
    GroupState& top() { return stack_.back(); }

    bool skipping() const { return overflow_ > 0 || stack_.back().dest == Dest::Skip; }

    void stop() {
        stopped_ = true;
        doc_.damage |= kRtfTruncated;
    }

    void open_group() {
        skip_chars_ = 0;
        flush_surrogate();
        if (overflow_ > 0 || stack_.size() >= limits_.max_depth) {
            ++overflow_;
            doc_.damage |= kRtfTooDeep;
            return;
        }
        if (stack_.empty()) {
            stack_.reserve(std::min<size_t>(limits_.max_depth, 64));
            stack_.emplace_back();
        } else {
            stack_.push_back(stack_.back());
        }
    }

    // Returns true when the root group closed.
    bool close_group() {
        skip_chars_ = 0;
        flush_surrogate();
        if (overflow_ > 0) {
            --overflow_;
            return false;
        }
        if (top().dest == Dest::FontTable) commit_font();
        stack_.pop_back();
        return stack_.empty();
    }

    // --- text ---------------------------------------------------------------------------

    void text(char32_t cp) {
        if (skip_chars_ > 0) {
            --skip_chars_;
            return;
        }
        flush_surrogate();
        put(cp);
    }

    void put(char32_t cp) {
        if (overflow_ > 0 || stopped_) return;
        switch (top().dest) {
            case Dest::Body: body_text(cp); break;
            case Dest::FontTable:
                if (cp == ';') {
                    commit_font();
                } else if (font_open_ && font_.name.size() < limits_.max_font_name) {
                    utf8_append(&font_.name, cp);
                }
                break;
            case Dest::ColourTable:
                if (cp == ';') commit_colour();
                break;
            case Dest::Skip: break;
        }
    }

    void body_text(char32_t cp) {
        RtfParagraph& para = doc_.paragraphs.back();
        const GroupState& s = top();
        if (para.runs.empty() || para.runs.back().bold != s.bold || para.runs.back().font != s.font ||
            para.runs.back().size != s.size || para.runs.back().colour != s.colour) {
            if (runs_ >= limits_.max_runs) return stop();
            RtfRun run;
            run.bold = s.bold;
            run.font = s.font;
            run.size = s.size;
            run.colour = s.colour;
            para.runs.push_back(std::move(run));
            ++runs_;
        }
        std::string& t = para.runs.back().text;
        const size_t before = t.size();
        utf8_append(&t, cp);
        text_bytes_ += t.size() - before;
        if (text_bytes_ >= limits_.max_text) stop();
    }

    void paragraph() {
        if (skip_chars_ > 0) {
            --skip_chars_;
            return;
        }
        flush_surrogate();
        if (skipping() || top().dest != Dest::Body) return;
        if (doc_.paragraphs.size() >= limits_.max_paragraphs) return stop();
        doc_.paragraphs.emplace_back();
    }

    // A high surrogate from "\uN" waits for its low half; anything else in between
    // leaves it alone, and it reads as U+FFFD.
    void flush_surrogate() {
        if (high_surrogate_ == 0) return;
        high_surrogate_ = 0;
        put(0xFFFD);
    }

    void unicode(int32_t param) {
        skip_chars_ = 0;
        char32_t unit;
        if (param < -32768 || param > 65535) {
            unit = 0xFFFD;
        } else {
            unit = static_cast<char32_t>(param < 0 ? param + 65536 : param);
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF && high_surrogate_ != 0) {
            const char32_t cp = 0x10000 + ((high_surrogate_ - 0xD800) << 10) + (unit - 0xDC00);
            high_surrogate_ = 0;
            put(cp);
        } else {
            flush_surrogate();
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                high_surrogate_ = unit;
            } else {
                put(unit >= 0xDC00 && unit <= 0xDFFF ? 0xFFFD : unit);
            }
        }
        skip_chars_ = top().uc;
    }

    // --- tables -----------------------------------------------------------------------------

    void commit_font() {
        if (!font_open_) return;
        font_open_ = false;
        std::string& name = font_.name;
        const size_t first = name.find_first_not_of(' ');
        const size_t last = name.find_last_not_of(' ');
        name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
        if (doc_.fonts.size() < limits_.max_fonts) doc_.fonts.push_back(std::move(font_));
        font_ = RtfFont();
    }

    void commit_colour() {
        if (doc_.colours.size() < limits_.max_colours) doc_.colours.push_back(colour_);
        colour_ = RtfColour();
    }

    // --- control words and symbols ----------------------------------------------------------

    void control() {
        if (pos_ >= n_) return;
        const unsigned char c = p_[pos_];
        if (is_lower(c)) return control_word();
        ++pos_;
        switch (c) {
            case '\\':
            case '{':
            case '}': text(c); break;
            case '\'': {
                const int hi = pos_ < n_ ? hex_value(p_[pos_]) : -1;
                const int lo = hi >= 0 && pos_ + 1 < n_ ? hex_value(p_[pos_ + 1]) : -1;
                if (hi >= 0 && lo >= 0) {
                    pos_ += 2;
                    text(cp1252(static_cast<unsigned char>(hi * 16 + lo)));
                } else if (hi >= 0) {
                    ++pos_;
                }
                break;
            }
            case '~': text(0x00A0); break;
            case '_': text(0x2011); break;
            case '-':
                if (skip_chars_ > 0) --skip_chars_;
                break;
            case '*':
                if (overflow_ == 0) top().dest = Dest::Skip;
                break;
            case '\n':
            case '\r': paragraph(); break;
            default: break;
        }
    }

    void control_word() {
        char letters[kMaxWordLetters];
        size_t count = 0;
        bool overlong = false;
        while (pos_ < n_ && is_lower(p_[pos_])) {
            if (count < kMaxWordLetters) letters[count++] = static_cast<char>(p_[pos_]);
            else overlong = true;
            ++pos_;
        }
        bool has_param = false;
        bool negative = false;
        int64_t value = 0;
        if (pos_ + 1 < n_ && p_[pos_] == '-' && is_digit(p_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        size_t digits = 0;
        while (pos_ < n_ && is_digit(p_[pos_])) {
            has_param = true;
            if (digits < kMaxParamDigits) value = value * 10 + (p_[pos_] - '0');
            ++digits;
            ++pos_;
        }
        if (digits > kMaxParamDigits || value > kParamMax) value = kParamMax;
        const int32_t param = static_cast<int32_t>(negative ? -value : value);
        if (pos_ < n_ && p_[pos_] == ' ') ++pos_;

        const std::string_view name(letters, count);
        const Word word = overlong ? Word::Unknown : lookup(name);
        if (word == Word::Bin) {
            // Binary data of the given length, whatever the state.
            const size_t skip = has_param && param > 0 ? static_cast<size_t>(param) : 0;
            pos_ += std::min(skip, n_ - pos_);
            return;
        }
        if (word == Word::U) return unicode(has_param ? param : 0);
        if (word == Word::Par || word == Word::Row) return paragraph();
        if (skip_chars_ > 0) {
            --skip_chars_;
            return;
        }
        if (overflow_ > 0) return;
        GroupState& s = top();
        const bool in_fonts = s.dest == Dest::FontTable;
        switch (word) {
            case Word::Line: text('\n'); break;
            case Word::Tab:
            case Word::Cell: text('\t'); break;
            case Word::Emdash: text(0x2014); break;
            case Word::Endash: text(0x2013); break;
            case Word::Bullet: text(0x2022); break;
            case Word::Lquote: text(0x2018); break;
            case Word::Rquote: text(0x2019); break;
            case Word::Ldblquote: text(0x201C); break;
            case Word::Rdblquote: text(0x201D); break;
            case Word::B: s.bold = !has_param || param != 0; break;
            case Word::Plain:
                s.bold = false;
                s.font = doc_.default_font;
                s.size = 24;
                s.colour = -1;
                break;
            case Word::F:
                if (in_fonts) {
                    commit_font();
                    font_open_ = true;
                    font_.index = param;
                } else if (s.dest == Dest::Body) {
                    s.font = param;
                }
                break;
            case Word::Fs: s.size = has_param && param > 0 ? std::min<int32_t>(param, kMaxSize) : 24; break;
            case Word::Cf: s.colour = param >= 0 ? param : -1; break;
            case Word::Uc: s.uc = std::clamp<int32_t>(param, 0, kMaxSkipCount); break;
            case Word::Deff:
                doc_.default_font = param;
                if (s.font == -1) s.font = param;
                break;
            case Word::Fonttbl: s.dest = Dest::FontTable; break;
            case Word::Colortbl:
                s.dest = Dest::ColourTable;
                colour_ = RtfColour();
                break;
            case Word::Red:
            case Word::Green:
            case Word::Blue:
                if (s.dest == Dest::ColourTable) {
                    const auto v = static_cast<unsigned char>(std::clamp<int32_t>(param, 0, 255));
                    colour_.automatic = false;
                    (word == Word::Red ? colour_.red : word == Word::Green ? colour_.green : colour_.blue) = v;
                }
                break;
            case Word::Fprq:
                if (in_fonts && font_open_) font_.pitch = param;
                break;
            case Word::Skip: s.dest = Dest::Skip; break;
            case Word::Unknown:
                // In the font table, a word "f..." without a parameter names the family.
                if (in_fonts && font_open_ && !has_param && count > 1 && name[0] == 'f' &&
                    name != "fcharset" && name != "fbias")
                    font_.family.assign(name.substr(1));
                break;
            default: break;
        }
    }

    const unsigned char* p_;
    size_t n_;
    size_t pos_ = 0;
    RtfDocument& doc_;
    const RtfLimits& limits_;
    std::vector<GroupState> stack_;
    size_t overflow_ = 0;  // groups opened beyond max_depth and not yet closed
    size_t runs_ = 0;
    size_t text_bytes_ = 0;
    int skip_chars_ = 0;   // characters after "\uN" still to skip
    char32_t high_surrogate_ = 0;
    bool stopped_ = false;
    bool font_open_ = false;
    RtfFont font_;
    RtfColour colour_;
};

}  // namespace

int rtf_read(const char* data, size_t size, RtfDocument* out, const RtfLimits& limits) {
    *out = RtfDocument();
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    size_t start = 0;
    while (start < size && (p[start] == ' ' || p[start] == '\t' || p[start] == '\r' || p[start] == '\n')) ++start;
    if (size - start < 5 || std::string_view(data + start, 5) != "{\\rtf") return -1;

    RtfLimits bounded = limits;
    if (bounded.max_depth == 0) bounded.max_depth = 1;
    Reader(p, size, out, bounded).run(start);

    // One font per index (the first), ascending, for rtf_font's binary search.
    std::stable_sort(out->fonts.begin(), out->fonts.end(),
                     [](const RtfFont& a, const RtfFont& b) { return a.index < b.index; });
    out->fonts.erase(std::unique(out->fonts.begin(), out->fonts.end(),
                                 [](const RtfFont& a, const RtfFont& b) { return a.index == b.index; }),
                     out->fonts.end());
    for (RtfParagraph& para : out->paragraphs)
        for (RtfRun& run : para.runs) {
            if (run.colour < 0 || static_cast<size_t>(run.colour) >= out->colours.size()) continue;
            const RtfColour& c = out->colours[static_cast<size_t>(run.colour)];
            if (c.automatic) continue;
            run.has_rgb = true;
            run.red = c.red;
            run.green = c.green;
            run.blue = c.blue;
        }
    return 1;
}

const RtfFont* rtf_font(const RtfDocument& doc, int index) {
    const auto it = std::lower_bound(doc.fonts.begin(), doc.fonts.end(), index,
                                     [](const RtfFont& f, int i) { return f.index < i; });
    return it != doc.fonts.end() && it->index == index ? &*it : nullptr;
}

std::string rtf_plain_text(const RtfDocument& doc) {
    std::string out;
    for (size_t i = 0; i < doc.paragraphs.size(); ++i) {
        if (i) out.push_back('\n');
        for (const RtfRun& run : doc.paragraphs[i].runs) out += run.text;
    }
    return out;
}
