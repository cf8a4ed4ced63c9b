// Alarms: the records that the alarm file loads into (adl.h), and the alarm engine
// that binds them to the traffic model, checks them after every capture pass and
// performs their firings on the alarm thread; the output window (qt/), the Alarm
// Builder and the alarm report show them.
//
// Ownership and lifetime: the alarm list owns its alarms through shared pointers, so an
// alarm stays valid for whoever still holds it (a name service reply in flight holds a
// weak pointer and fills nothing once the alarm is gone; so does a queued firing). The
// engine's pending and armed lists hold the alarms they check; the top alarms list
// refers to alarms of the current list only.
//
// Threads and locks:
//   - The thread that runs the capture passes (the capture-and-draw thread; the replay
//     tool's only thread) owns the pending and armed lists and the bindings. It never
//     waits: the Alarm Builder hands it a new list through a one-slot mailbox that the
//     next bind pass takes, and firings go into a bounded queue without a lock.
//   - The alarm thread takes the firings off the queue and performs them. The "Alarm
//     mutex" (alarm_mutex()) guards the top alarms list and the replacement of the
//     alarm list; it is never taken by the capture thread.
//   - An alarm's two references are filled by name service replies on the resolver
//     thread and read by the bind pass and the writer, hence atomic. The activations are
//     appended by the alarm thread and read by the report writers, under their own lock.
//     The other fields are set when the alarm is made (start-up, or the Alarm Builder on
//     its working copy) and only read afterwards, but for the bindings (capture thread)
//     and the top alarms place (under the Alarm mutex).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/timer.h"

struct Host;
struct Link;
struct Network;
struct NameEntry;
struct ProtocolNode;
struct TopList;
struct Alarm;

// Object types.
inline constexpr int kAlarmHost = 1;
inline constexpr int kAlarmLink = 2;
inline constexpr int kAlarmProtocol = 3;
inline constexpr int kAlarmNetwork = 4;
// Conditions.
inline constexpr int kAlarmOccurrence = 0;
inline constexpr int kAlarmThreshold = 1;
// Levels: high fires at or above the threshold, low below it.
inline constexpr int kLevelHigh = 0;
inline constexpr int kLevelLow = 1;
// Units: frames a second, kilobytes (1024 bytes) a second, percent of 10 Mbit/s.
inline constexpr int kUnitPkts = 0;
inline constexpr int kUnitKbytes = 1;
inline constexpr int kUnitBandwidth = 2;

// How one end of a host, link or network alarm was written. An end keeps it so that
// the writer can give it back as written while the name service has not answered it
// (or cannot: a name nobody knows, an IP address).
inline constexpr int kWrittenNone = 0;   // no address at all: written "<host unknown>"
inline constexpr int kWrittenEther = 1;  // an Ethernet address: bytes[0..5]
inline constexpr int kWrittenIp = 2;     // an IP address: bytes[0..3]
inline constexpr int kWrittenName = 3;   // a host name: name
struct AlarmAddress {
    int form = kWrittenNone;
    uint8_t bytes[6] = {};
    std::string name;
};

// One firing: the alarm and the wall-clock time in whole seconds since 1970. The
// alarm pointer names the alarm that fired; it is not followed once the Alarm Builder
// has replaced the list (its copies share the activations).
struct AlarmActivation {
    const Alarm* alarm = nullptr;
    int64_t time = 0;
};

// The activations of one alarm. An alarm that holds fires on every capture pass, so
// only the newest kActivationsKept times are kept, in a ring; `count` counts every
// activation recorded, and `unperformed` every firing that the event queue had no room
// for (counted, never performed), so that the two together are every firing.
inline constexpr size_t kActivationsKept = 1000;
struct AlarmActivations {
    mutable std::mutex mutex;                // guards `ring` and `next`
    std::atomic<uint64_t> count{0};          // written under the mutex, read anywhere
    std::atomic<uint64_t> unperformed{0};    // added to by the capture thread
    std::vector<AlarmActivation> ring;       // up to kActivationsKept, reserved on first use
    size_t next = 0;                         // where the next one goes once the ring is full
};
struct Alarm {
    int object_type = 0;                        // kAlarmHost .. kAlarmNetwork
    int condition = 0;                          // kAlarmOccurrence or kAlarmThreshold
    std::atomic<const NameEntry*> first{nullptr};   // the host, or the link's source
    std::atomic<const NameEntry*> second{nullptr};  // the link's destination
    Host* bound_host = nullptr;                 // set by the engine's bind pass
    Host* bound_peer = nullptr;                 // the link's destination host
    Link* bound_link = nullptr;
    ProtocolNode* protocol = nullptr;           // protocol alarms
    uint32_t threshold = 0;                     // in the unit below
    int level = kLevelLow;
    int unit = kUnitKbytes;
    std::string notify;                         // the notify string; empty when none
    int disabled = 1;                           // 1 OFF, 0 ON
    std::string wave_file;                      // sound to play; empty when none
    bool play_wave = false;
    std::string command;                        // command line to start; empty when none
    bool run_command = false;
    // Shared with the Alarm Builder's copy of the alarm.
    std::shared_ptr<AlarmActivations> activations = std::make_shared<AlarmActivations>();
    int top_alarms_place = -1;                  // index in the top alarms list, or -1
    AlarmAddress first_written;                 // the ends as written in the file
    AlarmAddress second_written;
    // Set, under the Alarm mutex, when the Alarm Builder's list has replaced the one
    // that held this alarm: its queued firings are still shown, but it is no longer
    // ranked.
    bool retired = false;
    int command_pid = 0;                        // the command it started, while that runs (alarm thread)
};

