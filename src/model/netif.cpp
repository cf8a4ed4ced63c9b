#include "model/netif.h"

#include <chrono>
#include <cstdio>
#include <shared_mutex>

#include "base/message.h"

namespace {

// What the per-frame trampoline needs: the network, and the model lock, which it
// takes when the first frame of the pass arrives.
struct PassState {
    Network* network;
    ModelWriteLock lock;
    HeldTally held;  // the last frame's tally, made with the next frame or after the pass
};

int frame_held(Network* network, const hscap::FrameHeader* header, const uint8_t* bytes, HeldTally* held);

void frame_trampoline(void* user, const hscap::FrameHeader* header, const uint8_t* bytes) {
    auto* st = static_cast<PassState*>(user);
    if (!st->lock.owns_lock()) st->lock.lock();
    frame_held(st->network, header, bytes, &st->held);
}

}  // namespace

void capture_signal_stop(CaptureContext* c) {
    {
        std::lock_guard<std::mutex> lock(c->handle_mutex);
        c->stop.store(true);
    }
    c->wake.notify_all();
}

hscap::Handle* capture_swap_handle(CaptureContext* c, hscap::Handle* handle) {
    std::lock_guard<std::mutex> lock(c->handle_mutex);
    hscap::Handle* old = c->handle;
    c->handle = handle;
    return old;
}

namespace {

int frame_held(Network* network, const hscap::FrameHeader* header, const uint8_t* bytes, HeldTally* held) {
    if (!network || !header) return 0;
    const TimeValue ts{header->seconds, header->microseconds};
    // Bytes past the wire length are not part of the frame, whatever was captured.
    const uint32_t readable = bytes ? (header->captured < header->length ? header->captured : header->length) : 0;
    model_set_clock(ts);
    Link* link = frame_apply_held(network, bytes, readable, header->length, held);
    ring_record(network, link, header->length, ts);
    return 0;
}

}  // namespace

int netif_frame(Network* network, const hscap::FrameHeader* header, const uint8_t* bytes) {
    return frame_held(network, header, bytes, nullptr);
}

void netif_second_rates(const Network* network, uint64_t* frames, uint64_t* bytes) {
    const uint32_t span = ring_full_span_us(network);
    *frames = ring_scale_to_second(network->frames_this_second, span);
    *bytes = ring_scale_to_second(network->bytes_this_second, span);
}

uint32_t netif_load(const Network* network) {
    uint64_t f, b;
    netif_second_rates(network, &f, &b);
    return static_cast<uint32_t>((f * 192 + b * 8) / 100000);
}

int netif_dispatch(Network* network, hscap::Handle* handle, const CaptureHooks* hooks) {
    PassState st{network, ModelWriteLock(std::defer_lock)};
    const int n = hscap::pcap_dispatch(handle, kDispatchFrames, frame_trampoline, &st);
    if (!st.lock.owns_lock()) st.lock.lock();
    held_tally_flush(&st.held);
    hscap::Stats stats{};
    hscap::pcap_stats(handle, &stats);
    network->dropped = stats.dropped;
    network->load = netif_load(network);
    if (hooks && hooks->alarm_pass) hooks->alarm_pass(network);
    return n;
}

int capture_pass(CaptureContext* c, Network* network, hscap::Handle* handle) {
    if (c->hooks.statistics_notice) c->hooks.statistics_notice(network);
    const int n = netif_dispatch(network, handle, &c->hooks);
    {
        ModelWriteLock lock;
        net_refresh(network);
    }
    if (const char* damage = hscap::take_error(handle)) message_show("Hopscope", damage, MessageIcon::Warning);
    c->passes.fetch_add(1, std::memory_order_relaxed);
    return n;
}

void capture_thread(CaptureContext* c) {
    for (;;) {
        std::unique_lock<std::mutex> lock(c->handle_mutex);
        if (c->stop.load()) return;
        Network* network = net_current();
        if (!c->handle || !network) {
            c->wake.wait_for(lock, std::chrono::milliseconds(kIdleSleepMs), [c] { return c->stop.load(); });
            continue;
        }
        hscap::Handle* handle = c->handle;
        const int n = capture_pass(c, network, handle);
        // Read while the handle is still ours: once the lock is released the window
        // thread may close it.
        const bool exhausted = n < 0 || hscap::finished(handle);
        lock.unlock();
        if (c->hooks.draw) c->hooks.draw(network);
        if (exhausted) {
            // A failed source or a capture file that has ended: idle as without a handle
            // instead of spinning, until the handle is replaced or the stop event.
            lock.lock();
            c->wake.wait_for(lock, std::chrono::milliseconds(kIdleSleepMs),
                             [c, handle] { return c->stop.load() || c->handle != handle; });
        }
    }
}
