// Paths of data files as the settings store them (".\ethers"): a backslash is a path
// separator.
#pragma once

#include <string>

// The path as the system opens it: every backslash becomes '/', so the stored default
// ".\ethers" opens ./ethers. Null gives the empty path.
[[nodiscard]] std::string native_path(const char* path);
[[nodiscard]] inline std::string native_path(const std::string& path) { return native_path(path.c_str()); }