// An occurrence alarm with the keyword "URL". It builds no alarm and never fires; the
// list keeps it only so that the file written back still holds it.
struct UrlAlarm {
    std::string url;
    std::string notify;
    int disabled = 1;
    size_t before = 0;  // the number of alarms that came before it in the file
};

// Load status of an alarm list (AlarmList::parse_status).
inline constexpr int kAdlWhole = 1;       // read to its end (or nothing read yet)
inline constexpr int kAdlStopped = 0;     // stopped at a syntax error
inline constexpr int kAdlUnreadable = -1;  // could not be opened

struct AlarmList {
    std::vector<std::shared_ptr<Alarm>> alarms;  // in file order
    std::vector<UrlAlarm> url_alarms;            // in file order
    int parse_status = kAdlWhole;
    int error_line = 0;      // line of the syntax error, when stopped
    bool edited = false;     // set when the Alarm Builder replaced the alarms
    std::string loaded_text;  // what the writer gave for the alarms right after loading
};

// The engine's alarm list (created empty on first use).
[[nodiscard]] AlarmList& alarm_list();
// Makes the engine's list a new, empty one.
void alarm_list_clear();

// A new alarm with the defaults of every new alarm: level low, unit kbytes, OFF, no
// references, an empty list of activations, not in the top alarms list.
[[nodiscard]] std::shared_ptr<Alarm> alarm_new();
// The Alarm Builder's working copy of an alarm: its object type, condition, references,
// protocol, threshold, level, unit, notify string, state, sound and command with their
// flags and the ends as written, and the same activations (shared, not copied); no
// bindings, not in the top alarms list.
[[nodiscard]] std::shared_ptr<Alarm> alarm_copy(const Alarm& alarm);

// Records one activation of `alarm` at `time` (seconds since 1970): counts it and keeps
// it among the newest. Thread-safe.
void alarm_record_activation(Alarm* alarm, int64_t time);
// A copy of the kept activations, oldest first, and the count of every firing
// (performed or not). Thread-safe.
[[nodiscard]] std::vector<AlarmActivation> alarm_activations(const Alarm& alarm, uint64_t* count);
// The count of every firing of the alarm: activations recorded and firings the queue
// had no room for. Thread-safe, lock-free (the top alarms list's key).
[[nodiscard]] uint64_t alarm_activation_count(const Alarm& alarm);

// ---------------------------------------------------------------------------------------
// The engine.

// Resets the engine: a new, empty alarm list, empty pending and armed lists, an empty
// event queue, the fired signal clear, no top alarms. Called at start-up before the
// alarm file is read, and by tests; never while the alarm thread runs.
void alarm_init();

// Hands every alarm of the alarm list to the thread that runs the passes: its next bind
// pass drops the pending and armed lists and puts every alarm at the head of the pending
// list (so the pending list runs in reverse file order). Called after adl_parse at
// start-up and after the Alarm Builder's OK. Never waits.
void alarm_arm_all();

// The Alarm Builder's OK: `list` becomes the alarm list (marked edited), under the Alarm
// mutex; the old alarms are retired, the top alarms list is emptied and offered every
// new alarm, and every alarm is armed (alarm_arm_all). Main thread.
void alarm_replace_list(AlarmList list);
// The alarms of the alarm list, as shared pointers taken under the Alarm mutex: what
// another thread (a report) reads.
[[nodiscard]] std::vector<std::shared_ptr<Alarm>> alarm_list_snapshot();

// The bind pass: takes a list handed over by alarm_arm_all, then binds the pending
// alarms whose objects exist in `network` and moves them to the armed list. Nothing is
// bound without a network; disabled alarms stay pending. Capture thread, after the
// dispatch, with the model lock held.
void alarm_bind_pass(Network* network);
// The check pass: every enabled armed alarm whose condition holds fires (one event each,
// with the wall-clock time and the model clock of this pass). Thresholds compare with
// the rates a second of the frame window (model/ring.h: scaled to a second when the
// window is full before a second has passed). Protocol occurrence alarms reset their
// protocol's counters. Capture thread, after the bind pass.
void alarm_check_pass(Network* network);
// Both passes, in order: the capture pass's alarm step (model/netif.h CaptureHooks).
void alarm_pass(Network* network);
// The lengths of the pending and armed lists (the thread that runs the passes).
void alarm_list_sizes(size_t* pending, size_t* armed);

