// The Alarm Builder's engine (alarm/calarm.h) without a window: scripts of what the user
// does against the alarms and controls they leave (data/builder.txt), the protocol list
// of small trees (data/builder_protocols.txt) and the value field (data/builder_values.txt).
// HOPSCOPE_REFRESH=1 rewrites the expected lines of the two tables for review.
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

#include "alarm/calarm.h"
#include "alarm_support.h"
#include "protocol/pd.h"

using namespace alarmtest;

namespace {

const char* const kTypes[] = {"none", "host", "link", "protocol", "network"};
const char* const kUnits[] = {"pkts", "kbytes", "bandwidth"};

std::string combo_text(const ComboView& c) {
    return std::string("[") + (c.enabled ? "on " : "off ") + (c.protocols ? "protocols " : "names ") + "\"" + c.text +
           "\"" + (c.selected >= 0 ? " #" + std::to_string(c.selected) : "") + "]";
}

// One line for what every control shows.
std::string view_text(const BuilderView& v) {
    if (!v.has_alarm) return "view none";
    std::string out = "view ";
    out += v.object_type >= 0 && v.object_type <= 4 ? kTypes[v.object_type] : "?";
    out += v.condition == kAlarmOccurrence ? " occurrence" : v.level == kLevelLow ? " lo" : " hi";
    out += std::string(" unit=") + (v.unit < 0 ? "none" : kUnits[v.unit]);
    out += v.thresholds_enabled ? " buttons=on" : " buttons=off";
    out += " value=" + std::string(v.value_enabled ? "on" : "off") + (v.value_read_only ? "/ro" : "/rw") + " \"" +
           v.value_text + "\"";
    out += " captions=\"" + v.first_caption + "\",\"" + v.second_caption + "\"";
    out += " first=" + combo_text(v.first) + " second=" + combo_text(v.second);
    if (v.play_wave || !v.wave_file.empty()) out += std::string(" wave=") + (v.play_wave ? "on" : "off") + ":" + v.wave_file;
    if (v.run_command || !v.command.empty())
        out += std::string(" command=") + (v.run_command ? "on" : "off") + ":" + v.command;
    return out;
}

int object_of(const std::string& w) {
    for (int i = 1; i <= 4; ++i)
        if (w == kTypes[i]) return i;
    return 0;
}

int unit_of(const std::string& w) {
    for (int i = 0; i < 3; ++i)
        if (w == kUnits[i]) return i;
    return -1;
}

class BuilderScripts : public AlarmTest {
protected:
    void SetUp() override {
        AlarmTest::SetUp();
        pd_set_root(symbol_lookup("ROOT")->node);
        previous_ = hostc_set_resolver(one_name_resolver("late", 9));  // the tests answer by hand
    }
    void TearDown() override {
        (void)hostc_answer_queued();
        hostc_set_resolver(previous_);
        AlarmTest::TearDown();
    }

