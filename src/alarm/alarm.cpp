#include "alarm/alarm.h"

#include <ctime>

#include "alarm/engine_state.h"
#include "model/net.h"
#include "model/names/names.h"
#include "model/ring.h"
#include "model/runtime.h"
#include "protocol/pd.h"
#include "protocol/protocol.h"

AlarmEngine& alarm_engine() {
    static AlarmEngine e;
    return e;
}

// --- records ---

AlarmList& alarm_list() { return alarm_engine().list; }

void alarm_list_clear() { alarm_engine().list = AlarmList{}; }

std::shared_ptr<Alarm> alarm_new() { return std::make_shared<Alarm>(); }

std::shared_ptr<Alarm> alarm_copy(const Alarm& a) {
    auto c = alarm_new();
    c->object_type = a.object_type;
    c->condition = a.condition;
    c->first.store(a.first.load(std::memory_order_acquire), std::memory_order_relaxed);
    c->second.store(a.second.load(std::memory_order_acquire), std::memory_order_relaxed);
    c->protocol = a.protocol;
    c->threshold = a.threshold;
    c->level = a.level;
    c->unit = a.unit;
    c->notify = a.notify;
    c->disabled = a.disabled;
    c->wave_file = a.wave_file;
    c->play_wave = a.play_wave;
    c->command = a.command;
    c->run_command = a.run_command;
    c->activations = a.activations;
    c->first_written = a.first_written;
    c->second_written = a.second_written;
    return c;
}

void alarm_record_activation(Alarm* alarm, int64_t time) {
    if (!alarm || !alarm->activations) return;
    AlarmActivations& a = *alarm->activations;
    std::lock_guard lock(a.mutex);
    if (a.ring.size() < kActivationsKept) {
        if (a.ring.capacity() < kActivationsKept) a.ring.reserve(kActivationsKept);
        a.ring.push_back(AlarmActivation{alarm, time});
    } else {
        a.ring[a.next] = AlarmActivation{alarm, time};
        a.next = (a.next + 1) % kActivationsKept;
    }
    a.count.fetch_add(1, std::memory_order_relaxed);
}

std::vector<AlarmActivation> alarm_activations(const Alarm& alarm, uint64_t* count) {
    std::vector<AlarmActivation> out;
    uint64_t n = 0;
    if (alarm.activations) {
        const AlarmActivations& a = *alarm.activations;
        std::lock_guard lock(a.mutex);
        out.reserve(a.ring.size());
        // Oldest first: once the ring is full, the oldest is where the next one goes.
        for (size_t i = 0; i < a.ring.size(); ++i) out.push_back(a.ring[(a.next + i) % a.ring.size()]);
        n = a.count.load(std::memory_order_relaxed) + a.unperformed.load(std::memory_order_relaxed);
    }
    if (count) *count = n;
    return out;
}

uint64_t alarm_activation_count(const Alarm& alarm) {
    if (!alarm.activations) return 0;
    return alarm.activations->count.load(std::memory_order_relaxed) +
           alarm.activations->unperformed.load(std::memory_order_relaxed);
}

// --- the engine's lists ---

