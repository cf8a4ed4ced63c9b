// Stroke fonts: loading font.bin (good, short, missing and hostile files), character
// sizes, the strokes drawn, and the text width the traffic model uses.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/canvas.h"
#include "graphics/hershey.h"
#include "support/pcap_writer.h"

using testsupport::Canvas;
using testing::ExitedWithCode;

namespace {

const std::string kShippedFont = std::string(HOPSCOPE_DATA_DIR) + "/font.bin";

const std::string& font_dir() {
    static const std::string dir = [] {
        std::string d = testsupport::temp_path("fonts");
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void put16(std::vector<uint8_t>* out, int v) {
    out->push_back(uint8_t(v & 0xff));
    out->push_back(uint8_t((v >> 8) & 0xff));
}

// A font file from its header values and stroke records (total counts the records'
// bytes unless given).
std::vector<uint8_t> font_bytes(int ascender, int descender, int max_width, const std::vector<std::string>& records,
                                int total = -1) {
    std::vector<uint8_t> out;
    int bytes = 0;
    for (const auto& r : records) bytes += int(r.size());
    put16(&out, int(records.size()));
    put16(&out, total >= 0 ? total : bytes / 2);
    put16(&out, ascender);
    put16(&out, descender);
    put16(&out, max_width);
    for (const auto& r : records) {
        put16(&out, int(r.size()));
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

// Writes a font file into the test font directory and returns its name there.
std::string write_font(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(font_dir() + "/" + name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                  std::streamsize(bytes.size()));
    return name;
}

// A two-character font: ' ' 4 units wide, '!' 10 units wide with two strokes. Height
// ascender - descender = 15, widest 12, so htextsize(15, 15) gives a scale of 1.
std::vector<uint8_t> small_font() { return font_bytes(10, -5, 12, {"PT", "MWRIRR RRURW"}); }

void load_from_font_dir(const std::string& name) {
    hfontdir(font_dir().c_str());
    hloadfont(name.c_str());
}

std::string escape_regex(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (std::string("\\.^$|()[]{}*+?").find(c) != std::string::npos) out += '\\';
        out += c;
    }
    return out;
}

std::string expected_path(const char* name) { return std::string(HOPSCOPE_TEST_DIR) + "/graphics/data/" + name; }

}  // namespace

TEST(FontLoad, ShippedFontLoadsWithItsMetrics) {
    hfontdir(HOPSCOPE_DATA_DIR);
    hloadfont("font.bin");
    // 96 characters (32..127), ascender 16, descender -16, widest 30: S = 32.
    htextsize(32, 32);
    float w = 0, h = 0;
    hgetcharsize('A', &w, &h);
    EXPECT_FLOAT_EQ(w, 18);
    EXPECT_FLOAT_EQ(h, 32);
    hgetcharsize(' ', &w, &h);
    EXPECT_FLOAT_EQ(w, 16);
    hgetcharsize('W', &w, &h);
    EXPECT_FLOAT_EQ(w, 24);
    hgetcharsize('\x7f', &w, &h);
    EXPECT_FLOAT_EQ(w, 16);
    // Control characters and bytes of 128 and above measure as the first character.
    hgetcharsize('\n', &w, &h);
    EXPECT_FLOAT_EQ(w, 16);
    hgetcharsize(char(0xe9), &w, &h);
    EXPECT_FLOAT_EQ(w, 16);
    // The map's text size at font scale 0.5.
    htextsize(0.03f, 0.03f);
    hgetcharsize('A', &w, &h);
    EXPECT_FLOAT_EQ(w, 18 * 0.03f / 32);
    EXPECT_FLOAT_EQ(h, 0.03f);
}

TEST(FontLoad, ScalesFollowTheLargerOfHeightAndWidestCharacter) {
    // Ascender - descender 30 and widest 25: htextsize(0.03, 0.03) gives 0.001.
    load_from_font_dir(write_font("scale30.bin", font_bytes(10, -20, 25, {"PT", "HRRRRR"})));
    htextsize(0.03f, 0.03f);
    float w = 0, h = 0;
    hgetcharsize('!', &w, &h);
    EXPECT_FLOAT_EQ(w, 10 * 0.001f);
    EXPECT_FLOAT_EQ(h, 30 * 0.001f);
    EXPECT_FLOAT_EQ(htextwidth("!!  "), (10 + 10 + 4 + 4) * 0.001f);

    // Widest 40 beats a height of 10; x and y scale apart.
    load_from_font_dir(write_font("wide40.bin", font_bytes(5, -5, 40, {"PT", "HRRRRR"})));
    htextsize(0.4f, 0.2f);
    hgetcharsize('!', &w, &h);
    EXPECT_FLOAT_EQ(w, 10 * 0.01f);
    EXPECT_FLOAT_EQ(h, 10 * 0.005f);
}

TEST(FontLoad, CodesOutsideTheFontUseTheFirstOrLastCharacter) {
    load_from_font_dir(write_font("small.bin", small_font()));
    htextsize(15, 15);
    float w = 0, h = 0;
    for (char c : {'\x01', '\x1f', char(0x80), char(0xff)}) {
        hgetcharsize(c, &w, &h);
        EXPECT_FLOAT_EQ(w, 4) << int(c);
    }
    for (char c : {'"', '~', '\x7f'}) {
        hgetcharsize(c, &w, &h);
        EXPECT_FLOAT_EQ(w, 10) << int(c);
    }
    // The same strokes (after the header line naming the character).
    const std::string tilde = hcharstr_dump("~"), bang = hcharstr_dump("!");
    EXPECT_EQ(tilde.substr(tilde.find('\n')), bang.substr(bang.find('\n')));
}

TEST(FontLoad, LoadingTheSameNameTwiceReadsTheFileOnce) {
    const std::string name = write_font("twice.bin", small_font());
    load_from_font_dir(name);
    std::filesystem::remove(font_dir() + "/" + name);
    hloadfont(name.c_str());  // would fail to open if it read again
    htextsize(15, 15);
    EXPECT_FLOAT_EQ(htextwidth("!"), 10);
}

TEST(FontLoad, AbsoluteNamesAreRememberedByTheirLastPart) {
    write_font("absolute.bin", font_bytes(10, -5, 12, {"PT", "PX"}));  // '!' 8 wide
    hfontdir("/nonexistent-font-dir");
    hloadfont((font_dir() + "/absolute.bin").c_str());
    hloadfont("absolute.bin");  // the same font: nothing to open
    htextsize(15, 15);
    EXPECT_FLOAT_EQ(htextwidth("!"), 8);
}

TEST(FontLoad, EnvironmentGivesTheDirectoryWhenNoneWasSet) {
    write_font("env-h.bin", font_bytes(10, -5, 12, {"PT", "PV"}));  // '!' 6 wide
    write_font("env-v.bin", font_bytes(10, -5, 12, {"PT", "PX"}));  // '!' 8 wide
    hfontdir(nullptr);
    setenv("HFONTLIB", font_dir().c_str(), 1);
    setenv("VFONTLIB", "/nonexistent-font-dir", 1);
    hloadfont("env-h.bin");
    htextsize(15, 15);
    EXPECT_FLOAT_EQ(htextwidth("!"), 6);
    unsetenv("HFONTLIB");
    setenv("VFONTLIB", (font_dir() + "/").c_str(), 1);
    hloadfont("env-v.bin");
    htextsize(15, 15);
    EXPECT_FLOAT_EQ(htextwidth("!"), 8);
    unsetenv("VFONTLIB");
    EXPECT_EXIT(hloadfont("nothere.bin"), ExitedWithCode(1),
                "^hershlib: Can't open Hershey fontfile 'c:/lib/hershey/nothere\\.bin' or '\\./nothere\\.bin'\\.\n$");
    hfontdir(".");
}

TEST(FontLoad, ExtraBytesAndOddRecordsAreHarmless) {
    std::vector<uint8_t> bytes = font_bytes(10, -5, 12, {"PT", "MWRIRR RRURWQ"}, 8);  // odd: trailing 'Q'
    bytes.insert(bytes.end(), 5000, 0xee);
    load_from_font_dir(write_font("extra.bin", bytes));
    htextsize(15, 15);
    load_from_font_dir(write_font("small-again.bin", small_font()));
    const std::string plain = hcharstr_dump("!");
    load_from_font_dir("extra.bin");
    EXPECT_EQ(hcharstr_dump("!"), plain);
}

TEST(FontLoadDeathTest, MissingFile) {
    const std::string expected = "^hershlib: Can't open Hershey fontfile '" + escape_regex(font_dir()) +
                                 "/missing\\.bin' or '\\./missing\\.bin'\\.\n$";
    EXPECT_EXIT(load_from_font_dir("missing.bin"), ExitedWithCode(1), expected);
}

TEST(FontLoadDeathTest, ShortFilesCannotBeRead) {
    const std::vector<uint8_t> good = read_bytes(kShippedFont);
    ASSERT_GT(good.size(), 100u);
    // Cut in the header, before and inside the first length, inside the first record,
    // and one byte before the end.
    for (size_t cut : {size_t(0), size_t(5), size_t(10), size_t(11), size_t(13), good.size() - 1}) {
        const std::string name = "short-" + std::to_string(cut) + ".bin";
        write_font(name, std::vector<uint8_t>(good.begin(), good.begin() + long(cut)));
        const std::string expected =
            "^hershlib: problem reading font file '" + escape_regex(font_dir() + "/" + name) + "'\\.\n$";
        EXPECT_EXIT(load_from_font_dir(name), ExitedWithCode(1), expected) << cut;
    }
}

TEST(FontLoadDeathTest, HostileFilesAreRefusedWithAReason) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"no-chars.bin", font_bytes(10, -5, 12, {}), "it holds no characters"},
        {"negative-count.bin", [] { auto b = small_font(); b[0] = 0xfe; b[1] = 0xff; return b; }(),
         "it holds no characters"},
        {"negative-total.bin", font_bytes(10, -5, 12, {"PT"}, 0x8000), "its stroke total is negative"},
        {"negative-length.bin", [] { auto b = small_font(); b[10] = 0xfe; b[11] = 0xff; return b; }(),
         "a character record has a bad length"},
        {"no-extents.bin", font_bytes(10, -5, 12, {"P", "MW"}), "a character record has a bad length"},
        {"overflow.bin", font_bytes(10, -5, 12, {"PT", "MWRIRR"}, 2),
         "the characters hold more strokes than its stroke total"},
        {"flat.bin", font_bytes(3, 3, 0, {"PT"}), "its character height and width are both zero"},
    };
    for (const auto& c : cases) {
        write_font(c.name, c.bytes);
        const std::string expected = "^hershlib: font file '" + escape_regex(font_dir() + "/" + c.name) +
                                     "' is not a font: " + c.reason + "\\.\n$";
        EXPECT_EXIT(load_from_font_dir(c.name), ExitedWithCode(1), expected) << c.name;
    }
    // A huge character count with little data behind it is a short read, not a crash.
    write_font("huge-count.bin", font_bytes(10, -5, 12, std::vector<std::string>(3, "PT")));
    auto huge = read_bytes(font_dir() + "/huge-count.bin");
    huge[0] = 0xff;
    huge[1] = 0x7f;
    write_font("huge-count.bin", huge);
    EXPECT_EXIT(load_from_font_dir("huge-count.bin"), ExitedWithCode(1), "problem reading font file");
}

