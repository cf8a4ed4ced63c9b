// Host references of alarms: answered at once from the local names, or later by the
// name service's reply on the resolver thread; what the writer gives for each.
#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "alarm_support.h"

using namespace alarmtest;

namespace {

// A system resolver that never touches the network: "printer" resolves to a station
// that the neighbour table knows, "nostation" to an address whose station is unknown.
SystemResolver fake_resolver() {
    SystemResolver r;
    r.by_name = [](const char* name, HostRecord* out) {
        if (std::strcmp(name, "printer") != 0 && std::strcmp(name, "nostation") != 0) return false;
        out->official_name = name;
        out->address_type = 2;
        out->address_length = 4;
        out->addresses = {{192, 0, 2, static_cast<uint8_t>(name[0] == 'p' ? 7 : 8)}};
        return true;
    };
    r.by_address = [](const uint8_t*, int, int, HostRecord*) { return false; };
    r.station_of = [](const uint8_t* bytes, int length, int, uint8_t out[6]) {
        if (length != 4 || bytes[3] != 7) return false;
        const uint8_t station[6] = {0x02, 0, 0, 0, 0, 0x07};
        std::memcpy(out, station, 6);
        return true;
    };
    return r;
}

class HostRefs : public AlarmTest {
protected:
    void SetUp() override {
        AlarmTest::SetUp();
        previous_ = hostc_set_resolver(fake_resolver());
    }
    void TearDown() override {
        stop();
        hostc_set_resolver(previous_);
        AlarmTest::TearDown();
    }
    void start() { thread_ = std::thread(hostc_resolve); }
    void stop() {
        if (!thread_.joinable()) return;
        hostc_stop();
        thread_.join();
    }
    // Returns once every request queued before it has been answered (they are answered
    // in the order queued). The time limit only keeps a broken build from hanging.
    void drain() {
        std::promise<void> done;
        NetAddress a;
        const uint8_t mark[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
        ether_set(&a, mark);
        ASSERT_EQ(hostc_request_ether(
                      &a, [](const NameEntry*, void* p, void*) { static_cast<std::promise<void>*>(p)->set_value(); },
                      &done, nullptr),
                  1);
        ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    }
    void read_ethers(const std::string& text) {
        const std::string path = prototest::write_text(text, "ethers");
        ASSERT_EQ(ethers_read(path.c_str()), 0);
    }
    std::vector<std::string> load(const std::string& text, AlarmList* list) {
        EXPECT_EQ(adl_parse_bytes(text.data(), text.size(), list), kAdlWhole);
        return describe_list(*list, true);
    }

    SystemResolver previous_;
    std::thread thread_;
};

const char* const kEthers = "00:11:32:8e:4d:22 nas01\n00:1c:c0:12:a7:e5 dev109\n";

}  // namespace

// Local names read before the alarm file: every end is answered while loading, no
// request is needed (the resolver thread is not even running).
TEST_F(HostRefs, AnsweredAtOnce) {
    read_ethers(kEthers);
    AlarmList list;
    EXPECT_EQ(load("Threshold host 00:11:32:8E:4D:22 high 1 pkts \"a\" ON\n"
                   "Threshold host \"dev109\" high 1 pkts \"b\" ON\n"
                   "Occurrence host 00:11:32:8e:4d:22 \"c\" ON\n"
                   "Occurrence network \"dev109\" \"d\" ON\n"
                   "Threshold link \"nas01\" 00:1C:C0:12:A7:E5 high 1 pkts \"e\" ON\n",
                   &list),
              (std::vector<std::string>{
                  "host threshold high 1 pkts ON 1=ether:00:11:32:8E:4D:22 ref1=00:11:32:8E:4D:22/nas01 \"a\"",
                  "w Threshold host 00:11:32:8E:4D:22 high 1 pkts \"a\" ON ",
                  "host threshold high 1 pkts ON 1=name:\"dev109\" ref1=00:1C:C0:12:A7:E5/dev109 \"b\"",
                  "w Threshold host 00:1C:C0:12:A7:E5 high 1 pkts \"b\" ON ",
                  // An occurrence alarm answered at once holds the entry in both references.
                  "host occurrence low 0 kbytes ON 1=ether:00:11:32:8E:4D:22 ref1=00:11:32:8E:4D:22/nas01 "
                  "ref2=00:11:32:8E:4D:22/nas01 \"c\"",
                  "w Occurrence host 00:11:32:8E:4D:22 \"c\" ON ",
                  "network occurrence low 0 kbytes ON 1=name:\"dev109\" ref1=00:1C:C0:12:A7:E5/dev109 "
                  "ref2=00:1C:C0:12:A7:E5/dev109 \"d\"",
                  "w Occurrence network 00:1C:C0:12:A7:E5 \"d\" ON ",
                  "link threshold high 1 pkts ON 1=name:\"nas01\" 2=ether:00:1C:C0:12:A7:E5 "
                  "ref1=00:11:32:8E:4D:22/nas01 ref2=00:1C:C0:12:A7:E5/dev109 \"e\"",
                  "w Threshold link 00:11:32:8E:4D:22 00:1C:C0:12:A7:E5 high 1 pkts \"e\" ON ",
              }));
}

// As at start-up: the alarm file is read before the local names, and the resolver
// thread answers once it runs. Until then no end has a reference.
TEST_F(HostRefs, AnsweredLater) {
    AlarmList list;
    const std::vector<std::string> loaded = load(
        "Threshold host 00:11:32:8E:4D:22 high 1 pkts \"local\" ON\n"
        "Threshold host 00:00:5E:00:53:01 high 1 pkts \"not in the local names\" ON\n"
        "Threshold host \"nas01\" high 1 pkts \"local name\" ON\n"
        "Threshold host \"nobody\" high 1 pkts \"unresolved\" ON\n"
        "Threshold host \"printer\" high 1 pkts \"resolved\" ON\n"
        "Threshold host \"nostation\" high 1 pkts \"resolved, station unknown\" ON\n"
        "Occurrence host 00:00:5E:00:53:02 \"occurrence\" ON\n"
        "Occurrence network 00:00:5E:00:53:03 \"only looked up\" ON\n"
        "Threshold link \"nas01\" \"printer\" high 1 pkts \"both ends\" ON\n",
        &list);
    for (const auto& a : list.alarms) {
        EXPECT_EQ(a->first.load(), nullptr);
        EXPECT_EQ(a->second.load(), nullptr);
    }
    read_ethers(kEthers);
    start();
    drain();
    EXPECT_EQ(describe_list(list, true),
              (std::vector<std::string>{
                  "host threshold high 1 pkts ON 1=ether:00:11:32:8E:4D:22 ref1=00:11:32:8E:4D:22/nas01 \"local\"",
                  "w Threshold host 00:11:32:8E:4D:22 high 1 pkts \"local\" ON ",
                  "host threshold high 1 pkts ON 1=ether:00:00:5E:00:53:01 ref1=00:00:5E:00:53:01/00:00:5E:00:53:01 "
                  "\"not in the local names\"",
                  "w Threshold host 00:00:5E:00:53:01 high 1 pkts \"not in the local names\" ON ",
                  "host threshold high 1 pkts ON 1=name:\"nas01\" ref1=00:11:32:8E:4D:22/nas01 \"local name\"",
                  "w Threshold host 00:11:32:8E:4D:22 high 1 pkts \"local name\" ON ",
                  "host threshold high 1 pkts ON 1=name:\"nobody\" \"unresolved\"",
                  "w Threshold host \"nobody\" high 1 pkts \"unresolved\" ON ",
                  "host threshold high 1 pkts ON 1=name:\"printer\" ref1=02:00:00:00:00:07/printer \"resolved\"",
                  "w Threshold host 02:00:00:00:00:07 high 1 pkts \"resolved\" ON ",
                  // The all-zero address of an unknown station is never written.
                  "host threshold high 1 pkts ON 1=name:\"nostation\" ref1=unknown-station/nostation "
                  "\"resolved, station unknown\"",
                  "w Threshold host \"nostation\" high 1 pkts \"resolved, station unknown\" ON ",
                  "host occurrence low 0 kbytes ON 1=ether:00:00:5E:00:53:02 ref1=00:00:5E:00:53:02/00:00:5E:00:53:02 "
                  "\"occurrence\"",
                  "w Occurrence host 00:00:5E:00:53:02 \"occurrence\" ON ",
                  "network occurrence low 0 kbytes ON 1=ether:00:00:5E:00:53:03 \"only looked up\"",
                  "w Occurrence network 00:00:5E:00:53:03 \"only looked up\" ON ",
                  "link threshold high 1 pkts ON 1=name:\"nas01\" 2=name:\"printer\" ref1=00:11:32:8E:4D:22/nas01 "
                  "ref2=02:00:00:00:00:07/printer \"both ends\"",
                  "w Threshold link 00:11:32:8E:4D:22 02:00:00:00:00:07 high 1 pkts \"both ends\" ON ",
              }));
    // The network occurrence address was never requested: nobody filed it.
    NetAddress never;
    const uint8_t bytes[6] = {0x00, 0x00, 0x5E, 0x00, 0x53, 0x03};
    ether_set(&never, bytes);
    EXPECT_EQ(local_name_by_address(&never), nullptr);
}

// An alarm abandoned at a syntax error asks nothing; an alarm whose list is gone
// before the answer comes is not filled (and nothing is touched after its end).
TEST_F(HostRefs, NoRequestOutlivesItsAlarm) {
    AlarmList broken;
    MessageCapture quiet;
    EXPECT_EQ(adl_parse_bytes("Threshold host 00:00:5E:00:53:09 hgh", 36, &broken), kAdlStopped);
    auto replaced = std::make_unique<AlarmList>();
    const std::string text = "Threshold host 00:00:5E:00:53:0A high 1 pkts \"x\" ON\n";
    ASSERT_EQ(adl_parse_bytes(text.data(), text.size(), replaced.get()), kAdlWhole);
    std::weak_ptr<Alarm> gone = replaced->alarms.at(0);
    replaced.reset();
    EXPECT_TRUE(gone.expired());
    start();
    drain();
    NetAddress a;
    const uint8_t abandoned[6] = {0x00, 0x00, 0x5E, 0x00, 0x53, 0x09};
    ether_set(&a, abandoned);
    EXPECT_EQ(local_name_by_address(&a), nullptr);
    const uint8_t answered[6] = {0x00, 0x00, 0x5E, 0x00, 0x53, 0x0A};
    ether_set(&a, answered);
    EXPECT_NE(local_name_by_address(&a), nullptr);
}

// Replies fill references on the resolver thread while the main thread writes the
// list (run under ThreadSanitizer by tools/test.sh).
TEST_F(HostRefs, RepliesWhileWriting) {
    start();
    std::string text;
    for (int i = 0; i < 200; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "Threshold link 02:00:00:00:%02X:%02X \"nas01\" high 1 pkts \"x\" ON\n", i / 256,
                      i % 256);
        text += line;
    }
    read_ethers(kEthers);
    AlarmList list;
    ASSERT_EQ(adl_parse_bytes(text.data(), text.size(), &list), kAdlWhole);
    for (int k = 0; k < 20; ++k) (void)alarm_dump_text(list);
    drain();
    for (const auto& a : list.alarms) {
        const NameEntry* source = a->first.load();
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(0, std::memcmp(source->address.storage, a->first_written.bytes, 6));
        ASSERT_NE(a->second.load(), nullptr);
        EXPECT_STREQ(a->second.load()->name, "nas01");
    }
}
