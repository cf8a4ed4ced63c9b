// The alarm file at exit: which files are rewritten, which old files are kept beside
// the new one, and that a write that fails leaves the old file whole.
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <algorithm>
#include <filesystem>
#include <iterator>
#include <optional>

#include "alarm_support.h"

using namespace alarmtest;
namespace fs = std::filesystem;

namespace {

std::optional<std::string> contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A directory of its own for each case, so that stray files show.
std::string fresh_dir(const std::string& name) {
    const std::string dir = testsupport::temp_path(name);
    fs::create_directories(dir);
    return dir;
}

std::vector<std::string> listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

const char* const kTypo =
    "Threshold network low 1 kbytes \"one\" OFF\n"
    "Threshold network low 2 kbytes \"two\" OFF\n"
    "Threshold network lwo 3 kbytes \"three\" OFF\n"
    "Occurrence protocol ARP \"four\" ON\n";
const char* const kCanonical = "Threshold network low 1 kbytes \"one\" OFF \n";
const char* const kCommented = "/* my alarms */\nThreshold network low 1 kbytes \"one\" OFF\n";
const char* const kNewAlarm = "Threshold network low 0 kbytes \"New Alarm\" OFF \n";

enum class Edit { None, Append, DeleteAll };

// What the Alarm Builder's OK leaves: "New" pressed once, or every alarm deleted.
void edit(AlarmList* list, Edit e) {
    if (e == Edit::None) return;
    if (e == Edit::DeleteAll) list->alarms.clear();
    if (e == Edit::Append) {
        auto a = alarm_new();
        a->object_type = kAlarmNetwork;
        a->condition = kAlarmThreshold;
        a->notify = "New Alarm";
        list->alarms.push_back(a);
    }
    list->edited = true;
}

// Drops the process's power to write where permissions forbid it (root's override of
// file permissions) while it lives. ok() is false when that cannot be done.
class WithoutOverride {
public:
    WithoutOverride() {
        if (::geteuid() != 0) {
            ok_ = true;
            return;
        }
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) reduced[0].effective &= ~(1u << cap);
        ok_ = ::syscall(SYS_capset, &header_, reduced) == 0;
        dropped_ = ok_;
    }
    ~WithoutOverride() {
        if (dropped_) (void)::syscall(SYS_capset, &header_, saved_);
    }
    bool ok() const { return ok_; }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2] = {};
    bool ok_ = false;
    bool dropped_ = false;
};

}  // namespace

class AlarmSave : public AlarmTest {};

TEST_F(AlarmSave, ExitPolicy) {
    struct Scenario {
        const char* name;
        const char* initial;         // the file at start-up; null: no file
        Edit edit;
        const char* changed_on_disk;  // written over the file while the program runs
        const char* older_backup;     // an alarm.adl.bak from before
        int status;
        const char* after;            // the file after the exit; null: no file
        const char* backup;           // "", ".bak" or ".bak2"
        const char* backup_holds;
        bool says_not_whole;
    } table[] = {
        {"unchanged, commented: left as the user wrote it", kCommented, Edit::None, nullptr, nullptr, 0, kCommented, "", nullptr, false},
        {"unchanged, typo on line 3: left whole", kTypo, Edit::None, nullptr, nullptr, 0, kTypo, "", nullptr, true},
        {"changed, typo on line 3: the user's lines kept beside", kTypo, Edit::Append, nullptr, nullptr, 1,
         "Threshold network low 1 kbytes \"one\" OFF \nThreshold network low 2 kbytes \"two\" OFF \n"
         "Threshold network low 0 kbytes \"New Alarm\" OFF \n",
         ".bak", kTypo, false},
        {"changed, the program's own file: no backup", kCanonical, Edit::Append, nullptr, nullptr, 1,
         "Threshold network low 1 kbytes \"one\" OFF \nThreshold network low 0 kbytes \"New Alarm\" OFF \n", "", nullptr, false},
        {"changed, commented: the comments kept beside", kCommented, Edit::Append, nullptr, nullptr, 1,
         "Threshold network low 1 kbytes \"one\" OFF \nThreshold network low 0 kbytes \"New Alarm\" OFF \n", ".bak", kCommented,
         false},
        {"unchanged, no file: none made", nullptr, Edit::None, nullptr, nullptr, 0, nullptr, "", nullptr, false},
        {"changed, no file: made", nullptr, Edit::Append, nullptr, nullptr, 1, kNewAlarm, "", nullptr, false},
        {"an older backup is never replaced", kTypo, Edit::Append, nullptr, "older", 1,
         "Threshold network low 1 kbytes \"one\" OFF \nThreshold network low 2 kbytes \"two\" OFF \n"
         "Threshold network low 0 kbytes \"New Alarm\" OFF \n",
         ".bak2", kTypo, false},
        {"edited on disk while running, then changed: the user's edit kept", kCanonical, Edit::Append, "/* edited */\n", nullptr,
         1, "Threshold network low 1 kbytes \"one\" OFF \nThreshold network low 0 kbytes \"New Alarm\" OFF \n", ".bak",
         "/* edited */\n", false},
        {"every alarm deleted: written empty", kCanonical, Edit::DeleteAll, nullptr, nullptr, 1, "", "", nullptr, false},
    };
    for (const Scenario& s : table) {
        SCOPED_TRACE(s.name);
        const std::string dir = fresh_dir("save");
        const std::string path = dir + "/alarm.adl";
        if (s.initial) put(path, s.initial);
        if (s.older_backup) put(path + ".bak", s.older_backup);
        AlarmList list;
        {
            MessageCapture quiet;
            (void)adl_parse_into(path.c_str(), &list);
        }
        if (s.changed_on_disk) put(path, s.changed_on_disk);
        edit(&list, s.edit);
        ::testing::internal::CaptureStdout();
        const AlarmSaveResult r = alarm_save_at_exit(path.c_str(), list);
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(r.status, s.status);
        EXPECT_EQ(contents(path), s.after ? std::optional<std::string>(s.after) : std::nullopt);
        const std::string backup = *s.backup ? path + s.backup : std::string();
        EXPECT_EQ(r.backup, backup);
        if (!backup.empty()) {
            EXPECT_EQ(contents(backup), std::optional<std::string>(s.backup_holds));
            EXPECT_EQ(out, "alarm_save_at_exit: the old " + path + " is kept as " + backup + "\n");
        } else if (s.says_not_whole) {
            EXPECT_EQ(out, "alarm_save_at_exit: " + path + " did not load whole; it is left as it was\n");
        } else {
            EXPECT_EQ(out, "");
        }
        if (s.older_backup) {
            EXPECT_EQ(contents(path + ".bak"), std::optional<std::string>(s.older_backup));
        }
        // Nothing else is left in the directory: no temporary files.
        size_t expected_files = (s.after ? 1 : 0) + (backup.empty() ? 0 : 1) + (s.older_backup ? 1 : 0);
        EXPECT_EQ(listing(dir).size(), expected_files);
    }
}

