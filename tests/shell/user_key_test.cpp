// The first start's settings key and the check of an existing one: what is created,
// what is kept, and what a key that cannot serve makes the program say.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/datadir.h"
#include "shell/regfile.h"
#include "shell/settings.h"
#include "shell/test_files.h"
#include "shell/user_key.h"
#include "support/pcap_writer.h"

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

// A fresh home for the user: XDG_DATA_HOME is left unset, so the per-user data
// directory is ~/.local/share/hopscope.
struct FreshHome {
    std::string home = testsupport::temp_path("home");
    std::string saved_home = std::getenv("HOME") ? std::getenv("HOME") : "";
    FreshHome() {
        fs::remove_all(home);
        fs::create_directories(home);
        ::setenv("HOME", home.c_str(), 1);
        ::unsetenv("XDG_DATA_HOME");
        ::setenv(kDataDirEnv, HOPSCOPE_DATA_DIR, 1);
    }
    ~FreshHome() {
        ::setenv("HOME", saved_home.c_str(), 1);
        ::unsetenv(kDataDirEnv);
        fs::remove_all(home);
    }
    std::string key() const { return home + "/.config/hopscope/hopscope.reg"; }
    std::string state() const { return home + "/.local/share/hopscope"; }
};

std::string value_of(const std::string& key_path, const char* name) {
    RegKey key;
    if (regfile_parse(read_file(key_path), kSettingsKeyName, &key) != 1) return "<no key>";
    const RegValue* v = key.find(name);
    return v ? v->data : "<missing>";
}

}  // namespace

TEST(UserKey, TheFirstStartCreatesTheKeyAndTheUsersCopiesFromTheInstalledDefaults) {
    FreshHome h;
    MessageCapture messages;
    EXPECT_EQ(shell_prepare_user_key(h.key()), UserKeyStatus::created);
    EXPECT_TRUE(messages.shown.empty());
    const std::string data = HOPSCOPE_DATA_DIR;
    EXPECT_EQ(value_of(h.key(), "protocols"), data + "/protocol.pdl");
    EXPECT_EQ(value_of(h.key(), "manufacturers"), data + "/manf");
    EXPECT_EQ(value_of(h.key(), "ethers"), data + "/ethers");
    EXPECT_EQ(value_of(h.key(), "alarms"), h.state() + "/alarm.adl");
    EXPECT_EQ(value_of(h.key(), "cfdump"), h.state() + "/cfdump.bin");
    EXPECT_EQ(read_file(h.state() + "/alarm.adl"), read_file(data + "/alarm.adl"));
    EXPECT_EQ(read_file(h.state() + "/cfdump.bin"), read_file(data + "/cfdump.bin"));
    // The key is the user's own: nobody else reads its directory.
    struct stat st {};
    ASSERT_EQ(::stat((h.home + "/.config/hopscope").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
    // The load reads it, and fills in the rest with the defaults.
    ASSERT_EQ(default_load(h.key().c_str()), 1);
    EXPECT_STREQ(settings().protocols, (data + "/protocol.pdl").c_str());
    EXPECT_STREQ(settings().focus, "Ethernet");
    // From now on the key is there and ready; nothing is created again.
    EXPECT_EQ(shell_prepare_user_key(h.key()), UserKeyStatus::ready);
}

TEST(UserKey, TheUsersOwnCopiesAreNeverReplaced) {
    FreshHome h;
    fs::create_directories(h.state());
    write_file(h.state() + "/alarm.adl", "ALARM mine\n");
    EXPECT_EQ(shell_prepare_user_key(h.key()), UserKeyStatus::created);
    EXPECT_EQ(read_file(h.state() + "/alarm.adl"), "ALARM mine\n");
    EXPECT_TRUE(exists(h.state() + "/cfdump.bin"));
}

TEST(UserKey, AKeyThatCannotServeIsNamedWithWhatIsWrongAndHowToRecreateIt) {
    FreshHome h;
    struct Case {
        const char* what;
        void (*make)(const std::string& key);
        UserKeyStatus status;
        const char* says;  // besides the key's path and how to recreate it
    };
    const std::vector<Case> cases = {
        {"a text file", [](const std::string& k) { write_file(k, "hello\n"); }, UserKeyStatus::damaged,
         "is damaged: it does not start with REGEDIT4"},
        {"an empty file", [](const std::string& k) { write_file(k, ""); }, UserKeyStatus::damaged, "is damaged"},
        {"a directory", [](const std::string& k) { fs::create_directories(k); }, UserKeyStatus::unreadable,
         "it is not a regular file"},
        {"a good key", [](const std::string& k) { write_file(k, empty_key()); }, UserKeyStatus::ready, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(h.home + "/.config");
        fs::create_directories(h.home + "/.config/hopscope");
        c.make(h.key());
        MessageCapture messages;
        EXPECT_EQ(shell_prepare_user_key(h.key()), c.status);
        if (!c.says) {
            EXPECT_TRUE(messages.shown.empty());
            continue;
        }
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].title, "Hopscope");
        const std::string& text = messages.shown[0].text;
        EXPECT_NE(text.find(h.key()), std::string::npos) << text;
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
        EXPECT_NE(text.find("start Hopscope again"), std::string::npos) << text;
        EXPECT_FALSE(value_of(h.key(), "protocols") == std::string(HOPSCOPE_DATA_DIR) + "/protocol.pdl");  // left alone
    }
}

TEST(UserKey, NoPathOrNoPlaceToPutItIsSaid) {
    FreshHome h;
    MessageCapture messages;
    EXPECT_EQ(shell_prepare_user_key(""), UserKeyStatus::no_path);
    write_file(h.home + "/file", "x");  // a file where the directory should be
    EXPECT_EQ(shell_prepare_user_key(h.home + "/file/hopscope.reg"), UserKeyStatus::cannot_create);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_NE(messages.shown[0].text.find("no home directory"), std::string::npos);
    EXPECT_NE(messages.shown[1].text.find("Cannot create the settings file " + h.home + "/file/hopscope.reg"),
              std::string::npos)
        << messages.shown[1].text;
}

TEST(UserKey, TheKeyTextNamesTheDataAndTheUsersFiles) {
    const std::string text = user_key_text("/usr/share/hopscope", "/home/u/.local/share/hopscope");
    RegKey key;
    ASSERT_EQ(regfile_parse(text, kSettingsKeyName, &key), 1);
    ASSERT_EQ(key.values.size(), 6u);
    EXPECT_EQ(key.find("ethers")->data, "/usr/share/hopscope/ethers");
    EXPECT_EQ(key.find("dbpath")->data, "/usr/share/hopscope/");
    EXPECT_EQ(key.find("cfdump")->data, "/home/u/.local/share/hopscope/cfdump.bin");
}
