#include <gtest/gtest.h>

#include <string>

#include "shell/regfile.h"

namespace {

constexpr char kKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmar Software\\Hopscope\\1.3";
const std::string kHead = std::string("REGEDIT4\n\n[") + kKey + "]\n";

RegKey parse_ok(const std::string& text) {
    RegKey key;
    EXPECT_EQ(regfile_parse(text, kKey, &key), 1) << text;
    return key;
}

std::string data_of(const RegKey& key, const char* name) {
    const RegValue* v = key.find(name);
    return v ? v->data : "<none>";
}

}  // namespace

TEST(RegFile, AcceptsTheExportForms) {
    struct Case {
        const char* line;
        uint32_t type;
        std::string data;
    };
    const Case cases[] = {
        {"\"v\"=\"plain\"", kRegText, "plain"},
        {"\"v\"=\".\\\\ethers\"", kRegText, ".\\ethers"},
        {"\"v\"=\"say \\\"hi\\\"\"", kRegText, "say \"hi\""},
        {"\"v\"=\"c:\\temp\"", kRegText, "c:\\temp"},  // a lone backslash is kept
        {"\"v\"=\"\"", kRegText, ""},
        {"\"v\" = \"spaced\"  ", kRegText, "spaced"},
        {"\"v\"=dword:0000000a", kRegDword, std::string("\x0a\0\0\0", 4)},
        {"\"v\"=DWORD:A", kRegDword, std::string("\x0a\0\0\0", 4)},
        {"\"v\"=dword:ffffffff", kRegDword, std::string("\xff\xff\xff\xff", 4)},
        {"\"v\"=hex:01,ab,FF", kRegBinary, "\x01\xab\xff"},
        {"\"v\"=hex:", kRegBinary, ""},
        {"\"v\"=hex(7):61,00,00", 7, std::string("a\0\0", 3)},
        {"\"v\"=hex(1):41,42,\\\n  43,44", 1, "ABCD"},  // continued on the next line
        {"\"odd \\\"name\\\"\"=\"x\"", kRegText, "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        RegKey key = parse_ok(kHead + c.line + "\n");
        ASSERT_EQ(key.values.size(), 1u);
        EXPECT_EQ(key.values[0].type, c.type);
        EXPECT_EQ(key.values[0].data, c.data);
    }
}

TEST(RegFile, SkipsMalformedLinesAndKeepsTheRest) {
    const char* bad[] = {
        "\"v\"=\"unterminated",
        "\"v\"=\"x\" trailing",
        "\"v\"=dword:123456789",  // more than 32 bits
        "\"v\"=dword:12g4",
        "\"v\"=hex:1,2,",
        "\"v\"=hex:123",
        "\"v\"=hex(zz):01",
        "\"v\"=hex(1)01",
        "\"v\"=12",
        "\"v\"",
        "v=\"x\"",
        "\"v",
    };
    for (const char* line : bad) {
        SCOPED_TRACE(line);
        RegKey key = parse_ok(kHead + "\"before\"=\"1\"\n" + line + "\n\"after\"=\"2\"\n");
        EXPECT_EQ(key.find("v"), nullptr);
        EXPECT_EQ(data_of(key, "before"), "1");
        EXPECT_EQ(data_of(key, "after"), "2");
    }
}

TEST(RegFile, OnlyTheKeysOwnSectionCounts) {
    RegKey key = parse_ok(std::string("\xEF\xBB\xBF") + "REGEDIT4\r\n\r\n; comment\r\n\"loose\"=\"no\"\r\n"
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\"a\"=\"no\"\r\n"
                          "[hkey_local_machine\\software\\velmar software\\hopscope\\1.3]\r\n"
                          "\"A\"=\"first\"\r\n\"b\"=\"yes\"\r\n\"a\"=\"second\"\r\n\"b\"=-\r\n"
                          "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmar Software\\Hopscope\\1.3]\r\n\"c\"=\"no\"\r\n");
    ASSERT_EQ(key.values.size(), 1u);
    EXPECT_EQ(key.values[0].name, "A");  // the name as first written, the data as last
    EXPECT_EQ(data_of(key, "a"), "second");
    EXPECT_EQ(key.find("b"), nullptr);
    EXPECT_EQ(key.find("loose"), nullptr);
}

TEST(RegFile, RejectsTextThatIsNoKeyFile) {
    RegKey key;
    for (const char* text : {"", "\n\n", "REGEDIT5\n", "Windows Registry Editor Version 5.00\n", "[x]\nREGEDIT4\n"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(regfile_parse(text, kKey, &key), -1);
    }
    EXPECT_EQ(regfile_parse("  REGEDIT4  \n", kKey, &key), 1);
    EXPECT_TRUE(key.values.empty());
}

TEST(RegFile, EveryValueSurvivesFormattingAndParsing) {
    RegKey key;
    key.set("text", kRegText, "a \"quoted\" c:\\path\\");
    key.set("multi line", kRegText, "one\ntwo\r\n");  // cannot stand between quotes
    key.set("nul", kRegText, std::string("a\0b", 3));
    key.set("dword", kRegDword, regfile_dword(-2));
    key.set("short dword", kRegDword, "\x01\x02");  // not 4 bytes: kept as they are
    key.set("binary", kRegBinary, std::string("\0\xff", 2));
    key.set("other", 0x2a, "x");
    key.set("name \"with\" \\ marks", kRegText, "");
    const std::string text = regfile_format(key, kKey);
    EXPECT_NE(text.find("\"dword\"=dword:fffffffe\n"), std::string::npos);
    EXPECT_NE(text.find("\"multi line\"=hex(1):6f,6e,65,0a,74,77,6f,0d,0a\n"), std::string::npos);
    RegKey back = parse_ok(text);
    ASSERT_EQ(back.values.size(), key.values.size());
    for (size_t i = 0; i < key.values.size(); ++i) {
        SCOPED_TRACE(key.values[i].name);
        EXPECT_EQ(back.values[i].name, key.values[i].name);
        EXPECT_EQ(back.values[i].type, key.values[i].type);
        EXPECT_EQ(back.values[i].data, key.values[i].data);
    }
}
