// The alarm engine's decisions, as scenarios of traffic and capture passes (table in
// data/engine.txt), and the threshold arithmetic as a table of rates (data/thresholds.txt).
#include <cmath>
#include <sstream>

#include "alarm_support.h"
#include "model/engine.h"
#include "model/net.h"
#include "model/netif.h"
#include "protocol/pd.h"
#include "support/pcap_writer.h"

using namespace alarmtest;

namespace {

int64_t fixed_clock() { return 315626635; }  // Wed Jan 02 02:03:55 1980 (UTC)

// Runs one scenario (the commands are explained at the top of data/engine.txt) and
// gives what it printed.
class Scenario {
public:
    Scenario() {
        model_reset();  // the protocol tree stays the one frames are classified along
        alarm_init();
        alarm_set_clock(fixed_clock);
        AlarmActions actions;
        actions.output = [this](const Alarm& a, const AlarmEvent&) { fired_.push_back(a.notify); };
        alarm_set_actions(actions);
        net_ = net_create("test0");
        net_list_add(net_);
        net_set_current(net_);
    }
    ~Scenario() {
        alarm_set_actions({});
        alarm_set_clock(nullptr);
    }

    std::vector<std::string> run(const std::string& script) {
        std::istringstream in(script);
        for (std::string line; std::getline(in, line);) {
            if (line.empty()) continue;
            std::istringstream words(line);
            std::string command;
            words >> command;
            if (command == "alarm") add_alarm(line.substr(6));
            else if (command == "send") send(words);
            else if (command == "wait") {
                double s = 0;
                words >> s;
                now_us_ += std::llround(s * 1e6);
            } else if (command == "pass") pass();
            else if (command == "counts") counts();
            else out_.push_back("? " + line);
        }
        return out_;
    }

private:
    void add_alarm(const std::string& text) {
        if (!armed_) {
            // Alarms are read before the first pass, as at start-up.
            const std::string file = text + "\n";
            MessageCapture quiet;
            if (adl_parse_bytes(file.data(), file.size(), &alarm_list()) != kAdlWhole) out_.push_back("? " + text);
        }
    }

    // send SRC DST N [len L] [type HHHH] [over SECONDS]
    void send(std::istringstream& words) {
        std::string src, dst, key;
        long n = 0;
        words >> src >> dst >> n;
        size_t length = 60;
        unsigned type = 0x0800;
        double over = 0;
        while (words >> key) {
            if (key == "len") words >> length;
            else if (key == "type") words >> std::hex >> type >> std::dec;
            else if (key == "over") words >> over;
        }
        const std::vector<uint8_t> frame =
            testsupport::ether_frame(dst, src, static_cast<uint16_t>(type), length > 14 ? length - 14 : 0);
        const int64_t step = n > 0 ? std::llround(over * 1e6) / n : 0;
        for (long i = 0; i < n; ++i) {
            const int64_t t = now_us_ + i * step;
            hscap::FrameHeader h{static_cast<int32_t>(t / 1000000), static_cast<int32_t>(t % 1000000),
                                 static_cast<uint32_t>(frame.size()), static_cast<uint32_t>(frame.size())};
            netif_frame(net_, &h, frame.data());
        }
        now_us_ += n * step;
    }

    // What a capture pass does after its dispatch: the alarm step, then the refresh;
    // then the events performed as the alarm thread would.
    void pass() {
        if (!armed_) {
            // The name service answers the alarms' Ethernet addresses, as the resolver
            // thread does at start-up.
            (void)hostc_answer_queued();
            alarm_arm_all();
            armed_ = true;
        }
        alarm_pass(net_);
        net_refresh(net_);
        fired_.clear();
        (void)alarm_perform_queued();
        size_t pending = 0, armed = 0;
        alarm_list_sizes(&pending, &armed);
        std::string line = "pass " + std::to_string(++passes_) + " (pending " + std::to_string(pending) + ", armed " +
                           std::to_string(armed) + "):";
        if (fired_.empty()) line += " -";
        for (size_t i = 0; i < fired_.size(); ++i) line += (i ? " | " : " ") + escape(fired_[i], false);
        out_.push_back(line);
    }

    void counts() {
        for (const auto& a : alarm_list().alarms) {
            uint64_t n = 0;
            (void)alarm_activations(*a, &n);
            out_.push_back("count " + std::to_string(n) + " " + escape(a->notify, false));
        }
    }

    Network* net_ = nullptr;
    int64_t now_us_ = int64_t{1000} * 1000000;
    bool armed_ = false;
    int passes_ = 0;
    std::vector<std::string> fired_;
    std::vector<std::string> out_;
};

}  // namespace

class AlarmEngineTest : public AlarmTest {
protected:
    void SetUp() override {
        AlarmTest::SetUp();
        MessageCapture quiet;
        ASSERT_NE(engine_load_protocols(HOPSCOPE_DATA_DIR "/protocol.pdl", true), nullptr);
        // A resolver that knows no name: nothing leaves the machine.
        SystemResolver none;
        none.by_name = [](const char*, HostRecord*) { return false; };
        none.by_address = [](const uint8_t*, int, int, HostRecord*) { return false; };
        none.station_of = [](const uint8_t*, int, int, uint8_t*) { return false; };
        previous_ = hostc_set_resolver(none);
    }
    void TearDown() override {
        hostc_set_resolver(previous_);
        pd_set_root(nullptr);
        alarm_init();
        AlarmTest::TearDown();
    }
    SystemResolver previous_;
};

