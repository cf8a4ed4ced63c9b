// The alarm engine's cost on the capture thread and the alarm thread's pace.
//
// BM_CapturePass/N: one capture pass as the capture-and-draw thread runs it after the
// capture library has read the frames: 255 frames through the per-frame handler (with
// the shipped protocol tree), the alarm step with N armed alarms (host, link, network
// and protocol alarms whose conditions do not hold: every check is made, nothing
// fires), and the refresh. Frames are 1 microsecond apart (1 M frames a second of frame
// time), so the frame window is full and every threshold is scaled to its span.
// Compare /0 with /100.
//
// BM_AlarmStep/N: the alarm step alone with N armed alarms.
//
// BM_CapturePassFiring: the same with 100 armed alarms of which one fires on every
// pass, while the alarm thread performs the firings (activation, top alarms, a line for
// the output window's mailbox). The counters say how many firings there were a second
// and how many found the queue full (unperformed): 0 means the alarm thread kept up.
//
// BM_AlarmThread: how many firings a second the alarm thread performs (4096 queued at
// once, then drained).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "alarm/adl.h"
#include "alarm/alarm.h"
#include "alarm/output.h"
#include "base/message.h"
#include "model/engine.h"
#include "model/names/hostc.h"
#include "model/net.h"
#include "model/netif.h"

