#include "alarm/calarm.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <shared_mutex>

#include "base/netaddr.h"
#include "base/text.h"
#include "model/names/hostc.h"
#include "model/names/names.h"
#include "protocol/protocol.h"

namespace {

std::string cut(const std::string& text) {
    return text.substr(0, utf8_prefix(text.data(), text.size(), kBuilderTextMax));
}

std::string trimmed(const std::string& text) {
    const size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const size_t e = text.find_last_not_of(" \t");
    return text.substr(b, e - b + 1);
}

bool same_ignoring_case(const std::string& a, const std::string& b, size_t n) {
    if (a.size() < n || b.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

const char* node_label(const ProtocolNode* node) { return node->label[0] ? node->label : node->name; }

void visit(ProtocolNode* node, int depth, std::vector<ProtocolEntry>* out) {
    auto add = [&] { out->push_back(ProtocolEntry{std::string(2 * depth, ' ') + node_label(node), node}); };
    if (node->next) {
        if (!node->first_child) add();
        visit(node->next, depth, out);
    }
    if (node->first_child) {
        add();
        visit(node->first_child, depth + 1, out);
    }
}

// Runs on the resolver thread: fills the end unless a later question for it was asked.
void builder_reply(const NameEntry* answer, void* user_data, void*) {
    std::unique_ptr<std::shared_ptr<BuilderRequest>> holder(static_cast<std::shared_ptr<BuilderRequest>*>(user_data));
    if (!holder || !*holder) return;
    BuilderRequest& r = **holder;
    if (const std::shared_ptr<Alarm> alarm = r.alarm.lock())
        if (answer && r.latest->load(std::memory_order_acquire) == r.generation)
            (r.end == 1 ? alarm->first : alarm->second).store(answer, std::memory_order_release);
    {
        std::lock_guard lock(r.mutex);
        r.answered = true;
        r.answer = answer;
    }
    r.answered_cv.notify_all();
}

}  // namespace

std::vector<ProtocolEntry> calarm_protocol_list(ProtocolNode* root) {
    std::vector<ProtocolEntry> out;
    if (root) visit(root, 0, &out);
    return out;
}

int calarm_match_protocol(const std::vector<ProtocolEntry>& entries, const std::string& text) {
    const std::string t = trimmed(text);
    if (t.empty()) return -1;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string label = trimmed(entries[i].text);
        if (label.size() == t.size() && same_ignoring_case(label, t, t.size())) return static_cast<int>(i);
    }
    for (size_t i = 0; i < entries.size(); ++i) {  // the name the alarm file knows it by
        const std::string name = entries[i].node->name;
        if (name.size() == t.size() && same_ignoring_case(name, t, t.size())) return static_cast<int>(i);
    }
    for (size_t i = 0; i < entries.size(); ++i)
        if (same_ignoring_case(trimmed(entries[i].text), t, t.size())) return static_cast<int>(i);
    return -1;
}

uint32_t calarm_read_value(const std::string& text, bool bandwidth) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    uint32_t magnitude = 0;  // modulo 2^32, as the alarm file reads numbers
    bool big = false;        // beyond 100, for the bandwidth check
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        magnitude = magnitude * 10 + static_cast<uint32_t>(text[i] - '0');
        if (magnitude > 100) big = true;
    }
    if (bandwidth && (big || (negative && magnitude != 0))) return 0;
    return negative ? 0u - magnitude : magnitude;
}

bool calarm_ether_text(const std::string& text, uint8_t* bytes) {
    uint8_t b[6] = {};
    size_t i = 0;
    for (int group = 0; group < 6; ++group) {
        if (group > 0) {
            if (i >= text.size() || text[i] != ':') return false;
            ++i;
        }
        int digits = 0, value = 0;
        for (; i < text.size() && digits < 3 && std::isxdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
            value = value * 16 + (c <= '9' ? c - '0' : c - 'a' + 10);
        }
        if (digits < 1 || digits > 2) return false;
        b[group] = static_cast<uint8_t>(value);
    }
    if (i != text.size()) return false;
    if (bytes) std::memcpy(bytes, b, 6);
    return true;
}

