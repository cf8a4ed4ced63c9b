// Classification along small trees written in the definition language: test
// positions moved by header lengths, alternate offsets, masks, ranges, frames cut
// short, the path limit and the per-node counters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/pd.h"
#include "protocol/pdl.h"
#include "protocol/symbol.h"
#include "protocol_support.h"

using namespace prototest;

namespace {

class Classify : public testing::Test {
protected:
    void load(const std::string& text) {
        MessageCapture cap;
        root_ = load_text(text);
        ASSERT_NE(root_, nullptr) << (cap.messages.empty() ? text : cap.messages[0].text);
        pd_set_root(root_);
    }
    void TearDown() override {
        pd_set_root(nullptr);
        symbol_reset();
    }
    // Names along the path, joined by "/".
    static std::string path_text(const ProtocolNode* const* path) {
        std::string s;
        for (int i = 0; path[i]; ++i) s += (i ? "/" : "") + std::string(path[i]->name);
        return s;
    }
    std::string classify(const std::vector<uint8_t>& frame, uint32_t length = 0) {
        return path_text(pd_classify(frame.data(), static_cast<uint32_t>(frame.size()),
                                     length ? length : static_cast<uint32_t>(frame.size())));
    }
    static const ProtocolNode* node(const char* name) { return symbol_lookup(name)->node; }
    static std::vector<uint8_t> bytes(size_t n, std::initializer_list<std::pair<size_t, uint8_t>> set) {
        std::vector<uint8_t> f(n, 0);
        for (auto [at, v] : set) f[at] = v;
        return f;
    }
    ProtocolNode* root_ = nullptr;
};

// A node's header length first moves the test position of its grandchildren.
TEST_F(Classify, HeaderLengthMovesGrandchildren) {
    load("primitive Z : 3 \"z\"\n"
         "protocol ROOT : 0 \"r\" 0 { byte : 0 X }\n"
         "protocol X : 1 \"x\" 34 { byte : 1 Y }\n"
         "protocol Y : 2 \"y\" 0 { byte : 2 Z }\n");
    EXPECT_EQ(classify(bytes(40, {{0, 1}, {1, 2}, {36, 3}})), "ROOT/X/Y/Z");
    // Z is not tested at offset 2 from the frame start.
    EXPECT_EQ(classify(bytes(40, {{0, 1}, {1, 2}, {2, 3}})), "ROOT/X/Y/OTHER_Y");
    EXPECT_EQ(classify(bytes(40, {{0, 9}})), "ROOT/OTHER_ROOT");
}

// The root's header length moves both its children and its grandchildren.
TEST_F(Classify, RootHeaderLengthCountsTwice) {
    load("primitive W : 4 \"w\"\n"
         "protocol ROOT : 0 \"r\" 10 { byte : 0 X }\n"
         "protocol X : 1 \"x\" 5 { byte : 0 Y }\n"
         "protocol Y : 2 \"y\" 7 { byte : 0 Z }\n"
         "protocol Z : 3 \"z\" 0 { byte : 0 W }\n");
    EXPECT_EQ(classify(bytes(40, {{10, 1}, {20, 2}, {25, 3}, {32, 4}})), "ROOT/X/Y/Z/W");
    EXPECT_EQ(classify(bytes(40, {{10, 1}, {10 + 2, 2}})), "ROOT/X/OTHER_X");
}

TEST_F(Classify, LastFieldIsTriedFirstAndCatchAllLast) {
    load("primitive A : 7 \"a\" primitive B : 7 \"b\"\n"
         "protocol ROOT : 0 \"r\" 0 { byte : 0 A byte : 1 B }\n");
    EXPECT_EQ(classify(bytes(4, {{0, 7}, {1, 7}})), "ROOT/B");
    EXPECT_EQ(classify(bytes(4, {{0, 7}})), "ROOT/A");
    EXPECT_EQ(classify(bytes(4, {})), "ROOT/OTHER_ROOT");
    EXPECT_EQ(pd_stat_frames(node("A")), 1);
    EXPECT_EQ(pd_stat_frames(node("B")), 1);
    EXPECT_EQ(pd_stat_frames(node("OTHER_ROOT")), 1);
    EXPECT_EQ(pd_stat_frames(node("ROOT")), 3);
}

TEST_F(Classify, AlternateOffsetIsTriedSecondAndCountedOnce) {
    load("primitive IP : 0x0800 \"ip\" primitive ONE : 0x0800 \"one\"\n"
         "protocol ROOT : 0 \"r\" 0 { word : 12,14 IP word : 12,12 ONE }\n");
    EXPECT_EQ(classify(bytes(20, {{14, 0x08}})), "ROOT/IP");
    EXPECT_EQ(pd_stat_frames(node("IP")), 1);
    EXPECT_EQ(pd_stat_bytes(node("IP")), 20);
    // Bytes 12 and 13 of 0x08 0x00 read 2048; ONE (offset 12 only) is tried first.
    EXPECT_EQ(classify(bytes(20, {{12, 0x08}})), "ROOT/ONE");
    EXPECT_EQ(classify(bytes(20, {{13, 0x08}})), "ROOT/OTHER_ROOT");
}

TEST_F(Classify, WidthsReadNetworkOrder) {
    load("primitive B : 0xAB \"b\" primitive W : 0xABCD \"w\" primitive L : 0x12345678 \"l\"\n"
         "protocol ROOT : 0 \"r\" 0 { byte : 0 B word : 0 W lword : 0 L }\n");
    EXPECT_EQ(classify({0x12, 0x34, 0x56, 0x78}), "ROOT/L");
    EXPECT_EQ(classify({0xAB, 0xCD, 0x56, 0x79}), "ROOT/W");
    EXPECT_EQ(classify({0xAB, 0xCE, 0x56, 0x79}), "ROOT/B");
}

TEST_F(Classify, MaskTests) {
    load("primitive ODD : 0x01 \"odd\" primitive NONE : 0 \"none\"\n"
         "protocol ROOT : 0 \"r\" 0 { mask byte : 0 ODD mask byte : 1 NONE }\n");
    for (int v = 0; v < 256; ++v)
        EXPECT_EQ(classify({static_cast<uint8_t>(v), 0xFF}), v & 1 ? "ROOT/ODD" : "ROOT/OTHER_ROOT") << v;
}

TEST_F(Classify, RangesAndUndefinedNames) {
    // HALF's head 0,0xFFFFFFFF saturates to 0..0x7FFFFFFF; ALL's decimal range is the whole
    // 32-bit space; BACK's range is written high-first and matches nothing; U is used
    // only as a field and matches 0 alone.
    load("primitive HALF : 0,0xFFFFFFFF \"h\" primitive ALL : 0,4294967295 \"a\" primitive BACK : 10,5 \"b\"\n"
         "protocol ROOT : 0 \"r\" 0 { byte : 0 U lword : 0 ALL lword : 0 HALF byte : 0 BACK }\n");
    EXPECT_EQ(classify({0x7F, 0xFF, 0xFF, 0xFF}), "ROOT/HALF");
    EXPECT_EQ(classify({0x80, 0, 0, 0}), "ROOT/ALL");
    EXPECT_EQ(classify({0xFF, 0xFF, 0xFF, 0xFF}), "ROOT/ALL");
    EXPECT_EQ(classify({7, 0, 0}), "ROOT/OTHER_ROOT");  // too short for the lword tests, and 7 is not in 10..5
    EXPECT_EQ(classify({0}), "ROOT/U");
    EXPECT_EQ(classify({1}), "ROOT/OTHER_ROOT");
    EXPECT_STREQ(node("U")->label, "");
}

// Tests that reach past the captured bytes fail, whatever the wire length.
TEST_F(Classify, FieldsPastTheCapturedBytesFail) {
    load("primitive W : 0x0800 \"w\" primitive L : 1 \"l\" primitive NEG : 0 \"n\"\n"
         "protocol ROOT : 0 \"r\" 0 { byte : 4294967295 NEG lword : 2 L word : 12,2 W }\n");
    std::vector<uint8_t> f = bytes(14, {{12, 0x08}});
    EXPECT_EQ(classify(f), "ROOT/W");
    f.resize(13);  // word at 12 is half captured; the alternate offset 2 reads 0
    EXPECT_EQ(classify(f, 1514), "ROOT/OTHER_ROOT");
    EXPECT_EQ(pd_stat_bytes(node("OTHER_ROOT")), 1514);
    EXPECT_EQ(pd_stat_bytes(node("ROOT")), 14 + 1514);
    EXPECT_EQ(classify(bytes(6, {{5, 1}})), "ROOT/L");
    EXPECT_EQ(classify(bytes(5, {})), "ROOT/OTHER_ROOT");  // lword at 2 needs 6 bytes
    EXPECT_EQ(classify({}), "ROOT/OTHER_ROOT");
    // A null frame is an empty one.
    EXPECT_EQ(path_text(pd_classify(nullptr, 100, 100)), "ROOT/OTHER_ROOT");
}

TEST_F(Classify, PathStopsAfterSixNodes) {
    std::string text = "protocol ROOT : 0 \"r\" 0 { byte : 0 L1 }\n";
    for (int i = 1; i < 8; ++i)
        text += "protocol L" + std::to_string(i) + " : 0 \"l\" 1 { byte : 0 L" + std::to_string(i + 1) + " }\n";
    load(text);
    const ProtocolNode* const* path = pd_classify(bytes(64, {}).data(), 64, 64);
    EXPECT_EQ(path_text(path), "ROOT/L1/L2/L3/L4/L5");
    EXPECT_EQ(path[kPathMax], nullptr);
    EXPECT_EQ(pd_stat_frames(node("L5")), 1);
    EXPECT_EQ(pd_stat_frames(node("L6")), 0);
}

TEST_F(Classify, RootThatDoesNotMatchCountsNothing) {
    load("protocol ROOT : 1 \"r\" 0 { byte : 0 A }\n");
    EXPECT_EQ(classify(bytes(10, {})), "");
    EXPECT_EQ(pd_stat_frames(root_), 0);
    EXPECT_EQ(pd_stat_bytes(root_), 0);
    pd_set_root(nullptr);
    EXPECT_EQ(classify(bytes(10, {})), "");
}

TEST_F(Classify, PathBufferIsReused) {
    load("primitive A : 1 \"a\"\nprotocol ROOT : 0 \"r\" 0 { byte : 0 A }\n");
    const std::vector<uint8_t> a = {1}, other = {2};
    const ProtocolNode* const* first = pd_classify(a.data(), 1, 1);
    EXPECT_EQ(path_text(first), "ROOT/A");
    const ProtocolNode* const* second = pd_classify(other.data(), 1, 1);
    EXPECT_EQ(first, second);
    EXPECT_EQ(path_text(first), "ROOT/OTHER_ROOT");
}

TEST_F(Classify, StatsCountWireLengthAndReset) {
    load("primitive A : 1 \"a\"\nprotocol ROOT : 0 \"r\" 0 { byte : 0 A }\n");
    const std::vector<uint8_t> a = {1};
    pd_classify(a.data(), 1, 60);
    pd_classify(a.data(), 1, 1514);
    EXPECT_EQ(pd_stat_frames(node("A")), 2);
    EXPECT_EQ(pd_stat_bytes(node("A")), 1574);
    pd_stat_reset(&symbol_lookup("A")->node->stats);
    EXPECT_EQ(pd_stat_frames(node("A")), 0);
    EXPECT_EQ(pd_stat_bytes(node("A")), 0);
    EXPECT_EQ(pd_stat_frames(root_), 2);
    EXPECT_EQ(pd_stat_frames(nullptr), 0);
    EXPECT_EQ(pd_stat_bytes(nullptr), 0);
    pd_stat_reset(nullptr);
}

}  // namespace

