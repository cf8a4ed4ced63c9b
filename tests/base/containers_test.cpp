#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/hashtable.h"
#include "base/key_index.h"
#include "base/list.h"
#include "base/netaddr.h"

namespace {

int constant_hash(const void*) { return 0x1234500 + 7; }  // every key in bucket 7

void* copy_text(const void* s) { return strdup(static_cast<const char*>(s)); }

std::vector<int> items(const List* l) {
    std::vector<int> out;
    list_foreach(l, [&](void* item) { out.push_back(*static_cast<int*>(item)); });
    return out;
}

int int_order(const void* a, const void* b) { return *static_cast<const int*>(b) - *static_cast<const int*>(a); }
int int_match(const void* probe, const void* item) { return *static_cast<const int*>(probe) != *static_cast<const int*>(item); }

}  // namespace

TEST(HashTable, DefaultsUseTheTextHashAndTextCompare) {
    HashTable* t = hashtable_create(nullptr, nullptr, copy_text, nullptr);
    // h = byte XOR (h << 2): "ab" -> ('a' << 2) ^ 'b'.
    EXPECT_EQ(hashtable_text_hash("ab"), ('a' << 2) ^ 'b');
    int one = 1, two = 2;
    char key[] = "alpha";
    EXPECT_EQ(hashtable_set(t, key, &one), 0);
    key[0] = 'X';  // the table holds its own copy of the key
    void* v = nullptr;
    EXPECT_EQ(hashtable_lookup(t, "alpha", &v), 1);
    EXPECT_EQ(v, &one);
    EXPECT_EQ(hashtable_set(t, "alpha", &two), 1);
    EXPECT_EQ(hashtable_lookup(t, "alpha", &v), 1);
    EXPECT_EQ(v, &two);
    EXPECT_EQ(t->count, 1);
    EXPECT_EQ(hashtable_lookup(t, "Xlpha", &v), 0);
    EXPECT_EQ(v, nullptr);
    EXPECT_EQ(hashtable_lookup(t, nullptr, &v), 0);
    EXPECT_EQ(hashtable_lookup(nullptr, "alpha", &v), 0);
}

TEST(HashTable, ChainsGrowAtTheHeadAndForeachWalksBucketsInOrder) {
    HashTable* t = hashtable_create(constant_hash, nullptr, nullptr, nullptr);
    const char* keys[] = {"a", "b", "c"};
    for (const char* k : keys) hashtable_set(t, k, const_cast<char*>(k));
    EXPECT_EQ(t->count, 3);
    std::string order;
    hashtable_foreach(t, [&](void* k, void*) { order += static_cast<const char*>(k); });
    EXPECT_EQ(order, "cba");  // newest first within the chain
    for (const char* k : keys) {
        void* v = nullptr;
        EXPECT_EQ(hashtable_lookup(t, k, &v), 1);
        EXPECT_EQ(v, k);
    }
}

TEST(HashTable, ReplaceCopiesTheValueAndFreesTheOldOne) {
    HashTable* t = hashtable_create(nullptr, nullptr, copy_text, copy_text);
    EXPECT_EQ(hashtable_replace(t, "k", const_cast<char*>("first")), 0);
    EXPECT_EQ(hashtable_replace(t, "k", const_cast<char*>("second")), 1);
    void* v = nullptr;
    ASSERT_EQ(hashtable_lookup(t, "k", &v), 1);
    EXPECT_STREQ(static_cast<char*>(v), "second");
    EXPECT_EQ(t->count, 1);
}

TEST(HashTable, ManyAddressKeysShareBucketsAndStayFindable) {
    netaddr_startup();
    HashTable* t = hashtable_create(netaddr_hash_key, netaddr_compare_key, netaddr_copy_key, nullptr);
    std::vector<NetAddress> addrs(1000);
    for (int i = 0; i < 1000; ++i) {
        uint8_t b[6] = {0, 0x10, 0, 0, uint8_t(i >> 8), uint8_t(i)};
        ether_set(&addrs[i], b);
        hashtable_set(t, &addrs[i], &addrs[i]);
    }
    EXPECT_EQ(t->count, 1000);
    for (auto& a : addrs) {
        void* v = nullptr;
        ASSERT_EQ(hashtable_lookup(t, &a, &v), 1);
        EXPECT_EQ(v, &a);
    }
}

