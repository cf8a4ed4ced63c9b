// Small file helpers for the shell tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/message.h"
#include "model/capture/capture.h"

namespace shelltest {

struct Shown {
    std::string title, text;
    MessageIcon icon;
};

// Captures the messages shown while it lives.
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    std::vector<Shown> shown;

private:
    MessageSink previous_;
};

// An adapter record as the capture library lists one.
hscap::Adapter adapter(const char* name, const char* description, int type);

// A small Ethernet capture of a few frames sent by `src`; `link_type` other than 1
// makes a capture of another link type.
std::string small_capture(const std::string& name, const std::string& src, uint32_t link_type = 1);

void write_file(const std::string& path, const std::string& text);
// The file's contents, or "<missing>".
std::string read_file(const std::string& path);
bool exists(const std::string& path);
// A key file holding the key's section and nothing else.
std::string empty_key();
// A key for start-up: the shipped protocol, ethers and manufacturers files, a copy of the
// shipped custom focus file, then `extra`.
std::string startup_key(const std::string& extra = "");
// A settings key file at a fresh temporary path, holding `text`.
std::string key_file(const std::string& name, const std::string& text);

}  // namespace shelltest
