// The capture stream: how the capture helper (hopscope-capture) hands frames and
// counts to the program over a pipe. A stream is a sequence of records, each an 8-byte
// head (type, payload length; 32-bit little-endian) and its payload:
//
//   open    datalink (u32)                                 first record: the adapter is open
//   frame   seconds, microseconds, captured, wire (u32 each), then the captured bytes
//   stats   received, dropped (u32 each)                   the capture's counts so far
//   error   text (no NUL)                                  the capture failed; the last record
//
// The reader trusts nothing: an unknown type, a payload longer than a record of its type
// may be or a frame whose captured length disagrees with its payload marks the stream
// damaged. No Qt, no libpcap: the helper and the capture library both build this file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace hscap {

inline constexpr uint32_t kStreamOpen = 1;
inline constexpr uint32_t kStreamFrame = 2;
inline constexpr uint32_t kStreamStats = 3;
inline constexpr uint32_t kStreamError = 4;

inline constexpr size_t kStreamHead = 8;
inline constexpr size_t kStreamFrameHead = 16;
inline constexpr uint32_t kStreamMaxCaptured = 262144;  // the largest snap length
inline constexpr size_t kStreamMaxErrorText = 1024;
inline constexpr size_t kStreamMaxRecord = kStreamHead + kStreamFrameHead + kStreamMaxCaptured;

struct StreamRecord {
    uint32_t type = 0;
    // open: a = datalink. frame: a, b = seconds, microseconds; captured, wire.
    // stats: a = received, b = dropped.
    uint32_t a = 0, b = 0;
    uint32_t captured = 0, wire = 0;
    const uint8_t* bytes = nullptr;  // frame: the captured bytes; error: the text (size `captured`)
};

enum class StreamStep {
    record,    // *out holds the next record; *used bytes were taken
    need_more, // the bytes end inside a record: read more, then call again with them all
    damaged,   // not a capture stream: stop reading it
};

// Reads the record at the start of `data` (`size` bytes). `out->bytes` points into data.
[[nodiscard]] StreamStep stream_next(const uint8_t* data, size_t size, StreamRecord* out, size_t* used);

// Appends one record to *out (the helper's side).
void stream_put_open(std::string* out, uint32_t datalink);
void stream_put_frame(std::string* out, uint32_t seconds, uint32_t microseconds, uint32_t wire, const uint8_t* bytes,
                      uint32_t captured);
void stream_put_stats(std::string* out, uint32_t received, uint32_t dropped);
void stream_put_error(std::string* out, const std::string& text);

}  // namespace hscap
