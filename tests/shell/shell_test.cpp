#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "alarm/alarm.h"
#include "display/cfocus.h"
#include "display/palette.h"
#include "base/message.h"
#include "model/net.h"
#include "shell/settings.h"
#include "shell/shell.h"
#include "app/steps.h"
#include "shell/startup_steps.h"
#include "shell/test_files.h"
#include "support/pcap_writer.h"

using namespace shelltest;

TEST(AdapterValidation, FallsBackOrWarnsInTheSpecifiedOrder) {
    hscap::Adapter ether0 = adapter("eth0", "first", 0), ether1 = adapter("eth1", "second", 0);
    hscap::Adapter other = adapter("wlan0", "other link", 1), down = adapter("eth9", "down", -1);
    hscap::Adapter other0 = adapter("ppp0", "other link first", 2);
    const char* invalid = "The default adapter is currently invalid";
    const char* unsupported = "The default adapter is using an unsupported network type";
    struct Case {
        const char* what;
        std::vector<hscap::Adapter*> list;
        unsigned index;
        unsigned opened;
        const char* message;  // null: none
    };
    const std::vector<Case> cases = {
        {"index 7 of two adapters", {&ether0, &ether1}, 7, 0, invalid},
        {"index just past the list", {&ether0, &ether1}, 2, 0, invalid},
        {"negative index read as unsigned", {&ether0, &ether1}, static_cast<unsigned>(-1), 0, invalid},
        {"adapter that is down", {&ether0, &down}, 1, 0, invalid},
        {"other link type: opened all the same", {&ether0, &other}, 1, 1, unsupported},
        {"a good adapter", {&ether0, &ether1}, 1, 1, nullptr},
        {"after the fallback adapter 0 is not examined", {&other0, &down}, 1, 0, invalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MessageCapture messages;
        std::vector<hscap::Adapter*> list = c.list;
        const int count = static_cast<int>(list.size());
        list.push_back(nullptr);
        EXPECT_EQ(shell_validate_adapter(c.index, count, list.data()), c.opened);
        if (!c.message) {
            EXPECT_TRUE(messages.shown.empty());
            continue;
        }
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].title, "Hopscope Error");
        EXPECT_EQ(messages.shown[0].text, c.message);
        EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
    }
}

TEST(WindowTitle, ProductColonFourSpacesNameAndDescription) {
    hscap::Adapter a = adapter("eth0", "Intel PRO/1000", 0);
    EXPECT_EQ(shell_window_title(&a), "Hopscope :    eth0 (Intel PRO/1000)");
    EXPECT_EQ(shell_window_title(nullptr), "Hopscope");
    hscap::Adapter full{};
    std::memset(full.name, 'n', sizeof full.name - 1);
    std::memset(full.description, 'd', sizeof full.description - 1);
    EXPECT_EQ(shell_window_title(&full), "Hopscope :    " + std::string(63, 'n') + " (" + std::string(63, 'd') + ")");
}

TEST(SavedInterface, CaptureFilesFromTheCommandLineDoNotMoveTheSavedAdapter) {
    EXPECT_EQ(shell_interface_to_save(3, 0, 9), 3);   // no files: the current index
    EXPECT_EQ(shell_interface_to_save(0, 1, 2), 2);   // a file open: the loaded value
    EXPECT_EQ(shell_interface_to_save(1, 2, 5), 5);
    EXPECT_EQ(shell_interface_to_save(3, 1, 0), 2);   // switched to a live adapter
    EXPECT_EQ(shell_interface_to_save(2, 2, 0), 0);
}

TEST(FontFile, MustBeARegularFileThatOpensForReading) {
    std::string path = testsupport::temp_path("font.bin");
    EXPECT_FALSE(shell_font_file_present(path.c_str()));
    write_file(path, "x");
    EXPECT_TRUE(shell_font_file_present(path.c_str()));
    // An installed font is read-only: that is no reason to call it missing.
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_TRUE(shell_font_file_present(path.c_str()));
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    EXPECT_FALSE(shell_font_file_present(testsupport::temp_path("").c_str()));  // a directory
    EXPECT_FALSE(shell_font_file_present(nullptr));
}

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        hscap::reset_sources();
        startup_steps() = app_startup_steps();
    }
    void TearDown() override {
        shell_stop_capture();
        hscap::reset_sources();
        startup_steps() = app_startup_steps();
    }
};