TEST(FontLoadDeathTest, RoutinesNeedALoadedFont) {
    // Each check runs in a fresh process, where no font has been loaded.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            if (htextwidth("abc") == 0) htextsize(1, 1);
        },
        ExitedWithCode(1), "^htextsize: no hershey font loaded\\.\n$");
    float w = 0, h = 0;
    EXPECT_EXIT(hgetcharsize('a', &w, &h), ExitedWithCode(1), "^hgetcharsize: no hershey font loaded\\.\n$");
    EXPECT_EXIT(hcharstr("a"), ExitedWithCode(1), "^hcharstr: no hershey font loaded\\.\n$");
}

TEST(FontStrokes, DrawingRulesOnASmallFont) {
    load_from_font_dir(write_font("rules.bin", small_font()));
    htextsize(15, 15);
    // Points sit on the descender line (y = 82 - byte - descender) from the left extent;
    // a space pair lifts the pen; the last move goes to the next character's origin.
    EXPECT_EQ(hcharstr_dump("! "),
              "char '!' width 10\n"
              "  move 5 14\n"
              "  draw 5 5\n"
              "  move 5 2\n"
              "  draw 5 0\n"
              "  move 10 0\n"
              "char ' ' width 4\n"
              "  move 14 0\n");
    htextsize(30, 7.5f);
    EXPECT_EQ(hcharstr_dump("!"),
              "char '!' width 20\n"
              "  move 10 7\n"
              "  draw 10 2.5\n"
              "  move 10 1\n"
              "  draw 10 0\n"
              "  move 20 0\n");
}