// The value an alarm's threshold is compared with, in the alarm's unit, from the frames
// and bytes of one second: frames (pkts), bytes (kbytes; the threshold is then
// t x 1024), or ((frames x 192 + bytes x 8) x 100) / 10 000 000 (bandwidth: percent of
// 10 Mbit/s, 192 bits of preamble, check sequence and gap a frame). 64-bit throughout.
[[nodiscard]] uint64_t alarm_threshold_value(int unit, uint64_t frames, uint64_t bytes);
// Whether a threshold alarm of this level, unit and threshold fires on these frames and
// bytes of one second: high at or above, low below.
[[nodiscard]] bool alarm_threshold_fires(int level, int unit, uint32_t threshold, uint64_t frames, uint64_t bytes);

// A firing, as the event queue holds it.
struct AlarmEvent {
    std::weak_ptr<Alarm> alarm;  // gone: the event is dropped
    int64_t time = 0;            // wall clock, seconds since 1970
    TimeValue frame_time;        // the model clock of the pass that fired it
};
inline constexpr size_t kAlarmQueueCapacity = 4096;

// Queues an event for `alarm` and sets the fired signal. Returns 1 when queued, 0 when
// the queue was full (the firing is then counted among the alarm's unperformed ones),
// -1 for no alarm. Never waits. Only the thread that runs the passes fires.
[[nodiscard]] int alarm_fire(const std::shared_ptr<Alarm>& alarm);
// Events waiting in the queue. Any thread.
[[nodiscard]] size_t alarm_queue_count();
// Every firing that found the queue full since alarm_init. Any thread.
[[nodiscard]] uint64_t alarm_unperformed_total();

// The wall clock of firings (seconds since 1970); tests put a clock of their own.
void alarm_set_clock(int64_t (*clock)());

// What performing an event does beyond the activation record and the top alarms list.
// Every entry may be empty. Set before the alarm thread starts; called on the thread
// that performs (the alarm thread, or the replay tool's).
struct AlarmActions {
    std::function<void()> beep;                                   // the system beep, once a batch
    std::function<void(const Alarm&, const AlarmEvent&)> output;  // a line in the output window
    std::function<void(const std::string& path)> play_wave;       // start a sound, cutting off one playing
    std::function<void(Alarm& alarm)> run_command;                // start the alarm's command
};
void alarm_set_actions(AlarmActions actions);
// The actions of a program without windows: the command starts (alarm_start_command),
// nothing else happens.
[[nodiscard]] AlarmActions alarm_default_actions();

// Performs the queued events, oldest first, on the calling thread, at most `limit` of
// them: for each whose alarm still exists, the output line, the activation, the sound
// when it plays one, the command when it runs one, and its place in the top alarms list
// (under the Alarm mutex). Returns the number performed. The alarm thread's work; the
// replay tool calls it after each pass instead.
size_t alarm_perform_queued(size_t limit = SIZE_MAX);

// The alarm thread: waits for the fired signal; on each wake one beep, then the events
// queued at that moment performed (one batch: a pass's firings). The signal is cleared
// before the batch is performed, so an event queued meanwhile wakes the thread again at
// once instead of waiting for a later firing. Returns after alarm_stop.
void alarm_thread();
// Starts alarm_thread on a thread of its own (once).
void alarm_thread_start();
// Ends the alarm thread after the batch it is performing, and joins it.
void alarm_stop();

// The "Alarm mutex": held while the top alarms list or the alarm list changes. The Top
// Alarms window holds it while it re-sorts and exports the list.
[[nodiscard]] std::mutex& alarm_mutex();
// A new, empty top alarms list with the alarm accessors: key the activation count,
// place the alarm's top alarms place, label the notify string.
[[nodiscard]] TopList* alarm_topn();
// The engine's top alarms list (one for every network: an alarm's activations are
// counted across adapters). Created by alarm_init; read under the Alarm mutex. Every
// network's `top_alarms` points to it once the alarm thread has started (a network made
// later, once it has seen a firing).
[[nodiscard]] TopList* alarm_top_alarms();

// Starts the alarm's command line as a new process without a shell (the words of
// alarm_command_words, the first one looked up in PATH), without waiting for it. While
// a command the alarm started still runs, a firing starts no other: an alarm that holds
// fires on every capture pass, and one process a pass would flood the system. Alarm
// thread. Returns 1 when started, 0 when one still runs, -1 when it cannot start.
int alarm_start_command(Alarm& alarm);
// A command line split into words: blanks separate words; double or single quotes
// group blanks into a word and are taken out; nothing else is special (a backslash is
// a character of the word, as in a Windows path).
[[nodiscard]] std::vector<std::string> alarm_command_words(const std::string& command);
