// Fuzz target: any bytes as a settings key file.
//  - the parser never fails on them, and whatever it reads survives formatting and
//    parsing unchanged;
//  - the load and the save never fail on them, and after two rounds of load and save
//    the key no longer changes (the first round may replace values too long to read
//    back, such as a huge number written with six decimals).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "shell/regfile.h"
#include "shell/settings.h"

namespace {

std::string key_path() {
    // In memory when the machine has it: every save ends with an fsync.
    static const std::string dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    static const std::string path = dir + "/hopscope-fuzz-settings-" + std::to_string(::getpid()) + ".reg";
    return path;
}

void write(const std::string& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "settings_file: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    RegKey key;
    if (regfile_parse(text, kSettingsKeyName, &key) == 1) {
        RegKey again;
        check(regfile_parse(regfile_format(key, kSettingsKeyName), kSettingsKeyName, &again) == 1, "format not parsed");
        check(again.values.size() == key.values.size(), "value count changed");
        for (size_t i = 0; i < key.values.size(); ++i) {
            check(again.values[i].name == key.values[i].name, "name changed");
            check(again.values[i].type == key.values[i].type, "type changed");
            check(again.values[i].data == key.values[i].data, "data changed");
        }
    }

    const std::string path = key_path();
    write(path, text);
    std::string saved[3];
    for (std::string& s : saved) {
        const int loaded = default_load(path.c_str());
        const int written = default_save(path.c_str());
        check(loaded == written, "load and save disagree on the key");
        s = read(path);
    }
    check(saved[1] == saved[2], "key still changing after two rounds");
    ::unlink(path.c_str());
    return 0;
}