namespace {

constexpr int kHosts = 64;

std::string station(int i) {
    char text[18];
    std::snprintf(text, sizeof text, "02:00:00:00:%02X:%02X", (i >> 8) & 0xff, i & 0xff);
    return text;
}

struct Frames {
    std::vector<std::vector<uint8_t>> bytes;  // 255 frames of varied stations and sizes
};

Frames make_frames() {
    Frames f;
    for (int i = 0; i < kDispatchFrames; ++i) {
        const int src = (i * 7) % kHosts, dst = (i * 13 + 5) % kHosts;
        const size_t length = i % 12 == 0 ? 1514 : i % 3 == 0 ? 594 : 60;
        std::vector<uint8_t> b(length, 0);
        for (int k = 0; k < 6; ++k) {
            std::sscanf(station(dst).c_str() + 3 * k, "%2hhx", &b[k]);
            std::sscanf(station(src).c_str() + 3 * k, "%2hhx", &b[6 + k]);
        }
        b[12] = 0x08;  // IPv4, version 4, header length 5, UDP
        b[14] = 0x45;
        b[23] = 17;
        f.bytes.push_back(std::move(b));
    }
    return f;
}

// A fresh engine with a network that has seen every station, and `alarms` alarms armed
// and bound; `firing` of them hold on every pass.
Network* setup(int alarms, int firing) {
    static bool quiet = [] {
        message_set_sink([](const std::string&, const std::string&, MessageIcon) {});
        return true;
    }();
    (void)quiet;
    engine_reset();
    hostc_init();
    (void)engine_load_protocols(HOPSCOPE_DATA_DIR "/protocol.pdl", true);
    alarm_init();
    Network* net = net_create("bench");
    net_list_add(net);
    net_set_current(net);
    std::string text;
    for (int i = 0; i < alarms; ++i) {
        // The stations of frame i of the batch: every alarm names a host or link that exists.
        const std::string a = station((i * 7) % kHosts), b = station((i * 13 + 5) % kHosts);
        char line[200];
        if (i < firing)
            std::snprintf(line, sizeof line, "Threshold network high 1 pkts \"firing %d\" ON\n", i);
        else if (i % 4 == 0)
            std::snprintf(line, sizeof line, "Threshold host %s high 4000000 pkts \"host %d\" ON\n", a.c_str(), i);
        else if (i % 4 == 1)
            std::snprintf(line, sizeof line, "Threshold link %s %s high 4000000 kbytes \"link %d\" ON\n", a.c_str(),
                          b.c_str(), i);
        else if (i % 4 == 2)
            std::snprintf(line, sizeof line, "Threshold network low 1 bandwidth \"network %d\" ON\n", i);
        else
            std::snprintf(line, sizeof line, "Occurrence protocol TELNET \"protocol %d\" ON\n", i);
        text += line;
    }
    (void)adl_parse_bytes(text.data(), text.size(), &alarm_list());
    (void)hostc_answer_queued();
    alarm_arm_all();
    return net;
}

// One pass at frame time `*us` (microseconds), which moves on by one a frame.
void pass(Network* net, const Frames& frames, int64_t* us) {
    {
        ModelWriteLock lock;
        for (const auto& b : frames.bytes) {
            const int64_t t = (*us)++;
            hscap::FrameHeader h{static_cast<int32_t>(t / 1000000), static_cast<int32_t>(t % 1000000),
                                 static_cast<uint32_t>(b.size()), static_cast<uint32_t>(b.size())};
            netif_frame(net, &h, b.data());
        }
        net->load = netif_load(net);
        alarm_pass(net);
    }
    ModelWriteLock lock;
    net_refresh(net);
}

void BM_CapturePass(benchmark::State& state) {
    Network* net = setup(static_cast<int>(state.range(0)), 0);
    const Frames frames = make_frames();
    int64_t us = int64_t{1000} * 1000000;
    for (int i = 0; i < 40; ++i) pass(net, frames, &us);  // every station, link and binding made
    size_t pending = 0, armed = 0;
    alarm_list_sizes(&pending, &armed);
    for (auto _ : state) pass(net, frames, &us);
    state.SetItemsProcessed(state.iterations() * kDispatchFrames);
    state.counters["armed"] = static_cast<double>(armed);
    state.counters["pending"] = static_cast<double>(pending);
    state.counters["fired"] = static_cast<double>(alarm_queue_count() + alarm_unperformed_total());
}
BENCHMARK(BM_CapturePass)->Arg(0)->Arg(100)->Unit(benchmark::kMicrosecond);

// The alarm step alone, on the network the passes above leave: what the N alarms add.
void BM_AlarmStep(benchmark::State& state) {
    Network* net = setup(static_cast<int>(state.range(0)), 0);
    const Frames frames = make_frames();
    int64_t us = int64_t{1000} * 1000000;
    for (int i = 0; i < 40; ++i) pass(net, frames, &us);
    ModelWriteLock lock;
    for (auto _ : state) alarm_pass(net);
}
BENCHMARK(BM_AlarmStep)->Arg(0)->Arg(100)->Unit(benchmark::kNanosecond);

OutputMailbox g_mailbox;

AlarmActions performing_actions() {
    AlarmActions a;
    a.output = [](const Alarm& alarm, const AlarmEvent& event) {
        if (g_mailbox.post(OutputLine{alarm.notify, event.time})) (void)g_mailbox.take();
    };
    return a;
}

void BM_CapturePassFiring(benchmark::State& state) {
    Network* net = setup(100, 1);
    alarm_set_actions(performing_actions());
    const Frames frames = make_frames();
    int64_t us = int64_t{1000} * 1000000;
    for (int i = 0; i < 40; ++i) pass(net, frames, &us);
    (void)alarm_perform_queued();
    alarm_thread_start();
    const uint64_t before = alarm_activation_count(*alarm_list().alarms[0]);
    for (auto _ : state) pass(net, frames, &us);
    while (alarm_queue_count() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    alarm_stop();
    const uint64_t fired = alarm_activation_count(*alarm_list().alarms[0]) - before;
    state.SetItemsProcessed(state.iterations() * kDispatchFrames);
    state.counters["firings"] = benchmark::Counter(static_cast<double>(fired), benchmark::Counter::kIsRate);
    state.counters["unperformed"] = static_cast<double>(alarm_unperformed_total());
    alarm_set_actions(alarm_default_actions());
}
BENCHMARK(BM_CapturePassFiring)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_AlarmThread(benchmark::State& state) {
    (void)setup(1, 1);
    alarm_set_actions(performing_actions());
    const std::shared_ptr<Alarm> a = alarm_list().alarms[0];
    alarm_thread_start();
    for (auto _ : state) {
        for (size_t i = 0; i < kAlarmQueueCapacity; ++i) (void)alarm_fire(a);
        while (alarm_queue_count() > 0) std::this_thread::yield();
    }
    alarm_stop();
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kAlarmQueueCapacity));
    alarm_set_actions(alarm_default_actions());
}
BENCHMARK(BM_AlarmThread)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
