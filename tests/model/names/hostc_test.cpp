#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/names/hostc.h"
#include "model/names/names.h"
#include "model/names/q.h"
#include "support/pcap_writer.h"

namespace {

NetAddress ether(const char* text) {
    NetAddress a;
    netaddr_init(&a, kEtherType);
    netaddr_parse(&a, text);
    return a;
}

int table_count(HashTable* (*table)()) {
    std::shared_lock lock(names_lock());
    return table()->count;
}

// Replies as the resolver thread delivers them; user data carries a tag.
struct Replies {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::pair<intptr_t, const NameEntry*>> got;

    static void reply(const NameEntry* answer, void* user, void* extra) {
        auto* self = static_cast<Replies*>(extra);
        std::lock_guard lock(self->mutex);
        self->got.emplace_back(reinterpret_cast<intptr_t>(user), answer);
        self->cv.notify_all();
    }
    // Waits for n replies in all. The limit only keeps a broken build from hanging.
    bool wait_for(size_t n) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, std::chrono::seconds(30), [&] { return got.size() >= n; });
    }
    const NameEntry* answer(size_t i) {
        std::lock_guard lock(mutex);
        return got.at(i).second;
    }
};

void* tag(intptr_t t) { return reinterpret_cast<void*>(t); }

// A resolver that never touches the network: one known name, one known station.
struct FakeResolver {
    std::mutex mutex;
    int by_name_calls = 0;
    int by_address_calls = 0;
    std::vector<std::string> names_asked;
    bool station_known = true;

    SystemResolver seam() {
        SystemResolver r;
        r.by_name = [this](const char* name, HostRecord* out) {
            std::lock_guard lock(mutex);
            ++by_name_calls;
            names_asked.push_back(name);
            if (std::strcmp(name, "printer") != 0) return false;
            out->official_name = "printer.example.org trailing";
            out->aliases = {"lp-alias more", "printer.example.org"};
            out->address_type = AF_INET;
            out->address_length = 4;
            out->addresses = {{192, 0, 2, 99}, {192, 0, 2, 7}};
            return true;
        };
        r.by_address = [this](const uint8_t* bytes, int length, int family, HostRecord* out) {
            std::lock_guard lock(mutex);
            ++by_address_calls;
            if (family != AF_INET || length != 4 || bytes[3] != 9) return false;
            out->official_name = "nine.example.org";
            out->address_type = AF_INET;
            out->address_length = 4;
            out->addresses = {{192, 0, 2, 9}};
            return true;
        };
        r.station_of = [this](const uint8_t* bytes, int length, int, uint8_t out[6]) {
            std::lock_guard lock(mutex);
            if (!station_known || length != 4 || bytes[3] != 7) return false;
            const uint8_t mac[6] = {0x02, 0, 0, 0, 0, 0x07};
            std::memcpy(out, mac, 6);
            return true;
        };
        return r;
    }
    int name_calls() {
        std::lock_guard lock(mutex);
        return by_name_calls;
    }
    int address_calls() {
        std::lock_guard lock(mutex);
        return by_address_calls;
    }
};

class Hostc : public ::testing::Test {
protected:
    void SetUp() override {
        netaddr_startup();
        hostc_init();
        previous_ = hostc_set_resolver(fake_.seam());
    }
    void TearDown() override {
        stop();
        hostc_set_resolver(previous_);
    }
    void start() { thread_ = std::thread(hostc_resolve); }
    void stop() {
        if (!thread_.joinable()) return;
        hostc_stop();
        thread_.join();
    }
    void read_ethers(const std::string& contents) {
        std::string path = testsupport::temp_path("ethers");
        std::ofstream(path) << contents;
        ASSERT_EQ(ethers_read(path.c_str()), 0);
    }

    FakeResolver fake_;
    Replies replies_;
    SystemResolver previous_;
    std::thread thread_;
};

}  // namespace

