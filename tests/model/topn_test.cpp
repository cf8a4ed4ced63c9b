#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "model/topn.h"

namespace {

struct Item {
    uint32_t key;
    int place = -1;
    std::string name;
};

uint64_t key_of(const void* i) { return static_cast<const Item*>(i)->key; }
int cmp(const void* a, const void* b) { return topn_compare_keys(key_of(a), key_of(b)); }
int get_place(const void* i) { return static_cast<const Item*>(i)->place; }
void set_place(void* i, int p) { static_cast<Item*>(i)->place = p; }
char* label(const void* i) { return strdup(static_cast<const Item*>(i)->name.c_str()); }

TopList* make() { return topn_create(cmp, get_place, set_place, label, key_of); }

// Checks the invariant: every listed item records its own index, largest key first.
void expect_consistent(const TopList* t) {
    for (int i = 0; i < t->count; ++i) {
        EXPECT_EQ(get_place(t->items[i]), i);
        if (i > 0) {
            EXPECT_GE(key_of(t->items[i - 1]), key_of(t->items[i]));
        }
    }
}

}  // namespace

TEST(TopList, FirstFiftyEnterInOrderAndALargerOneDisplacesTheLast) {
    TopList* t = make();
    std::vector<Item> items(51);
    for (int i = 0; i < 50; ++i) {
        items[i] = Item{0, -1, "h" + std::to_string(i)};
        EXPECT_EQ(topn_insert(t, &items[i]), i);
    }
    items[50] = Item{0, -1, "late"};
    EXPECT_EQ(topn_insert(t, &items[50]), -1);  // equal to the last: not admitted
    items[50].key = 1;
    topn_offer(t, &items[50]);  // larger than every listed key: goes to the top
    EXPECT_EQ(items[50].place, 0);
    EXPECT_EQ(items[49].place, -1);  // displaced
    EXPECT_EQ(t->count, 50);
    expect_consistent(t);
}

TEST(TopList, GrowingItemMovesUpPastSmallerOnlyAndTiesKeepAdmissionOrder) {
    TopList* t = make();
    std::vector<Item> items = {{30, -1, "a"}, {20, -1, "b"}, {20, -1, "c"}, {10, -1, "d"}};
    for (auto& i : items) topn_offer(t, &i);
    expect_consistent(t);
    EXPECT_EQ(items[1].place, 1);
    EXPECT_EQ(items[2].place, 2);  // tie: admission order
    items[3].key = 20;
    topn_offer(t, &items[3]);
    EXPECT_EQ(items[3].place, 3);  // equal keys are not passed
    items[3].key = 25;
    topn_update(t, &items[3]);
    EXPECT_EQ(items[3].place, 1);
    expect_consistent(t);
    // Update of the first item or an unlisted one changes nothing.
    Item outside{1000, -1, "x"};
    topn_update(t, &outside);
    EXPECT_EQ(outside.place, -1);
    items[0].key = 1;  // shrinking is only fixed by a re-sort pass from the top
    topn_update(t, &items[0]);
    EXPECT_EQ(items[0].place, 0);
}

TEST(TopList, ResortMovesEachItemUpAsFarAsItsKeyAllows) {
    TopList* t = make();
    std::vector<Item> items = {{4, -1, "a"}, {3, -1, "b"}, {2, -1, "c"}, {1, -1, "d"}};
    for (auto& i : items) topn_offer(t, &i);
    items[3].key = 9;
    items[2].key = 8;
    topn_resort(t);
    expect_consistent(t);
    EXPECT_EQ(items[3].place, 0);
    EXPECT_EQ(items[2].place, 1);
}

TEST(TopList, ExportEndsWithANullPairUnlessFull) {
    TopList* t = make();
    std::vector<Item> items(50);
    for (int i = 0; i < 3; ++i) {
        items[i] = Item{uint32_t(100 - i), -1, "n" + std::to_string(i)};
        topn_offer(t, &items[i]);
    }
    TopPair out[kTopCapacity];
    std::memset(out, 0xAB, sizeof out);
    EXPECT_EQ(topn_export(t, out), 3);
    EXPECT_STREQ(out[0].label, "n0");
    EXPECT_EQ(out[2].key, 98u);
    EXPECT_EQ(out[3].label, nullptr);
    EXPECT_EQ(out[3].key, 0u);
    for (int i = 0; i < 3; ++i) std::free(out[i].label);

    for (int i = 3; i < 50; ++i) {
        items[i] = Item{uint32_t(50 - i), -1, "m"};
        topn_offer(t, &items[i]);
    }
    EXPECT_EQ(topn_export(t, out), 50);
    for (auto& p : out) std::free(p.label);
}
