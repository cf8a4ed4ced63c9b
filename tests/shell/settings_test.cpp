#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "alarm/output.h"
#include "display/map_settings.h"
#include "lists/lists.h"
#include "model/net.h"
#include "shell/regfile.h"
#include "shell/settings.h"
#include "shell/test_files.h"
#include "support/pcap_writer.h"

using namespace shelltest;

namespace {

// What a key without values holds after the load: every value, in load order, in its form.
const char kDefaultsKey[] = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\SOFTWARE\Velmar Software\Hopscope\1.3]
"ethers"=".\\ethers"
"manufacturers"=".\\manf"
"cfdump"=".\\cfdump.bin"
"alarms"=".\\alarm.adl"
"protocols"=".\\protocol.pdl"
"dbpath"=".\\"
"focus"="Ethernet"
"font size"="0.500000"
"link scale"="0.600000"
"node scale"="0.200000"
"max node radius"="0.500000"
"node timeout"="10.000000"
"link timeout"="5.000000"
"net size"="55.000000"
"max link width"=dword:00000064
"dynamic"=dword:00000001
"bytes"=dword:00000001
"show name"=dword:00000001
"show manufacturers"=dword:00000000
"output 0"=dword:00000096
"output 1"=dword:00000096
"snaplen"=dword:00000036
"wnode 0"=dword:00000096
"wnode 1"=dword:00000096
"wnode 2"=dword:00000096
"wnode 3"=dword:00000096
"wnode 4"=dword:00000096
"wnode x"=dword:00000190
"wnode y"=dword:000000c8
"wnet 0"=dword:00000096
"wnet 1"=dword:00000096
"wnet 2"=dword:00000096
"wnet 3"=dword:00000096
"wnet 4"=dword:00000096
"wnet 5"=dword:00000096
"wnet x"=dword:00000190
"wnet y"=dword:000000c8
"host 0"=dword:000000c8
"host 1"=dword:000000c8
"host x"=dword:000000c8
"host y"=dword:000000c8
"link 0"=dword:00000096
"link 1"=dword:00000096
"link 2"=dword:00000096
"link x"=dword:00000190
"link y"=dword:000000c8
"alarm 0"=dword:00000096
"alarm 1"=dword:00000096
"alarm x"=dword:00000190
"alarm y"=dword:000000c8
"interface"=dword:00000000
"max hosts"=dword:00010000
"filter"=""
)";

std::string value_line(const std::string& key_text, const std::string& name) {
    const std::string start = "\"" + name + "\"=";
    size_t at = key_text.find("\n" + start);
    if (at == std::string::npos) return "<none>";
    size_t end = key_text.find('\n', at + 1);
    return key_text.substr(at + 1, end - at - 1);
}

std::string key_with(const std::string& lines) { return empty_key() + lines; }

}  // namespace

TEST(SettingsLoad, KeyWithoutValuesComesOutHoldingEveryDefault) {
    std::string path = key_file("empty.reg", empty_key());
    ASSERT_EQ(default_load(path.c_str()), 1);
    EXPECT_EQ(read_file(path), kDefaultsKey);

    Settings& s = settings();
    EXPECT_STREQ(s.ethers, ".\\ethers");
    EXPECT_STREQ(s.protocols, ".\\protocol.pdl");
    EXPECT_STREQ(s.dbpath, ".\\");
    EXPECT_STREQ(s.focus, "Ethernet");
    EXPECT_DOUBLE_EQ(model_settings().font_scale, 0.5);
    EXPECT_DOUBLE_EQ(map_settings().link_scale, 0.6);
    EXPECT_DOUBLE_EQ(map_settings().node_scale, 0.2);
    EXPECT_DOUBLE_EQ(map_settings().max_node_radius, 0.5);
    EXPECT_DOUBLE_EQ(s.net_size, 55);
    EXPECT_EQ(model_settings().node_timeout, 10);
    EXPECT_EQ(model_settings().link_timeout, 5);
    EXPECT_EQ(map_settings().max_link_width, 100);
    EXPECT_EQ(map_settings().dynamic, 1);
    EXPECT_EQ(map_settings().bytes, 1);
    EXPECT_EQ(map_settings().show_name, 1);
    EXPECT_EQ(map_settings().show_manufacturers, 0);
    EXPECT_EQ(s.snaplen, 54);
    EXPECT_EQ(list_window_settings(ListKind::host_list).width[5], 150);
    EXPECT_EQ(list_window_settings(ListKind::top_hosts).x, 200);
    EXPECT_EQ(list_window_settings(ListKind::top_hosts).width[1], 200);
    EXPECT_EQ(list_window_settings(ListKind::top_alarms).x, 400);
    EXPECT_EQ(s.interface, 0);
    // The model's own settings, read by the capture thread.
    EXPECT_EQ(model_settings().node_timeout, 10);
    EXPECT_EQ(model_settings().link_timeout, 5);
    EXPECT_FLOAT_EQ(model_settings().font_scale, 0.5f);

    // A second load finds everything and writes nothing new.
    ASSERT_EQ(default_load(path.c_str()), 1);
    EXPECT_EQ(read_file(path), kDefaultsKey);
}

