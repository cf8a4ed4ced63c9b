// The capture library: adapters, capture files and frame delivery, over libpcap.
// Its operations keep the names the program calls them by, inside namespace hscap so
// they never clash with libpcap's own functions.
//
// Capture files are capture sources too: add_capture_file registers one before the
// adapter list is fetched, and it then stands at the head of that list as an adapter
// named after the file. A file is replayed at its recorded pace (optionally looping,
// with time moving forward on each loop) or as fast as it can be read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace hscap {

inline constexpr int kErrbufSize = 256;
inline constexpr int kAdapterText = 64;

// Adapter record: name at offset 0, description at 64, network type at 128
// (negative: unusable now, 0: Ethernet, positive: another link type).
struct Adapter {
    char name[kAdapterText];
    char description[kAdapterText];
    int32_t network_type;
};
static_assert(offsetof(Adapter, description) == 64 && offsetof(Adapter, network_type) == 128);

// Frame header: timestamp, captured length, length on the wire.
struct FrameHeader {
    int32_t seconds;
    int32_t microseconds;
    uint32_t captured;
    uint32_t length;
};

struct Stats {
    uint32_t received;
    uint32_t dropped;
};

struct Handle;  // opaque

using Handler = void (*)(void* user, const FrameHeader* header, const uint8_t* bytes);

enum class Pace {
    Recorded,  // frames are delivered when their recorded time has come
    Fastest,   // frames are delivered as fast as they are read
};

// Registers a capture file as a capture source; call before pcap_lookupdevs. "-" is
// standard input (adapter name "stdin"). The file is opened here to check it; for a
// pipe, a FIFO or standard input the first pcap_open_live of the source reads through
// that same opening, so they work; a regular file is opened again by each open.
// Returns 0, or -1 with a message in errbuf (which must hold kErrbufSize bytes) when
// the file cannot be read as a capture.
int add_capture_file(const char* path, Pace pace, bool loop, char* errbuf);
// Forgets every registered file and the fetched adapter list (tests only).
void reset_sources();

void pcap_init();
// Null-terminated array of adapter records: capture files first, then the live
// adapters. Fetched once; valid for the whole run.
Adapter** pcap_lookupdevs(char* errbuf);
int pcap_get_interface_count();
const char* pcap_if_name(const Adapter* adapter);
// Opens an adapter or a capture file by its name. Null on failure, with errbuf filled.
Handle* pcap_open_live(const char* name, int snaplen, int promisc, int timeout_ms, char* errbuf);
// Calls handler for up to `count` frames, in arrival order, on the calling thread. Waits
// for frames at most the read time-out given at open (or until interrupt()). Returns the
// number delivered, or -1 when the source has failed.
int pcap_dispatch(Handle* handle, int count, Handler handler, void* user);
int pcap_stats(Handle* handle, Stats* stats);
void pcap_close(Handle* handle);

// A capture file that ended early because it is damaged, or a live adapter whose
// capture failed (it went away), keeps its error here, once: the text is returned by
// the first call after the failure and null afterwards.
[[nodiscard]] const char* take_error(Handle* handle);
// True when a capture file that does not loop has delivered its last frame.
[[nodiscard]] bool finished(const Handle* handle);
// Frames delivered so far by this handle.
[[nodiscard]] uint64_t delivered(const Handle* handle);
// Sets the capture filter of the handle: an expression in libpcap's filter syntax,
// compiled by libpcap against the adapter or the capture file; frames it rejects are
// never delivered. A file that loops keeps its filter. An empty or null expression
// removes the filter. Returns 0, or -1 with libpcap's message, naming the expression,
// in errbuf (the handle then keeps the filter it had).
int set_filter(Handle* handle, const char* expression, char* errbuf);
// How much of a capture file has been read, 0 to 1 (of its size on disk); -1 for a
// live adapter or a file whose size is unknown.
[[nodiscard]] double read_fraction(Handle* handle);

// Whether an open's error says that the capture rights are missing.
[[nodiscard]] bool missing_rights(const char* errbuf);
// What to tell the user then: "Cannot capture on ADAPTER: live capture needs root or
// the capture rights (...)".
[[nodiscard]] std::string rights_hint(const char* adapter);

// Ends the current or next wait of a dispatch on this handle early, so that the thread
// inside pcap_dispatch returns promptly (with the frames it has, possibly none). Safe to
// call from another thread while the handle is in use; the handle must stay open.
void interrupt(Handle* handle);

}  // namespace hscap
