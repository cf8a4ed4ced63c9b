// The Alarm Builder's engine: the working copy of the alarm list that the dialog
// (qt/alarm_builder.h) edits, what every control shows for the current alarm, the
// protocol list of the first combo box, the value conversions and the host lookups with
// their bounded wait. No Qt: the dialog forwards what the user does and shows `view()`.
//
// The working copy holds alarm_copy copies (activations shared with the engine's
// alarms). OK (`commit`) hands it to the engine (alarm_replace_list: under the Alarm
// mutex, the top alarms rebuilt, every alarm re-armed); Cancel drops it.
//
// Threads: window thread, except the name service replies, which run on the resolver
// thread and touch only a request record and the alarm's atomic references.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "alarm/alarm.h"

struct ProtocolNode;

inline constexpr int kBuilderTextMax = 80;  // notify, host, value, sound and command texts
inline constexpr char kNewAlarmNotify[] = "New Alarm";
inline constexpr char kUnresolvedText[] = "(unresolved)";
inline constexpr char kNotApplicable[] = "N/A";
// How long the dialog waits for the name service before it gives up on an answer: the
// name then stays unresolved (a later answer still fills the reference).
inline constexpr int kResolveWaitMs = 3000;

// One entry of the protocol combo box: two spaces per depth, then the node's label.
struct ProtocolEntry {
    std::string text;
    ProtocolNode* node = nullptr;
};
// The protocol list from `root`: the root first; in each child list the entries without
// children come first, in list order, then the entries with children in reverse list
// order, each followed by its own descendants. The last node of a list, when it has no
// children (the catch-all), never appears.
[[nodiscard]] std::vector<ProtocolEntry> calarm_protocol_list(ProtocolNode* root);
// The entry the text names, ignoring case and blanks around the text: the first whose
// label (indentation left out) equals it, else the first whose protocol name (as the
// alarm file writes it) equals it, else the first whose label starts with it. -1 when
// none does or the text is blank.
[[nodiscard]] int calarm_match_protocol(const std::vector<ProtocolEntry>& entries, const std::string& text);

// The value field read as the threshold: a decimal number (optional sign; what follows
// the digits is ignored; no digits gives 0), kept modulo 2^32, so a negative number is
// a huge unsigned threshold. With `bandwidth` a number below 0 or above 100 gives 0.
[[nodiscard]] uint32_t calarm_read_value(const std::string& text, bool bandwidth);
// True when the text is an Ethernet address: six groups of one or two hexadecimal
// digits joined by ':'. The six bytes go to `bytes` when it is not null.
[[nodiscard]] bool calarm_ether_text(const std::string& text, uint8_t* bytes);
// The local names, sorted by name: what the host combo boxes offer.
[[nodiscard]] std::vector<std::string> calarm_local_names();

// What one combo box shows.
struct ComboView {
    bool enabled = false;
    bool protocols = false;  // filled with the protocol list, else with the local names
    std::string text;        // its edit text
    int selected = -1;       // protocol list entry, or -1
};
// What every control shows for the current alarm.
struct BuilderView {
    bool has_alarm = false;
    int object_type = 0;
    int condition = kAlarmThreshold;
    int level = kLevelHigh;
    int unit = -1;  // the checked unit button, -1 none
    bool thresholds_enabled = false;  // "Threshold hi", "Threshold lo", the unit buttons
    bool value_enabled = false;
    bool value_read_only = true;
    std::string value_text;
    std::string first_caption, second_caption;
    ComboView first, second;
    bool play_wave = false, run_command = false;
    std::string wave_file, command;
};

// A question to the name service for one end of one alarm of the working copy. The reply
// (resolver thread) fills the end, unless a later question for the same end was asked,
// and marks the request answered.
struct BuilderRequest {
    std::weak_ptr<Alarm> alarm;
    int end = 1;
    uint64_t generation = 0;
    std::shared_ptr<std::atomic<uint64_t>> latest;  // the end's newest generation
    std::string text;
    std::mutex mutex;
    std::condition_variable answered_cv;
    bool answered = false;          // under mutex
    const NameEntry* answer = nullptr;  // under mutex
};