namespace {

// The walk node by node, each sibling tried in turn: what the classifier must find,
// however it searches a long list of siblings.
std::string walk_one_by_one(const ProtocolNode* root, const std::vector<uint8_t>& f) {
    auto test = [&](const ProtocolNode* n, int64_t pos) {
        uint32_t v = 0;
        if (n->width && (pos < 0 || pos + n->width > int64_t(f.size()))) return false;
        for (int i = 0; i < n->width; ++i) v = v << 8 | f[size_t(pos) + size_t(i)];
        return n->mask_test ? (v & n->low) != 0 : n->low <= v && v <= n->high;
    };
    std::string s;
    int64_t base = 0;
    int depth = 0;
    const ProtocolNode* parent = root;
    for (const ProtocolNode* n = root; n && depth < kPathMax;) {
        if (test(n, base + n->offset) || (n->has_alt_offset && test(n, base + n->alt_offset))) {
            s += (depth++ ? "/" : "") + std::string(n->name);
            base += parent->header_length;
            parent = n;
            n = n->first_child;
        } else {
            n = n->next;
        }
    }
    return s;
}

}  // namespace

// Long sibling lists of one field (port lists) are searched at once; the first
// sibling in order whose range holds the value at either offset must still win:
// ranges that overlap, nest, repeat, never match, touch 0 and the top of the field,
// and fields cut short. Every value of a byte at both offsets.
TEST_F(Classify, LongSiblingListsFindTheFirstMatchOfTheWalk) {
    load("primitive A : 10,20 \"a\"\nprimitive B : 15 \"b\"\nprimitive C : 0,3 \"c\"\n"
         "primitive D : 200,255 \"d\"\nprimitive E : 9,5 \"e\"\nprimitive F : 18,40 \"f\"\n"
         "primitive G : 15 \"g\"\nprimitive H : 100,210 \"h\"\nprimitive I : 64 \"i\"\nprimitive J : 7 \"j\"\n"
         "protocol ROOT : 0 \"r\" 0 { byte : 0 P }\n"
         "protocol P : 1 \"p\" 0 { byte : 1,2 I byte : 1,2 H byte : 1,2 G byte : 1,2 F byte : 1,2 E\n"
         "    byte : 1,2 D byte : 1,2 C byte : 1,2 B byte : 1,2 A byte : 3 J }\n");
    for (int x = 0; x < 256; x += 1)
        for (int y = 0; y < 256; y += 3) {
            const std::vector<uint8_t> f{1, uint8_t(x), uint8_t(y), uint8_t(x ^ y)};
            ASSERT_EQ(classify(f), walk_one_by_one(root_, f)) << x << " " << y;
            const std::vector<uint8_t> cut{1, uint8_t(x)};  // the second offset is cut off
            ASSERT_EQ(classify(cut), walk_one_by_one(root_, cut)) << x;
        }
}