TEST(RequestQueue, FirstInFirstOutAndEmptyTakeResets) {
    RequestQueue* q = queue_create();
    ResolveRequest a, b;
    ResolveRequest* out = &a;
    EXPECT_EQ(queue_take(q, &out), 0);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(queue_put(q, &a), 1);
    EXPECT_EQ(queue_put(q, nullptr), 1);
    EXPECT_EQ(queue_put(q, &b), 1);
    EXPECT_EQ(q->count, 3);
    ASSERT_EQ(queue_take(q, &out), 1);
    EXPECT_EQ(out, &a);
    ASSERT_EQ(queue_take(q, &out), 1);
    EXPECT_EQ(out, nullptr);  // a null request is taken like any other
    ASSERT_EQ(queue_take(q, &out), 1);
    EXPECT_EQ(out, &b);
    EXPECT_EQ(queue_take(q, &out), 0);
    EXPECT_EQ(q->head, nullptr);
    EXPECT_EQ(q->tail, nullptr);
    EXPECT_EQ(q->count, 0);
}

TEST_F(Hostc, EtherRequestAnsweredFromTheFileFilesNothing) {
    read_ethers("00:a0:c9:14:c8:29 fileserver\n");
    const int by_address = table_count(local_names_by_address);
    const int by_text = table_count(local_names_by_text);
    start();
    NetAddress a = ether("00:A0:C9:14:C8:29");
    ASSERT_EQ(hostc_request_ether(&a, Replies::reply, tag(1), &replies_), 1);
    ASSERT_TRUE(replies_.wait_for(1));
    EXPECT_EQ(replies_.answer(0), local_name_by_address(&a));
    EXPECT_STREQ(replies_.answer(0)->name, "fileserver");
    EXPECT_EQ(table_count(local_names_by_address), by_address);
    EXPECT_EQ(table_count(local_names_by_text), by_text);
    EXPECT_EQ(fake_.name_calls() + fake_.address_calls(), 0);
}

TEST_F(Hostc, UnknownEtherAddressIsNamedByItsTextAndCachedTheSecondTime) {
    start();
    NetAddress a = ether("00:a0:c9:14:c8:29");
    ASSERT_EQ(hostc_request_ether(&a, Replies::reply, tag(1), &replies_), 1);
    ASSERT_TRUE(replies_.wait_for(1));
    const NameEntry* first = replies_.answer(0);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->name, "00:A0:C9:14:C8:29");
    EXPECT_EQ(netaddr_compare(&first->address, &a), 0);
    EXPECT_EQ(table_count(local_names_by_address), 1);
    EXPECT_EQ(local_name_lookup_text("00:a0:c9:14:c8:29"), first);

    // The second request, and a text request for the same address, come from the cache.
    ASSERT_EQ(hostc_request_ether(&a, Replies::reply, tag(2), &replies_), 1);
    ASSERT_EQ(hostc_request_text("0:a0:c9:14:c8:29", Replies::reply, tag(3), &replies_), 1);
    ASSERT_TRUE(replies_.wait_for(3));
    EXPECT_EQ(replies_.answer(1), first);
    EXPECT_EQ(replies_.answer(2), first);
    EXPECT_EQ(table_count(local_names_by_address), 1);
    // An Ethernet address is never handed to the system resolver.
    EXPECT_EQ(fake_.address_calls(), 0);
    EXPECT_EQ(hostc_last_answer(), first);
}

TEST_F(Hostc, FailingNameAsksTheResolverOnceWhenRepeatedAtOnce) {
    start();
    for (intptr_t i = 0; i < 2; ++i) ASSERT_EQ(hostc_request_text("nowhere", Replies::reply, tag(i), &replies_), 1);
    ASSERT_TRUE(replies_.wait_for(2));
    EXPECT_EQ(replies_.answer(0), nullptr);
    EXPECT_EQ(replies_.answer(1), nullptr);
    EXPECT_EQ(fake_.name_calls(), 1);

    // A different failure in between makes the first name eligible again.
    ASSERT_EQ(hostc_request_text("elsewhere", Replies::reply, tag(2), &replies_), 1);
    ASSERT_EQ(hostc_request_text("nowhere", Replies::reply, tag(3), &replies_), 1);
    ASSERT_TRUE(replies_.wait_for(4));
    EXPECT_EQ(fake_.name_calls(), 3);
}

