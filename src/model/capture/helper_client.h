// The capture library's side of the capture helper (helper/main.cpp): starts
// hopscope-capture for a live adapter and reads its capture stream (stream.h). Used by
// capture.cpp only.
#pragma once

#include <pcap/pcap.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "model/capture/capture.h"

namespace hscap {

struct HelperStream {
    pid_t pid = -1;
    int fd = -1;                  // the stream's read end, non-blocking
    std::vector<uint8_t> buffer;  // allocated once at start; frames are delivered in place
    size_t begin = 0, end = 0;    // the bytes read and not yet taken
    Stats stats{};                // the helper's latest counts
    bool failed = false;          // the stream ended, was damaged or carried an error
    std::string error;            // why, once failed
    // The capture filter, run on each frame as it arrives from the helper (the helper
    // opened the adapter before the filter was known); `filtered` false: every frame.
    bpf_program filter{};
    bool filtered = false;

    HelperStream() = default;
    HelperStream(const HelperStream&) = delete;
    HelperStream& operator=(const HelperStream&) = delete;
    ~HelperStream();
};

// Compiles `expression` for Ethernet frames and makes it the stream's filter; an empty
// expression takes every frame. False with *error set (libpcap's words) when it does not
// compile; the filter in use stays as it was.
[[nodiscard]] bool helper_set_filter(HelperStream* s, const std::string& expression, std::string* error);

// The helper to start: the installed one beside an installed program, else the one of
// this build; empty when there is none. A fixed path, never taken from the environment.
[[nodiscard]] const std::string& helper_path();

// Starts the helper on adapter `name` and waits for it to open the adapter. False with
// errbuf filled (kErrbufSize bytes) when it did not.
[[nodiscard]] bool helper_start(HelperStream* s, const std::string& path, const char* name, int snaplen, int promisc,
                                char* errbuf);

// Calls handler for up to `count` frames of the stream. When none is waiting, waits up
// to timeout_ms for some, or until wake_fd is readable (wake_fd may be -1). Returns the
// number delivered, or -1 once the stream has failed (s->error says why).
int helper_dispatch(HelperStream* s, int count, int timeout_ms, int wake_fd, Handler handler, void* user,
                    uint64_t* delivered);

// Ends the helper and closes the stream.
void helper_stop(HelperStream* s);

}  // namespace hscap
