// The alarm thread beside the thread that runs the passes and the readers: batches and
// beeps, the Alarm Builder's replacement of the list while passes run, and counts that
// stay exact. The ThreadSanitizer build runs these too.
#include <chrono>
#include <condition_variable>
#include <thread>

#include "alarm_support.h"
#include "model/net.h"
#include "model/netif.h"
#include "model/topn.h"
#include "support/pcap_writer.h"

using namespace alarmtest;

namespace {

// What the alarm thread did, in order: "beep" once a batch, the notify string a line.
class Recorder {
public:
    AlarmActions actions() {
        AlarmActions a;
        a.beep = [this] { add("beep"); };
        a.output = [this](const Alarm& alarm, const AlarmEvent&) { add(alarm.notify); };
        return a;
    }
    // Waits until `lines` lines (beeps not counted) have been recorded.
    bool wait_lines(size_t lines) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(30), [&] { return lines_ >= lines; });
    }
    std::vector<std::string> seen() {
        std::lock_guard lock(mutex_);
        return seen_;
    }

private:
    void add(std::string what) {
        std::lock_guard lock(mutex_);
        if (what != "beep") ++lines_;
        seen_.push_back(std::move(what));
        cv_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::string> seen_;
    size_t lines_ = 0;
};

class AlarmThreadTest : public AlarmTest {
protected:
    void SetUp() override {
        AlarmTest::SetUp();
        model_reset();
        alarm_init();
        net_ = net_create("test0");
        net_list_add(net_);
        net_set_current(net_);
    }
    void TearDown() override {
        alarm_stop();
        alarm_set_actions({});
        alarm_init();
        AlarmTest::TearDown();
    }
    void load(const std::string& text) {
        ASSERT_EQ(adl_parse_bytes(text.data(), text.size(), &alarm_list()), kAdlWhole);
        alarm_arm_all();
    }
    // One frame from a to b at `usec` microseconds past 1000 s, as the capture pass's
    // dispatch applies it.
    void frame(int64_t usec) {
        static const std::vector<uint8_t> f = testsupport::ether_frame("00:00:00:00:00:0b", "00:00:00:00:00:0a", 0x0800);
        hscap::FrameHeader h{static_cast<int32_t>(1000 + usec / 1000000), static_cast<int32_t>(usec % 1000000),
                             static_cast<uint32_t>(f.size()), static_cast<uint32_t>(f.size())};
        ModelWriteLock lock;
        netif_frame(net_, &h, f.data());
    }
    void pass() {
        ModelWriteLock lock;
        alarm_pass(net_);
    }

    Network* net_ = nullptr;
};

}  // namespace

// Three firings in one pass are one batch: one beep, then the three lines.
TEST_F(AlarmThreadTest, FiringsOfOnePassAreOneBatchWithOneBeep) {
    Recorder rec;
    alarm_set_actions(rec.actions());
    load("Threshold network low 10 kbytes \"one\" ON\n"
         "Threshold network low 20 kbytes \"two\" ON\n"
         "Threshold network low 30 kbytes \"three\" ON\n");
    alarm_thread_start();
    pass();
    ASSERT_TRUE(rec.wait_lines(3));
    pass();
    ASSERT_TRUE(rec.wait_lines(6));
    const std::vector<std::string> expected = {"beep", "one", "two", "three", "beep", "one", "two", "three"};
    EXPECT_EQ(rec.seen(), expected);
    alarm_stop();
    uint64_t count = 0;
    (void)alarm_activations(*alarm_list().alarms[0], &count);
    EXPECT_EQ(count, 2u);
}

// An event queued before the thread starts is performed once it runs: the signal it set
// is not lost.
TEST_F(AlarmThreadTest, AFiringBeforeTheThreadStartsIsPerformed) {
    Recorder rec;
    alarm_set_actions(rec.actions());
    load("Threshold network low 10 kbytes \"early\" ON\n");
    pass();
    EXPECT_EQ(net_->top_alarms, nullptr);
    alarm_thread_start();
    ASSERT_TRUE(rec.wait_lines(1));
    EXPECT_EQ(rec.seen(), (std::vector<std::string>{"beep", "early"}));
    alarm_stop();  // the batch it performs is done
    std::lock_guard lock(alarm_mutex());
    EXPECT_EQ(net_->top_alarms, alarm_top_alarms());  // every network shows the one ranking
    ASSERT_EQ(alarm_top_alarms()->count, 1);
    EXPECT_EQ(alarm_top_alarms()->items[0], alarm_list().alarms[0].get());
}

// Passes, the alarm thread, a Top Alarms reader and a report reader run together while
// the Builder replaces the list again and again. Every firing is either performed or
// counted as unperformed; the top alarms list holds only alarms of the current list.
TEST_F(AlarmThreadTest, PassesPerformingReadersAndReplacementsRunTogether) {
    std::atomic<uint64_t> performed{0};
    AlarmActions actions;
    actions.output = [&](const Alarm&, const AlarmEvent&) { performed.fetch_add(1); };
    alarm_set_actions(actions);
    load("Threshold host 00:00:00:00:00:0a high 1 pkts \"a sends\" ON\n"
         "Threshold network high 1 pkts \"the network\" ON\n"
         "Occurrence host 00:00:00:00:00:0a \"a is shown\" ON\n");
    // The host's reference, as the resolver thread would give it.
    (void)hostc_answer_queued();
    alarm_thread_start();

    std::atomic<bool> done{false};
    std::thread capture([&] {
        for (int i = 0; i < 3000; ++i) {
            frame(int64_t{i} * 100);
            pass();
        }
        done.store(true);
    });
    std::thread top_reader([&] {
        while (!done.load()) {
            std::lock_guard lock(alarm_mutex());
            TopList* top = alarm_top_alarms();
            topn_resort(top);
            TopPair pairs[kTopCapacity];
            const int n = topn_export(top, pairs);
            for (int i = 0; i < n; ++i) std::free(pairs[i].label);
        }
    });
    std::thread report_reader([&] {
        while (!done.load())
            for (const auto& a : alarm_list_snapshot()) (void)alarm_activations(*a, nullptr);
    });
    // The Builder's OK, a few times: the same alarms copied (activations shared).
    for (int round = 0; round < 20; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        AlarmList copy;
        for (const auto& a : alarm_list_snapshot()) copy.alarms.push_back(alarm_copy(*a));
        alarm_replace_list(std::move(copy));
    }
    capture.join();
    top_reader.join();
    report_reader.join();
    // Whatever is still queued is performed before the thread ends.
    while (alarm_queue_count() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    alarm_stop();

    uint64_t firings = 0;
    for (const auto& a : alarm_list_snapshot()) firings += alarm_activation_count(*a);
    EXPECT_GT(firings, 0u);
    EXPECT_EQ(firings, performed.load() + alarm_unperformed_total());
    const auto current = alarm_list_snapshot();
    std::lock_guard lock(alarm_mutex());
    const TopList* top = alarm_top_alarms();
    EXPECT_EQ(top->count, static_cast<int>(current.size()));
    for (int i = 0; i < top->count; ++i) {
        bool found = false;
        for (const auto& a : current) found = found || a.get() == top->items[i];
        EXPECT_TRUE(found) << "place " << i << " holds an alarm of an old list";
    }
}
