// Fuzz target: any bytes as rich text, and any bytes as a report line.
//  - the reader returns on every input (the corpus replay's time-out catches a hang),
//    with no more text than three bytes for each input byte, no empty runs, and every
//    limit respected, with the default limits and with small ones;
//  - a line written by the report writer reads back as the same characters: for
//    input that is UTF-8, the rich-text form of the text read by the reader is the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "reports/document.h"
#include "reports/rtf_reader.h"
#include "base/text.h"

namespace {

void check(const RtfDocument& doc, size_t size, const RtfLimits& limits) {
    size_t text = 0, runs = 0;
    for (const RtfParagraph& p : doc.paragraphs) {
        for (const RtfRun& r : p.runs) {
            if (r.text.empty()) std::abort();
            if (r.size < 1 || r.size > 3276) std::abort();
            (void)rtf_font(doc, r.font);
            text += r.text.size();
        }
        runs += p.runs.size();
    }
    if (text > 3 * size || text > limits.max_text + 3) std::abort();
    if (runs > limits.max_runs || doc.paragraphs.size() > limits.max_paragraphs) std::abort();
    if (doc.paragraphs.empty() || doc.fonts.size() > limits.max_fonts || doc.colours.size() > limits.max_colours)
        std::abort();
    for (size_t i = 1; i < doc.fonts.size(); ++i)
        if (doc.fonts[i - 1].index >= doc.fonts[i].index) std::abort();
    (void)rtf_plain_text(doc);
}

bool is_utf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    for (size_t i = 0; i < s.size();) {
        char32_t cp;
        const size_t n = utf8_decode(p + i, s.size() - i, &cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    RtfDocument doc;
    const RtfLimits defaults;
    if (rtf_read(text, size, &doc, defaults) == 1) check(doc, size, defaults);

    RtfLimits small;
    small.max_depth = 3;
    small.max_text = 64;
    small.max_runs = 4;
    small.max_paragraphs = 4;
    small.max_fonts = 2;
    small.max_colours = 2;
    small.max_font_name = 4;
    if (rtf_read(text, size, &doc, small) == 1) check(doc, size, small);

    const std::string_view line(text, size);
    const std::string rtf = std::string("{\\rtf1 ") + document_escape(line, kRichText) + "}";
    if (rtf_read(rtf.data(), rtf.size(), &doc) != 1 || doc.damage != 0) std::abort();
    if (is_utf8(line) && rtf_plain_text(doc) != line) std::abort();
    return 0;
}
