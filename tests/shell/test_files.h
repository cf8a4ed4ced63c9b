// Small file helpers for the shell tests.
#pragma once

#include <string>

namespace shelltest {

void write_file(const std::string& path, const std::string& text);
// The file's contents, or "<missing>".
std::string read_file(const std::string& path);
bool exists(const std::string& path);
// A key file holding the key's section and nothing else.
std::string empty_key();
// A settings key file at a fresh temporary path, holding `text`.
std::string key_file(const std::string& name, const std::string& text);

}  // namespace shelltest
