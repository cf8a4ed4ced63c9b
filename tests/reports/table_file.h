// Case tables, golden files and scratch directories of the report tests.
//
// A case file is a list of blocks separated by blank lines; each block is "key: value"
// lines ("key:" alone is an empty value; "#" starts a comment line). Values are taken as written up to the end of the
// line, with these escapes: %n line feed, %r carriage return, %t tab, %xHH one byte,
// %% a percent sign, and %[N:TEXT%] TEXT repeated N times (TEXT is literal).
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace report_tests {

inline std::string unescape(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%' || i + 1 >= s.size()) {
            out.push_back(s[i]);
            continue;
        }
        const char c = s[++i];
        if (c == 'n') out.push_back('\n');
        else if (c == 'r') out.push_back('\r');
        else if (c == 't') out.push_back('\t');
        else if (c == '%') out.push_back('%');
        else if (c == 'x' && i + 2 < s.size()) {
            out.push_back(static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16)));
            i += 2;
        } else if (c == '[') {
            const size_t colon = s.find(':', i);
            const size_t end = s.find("%]", colon);
            if (colon == std::string_view::npos || end == std::string_view::npos)
                throw std::runtime_error("bad repetition in " + std::string(s));
            const long count = std::stol(std::string(s.substr(i + 1, colon - i - 1)));
            const std::string_view text = s.substr(colon + 1, end - colon - 1);
            for (long k = 0; k < count; ++k) out.append(text);
            i = end + 1;
        } else {
            throw std::runtime_error("bad escape %" + std::string(1, c) + " in " + std::string(s));
        }
    }
    return out;
}

using Case = std::map<std::string, std::string>;  // key -> raw value (not unescaped)

inline std::vector<Case> read_cases(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::vector<Case> cases;
    Case current;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '#') continue;
        if (line.empty()) {
            if (!current.empty()) cases.push_back(std::move(current));
            current.clear();
            continue;
        }
        const size_t colon = line.find(':');
        if (colon == std::string::npos) throw std::runtime_error("no key in line: " + line);
        std::string value = line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ') value.erase(0, 1);
        current[line.substr(0, colon)] = std::move(value);
    }
    if (!current.empty()) cases.push_back(std::move(current));
    return cases;
}

inline std::string read_whole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void write_whole(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline bool refreshing() {
    const char* v = std::getenv("HOPSCOPE_REFRESH_EXPECTED");
    return v && *v && std::string_view(v) != "0";
}

// A fresh directory under the system's temporary directory, removed with its contents.
struct TempDir {
    std::filesystem::path path;
    TempDir() {
        std::string t = (std::filesystem::temp_directory_path() / "hopscope-reports-XXXXXX").string();
        if (!::mkdtemp(t.data())) throw std::runtime_error("cannot make " + t);
        path = t;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    // The names in it, sorted.
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(path)) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

inline std::string data_path(const std::string& name) {
    return std::string(HOPSCOPE_TEST_DIR) + "/reports/data/" + name;
}

}  // namespace report_tests
