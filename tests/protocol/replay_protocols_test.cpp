// The replay tool's --protocols option: the shipped tree classifies every frame into
// the link tallies; a file that gives no tree stops the tool with a clear message.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "frames.h"
#include "support/pcap_writer.h"

#ifdef HOPSCOPE_REPLAY

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
};

ToolRun run(const std::string& args) {
    ToolRun r;
    FILE* p = popen((std::string(HOPSCOPE_REPLAY) + " " + args + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string capture() {
    using namespace frames;
    const std::string path = testsupport::temp_path("replay.pcap");
    const Bytes http = eth2(0x0800, ipv4(6, tcp(49152, 80, text("GET / HTTP/1.1\r\n\r\n"))));
    const Bytes dns = eth2(0x0800, ipv4(17, udp(40000, 53, dns_query())));
    testsupport::write_pcap(path, {{1, 0, http, 0}, {2, 0, http, 0}, {3, 0, dns, 0}});
    return path;
}

const std::string kShipped = std::string(HOPSCOPE_DATA_DIR) + "/protocol.pdl";

TEST(ReplayProtocols, TalliesFollowTheShippedTree) {
    const ToolRun r = run("--dump --protocols " + kShipped + " " + capture());
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string link = "00:1C:42:01:02:03\t00:1B:21:0A:0B:0C\t";
    EXPECT_NE(r.out.find("tally\t" + link + "ROOT\t3\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("tally\t" + link + "ROOT/ETHER2/IP/TCP/HTTP\t2\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("tally\t" + link + "ROOT/ETHER2/IP/UDP/DNS\t1\t"), std::string::npos) << r.out;
}

TEST(ReplayProtocols, WithoutATreeNothingIsTallied) {
    for (const std::string& options : {std::string("--no-protocols"), "--no-classify --protocols " + kShipped}) {
        const ToolRun r = run("--dump " + options + " " + capture());
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.out.find("tally\t"), std::string::npos) << options;
    }
}

TEST(ReplayProtocols, FileWithoutTreeStopsTheTool) {
    const ToolRun missing = run("--protocols /nonexistent/protocol.pdl " + capture());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("Could not open file /nonexistent/protocol.pdl for parsing"), std::string::npos);
    EXPECT_NE(missing.out.find("hopscope-replay: /nonexistent/protocol.pdl gives no protocol tree"), std::string::npos);

    const std::string bad = testsupport::temp_path("bad.pdl");
    std::FILE* f = std::fopen(bad.c_str(), "w");
    std::fputs("protocol ROOT : 0 \"r\" 0 {\n}\n", f);
    std::fclose(f);
    const ToolRun broken = run("--protocols " + bad + " " + capture());
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.out.find("PDL Parse: parse error on line [2]"), std::string::npos) << broken.out;
}

}  // namespace

#endif
