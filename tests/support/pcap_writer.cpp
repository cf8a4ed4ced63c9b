#include "support/pcap_writer.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace testsupport {

namespace {

void put32(std::ofstream& out, uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); }
void put16(std::ofstream& out, uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); }

uint8_t hex_byte(const std::string& s, size_t at) { return static_cast<uint8_t>(std::stoul(s.substr(at, 2), nullptr, 16)); }

}  // namespace

void write_pcap(const std::string& path, const std::vector<Frame>& frames, uint32_t link_type) {
    std::ofstream out(path, std::ios::binary);
    put32(out, 0xa1b2c3d4);
    put16(out, 2);
    put16(out, 4);
    put32(out, 0);
    put32(out, 0);
    put32(out, 65535);
    put32(out, link_type);
    for (const Frame& f : frames) {
        put32(out, static_cast<uint32_t>(f.seconds));
        put32(out, static_cast<uint32_t>(f.microseconds));
        put32(out, static_cast<uint32_t>(f.bytes.size()));
        put32(out, f.wire_length ? f.wire_length : static_cast<uint32_t>(f.bytes.size()));
        out.write(reinterpret_cast<const char*>(f.bytes.data()), static_cast<std::streamsize>(f.bytes.size()));
    }
}

std::vector<uint8_t> ether_frame(const std::string& dst, const std::string& src, uint16_t ether_type, size_t payload) {
    std::vector<uint8_t> f;
    for (const std::string* a : {&dst, &src})
        for (size_t i = 0; i < 6; ++i) f.push_back(hex_byte(*a, i * 3));
    f.push_back(static_cast<uint8_t>(ether_type >> 8));
    f.push_back(static_cast<uint8_t>(ether_type & 0xFF));
    f.resize(f.size() + payload, 0);
    return f;
}

namespace {

// The test process's own folder: made fresh (a folder named after the process id could
// be a stale one of an earlier run with that id) and removed when the process that
// made it ends, not when a forked child does.
std::string g_temp_dir;
pid_t g_temp_owner = 0;

void remove_temp_dir() {
    if (getpid() != g_temp_owner) return;
    std::error_code ec;
    std::filesystem::remove_all(g_temp_dir, ec);
}

const std::string& temp_dir() {
    if (g_temp_dir.empty()) {
        std::string t = (std::filesystem::temp_directory_path() / "hopscope-test-XXXXXX").string();
        if (mkdtemp(t.data())) {
            g_temp_dir = t;
            g_temp_owner = getpid();
            std::atexit(remove_temp_dir);
        } else {
            g_temp_dir = (std::filesystem::temp_directory_path() / ("hopscope-test-" + std::to_string(getpid()))).string();
            std::filesystem::create_directories(g_temp_dir);
        }
    }
    return g_temp_dir;
}

}  // namespace

std::string temp_path(const std::string& name) {
    static int counter = 0;
    return (std::filesystem::path(temp_dir()) / (std::to_string(++counter) + "-" + name)).string();
}

}  // namespace testsupport
