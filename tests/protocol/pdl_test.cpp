// The protocol definition language: what a file loads into (as a canonical dump), the
// spellings that must load the same, and the files that must be refused, each with its
// exact message and line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "protocol/pd.h"
#include "protocol/pdl.h"
#include "protocol/symbol.h"
#include "protocol_support.h"

using namespace prototest;

namespace {

// Loads `text` and expects success without a message; returns the canonical dump.
std::string load_ok(const std::string& text) {
    MessageCapture cap;
    ProtocolNode* root = load_text(text);
    EXPECT_NE(root, nullptr) << text;
    EXPECT_TRUE(cap.messages.empty()) << (cap.messages.empty() ? "" : cap.messages[0].text);
    return dump_tree(root);
}

TEST(PdlLoad, BuildsChildrenLastFieldFirstThenCatchAll) {
    EXPECT_EQ(load_ok("primitive A : 5 \"Alpha\"\n"
                      "primitive B : 7,9 \"Beta\"\n"
                      "protocol ROOT : 0 \"Root\" 14 {\n"
                      "  byte : 0 A\n"
                      "  word : 12,14 B\n"
                      "  mask lword : 3,3 M\n"
                      "}\n"
                      "protocol M : 0x01 \"Em\" 20 { byte : 1 N }\n"),
              "ROOT \"Root\" 0..0 w=0@0 hl=14\n"
              "  M \"Em\" mask 1..1 w=4@3 hl=20\n"
              "    N \"\" 0..0 w=1@1 hl=0\n"
              "    OTHER_M \"Other Em\" 0..4294967295 w=0@0 hl=0\n"
              "  B \"Beta\" 7..9 w=2@12,14 hl=0\n"
              "  A \"Alpha\" 5..5 w=1@0 hl=0\n"
              "  OTHER_ROOT \"Other Root\" 0..4294967295 w=0@0 hl=0\n");
}

TEST(PdlLoad, FieldBeforeOrAfterDefinitionIsOneNode) {
    const std::string before = "protocol ROOT : 0 \"R\" 0 { byte : 3 P }\nprotocol P : 9 \"Pe\" 4 { word : 0 Q }\n";
    const std::string after = "protocol P : 9 \"Pe\" 4 { word : 0 Q }\nprotocol ROOT : 0 \"R\" 0 { byte : 3 P }\n";
    const std::string expected =
        "ROOT \"R\" 0..0 w=0@0 hl=0\n"
        "  P \"Pe\" 9..9 w=1@3 hl=4\n"
        "    Q \"\" 0..0 w=2@0 hl=0\n"
        "    OTHER_P \"Other Pe\" 0..4294967295 w=0@0 hl=0\n"
        "  OTHER_ROOT \"Other R\" 0..4294967295 w=0@0 hl=0\n";
    EXPECT_EQ(load_ok(before), expected);
    EXPECT_EQ(load_ok(after), expected);
}

// Spellings that differ only in tokens the language treats as the same.
TEST(PdlLoad, EquivalentSpellingsLoadTheSame) {
    const std::string reference = load_ok(
        "primitive A : 5 \"Alpha\"\nprotocol ROOT : 0 \"Root\" 14 { byte : 1 A word : 2 B lword : 3,4 C }\n");
    const char* spellings[] = {
        // octet is byte
        "primitive A : 5 \"Alpha\"\nprotocol ROOT : 0 \"Root\" 14 { octet : 1 A word : 2 B lword : 3,4 C }\n",
        // hexadecimal, binary, leading zeros, decimal modulo 2^32
        "primitive A : 0x5 \"Alpha\"\nprotocol ROOT : 0x0 \"Root\" 0xE { byte : #1 A word : 0x2 B lword : 0003,#100 C }\n",
        "primitive A : 4294967301 \"Alpha\"\nprotocol ROOT : 4294967296 \"Root\" 14 { byte : 1 A word : 2 B lword : 3,4 C }\n",
        // an offset pair written twice the same is a single offset
        "primitive A : 5 \"Alpha\"\nprotocol ROOT : 0 \"Root\" 14 { byte : 1,1 A word : 2,2 B lword : 3,4 C }\n",
        // the catch-all's range written as the head's own "low,high"
        "primitive A : 5,5 \"Alpha\"\nprotocol ROOT : 0,0 \"Root\" 14 { byte : 1 A word : 2 B lword : 3,4 C }\n",
        // comments, tabs, carriage returns and no white space where none is needed
        "/* header */primitive/**/A:5\"Alpha\"\r\n\tprotocol ROOT:0\"Root\"14{byte:1 A/* x\n y */word:2 B lword:3,4 C}",
        "primitive A : 5 \"Alpha\" /* *a/b */ protocol ROOT : 0 \"Root\" 14 { byte : 1 A word : 2 B lword : 3,4 C }",
        "\r\rprimitive A : 5 \"Alpha\"\r protocol ROOT : 0 \"Root\" 14 { byte : 1 A word : 2 B lword : 3,4 C }\r",
    };
    for (const char* s : spellings) EXPECT_EQ(load_ok(s), reference) << s;
}

TEST(PdlLoad, NumberLiterals) {
    load_ok("primitive A : 4294967295 \"\" primitive B : 4294967296 \"\" primitive C : 99999999999 \"\"\n"
            "primitive D : 0xFFFFFFFF \"\" primitive E : 0x80000000 \"\" primitive F : 0x7ffffffe, 0xAbCdEf \"\"\n"
            "primitive G : #111111111111111111111111111111111 \"\" primitive H : #0101 \"\"\n"
            "primitive I : 0x1234567890abcdef0 \"\"\n"
            "protocol ROOT : 0 \"r\" 0 { byte : 0 Z }\n");
    auto low = [](const char* n) { return symbol_lookup(n)->node->low; };
    EXPECT_EQ(low("A"), 4294967295u);
    EXPECT_EQ(low("B"), 0u);
    EXPECT_EQ(low("C"), static_cast<uint32_t>(99999999999ull));
    EXPECT_EQ(low("D"), 0x7FFFFFFFu);
    EXPECT_EQ(low("E"), 0x7FFFFFFFu);
    EXPECT_EQ(low("F"), 0x7FFFFFFEu);
    EXPECT_EQ(symbol_lookup("F")->node->high, 0xABCDEFu);
    EXPECT_EQ(low("G"), 0x7FFFFFFFu);
    EXPECT_EQ(low("H"), 5u);
    EXPECT_EQ(low("I"), 0x7FFFFFFFu);
}

// "0X" and "0x" without a hexadecimal digit are no prefix: the number 0, then a name.
TEST(PdlLoad, ZeroFollowedByXIsZeroThenName) {
    EXPECT_EQ(load_ok("protocol ROOT : 0 \"r\" 0 { byte : 0X1F word : 0xg }"),
              "ROOT \"r\" 0..0 w=0@0 hl=0\n"
              "  xg \"\" 0..0 w=2@0 hl=0\n"
              "  X1F \"\" 0..0 w=1@0 hl=0\n"
              "  OTHER_ROOT \"Other r\" 0..4294967295 w=0@0 hl=0\n");
}

TEST(PdlLoad, NegativeLookingOffsetsAndLengthsWrapToSigned) {
    load_ok("protocol ROOT : 0 \"r\" 4294967295 { byte : 4294967294,2 A }");
    const ProtocolNode* a = symbol_lookup("A")->node;
    EXPECT_EQ(a->offset, -2);
    EXPECT_EQ(a->alt_offset, 2);
    EXPECT_TRUE(a->has_alt_offset);
    EXPECT_EQ(symbol_lookup("ROOT")->node->header_length, -1);
}

TEST(PdlLoad, LabelsKeepNewlinesBytesAndAreCutAt31) {
    load_ok("primitive A : 1 \"two\nlines\" primitive B : 1 \"cr\r\nlf\" primitive C : 1 \"caf\xc3\xa9 \x01\"\n"
            "primitive D : 1 \"0123456789012345678901234567890\"\n"         // 31: kept
            "primitive E : 1 \"0123456789012345678901234567890123\"\n"      // 34: cut
            "primitive F : 1 \"012345678901234567890123456789\xc3\xa9\"\n"  // 32 bytes, é would be split
            "protocol ROOT : 0 \"abcdefghijklmnopqrstuvwxyz\" 0 { byte : 0 A }\n");
    EXPECT_STREQ(symbol_lookup("A")->node->label, "two\nlines");
    EXPECT_STREQ(symbol_lookup("B")->node->label, "cr\nlf");
    EXPECT_STREQ(symbol_lookup("C")->node->label, "caf\xc3\xa9 \x01");
    EXPECT_STREQ(symbol_lookup("D")->node->label, "0123456789012345678901234567890");
    EXPECT_STREQ(symbol_lookup("E")->node->label, "0123456789012345678901234567890");
    EXPECT_STREQ(symbol_lookup("F")->node->label, "012345678901234567890123456789");
    EXPECT_STREQ(symbol_lookup("ROOT")->node->label, "abcdefghijklmnopqrstuvwxyz");
    EXPECT_STREQ(symbol_lookup("OTHER_ROOT")->node->label, "Other abcdefghijklmnopqrstuvwxy");
}

TEST(PdlLoad, NameTableHoldsEveryNameExactly) {
    load_ok("primitive IP : 1 \"ip\"\nprotocol ROOT : 0 \"r\" 0 { byte : 0 IP word : 1 ABCDEFGHIJKLMNOPQRS }\n"
            "protocol ABCDEFGHIJKLMNOPQRS : 1 \"long\" 0 { byte : 0 ip }\n");
    ASSERT_NE(symbol_lookup("IP"), nullptr);
    ASSERT_NE(symbol_lookup("ip"), nullptr);
    EXPECT_NE(symbol_lookup("IP")->node, symbol_lookup("ip")->node);
    EXPECT_EQ(symbol_lookup("Ip"), nullptr);
    EXPECT_EQ(symbol_lookup("I"), nullptr);
    EXPECT_EQ(symbol_lookup(nullptr), nullptr);
    // A catch-all of a 19-character name is longer than any name a file may write.
    ASSERT_NE(symbol_lookup("OTHER_ABCDEFGHIJKLMNOPQRS"), nullptr);
    EXPECT_STREQ(symbol_lookup("OTHER_ABCDEFGHIJKLMNOPQRS")->node->name, "OTHER_ABCDEFGHIJKLMNOPQRS");
    std::vector<std::string> names;
    symbol_foreach([&](const Symbol& s) {
        EXPECT_STREQ(s.name, s.node->name);
        names.emplace_back(s.name);
    });
    EXPECT_EQ(names, (std::vector<std::string>{"IP", "ROOT", "ABCDEFGHIJKLMNOPQRS", "OTHER_ROOT", "ip",
                                               "OTHER_ABCDEFGHIJKLMNOPQRS"}));
    EXPECT_EQ(symbol_count(), 6);
}

TEST(PdlLoad, LoadingAgainStartsFromAnEmptyTable) {
    const std::string text = "protocol ROOT : 0 \"r\" 0 { byte : 0 A }\n";
    const std::string first = load_ok(text);
    EXPECT_EQ(load_ok(text), first);
    EXPECT_EQ(symbol_count(), 3);
    load_ok("protocol ROOT : 0 \"r\" 0 { byte : 0 B }\n");
    EXPECT_EQ(symbol_lookup("A"), nullptr);
}

TEST(PdlLoad, ResetDropsTheClassifierTreeItOwned) {
    pd_set_root(load_text("protocol ROOT : 0 \"r\" 0 { byte : 0 A }\n"));
    ASSERT_NE(pd_root(), nullptr);
    symbol_reset();
    EXPECT_EQ(pd_root(), nullptr);
    EXPECT_EQ(symbol_count(), 0);
    ProtocolNode own{};
    pd_set_root(&own);
    symbol_reset();
    EXPECT_EQ(pd_root(), &own);  // a tree built elsewhere is left alone
    pd_set_root(nullptr);
}

TEST(PdlLoad, BackslashInPathIsASeparator) {
    const std::string path = write_text("protocol ROOT : 0 \"r\" 0 { byte : 0 A }\n", "backslash.pdl");
    std::string windows = path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    MessageCapture cap;
    EXPECT_NE(pdl_parse(windows.c_str()), nullptr);
    EXPECT_TRUE(cap.messages.empty());
}

// Files without ROOT load nothing and say why on standard output; no message box.
TEST(PdlLoad, NoRootYieldsNoTree) {
    for (const char* text : {"", "/* nothing */\n", "primitive A : 1 \"a\"\n", "protocol P : 0 \"p\" 0 { byte : 0 A }"}) {
        MessageCapture cap;
        const std::string path = write_text(text);
        testing::internal::CaptureStdout();
        EXPECT_EQ(pdl_parse(path.c_str()), nullptr) << text;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "pdl_parse: Warning - " + path + " defines no ROOT\n");
        EXPECT_TRUE(cap.messages.empty());
        EXPECT_EQ(symbol_count(), 0);
    }
}