TEST_F(StartupTest, RunsToTheCaptureThreadOnACaptureFile) {
    std::string key = key_file("startup.reg", startup_key("\"interface\"=dword:00000003\n"));
    std::string file = small_capture("first.pcap", "00:00:00:00:00:01");
    MessageCapture messages;
    ASSERT_EQ(shell_startup({file}, key), 0);
    const ShellState& st = shell_state();
    EXPECT_EQ(st.file_count, 1);
    ASSERT_GE(st.adapter_count, 1);
    const std::string name = file.substr(file.rfind('/') + 1);
    EXPECT_EQ(st.adapters[0]->name, name);
    EXPECT_EQ(settings().interface, 0);  // the file is what is opened
    ASSERT_NE(net_current(), nullptr);
    EXPECT_EQ(net_current()->name, name);
    EXPECT_NE(st.capture.handle, nullptr);
    EXPECT_TRUE(st.capture_worker.joinable());
    EXPECT_EQ(shell_window_title(shell_current_adapter()), "Hopscope :    " + name + " (Capture file " + file + ")");
    // One network per adapter, each findable by its adapter's name.
    for (int i = 0; i < st.adapter_count; ++i) EXPECT_NE(net_find(st.adapters[i]->name), nullptr);
    EXPECT_TRUE(messages.shown.empty());

    shell_stop_capture();
    EXPECT_FALSE(st.capture_worker.joinable());
    EXPECT_EQ(st.capture.handle, nullptr);
    shell_stop_capture();  // twice is harmless
    // The adapter saved is the one loaded, not the file's place in the list.
    shell_save_settings();
    EXPECT_NE(read_file(key).find("\"interface\"=dword:00000003\n"), std::string::npos);
}

// A capture file the user named never turns into live capture on the first adapter:
// start-up says which file and why, and ends with status 2 before any adapter opens.
TEST_F(StartupTest, AnUnreadableCaptureFileEndsStartUpWithStatusTwo) {
    std::string key = key_file("badfile.reg", startup_key());
    std::string bad = testsupport::temp_path("not-a-capture.pcap");
    write_file(bad, "not a capture file at all");
    const std::string missing = testsupport::temp_path("missing.pcap");
    for (const std::vector<std::string>& files : {std::vector<std::string>{bad, small_capture("good.pcap", "00:00:00:00:00:04")},
                                                  std::vector<std::string>{small_capture("first.pcap", "00:00:00:00:00:05"), missing}}) {
        const std::string& named = files[0] == bad ? bad : missing;
        SCOPED_TRACE(named);
        hscap::reset_sources();
        MessageCapture messages;
        testing::internal::CaptureStderr();
        EXPECT_EQ(shell_startup(files, key), kCaptureFileStatus);
        const std::string said = testing::internal::GetCapturedStderr();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].title, "Hopscope Error");
        EXPECT_EQ(messages.shown[0].text.rfind("Cannot open the capture file " + named + ": ", 0), 0u) << messages.shown[0].text;
        EXPECT_EQ(messages.shown[0].text.find(named, 30 + named.size()), std::string::npos) << "path said twice";
        EXPECT_NE(said.find("hopscope: Cannot open the capture file " + named), std::string::npos) << said;
        EXPECT_EQ(shell_state().capture.handle, nullptr);
        EXPECT_FALSE(shell_state().capture_worker.joinable());
    }
}