TEST(SettingsLoad, MissingOrUnusableKeyReadsNothingAndCreatesNothing) {
    std::string missing = testsupport::temp_path("missing.reg");
    std::string dir = testsupport::temp_path("a-directory");
    ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
    std::string fifo = testsupport::temp_path("a-fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string not_a_key = key_file("not-a-key.reg", "[settings]\nbytes=1\n");

    for (const std::string& path : {missing, dir, fifo, not_a_key, std::string()}) {
        SCOPED_TRACE(path);
        // Values from an earlier load must not survive.
        std::strcpy(settings().protocols, "left over");
        map_settings().bytes = 7;
        model_settings().node_timeout = 9;
        EXPECT_EQ(default_load(path.c_str()), 0);
        EXPECT_STREQ(settings().protocols, "");
        EXPECT_EQ(map_settings().bytes, 0);
        EXPECT_EQ(model_settings().node_timeout, 0);
        EXPECT_DOUBLE_EQ(model_settings().font_scale, 0);
    }
    EXPECT_FALSE(exists(missing));
    EXPECT_EQ(read_file(not_a_key), "[settings]\nbytes=1\n");
    // Saving never creates the key either.
    EXPECT_EQ(default_save(missing.c_str()), 0);
    EXPECT_FALSE(exists(missing));
}

TEST(SettingsLoad, TimeoutsAreTruncatedToWholeSecondsAndSavedFromTheInt) {
    struct Case {
        const char* stored;
        int held;
        const char* saved;
    };
    const Case cases[] = {
        {"7.9", 7, "7.000000"},
        {"-7.9", 0, "0.000000"},           // below the range (setting_ranges.txt): its lower end
        {" 12abc", 12, "12.000000"},       // the standard conversion takes the number prefix
        {"abc", 0, "0.000000"},            // and gives 0 without one
        {"1e300", 31536000, "31536000.000000"},  // a year, the range's upper end
        {"nan", 10, "10.000000"},          // not a number: the default
        {"inf", 10, "10.000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        std::string path = key_file("timeout.reg", key_with(std::string("\"node timeout\"=\"") + c.stored + "\"\n"));
        ASSERT_EQ(default_load(path.c_str()), 1);
        EXPECT_EQ(model_settings().node_timeout, c.held);
        EXPECT_EQ(model_settings().node_timeout, c.held);
        // The load leaves a readable value as it is.
        EXPECT_EQ(value_line(read_file(path), "node timeout"), std::string("\"node timeout\"=\"") + c.stored + "\"");
        ASSERT_EQ(default_save(path.c_str()), 1);
        EXPECT_EQ(value_line(read_file(path), "node timeout"), std::string("\"node timeout\"=\"") + c.saved + "\"");
    }
}

