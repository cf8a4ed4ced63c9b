// The replay tool's progress line: the cases of progress_cases.txt and the text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "replay/progress.h"

TEST(Progress, ShowsAfterTwoSecondsAtMostTwiceASecondAndOnlyOnATerminal) {
    std::ifstream in(HOPSCOPE_TEST_DIR "/replay/progress_cases.txt");
    ASSERT_TRUE(in) << "no progress_cases.txt";
    std::string line;
    int cases = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        SCOPED_TRACE(line);
        ++cases;
        std::istringstream fields(line);
        int terminal = 0, expected = 0;
        std::string bar, times;
        fields >> terminal >> bar >> times >> bar >> expected;
        std::FILE* out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        ReplayProgress progress(out, terminal != 0);
        std::istringstream each(times);
        std::string t;
        while (std::getline(each, t, ',')) progress.update(std::stod(t), 100, 0.5);
        progress.finish();
        std::rewind(out);
        std::string written;
        for (int c; (c = std::fgetc(out)) != EOF;) written += static_cast<char>(c);
        std::fclose(out);
        size_t shown = 0;
        for (size_t at = written.find('\r'); at != std::string::npos; at = written.find('\r', at + 1)) ++shown;
        EXPECT_EQ(shown, static_cast<size_t>(expected)) << written;
        // One line in all: rewritten in place, ended once.
        EXPECT_EQ(written.empty() ? 0 : std::count(written.begin(), written.end(), '\n'), expected ? 1 : 0);
    }
    EXPECT_GE(cases, 5);
}

TEST(Progress, TheLineSaysFramesPercentAndRate) {
    EXPECT_EQ(replay_progress_text(12345, 0.424, 81234.4), "12345 frames, 42% of the file, 81234 frames/s");
    EXPECT_EQ(replay_progress_text(0, 0, 0), "0 frames, 0% of the file, 0 frames/s");
    EXPECT_EQ(replay_progress_text(7, 1.0, 3.5), "7 frames, 100% of the file, 4 frames/s");
    EXPECT_EQ(replay_progress_text(7, -1, 3.0), "7 frames, 3 frames/s");  // size unknown
    EXPECT_FALSE(ReplayProgress(nullptr).due(100));
}
