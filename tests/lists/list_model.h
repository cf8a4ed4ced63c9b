// A fresh engine with the shipped protocol tree and one current network, and frames
// sent into it as the capture thread applies them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/engine.h"
#include "model/net.h"
#include "model/netif.h"
#include "support/pcap_writer.h"

namespace list_tests {

inline std::string mac(int n) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "00:00:00:00:%02x:%02x", (n >> 8) & 0xff, n & 0xff);
    return buf;
}

class ListModel : public ::testing::Test {
protected:
    void SetUp() override {
        EngineOptions o;
        o.protocols = std::string(HOPSCOPE_DATA_DIR) + "/protocol.pdl";
        ASSERT_EQ(engine_start(o), EngineStatus::ok);
        net = add_network("test0");
        net_set_current(net);
    }
    void TearDown() override { engine_reset(); }
    static Network* add_network(const char* name) {
        Network* n = net_create(name);
        net_list_add(n);
        return n;
    }
    // `count` frames from src to dst of the Ethernet type with `payload` bytes after the header.
    void send(int src, int dst, uint16_t type = 0x0806, size_t payload = 46, int count = 1, Network* to = nullptr) {
        const std::vector<uint8_t> f = testsupport::ether_frame(mac(dst), mac(src), type, payload);
        for (int i = 0; i < count; ++i) {
            hscap::FrameHeader h{++clock_, 0, static_cast<uint32_t>(f.size()), static_cast<uint32_t>(f.size())};
            ModelWriteLock lock;
            netif_frame(to ? to : net, &h, f.data());
        }
    }
    Network* net = nullptr;
    int32_t clock_ = 1000;
};

}  // namespace list_tests
