// Alarms: the records that the alarm file loads into (adl.h), that the alarm engine
// binds to the traffic model and checks after every capture pass, and that the alarm
// output window, the Alarm Builder and the alarm report show.
//
// Ownership and lifetime: the alarm list owns its alarms through shared pointers, so an
// alarm stays valid for whoever still holds it (a name service reply in flight holds a
// weak pointer and fills nothing once the alarm is gone). The engine's pending and armed
// lists and the top alarms list refer to alarms of the current list only.
//
// Threads: an alarm's two references are filled by name service replies on the
// resolver thread and read by the capture thread's bind pass and by the writer, hence
// atomic. The activations are appended by the alarm thread and read by the report
// writers, under the activations' own lock. The other fields are set when the alarm is
// made (start-up, or the Alarm Builder on its working copy) and only read afterwards.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct Host;
struct Link;
struct NameEntry;
struct ProtocolNode;
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
// only the newest kActivationsKept times are kept; `count` counts every firing.
inline constexpr size_t kActivationsKept = 1000;
struct AlarmActivations {
    mutable std::mutex mutex;
    uint64_t count = 0;                  // every activation recorded
    std::deque<AlarmActivation> newest;  // the newest ones, oldest first
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

// Records one activation of `alarm` at `time` (seconds since 1970): counts it and keeps
// it among the newest. Thread-safe.
void alarm_record_activation(Alarm* alarm, int64_t time);
// A copy of the kept activations, oldest first, and the count of all of them.
// Thread-safe.
[[nodiscard]] std::vector<AlarmActivation> alarm_activations(const Alarm& alarm, uint64_t* count);