TEST_F(Hostc, ResolvedNameIsFiledUnderItsNamesAndBoundToItsStation) {
    const int local_before = table_count(local_names_by_address);
    start();
    ASSERT_EQ(hostc_request_text("printer", Replies::reply, tag(1), &replies_), 1);
    ASSERT_TRUE(replies_.wait_for(1));
    const NameEntry* e = replies_.answer(0);
    ASSERT_NE(e, nullptr);
    ASSERT_NE(e->resolver_answer, nullptr);
    EXPECT_STREQ(e->name, "printer.example.org");  // cut at the first space
    EXPECT_TRUE(e->address_known);
    NetAddress station = ether("02:00:00:00:00:07");  // from the second address
    EXPECT_EQ(netaddr_compare(&e->address, &station), 0);

    EXPECT_EQ(hostc_find_name("printer"), e);
    EXPECT_EQ(hostc_find_name("printer.example.org"), e);
    EXPECT_EQ(hostc_find_name("lp-alias"), e);
    EXPECT_EQ(hostc_find_address(&station), e);
    // Never filed in the local names, least of all under the zero address.
    EXPECT_EQ(table_count(local_names_by_address), local_before);
    NetAddress zero = ether("0:0:0:0:0:0");
    EXPECT_EQ(local_name_by_address(&zero), nullptr);

    ASSERT_EQ(hostc_request_text("printer", Replies::reply, tag(2), &replies_), 1);
    ASSERT_TRUE(replies_.wait_for(2));
    EXPECT_EQ(replies_.answer(1), e);
    EXPECT_EQ(fake_.name_calls(), 1);
}

TEST_F(Hostc, ResolvedNameWithoutKnownStationBindsToNoHost) {
    fake_.station_known = false;
    start();
    ASSERT_EQ(hostc_request_text("printer", Replies::reply, tag(1), &replies_), 1);
    ASSERT_TRUE(replies_.wait_for(1));
    const NameEntry* e = replies_.answer(0);
    ASSERT_NE(e, nullptr);
    EXPECT_FALSE(e->address_known);
    EXPECT_EQ(hostc_find_name("printer"), e);
    NetAddress zero = ether("0:0:0:0:0:0");
    EXPECT_EQ(hostc_find_address(&zero), nullptr);
    EXPECT_EQ(local_name_by_address(&zero), nullptr);
}

namespace {
// An Internet address type of 4 bytes, as the resolver path for types 1 and 2 expects.
int ip_hash(const uint8_t* s) { return s[0] ^ s[1] ^ s[2] ^ s[3]; }
void ip_copy(uint8_t* d, const uint8_t* s) { std::memcpy(d, s, 4); }
void ip_clear(uint8_t* s) { std::memset(s, 0, 4); }
int ip_compare(const uint8_t* a, const uint8_t* b) { return std::memcmp(b, a, 4); }
void ip_format(const uint8_t* s, char* out, size_t n) { std::snprintf(out, n, "%u.%u.%u.%u", s[0], s[1], s[2], s[3]); }
char* ip_to_text(const uint8_t* s) {
    char* t = static_cast<char*>(std::malloc(16));
    ip_format(s, t, 16);
    return t;
}
void ip_parse(const char* text, uint8_t* s) { inet_pton(AF_INET, text, s); }
}  // namespace

