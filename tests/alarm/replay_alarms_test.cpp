// hopscope-replay --alarms: what the options refuse, and a small capture's events.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "support/pcap_writer.h"

namespace {

const std::string kTool = HOPSCOPE_BIN_DIR "/src/replay/hopscope-replay";

// Runs a command; its standard output and error, and its exit status.
std::string run(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return out;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
    const int rc = pclose(pipe);
    *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

}  // namespace

TEST(ReplayAlarms, MistakesOfTheCommandLine) {
    if (!std::filesystem::exists(kTool)) GTEST_SKIP() << "hopscope-replay not built";
    const std::string pdl = HOPSCOPE_DATA_DIR "/protocol.pdl";
    const std::string demo = HOPSCOPE_DATA_DIR "/demo.pcap";
    const std::string absent = testsupport::temp_path("absent.adl");
    const struct {
        std::string options;
        int status;
        std::string said;
    } table[] = {
        {"--no-protocols --alarms x.adl", 2, "hopscope-replay: --alarms needs --protocols\n"},
        {"--protocols " + pdl + " --alarms-on", 2, "hopscope-replay: --alarms-on needs --alarms\n"},
        {"--protocols " + pdl + " --alarms " + absent, 1,
         "hopscope-replay: Corvex: Alarm Definition Language: Could not open file " + absent +
             " for parsing\nadl_parse: Warning - " + absent + " not found\n"},
    };
    for (const auto& row : table) {
        int status = 0;
        EXPECT_EQ(run("'" + kTool + "' " + row.options + " '" + demo + "'", &status), row.said) << row.options;
        EXPECT_EQ(status, row.status) << row.options;
    }
}

// Two passes of frames: the first holds 255 of a's frames in a quarter of a second; the
// second 45 more and one two seconds later, which leaves a single frame in the window.
// The high alarm fires in the first pass only, the OFF alarm nowhere unless
// --alarms-on; each line is the pass's frame time and the notify string, line feeds
// written as \n; --no-dump cancels --dump.
TEST(ReplayAlarms, EventsOfASmallCapture) {
    if (!std::filesystem::exists(kTool)) GTEST_SKIP() << "hopscope-replay not built";
    std::vector<testsupport::Frame> frames;
    const auto f = testsupport::ether_frame("00:00:00:00:00:0b", "00:00:00:00:00:0a", 0x0800);
    for (int i = 0; i < 255; ++i) frames.push_back({100, i * 1000, f});
    for (int i = 0; i < 45; ++i) frames.push_back({100, 255000 + i * 1000, f});
    frames.push_back({102, 500000, f});
    const std::string capture = testsupport::temp_path("alarms.pcap");
    testsupport::write_pcap(capture, frames);
    const std::string adl = testsupport::temp_path("replay.adl");
    std::ofstream(adl) << "Threshold host 00:00:00:00:00:0a high 255 pkts \"a: 255 frames\na second\" ON\n"
                          "Threshold network low 10 pkts \"quiet\" OFF\n";
    const std::string base = "'" + kTool + "' --protocols " HOPSCOPE_DATA_DIR "/protocol.pdl --alarms '" + adl + "' ";
    int status = 0;
    EXPECT_EQ(run(base + "--dump --no-dump '" + capture + "'", &status), "100.254000\ta: 255 frames\\na second\n");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(run(base + "--alarms-on '" + capture + "'", &status),
              "100.254000\ta: 255 frames\\na second\n"
              "102.500000\tquiet\n");
}