namespace {

// The program's wall clock (model/runtime.h), so that a clock fixed for the reports
// also dates the activations they list.
int64_t wall_clock() { return static_cast<int64_t>(runtime_now()); }

// Puts an alarm at the head of a list.
void push_head(std::vector<std::shared_ptr<Alarm>>* list, std::shared_ptr<Alarm> alarm) {
    list->insert(list->begin(), std::move(alarm));
}

// Takes a list handed over by alarm_arm_all, if there is one.
void adopt_handed_list(AlarmEngine& e) {
    std::unique_ptr<AlarmHandOver> handed(e.mailbox.exchange(nullptr, std::memory_order_acq_rel));
    if (!handed) return;
    e.armed.clear();
    e.pending.clear();
    e.pending.reserve(handed->alarms.size());
    for (auto& a : handed->alarms) push_head(&e.pending, std::move(a));
}

// The entry of a reference that names a station the traffic model can hold.
const NameEntry* station(const std::atomic<const NameEntry*>& reference) {
    const NameEntry* e = reference.load(std::memory_order_acquire);
    return e && e->address_known ? e : nullptr;
}

// Binds one pending alarm; true when it is ready to be armed.
bool bind(Alarm& a, const Network* network) {
    switch (a.object_type) {
        case kAlarmHost: {
            if (a.bound_host) return false;
            const NameEntry* first = station(a.first);
            if (!first) return false;
            a.bound_host = host_find(network, &first->address);
            return a.bound_host != nullptr;
        }
        case kAlarmLink: {
            if (a.bound_link) return false;
            const NameEntry* first = station(a.first);
            const NameEntry* second = station(a.second);
            if (!first || !second) return false;
            Host* source = host_find(network, &first->address);
            Host* destination = host_find(network, &second->address);
            if (!source || !destination) return false;
            a.bound_host = source;
            a.bound_peer = destination;
            a.bound_link = link_find(source, &second->address);
            return a.bound_link != nullptr;
        }
        case kAlarmProtocol: return a.protocol != nullptr;
        case kAlarmNetwork: return true;
        default: return false;  // no object: never armed
    }
}

// Whether an armed, enabled alarm's condition holds now. `span_us` is the span of frame
// time the full frame window covers (0: the window holds less than a second).
bool holds(Alarm& a, const Network* network, uint32_t span_us) {
    if (a.condition == kAlarmOccurrence) {
        switch (a.object_type) {
            case kAlarmHost: return a.bound_host && a.bound_host->display == 1;
            case kAlarmLink: return a.bound_link && a.bound_link->display == 1;
            case kAlarmProtocol: {
                if (!a.protocol) return false;
                const bool seen = pd_stat_frames(a.protocol) > 0;
                pd_stat_reset(&a.protocol->stats);
                return seen;
            }
            default: return false;  // a network occurrence alarm never fires
        }
    }
    uint64_t frames = 0, bytes = 0;
    switch (a.object_type) {
        case kAlarmHost:
            if (!a.bound_host) return false;
            frames = a.bound_host->frames_this_second;
            bytes = a.bound_host->bytes_this_second;
            break;
        case kAlarmLink:
            if (!a.bound_link) return false;
            frames = a.bound_link->frames_this_second;
            bytes = a.bound_link->bytes_this_second;
            break;
        case kAlarmNetwork:
            frames = network->frames_this_second;
            bytes = network->bytes_this_second;
            break;
        default: return false;  // a threshold protocol alarm never fires
    }
    return alarm_threshold_fires(a.level, a.unit, a.threshold, ring_scale_to_second(frames, span_us),
                                 ring_scale_to_second(bytes, span_us));
}

// Queues one event without signalling; false when the queue is full, and the firing is
// then counted among the alarm's unperformed ones.
bool enqueue(AlarmEngine& e, const std::shared_ptr<Alarm>& alarm, int64_t time, TimeValue frame_time) {
    if (e.queue.push(alarm, time, frame_time)) return true;
    if (alarm->activations) alarm->activations->unperformed.fetch_add(1, std::memory_order_relaxed);
    e.unperformed_total.fetch_add(1, std::memory_order_relaxed);
    e.overflowed.store(true, std::memory_order_relaxed);
    return false;
}

}  // namespace

void alarm_signal(AlarmEngine& e) {
    e.fired.fetch_add(1, std::memory_order_release);
    e.fired.notify_one();
}

void alarm_init() {
    AlarmEngine& e = alarm_engine();
    alarm_list_clear();
    delete e.mailbox.exchange(nullptr);
    e.pending.clear();
    e.armed.clear();
    e.queue.clear();
    e.fired.store(0);
    e.overflowed.store(false);
    e.unperformed_total.store(0);
    std::lock_guard lock(e.mutex);
    if (!e.top) e.top = alarm_topn();
    e.top->count = 0;
}

