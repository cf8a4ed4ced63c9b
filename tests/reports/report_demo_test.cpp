// The host report of the demo capture, made by the replay tool, against the same tool's
// dump: one row per leaf of every link's protocol tally, with the leaf's label, frames
// and bytes, and nothing else.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "model/engine.h"
#include "protocol/symbol.h"
#include "reports/table_file.h"

#ifdef HOPSCOPE_REPLAY

using namespace report_tests;

namespace {

const std::string kData = HOPSCOPE_DATA_DIR;

int run(const std::string& args, std::string* out) {
    out->clear();
    FILE* p = popen((std::string(HOPSCOPE_REPLAY) + " " + args).c_str(), "r");
    if (!p) return -1;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
    const int st = pclose(p);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// One row: source, peer, protocol label (as the report's 15 columns show it), frames, bytes.
using Row = std::tuple<std::string, std::string, std::string, unsigned long long, unsigned long long>;

std::string trim_right(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// The leaves of the dump's tally records: paths that no other path of the same link
// continues.
std::vector<Row> dump_leaves(const std::string& dump) {
    struct Tally {
        std::string path;
        unsigned long long frames, bytes;
    };
    std::map<std::pair<std::string, std::string>, std::vector<Tally>> links;
    std::istringstream in(dump);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("tally\t", 0) != 0) continue;
        std::istringstream f(line);
        std::string kind, src, dst, path, frames, bytes;
        std::getline(f, kind, '\t');
        std::getline(f, src, '\t');
        std::getline(f, dst, '\t');
        std::getline(f, path, '\t');
        std::getline(f, frames, '\t');
        std::getline(f, bytes, '\t');
        links[{src, dst}].push_back({path, std::stoull(frames), std::stoull(bytes)});
    }
    std::vector<Row> rows;
    for (const auto& [ends, tallies] : links) {
        std::set<std::string> parents;
        for (const Tally& t : tallies) {
            const size_t slash = t.path.rfind('/');
            if (slash != std::string::npos) parents.insert(t.path.substr(0, slash));
        }
        for (const Tally& t : tallies) {
            if (parents.count(t.path)) continue;
            const std::string name = t.path.substr(t.path.rfind('/') + 1);
            const Symbol* symbol = symbol_lookup(name.c_str());
            EXPECT_NE(symbol, nullptr) << name;
            const std::string label = symbol ? symbol->node->label : "";
            rows.emplace_back(ends.first, ends.second, trim_right(label.substr(0, 15)), t.frames, t.bytes);
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The rows of the host report's plain text, by their columns; hosts are headed by their
// address (the demo has no names).
std::vector<Row> report_rows(const std::string& text, std::set<std::string>* hosts) {
    std::vector<Row> rows;
    std::string host;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.size() == 17 && std::count(line.begin(), line.end(), ':') == 5) {
            host = line;
            EXPECT_TRUE(hosts->insert(host).second) << "host twice: " << host;
            continue;
        }
        if (line.size() != 73 || line.rfind("Traffic to:", 0) == 0) continue;
        rows.emplace_back(host, trim_right(line.substr(0, 35)), trim_right(line.substr(36, 15)),
                          std::stoull(line.substr(52, 10)), std::stoull(line.substr(63, 10)));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

}  // namespace

TEST(HostReportOfTheDemo, RowsAreTheLeavesOfTheDumpsTallies) {
    const std::string options = "--protocols " + kData + "/protocol.pdl ";
    std::string dump, ignored;
    ASSERT_EQ(run(options + "--dump " + kData + "/demo.pcap", &dump), 0);
    TempDir dir;
    ASSERT_EQ(run(options + "--reports " + dir.path.string() + " " + kData + "/demo.pcap", &ignored), 0);

    engine_reset();  // the protocol name table, for the labels of the dump's names
    ASSERT_NE(engine_load_protocols((kData + "/protocol.pdl").c_str(), false), nullptr);
    const std::vector<Row> leaves = dump_leaves(dump);
    std::set<std::string> hosts;
    const std::vector<Row> rows = report_rows(read_whole((dir.path / "hostrep.txt").string()), &hosts);
    ASSERT_GT(leaves.size(), 100u);
    EXPECT_EQ(rows, leaves);

    // Every host that sends is headed once, and no other.
    std::set<std::string> senders;
    for (const Row& r : leaves) senders.insert(std::get<0>(r));
    EXPECT_EQ(hosts, senders);
    engine_reset();
}

#endif  // HOPSCOPE_REPLAY
