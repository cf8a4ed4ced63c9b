// The rich-text reader over the case table data/rtf_cases.txt: what it reads, styles,
// tables, damage, and hostile input that must return with bounded state.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "reports/rtf_reader.h"
#include "reports/table_file.h"

using namespace report_tests;

namespace {

std::string dump(const RtfDocument& doc) {
    std::string out;
    for (size_t i = 0; i < doc.paragraphs.size(); ++i) {
        if (i) out.push_back('|');
        for (const RtfRun& run : doc.paragraphs[i].runs) {
            std::string attrs;
            auto add = [&](const std::string& a) { attrs += (attrs.empty() ? "" : " ") + a; };
            if (run.bold) add("b");
            if (run.font != -1) add("f" + std::to_string(run.font));
            add("s" + std::to_string(run.size));
            if (run.has_rgb) {
                char rgb[8];
                std::snprintf(rgb, sizeof rgb, "#%02x%02x%02x", run.red, run.green, run.blue);
                add(rgb);
            }
            out += "[" + attrs + "]" + run.text;
        }
    }
    return out;
}

std::string fonts(const RtfDocument& doc) {
    std::string out;
    for (const RtfFont& f : doc.fonts)
        out += (out.empty() ? "" : " ") + std::to_string(f.index) + ":" + f.name + ":" + f.family + ":" +
               std::to_string(f.pitch);
    return out;
}

std::string colours(const RtfDocument& doc) {
    std::string out;
    for (const RtfColour& c : doc.colours) {
        char rgb[8];
        std::snprintf(rgb, sizeof rgb, "#%02x%02x%02x", c.red, c.green, c.blue);
        out += (out.empty() ? "" : " ") + (c.automatic ? std::string("auto") : std::string(rgb));
    }
    return out;
}

unsigned damage_bits(const std::string& words) {
    unsigned bits = 0;
    std::stringstream in(words);
    std::string w;
    while (std::getline(in, w, ',')) {
        if (w == "unbalanced") bits |= kRtfUnbalanced;
        else if (w == "deep") bits |= kRtfTooDeep;
        else if (w == "truncated") bits |= kRtfTruncated;
        else if (w != "none") ADD_FAILURE() << "unknown damage " << w;
    }
    return bits;
}

RtfLimits limits_of(const std::string& spec) {
    RtfLimits limits;
    std::stringstream in(spec);
    std::string item;
    while (in >> item) {
        const size_t eq = item.find('=');
        const std::string key = item.substr(0, eq);
        const size_t value = std::stoul(item.substr(eq + 1));
        if (key == "depth") limits.max_depth = value;
        else if (key == "text") limits.max_text = value;
        else if (key == "runs") limits.max_runs = value;
        else if (key == "paragraphs") limits.max_paragraphs = value;
        else ADD_FAILURE() << "unknown limit " << key;
    }
    return limits;
}

}  // namespace

TEST(RtfReader, CaseTable) {
    const std::vector<Case> cases = read_cases(data_path("rtf_cases.txt"));
    ASSERT_GT(cases.size(), 40u);
    for (const Case& c : cases) {
        const auto get = [&](const char* key) -> const std::string* {
            const auto it = c.find(key);
            return it == c.end() ? nullptr : &it->second;
        };
        SCOPED_TRACE(get("case") ? *get("case") : std::string("(unnamed)"));
        ASSERT_TRUE(get("in"));
        const std::string input = unescape(*get("in"));
        const RtfLimits limits = get("limits") ? limits_of(*get("limits")) : RtfLimits();
        RtfDocument doc;
        const int result = rtf_read(input.data(), input.size(), &doc, limits);
        EXPECT_EQ(result, get("result") ? std::stoi(*get("result")) : 1);
        if (result != 1) {
            EXPECT_TRUE(doc.paragraphs.empty());
            continue;
        }
        if (get("text")) {
            EXPECT_EQ(rtf_plain_text(doc), unescape(*get("text")));
        }
        if (get("dump")) {
            EXPECT_EQ(dump(doc), unescape(*get("dump")));
        }
        if (get("fonts")) {
            EXPECT_EQ(fonts(doc), unescape(*get("fonts")));
        }
        if (get("colours")) {
            EXPECT_EQ(colours(doc), unescape(*get("colours")));
        }
        EXPECT_EQ(doc.damage, damage_bits(get("damage") ? *get("damage") : "none"));

        // Bounded: never more text than three bytes for each input byte, never more runs
        // or paragraphs than the limits, every paragraph's runs differ from their
        // neighbours and none is empty.
        size_t text = 0, runs = 0;
        for (const RtfParagraph& p : doc.paragraphs) {
            for (size_t i = 0; i < p.runs.size(); ++i) {
                const RtfRun& r = p.runs[i];
                EXPECT_FALSE(r.text.empty());
                if (i) {
                    EXPECT_FALSE(r.bold == p.runs[i - 1].bold && r.font == p.runs[i - 1].font &&
                                 r.size == p.runs[i - 1].size && r.colour == p.runs[i - 1].colour);
                }
                text += r.text.size();
            }
            runs += p.runs.size();
        }
        EXPECT_LE(text, 3 * input.size());
        EXPECT_LE(text, limits.max_text + 3);
        EXPECT_LE(runs, limits.max_runs);
        EXPECT_LE(doc.paragraphs.size(), limits.max_paragraphs);
        EXPECT_GE(doc.paragraphs.size(), 1u);
    }
}

TEST(RtfReader, FontLookup) {
    const std::string rtf = "{\\rtf1{\\fonttbl{\\f9 Nine;}{\\f2 Two;}{\\f-1 Minus;}}}";
    RtfDocument doc;
    ASSERT_EQ(rtf_read(rtf.data(), rtf.size(), &doc), 1);
    ASSERT_NE(rtf_font(doc, 9), nullptr);
    EXPECT_EQ(rtf_font(doc, 9)->name, "Nine");
    EXPECT_EQ(rtf_font(doc, 2)->name, "Two");
    EXPECT_EQ(rtf_font(doc, -1)->name, "Minus");
    EXPECT_EQ(rtf_font(doc, 3), nullptr);
    EXPECT_EQ(rtf_font(doc, 10), nullptr);
}

// A document read twice into the same record replaces what it held.
TEST(RtfReader, ReadReplacesTheRecord) {
    RtfDocument doc;
    const std::string a = "{\\rtf1{\\fonttbl{\\f1 A;}}\\b a\\par b}";
    ASSERT_EQ(rtf_read(a.data(), a.size(), &doc), 1);
    const std::string b = "{\\rtf1 c";
    ASSERT_EQ(rtf_read(b.data(), b.size(), &doc), 1);
    EXPECT_EQ(rtf_plain_text(doc), "c");
    EXPECT_TRUE(doc.fonts.empty());
    EXPECT_EQ(doc.damage, unsigned{kRtfUnbalanced});
    ASSERT_EQ(rtf_read("x", 1, &doc), -1);
    EXPECT_TRUE(doc.paragraphs.empty());
}
