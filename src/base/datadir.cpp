#include "base/datadir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "base/file.h"

#ifndef HOPSCOPE_INSTALL_DATA_RELATIVE
#define HOPSCOPE_INSTALL_DATA_RELATIVE "../share/hopscope"
#endif

namespace {

bool is_dir(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool is_readable_file(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && file_opens(path.c_str(), "rb");
}

std::string strip_slashes(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

// The directory of the running program, or empty.
std::string program_dir() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    const std::string exe(buf, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

#if defined(HOPSCOPE_BUILD_DIR) && defined(HOPSCOPE_SOURCE_DATA_DIR)
bool starts_with_dir(const std::string& path, std::string_view dir) {
    return !dir.empty() && path.compare(0, dir.size(), dir) == 0 && (path.size() == dir.size() || path[dir.size()] == '/');
}
#endif

}  // namespace

std::vector<std::string> data_dirs() {
    std::vector<std::string> dirs;
    auto add = [&](std::string dir) {
        dir = strip_slashes(std::move(dir));
        if (dir.empty() || !is_dir(dir)) return;
        for (const std::string& d : dirs)
            if (d == dir) return;
        dirs.push_back(dir);
    };
    if (const char* env = std::getenv(kDataDirEnv); env && *env) add(env);
    const std::string bin = program_dir();
    if (!bin.empty()) {
        char real[4096];
        const std::string installed = bin + "/" HOPSCOPE_INSTALL_DATA_RELATIVE;
        add(::realpath(installed.c_str(), real) ? std::string(real) : installed);
#if defined(HOPSCOPE_BUILD_DIR) && defined(HOPSCOPE_SOURCE_DATA_DIR)
        // A program of the build tree reads the data of its own source tree; an installed
        // one never does, even when the tree is still there.
        if (starts_with_dir(bin, HOPSCOPE_BUILD_DIR)) add(HOPSCOPE_SOURCE_DATA_DIR);
#endif
    }
    add(".");
    return dirs;
}

std::string data_find(const std::string& name) {
    if (name.empty()) return {};
    for (const std::string& dir : data_dirs()) {
        const std::string path = (dir == "/" ? dir : dir + "/") + name;
        if (is_readable_file(path)) return path;
    }
    return {};
}

std::string data_dir_of(const std::string& name) {
    const std::string path = data_find(name);
    if (path.empty()) return {};
    const size_t slash = path.rfind('/');
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string data_dirs_text() {
    std::string text;
    for (const std::string& dir : data_dirs()) {
        if (!text.empty()) text += ", ";
        text += dir;
    }
    return text.empty() ? std::string("none") : text;
}
