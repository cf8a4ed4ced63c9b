// The replay tool reads the name files before the capture, so its dump shows local
// names and manufacturers.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "support/pcap_writer.h"

namespace {

std::string run(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return out;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe.get())) > 0;) out.append(buf, n);
    return out;
}

}  // namespace

TEST(ReplayNames, DumpShowsLocalNamesAndManufacturers) {
    const std::string tool = HOPSCOPE_BIN_DIR "/src/replay/hopscope-replay";
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << "hopscope-replay not built";

    const std::string capture = testsupport::temp_path("names.pcap");
    testsupport::write_pcap(capture, {{1, 0, testsupport::ether_frame("08:00:2b:1a:00:ff", "00:00:0c:11:22:33", 0x0800)},
                                      {1, 500, testsupport::ether_frame("00:00:0c:11:22:33", "02:00:00:00:00:01", 0x0800)}});
    const std::string ethers = testsupport::temp_path("ethers");
    std::ofstream(ethers) << "# stations\n8:0:2b:1a:0:ff printer-3\n";

    const std::string dump = run("'" + tool + "' --dump --ethers '" + ethers + "' --manufacturers '" HOPSCOPE_DATA_DIR
                                 "/manf' '" + capture + "'");
    EXPECT_NE(dump.find("host\t00:00:0C:11:22:33\t1\t60\t\tCisco\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("host\t08:00:2B:1A:00:FF\t0\t0\tprinter-3\tDEC\n"), std::string::npos) << dump;
    // A locally administered address has no registered maker.
    EXPECT_NE(dump.find("host\t02:00:00:00:00:01\t1\t60\t\t\n"), std::string::npos) << dump;

    // A names file given but missing is an error of the tool.
    const std::string missing = testsupport::temp_path("absent");
    EXPECT_EQ(run("'" + tool + "' --dump --ethers '" + missing + "' '" + capture + "' 2>&1"),
              "hopscope-replay: cannot read ethers file " + missing + "\n");
}