TEST_F(Hostc, InternetAddressGoesToTheResolverAndIsFiledByAddress) {
    ASSERT_NE(netaddr_define(1, 4, ip_hash, ip_copy, ip_clear, ip_compare, ip_to_text, ip_format, ip_parse), nullptr);
    NetAddress nine, ten;
    netaddr_init(&nine, 1);
    netaddr_parse(&nine, "192.0.2.9");
    netaddr_init(&ten, 1);
    netaddr_parse(&ten, "192.0.2.10");
    start();
    ASSERT_EQ(hostc_request_address(&nine, Replies::reply, tag(1), &replies_), 1);
    ASSERT_EQ(hostc_request_address(&ten, Replies::reply, tag(2), &replies_), 1);
    ASSERT_EQ(hostc_request_address(&nine, Replies::reply, tag(3), &replies_), 1);
    ASSERT_TRUE(replies_.wait_for(3));
    ASSERT_NE(replies_.answer(0), nullptr);
    EXPECT_STREQ(replies_.answer(0)->name, "nine.example.org");
    EXPECT_EQ(hostc_find_name("nine.example.org"), replies_.answer(0));
    ASSERT_NE(replies_.answer(1), nullptr);
    EXPECT_STREQ(replies_.answer(1)->name, "192.0.2.10");  // unanswered: its own text
    EXPECT_EQ(hostc_find_address(&ten), replies_.answer(1));
    EXPECT_EQ(replies_.answer(2), replies_.answer(0));  // cache hit
    EXPECT_EQ(fake_.address_calls(), 2);
}

TEST_F(Hostc, HostRefKindsAndTheRefusedKind3) {
    HostRef* ref = hostc_ref_create();
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(ref->kind, kHostRefUnset);
    EXPECT_EQ(ref->answer, nullptr);
    EXPECT_EQ(ref->name, nullptr);
    ASSERT_NE(ref->address.type, nullptr);
    EXPECT_EQ(ref->address.type->index, kEtherType);

    testing::internal::CaptureStderr();
    EXPECT_EQ(hostc_resolve_rec_process(ref, Replies::reply, tag(9), &replies_), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "hostc_resolve_rec_process: invalid                             request\n");
    EXPECT_EQ(hostc_resolve_rec_process(nullptr, Replies::reply, tag(9), &replies_), 0);

    start();
    ref->kind = kRequestByEther;
    netaddr_parse(&ref->address, "02:00:00:00:00:01");
    ASSERT_EQ(hostc_resolve_rec_process(ref, Replies::reply, tag(1), &replies_), 1);
    ref->kind = kRequestByName;
    ref->name = strdup("printer");
    ASSERT_EQ(hostc_resolve_rec_process(ref, Replies::reply, tag(2), &replies_), 1);
    ASSERT_TRUE(replies_.wait_for(2));
    ASSERT_NE(replies_.answer(0), nullptr);
    EXPECT_STREQ(replies_.answer(0)->name, "02:00:00:00:00:01");
    ASSERT_NE(replies_.answer(1), nullptr);
    EXPECT_STREQ(replies_.answer(1)->name, "printer.example.org");
    hostc_ref_destroy(ref);
}

TEST_F(Hostc, NullAndInvalidRequestsAreReportedAndTheThreadGoesOn) {
    start();
    testing::internal::CaptureStderr();
    ASSERT_EQ(hostc_enqueue(nullptr), 1);
    auto* bad = new ResolveRequest;
    bad->kind = 7;
    bad->reply = Replies::reply;
    bad->user_data = tag(1);
    bad->extra = &replies_;
    ASSERT_EQ(hostc_enqueue(bad), 1);
    NetAddress a = ether("02:00:00:00:00:02");
    ASSERT_EQ(hostc_request_ether(&a, Replies::reply, tag(2), &replies_), 1);
    ASSERT_TRUE(replies_.wait_for(2));
    stop();  // joined: everything the thread wrote is in the capture
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "hostc_resolve:                         NULL request received from queue\n"
              "hostc_resolve:                                     Request type invalid\n");
    EXPECT_EQ(replies_.answer(0), nullptr);  // an invalid request is still answered
    EXPECT_NE(replies_.answer(1), nullptr);
}

