// The alarm definition language: the accept and reject table, the spellings that must
// load the same, round trips of every form the writer produces, and the shipped
// example file against its reviewed expected dump.
#include <fstream>
#include <iterator>

#include "alarm_support.h"

using namespace alarmtest;

namespace {

// Writes the list, reads the text back and gives the canonical lines of both loads.
void expect_round_trip(const AlarmList& list, const std::string& what) {
    const std::string text = alarm_dump_text(list);
    AlarmList again;
    MessageCapture cap;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(adl_parse_bytes(text.data(), text.size(), &again), kAdlWhole) << what << "\n" << text;
    (void)::testing::internal::GetCapturedStdout();
    EXPECT_EQ(join(describe_list(again, true)), join(describe_list(list, true))) << what;
    EXPECT_EQ(alarm_dump_text(again), text) << what;
}

std::vector<std::vector<std::string>> read_spellings(const std::string& path) {
    std::vector<std::vector<std::string>> groups;
    std::ifstream in(path, std::ios::binary);
    for (std::string l; std::getline(in, l);) {
        if (l.rfind("=== ", 0) == 0) groups.push_back({""});
        else if (groups.empty()) continue;
        else if (l == "---") groups.back().push_back("");
        else if (!l.empty()) {
            const bool joined = l.size() >= 2 && l.compare(l.size() - 2, 2, "\\c") == 0;
            groups.back().back() += unescape(joined ? l.substr(0, l.size() - 2) : l) + (joined ? "" : "\n");
        }
    }
    return groups;
}

}  // namespace

class AdlTable : public AlarmTest {};

TEST_F(AdlTable, LanguageCases) {
    const std::string path = data_path("language.txt");
    const std::vector<Case> cases = read_cases(path);
    ASSERT_GT(cases.size(), 30u);
    std::vector<std::vector<std::string>> actual;
    for (const Case& c : cases) {
        AlarmList list;
        actual.push_back(load_report(c.input, &list));
        EXPECT_EQ(join(actual.back()), join(c.expected)) << "case \"" << c.name << "\" (language.txt line " << c.line << ")";
        if (list.parse_status == kAdlWhole) expect_round_trip(list, c.name);
    }
    if (refreshing()) write_cases(path, cases, actual);
}

TEST_F(AdlTable, EquivalentSpellingsLoadTheSame) {
    const auto groups = read_spellings(data_path("spellings.txt"));
    ASSERT_GE(groups.size(), 5u);
    for (const auto& spellings : groups) {
        AlarmList first;
        const std::string reference = join(load_report(spellings.at(0), &first));
        EXPECT_EQ(first.parse_status, kAdlWhole) << spellings[0];
        for (size_t i = 1; i < spellings.size(); ++i) {
            AlarmList list;
            EXPECT_EQ(join(load_report(spellings[i], &list)), reference) << spellings[i];
        }
    }
}

// Alarms that only the Alarm Builder can make, which no file line spells directly.
TEST_F(AdlTable, WrittenFormsOfBuilderAlarmsReadBack) {
    struct Made {
        int type, condition, level, unit;
        uint32_t threshold;
        const char* notify;
        const char* written;
    } table[] = {
        {kAlarmNetwork, kAlarmThreshold, kLevelLow, kUnitKbytes, 0, "New Alarm",
         "Threshold network low 0 kbytes \"New Alarm\" OFF "},
        // A negative value typed into the Builder is a large unsigned threshold.
        {kAlarmNetwork, kAlarmThreshold, kLevelHigh, kUnitPkts, static_cast<uint32_t>(-5), "minus five",
         "Threshold network high 4294967291 pkts \"minus five\" OFF "},
        {kAlarmHost, kAlarmThreshold, kLevelHigh, kUnitKbytes, 150, "no host chosen",
         "Threshold host <host unknown> high 150 kbytes \"no host chosen\" OFF "},
        {kAlarmLink, kAlarmOccurrence, kLevelLow, kUnitKbytes, 0, "no ends",
         "Occurrence link <host unknown> <host unknown> \"no ends\" OFF "},
        {kAlarmNetwork, kAlarmOccurrence, kLevelLow, kUnitKbytes, 0, "network occurrence",
         "Occurrence network <host unknown> \"network occurrence\" OFF "},
        {kAlarmProtocol, kAlarmOccurrence, kLevelLow, kUnitKbytes, 0, "no protocol matched",
         "Occurrence protocol <protocol unknown> \"no protocol matched\" OFF "},
        {kAlarmProtocol, kAlarmThreshold, kLevelHigh, kUnitBandwidth, 3, "",
         "Threshold protocol <protocol unknown> high 3 bandwidth \"\" OFF "},
    };
    AlarmList list;
    for (const Made& m : table) {
        auto a = alarm_new();
        a->object_type = m.type;
        a->condition = m.condition;
        a->level = m.level;
        a->unit = m.unit;
        a->threshold = m.threshold;
        a->notify = m.notify;
        EXPECT_EQ(written_line(a), m.written);
        list.alarms.push_back(a);
    }
    expect_round_trip(list, "builder alarms");
}

