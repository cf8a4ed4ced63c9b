// Report tables as comma-separated values, and report files saved without replacing one.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "reports/report_table.h"
#include "reports/table_file.h"

namespace fs = std::filesystem;
using namespace report_tests;

TEST(Csv, FieldQuoting) {
    const std::vector<Case> cases = read_cases(data_path("csv_cases.txt"));
    ASSERT_GT(cases.size(), 10u);
    for (const Case& c : cases) {
        const std::string field = unescape(c.at("field"));
        EXPECT_EQ(csv_field(field), unescape(c.at("csv"))) << c.at("field");
    }
}

TEST(Csv, TableWithHeaderRowAndRowsOfTheTablesWidth) {
    ReportTable table = report_table_make(kHostReportColumns);
    report_table_add(&table, {"printer-3", "08:00:2B:1A:00:FF", "file, server", "08:00:2B:1A:00:01", "TCP", "12",
                              "3400"});
    report_table_add(&table, {"08:00:2B:1A:00:01", "08:00:2B:1A:00:01"});                  // padded
    report_table_add(&table, {"a", "b", "c", "d", "e", "f", "g", "cut", "off"});             // cut
    EXPECT_EQ(csv_format(table),
              "Host,Host Address,Traffic to,Peer Address,Protocol,Packets,Bytes\r\n"
              "printer-3,08:00:2B:1A:00:FF,\"file, server\",08:00:2B:1A:00:01,TCP,12,3400\r\n"
              "08:00:2B:1A:00:01,08:00:2B:1A:00:01,,,,,\r\n"
              "a,b,c,d,e,f,g\r\n");
    EXPECT_EQ(csv_format(report_table_make(kAlarmReportColumns)),
              "Alarm Type,Alarm Notify String,Times Activated,Activated At\r\n");
}

TEST(SaveNew, WritesANewFileAndNeverReplacesOne) {
    TempDir dir;
    const std::string path = (dir.path / "saved.dat").string();
    EXPECT_EQ(report_save_new(path, "first"), 1);
    EXPECT_EQ(read_whole(path), "first");
    EXPECT_EQ(report_save_new(path, "second"), 0);
    EXPECT_EQ(read_whole(path), "first");
    EXPECT_EQ(dir.names().size(), 1u) << "no temporary file left";

    // A file made like any other: the umask's permissions, not the temporary's.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);

    // A symbolic link is a file of that name too, even when it points nowhere: nothing
    // is written through it.
    const std::string link = (dir.path / "link.txt").string();
    const std::string target = (dir.path / "target.txt").string();
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    EXPECT_EQ(report_save_new(link, "x"), 0);
    EXPECT_FALSE(fs::exists(target));

    EXPECT_EQ(report_save_new((dir.path / "missing" / "x.txt").string(), "x"), -1);
    EXPECT_EQ(report_save_new("", "x"), -1);
    EXPECT_EQ(dir.names().size(), 2u);
}

TEST(SaveNew, CopiesAReportFile) {
    TempDir dir;
    const std::string from = (dir.path / "hostrep.rtf").string();
    write_whole(from, std::string("{\\rtf1 \0binary-safe}", 20));
    const std::string to = (dir.path / "copy.rtf").string();
    EXPECT_EQ(report_copy_new(from, to), 1);
    EXPECT_EQ(read_whole(to), read_whole(from));
    write_whole(from, "changed");
    EXPECT_EQ(report_copy_new(from, to), 0);
    EXPECT_EQ(read_whole(to).size(), 20u);
    EXPECT_EQ(report_copy_new((dir.path / "none.rtf").string(), (dir.path / "other.rtf").string()), -1);
    EXPECT_FALSE(fs::exists(dir.path / "other.rtf"));
}
