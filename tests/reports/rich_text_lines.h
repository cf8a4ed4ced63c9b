// The lines of a report's rich text as the plain-text file holds them. The writer puts
// every line in a paragraph of its own after an empty first one: "\par", four spaces
// outside any group, then the line's group, whose text is the line and two spaces. Read
// back through rtf_read, the paragraphs give the plain text line by line; a paragraph
// of any other shape makes the result say where it went wrong.
#pragma once

#include <string>
#include <vector>

#include "reports/rtf_reader.h"

namespace report_tests {

struct RichLine {
    std::string text;
    bool bold = false;
};

// The lines, or an empty list with `*problem` set.
inline std::vector<RichLine> rich_text_lines(const RtfDocument& doc, std::string* problem) {
    std::vector<RichLine> lines;
    problem->clear();
    if (doc.paragraphs.empty() || !doc.paragraphs[0].runs.empty()) {
        *problem = "no empty first paragraph";
        return {};
    }
    for (size_t i = 1; i < doc.paragraphs.size(); ++i) {
        std::string indent, body;
        RichLine line;
        for (const RtfRun& run : doc.paragraphs[i].runs) {
            if (run.font != 3) {
                if (!body.empty()) *problem = "text after the line group in paragraph " + std::to_string(i);
                indent += run.text;
                continue;
            }
            if (run.size != 12 || run.has_rgb) *problem = "not 6-point Courier in paragraph " + std::to_string(i);
            if (!body.empty() && run.bold != line.bold) *problem = "mixed weight in paragraph " + std::to_string(i);
            line.bold = run.bold;
            body += run.text;
        }
        if (indent != "    ") *problem = "indent of paragraph " + std::to_string(i) + " is '" + indent + "'";
        if (body.size() < 2 || body.compare(body.size() - 2, 2, "  ") != 0)
            *problem = "paragraph " + std::to_string(i) + " does not end in two spaces";
        if (!problem->empty()) return {};
        line.text = body.substr(0, body.size() - 2);
        lines.push_back(std::move(line));
    }
    return lines;
}

// The lines joined as the plain-text file holds them: each followed by a line feed.
inline std::string rich_text_as_plain(const std::vector<RichLine>& lines) {
    std::string out;
    for (const RichLine& l : lines) out += l.text + "\n";
    return out;
}

}  // namespace report_tests