TEST(FontStrokes, ShippedFontMatchesTheReviewedDump) {
    hfontdir(HOPSCOPE_DATA_DIR);
    hloadfont("font.bin");
    htextsize(32, 32);
    const std::string actual = hcharstr_dump("Ag1 .:-");
    const std::string path = expected_path("strokes_simplex.txt");
    if (std::getenv("HOPSCOPE_REFRESH_EXPECTED")) {
        std::ofstream(path) << actual;
        GTEST_SKIP() << "rewrote " << path;
    }
    const std::vector<uint8_t> expected = read_bytes(path);
    EXPECT_EQ(actual, std::string(expected.begin(), expected.end()));
}

TEST(FontStrokes, TextIsDrawnThroughTheLibrary) {
    hfontdir(HOPSCOPE_DATA_DIR);
    hloadfont("font.bin");
    Canvas canvas;
    ortho2(0, 99, 0, 99);  // one world unit per pixel
    htextsize(32, 32);     // one font unit per world unit
    color(7);
    linewidth(0);

    // Nothing at all for an empty text.
    move2(10, 10);
    hcharstr("");
    EXPECT_EQ(canvas.lit(), 0);
    EXPECT_FLOAT_EQ(graphics_state().x, 10);

    // A space advances by its width and draws nothing.
    hcharstr(" ");
    EXPECT_EQ(canvas.lit(), 0);
    EXPECT_FLOAT_EQ(graphics_state().x, 26);

    // 'I' is one vertical stroke 4 units right of its left edge, from 7 to 28 units above
    // the descender line: rows 99 - 17 .. 99 - 38 at column 10 + 4.
    move2(10, 10);
    hcharstr("I");
    EXPECT_FLOAT_EQ(graphics_state().x, 18);
    EXPECT_FLOAT_EQ(graphics_state().y, 10);
    EXPECT_EQ(canvas.lit(QRect(14, 61, 1, 22)), 22);
    EXPECT_EQ(canvas.lit(), 22);

    // Rotated a quarter turn, the same stroke lies along a row.
    canvas.image().fill(0);
    dupmatrix();
    translate(50, 50, 0);
    rot(90, 'z');
    move2(0, 0);
    hcharstr("I");
    popmatrix();
    EXPECT_EQ(canvas.lit(QRect(22, 45, 22, 1)), 22);
    EXPECT_EQ(canvas.lit(), 22);
}

TEST(FontStrokes, TextWidthIsTheSumOfCharacterWidths) {
    hfontdir(HOPSCOPE_DATA_DIR);
    hloadfont("font.bin");
    htextsize(0.03f, 0.03f);
    const char* label = "00:1B:21:3A:4F:5C";
    float sum = 0;
    for (const char* p = label; *p; ++p) {
        float w, h;
        hgetcharsize(*p, &w, &h);
        sum += w;
    }
    EXPECT_FLOAT_EQ(htextwidth(label), sum);
    EXPECT_EQ(htextwidth(""), 0);
    EXPECT_EQ(htextwidth(nullptr), 0);
}