TEST(List, OrderedInsertRemoveFindMapAndWalk) {
    List* l = list_create();
    int v[] = {5, 1, 9, 5, 3};
    for (int& x : v) list_insert_ordered(l, &x, int_order);
    EXPECT_EQ(items(l), (std::vector<int>{1, 3, 5, 5, 9}));
    // An equal item goes before the first equal one: the second 5 is now first of the pair.
    EXPECT_EQ(l->head->next->next->item, &v[3]);
    EXPECT_EQ(l->count, 5);

    int probe = 9;
    EXPECT_EQ(list_find(l, &probe, int_match), &v[2]);
    probe = 4;
    EXPECT_EQ(list_find(l, &probe, int_match), nullptr);

    int other = 5;
    EXPECT_EQ(list_remove(l, &other), 0);  // identity, not equality
    EXPECT_EQ(list_remove(l, &v[2]), 1);   // the tail
    EXPECT_EQ(l->count, 4);
    int tail_check = 11;
    list_append(l, &tail_check);
    EXPECT_EQ(items(l), (std::vector<int>{1, 3, 5, 5, 11}));
    list_prepend(l, &probe);
    EXPECT_EQ(items(l).front(), 4);

    List* doubled = list_map(l, [](void* item) -> void* { return item; });
    EXPECT_EQ(items(doubled), items(l));

    int visited = 0;
    list_walk(l, [&](void*, ListNode* node) -> ListNode* { return ++visited == 2 ? nullptr : node; });
    EXPECT_EQ(visited, 2);

    List* empty = list_create();
    EXPECT_EQ(list_remove(empty, &probe), 0);
    EXPECT_EQ(list_remove(nullptr, &probe), 0);
    list_destroy(doubled, nullptr);
    list_destroy(empty, nullptr);
    list_destroy(l, nullptr);
}

TEST(NetAddress, EthernetFormatParseAndCompare) {
    netaddr_startup();
    NetAddress a;
    netaddr_init(&a, kEtherType);
    const uint8_t bytes[6] = {0x00, 0xa0, 0xc9, 0x14, 0xc8, 0x29};
    ether_set(&a, bytes);
    char text[32];
    netaddr_format(&a, text, sizeof text);
    EXPECT_STREQ(text, "00:A0:C9:14:C8:29");
    char* t = netaddr_to_text(&a);
    EXPECT_STREQ(t, "00:A0:C9:14:C8:29");
    std::free(t);

    netaddr_parse(&a, "1:2:3");
    netaddr_format(&a, text, sizeof text);
    EXPECT_STREQ(text, "00:00:00:00:00:00");
    netaddr_parse(&a, "1:2:3:4:5:6:7");
    netaddr_format(&a, text, sizeof text);
    EXPECT_STREQ(text, "01:02:03:04:05:06");
    netaddr_parse(&a, "08-00-2b-1a-zz-1ff");  // no digits reads 0, low 8 bits kept
    netaddr_format(&a, text, sizeof text);
    EXPECT_STREQ(text, "08:00:2B:1A:00:FF");

    NetAddress b;
    netaddr_copy(&b, &a);
    EXPECT_EQ(netaddr_compare(&a, &b), 0);
    b.storage[5] = 0x01;
    EXPECT_LT(netaddr_compare(&a, &b), 0);  // b smaller: negative
    b.storage[0] = 0x09;
    EXPECT_GT(netaddr_compare(&a, &b), 0);
    NetAddress untyped;
    EXPECT_EQ(netaddr_compare(&untyped, &a), 1);

    EXPECT_EQ(netaddr_type(3), nullptr);
    EXPECT_EQ(netaddr_new(3), nullptr);
    NetAddress c;
    c.storage[0] = 0x77;
    netaddr_init(&c, 3);  // undefined: nothing changes
    EXPECT_EQ(c.storage[0], 0x77);
    EXPECT_EQ(c.type, nullptr);
    // Hash: h = (h << 2) ^ byte over the six bytes.
    unsigned h = 0;
    for (uint8_t x : bytes) h = (h << 2) ^ x;
    ether_set(&a, bytes);
    EXPECT_EQ(netaddr_hash(&a), static_cast<int>(h));
}