// The "filter" setting is applied to what is opened; the command line's replaces it;
// a bad one is said once and the capture runs unfiltered, the setting kept.
TEST_F(StartupTest, TheFilterSettingFiltersTheOpenedSourceAndABadOneIsSaidOnce) {
    struct Case {
        const char* setting;
        const char* command_line;  // null: none given
        bool message;
        const char* saved;
    };
    const std::vector<Case> cases = {
        {"", nullptr, false, ""},
        {"ip6", nullptr, false, "ip6"},
        {"ip6", "", false, ""},
        {"", "arp", false, "arp"},
        {"arp and", nullptr, true, "arp and"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.setting) + " / " + (c.command_line ? c.command_line : "-"));
        hscap::reset_sources();
        const std::string key = key_file("filter.reg", startup_key("\"filter\"=\"" + std::string(c.setting) + "\"\n"));
        const std::string file = small_capture("filtered.pcap", "00:00:00:00:00:06");
        MessageCapture messages;
        const std::string given = c.command_line ? c.command_line : "";
        ASSERT_EQ(shell_startup({file}, key, c.command_line ? &given : nullptr), 0);
        EXPECT_EQ(messages.shown.size(), c.message ? 1u : 0u);
        if (c.message) {
            EXPECT_EQ(messages.shown[0].title, "Hopscope Error");
            EXPECT_EQ(messages.shown[0].text.rfind("capture filter \"arp and\": ", 0), 0u) << messages.shown[0].text;
            EXPECT_NE(messages.shown[0].text.find("capturing without a filter"), std::string::npos);
            shell_open_adapter(0);  // a switch does not say it again
            EXPECT_EQ(messages.shown.size(), 1u);
        }
        shell_stop_capture();
        shell_save_settings();
        EXPECT_NE(read_file(key).find("\"filter\"=\"" + std::string(c.saved) + "\"\n"), std::string::npos) << read_file(key);
    }
}

TEST_F(StartupTest, NoProtocolTreeEndsStartUpBeforeAnythingIsOpened) {
    std::string key = key_file("nopdl.reg", empty_key());
    startup_steps().load_protocols = [](const char*) { return false; };
    static bool alarms_read;
    alarms_read = false;
    startup_steps().load_alarms = [](const char*) { alarms_read = true; };
    testing::internal::CaptureStdout();
    EXPECT_EQ(shell_startup({}, key), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "emand: invalid pdl file \n");
    EXPECT_TRUE(alarms_read);  // the alarm file is read before the check
    EXPECT_FALSE(shell_state().capture_worker.joinable());
}

TEST_F(StartupTest, MissingFontDataEndsStartUpWithItsMessage) {
    std::string key = key_file("nofont.reg", startup_key());
    startup_steps().load_font = [] { return false; };
    MessageCapture messages;
    EXPECT_EQ(shell_startup({}, key), -1);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Hopscope");
    EXPECT_EQ(messages.shown[0].text, "Couldn't find font data!");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
    EXPECT_FALSE(shell_state().capture_worker.joinable());
}

TEST_F(StartupTest, StepsRunInTheirOrder) {
    static std::vector<std::string> order;
    order.clear();
    StartupSteps& s = startup_steps();
    s.hostc_init = [] { order.push_back("hostc_init"); };
    s.alarm_init = [] { order.push_back("alarm_init"); };
    s.load_protocols = [](const char* p) {
        order.push_back(std::string("protocols ") + p);
        return true;
    };
    s.load_alarms = [](const char* p) { order.push_back(std::string("alarms ") + p); };
    s.read_names = [](const char* e, const char* m) { order.push_back(std::string("names ") + e + " " + m); };
    s.start_graphics = [] { order.push_back("graphics"); };
    s.load_font = [] {
        order.push_back("font");
        return true;
    };
    s.text_size = [](double f) { order.push_back("text size " + std::to_string(f)); };
    s.read_focus = [](const char* c, const char* f) { order.push_back(std::string("focus ") + c + " " + f); };
    s.build_palette = [] { order.push_back("palette"); };
    // The workers start in this order: the capture thread, the resolver, the alarm thread.
    s.start_resolver = [] {
        if (shell_state().capture_worker.joinable()) order.push_back("capture thread");
        order.push_back("resolver");
    };
    s.start_alarm_thread = [] { order.push_back("alarm thread"); };
    std::string key = key_file("order.reg", empty_key());
    ASSERT_EQ(shell_startup({small_capture("o.pcap", "00:00:00:00:00:02")}, key), 0);
    const std::vector<std::string> expected = {
        "hostc_init", "alarm_init", "protocols .\\protocol.pdl", "alarms .\\alarm.adl", "names .\\ethers .\\manf",
        "graphics", "font", "text size 0.500000", "focus .\\cfdump.bin Ethernet", "palette", "capture thread",
        "resolver", "alarm thread"};
    EXPECT_EQ(order, expected);
}

