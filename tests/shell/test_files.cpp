#include "shell/test_files.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/pcap_writer.h"

namespace shelltest {

void write_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

MessageCapture::MessageCapture() {
    previous_ = message_set_sink(
        [this](const std::string& t, const std::string& m, MessageIcon i) { shown.push_back({t, m, i}); });
}

MessageCapture::~MessageCapture() { message_set_sink(previous_); }

std::string small_capture(const std::string& name, const std::string& src, uint32_t link_type) {
    std::string path = testsupport::temp_path(name);
    std::vector<testsupport::Frame> frames;
    for (int i = 0; i < 4; ++i)
        frames.push_back({1000 + i, 0, testsupport::ether_frame("ff:ff:ff:ff:ff:ff", src, 0x0800), 0});
    testsupport::write_pcap(path, frames, link_type);
    return path;
}

std::string empty_key() { return "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmar Software\\Hopscope\\1.3]\n"; }

std::string startup_key(const std::string& extra) {
    const std::string data = HOPSCOPE_DATA_DIR;
    // The focus file is rewritten at exit: start-up gets a copy of the shipped one.
    const std::string cfdump = testsupport::temp_path("startup-cfdump.bin");
    write_file(cfdump, read_file(data + "/cfdump.bin"));
    // So may be the alarm file: a copy of the shipped one too.
    const std::string alarms = testsupport::temp_path("startup-alarm.adl");
    write_file(alarms, read_file(data + "/alarm.adl"));
    return empty_key() + "\"protocols\"=\"" + data + "/protocol.pdl\"\n\"ethers\"=\"" + data +
           "/ethers\"\n\"manufacturers\"=\"" + data + "/manf\"\n\"cfdump\"=\"" + cfdump + "\"\n\"alarms\"=\"" +
           alarms + "\"\n" + extra;
}

std::string key_file(const std::string& name, const std::string& text) {
    std::string path = testsupport::temp_path(name);
    write_file(path, text);
    return path;
}

hscap::Adapter adapter(const char* name, const char* description, int type) {
    hscap::Adapter a{};
    std::snprintf(a.name, sizeof a.name, "%s", name);
    std::snprintf(a.description, sizeof a.description, "%s", description);
    a.network_type = type;
    return a;
}

}  // namespace shelltest
