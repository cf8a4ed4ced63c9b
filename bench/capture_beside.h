// What the benchmarks that time a reader of the model beside the capture thread share:
// frames applied as the capture thread applies them, and the capture thread's side,
// which measures how long it waits for the model lock at each pass.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

#include <string>

#include "model/engine.h"
#include "model/net.h"
#include "model/netif.h"

namespace bench {

using Clock = std::chrono::steady_clock;
using Frame = std::vector<uint8_t>;

inline double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The engine with the shipped protocol tree and one current network "bench0"; null when
// the tree cannot be loaded.
inline Network* start_network() {
    EngineOptions o;
    o.protocols = std::string(HOPSCOPE_DATA_DIR) + "/protocol.pdl";
    if (engine_start(o) != EngineStatus::ok) return nullptr;
    Network* net = net_create("bench0");
    net_list_add(net);
    net_set_current(net);
    return net;
}

// Applies one frame; the model clock moves a millisecond a frame.
inline void apply(Network* net, const Frame& f) {
    static int32_t clock = 1700000000;
    hscap::FrameHeader h{clock++ / 1000, 0, static_cast<uint32_t>(f.size()), static_cast<uint32_t>(f.size())};
    netif_frame(net, &h, f.data());
}

// A series of figures in milliseconds.
struct Series {
    std::vector<double> ms;
    // The figure at quantile q (0: the least, 1: the largest); 0 for none.
    double at(double q) {
        std::sort(ms.begin(), ms.end());
        return ms.empty() ? 0 : ms[std::min(ms.size() - 1, static_cast<size_t>(q * static_cast<double>(ms.size())))];
    }
    void print_waits(const char* what) {
        if (ms.empty()) return;
        std::printf("%-34s passes %6zu  wait median %.3f ms  p99 %.3f ms  longest %.3f ms\n", what, ms.size(), at(0.5),
                    at(0.99), at(1.0));
    }
};

// The capture thread's side: passes of 255 frames and a refresh under the exclusive
// lock, 1 ms apart, until `stop`; the wait for the lock at each pass.
inline Series capture_passes(Network* net, const std::vector<Frame>& frames, const std::atomic<bool>& stop) {
    Series w;
    size_t next = 0;
    while (!stop.load()) {
        const auto t0 = Clock::now();
        {
            ModelWriteLock lock;
            w.ms.push_back(ms(Clock::now() - t0));
            for (int i = 0; i < 255; ++i) apply(net, frames[next++ % frames.size()]);
            net_refresh(net);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return w;
}

}  // namespace bench