TEST(SettingsLoad, NumbersAreWrittenWithSixDecimals) {
    std::string path = key_file("numbers.reg", key_with("\"font size\"=\"0.75\"\n\"link scale\"=\"1.23456789\"\n"));
    ASSERT_EQ(default_load(path.c_str()), 1);
    EXPECT_DOUBLE_EQ(model_settings().font_scale, 0.75);
    EXPECT_FLOAT_EQ(model_settings().font_scale, 0.75f);
    model_settings().font_scale = 0.25;
    EXPECT_FLOAT_EQ(model_settings().font_scale, 0.25f);
    ASSERT_EQ(default_save(path.c_str()), 1);
    const std::string text = read_file(path);
    EXPECT_EQ(value_line(text, "font size"), "\"font size\"=\"0.250000\"");
    EXPECT_EQ(value_line(text, "link scale"), "\"link scale\"=\"1.234568\"");
}

TEST(SettingsLoad, ValuesTooLongForTheirBufferAreReplacedByTheirDefaults) {
    const std::string p259(259, 'p'), p260(260, 'p'), p300(300, 'p');
    struct Case {
        std::string line;
        const char* protocols;  // held afterwards
        std::string key_line;   // in the key afterwards
    };
    const Case cases[] = {
        {"\"protocols\"=\"" + p300 + "\"\n", ".\\protocol.pdl", "\"protocols\"=\".\\\\protocol.pdl\""},
        {"\"protocols\"=\"" + p260 + "\"\n", ".\\protocol.pdl", "\"protocols\"=\".\\\\protocol.pdl\""},
        {"\"protocols\"=\"" + p259 + "\"\n", p259.c_str(), "\"protocols\"=\"" + p259 + "\""},
    };
    for (const Case& c : cases) {
        std::string path = key_file("long.reg", key_with(c.line));
        ASSERT_EQ(default_load(path.c_str()), 1);
        EXPECT_STREQ(settings().protocols, c.protocols);
        EXPECT_EQ(value_line(read_file(path), "protocols"), c.key_line);
    }
}

TEST(SettingsLoad, AnIntegerIsAnyValueOfAtMostFourBytes) {
    struct Case {
        const char* stored;
        int held;
        const char* key_line;  // "" when the value stays as stored
    };
    const Case cases[] = {
        {"\"12345\"", 54, "\"snaplen\"=dword:00000036"},  // text of 5 bytes: unreadable
        {"\"1234\"", 262144, ""},                          // text of 4 bytes: its bytes, clamped
        {"\"ab\"", 0x6261, ""},                            // fewer bytes: the rest stay 0
        {"\"\"", 0, ""},
        {"hex:01,02,03,04,05", 54, "\"snaplen\"=dword:00000036"},
        {"hex:ff,ff,ff,ff", 12, ""},                       // -1, below the range
        {"dword:00000080", 128, ""},
        {"dword:ffffffff", 12, ""},
        {"dword:", 54, "\"snaplen\"=dword:00000036"},     // malformed: missing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        std::string line = std::string("\"snaplen\"=") + c.stored;
        std::string path = key_file("int.reg", key_with(line + "\n"));
        ASSERT_EQ(default_load(path.c_str()), 1);
        EXPECT_EQ(settings().snaplen, c.held);
        EXPECT_EQ(value_line(read_file(path), "snaplen"), *c.key_line ? std::string(c.key_line) : line);
    }
}

TEST(SettingsSave, WritesTheSaveOrderIntoAKeyThatLostItsValues) {
    std::string path = key_file("save.reg", empty_key());
    ASSERT_EQ(default_load(path.c_str()), 1);
    write_file(path, empty_key());  // emptied while the program ran
    map_settings().bytes = 0;
    ASSERT_EQ(default_save(path.c_str()), 1);
    const std::string text = read_file(path);
    // Everything the load reads but "dbpath" and "net size", in the save's order, with
    // "show broadcast" between "bytes" and "show name".
    std::string expected = kDefaultsKey;
    auto drop = [&](const std::string& line) { expected.erase(expected.find(line + "\n"), line.size() + 1); };
    drop("\"dbpath\"=\".\\\\\"");
    drop("\"net size\"=\"55.000000\"");
    auto at = expected.find("\"bytes\"=dword:00000001\n");
    expected.replace(at, std::strlen("\"bytes\"=dword:00000001\n"),
                     "\"bytes\"=dword:00000000\n\"show broadcast\"=dword:00000000\n");
    EXPECT_EQ(text, expected);
}

