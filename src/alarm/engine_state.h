// The alarm engine's state, shared by the files of the engine (alarm.cpp: the lists and
// the passes; alarm_thread.cpp: performing events). Not for use outside src/alarm.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "alarm/alarm.h"

// The event queue: a ring of kAlarmQueueCapacity events with one producer (the thread
// that runs the passes) and one consumer (the thread that performs), handed over
// through the two positions alone, so neither ever waits. The slots are made once;
// pushing copies a weak pointer and allocates nothing.
class AlarmQueue {
public:
    AlarmQueue() : slots_(new AlarmEvent[kAlarmQueueCapacity]) {}

    // Producer. False when full.
    bool push(const std::shared_ptr<Alarm>& alarm, int64_t time, TimeValue frame_time) {
        const size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == kAlarmQueueCapacity) return false;
        AlarmEvent& slot = slots_[tail % kAlarmQueueCapacity];
        slot.alarm = alarm;
        slot.time = time;
        slot.frame_time = frame_time;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }
    // Consumer. False when empty.
    bool pop(AlarmEvent* out) {
        const size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return false;
        *out = std::move(slots_[head % kAlarmQueueCapacity]);
        head_.store(head + 1, std::memory_order_release);
        return true;
    }
    [[nodiscard]] size_t count() const {
        return tail_.load(std::memory_order_acquire) - head_.load(std::memory_order_acquire);
    }
    // Neither side may run.
    void clear() {
        for (size_t i = 0; i < kAlarmQueueCapacity; ++i) slots_[i] = AlarmEvent{};
        head_.store(0);
        tail_.store(0);
    }

private:
    std::unique_ptr<AlarmEvent[]> slots_;
    alignas(64) std::atomic<size_t> head_{0};  // next to pop
    alignas(64) std::atomic<size_t> tail_{0};  // next to push
};

// A list handed from alarm_arm_all to the next bind pass.
struct AlarmHandOver {
    std::vector<std::shared_ptr<Alarm>> alarms;  // in file order
};

struct AlarmEngine {
    AlarmEngine();

    AlarmList list;     // the alarm list (main thread; replaced under `mutex`)
    std::mutex mutex;   // the "Alarm mutex": the top alarms list, the list's replacement
    TopList* top = nullptr;  // the top alarms list, under `mutex`

    // The thread that runs the passes owns these two.
    std::vector<std::shared_ptr<Alarm>> pending;
    std::vector<std::shared_ptr<Alarm>> armed;
    std::atomic<AlarmHandOver*> mailbox{nullptr};

    AlarmQueue queue;
    // The fired signal: a count of signals. The alarm thread remembers the count it has
    // seen (which clears the signal) and waits until it changes.
    std::atomic<uint32_t> fired{0};
    std::atomic<bool> overflowed{false};         // a firing found the queue full
    std::atomic<uint64_t> unperformed_total{0};  // every such firing
    std::atomic<int64_t (*)()> clock;

    // The alarm thread.
    AlarmActions actions;
    std::atomic<bool> stop{false};
    std::thread thread;
};

[[nodiscard]] AlarmEngine& alarm_engine();
// Sets the fired signal.
void alarm_signal(AlarmEngine& engine);