class AlarmBuilderModel {
public:
    // Copies `list` (alarm_copy); the protocol list comes from `root`. The first alarm,
    // if any, is current.
    AlarmBuilderModel(const AlarmList& list, ProtocolNode* root);

    [[nodiscard]] size_t size() const { return entries_.size(); }
    [[nodiscard]] int current() const { return current_; }
    [[nodiscard]] Alarm* alarm(size_t index) const;
    [[nodiscard]] Alarm* current_alarm() const;
    [[nodiscard]] const std::vector<ProtocolEntry>& protocols() const { return protocols_; }
    // The list's text and icon of alarm `index`.
    [[nodiscard]] std::string label(size_t index) const;
    [[nodiscard]] bool enabled(size_t index) const;

    [[nodiscard]] BuilderView view() const;

    void select(int index);  // out of range: none
    // "New": appended, current. Returns its index.
    int add_new();
    // "Delete": the alarm leaves the copy; the one after it (or before, at the end)
    // becomes current.
    void delete_at(int index);
    // Double click: toggles disabled.
    void toggle_disabled(int index);
    // The in-place label edit: the notify string becomes at most 80 characters of the
    // text (cut at a character boundary). Returns what was kept.
    std::string rename(int index, const std::string& text);

    // The object type buttons. Host or link for an alarm of another type makes it a
    // threshold alarm with level high (what the dialog then shows); protocol makes it
    // an occurrence alarm; network keeps the condition.
    void choose_object(int object_type);
    // "Occurrence" (kAlarmOccurrence), "Threshold hi" / "Threshold lo" (kAlarmThreshold
    // with the level).
    void choose_condition(int condition, int level);
    void choose_unit(int unit);
    // The value field lost the focus. Returns the text it now shows.
    std::string set_value_text(const std::string& text);
    void set_wave_file(const std::string& text);
    void set_command(const std::string& text);
    void toggle_play_wave();
    void toggle_run_command();
    // The protocol combo: an entry chosen, or the text typed (matched on focus lost).
    void choose_protocol(int entry);
    void set_protocol_text(const std::string& text);

    // A host combo lost the focus with `text` (end 1 or 2). Returns null when the end is
    // settled at once (a local name, a blank or unchanged text, or no Ethernet address:
    // `note` then says why); otherwise the question put to the name service, to wait for.
    std::shared_ptr<BuilderRequest> set_end_text(int end, const std::string& text, std::string* note);

    // OK: the copy becomes the engine's alarm list (alarm_replace_list). An end not typed
    // here that the name service had not answered when the copy was made takes the
    // answer its alarm has had since, or is asked again, so that no answer is lost to
    // the alarm being replaced.
    void commit();

private:
    struct Entry {
        std::shared_ptr<Alarm> alarm;
        int origin = -1;  // index in the list copied, -1 for a new alarm
        std::shared_ptr<Alarm> original;  // the alarm copied, whose answers may come late
        bool touched[2] = {false, false};  // the end was typed here
        std::shared_ptr<std::atomic<uint64_t>> latest[2];
    };
    // Asks the name service for an end, for `e`'s alarm; null when it cannot be asked.
    std::shared_ptr<BuilderRequest> ask(Entry& e, int end, const std::string& text, uint64_t generation);
    [[nodiscard]] std::string end_text(const Alarm& a, int end) const;

    AlarmList source_;  // url alarms, load status and loaded text, carried to the new list
    std::vector<Entry> entries_;
    std::vector<ProtocolEntry> protocols_;
    int current_ = -1;
};

// Waits for a request's answer on the calling thread for at most `wait_ms`, calling
// `idle` between short waits (the dialog repaints there). True when it was answered.
bool calarm_wait(BuilderRequest& request, int wait_ms, void (*idle)(void*) = nullptr, void* idle_data = nullptr);
// Whether a request has been answered (any thread).
[[nodiscard]] bool calarm_answered(BuilderRequest& request);
