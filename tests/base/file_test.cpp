// Bounded byte reads, whole-file reads and the write-then-replace of src/base.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>

#include "base/bytes.h"
#include "base/file.h"
#include "support/pcap_writer.h"

namespace {

void write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The names in a directory, without "." and "..".
std::set<std::string> names_in(const std::string& dir) {
    std::set<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
        ::closedir(d);
    }
    return names;
}

std::string fresh_dir(const std::string& name) {
    const std::string dir = testsupport::temp_path(name);
    ::mkdir(dir.c_str(), 0755);
    return dir;
}

mode_t mode_of(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

}  // namespace

// Every read checks what is left: past the end a read fails and consumes nothing.
TEST(ByteCursor, ReadsPastTheEndFailAndLeaveTheCursorWhereItWas) {
    const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, '\n', 'a', 'b'};
    ByteCursor in(bytes, sizeof bytes);
    int32_t i32 = 99;
    ASSERT_TRUE(in.read_le32(&i32));
    EXPECT_EQ(i32, 0x04030201);
    EXPECT_EQ(in.pos, 4u);
    std::string line;
    ASSERT_TRUE(in.read_line(&line));
    EXPECT_EQ(line, "\x05");
    ASSERT_TRUE(in.read_line(&line));  // the end of the data ends the last line
    EXPECT_EQ(line, "ab");
    EXPECT_TRUE(in.at_end());
    EXPECT_FALSE(in.read_line(&line));
    EXPECT_EQ(line, "ab");
    EXPECT_FALSE(in.read_le32(&i32));
    EXPECT_EQ(i32, 0x04030201);
    int16_t i16 = 7;
    EXPECT_FALSE(in.read_le16(&i16));
    EXPECT_EQ(i16, 7);
    uint8_t out[2] = {9, 9};
    EXPECT_FALSE(in.read_bytes(out, 1));
    EXPECT_EQ(out[0], 9);
    ByteCursor three(bytes, 3);  // fewer bytes than a whole integer
    EXPECT_FALSE(three.read_le32(&i32));
    EXPECT_EQ(three.pos, 0u);
    EXPECT_EQ(ByteCursor().left(), 0u);
}

TEST(BytesReadBe, FieldsOutsideTheBytesFail) {
    const uint8_t frame[] = {0x08, 0x00, 0x45, 0x01, 0xff};
    struct Case {
        int64_t pos;
        int width;
        bool ok;
        uint32_t value;
    };
    const Case cases[] = {
        {0, 2, true, 0x0800}, {1, 4, true, 0x004501ff}, {4, 1, true, 0xff}, {4, 2, false, 0}, {5, 1, false, 0},
        {-1, 1, false, 0},    {2, 4, false, 0},         {9, 0, true, 0},    {0, 3, false, 0}, {3, 2, true, 0x01ff},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.pos) + "/" + std::to_string(c.width));
        uint32_t v = 12345;
        EXPECT_EQ(bytes_read_be(frame, sizeof frame, c.pos, c.width, &v), c.ok);
        EXPECT_EQ(v, c.ok ? c.value : 12345u);
    }
}

TEST(FileRead, WholeFilesWithinTheirLimits) {
    const std::string dir = fresh_dir("file-read");
    const std::string file = dir + "/f", fifo = dir + "/fifo";
    write(file, "0123456789");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string out = "old";
    EXPECT_EQ(file_read_all(file, &out), FileRead::ok);
    EXPECT_EQ(out, "0123456789");
    EXPECT_EQ(file_read_all(dir + "/missing", &out), FileRead::cannot_open);
    EXPECT_EQ(out, "");
    EXPECT_EQ(file_read_all(dir, &out), FileRead::read_error);  // a directory opens, but reads nothing
    EXPECT_EQ(file_read_all("", &out), FileRead::cannot_open);

    FileReadLimits regular;
    regular.regular_only = true;
    EXPECT_EQ(file_read_all(fifo, &out, regular), FileRead::not_regular);  // and does not wait for a writer
    EXPECT_EQ(file_read_all(dir, &out, regular), FileRead::not_regular);
    EXPECT_EQ(file_read_all("/dev/zero", &out, regular), FileRead::not_regular);
    EXPECT_EQ(file_read_all("/dev/zero", &out, kDataFileLimits), FileRead::not_regular);
    regular.max_size = 9;
    EXPECT_EQ(file_read_all(file, &out, regular), FileRead::too_large);
    EXPECT_EQ(file_read_problem(FileRead::too_large, regular), "is larger than 9 bytes");
    EXPECT_EQ(file_read_problem(FileRead::not_regular), "is not a regular file");
    // Without regular_only, the cap still ends an endless file.
    FileReadLimits capped;
    capped.max_size = 1 << 20;
    EXPECT_EQ(file_read_all("/dev/zero", &out, capped), FileRead::too_large);
    regular.max_size = 10;
    EXPECT_EQ(file_read_all(file, &out, regular), FileRead::ok);

    FileReadLimits prefix;
    prefix.max_size = 4;
    prefix.keep_prefix = true;
    EXPECT_EQ(file_read_all(file, &out, prefix), FileRead::ok);
    EXPECT_GE(out.size(), 4u);
    EXPECT_EQ(out.substr(0, 4), "0123");
}

