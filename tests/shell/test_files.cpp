#include "shell/test_files.h"

#include <sys/stat.h>

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

std::string empty_key() { return "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmar Software\\Hopscope\\1.3]\n"; }

std::string key_file(const std::string& name, const std::string& text) {
    std::string path = testsupport::temp_path(name);
    write_file(path, text);
    return path;
}

}  // namespace shelltest