    // Runs one script and gives what it shows.
    std::vector<std::string> run(const std::string& script) {
        std::vector<std::string> out;
        std::string adl, ethers;
        std::unique_ptr<AlarmBuilderModel> m;
        std::shared_ptr<BuilderRequest> request;
        // Each script starts with a name service of its own.
        (void)hostc_answer_queued();
        hostc_init();
        auto model = [&]() -> AlarmBuilderModel& {
            if (!m) {
                if (!ethers.empty()) {
                    const std::string path = prototest::write_text(ethers, "builder.ethers");
                    EXPECT_EQ(ethers_read(path.c_str()), 0);
                }
                alarm_init();
                MessageCapture quiet;
                EXPECT_EQ(adl_parse_bytes(adl.data(), adl.size(), &alarm_list()), kAdlWhole);
                m = std::make_unique<AlarmBuilderModel>(alarm_list(), pd_root());
            }
            return *m;
        };
        std::istringstream in(script);
        for (std::string line; std::getline(in, line);) {
            const size_t sp = line.find(' ');
            const std::string word = line.substr(0, sp);
            const std::string rest = sp == std::string::npos ? "" : line.substr(sp + 1);
            const int n = std::atoi(rest.c_str());
            if (word == "alarm") adl += rest + "\n";
            else if (word == "ethers") ethers += rest + "\n";
            else if (word == "new") model().add_new();
            else if (word == "select") model().select(n);
            else if (word == "delete") model().delete_at(n);
            else if (word == "toggle") model().toggle_disabled(n);
            else if (word == "rename") out.push_back("rename -> \"" + escape(model().rename(model().current(), rest)) + "\"");
            else if (word == "object") model().choose_object(object_of(rest));
            else if (word == "occurrence") model().choose_condition(kAlarmOccurrence, kLevelHigh);
            else if (word == "hi") model().choose_condition(kAlarmThreshold, kLevelHigh);
            else if (word == "lo") model().choose_condition(kAlarmThreshold, kLevelLow);
            else if (word == "unit") model().choose_unit(unit_of(rest));
            else if (word == "value") out.push_back("value \"" + rest + "\" -> \"" + model().set_value_text(rest) + "\"");
            else if (word == "wave") model().set_wave_file(rest);
            else if (word == "command") model().set_command(rest);
            else if (word == "play") model().toggle_play_wave();
            else if (word == "run") model().toggle_run_command();
            else if (word == "protocol") model().set_protocol_text(rest);
            else if (word == "pick") model().choose_protocol(n);
            else if (word == "end1" || word == "end2") {
                std::string note;
                request = model().set_end_text(word == "end1" ? 1 : 2, rest, &note);
                out.push_back(word + " \"" + rest + "\" -> " + (request ? "asked" : note.empty() ? "settled" : note));
            } else if (word == "answer") {
                out.push_back("answered " + std::to_string(hostc_answer_queued()));
            } else if (word == "ok") {
                model().commit();
                out.push_back("ok");
            } else if (word == "view") {
                out.push_back(view_text(model().view()));
            } else if (!word.empty()) {
                ADD_FAILURE() << "unknown script word " << word;
            }
        }
        AlarmBuilderModel& mm = model();
        for (size_t i = 0; i < mm.size(); ++i) out.push_back("copy " + describe(*mm.alarm(i)));
        out.push_back("current " + std::to_string(mm.current()));
        out.push_back(view_text(mm.view()));
        const AlarmList& engine = alarm_list();
        out.push_back(std::string("engine") + (engine.edited ? " edited" : ""));
        for (const std::string& l : describe_list(engine, true)) out.push_back("  " + l);
        return out;
    }

    SystemResolver previous_;
};

void check_table(const std::string& name, const std::function<std::vector<std::string>(const Case&)>& run) {
    const std::string path = data_path(name);
    const std::vector<Case> cases = read_cases(path);
    ASSERT_FALSE(cases.empty());
    std::vector<std::vector<std::string>> got;
    for (const Case& c : cases) {
        got.push_back(run(c));
        EXPECT_EQ(join(got.back()), join(c.expected)) << name << ":" << c.line << " " << c.name;
    }
    if (refreshing()) write_cases(path, cases, got);
}

}  // namespace

TEST_F(BuilderScripts, EveryScriptLeavesTheAlarmsAndControlsOfItsTable) {
    check_table("builder.txt", [this](const Case& c) { return run(c.input); });
}

TEST_F(BuilderScripts, CopiesShareTheActivationsAndNothingElse) {
    const std::string adl = "Threshold host 00:1C:C0:12:A7:E5 high 300 pkts \"dev109\" ON\n";
    ASSERT_EQ(adl_parse_bytes(adl.data(), adl.size(), &alarm_list()), kAdlWhole);
    Alarm& original = *alarm_list().alarms[0];
    alarm_record_activation(&original, 100);
    AlarmBuilderModel m(alarm_list(), pd_root());
    Alarm& copy = *m.alarm(0);
    EXPECT_EQ(copy.activations, original.activations);
    EXPECT_EQ(alarm_activation_count(copy), 1u);
    m.rename(0, "changed");
    m.set_value_text("7");
    EXPECT_EQ(original.notify, "dev109");
    EXPECT_EQ(original.threshold, 300u);
    // Cancel: the engine's list is the one it was.
    m = AlarmBuilderModel(alarm_list(), pd_root());
    EXPECT_EQ(alarm_list().alarms[0].get(), &original);
    EXPECT_FALSE(alarm_list().edited);
}