TEST(SettingsSave, UpdatesValuesInPlaceAndKeepsTheRestOfTheKey) {
    std::string path = key_file("keep.reg", key_with("; hand-written\n\"custom\"=\"kept\"\n\"net size\"=\"70\"\n"
                                                     "[HKEY_CURRENT_USER\\Other]\n\"bytes\"=dword:00000005\n"));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(default_load(path.c_str()), 1);
    EXPECT_EQ(map_settings().bytes, 1);  // the other section's value is not the key's
    EXPECT_DOUBLE_EQ(settings().net_size, 70);
    map_settings().bytes = 0;
    map_settings().show_manufacturers = 1;
    model_settings().node_timeout = 30;
    std::strcpy(settings().focus, "Web \"traffic\"");
    ASSERT_EQ(default_save(path.c_str()), 1);
    const std::string text = read_file(path);
    EXPECT_EQ(text.find("\"custom\"=\"kept\"\n"), empty_key().size());
    EXPECT_NE(text.find("\"net size\"=\"70\"\n"), std::string::npos);
    EXPECT_EQ(value_line(text, "focus"), "\"focus\"=\"Web \\\"traffic\\\"\"");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // What was saved is what the next run reads.
    ASSERT_EQ(default_load(path.c_str()), 1);
    EXPECT_EQ(map_settings().bytes, 0);
    EXPECT_EQ(map_settings().show_manufacturers, 1);
    EXPECT_EQ(model_settings().node_timeout, 30);
    EXPECT_STREQ(settings().focus, "Web \"traffic\"");
}

TEST(SettingsSave, AKeyReachedThroughALinkStaysALink) {
    std::string target = key_file("target.reg", empty_key());
    std::string link = testsupport::temp_path("link.reg");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(default_load(link.c_str()), 1);
    map_settings().dynamic = 0;
    ASSERT_EQ(default_save(link.c_str()), 1);
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(value_line(read_file(target), "dynamic"), "\"dynamic\"=dword:00000000");
}

TEST(SettingsSave, AKeyThatCannotBeWrittenIsLeftAsItIs) {
    if (::geteuid() == 0) GTEST_SKIP() << "file modes do not bind root";
    std::string path = key_file("readonly.reg", key_with("\"bytes\"=dword:00000001\n"));
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(default_load(path.c_str()), 0);  // no read and write access: nothing read
    EXPECT_EQ(default_save(path.c_str()), 0);
    EXPECT_EQ(read_file(path), key_with("\"bytes\"=dword:00000001\n"));
}

TEST(SettingsPath, EnvironmentThenXdgThenHome) {
    const char* saved_env = std::getenv(kSettingsEnv);
    const char* saved_xdg = std::getenv("XDG_CONFIG_HOME");
    const char* saved_home = std::getenv("HOME");
    std::string env = saved_env ? saved_env : "", xdg = saved_xdg ? saved_xdg : "", home = saved_home ? saved_home : "";

    ::setenv(kSettingsEnv, "/tmp/x.reg", 1);
    ::setenv("XDG_CONFIG_HOME", "/xdg", 1);
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(default_key_path(), "/tmp/x.reg");
    ::unsetenv(kSettingsEnv);
    EXPECT_EQ(default_key_path(), "/xdg/hopscope/hopscope.reg");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_EQ(default_key_path(), "/home/u/.config/hopscope/hopscope.reg");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(default_key_path(), "/home/u/.config/hopscope/hopscope.reg");

    auto restore = [](const char* name, const char* was, const std::string& value) {
        if (was) ::setenv(name, value.c_str(), 1);
        else ::unsetenv(name);
    };
    restore(kSettingsEnv, saved_env, env);
    restore("XDG_CONFIG_HOME", saved_xdg, xdg);
    restore("HOME", saved_home, home);
}