// The shipped tree's port lists, on frames of every kind with random ports and
// lengths: the same paths as the walk one by one.
TEST_F(Classify, TheShippedTreeFindsWhatTheWalkOneByOneFinds) {
    MessageCapture cap;
    root_ = pdl_parse((std::string(HOPSCOPE_DATA_DIR) + "/protocol.pdl").c_str());
    ASSERT_NE(root_, nullptr);
    pd_set_root(root_);
    uint32_t x = 99;
    auto next = [&] { return x = x * 1103515245u + 12345u, x >> 8; };
    const uint16_t types[] = {0x0800, 0x86DD, 0x0806, 0x8100, 0x0040, 0x88CC};
    const uint8_t ip_protocols[] = {6, 17, 1, 58, 47, 2, 89};
    for (int i = 0; i < 200000; ++i) {
        std::vector<uint8_t> f(14 + next() % 120);
        for (auto& b : f) b = uint8_t(next());
        f[12] = uint8_t(types[next() % 6] >> 8), f[13] = uint8_t(types[next() % 6]);
        if (f.size() > 23) f[14] = 0x45, f[23] = ip_protocols[next() % 7];
        if (f.size() > 55) f[20] = 0x60, f[20 + 6] = ip_protocols[next() % 7];  // IPv6's next header
        for (size_t at : {34, 36, 54, 56})  // ports: small ones often, so that lists match
            if (f.size() > at + 1 && next() % 2) f[at] = 0, f[at + 1] = uint8_t(next() % 1100 > 255 ? next() : next());
        ASSERT_EQ(classify(f), walk_one_by_one(root_, f)) << i;
    }
}