TEST(FileReplace, ReplacesWholeKeepingModeAndLinksAndLeavesNothingBeside) {
    const std::string dir = fresh_dir("file-replace");
    const std::string file = dir + "/key", link = dir + "/link";
    write(file, "old contents");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_EQ(::symlink("key", link.c_str()), 0);

    ASSERT_TRUE(file_replace(link, "new", ReplaceMode::existing));
    EXPECT_EQ(read(file), "new");
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(mode_of(file), 0640u);
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"key", "link"}));

    // Only the create mode makes a missing file, with the usual mode.
    EXPECT_FALSE(file_replace(dir + "/none", "x", ReplaceMode::existing));
    EXPECT_EQ(names_in(dir).count("none"), 0u);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    ASSERT_TRUE(file_replace(dir + "/made", "made", ReplaceMode::create));
    EXPECT_EQ(read(dir + "/made"), "made");
    EXPECT_EQ(mode_of(dir + "/made"), 0666u & ~mask);

    // What is not a regular file is never touched.
    const std::string sub = dir + "/sub";
    ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
    EXPECT_FALSE(file_replace(sub, "x", ReplaceMode::create));
    EXPECT_FALSE(file_replace(sub, "x", ReplaceMode::existing));
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"key", "link", "made", "sub"}));
}

// Runs `check` as an ordinary user (nobody) in a child process when this process is
// root, whom file modes do not bind; as this user otherwise. The child's exit status
// carries the result: 0 when every expectation held.
static int as_ordinary_user(const std::function<bool()>& check) {
    if (::geteuid() != 0) return check() ? 0 : 1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}

// Nothing can be made beside the file: the old file stays whole and nothing is written
// in place (a kill during an in-place rewrite would leave it empty).
TEST(FileReplace, ADirectoryWithoutWriteAccessLeavesTheOldFileWhole) {
    const std::string dir = fresh_dir("file-replace-locked");
    const std::string file = dir + "/key", locked = dir + "/locked";
    write(file, "old");
    write(locked, "kept");
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0666), 0);  // writable by anyone, in a directory that is not
    ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
    EXPECT_EQ(as_ordinary_user([&] {
                  return !file_replace(file, "in place", ReplaceMode::existing) &&
                         !file_replace(locked, "lost", ReplaceMode::create) &&
                         !file_replace(dir + "/new", "x", ReplaceMode::create);
              }),
              0);
    EXPECT_EQ(read(file), "old");
    EXPECT_EQ(read(locked), "kept");
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"key", "locked"}));
    ::chmod(dir.c_str(), 0755);
}

// A write that fails half-way (a size limit standing in for a full disk) leaves the old
// file as it was and no new file beside it.
TEST(FileReplace, AWriteThatFailsHalfWayLeavesTheOldFileWhole) {
    const std::string dir = fresh_dir("file-replace-full");
    const std::string file = dir + "/key";
    const std::string old(3000, 'o');
    write(file, old);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool small = file_replace(file, std::string(4000, 's'), ReplaceMode::existing);
        const bool large = file_replace(file, std::string(10000, 'l'), ReplaceMode::existing);
        ::_exit(small && !large ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read(file), std::string(4000, 's'));
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"key"}));
}

// The same on a real full file system: a tmpfs of 64 KiB, mounted in a mount namespace
// of a child process (needs root).
TEST(FileReplace, AFullFileSystemLeavesTheOldFileWhole) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    const std::string dir = fresh_dir("file-replace-tmpfs");
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") != 0)
            ::_exit(77);
        const std::string file = dir + "/key";
        const std::string old(20000, 'o');
        write(file, old);
        if (read(file) != old) ::_exit(3);
        const bool fits = file_replace(file, std::string(30000, 'f'), ReplaceMode::existing);
        const bool too_big = file_replace(file, std::string(60000, 'x'), ReplaceMode::existing);
        ::_exit(fits && !too_big && read(file) == std::string(30000, 'f') &&
                        names_in(dir) == std::set<std::string>{"key"}
                    ? 0
                    : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A link planted by another user is never followed: the file it points to keeps its
// contents and its mode. Names beside the file are made with O_EXCL, so a planted
// name is never written through either.
TEST(FileReplace, ALinkPlantedByAnotherUserIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "planting a link of another owner needs root";
    const std::string dir = fresh_dir("file-replace-planted");
    ASSERT_EQ(::chmod(dir.c_str(), 01777), 0);
    const std::string secret = dir + "/secret", key = dir + "/key";
    write(secret, "secret");
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    ASSERT_EQ(::symlink("secret", key.c_str()), 0);
    ASSERT_EQ(::lchown(key.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(file_replace(key, "overwritten", ReplaceMode::create));
    EXPECT_FALSE(file_replace(key, "overwritten", ReplaceMode::existing));
    EXPECT_EQ(read(secret), "secret");
    EXPECT_EQ(mode_of(secret), 0600u);
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"key", "secret"}));
    // A link of one's own is followed, as before.
    ASSERT_EQ(::lchown(key.c_str(), 0, 0), 0);
    EXPECT_TRUE(file_replace(key, "mine", ReplaceMode::existing));
    EXPECT_EQ(read(secret), "mine");
    EXPECT_EQ(mode_of(secret), 0600u);
}
