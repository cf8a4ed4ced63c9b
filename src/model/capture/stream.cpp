#include "model/capture/stream.h"

namespace hscap {

namespace {

uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void put32(std::string* out, uint32_t v) {
    const char b[4] = {char(v & 0xff), char(v >> 8 & 0xff), char(v >> 16 & 0xff), char(v >> 24 & 0xff)};
    out->append(b, 4);
}

void put_head(std::string* out, uint32_t type, size_t length) {
    put32(out, type);
    put32(out, static_cast<uint32_t>(length));
}

}  // namespace

StreamStep stream_next(const uint8_t* data, size_t size, StreamRecord* out, size_t* used) {
    if (size < kStreamHead) return StreamStep::need_more;
    const uint32_t type = get32(data), length = get32(data + 4);
    // Each type's payload length is known or bounded: a wrong one is damage, found
    // before any byte of the payload is awaited.
    switch (type) {
        case kStreamOpen:
        case kStreamStats:
            if (length != (type == kStreamOpen ? 4u : 8u)) return StreamStep::damaged;
            break;
        case kStreamFrame:
            if (length < kStreamFrameHead || length - kStreamFrameHead > kStreamMaxCaptured) return StreamStep::damaged;
            break;
        case kStreamError:
            if (length > kStreamMaxErrorText) return StreamStep::damaged;
            break;
        default: return StreamStep::damaged;
    }
    if (size - kStreamHead < length) return StreamStep::need_more;
    const uint8_t* p = data + kStreamHead;
    StreamRecord r;
    r.type = type;
    switch (type) {
        case kStreamOpen: r.a = get32(p); break;
        case kStreamStats:
            r.a = get32(p);
            r.b = get32(p + 4);
            break;
        case kStreamFrame:
            r.a = get32(p);
            r.b = get32(p + 4);
            r.captured = get32(p + 8);
            r.wire = get32(p + 12);
            if (r.captured != length - kStreamFrameHead || r.b > 999999) return StreamStep::damaged;
            r.bytes = p + kStreamFrameHead;
            break;
        case kStreamError:
            r.captured = length;
            r.bytes = p;
            break;
    }
    *out = r;
    *used = kStreamHead + length;
    return StreamStep::record;
}

void stream_put_open(std::string* out, uint32_t datalink) {
    put_head(out, kStreamOpen, 4);
    put32(out, datalink);
}

void stream_put_frame(std::string* out, uint32_t seconds, uint32_t microseconds, uint32_t wire, const uint8_t* bytes,
                      uint32_t captured) {
    if (captured > kStreamMaxCaptured) captured = kStreamMaxCaptured;
    put_head(out, kStreamFrame, kStreamFrameHead + captured);
    put32(out, seconds);
    put32(out, microseconds);
    put32(out, captured);
    put32(out, wire);
    out->append(reinterpret_cast<const char*>(bytes), captured);
}

void stream_put_stats(std::string* out, uint32_t received, uint32_t dropped) {
    put_head(out, kStreamStats, 8);
    put32(out, received);
    put32(out, dropped);
}

void stream_put_error(std::string* out, const std::string& text) {
    const size_t n = text.size() < kStreamMaxErrorText ? text.size() : kStreamMaxErrorText;
    put_head(out, kStreamError, n);
    out->append(text, 0, n);
}

}  // namespace hscap
