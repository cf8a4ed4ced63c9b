// The list windows' frame without a window: the countdown and title suffixes as a table
// of events (data/countdown.txt), the host watch title, the kinds' constants, and the
// tab-separated copies of a table.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "lists/list_table.h"
#include "lists/lists.h"

namespace {

std::string trim(const std::string& s) {
    const size_t b = s.find_first_not_of(' ');
    const size_t e = s.find_last_not_of(' ');
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

}  // namespace

TEST(ListCountdown, TitleSecondBySecondFollowsTheTable) {
    std::ifstream in(std::string(HOPSCOPE_TEST_DIR) + "/lists/data/countdown.txt");
    ASSERT_TRUE(in) << "countdown.txt";
    ListFrame frame;
    std::string title;
    int refreshes = 0, lines = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const size_t bar1 = line.find(" | "), bar2 = line.find(" | ", bar1 + 3);
        ASSERT_NE(bar2, std::string::npos) << line;
        const std::string event = trim(line.substr(0, bar1));
        const int want_refreshes = std::stoi(line.substr(bar1 + 3, bar2 - bar1 - 3));
        const std::string quoted = trim(line.substr(bar2 + 3));
        ASSERT_TRUE(quoted.size() >= 2 && quoted.front() == '"' && quoted.back() == '"') << line;
        const std::string want = quoted.substr(1, quoted.size() - 2);
        if (event.rfind("start ", 0) == 0) {
            title = event.substr(6);
            refreshes = 0;
            list_frame_start(&frame, &title);
        } else if (event == "force") {
            list_frame_force(&frame);
        } else if (event.rfind("tick", 0) == 0) {
            const int n = event.size() > 4 ? std::stoi(event.substr(5)) : 1;
            for (int i = 0; i < n; ++i) {
                // While the refresh runs the title shows the updating suffix.
                const bool refreshed = list_frame_tick(&frame, &title, [&] {
                    ++refreshes;
                    EXPECT_EQ(title.substr(title.size() - 19), " ** UPDATING **    ") << line;
                });
                EXPECT_EQ(refreshed, frame.countdown == kListRefreshSeconds) << line;
            }
        } else {
            FAIL() << "unknown event: " << line;
        }
        EXPECT_EQ(title, want) << line;
        EXPECT_EQ(refreshes, want_refreshes) << line;
        ++lines;
    }
    EXPECT_GT(lines, 20);
}

TEST(ListCountdown, SuffixesHaveTheirLengths) {
    EXPECT_EQ(std::string(kListStartSuffix).size(), 20u);
    EXPECT_EQ(std::string(kListUpdatingSuffix).size(), 19u);
    EXPECT_EQ(list_frame_next_update(900), " next update: 15:00");
    EXPECT_EQ(list_frame_next_update(59), " next update: 00:59");
    EXPECT_EQ(list_frame_next_update(0).size(), 19u);
}

TEST(ListTitles, HostWatchTitleNamesAddressAndNameOrNull) {
    EXPECT_EQ(list_watch_title("00:00:00:00:00:0A", "alpha"), "00:00:00:00:00:0A : alpha");
    EXPECT_EQ(list_watch_title("00:00:00:00:00:0A", nullptr), "00:00:00:00:00:0A : (null)");
}

TEST(ListKinds, ConstantsOfTheFiveWindows) {
    const ListKindInfo& net = list_kind_info(ListKind::host_list);
    EXPECT_STREQ(net.window_class, "hostlist");
    EXPECT_EQ(net.columns, 6);
    EXPECT_STREQ(net.column_titles[4], "Total Packets Sent");
    EXPECT_TRUE(net.single);
    const ListKindInfo& watch = list_kind_info(ListKind::host_watch);
    EXPECT_STREQ(watch.window_class, "hostwatch");
    EXPECT_STREQ(watch.context_menu, "WNODEPOPUPMENU");
    EXPECT_FALSE(watch.single);
    EXPECT_STREQ(list_kind_info(ListKind::top_hosts).column_titles[1], "Total Bytes Sent");
    EXPECT_EQ(list_kind_info(ListKind::top_hosts).default_width[0], 200);
    EXPECT_EQ(list_kind_info(ListKind::top_links).columns, 3);
    EXPECT_EQ(list_kind_info(ListKind::top_alarms).context_menu, nullptr);
    for (int k = 0; k < kListKinds; ++k) EXPECT_EQ(list_kind_info(static_cast<ListKind>(k)).kind, static_cast<ListKind>(k));
}

TEST(ListCopy, RowsAndTableAsTabSeparatedText) {
    ListTable t;
    t.columns = 3;
    int a = 0, b = 0;
    list_table_insert(&t, 0, &a).cells = {"x", "name\twith tab", "12"};
    list_table_insert(&t, 0, &b).cells = {"first", "", "line\r\nbreak"};
    list_table_insert(&t, 9, nullptr);  // past the end: appended
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.rows[0].subject, &b);
    EXPECT_EQ(list_table_tsv_row(t, 0), "first\t\tline  break");
    EXPECT_EQ(list_table_tsv_row(t, 1), "x\tname with tab\t12");
    EXPECT_EQ(list_table_tsv_row(t, 3), "");
    const char* titles[] = {"A", "B", "C"};
    EXPECT_EQ(list_table_tsv(t, titles), "A\tB\tC\nfirst\t\tline  break\nx\tname with tab\t12\n\t\t\n");
}