// A double quote cannot stand inside a string of the language: the writer gives an
// apostrophe, so the file still loads, with every alarm after it. Carriage returns
// before a line feed, which the reader would drop, are not written.
TEST_F(AdlTable, DoubleQuotesAreWrittenAsApostrophes) {
    AlarmList list;
    auto a = alarm_new();
    a->object_type = kAlarmHost;
    a->condition = kAlarmOccurrence;
    a->first_written.form = kWrittenName;
    a->first_written.name = "say \"hi\"";
    a->notify = "a \"quoted\" word\r\r\n";
    list.alarms.push_back(a);
    auto after = alarm_new();
    after->object_type = kAlarmNetwork;
    after->condition = kAlarmThreshold;
    list.alarms.push_back(after);
    const std::string text = alarm_dump_text(list);
    EXPECT_EQ(text,
              "Occurrence host \"say 'hi'\" \"a 'quoted' word\n\" OFF \n"
              "Threshold network low 0 kbytes \"\" OFF \n");
    AlarmList again;
    EXPECT_EQ(adl_parse_bytes(text.data(), text.size(), &again), kAdlWhole);
    ASSERT_EQ(again.alarms.size(), 2u);
    EXPECT_EQ(again.alarms[0]->notify, "a 'quoted' word\n");
}

// Nothing but a protocol name can follow "protocol", so a protocol whose name is also
// a keyword is read as that protocol there, and the written file reads back.
TEST_F(AdlTable, ProtocolNamedLikeAKeyword) {
    MessageCapture quiet;
    ASSERT_NE(prototest::load_text("protocol ROOT : 0 \"r\" 0 { byte : 0 ON byte : 1 host }\n"), nullptr);
    AlarmList list;
    const std::string text = "Occurrence protocol ON \"on\" OFF\nThreshold protocol host high 1 pkts \"h\" ON\n";
    EXPECT_EQ(load_report(text, &list),
              (std::vector<std::string>{"protocol occurrence low 0 kbytes OFF protocol=ON \"on\"",
                                        "w Occurrence protocol ON \"on\" OFF ",
                                        "protocol threshold high 1 pkts ON protocol=host \"h\"",
                                        "w Threshold protocol host high 1 pkts \"h\" ON ", "status 1"}));
    expect_round_trip(list, "keyword protocols");
}

TEST_F(AdlTable, MissingFileLeavesTheListEmpty) {
    MessageCapture cap;
    ::testing::internal::CaptureStdout();
    AlarmList* list = adl_parse("/nonexistent\\alarm.adl");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "adl_parse: Warning - /nonexistent\\alarm.adl not found\n");
    EXPECT_EQ(list, &alarm_list());
    EXPECT_TRUE(list->alarms.empty());
    EXPECT_EQ(list->parse_status, kAdlUnreadable);
    ASSERT_EQ(cap.messages.size(), 1u);
    EXPECT_EQ(cap.messages[0].title, "Corvex");
    EXPECT_EQ(cap.messages[0].text, "Alarm Definition Language: Could not open file /nonexistent\\alarm.adl for parsing");
}

// The shipped example: loads without a message against the shipped protocol file,
// every alarm OFF, matches its reviewed dump, writes back to an equivalent file, and
// each alarm line switched ON alone enables exactly its own alarm.
TEST_F(AdlTable, ShippedExample) {
    std::string source;
    {
        std::ifstream in(HOPSCOPE_DATA_DIR "/alarm.adl", std::ios::binary);
        source.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    AlarmList list;
    const std::vector<std::string> report = load_report(source, &list);
    const std::string golden = data_path("alarm_adl.expected");
    if (refreshing()) std::ofstream(golden, std::ios::binary) << join(report);
    std::ifstream in(golden, std::ios::binary);
    const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(join(report), expected);
    ASSERT_EQ(list.parse_status, kAdlWhole);
    for (const auto& a : list.alarms) EXPECT_EQ(a->disabled, 1) << describe(*a);
    for (const auto& u : list.url_alarms) EXPECT_EQ(u.disabled, 1);
    expect_round_trip(list, "data/alarm.adl");

    // The state ending a line that does not start with a blank (the example lines
    // inside comments are indented).
    std::vector<size_t> ends;
    for (size_t at = source.find(" OFF\n"); at != std::string::npos; at = source.find(" OFF\n", at + 1)) {
        const size_t start = source.rfind('\n', at) + 1;
        if (source[start] != ' ') ends.push_back(at);
    }
    ASSERT_EQ(ends.size(), list.alarms.size() + list.url_alarms.size());
    for (size_t k = 0; k < ends.size(); ++k) {
        std::string switched = source;
        switched.replace(ends[k], 4, " ON ");
        AlarmList one;
        ASSERT_EQ(adl_parse_bytes(switched.data(), switched.size(), &one), kAdlWhole);
        int on = 0;
        for (const auto& a : one.alarms) on += a->disabled == 0;
        for (const auto& u : one.url_alarms) on += u.disabled == 0;
        EXPECT_EQ(on, 1) << "switching alarm " << k;
    }
}

TEST(AlarmActivations, CountEveryFiringAndKeepTheNewest) {
    auto a = alarm_new();
    for (int64_t t = 1; t <= 2500; ++t) alarm_record_activation(a.get(), t);
    uint64_t count = 0;
    const auto kept = alarm_activations(*a, &count);
    EXPECT_EQ(count, 2500u);
    ASSERT_EQ(kept.size(), kActivationsKept);
    EXPECT_EQ(kept.front().time, 2500 - int64_t(kActivationsKept) + 1);
    EXPECT_EQ(kept.back().time, 2500);
    EXPECT_EQ(kept.back().alarm, a.get());
}