// Every row of setting_ranges.txt: a stored value beyond its range is held at the
// nearest end, and the save writes the held value.
TEST(SettingsLoad, ValuesBeyondTheirRangeAreClampedToIt) {
    std::ifstream table(HOPSCOPE_TEST_DIR "/shell/data/setting_ranges.txt");
    ASSERT_TRUE(table) << "setting_ranges.txt";
    auto held = [](const std::string& name) -> double {
        Settings& s = settings();
        ModelSettings& m = model_settings();
        MapSettings& map = map_settings();
        if (name == "font size") return m.font_scale;
        if (name == "link scale") return map.link_scale;
        if (name == "node scale") return map.node_scale;
        if (name == "max node radius") return map.max_node_radius;
        if (name == "node timeout") return m.node_timeout;
        if (name == "link timeout") return m.link_timeout;
        if (name == "max link width") return map.max_link_width;
        if (name == "dynamic") return map.dynamic;
        if (name == "bytes") return map.bytes;
        if (name == "show name") return map.show_name;
        if (name == "show manufacturers") return map.show_manufacturers;
        if (name == "output 0") return alarm_output_settings().output[0];
        if (name == "output 1") return alarm_output_settings().output[1];
        if (name == "wnode x") return list_window_settings(ListKind::host_watch).x;
        if (name == "wnet y") return list_window_settings(ListKind::host_list).y;
        if (name == "host 1") return list_window_settings(ListKind::top_hosts).width[1];
        if (name == "link x") return list_window_settings(ListKind::top_links).x;
        if (name == "alarm y") return list_window_settings(ListKind::top_alarms).y;
        if (name == "snaplen") return s.snaplen;
        if (name == "interface") return s.interface;
        ADD_FAILURE() << "no such setting in the test: " << name;
        return -12345;
    };
    auto trim = [](std::string t) {
        t.erase(0, t.find_first_not_of(' '));
        t.erase(t.find_last_not_of(' ') + 1);
        return t;
    };
    int rows = 0;
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#') continue;
        const size_t a = line.find('|'), b = line.find('|', a + 1);
        ASSERT_NE(b, std::string::npos) << line;
        const std::string name = trim(line.substr(0, a)), stored = trim(line.substr(a + 1, b - a - 1));
        const double want = std::stod(trim(line.substr(b + 1)));
        SCOPED_TRACE(line);
        const std::string path = key_file("range.reg", key_with("\"" + name + "\"=" + stored + "\n"));
        ASSERT_EQ(default_load(path.c_str()), 1);
        EXPECT_DOUBLE_EQ(held(name), want);
        ASSERT_EQ(default_save(path.c_str()), 1);
        ASSERT_EQ(default_load(path.c_str()), 1);
        EXPECT_DOUBLE_EQ(held(name), want);  // what was saved reads back as held
        ++rows;
    }
    EXPECT_GE(rows, 30);
}

// The save meets a full disk (a file size limit stands in for it, in a child process):
// the key stays exactly as it was, nothing is left beside it, and the failure is said
// once on the standard error.
TEST(SettingsSave, AFullDiskLeavesTheKeyWholeAndSaysSoOnce) {
    const std::string path = key_file("full.reg", kDefaultsKey);
    const std::string before = read_file(path);
    const std::string said = path + ".said";
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (default_load(path.c_str()) != 1) ::_exit(3);
        map_settings().bytes = 0;  // a change to save
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::fflush(stderr);
        if (!std::freopen(said.c_str(), "a", stderr)) ::_exit(4);
        const int saved = default_save(path.c_str());
        std::fflush(stderr);
        ::_exit(saved == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_file(path), before);
    EXPECT_EQ(read_file(said), "default_save: Warning - cannot write " + path + "\n");
    const std::string dir = path.substr(0, path.rfind('/'));
    for (const auto& e : std::filesystem::directory_iterator(dir))
        EXPECT_EQ(e.path().string().rfind(path + ".", 0) == 0 && e.path() != said, false) << e.path();
}