TEST_F(AlarmEngineTest, Scenarios) {
    const std::string path = data_path("engine.txt");
    const std::vector<Case> cases = read_cases(path);
    ASSERT_GE(cases.size(), 10u);
    std::vector<std::vector<std::string>> actual;
    for (const Case& c : cases) {
        Scenario s;
        actual.push_back(s.run(c.input));
        EXPECT_EQ(join(actual.back()), join(c.expected)) << "case \"" << c.name << "\" (engine.txt line " << c.line << ")";
    }
    if (refreshing()) write_cases(path, cases, actual);
}

// Each line of data/thresholds.txt: UNIT FRAMES BYTES VALUE, then LEVEL THRESHOLD FIRES
// groups; VALUE is worked out by hand from the unit's definition.
TEST(AlarmThreshold, ValuesAndDecisionsAtEveryRate) {
    std::ifstream in(data_path("thresholds.txt"));
    ASSERT_TRUE(in);
    int rows = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream w(line);
        std::string unit_name;
        uint64_t frames = 0, bytes = 0, value = 0;
        w >> unit_name >> frames >> bytes >> value;
        const int unit = unit_name == "pkts" ? kUnitPkts : unit_name == "kbytes" ? kUnitKbytes : kUnitBandwidth;
        EXPECT_EQ(alarm_threshold_value(unit, frames, bytes), value) << line;
        std::string level;
        uint32_t threshold = 0;
        std::string fires;
        while (w >> level >> threshold >> fires) {
            EXPECT_EQ(alarm_threshold_fires(level == "high" ? kLevelHigh : kLevelLow, unit, threshold, frames, bytes),
                      fires == "fires")
                << line << " [" << level << " " << threshold << "]";
        }
        ++rows;
    }
    EXPECT_GE(rows, 10);
}

// The queue holds kAlarmQueueCapacity events; firings beyond them are counted but never
// performed, so the count stays exact and memory stays bounded.
TEST_F(AlarmEngineTest, AFullQueueCountsEveryFiring) {
    alarm_init();
    const std::string text = "Threshold network low 10 kbytes \"idle\" ON\n";
    ASSERT_EQ(adl_parse_bytes(text.data(), text.size(), &alarm_list()), kAdlWhole);
    const std::shared_ptr<Alarm> a = alarm_list().alarms.at(0);
    const size_t firings = kAlarmQueueCapacity + 904;
    size_t queued = 0;
    ::testing::internal::CaptureStdout();
    for (size_t i = 0; i < firings; ++i) queued += static_cast<size_t>(alarm_fire(a));
    EXPECT_EQ(queued, kAlarmQueueCapacity);
    EXPECT_EQ(alarm_queue_count(), kAlarmQueueCapacity);
    EXPECT_EQ(alarm_perform_queued(), kAlarmQueueCapacity);
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("alarm_thread: Warning - "), std::string::npos) << said;
    EXPECT_EQ(alarm_queue_count(), 0u);
    EXPECT_EQ(alarm_unperformed_total(), 904u);
    uint64_t count = 0;
    const std::vector<AlarmActivation> kept = alarm_activations(*a, &count);
    EXPECT_EQ(count, firings);
    EXPECT_EQ(kept.size(), kActivationsKept);
    EXPECT_EQ(alarm_activation_count(*a), firings);
    // The queue takes firings again once it has room.
    EXPECT_EQ(alarm_fire(a), 1);
    EXPECT_EQ(alarm_fire(nullptr), -1);
}

// A firing whose alarm is gone by the time it is performed is dropped without action.
TEST_F(AlarmEngineTest, AFiringOfAnAlarmThatIsGoneIsDropped) {
    alarm_init();
    int lines = 0;
    AlarmActions actions;
    actions.output = [&](const Alarm&, const AlarmEvent&) { ++lines; };
    alarm_set_actions(actions);
    {
        std::shared_ptr<Alarm> a = alarm_new();
        ASSERT_EQ(alarm_fire(a), 1);
    }
    EXPECT_EQ(alarm_perform_queued(), 0u);
    EXPECT_EQ(lines, 0);
    alarm_set_actions({});
}

// The newest kActivationsKept times are kept, oldest first.
TEST(AlarmActivationsKept, TheNewestThousandOldestFirst) {
    std::shared_ptr<Alarm> a = alarm_new();
    for (int64_t t = 1; t <= 2500; ++t) alarm_record_activation(a.get(), t);
    uint64_t count = 0;
    const std::vector<AlarmActivation> kept = alarm_activations(*a, &count);
    EXPECT_EQ(count, 2500u);
    ASSERT_EQ(kept.size(), kActivationsKept);
    EXPECT_EQ(kept.front().time, 1501);
    EXPECT_EQ(kept.back().time, 2500);
    for (size_t i = 1; i < kept.size(); ++i) ASSERT_EQ(kept[i].time, kept[i - 1].time + 1);
}

// Words of a command line (data/command_words.txt): each line, then its words.
TEST(AlarmCommand, WordsOfACommandLine) {
    const std::vector<Case> cases = read_cases(data_path("command_words.txt"));
    ASSERT_GE(cases.size(), 8u);
    for (const Case& c : cases) {
        std::vector<std::string> words;
        for (const std::string& w : alarm_command_words(c.input.substr(0, c.input.size() - 1))) words.push_back("[" + w + "]");
        EXPECT_EQ(join(words), join(c.expected)) << c.name;
    }
}
