// The report document writer: every report is written three times at once, as plain
// text, rich text (RTF) and HTML, line by line through four emitters that put the markup
// of each kind around a line's text.
//
//   emitter          plain text (0)   rich text (1)                          HTML (2)
//   begin_document   nothing          the rich-text header                   "<HTML>" "<BODY>"
//   write_line       text "\n"        "\par     {\plain\f3\fs12 " text "  }"  text "<BR>"
//   write_bold       text "\n"        "\par     {\f3\fs12\b " text "  }"      "<B>" text "</B><BR>"
//   end_document     nothing          "}"                                    "</BODY>" "</HTML>"
//
// The plain-text file holds the text exactly as given. In the other two kinds the text
// is written so that it reads back as the same characters: in rich text "\", "{" and "}"
// are escaped, a line feed becomes "\line", a tab "\tab", other control characters and
// bytes that are not UTF-8 become "\'hh", and every other non-ASCII character a "\uN?";
// in HTML "&", "<" and ">" become entities and non-ASCII characters numeric references.
// A host name, notify string or protocol label can therefore never break the document's
// structure (an unmatched "}" would otherwise end the rich-text document early, and a
// "<" would start a tag). Raw HTML (headings, tables) is written unchanged by
// document_html.
//
// ReportDocument writes the three files of one report ("%s.txt", "%s.rtf", "%s.html"
// after a base path) through the emitters, so that a report is a sequence of
// document_line, document_bold and document_html calls with the report's own printf
// formats. The three documents are composed in memory and written out (base/file.h's
// file_replace: beside the file, then renamed over it) only when the report is
// complete, so a reader never sees half a report and a report given up touches no file.
//
// No Qt. A ReportDocument belongs to the thread that writes the report.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

// Document kind.
enum DocumentKind : int {
    kPlainText = 0,
    kRichText = 1,
    kHtml = 2,
};
inline constexpr int kDocumentKinds = 3;

// The rich-text header, written whole by begin_document: font 3 is Courier, the colour
// table lists black, blue, cyan, green, magenta and red after the automatic colour.
inline constexpr char kRichTextHeader[] =
    "{\\rtf1\\ansi \\deff4\\deflang1033{\\fonttbl{\\f3\\fcourier\\fcharset0\\fprq0 Courier;}}"
    "{\\colortbl;\\red0\\green0\\blue0;\\red0\\green0\\blue255;\\red0\\green255\\blue255;"
    "\\red0\\green255\\blue0;\\red255\\green0\\blue255;\\red255\\green0\\blue0; }";

// --- the emitters ------------------------------------------------------------------------
// Each writes to a standard buffered output file and reports no error (the file's error
// indicator keeps any failure; ReportDocument checks it when the files are closed). An
// unknown kind writes nothing. A null text is an empty one.

void begin_document(std::FILE* out, int kind);
void write_line(std::FILE* out, const char* text, int kind);
void write_bold(std::FILE* out, const char* text, int kind);
void end_document(std::FILE* out, int kind);

// The text of one line as written inside the markup of `kind` (the escaping above).
[[nodiscard]] std::string document_escape(std::string_view text, int kind);

// --- the three files of a report ----------------------------------------------------------

// Which files a call writes to: a set of (1 << kind).
enum DocumentTargets : unsigned {
    kToText = 1u << kPlainText,
    kToRich = 1u << kRichText,
    kToHtml = 1u << kHtml,
    kToTextRich = kToText | kToRich,
    kToAll = kToText | kToRich | kToHtml,
};

// Longest base path accepted (characters, without the extension).
inline constexpr size_t kReportBaseMax = 1024;

struct ReportDocument {
    std::string base;                        // base path; the files are base + extension
    std::FILE* files[kDocumentKinds] = {};   // memory streams, open while the report is written
    char* bytes[kDocumentKinds] = {};        // what each stream holds (the stream's buffer)
    size_t sizes[kDocumentKinds] = {};
    bool failed = false;                     // a formatting failure (kept for the close)

    ReportDocument() = default;
    ReportDocument(const ReportDocument&) = delete;
    ReportDocument& operator=(const ReportDocument&) = delete;
    ~ReportDocument();  // a document never closed is discarded
};

// The file name extension of a kind: ".txt", ".rtf", ".html"; null for an unknown kind.
[[nodiscard]] const char* document_extension(int kind);

// The final path of one of the files: base + extension.
[[nodiscard]] std::string document_path(const std::string& base, int kind);

// Begins the three documents of a report after `base`. Nothing is written to disk yet.
// Returns 1, or -1 when the base is empty or longer than kReportBaseMax (or no memory
// stream can be made).
[[nodiscard]] int document_open(ReportDocument* doc, const char* base);

// write_line / write_bold of one printf-formatted text to each file of `targets`.
void document_line(ReportDocument* doc, unsigned targets, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void document_bold(ReportDocument* doc, unsigned targets, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Raw HTML, printf-formatted, written unchanged to the HTML file.
void document_html(ReportDocument* doc, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Ends each document and writes the three files (created, or replaced whole). Returns 1,
// or -1 when a text could not be formatted or a file could not be written (the files
// already written stay; see file_replace for what a failed one holds). The document is
// closed either way.
[[nodiscard]] int document_close(ReportDocument* doc);

// Drops the documents without writing anything.
void document_discard(ReportDocument* doc);

// --- time -----------------------------------------------------------------------------------

// The 24-character local-time text of a moment followed by a line feed:
// "Tue Jun 29 23:49:08 1993\n" (English names whatever the locale; the day of the month
// in two characters). A year outside 0..9999 is written with its own digits, so the text
// is then longer. An unrepresentable moment gives "??? ??? ?? ??:??:?? ????\n".
[[nodiscard]] std::string report_time_text(std::time_t when);
