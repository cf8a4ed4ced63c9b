// A fresh network and helpers to push frames through the per-frame handler.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/engine.h"
#include "model/net.h"
#include "model/netif.h"
#include "protocol/pd.h"
#include "support/pcap_writer.h"

class ModelTest : public ::testing::Test {
public:
    NetAddress addr_a, addr_b;
protected:
    void SetUp() override {
        engine_reset();
        addr_a = addr("00:00:00:00:00:0a");
        addr_b = addr("00:00:00:00:00:0b");
        net = net_create("test0");
        net_list_add(net);
        net_set_current(net);
    }
    void TearDown() override { pd_set_root(nullptr); }

    // Sends one frame through netif_frame.
    void send(const std::vector<uint8_t>& bytes, int32_t sec, int32_t usec = 0, uint32_t wire = 0) {
        hscap::FrameHeader h{sec, usec, static_cast<uint32_t>(bytes.size()),
                             wire ? wire : static_cast<uint32_t>(bytes.size())};
        netif_frame(net, &h, bytes.data());
    }
    void send(const std::string& dst, const std::string& src, int32_t sec, int32_t usec = 0, size_t payload = 46) {
        send(testsupport::ether_frame(dst, src, 0x0800, payload), sec, usec);
    }

    static NetAddress addr(const std::string& text) {
        NetAddress a;
        netaddr_init(&a, kEtherType);
        netaddr_parse(&a, text.c_str());
        return a;
    }
    Host* host(const std::string& text) const {
        NetAddress a = addr(text);
        return host_find(net, &a);
    }
    Link* link(const std::string& from, const std::string& to) const {
        NetAddress a = addr(to);
        return link_find(host(from), &a);
    }

    Network* net = nullptr;
};

inline const char* A = "00:00:00:00:00:0a";
inline const char* B = "00:00:00:00:00:0b";
inline const char* C = "00:00:00:00:00:0c";
inline const char* BCAST = "ff:ff:ff:ff:ff:ff";