TEST_F(BuilderScripts, AnAnswerForAnOlderQuestionFillsNothing) {
    alarm_init();
    AlarmBuilderModel m(alarm_list(), pd_root());
    m.add_new();
    m.choose_object(kAlarmHost);
    std::string note;
    std::shared_ptr<BuilderRequest> first = m.set_end_text(1, "late", &note);
    ASSERT_NE(first, nullptr);
    std::shared_ptr<BuilderRequest> second = m.set_end_text(1, "nobody", &note);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(hostc_answer_queued(), 2);
    EXPECT_TRUE(calarm_answered(*first));
    EXPECT_NE(first->answer, nullptr);  // "late" was answered ...
    EXPECT_EQ(m.current_alarm()->first.load(), nullptr);  // ... after "nobody" was asked
    EXPECT_EQ(m.view().first.text, kUnresolvedText);
}

TEST_F(BuilderScripts, DeletingEveryAlarmThenOkWritesAnEmptyFileAtExit) {
    const std::string path = prototest::write_text(
        "/* mine */\nThreshold network high 600 pkts \"busy\" OFF\nOccurrence protocol DHCP \"dhcp\" OFF\n", "all.adl");
    alarm_init();
    MessageCapture quiet;
    ASSERT_NE(adl_parse(path.c_str()), nullptr);
    AlarmBuilderModel m(alarm_list(), pd_root());
    m.delete_at(0);
    m.delete_at(0);
    EXPECT_EQ(m.current(), -1);
    m.commit();
    EXPECT_TRUE(alarm_list().alarms.empty());
    ::testing::internal::CaptureStdout();
    const AlarmSaveResult saved = alarm_save_at_exit(path.c_str());
    (void)::testing::internal::GetCapturedStdout();
    EXPECT_EQ(saved.status, 1);
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "");
    EXPECT_FALSE(saved.backup.empty());  // the user's own text is kept beside it
}

TEST(BuilderProtocols, TheListOfEachTreeIsItsTable) {
    check_table("builder_protocols.txt", [](const Case& c) {
        MessageCapture quiet;
        ProtocolNode* root = prototest::load_text(c.input);
        std::vector<std::string> out;
        std::istringstream tree(prototest::dump_tree(root));
        for (std::string l; std::getline(tree, l);) out.push_back("tree " + l.substr(0, l.find(' ', l.find_first_not_of(' '))));
        for (const ProtocolEntry& e : calarm_protocol_list(root)) out.push_back("\"" + e.text + "\" " + e.node->name);
        return out;
    });
}

TEST(BuilderValues, EveryTextReadsAsItsThreshold) {
    // TEXT<tab>UNIT<tab>THRESHOLD
    std::ifstream in(data_path("builder_values.txt"));
    ASSERT_TRUE(in);
    int cases = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream f(line);
        std::string text, unit, expected;
        std::getline(f, text, '\t');
        std::getline(f, unit, '\t');
        std::getline(f, expected, '\t');
        text = unescape(text);
        EXPECT_EQ(std::to_string(calarm_read_value(text, unit == "bandwidth")), expected) << line;
        ++cases;
    }
    EXPECT_GT(cases, 10);
}

TEST(BuilderValues, EthernetAddressesAndOtherTexts) {
    uint8_t b[6];
    EXPECT_TRUE(calarm_ether_text("00:1c:C0:12:a7:E5", b));
    EXPECT_EQ(b[1], 0x1C);
    EXPECT_EQ(b[5], 0xE5);
    EXPECT_TRUE(calarm_ether_text("8:0:2b:1a:0:ff", b));
    EXPECT_EQ(b[0], 8);
    for (const char* bad : {"00:1c:c0:12:a7", "00:1c:c0:12:a7:e5:00", "00:1c:c0:12:a7:e55", "fe80::1", "a:b:c:d:e:g",
                            "00-1c-c0-12-a7-e5", ""})
        EXPECT_FALSE(calarm_ether_text(bad, nullptr)) << bad;
}