namespace {

// Keys are texts; the table hash puts them into few buckets (so that chains are long
// and several share a bucket), the index hash is the text hash mixed.
int few_buckets_hash(const void* key) { return int(std::strtoul(static_cast<const char*>(key) + 1, nullptr, 10) % 37 * 7); }
int mixed_text_hash(const void* key) { return int(unsigned(hashtable_text_hash(key)) * 2654435761u); }

// The table's visible order modelled plainly: 256 chains, each new key at the head.
struct ReferenceTable {
    std::vector<std::string> chains[kHashBuckets];
    void add(const std::string& key, HashFn hash) { auto& c = chains[unsigned(hash(key.c_str())) & 255]; c.insert(c.begin(), key); }
    std::string order() const {
        std::string out;
        for (const auto& c : chains)
            for (const auto& k : c) out += k + " ";
        return out;
    }
};

std::string table_order(const HashTable* t) {
    std::string out;
    hashtable_foreach(t, [&](void* k, void*) { out += static_cast<const char*>(k) + std::string(" "); });
    return out;
}

}  // namespace

// However the table stores its entries (one chain while small, 256 heads, the index
// beside them once large), its order and its lookups are those of 256 plain chains.
TEST(HashTable, EveryStorageKeepsTheOrderOfTheChainsAndFindsEveryKey) {
    for (HashFn hash : {few_buckets_hash, hashtable_text_hash}) {
        for (bool indexed : {false, true}) {
            HashTable* t = hashtable_create(hash, nullptr, copy_text, nullptr);
            if (indexed) hashtable_set_index_hash(t, mixed_text_hash);
            ReferenceTable ref;
            std::vector<std::string> keys;
            // Sizes around each change of storage.
            for (int size : {1, 2, kHashSmall - 1, kHashSmall, kHashSmall + 1, 300, kHashIndexFrom, kHashIndexFrom + 1, 3000}) {
                while (int(keys.size()) < size) {
                    keys.push_back("k" + std::to_string(keys.size() * 7919 % 100003));
                    ref.add(keys.back(), hash);
                    EXPECT_EQ(hashtable_set(t, keys.back().c_str(), &keys), 0);
                }
                ASSERT_EQ(t->count, size);
                EXPECT_EQ(table_order(t), ref.order()) << size << " keys";
                EXPECT_EQ(t->index != nullptr, indexed && size > kHashIndexFrom) << size;
                for (const std::string& k : keys) {
                    void* v = nullptr;
                    ASSERT_EQ(hashtable_lookup(t, k.c_str(), &v), 1) << k << " of " << size;
                    EXPECT_EQ(v, &keys);
                }
                for (const char* absent : {"k100004", "x9", "k1x"}) EXPECT_EQ(hashtable_lookup(t, absent, nullptr), 0) << absent;
                // Present keys are found, not added again.
                EXPECT_EQ(hashtable_set(t, keys.front().c_str(), &ref), 1);
                EXPECT_EQ(t->count, size);
                hashtable_set(t, keys.front().c_str(), &keys);
            }
            // An index asked for late is built over what is there.
            if (!indexed) {
                hashtable_set_index_hash(t, mixed_text_hash);
                EXPECT_NE(t->index, nullptr);
                for (const std::string& k : keys) EXPECT_EQ(hashtable_lookup(t, k.c_str(), nullptr), 1) << k;
                EXPECT_EQ(table_order(t), ref.order());
            }
            hashtable_destroy(t, nullptr, nullptr);
        }
    }
}

