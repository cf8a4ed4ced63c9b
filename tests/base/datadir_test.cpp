// The one lookup of shipped data files: the configured directory first, the build
// tree's source data/ for a program of the build tree, the working directory last;
// only regular files that open count.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/datadir.h"

namespace {

namespace fs = std::filesystem;

struct Scratch {
    fs::path root = fs::temp_directory_path() / ("datadir-" + std::to_string(::getpid()));
    fs::path old_cwd = fs::current_path();
    Scratch() {
        fs::remove_all(root);
        fs::create_directories(root / "configured");
        fs::create_directories(root / "cwd");
        fs::current_path(root / "cwd");
    }
    ~Scratch() {
        ::unsetenv(kDataDirEnv);
        fs::current_path(old_cwd);
        fs::remove_all(root);
    }
    void file(const fs::path& p) { std::ofstream(p) << "x"; }
};

}  // namespace

TEST(DataDir, FindsEachFileInTheFirstPlaceThatHoldsIt) {
    Scratch s;
    const std::string configured = (s.root / "configured").string();
    const std::string source = HOPSCOPE_DATA_DIR;  // this test runs from the build tree
    s.file(s.root / "configured" / "protocol.pdl");
    s.file(s.root / "cwd" / "protocol.pdl");
    s.file(s.root / "cwd" / "only-here.txt");
    fs::create_directories(s.root / "configured" / "manf");  // a directory is no file
    s.file(s.root / "configured" / "unreadable.txt");
    ::chmod((s.root / "configured" / "unreadable.txt").c_str(), 0);
    const bool root_reads_anything = ::geteuid() == 0;
    ::setenv(kDataDirEnv, (configured + "//").c_str(), 1);

    struct Case {
        const char* name;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"protocol.pdl", configured + "/protocol.pdl"},  // before the source tree and the working directory
        {"manf", source + "/manf"},                        // the configured one is a directory
        {"font.bin", source + "/font.bin"},
        {"only-here.txt", "./only-here.txt"},
        {"nowhere.txt", ""},
        {"", ""},
        {"unreadable.txt", root_reads_anything ? configured + "/unreadable.txt" : ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(data_find(c.name), c.expected);
    }
    EXPECT_EQ(data_dir_of("protocol.pdl"), configured);
    EXPECT_EQ(data_dir_of("nowhere.txt"), "");

    const std::vector<std::string> dirs = data_dirs();
    ASSERT_GE(dirs.size(), 3u);
    EXPECT_EQ(dirs.front(), configured);  // trailing slashes dropped
    EXPECT_EQ(dirs.back(), ".");
    EXPECT_NE(std::find(dirs.begin(), dirs.end(), source), dirs.end());
    EXPECT_EQ(data_dirs_text().rfind(configured + ", ", 0), 0u);
}

TEST(DataDir, AConfiguredDirectoryThatIsMissingOrRepeatedCountsOnce) {
    Scratch s;
    ::setenv(kDataDirEnv, (s.root / "absent").c_str(), 1);
    std::vector<std::string> dirs = data_dirs();
    EXPECT_EQ(std::count(dirs.begin(), dirs.end(), (s.root / "absent").string()), 0);
    ::setenv(kDataDirEnv, ".", 1);
    dirs = data_dirs();
    EXPECT_EQ(std::count(dirs.begin(), dirs.end(), std::string(".")), 1);
    EXPECT_EQ(dirs.front(), ".");
}