// With the program's own steps, the alarm file named by "alarms" is read and armed, and
// an alarm switched on in it fires in the capture thread's passes and is performed by
// the alarm thread, which the shutdown's step ends.
TEST_F(StartupTest, AnAlarmOfTheAlarmFileFiresThroughTheCaptureAndAlarmThreads) {
    const std::string alarms = testsupport::temp_path("on.adl");
    write_file(alarms, "Threshold network low 1000000 kbytes \"always below\" ON\n"
                       "Threshold host 00:00:00:00:00:ee high 1 pkts \"never seen\" ON\n");
    std::string key = key_file("alarms.reg", startup_key("\"alarms\"=\"" + alarms + "\"\n"));
    static std::mutex m;
    static std::condition_variable cv;
    static std::vector<std::string> lines;
    lines.clear();
    AlarmActions actions;
    actions.output = [](const Alarm& a, const AlarmEvent&) {
        std::lock_guard lock(m);
        lines.push_back(a.notify);
        cv.notify_all();
    };
    alarm_set_actions(actions);
    startup_steps().capture_hooks.alarm_pass = alarm_pass;
    MessageCapture messages;
    ASSERT_EQ(shell_startup({small_capture("al.pcap", "00:00:00:00:00:07")}, key), 0);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(alarm_list().alarms.size(), 2u);
    {
        std::unique_lock lock(m);
        EXPECT_TRUE(cv.wait_for(lock, std::chrono::seconds(30), [] { return !lines.empty(); }));
    }
    shell_stop_capture();  // stops the alarm thread too
    alarm_set_actions(alarm_default_actions());
    std::lock_guard lock(m);
    for (const std::string& l : lines) EXPECT_EQ(l, "always below");
    EXPECT_EQ(alarm_activation_count(*alarm_list().alarms[1]), 0u);
}

// The focus file named by "cfdump" gives the palette and the dictionary; the last focus
// named by "focus" becomes current; shutdown's step writes the file back.
TEST_F(StartupTest, TheFocusFileAndTheSavedFocusAreReadAndWrittenBack) {
    std::string key = key_file("focus.reg", startup_key("\"focus\"=\"Transport\"\n"));
    MessageCapture messages;
    ASSERT_EQ(shell_startup({small_capture("f.pcap", "00:00:00:00:00:05")}, key), 0);
    EXPECT_TRUE(messages.shown.empty());
    ASSERT_NE(cfocus_current(), nullptr);
    EXPECT_STREQ(cfocus_current()->name, "Transport");
    EXPECT_GT(cfocus_view().count, 0);
    ASSERT_NE(logical_palette(), nullptr);
    EXPECT_EQ(logical_palette()->entries[kLogicalWhite], 0xffffffu);
    shell_stop_capture();

    const std::string out = testsupport::temp_path("written-cfdump.bin");
    startup_steps().focus_dump(out.c_str());
    startup_steps().free_palette();
    EXPECT_EQ(logical_palette(), nullptr);
    EXPECT_EQ(read_file(out), read_file(std::string(HOPSCOPE_DATA_DIR) + "/cfdump.bin"));
}

TEST_F(StartupTest, AMissingFocusFileWarnsAndStartUpGoesOnWithoutAFocus) {
    std::string key = key_file("nofocus.reg", startup_key("\"cfdump\"=\"no-such-dir\\\\cfdump.bin\"\n"));
    MessageCapture messages;
    ASSERT_EQ(shell_startup({small_capture("g.pcap", "00:00:00:00:00:06")}, key), 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Hopscope");
    EXPECT_EQ(messages.shown[0].text, "Custom Focus: Could not open file no-such-dir\\cfdump.bin for parsing");
    EXPECT_EQ(cfocus_current(), nullptr);
    EXPECT_TRUE(shell_state().capture_worker.joinable());
}