// The same for fields of two and four bytes (searched by pages and by halving), with
// ranges that cross page edges and the top of the field.
TEST_F(Classify, LongSiblingListsOfWideFieldsFindTheFirstMatchOfTheWalk) {
    for (const char* width : {"word", "lword"}) {
        const bool four = width[0] == 'l';
        std::string text;
        const char* ranges[] = {"255,513", "256", "0,3", "600,70000", "9,5", "1000,1000", "65535", "512,767",
                                "4294967295", "70000,4294967295"};
        for (int i = 0; i < 10; ++i)
            text += "primitive N" + std::to_string(i) + " : " + ranges[i] + " \"n\"\n";
        text += "protocol ROOT : 0 \"r\" 0 { byte : 0 P }\nprotocol P : 1 \"p\" 0 {";
        for (int i = 9; i >= 0; --i) text += std::string(" ") + width + (four ? " : 1,5 N" : " : 1,3 N") + std::to_string(i);
        text += " }\n";
        load(text);
        uint32_t x = 5;
        for (int i = 0; i < 40000; ++i) {
            std::vector<uint8_t> f(1 + (four ? 8 : 4) - (i % 50 == 0 ? 2 : 0));
            f[0] = 1;
            for (size_t b = 1; b < f.size(); ++b) f[b] = uint8_t((x = x * 1103515245u + 12345u) >> 16);
            if (i % 3 == 0) f[1] = 0, f[2] = four ? 0 : f[2] % 4;  // small values, where the ranges are
            if (four && i % 3 == 0) f[3] = 0, f[4] = uint8_t(f[4] % 4);
            ASSERT_EQ(classify(f), walk_one_by_one(root_, f)) << width << " " << i;
        }
        pd_set_root(nullptr);
        symbol_reset();
    }
}
