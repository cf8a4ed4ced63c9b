// The capture helper's stream: the record reader on a table of streams
// (data/capture_stream.txt), and the program's reader of a helper's pipe on a stream
// larger than its buffer, ending in the helper's error.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "model/capture/helper_client.h"
#include "model/capture/stream.h"

using namespace hscap;

namespace {

std::string trim(std::string t) {
    t.erase(0, t.find_first_not_of(' '));
    t.erase(t.find_last_not_of(' ') + 1);
    return t;
}

std::string bytes_of(const std::string& text) {
    std::istringstream in(text);
    std::string out;
    for (std::string word; in >> word;) {
        if (word.rfind("x:", 0) == 0) {
            for (size_t i = 2; i + 1 < word.size(); i += 2) out.push_back(static_cast<char>(std::stoi(word.substr(i, 2), nullptr, 16)));
        } else {
            const unsigned long v = std::stoul(word);
            for (int k = 0; k < 4; ++k) out.push_back(static_cast<char>(v >> (8 * k) & 0xff));
        }
    }
    return out;
}

std::string hex(const uint8_t* p, size_t n) {
    std::string out;
    char b[3];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02x", p[i]);
        out += b;
    }
    return out;
}

std::string describe(const StreamRecord& r) {
    char b[64];
    switch (r.type) {
        case kStreamOpen: return "open " + std::to_string(r.a);
        case kStreamStats: return "stats " + std::to_string(r.a) + "/" + std::to_string(r.b);
        case kStreamFrame: {
            std::snprintf(b, sizeof b, "frame %u.%06u %u/%u", r.a, r.b, r.captured, r.wire);
            std::string s = b;
            if (r.captured) s += " " + hex(r.bytes, r.captured);
            return s;
        }
        case kStreamError: return trim("error " + std::string(reinterpret_cast<const char*>(r.bytes), r.captured));
    }
    return "?";
}

std::string read_all(const std::string& bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t at = 0;
    std::string out;
    auto add = [&](const std::string& t) { out += (out.empty() ? "" : "; ") + t; };
    while (at < bytes.size()) {
        StreamRecord r;
        size_t used = 0;
        const StreamStep step = stream_next(data + at, bytes.size() - at, &r, &used);
        if (step == StreamStep::need_more) {
            add("need");
            break;
        }
        if (step == StreamStep::damaged) {
            add("damaged");
            break;
        }
        EXPECT_GT(used, 0u);
        EXPECT_LE(used, bytes.size() - at);
        add(describe(r));
        at += used;
    }
    return out;
}

}  // namespace

TEST(CaptureStream, RecordsOfTheTable) {
    std::ifstream table(HOPSCOPE_TEST_DIR "/model/data/capture_stream.txt");
    ASSERT_TRUE(table);
    int rows = 0;
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#') continue;
        const size_t bar = line.find('|');
        ASSERT_NE(bar, std::string::npos) << line;
        SCOPED_TRACE(line);
        EXPECT_EQ(read_all(bytes_of(line.substr(0, bar))), trim(line.substr(bar + 1)));
        ++rows;
    }
    EXPECT_GE(rows, 20);
}

// What the helper writes, the reader reads back, frame bytes and all.
TEST(CaptureStream, WhatIsWrittenReadsBack) {
    std::string s;
    const uint8_t frame[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x88, 0xb5};
    stream_put_open(&s, 1);
    stream_put_frame(&s, 100, 5, 1514, frame, sizeof frame);
    stream_put_stats(&s, 7, 1);
    stream_put_error(&s, "gone");
    EXPECT_EQ(read_all(s), "open 1; frame 100.000005 14/1514 0102030405060708090a0b0c88b5; stats 7/1; error gone");
}

// The program's side: 30 000 frames of 100 bytes (3.6 MB, more than the reader's buffer
// of about 1.3 MB) through a pipe, then counts and the helper's last word. Every frame
// arrives once, whole and in order; the error ends the stream.
TEST(CaptureStream, TheReaderTakesEveryFrameInOrderAndEndsAtTheError) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    constexpr int kFrames = 30000;
    std::thread writer([fd = fds[1]] {
        std::string s;
        stream_put_open(&s, 1);
        uint8_t frame[100] = {};
        for (int i = 0; i < kFrames; ++i) {
            std::memcpy(frame, &i, sizeof i);
            stream_put_frame(&s, 1000 + i / 1000, i % 1000, 100 + i % 7, frame, sizeof frame);
            if (i % 5000 == 0) stream_put_stats(&s, i, i / 5000);
        }
        stream_put_error(&s, "The interface disappeared");
        for (size_t done = 0; done < s.size();) {
            // Pieces of odd sizes, so that records arrive cut anywhere.
            const ssize_t n = ::write(fd, s.data() + done, std::min<size_t>(4093, s.size() - done));
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        ::close(fd);
    });
    HelperStream stream;
    stream.fd = fds[0];
    stream.buffer.assign((size_t{1} << 20) + kStreamMaxRecord, 0);
    struct Seen {
        int next = 0;
        bool in_order = true;
    } seen;
    auto handler = [](void* user, const FrameHeader* h, const uint8_t* bytes) {
        auto* s = static_cast<Seen*>(user);
        int i = 0;
        std::memcpy(&i, bytes, sizeof i);
        if (i != s->next || h->captured != 100 || h->length != 100u + i % 7 || h->seconds != 1000 + i / 1000 ||
            h->microseconds != i % 1000)
            s->in_order = false;
        ++s->next;
    };
    uint64_t delivered = 0;
    int last = 0;
    for (int pass = 0; pass < 1000000 && (last = helper_dispatch(&stream, 255, 200, -1, handler, &seen, &delivered)) >= 0;
         ++pass) {
    }
    writer.join();
    EXPECT_EQ(last, -1);
    EXPECT_EQ(seen.next, kFrames);
    EXPECT_TRUE(seen.in_order);
    EXPECT_EQ(delivered, static_cast<uint64_t>(kFrames));
    EXPECT_EQ(stream.stats.received, 25000u);
    EXPECT_EQ(stream.stats.dropped, 5u);
    EXPECT_TRUE(stream.failed);
    EXPECT_EQ(stream.error, "The interface disappeared");
    helper_stop(&stream);
}
