#include "alarm/alarm.h"

namespace {

AlarmList& the_list() {
    static AlarmList list;
    return list;
}

}  // namespace

AlarmList& alarm_list() { return the_list(); }

void alarm_list_clear() { the_list() = AlarmList{}; }

std::shared_ptr<Alarm> alarm_new() { return std::make_shared<Alarm>(); }

void alarm_record_activation(Alarm* alarm, int64_t time) {
    if (!alarm || !alarm->activations) return;
    AlarmActivations& a = *alarm->activations;
    std::lock_guard lock(a.mutex);
    ++a.count;
    if (a.newest.size() == kActivationsKept) a.newest.pop_front();
    a.newest.push_back(AlarmActivation{alarm, time});
}

std::vector<AlarmActivation> alarm_activations(const Alarm& alarm, uint64_t* count) {
    std::vector<AlarmActivation> out;
    uint64_t n = 0;
    if (alarm.activations) {
        const AlarmActivations& a = *alarm.activations;
        std::lock_guard lock(a.mutex);
        out.assign(a.newest.begin(), a.newest.end());
        n = a.count;
    }
    if (count) *count = n;
    return out;
}