TEST(HashTable, DestroyHandsBackTheValuesHeldByReference) {
    HashTable* t = hashtable_create(nullptr, nullptr, copy_text, nullptr);
    int values[40] = {};
    for (int i = 0; i < 40; ++i) hashtable_set(t, std::to_string(i).c_str(), &values[i]);
    int released = 0;
    hashtable_destroy(t, [](void* v, void* n) { *static_cast<int*>(v) += 1, *static_cast<int*>(n) += 1; }, &released);
    EXPECT_EQ(released, 40);
    for (int v : values) EXPECT_EQ(v, 1);
}

TEST(List, InsertAfterKeepsHeadTailAndCount) {
    List* l = list_create();
    int a = 1, b = 2, c = 3, d = 4;
    ListNode* nb = list_insert_after(l, nullptr, &b);  // into the empty list
    list_insert_after(l, nb, &d);                       // after the tail
    list_insert_after(l, nullptr, &a);                  // at the head
    list_insert_after(l, nb, &c);                       // in the middle
    EXPECT_EQ(items(l), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(l->count, 4);
    EXPECT_EQ(*static_cast<int*>(l->tail->item), 4);
    int e = 5;
    list_append(l, &e);
    EXPECT_EQ(items(l), (std::vector<int>{1, 2, 3, 4, 5}));
    list_destroy(l, nullptr);
}

// The flat index against a plain list of (key, record) pairs: through growth from 16
// slots, with many records under one key (told apart by the match), replacement as a
// table's set does it, and a key of 0.
TEST(KeyIndex, FindsWhatASearchOfAllPairsFinds) {
    struct Rec {
        int id;
    };
    std::vector<Rec> recs(3000);
    KeyIndex<Rec> index;
    std::vector<std::pair<uint64_t, Rec*>> pairs;
    uint32_t x = 7;
    for (int i = 0; i < 3000; ++i) {
        x = x * 1103515245u + 12345u;
        recs[i].id = int(x >> 20) % 1000;  // what `match` tells apart
        const uint64_t key = i % 3 == 0 ? 0 : (i % 3 == 1 ? 42 : x);  // crowded keys, 0 among them
        auto same = [&](const Rec* r) { return r->id == recs[i].id; };
        index.set_if(key, &recs[i], same);
        bool replaced = false;
        for (auto& [k, r] : pairs)
            if ((k ? k : 1) == (key ? key : 1) && same(r)) r = &recs[i], replaced = true;
        if (!replaced) pairs.emplace_back(key, &recs[i]);
    }
    EXPECT_EQ(index.size(), pairs.size());
    for (auto& [k, r] : pairs) {
        const int id = r->id;
        EXPECT_EQ(index.find_if(k, [&](const Rec* c) { return c->id == id; }), r);
    }
    EXPECT_EQ(index.find_if(42, [](const Rec* c) { return c->id == -1; }), nullptr);
    EXPECT_EQ(index.find(12345), nullptr);
    KeyIndex<Rec> empty;
    EXPECT_EQ(empty.find(0), nullptr);
}

// Records from the arena start on cache lines, lie side by side within a block, never
// overlap, and one larger than a block gets its own.
TEST(RecordArena, HandsOutAlignedRecordsInOrder) {
    RecordArena arena;
    std::vector<char*> got;
    for (size_t size : {1, 40, 64, 65, 200, 320, 100000, 8, 64 * 1024, 3})
        got.push_back(static_cast<char*>(arena.allocate(size)));
    for (char* p : got) EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % RecordArena::kAlign, 0u);
    EXPECT_EQ(got[1], got[0] + 64);
    EXPECT_EQ(got[2], got[1] + 64);
    EXPECT_EQ(got[3], got[2] + 64);
    EXPECT_EQ(got[4], got[3] + 128);
    EXPECT_EQ(got[7], got[5] + 320);  // the large one did not take the block's room
    std::memset(got[6], 0xAB, 100000);
    EXPECT_EQ(arena.reserved(), 3 * RecordArena::kBlockSize + 100032);
}