TEST(PdlLoad, MissingFile) {
    for (const std::string& path : {std::string("/nonexistent/protocol.pdl"), std::string(".\\no-such-protocol.pdl"),
                                   std::filesystem::temp_directory_path().string()}) {
        MessageCapture cap;
        testing::internal::CaptureStdout();
        EXPECT_EQ(pdl_parse(path.c_str()), nullptr);
        // A directory is no protocol file either; the line says so rather than "not found".
        const bool directory = path == std::filesystem::temp_directory_path().string();
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "pdl_parse: Warning - " + path + (directory ? " is not a regular file\n" : " not found\n"));
        ASSERT_EQ(cap.messages.size(), 1u);
        EXPECT_EQ(cap.messages[0].title, "Corvex");
        EXPECT_EQ(cap.messages[0].text, "Protocol Definition Language: Could not open file " + path + " for parsing");
        EXPECT_EQ(cap.messages[0].icon, MessageIcon::Warning);
    }
}

struct Reject {
    std::string text;
    std::string message;  // text of the "PDL Parse" message
};

TEST(PdlReject, ExactMessageAndLine) {
    const std::string twenty = "ABCDEFGHIJKLMNOPQRST";
    const Reject cases[] = {
        // grammar
        {"primitive A : 1 \"a\"\nprotocol ROOT : 0 \"r\" 0 {\n}\n", "parse error on line [3]"},
        {"protocol ROOT : 0 \"r\" 0 { byte : 0 A }\nprimitive B : 1 \"b\"\n", "parse error on line [2]"},
        {"protocol ROOT : 0 \"r\" 0 {\n Byte : 0 A }", "parse error on line [2]"},
        {"protocol ROOT : 0 \"r\" 0 { mask : 0 A }", "parse error on line [1]"},
        {"protocol ROOT : 0 \"r\" 0 { byte 0 A }", "parse error on line [1]"},
        {"protocol ROOT : 0 \"r\" 0 { byte : 0 }", "parse error on line [1]"},
        {"protocol ROOT : 0 \"r\" { byte : 0 A }", "parse error on line [1]"},
        {"protocol ROOT : 0 14 { byte : 0 A }", "parse error on line [1]"},
        {"protocol ROOT 0 \"r\" 0 { byte : 0 A }", "parse error on line [1]"},
        {"protocol ROOT : 0, \"r\" 0 { byte : 0 A }", "parse error on line [1]"},
        {"protocol ROOT : 0 \"r\" 0 { byte : 0,1,2 A }", "parse error on line [1]"},
        {"protocol ROOT : 0 \"r\" 0 { byte : 0 A }}", "parse error on line [1]"},
        {"primitive A : 1 \"a\" 5", "parse error on line [1]"},
        {"primitive byte : 1 \"a\"", "parse error on line [1]"},
        {"A : 1 \"a\"", "parse error on line [1]"},
        // the end of the file is detected on the line after the last line end
        {"primitive A : 1", "parse error on line [1]"},
        {"primitive A : 1\n", "parse error on line [2]"},
        {"primitive A : 1 \"a\"\nprotocol ROOT : 0 \"r\" 0 { byte : 0 A\n\n", "parse error on line [4]"},
        // lines counted through comments and labels; a token is reported where it ends
        {"/*\n\n*/ primitive A : 1 \"a\" primitive", "parse error on line [3]"},
        {"primitive A : 1 \"x\ny\nz\" primitive B : 2 3", "parse error on line [3]"},
        {"primitive A : 1 \"a\"\n\"x\ny\"", "parse error on line [3]"},
        {"primitive A : 1 \"a\"\r\n\r\nB", "parse error on line [3]"},
        // characters no rule accepts; an open string or comment leaves its first character
        {"primitive A : 1 \"abc\n\n", "parse error on line [1]"},
        {"primitive A : 1 \"a\"\n/* open\n\n", "parse error on line [2]"},
        {"primitive A : 1 \"a\"\n#2", "parse error on line [2]"},
        {"primitive A : 1 \"a\"\n#", "parse error on line [2]"},
        {"primitive A : 1 \"a\" ;", "parse error on line [1]"},
        {"primitive A : 1 \"a\"\n/", "parse error on line [2]"},
        {"primitive A : 1 \"a\"\n*/", "parse error on line [2]"},
        {"primitive A : 1 \"a\"\f", "parse error on line [1]"},
        {"primitive A : 1 \"a\"\v", "parse error on line [1]"},
        {std::string("primitive A : 1 \"a\"\n") + '\0', "parse error on line [2]"},
        {"primitive \xc3\x84 : 1 \"a\"", "parse error on line [1]"},
        {"primitive A : 0x \"a\"", "parse error on line [1]"},
        {"primitive A : -1 \"a\"", "parse error on line [1]"},
        // refused by the loader
        {"primitive " + twenty + " : 1 \"a\"", "name longer than 19 characters on line [1]"},
        {"protocol ROOT : 0 \"r\" 0 {\n byte : 0\n " + twenty + "0 }", "name longer than 19 characters on line [3]"},
        {"primitive A : 1 \"a\"\nprimitive A : 2 \"b\"", "A defined more than once on line [2]"},
        {"primitive A : 1 \"a\"\nprotocol A : 2 \"b\" 0 { byte : 0 B }", "A defined more than once on line [2]"},
        {"protocol ROOT : 0 \"r\" 0 {\n byte : 0 A\n byte : 1 A\n}", "A used as a field more than once on line [3]"},
        {"protocol ROOT : 0 \"r\" 0 { byte : 0 A }\nprotocol P : 1 \"p\" 0 { byte : 0 A }",
         "A used as a field more than once on line [2]"},
        {"protocol ROOT : 0 \"r\" 0 { byte : 0 ROOT }", "ROOT reachable from itself on line [1]"},
        {"protocol ROOT : 0 \"r\" 0 { byte : 0 A }\nprotocol A : 1 \"a\" 0 { byte : 0 B }\n"
         "protocol B : 1 \"b\" 0 {\n byte : 0 ROOT }",
         "ROOT reachable from itself on line [4]"},
        {"protocol A : 1 \"a\" 0 { byte : 0 B }\nprotocol B : 1 \"b\" 0 { byte : 0 C }\n"
         "protocol C : 1 \"c\" 0 { byte : 0 A }\nprotocol ROOT : 0 \"r\" 0 { byte : 0 X }",
         "A reachable from itself on line [3]"},
        {"primitive OTHER_P : 1 \"x\"\nprotocol P : 1 \"p\" 0 { byte : 0 A }", "OTHER_P already used on line [2]"},
        {"protocol P : 1 \"p\" 0 { byte : 0 OTHER_P }", "OTHER_P already used on line [1]"},
        {"protocol P : 1 \"p\" 0 { byte : 0 A }\nprotocol ROOT : 0 \"r\" 0 { byte : 0 OTHER_P }",
         "OTHER_P used as a field more than once on line [2]"},
        {"protocol P : 1 \"p\" 0 { byte : 0 A }\nprotocol OTHER_P : 1 \"o\" 0 { byte : 0 B }",
         "OTHER_P defined more than once on line [2]"},
        {"protocol ROOT : 0 \"r\" 0 { byte : 0 A }\nprotocol ROOT : 0 \"r\" 0 { byte : 0 B }",
         "ROOT defined more than once on line [2]"},
    };
    for (const Reject& c : cases) {
        MessageCapture cap;
        EXPECT_EQ(load_text(c.text), nullptr) << c.text;
        ASSERT_EQ(cap.messages.size(), 1u) << c.text;
        EXPECT_EQ(cap.messages[0].title, "PDL Parse") << c.text;
        EXPECT_EQ(cap.messages[0].text, c.message) << c.text;
        EXPECT_EQ(symbol_count(), 0) << c.text;
    }
}

// A reject in the middle of a file stops there: what followed is never read.
TEST(PdlReject, StopsAtTheFirstError) {
    MessageCapture cap;
    EXPECT_EQ(load_text("primitive A : 1 \"a\" ; ; ;\nprimitive"), nullptr);
    ASSERT_EQ(cap.messages.size(), 1u);
    EXPECT_EQ(cap.messages[0].text, "parse error on line [1]");
}

}  // namespace