void alarm_arm_all() {
    AlarmEngine& e = alarm_engine();
    auto* handed = new AlarmHandOver;
    handed->alarms = e.list.alarms;
    delete e.mailbox.exchange(handed, std::memory_order_acq_rel);
}

void alarm_replace_list(AlarmList list) {
    AlarmEngine& e = alarm_engine();
    {
        std::lock_guard lock(e.mutex);
        for (const auto& a : e.list.alarms) a->retired = true;
        list.edited = true;
        e.list = std::move(list);
        e.top->count = 0;
        for (const auto& a : e.list.alarms) {
            a->top_alarms_place = -1;
            topn_offer(e.top, a.get());
        }
        alarm_arm_all();
    }
}

std::vector<std::shared_ptr<Alarm>> alarm_list_snapshot() {
    AlarmEngine& e = alarm_engine();
    std::lock_guard lock(e.mutex);
    return e.list.alarms;
}

uint64_t alarm_threshold_value(int unit, uint64_t frames, uint64_t bytes) {
    switch (unit) {
        case kUnitPkts: return frames;
        case kUnitBandwidth: return (frames * 192 + bytes * 8) * 100 / 10000000;
        default: return bytes;  // kbytes: compared with t x 1024
    }
}

bool alarm_threshold_fires(int level, int unit, uint32_t threshold, uint64_t frames, uint64_t bytes) {
    const uint64_t v = alarm_threshold_value(unit, frames, bytes);
    const uint64_t t = unit == kUnitKbytes ? uint64_t{threshold} * 1024 : uint64_t{threshold};
    return level == kLevelHigh ? v >= t : v < t;
}

void alarm_bind_pass(Network* network) {
    AlarmEngine& e = alarm_engine();
    adopt_handed_list(e);
    if (!network) return;
    for (size_t i = 0; i < e.pending.size();) {
        Alarm& a = *e.pending[i];
        if (a.disabled || !bind(a, network)) {
            ++i;
            continue;
        }
        std::shared_ptr<Alarm> moved = std::move(e.pending[i]);
        e.pending.erase(e.pending.begin() + static_cast<std::ptrdiff_t>(i));
        push_head(&e.armed, std::move(moved));
    }
}

void alarm_check_pass(Network* network) {
    AlarmEngine& e = alarm_engine();
    if (!network || e.armed.empty()) return;
    const uint32_t span = ring_full_span_us(network);
    const TimeValue frame_time = model_clock();
    int64_t now = 0;
    bool timed = false, queued = false;
    for (const auto& a : e.armed) {
        if (a->disabled || !holds(*a, network, span)) continue;
        if (!timed) now = e.clock.load(std::memory_order_relaxed)(), timed = true;
        queued = enqueue(e, a, now, frame_time) || queued;
    }
    // One signal for the pass: its firings are one batch for the alarm thread.
    if (queued) alarm_signal(e);
}

void alarm_pass(Network* network) {
    alarm_bind_pass(network);
    alarm_check_pass(network);
}

int alarm_fire(const std::shared_ptr<Alarm>& alarm) {
    if (!alarm) return -1;
    AlarmEngine& e = alarm_engine();
    const bool queued = enqueue(e, alarm, e.clock.load(std::memory_order_relaxed)(), model_clock());
    if (queued) alarm_signal(e);
    return queued ? 1 : 0;
}

void alarm_list_sizes(size_t* pending, size_t* armed) {
    const AlarmEngine& e = alarm_engine();
    if (pending) *pending = e.pending.size();
    if (armed) *armed = e.armed.size();
}

size_t alarm_queue_count() { return alarm_engine().queue.count(); }

uint64_t alarm_unperformed_total() { return alarm_engine().unperformed_total.load(std::memory_order_relaxed); }

void alarm_set_clock(int64_t (*clock)()) { alarm_engine().clock.store(clock ? clock : wall_clock); }

std::mutex& alarm_mutex() { return alarm_engine().mutex; }

TopList* alarm_top_alarms() { return alarm_engine().top; }

AlarmEngine::AlarmEngine() : clock(wall_clock), actions(alarm_default_actions()) {}
