// Builds small capture files and frames for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct Frame {
    int64_t seconds = 0;
    int64_t microseconds = 0;
    std::vector<uint8_t> bytes;  // captured bytes
    uint32_t wire_length = 0;    // 0: the captured length
};

// Writes a classic pcap file (microsecond stamps, Ethernet link type).
void write_pcap(const std::string& path, const std::vector<Frame>& frames, uint32_t link_type = 1);

// An Ethernet II frame: destination, source, EtherType, then `payload` zero bytes.
std::vector<uint8_t> ether_frame(const std::string& dst, const std::string& src, uint16_t ether_type,
                                 size_t payload = 46);

// A unique path in the test temporary directory.
std::string temp_path(const std::string& name);

}  // namespace testsupport
