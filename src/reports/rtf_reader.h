// A reader of rich text (RTF) into a neutral structure: paragraphs of styled runs, with
// the document's font and colour tables. It reads everything the report writer emits
// (document.h) and a reasonable subset beyond it:
//   - groups "{...}", control words with parameters and their delimiting space, control
//     symbols ("\\", "\{", "\}", "\~", "\-", "\_", "\*");
//   - "\'hh" (Windows-1252), "\uN" (with the "\ucN" characters after it skipped, and
//     surrogate pairs joined), "\par", "\line", "\tab", "\cell", "\row", a few named
//     punctuation words, "\binN" (skipped);
//   - "\b"/"\b0", "\plain", "\fN" with "\fonttbl" and "\deffN", "\fsN", "\cfN" with
//     "\colortbl";
//   - ignorable destinations "{\*\...}" and the usual non-text destinations (stylesheet,
//     info, pictures, headers and footers, list tables, ...), skipped whole.
// Raw line feeds and carriage returns are ignored, as rich text wants; text closes at
// the end of the document's outermost group.
//
// Hostile input is safe: the reader runs in time linear in the input, keeps at most
// RtfLimits::max_depth group states, never stores more than 32 letters of a control word
// or more than ten digits of a parameter, and stops (with kRtfTruncated) when the text,
// the runs, the paragraphs or the tables reach their limits. Unbalanced braces and
// groups nested too deep are recorded in RtfDocument::damage and read as well as they can.
//
// No Qt: the viewer turns the structure into a QTextDocument (qt/rtf_document.h); tests
// and the fuzz target use it headless. Thread-compatible (no shared state).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct RtfFont {
    int index = 0;         // the "\fN" that selects it
    std::string name;      // "Courier"; without the closing ";"
    std::string family;    // family word without its "f": "modern", "roman", "swiss",
                           // "nil", ... (also an unknown one such as "courier"); may be empty
    int pitch = 0;         // "\fprqN": 0 default, 1 fixed, 2 variable
};

struct RtfColour {
    bool automatic = true;  // an entry with no colour words (the table's usual first)
    unsigned char red = 0, green = 0, blue = 0;
};

struct RtfRun {
    std::string text;      // UTF-8; "\n" is a line break inside the paragraph, "\t" a tab
    bool bold = false;
    int font = -1;         // "\fN" in force (the "\deffN" font by default); -1: none
    int size = 24;         // half-points ("\fsN"); 24 is 12 points
    int colour = -1;       // colour table index ("\cfN"); -1: automatic
    bool has_rgb = false;  // the colour resolved through the table (false: automatic)
    unsigned char red = 0, green = 0, blue = 0;
};

struct RtfParagraph {
    std::vector<RtfRun> runs;  // neighbouring runs always differ in style; no run is empty
};

enum RtfDamage : unsigned {
    kRtfUnbalanced = 1u << 0,  // the outermost group never closed
    kRtfTooDeep = 1u << 1,     // groups nested beyond max_depth: their contents were dropped
    kRtfTruncated = 1u << 2,   // a limit was reached: reading stopped there
};

struct RtfDocument {
    std::vector<RtfParagraph> paragraphs;  // at least one after a successful read
    std::vector<RtfFont> fonts;            // ascending index, one entry per index
    std::vector<RtfColour> colours;        // in table order ("\cfN" is colours[N])
    int default_font = -1;                 // "\deffN"; -1 when the document has none
    unsigned damage = 0;                   // RtfDamage bits
};

struct RtfLimits {
    size_t max_depth = 100;               // group states kept
    size_t max_text = size_t{1} << 26;    // bytes of text (UTF-8) in all runs
    size_t max_runs = size_t{1} << 21;
    size_t max_paragraphs = size_t{1} << 21;
    size_t max_fonts = 1024;
    size_t max_colours = 1024;
    size_t max_font_name = 256;           // bytes kept of one font name
};

// Reads `size` bytes of rich text into *out (replacing what it held). Returns 1 when
// the data is rich text (it starts, after any white space, with "{\rtf"), with any
// damage recorded in out->damage; -1 otherwise, with *out empty.
[[nodiscard]] int rtf_read(const char* data, size_t size, RtfDocument* out, const RtfLimits& limits = {});

// The font with index `index`, or null.
[[nodiscard]] const RtfFont* rtf_font(const RtfDocument& doc, int index);

// The document's text: the runs of each paragraph, paragraphs separated by one "\n".
[[nodiscard]] std::string rtf_plain_text(const RtfDocument& doc);