std::vector<std::string> calarm_local_names() {
    std::vector<std::string> names;
    {
        std::shared_lock lock(names_lock());
        hashtable_foreach(local_names_by_text(), [&](void* key, void*) { names.emplace_back(static_cast<const char*>(key)); });
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool calarm_wait(BuilderRequest& r, int wait_ms, void (*idle)(void*), void* idle_data) {
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(wait_ms);
    std::unique_lock lock(r.mutex);
    while (!r.answered) {
        const auto now = clock::now();
        if (now >= deadline) return false;
        r.answered_cv.wait_for(lock, std::min<clock::duration>(deadline - now, std::chrono::milliseconds(50)));
        if (idle && !r.answered) {
            lock.unlock();
            idle(idle_data);
            lock.lock();
        }
    }
    return true;
}

bool calarm_answered(BuilderRequest& r) {
    std::lock_guard lock(r.mutex);
    return r.answered;
}

// --- the working copy ---

AlarmBuilderModel::AlarmBuilderModel(const AlarmList& list, ProtocolNode* root)
    : protocols_(calarm_protocol_list(root)) {
    source_.url_alarms = list.url_alarms;
    source_.parse_status = list.parse_status;
    source_.error_line = list.error_line;
    source_.loaded_text = list.loaded_text;
    for (size_t i = 0; i < list.alarms.size(); ++i) {
        Entry e;
        e.alarm = alarm_copy(*list.alarms[i]);
        e.origin = static_cast<int>(i);
        e.original = list.alarms[i];
        e.latest[0] = std::make_shared<std::atomic<uint64_t>>(0);
        e.latest[1] = std::make_shared<std::atomic<uint64_t>>(0);
        entries_.push_back(std::move(e));
    }
    current_ = entries_.empty() ? -1 : 0;
}

Alarm* AlarmBuilderModel::alarm(size_t index) const {
    return index < entries_.size() ? entries_[index].alarm.get() : nullptr;
}

Alarm* AlarmBuilderModel::current_alarm() const { return current_ < 0 ? nullptr : alarm(static_cast<size_t>(current_)); }

std::string AlarmBuilderModel::label(size_t index) const {
    const Alarm* a = alarm(index);
    return a ? a->notify : std::string();
}

bool AlarmBuilderModel::enabled(size_t index) const {
    const Alarm* a = alarm(index);
    return a && !a->disabled;
}

std::string AlarmBuilderModel::end_text(const Alarm& a, int end) const {
    const NameEntry* e = (end == 1 ? a.first : a.second).load(std::memory_order_acquire);
    const AlarmAddress& w = end == 1 ? a.first_written : a.second_written;
    if (!e && w.form == kWrittenEther) {  // an address needs no name to be shown
        char buf[20];
        std::snprintf(buf, sizeof buf, "%02X:%02X:%02X:%02X:%02X:%02X", w.bytes[0], w.bytes[1], w.bytes[2], w.bytes[3],
                      w.bytes[4], w.bytes[5]);
        return buf;
    }
    if (!e) return kUnresolvedText;
    if (e->name && e->name[0]) return e->name;
    char buf[64];
    netaddr_format(&e->address, buf, sizeof buf);
    return buf;
}

BuilderView AlarmBuilderModel::view() const {
    BuilderView v;
    const Alarm* a = current_alarm();
    if (!a) return v;
    v.has_alarm = true;
    v.object_type = a->object_type;
    v.condition = a->condition;
    v.level = a->level;
    v.first.text = v.second.text = kNotApplicable;
    v.thresholds_enabled = v.value_enabled = true;
    switch (a->object_type) {
    case kAlarmHost:
        v.first = ComboView{true, false, end_text(*a, 1), -1};
        v.first_caption = "Name/Address";
        break;
    case kAlarmLink:
        v.first = ComboView{true, false, end_text(*a, 1), -1};
        v.second = ComboView{true, false, end_text(*a, 2), -1};
        v.first_caption = "Source";
        v.second_caption = "Destination";
        break;
    case kAlarmProtocol: {
        v.first = ComboView{true, true, a->protocol ? node_label(a->protocol) : "", -1};
        for (size_t i = 0; i < protocols_.size(); ++i)
            if (protocols_[i].node == a->protocol) v.first.selected = static_cast<int>(i);
        v.first_caption = "Protocol";
        v.thresholds_enabled = v.value_enabled = false;
        break;
    }
    default: break;  // network: no objects
    }
    if (a->condition == kAlarmOccurrence) {
        v.value_text = kNotApplicable;
    } else {
        v.value_text = std::to_string(a->threshold);
        v.unit = a->unit;
        v.value_read_only = a->object_type == kAlarmProtocol;
    }
    v.play_wave = a->play_wave;
    v.run_command = a->run_command;
    v.wave_file = a->wave_file;
    v.command = a->command;
    return v;
}

void AlarmBuilderModel::select(int index) {
    current_ = index >= 0 && static_cast<size_t>(index) < entries_.size() ? index : -1;
}

int AlarmBuilderModel::add_new() {
    Entry e;
    e.alarm = alarm_new();
    Alarm& a = *e.alarm;
    a.notify = kNewAlarmNotify;
    a.object_type = kAlarmNetwork;
    a.condition = kAlarmThreshold;
    a.level = kLevelLow;
    a.unit = kUnitKbytes;
    a.threshold = 0;
    a.disabled = 1;
    e.latest[0] = std::make_shared<std::atomic<uint64_t>>(0);
    e.latest[1] = std::make_shared<std::atomic<uint64_t>>(0);
    entries_.push_back(std::move(e));
    current_ = static_cast<int>(entries_.size()) - 1;
    return current_;
}

void AlarmBuilderModel::delete_at(int index) {
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) return;
    entries_.erase(entries_.begin() + index);
    if (entries_.empty()) current_ = -1;
    else current_ = std::min(index, static_cast<int>(entries_.size()) - 1);
}

void AlarmBuilderModel::toggle_disabled(int index) {
    if (Alarm* a = alarm(static_cast<size_t>(index)))  // negative: out of range
        a->disabled = a->disabled ? 0 : 1;
}

std::string AlarmBuilderModel::rename(int index, const std::string& text) {
    Alarm* a = alarm(static_cast<size_t>(index));  // negative: out of range
    if (!a) return {};
    a->notify = cut(text);
    return a->notify;
}

void AlarmBuilderModel::choose_object(int object_type) {
    Alarm* a = current_alarm();
    if (!a || a->object_type == object_type) return;
    const bool station = a->object_type == kAlarmHost || a->object_type == kAlarmLink;
    a->object_type = object_type;
    switch (object_type) {
    case kAlarmHost:
    case kAlarmLink:
        // The dialog checks "Threshold hi" for a host or link: the alarm becomes what it
        // shows. Between host and link the condition stays: both may be occurrences.
        if (station) break;
        a->condition = kAlarmThreshold;
        a->level = kLevelHigh;
        break;
    case kAlarmProtocol: a->condition = kAlarmOccurrence; break;
    default: break;
    }
}

void AlarmBuilderModel::choose_condition(int condition, int level) {
    Alarm* a = current_alarm();
    if (!a) return;
    if (a->object_type == kAlarmProtocol && condition != kAlarmOccurrence) return;  // disabled buttons
    a->condition = condition == kAlarmOccurrence ? kAlarmOccurrence : kAlarmThreshold;
    if (a->condition == kAlarmThreshold) a->level = level == kLevelLow ? kLevelLow : kLevelHigh;
}

void AlarmBuilderModel::choose_unit(int unit) {
    Alarm* a = current_alarm();
    if (!a || a->object_type == kAlarmProtocol) return;
    if (unit == kUnitPkts || unit == kUnitKbytes || unit == kUnitBandwidth) a->unit = unit;
}

std::string AlarmBuilderModel::set_value_text(const std::string& text) {
    Alarm* a = current_alarm();
    // A read-only field ("N/A" of an occurrence alarm) changes nothing.
    if (!a || view().value_read_only) return view().value_text;
    a->threshold = calarm_read_value(cut(text), a->unit == kUnitBandwidth);
    return std::to_string(a->threshold);
}

void AlarmBuilderModel::set_wave_file(const std::string& text) {
    if (Alarm* a = current_alarm()) a->wave_file = cut(text);
}

void AlarmBuilderModel::set_command(const std::string& text) {
    if (Alarm* a = current_alarm()) a->command = cut(text);
}

void AlarmBuilderModel::toggle_play_wave() {
    if (Alarm* a = current_alarm()) a->play_wave = !a->play_wave;
}

void AlarmBuilderModel::toggle_run_command() {
    if (Alarm* a = current_alarm()) a->run_command = !a->run_command;
}

void AlarmBuilderModel::choose_protocol(int entry) {
    Alarm* a = current_alarm();
    if (!a || a->object_type != kAlarmProtocol) return;
    if (entry >= 0 && static_cast<size_t>(entry) < protocols_.size()) a->protocol = protocols_[entry].node;
}

void AlarmBuilderModel::set_protocol_text(const std::string& text) {
    Alarm* a = current_alarm();
    if (!a || a->object_type != kAlarmProtocol) return;
    const int i = calarm_match_protocol(protocols_, cut(text));
    a->protocol = i < 0 ? nullptr : protocols_[i].node;
}

std::shared_ptr<BuilderRequest> AlarmBuilderModel::set_end_text(int end, const std::string& text, std::string* note) {
    if (note) note->clear();
    if (current_ < 0 || (end != 1 && end != 2)) return nullptr;
    Entry& e = entries_[current_];
    Alarm& a = *e.alarm;
    if (a.object_type != kAlarmHost && a.object_type != kAlarmLink) return nullptr;
    if (end == 2 && a.object_type != kAlarmLink) return nullptr;
    const std::string t = trimmed(cut(text));
    if (t == end_text(a, end) || t == kNotApplicable) return nullptr;  // nothing typed

    std::atomic<const NameEntry*>& reference = end == 1 ? a.first : a.second;
    AlarmAddress& written = end == 1 ? a.first_written : a.second_written;
    e.touched[end - 1] = true;
    const uint64_t generation = e.latest[end - 1]->fetch_add(1) + 1;  // an older answer fills nothing now
    reference.store(nullptr, std::memory_order_release);
    written = AlarmAddress{};
    if (t.empty()) return nullptr;

    uint8_t bytes[6];
    const NameEntry* found = nullptr;
    if (t.find(':') != std::string::npos) {
        if (!calarm_ether_text(t, bytes)) {
            written.form = kWrittenName;  // kept as typed; such an alarm never fires
            written.name = t;
            if (note) *note = "\"" + t + "\" is not an Ethernet address: it stays unresolved";
            return nullptr;
        }
        written.form = kWrittenEther;
        std::memcpy(written.bytes, bytes, 6);
        found = local_name_lookup_text(t.c_str());
    } else {
        written.form = kWrittenName;
        written.name = t;
        found = local_name_lookup_text(t.c_str());
        if (!found) found = hostc_find_name(t.c_str());
    }
    if (found) {
        reference.store(found, std::memory_order_release);
        return nullptr;
    }
    std::shared_ptr<BuilderRequest> request = ask(e, end, t, generation);
    if (!request && note) *note = "The name service cannot take the question: \"" + t + "\" stays unresolved";
    return request;
}

std::shared_ptr<BuilderRequest> AlarmBuilderModel::ask(Entry& e, int end, const std::string& text, uint64_t generation) {
    auto request = std::make_shared<BuilderRequest>();
    request->alarm = e.alarm;
    request->end = end;
    request->generation = generation;
    request->latest = e.latest[end - 1];
    request->text = text;
    auto* holder = new std::shared_ptr<BuilderRequest>(request);
    if (hostc_request_text(text.c_str(), builder_reply, holder, nullptr) != 1) {
        delete holder;
        return nullptr;
    }
    return request;
}

void AlarmBuilderModel::commit() {
    AlarmList list;
    list.parse_status = source_.parse_status;
    list.error_line = source_.error_line;
    list.loaded_text = source_.loaded_text;
    for (Entry& e : entries_) {
        for (int end = 1; end <= 2 && e.original; ++end) {
            std::atomic<const NameEntry*>& reference = end == 1 ? e.alarm->first : e.alarm->second;
            if (e.touched[end - 1] || reference.load(std::memory_order_acquire)) continue;
            if (const NameEntry* late = (end == 1 ? e.original->first : e.original->second).load(std::memory_order_acquire)) {
                reference.store(late, std::memory_order_release);
                continue;
            }
            const AlarmAddress& w = end == 1 ? e.alarm->first_written : e.alarm->second_written;
            const bool station = e.alarm->object_type == kAlarmHost || e.alarm->object_type == kAlarmLink;
            if (!station || (end == 2 && e.alarm->object_type != kAlarmLink)) continue;
            if (w.form == kWrittenName && w.name.find(':') == std::string::npos)
                (void)ask(e, end, w.name, e.latest[end - 1]->load());
            else if (w.form == kWrittenEther)
                (void)ask(e, end, end_text(*e.alarm, end), e.latest[end - 1]->load());
        }
        list.alarms.push_back(e.alarm);
    }
    // A URL alarm keeps its place after the alarms that came before it and are still here.
    for (UrlAlarm url : source_.url_alarms) {
        size_t before = 0;
        for (const Entry& e : entries_)
            if (e.origin >= 0 && static_cast<size_t>(e.origin) < url.before) ++before;
        url.before = before;
        list.url_alarms.push_back(std::move(url));
    }
    alarm_replace_list(std::move(list));
}
