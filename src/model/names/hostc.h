// The name service: turns the host names and addresses written in alarms into
// NameEntry records, so that the alarm engine can bind each alarm to a Host by its
// Ethernet address. Requests are queued and answered on the resolver thread
// (hostc_resolve), which calls the requester's reply function with the answer. Answers
// come from the local names (names.h) and from the system resolver.
//
// Request kinds: 0 by name, 1 by address through the system resolver, 2 by Ethernet
// address in the local names. A HostRef not yet given a kind has kind 3.
//
// What each kind answers and where the answer is filed:
//   0  a name: an entry of the resolver names table; otherwise the system resolver's
//      host lookup. Its answer makes an entry named by the answer's official name,
//      filed in the resolver names under that name, every alias and the requested
//      name. The entry's Ethernet address is the one the system's neighbour table
//      (ARP cache) holds for one of the answer's Internet addresses, so the alarm
//      binds to that station; when the table holds none, address_known is false, the
//      address stays zero and the entry binds to no host. Entries with a known
//      station are also filed in the resolver addresses. A name the resolver cannot
//      answer gives a null answer; the same name asked again right after is not given
//      to the resolver again (only the most recent failure is remembered).
//   1  an address: when it is an Ethernet address (the only type defined) it is
//      answered as kind 2, because the system resolver cannot look up a hardware
//      address. Addresses of types 1 and 2 (Internet addresses, not defined by this
//      program) are given to the system resolver's address lookup; an address it
//      cannot answer gives an entry named by the address's text.
//   2  an Ethernet address: the local names entry; otherwise a new entry named by the
//      address's text ("00:A0:C9:14:C8:29"), filed in the local names so that the
//      next request is answered from them. Never asks the system resolver.
// Every queued request is answered (the Alarm Builder waits for its reply without
// limit): an invalid kind is answered with null.
//
// Threads: requests may be made from any thread. The queue is guarded by the lock
// "Hostc mutex", held for one put or one take, never during a resolver call. The
// resolver thread is the only one that files entries after start-up; it files under
// names_lock() (names.h) held exclusively, and every lookup here and in names.h holds
// it shared, so lookups from other threads are safe while the thread files. Reply
// functions run on the resolver thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/names/names.h"
#include "base/netaddr.h"

inline constexpr int kRequestByName = 0;
inline constexpr int kRequestByAddress = 1;
inline constexpr int kRequestByEther = 2;
inline constexpr int kHostRefUnset = 3;

// The name service's copy of a system resolver answer. Names and aliases are cut at
// their first space when copied into an entry.
struct HostRecord {
    std::string official_name;  // empty when the answer has none
    std::vector<std::string> aliases;
    int address_type = 0;    // address family: 2 Internet (IPv4), 10 Internet version 6
    int address_length = 0;  // bytes of each address: 4 or 16
    std::vector<std::vector<uint8_t>> addresses;
};

// The system resolver as the name service uses it. Every function returns true with
// an answer, or false. The name service calls them on the resolver thread only.
struct SystemResolver {
    // Host lookup by name.
    std::function<bool(const char* name, HostRecord* answer)> by_name;
    // Host lookup by address: `length` bytes of an address of the given family.
    std::function<bool(const uint8_t* bytes, int length, int family, HostRecord* answer)> by_address;
    // The Ethernet address the system's neighbour table holds for an Internet address.
    std::function<bool(const uint8_t* bytes, int length, int family, uint8_t ether[6])> station_of;
};

// The platform's resolver: getaddrinfo, getnameinfo and the ARP cache (/proc/net/arp).
[[nodiscard]] SystemResolver hostc_system_resolver();
// Installs the resolver the name service uses and returns the previous one. Until a
// resolver is installed the platform's is used. Tests install their own so that they
// never use the network.
SystemResolver hostc_set_resolver(SystemResolver resolver);

// The ARP cache lookup behind hostc_system_resolver: reads a table in the form of
// /proc/net/arp and gives the Ethernet address of a complete entry for the IPv4
// address. Returns 1 when found, else 0.
[[nodiscard]] int hostc_arp_lookup(const char* table_path, const uint8_t ipv4[4], uint8_t ether[6]);

// Called on the resolver thread with the answer (null for none) and the two references
// given with the request.
using HostcReply = void (*)(const NameEntry* answer, void* user_data, void* extra);

struct ResolveRequest {
    int kind = 0;
    NetAddress address;  // kinds 1 and 2
    std::string name;    // kind 0
    HostcReply reply = nullptr;
    void* user_data = nullptr;
    void* extra = nullptr;
};

// A host reference as the alarm file reader keeps it until the name service answers.
struct HostRef {
    const NameEntry* answer = nullptr;
    int kind = kHostRefUnset;
    NetAddress address;  // of the frame address type, zeroed
    char* name = nullptr;  // std::malloc'ed text, or null; released by hostc_ref_destroy
};

// Creates the four tables (resolver names, resolver addresses and the two local names
// tables), clears the last answer, creates the queue, the request event and the queue
// lock. Called once at start-up before the alarm file and the local names file are
// read, and before hostc_resolve starts.
void hostc_init();

// The resolver-names entry for a name, or null (null text too).
[[nodiscard]] const NameEntry* hostc_find_name(const char* text);
// The resolver-addresses entry for an address, or null.
[[nodiscard]] const NameEntry* hostc_find_address(const NetAddress* address);

// A new HostRef: no answer, kind 3, a zeroed address of the frame address type, no name.
[[nodiscard]] HostRef* hostc_ref_create();
// Releases a HostRef and its name.
void hostc_ref_destroy(HostRef* ref);

// Queue a request; each returns 1 when queued, 0 when not (null text or address).
// Text containing ':' is read as an address of the frame address type (kind 1),
// any other text as a name (kind 0).
[[nodiscard]] int hostc_request_text(const char* text, HostcReply reply, void* user_data, void* extra);
[[nodiscard]] int hostc_request_address(const NetAddress* address, HostcReply reply, void* user_data, void* extra);
[[nodiscard]] int hostc_request_ether(const NetAddress* address, HostcReply reply, void* user_data, void* extra);
// Queues the request a HostRef calls for: kind 0 its name, kind 1 its address through
// the system resolver, kind 2 its address in the local names. Returns what the request
// operation returns (1 when queued); a null reference gives 0; any other kind writes
// "hostc_resolve_rec_process: invalid ... request" to standard error and gives -1.
[[nodiscard]] int hostc_resolve_rec_process(const HostRef* ref, HostcReply reply, void* user_data, void* extra);
// Puts one request (owned by the name service from here on; null is allowed and is
// reported by the thread) into the queue under "Hostc mutex" and wakes the thread.
// Returns 1.
int hostc_enqueue(ResolveRequest* request);

// The resolver thread's body: waits for requests and answers them in the order queued.
// The program never stops it; it returns only after hostc_stop, once it has answered
// every request queued before the stop.
void hostc_resolve();
// Asks hostc_resolve to return (tests and tools that join the thread).
void hostc_stop();
// Answers every queued request on the calling thread, in the order queued, as the
// resolver thread does: for a tool that runs without that thread (the replay tool) and
// must have its alarms' references before the first frame. Never while the resolver
// thread runs. Returns the number answered.
int hostc_answer_queued();

// The entry passed to the most recent reply function, or null.
[[nodiscard]] const NameEntry* hostc_last_answer();
