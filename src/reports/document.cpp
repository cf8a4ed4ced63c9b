#include "reports/document.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/file.h"
#include "base/text.h"

namespace {

constexpr char kLineMark[] = "\\par     ";  // paragraph mark, then five spaces
constexpr char kLineGroup[] = "{\\plain\\f3\\fs12 ";
constexpr char kBoldGroup[] = "{\\f3\\fs12\\b ";
constexpr char kGroupEnd[] = "  }";

void put(std::FILE* out, std::string_view s) {
    if (!s.empty()) std::fwrite(s.data(), 1, s.size(), out);
}

void append_hex_escape(std::string* out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789abcdef";
    out->append("\\'");
    out->push_back(kHex[byte >> 4]);
    out->push_back(kHex[byte & 15]);
}

// One 16-bit unit as "\uN?" (N signed, as rich text wants it; "?" is the one character
// a reader without Unicode shows instead).
void append_unicode_unit(std::string* out, unsigned unit) {
    const int n = unit >= 0x8000 ? static_cast<int>(unit) - 0x10000 : static_cast<int>(unit);
    out->append("\\u");
    out->append(std::to_string(n));
    out->push_back('?');
}

// Calls f(cp, byte) for each character of `text`: a well-formed UTF-8 sequence gives its
// character and first byte; any other byte gives kNotUtf8 and the byte.
constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

template <class F>
void for_each_character(std::string_view text, F f) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        char32_t cp = 0;
        const size_t len = utf8_decode(p + i, n - i, &cp);
        f(len ? cp : kNotUtf8, p[i]);
        i += len ? len : 1;
    }
}

std::string escape_rich(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for_each_character(text, [&out](char32_t cp, unsigned char byte) {
        if (cp == kNotUtf8) {
            // Not UTF-8: the byte as it stands, read in the document's code page.
            append_hex_escape(&out, byte);
        } else if (cp == '\\' || cp == '{' || cp == '}') {
            out.push_back('\\');
            out.push_back(static_cast<char>(cp));
        } else if (cp == '\n') {
            out.append("\\line ");
        } else if (cp == '\t') {
            out.append("\\tab ");
        } else if (cp < 0x20 || cp == 0x7F) {
            append_hex_escape(&out, byte);
        } else if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            append_unicode_unit(&out, 0xD800 + (v >> 10));
            append_unicode_unit(&out, 0xDC00 + (v & 0x3FF));
        } else {
            append_unicode_unit(&out, cp);
        }
    });
    return out;
}

std::string escape_html(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for_each_character(text, [&out](char32_t cp, unsigned char byte) {
        if (cp == kNotUtf8) cp = byte;  // a byte that is not UTF-8 reads as Latin-1
        if (cp == '&') {
            out.append("&amp;");
        } else if (cp == '<') {
            out.append("&lt;");
        } else if (cp == '>') {
            out.append("&gt;");
        } else if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else {
            out.append("&#");
            out.append(std::to_string(static_cast<unsigned long>(cp)));
            out.push_back(';');
        }
    });
    return out;
}

void write_text_line(std::FILE* out, const char* text, int kind, bool bold) {
    if (!out) return;
    const std::string_view t = text ? std::string_view(text) : std::string_view();
    switch (kind) {
        case kPlainText:
            put(out, t);
            std::fputc('\n', out);
            break;
        case kRichText:
            put(out, kLineMark);
            put(out, bold ? kBoldGroup : kLineGroup);
            put(out, escape_rich(t));
            put(out, kGroupEnd);
            break;
        case kHtml:
            if (bold) put(out, "<B>");
            put(out, escape_html(t));
            if (bold) put(out, "</B>");
            put(out, "<BR>");
            break;
        default:
            break;
    }
}

// The printf text of `format`; a format that cannot be written fails the document.
std::string vformat(ReportDocument* doc, const char* format, va_list args) {
    if (!format) return {};
    char small[512];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) {
        doc->failed = true;
        return {};
    }
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    return out;
}

void emit(ReportDocument* doc, unsigned targets, const std::string& text, bool bold) {
    for (int kind = 0; kind < kDocumentKinds; ++kind)
        if (targets & (1u << kind)) write_text_line(doc->files[kind], text.c_str(), kind, bold);
}

}  // namespace

void begin_document(std::FILE* out, int kind) {
    if (!out) return;
    if (kind == kRichText) put(out, kRichTextHeader);
    if (kind == kHtml) put(out, "<HTML><BODY>");
}