// A linked alarm file stays a link to the same file; the new file keeps the old
// file's permissions.
TEST_F(AlarmSave, LinkAndPermissionsSurvive) {
    const std::string dir = fresh_dir("link");
    const std::string real = dir + "/real.adl";
    const std::string link = dir + "/alarm.adl";
    put(real, kCanonical);
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    fs::create_symlink(real, link);
    AlarmList list;
    ASSERT_EQ(adl_parse_into(link.c_str(), &list), kAdlWhole);
    edit(&list, Edit::Append);
    const AlarmSaveResult r = alarm_save_at_exit(link.c_str(), list);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(contents(real), alarm_dump_text(list));
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A directory where no new file can be made and a file that cannot be written: the
// writer says so and the old file is left as it was.
TEST_F(AlarmSave, NowhereToWriteLeavesTheOldFile) {
    const std::string dir = fresh_dir("locked");
    const std::string path = dir + "/alarm.adl";
    put(path, kTypo);
    AlarmList list;
    {
        MessageCapture quiet;
        (void)adl_parse_into(path.c_str(), &list);
    }
    edit(&list, Edit::Append);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
    {
        WithoutOverride no_override;
        if (!no_override.ok()) {
            ::chmod(dir.c_str(), 0755);
            GTEST_SKIP() << "cannot drop the permission override";
        }
        MessageCapture cap;
        ::testing::internal::CaptureStdout();
        const int dumped = alarm_dump(path.c_str(), list);
        const AlarmSaveResult saved = alarm_save_at_exit(path.c_str(), list);
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(dumped, -1);
        EXPECT_EQ(saved.status, -1);
        EXPECT_EQ(out, "alarm_dump: Warning - cannot overwrite " + path + "\nalarm_dump: Warning - cannot overwrite " + path + "\n");
        ASSERT_EQ(cap.messages.size(), 2u);
        EXPECT_EQ(cap.messages[0].title, "Corvex");
        EXPECT_EQ(cap.messages[0].text, "Could not save file " + path + " for parsing");
    }
    ::chmod(dir.c_str(), 0755);
    EXPECT_EQ(contents(path), std::optional<std::string>(kTypo));
    EXPECT_EQ(listing(dir), std::vector<std::string>{"alarm.adl"});
}

// A write that fails halfway (here: the file size limit; a full disk is the same) leaves
// the old file whole and no part-written file beside it.
TEST_F(AlarmSave, WriteFailingHalfwayLeavesTheOldFile) {
    const std::string dir = fresh_dir("full");
    const std::string path = dir + "/alarm.adl";
    put(path, kTypo);
    AlarmList list;
    for (int i = 0; i < 50; ++i) edit(&list, Edit::Append);
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* old_handler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    MessageCapture cap;
    ::testing::internal::CaptureStdout();
    const int dumped = alarm_dump(path.c_str(), list);
    (void)::testing::internal::GetCapturedStdout();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(dumped, -1);
    EXPECT_EQ(cap.messages.size(), 1u);
    EXPECT_EQ(contents(path), std::optional<std::string>(kTypo));
    EXPECT_EQ(listing(dir), std::vector<std::string>{"alarm.adl"});
}
