// Bounded byte reads, whole-file reads and the write-then-replace of src/base.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
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
    EXPECT_EQ(file_read_all(fifo, &out, regular), FileRead::cannot_open);  // and does not wait for a writer
    EXPECT_EQ(file_read_all(dir, &out, regular), FileRead::cannot_open);
    regular.max_size = 9;
    EXPECT_EQ(file_read_all(file, &out, regular), FileRead::read_error);
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

// Where nothing can be made beside the file, it is rewritten in place; where it cannot
// be written either, it is left as it was.
TEST(FileReplace, ADirectoryWithoutWriteAccessFallsBackToWritingInPlace) {
    if (::geteuid() == 0) GTEST_SKIP() << "file modes do not bind root";
    const std::string dir = fresh_dir("file-replace-locked");
    const std::string file = dir + "/key", locked = dir + "/locked";
    write(file, "old");
    write(locked, "kept");
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
    EXPECT_TRUE(file_replace(file, "in place", ReplaceMode::existing));
    EXPECT_EQ(read(file), "in place");
    EXPECT_FALSE(file_replace(locked, "lost", ReplaceMode::create));
    EXPECT_EQ(read(locked), "kept");
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"key", "locked"}));
    ::chmod(dir.c_str(), 0755);
}
