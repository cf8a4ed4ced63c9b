// The text helpers of src/base against the cases in data/text_cases.txt, and the base-16
// token reader against the standard conversion it stands in for.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/path.h"
#include "base/scan.h"
#include "base/text.h"

namespace {

std::string unescape(const std::string& field) {
    if (field == "-") return "";
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out.push_back(field[i]);
            continue;
        }
        const char c = field[++i];
        switch (c) {
            case 't': out.push_back('\t'); break;
            case 'r': out.push_back('\r'); break;
            case 'n': out.push_back('\n'); break;
            case 'v': out.push_back('\v'); break;
            case 'f': out.push_back('\f'); break;
            case 'x':
                out.push_back(static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16)));
                i += 2;
                break;
            default:
                out.push_back('\\');
                out.push_back(c);
                break;
        }
    }
    return out;
}

struct Case {
    int line;
    std::vector<std::string> fields;
};

std::vector<Case> cases(const std::string& kind) {
    std::ifstream in(std::string(HOPSCOPE_TEST_DIR) + "/base/data/text_cases.txt");
    EXPECT_TRUE(in) << "no case file";
    std::vector<Case> out;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        for (size_t at = 0;;) {
            const size_t bar = line.find(" | ", at);
            fields.push_back(line.substr(at, bar == std::string::npos ? std::string::npos : bar - at));
            if (bar == std::string::npos) break;
            at = bar + 3;
        }
        if (fields[0] == kind) out.push_back({number, {fields.begin() + 1, fields.end()}});
    }
    EXPECT_FALSE(out.empty()) << "no cases of kind " << kind;
    return out;
}

unsigned hex_byte(const std::string& token) { return scan_hex_byte(token.data(), token.data() + token.size()); }

}  // namespace

TEST(ScanHexByte, ReadsTokensAsTheCaseFileSays) {
    for (const Case& c : cases("hex")) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        ASSERT_EQ(c.fields.size(), 2u);
        EXPECT_EQ(hex_byte(unescape(c.fields[0])), std::stoul(c.fields[1], nullptr, 16));
    }
}

// Tokens never hold a separator ('.', '-', ':', space, tab, newline); for every other
// mix of characters the reader agrees with strtoul(token, 16) on the low byte.
TEST(ScanHexByte, AgreesWithTheStandardConversion) {
    const std::string alphabet = "0123456789abcdefABCDEFxX+gz\r\v\f";
    std::mt19937 random(20240);
    for (int i = 0; i < 20000; ++i) {
        std::string token;
        const int length = int(random() % 12);
        for (int k = 0; k < length; ++k) token.push_back(alphabet[random() % alphabet.size()]);
        SCOPED_TRACE(token);
        EXPECT_EQ(hex_byte(token), std::strtoul(token.c_str(), nullptr, 16) & 0xFF);
    }
}

TEST(Utf8Prefix, NeverEndsInsideASequence) {
    for (const Case& c : cases("utf8")) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        ASSERT_EQ(c.fields.size(), 3u);
        const std::string text = unescape(c.fields[0]);
        EXPECT_EQ(utf8_prefix(text.data(), text.size(), std::stoul(c.fields[1])), std::stoul(c.fields[2]));
    }
}

TEST(Utf8Decode, ReadsOneSequenceAsTheCaseFileSays) {
    for (const Case& c : cases("decode")) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        ASSERT_EQ(c.fields.size(), 3u);
        const std::string text = unescape(c.fields[0]);
        char32_t cp = 0xABCD;
        const size_t length = utf8_decode(reinterpret_cast<const unsigned char*>(text.data()), text.size(), &cp);
        EXPECT_EQ(length, std::stoul(c.fields[1]));
        if (length) EXPECT_EQ(uint32_t(cp), std::stoul(c.fields[2], nullptr, 16));
        else EXPECT_EQ(uint32_t(cp), 0xABCDu) << "a failed decode leaves the character alone";
    }
}

// Every character encodes to a sequence that decodes to it again; what cannot be a
// character (surrogates, beyond U+10FFFF) encodes as U+FFFD.
TEST(Utf8Append, EncodesWhatDecodeReadsBack) {
    for (char32_t cp = 0; cp <= 0x110010; cp += (cp < 0x1000 ? 1 : 97)) {
        std::string s;
        utf8_append(&s, cp);
        char32_t back = 0;
        ASSERT_EQ(utf8_decode(reinterpret_cast<const unsigned char*>(s.data()), s.size(), &back), s.size())
            << uint32_t(cp);
        const bool valid = cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        EXPECT_EQ(uint32_t(back), valid ? uint32_t(cp) : 0xFFFDu) << uint32_t(cp);
    }
}

TEST(NativePath, BackslashesBecomeSlashes) {
    for (const Case& c : cases("path")) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        ASSERT_EQ(c.fields.size(), 2u);
        EXPECT_EQ(native_path(unescape(c.fields[0])), unescape(c.fields[1]));
    }
    EXPECT_EQ(native_path(static_cast<const char*>(nullptr)), "");
}

// Each byte is in the classes the scanners use, and in no other.
TEST(ScanClasses, PunctuationThatStartsAWordIsExactlyTheListedTwenty) {
    const std::string listed = "!#$%&()*+;<=>?@^{}|~";
    int punctuation = 0, name_starts = 0, hex = 0;
    for (int c = 0; c < 256; ++c) {
        const auto b = static_cast<unsigned char>(c);
        punctuation += scan_is_word_punctuation(b);
        name_starts += scan_is_name_start(b);
        hex += scan_is_hex(b);
        if (scan_is_word_punctuation(b)) {
            EXPECT_NE(listed.find(char(c)), std::string::npos) << c;
        }
        EXPECT_FALSE(scan_is_word_punctuation(b) && scan_is_name_char(b)) << c;
        EXPECT_EQ(scan_hex_value(b) >= 0, scan_is_hex(b)) << c;
    }
    EXPECT_EQ(punctuation, 20);
    EXPECT_EQ(name_starts, 53);
    EXPECT_EQ(hex, 22);
}