void write_line(std::FILE* out, const char* text, int kind) { write_text_line(out, text, kind, false); }

void write_bold(std::FILE* out, const char* text, int kind) { write_text_line(out, text, kind, true); }

void end_document(std::FILE* out, int kind) {
    if (!out) return;
    if (kind == kRichText) put(out, "}");
    if (kind == kHtml) put(out, "</BODY></HTML>");
}

std::string document_escape(std::string_view text, int kind) {
    switch (kind) {
        case kPlainText: return std::string(text);
        case kRichText: return escape_rich(text);
        case kHtml: return escape_html(text);
        default: return {};
    }
}

// --- the three files ----------------------------------------------------------------------

const char* document_extension(int kind) {
    switch (kind) {
        case kPlainText: return ".txt";
        case kRichText: return ".rtf";
        case kHtml: return ".html";
        default: return nullptr;
    }
}

std::string document_path(const std::string& base, int kind) {
    const char* ext = document_extension(kind);
    return ext ? base + ext : std::string();
}

ReportDocument::~ReportDocument() { document_discard(this); }

namespace {

// Closes the memory streams; their bytes stay in doc->bytes. False when a stream had
// failed (out of memory).
bool close_streams(ReportDocument* doc) {
    bool ok = true;
    for (int kind = 0; kind < kDocumentKinds; ++kind) {
        std::FILE* f = doc->files[kind];
        if (!f) continue;
        if (std::ferror(f)) ok = false;
        if (std::fclose(f) != 0) ok = false;
        doc->files[kind] = nullptr;
    }
    return ok;
}

void free_bytes(ReportDocument* doc) {
    for (int kind = 0; kind < kDocumentKinds; ++kind) {
        std::free(doc->bytes[kind]);
        doc->bytes[kind] = nullptr;
        doc->sizes[kind] = 0;
    }
}

}  // namespace

void document_discard(ReportDocument* doc) {
    close_streams(doc);
    free_bytes(doc);
    doc->failed = false;
}

int document_open(ReportDocument* doc, const char* base) {
    document_discard(doc);
    doc->base.clear();
    if (!base || !*base || std::strlen(base) > kReportBaseMax) return -1;
    doc->base = base;
    for (int kind = 0; kind < kDocumentKinds; ++kind) {
        doc->files[kind] = ::open_memstream(&doc->bytes[kind], &doc->sizes[kind]);
        if (!doc->files[kind]) {
            document_discard(doc);
            return -1;
        }
        begin_document(doc->files[kind], kind);
    }
    return 1;
}

void document_line(ReportDocument* doc, unsigned targets, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = vformat(doc, format, args);
    va_end(args);
    emit(doc, targets, text, false);
}

void document_bold(ReportDocument* doc, unsigned targets, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = vformat(doc, format, args);
    va_end(args);
    emit(doc, targets, text, true);
}

void document_html(ReportDocument* doc, const char* format, ...) {
    if (!doc->files[kHtml]) return;
    va_list args;
    va_start(args, format);
    const std::string text = vformat(doc, format, args);
    va_end(args);
    put(doc->files[kHtml], text);
}

int document_close(ReportDocument* doc) {
    bool ok = !doc->failed && doc->files[0] && doc->files[1] && doc->files[2];
    for (int kind = 0; kind < kDocumentKinds; ++kind)
        if (doc->files[kind]) end_document(doc->files[kind], kind);
    ok = close_streams(doc) && ok;
    for (int kind = 0; ok && kind < kDocumentKinds; ++kind) {
        const std::string bytes(doc->bytes[kind] ? doc->bytes[kind] : "", doc->sizes[kind]);
        if (!file_replace(document_path(doc->base, kind), bytes, ReplaceMode::create)) ok = false;
    }
    document_discard(doc);
    return ok ? 1 : -1;
}

// --- time -----------------------------------------------------------------------------------

std::string report_time_text(std::time_t when) {
    static constexpr char kDays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm tm{};
    if (!::localtime_r(&when, &tm) || tm.tm_wday < 0 || tm.tm_wday > 6 || tm.tm_mon < 0 || tm.tm_mon > 11)
        return "??? ??? ?? ??:??:?? ????\n";
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %2d %02d:%02d:%02d %lld\n", kDays[tm.tm_wday], kMonths[tm.tm_mon],
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<long long>(tm.tm_year) + 1900);
    return text;
}
