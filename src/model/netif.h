// Packet intake: the capture-and-draw thread and its per-frame handler.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "model/capture/capture.h"
#include "model/frame.h"
#include "model/net.h"

inline constexpr int kDispatchFrames = 255;  // frames per capture pass at most
inline constexpr int kIdleSleepMs = 1000;    // a turn of the loop without a handle

// The steps of a capture pass that other subsystems fill. Each may be null.
struct CaptureHooks {
    void (*statistics_notice)(Network* network) = nullptr;  // posted at the start of a pass
    void (*alarm_pass)(Network* network) = nullptr;         // bind waiting alarms, check armed ones
    void (*draw)(Network* network) = nullptr;               // render the map and ask for a repaint
};

// Shared between the window thread and the capture thread.
struct CaptureContext {
    std::atomic<bool> stop{false};
    // Guards `handle`: the capture thread holds it for the length of a pass, so the
    // window thread can close or replace the handle only between passes.
    std::mutex handle_mutex;
    hscap::Handle* handle = nullptr;
    std::condition_variable wake;  // signalled with the stop event
    CaptureHooks hooks;
    std::atomic<uint64_t> passes{0};
};

// Signals the stop event and wakes the thread if it idles.
void capture_signal_stop(CaptureContext* context);
// Replaces the capture handle between passes and returns the previous one (which the
// caller closes). Safe while the capture thread runs.
hscap::Handle* capture_swap_handle(CaptureContext* context, hscap::Handle* handle);

// The capture-and-draw loop. Returns once the stop event is signalled (checked at the
// start of every turn), so that the thread can be joined.
void capture_thread(CaptureContext* context);
// One turn of the loop that reaches the capture library: statistics notice, dispatch,
// refresh, draw. Returns the frames delivered, or -1 when the source has failed.
int capture_pass(CaptureContext* context, Network* network, hscap::Handle* handle);

// One capture step: up to 255 frames, statistics, load, alarm pass. Returns the
// frames delivered (the step itself always succeeds), or -1 when the source failed.
int netif_dispatch(Network* network, hscap::Handle* handle, const CaptureHooks* hooks = nullptr);
// The per-frame handler. Reads at most min(captured, wire length) bytes of the frame;
// counts the wire length. Returns 0.
int netif_frame(Network* network, const hscap::FrameHeader* header, const uint8_t* bytes);

// Load in percent of 10 Mbit/s over the last second: (frames x 192 + bytes x 8) / 100000.
// When the frame window is full before a second has passed, the counts are scaled to
// the span of frame time that they cover.
[[nodiscard]] uint32_t netif_load(const Network* network);
// Frames and bytes per second of the network, scaled like the load.
void netif_second_rates(const Network* network, uint64_t* frames, uint64_t* bytes);