TEST_F(Hostc, RequestsAreAnsweredInQueueOrder) {
    // Queued before the thread starts, as the alarm file reader does at start-up.
    for (intptr_t i = 0; i < 20; ++i) {
        NetAddress a = ether("02:00:00:00:00:00");
        a.storage[5] = static_cast<uint8_t>(i % 5);
        ASSERT_EQ(hostc_request_ether(&a, Replies::reply, tag(i), &replies_), 1);
    }
    start();
    for (intptr_t i = 20; i < 40; ++i)
        ASSERT_EQ(hostc_request_text(i % 2 ? "nowhere" : "printer", Replies::reply, tag(i), &replies_), 1);
    ASSERT_TRUE(replies_.wait_for(40));
    std::lock_guard lock(replies_.mutex);
    for (intptr_t i = 0; i < 40; ++i) EXPECT_EQ(replies_.got[size_t(i)].first, i);
}

TEST_F(Hostc, RequestersAndReadersOnOtherThreadsWhileTheResolverFiles) {
    read_ethers("00:a0:c9:14:c8:29 fileserver\n");
    start();
    constexpr int kThreads = 4, kEach = 50;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([this, t] {
            for (int i = 0; i < kEach; ++i) {
                NetAddress a = ether("02:00:00:00:00:00");
                a.storage[4] = static_cast<uint8_t>(t);
                a.storage[5] = static_cast<uint8_t>(i);
                EXPECT_EQ(hostc_request_ether(&a, Replies::reply, tag(t), &replies_), 1);
                if (i % 10 == 0) {
                    EXPECT_EQ(hostc_request_text("printer", Replies::reply, tag(t), &replies_), 1);
                }
                // Lookups race with the filing on the resolver thread.
                const NameEntry* e = local_name_lookup_text("fileserver");
                EXPECT_TRUE(e && std::strcmp(e->name, "fileserver") == 0);
                if (const NameEntry* p = hostc_find_name("printer")) {
                    EXPECT_STREQ(p->name, "printer.example.org");
                }
                if (const NameEntry* q = local_name_by_address(&a)) {
                    EXPECT_EQ(netaddr_compare(&q->address, &a), 0);
                }
            }
        });
    }
    for (auto& w : workers) w.join();
    ASSERT_TRUE(replies_.wait_for(kThreads * (kEach + kEach / 10)));
    EXPECT_EQ(table_count(local_names_by_address), 1 + kThreads * kEach);
    EXPECT_EQ(fake_.name_calls(), 1);
}

TEST(HostcArp, FindsCompleteEntriesOnly) {
    std::string path = testsupport::temp_path("arp");
    std::ofstream(path) << "IP address       HW type     Flags       HW address            Mask     Device\n"
                           "192.0.2.1        0x1         0x2         02:fc:00:00:00:05     *        eth0\n"
                           "192.0.2.2        0x1         0x0         00:00:00:00:00:00     *        eth0\n"
                           "192.0.2.3        0x1         0x6         0a:0b:0c:0d:0e:0f     *        eth1\n"
                           "garbage line\n";
    uint8_t mac[6] = {};
    const uint8_t one[4] = {192, 0, 2, 1}, two[4] = {192, 0, 2, 2}, three[4] = {192, 0, 2, 3}, four[4] = {192, 0, 2, 4};
    ASSERT_EQ(hostc_arp_lookup(path.c_str(), one, mac), 1);
    const uint8_t want[6] = {0x02, 0xfc, 0, 0, 0, 0x05};
    EXPECT_EQ(std::memcmp(mac, want, 6), 0);
    EXPECT_EQ(hostc_arp_lookup(path.c_str(), two, mac), 0);  // incomplete
    EXPECT_EQ(hostc_arp_lookup(path.c_str(), three, mac), 1);
    EXPECT_EQ(hostc_arp_lookup(path.c_str(), four, mac), 0);
    EXPECT_EQ(hostc_arp_lookup(testsupport::temp_path("no-arp").c_str(), one, mac), 0);
}
