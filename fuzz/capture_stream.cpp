// Reads arbitrary bytes as the capture helper's stream, through the program's reader of
// the helper's pipe (helper_dispatch), as a live capture does: every frame handed on
// must lie inside the bytes given, and the reader must end.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "model/capture/helper_client.h"
#include "model/capture/stream.h"

namespace {

struct Span {
    const uint8_t* begin;
    const uint8_t* end;
};

void check_frame(void* user, const hscap::FrameHeader* h, const uint8_t* bytes) {
    const auto* span = static_cast<const Span*>(user);
    if (bytes < span->begin || bytes + h->captured > span->end || h->microseconds > 999999) std::abort();
    volatile uint8_t sum = 0;
    for (uint32_t i = 0; i < h->captured; ++i) sum = sum + bytes[i];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 60000) return 0;  // what one pipe holds without a reader
    int fds[2];
    if (::pipe(fds) != 0) return 0;
    if (::write(fds[1], data, size) != static_cast<ssize_t>(size)) std::abort();
    ::close(fds[1]);
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    hscap::HelperStream stream;
    stream.fd = fds[0];
    stream.buffer.assign((size_t{1} << 20) + hscap::kStreamMaxRecord, 0);
    Span span{stream.buffer.data(), stream.buffer.data() + stream.buffer.size()};
    uint64_t delivered = 0;
    for (int pass = 0; pass < 100000; ++pass)
        if (hscap::helper_dispatch(&stream, 255, 0, -1, check_frame, &span, &delivered) < 0) break;
    if (!stream.failed) std::abort();  // the pipe has ended: the reader must have seen it
    hscap::helper_stop(&stream);
    return 0;
}
