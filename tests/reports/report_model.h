// A fresh engine with the shipped protocol tree, a local names file and one network,
// and a small segment of hosts to report on.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/engine.h"
#include "model/names/names.h"
#include "model/net.h"
#include "model/netif.h"
#include "reports/table_file.h"
#include "support/pcap_writer.h"

namespace report_tests {

// A fresh engine with the shipped protocol tree and a local names file.
class ReportModel : public ::testing::Test {
protected:
    void SetUp() override {
        local_names_create();
        const std::string ethers = testsupport::temp_path("report.ethers");
        report_tests::write_whole(ethers,
                    "00:00:00:00:00:0a alpha\n"
                    "00:00:00:00:00:0b a-name-well-over-thirty-five-characters-long\n"
                    "00:00:00:00:00:0d <b>&amp;\n");
        EngineOptions o;
        o.protocols = std::string(HOPSCOPE_DATA_DIR) + "/protocol.pdl";
        o.ethers = ethers;
        ASSERT_EQ(engine_start(o), EngineStatus::ok);
        net = net_create("test0");
        net_list_add(net);
        net_set_current(net);
    }
    void TearDown() override {
        engine_reset();
        local_names_create();
    }
    void send(const std::string& dst, const std::string& src, uint16_t type, size_t payload, int count = 1) {
        for (int i = 0; i < count; ++i) {
            const std::vector<uint8_t> f = testsupport::ether_frame(dst, src, type, payload);
            hscap::FrameHeader h{++clock_, 0, static_cast<uint32_t>(f.size()), static_cast<uint32_t>(f.size())};
            ModelWriteLock lock;
            netif_frame(net, &h, f.data());
        }
    }
    // A small segment: named, long-named, unnamed and escaped hosts, several protocols.
    void small_segment() {
        const char *a = "00:00:00:00:00:0a", *b = "00:00:00:00:00:0b", *c = "00:00:00:00:00:0c",
                   *d = "00:00:00:00:00:0d", *all = "ff:ff:ff:ff:ff:ff";
        send(b, a, 0x0800, 46, 3);
        send(b, a, 0x0806, 28);
        send(c, a, 0x86DD, 60, 2);
        send(all, c, 0x0806, 28);
        send(a, b, 0x0800, 200);
        send(a, d, 0x0800, 80, 2);
    }
    Network* net = nullptr;
    int32_t clock_ = 1000;
};

}  // namespace report_tests
