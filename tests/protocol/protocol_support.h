// Helpers shared by the protocol tests: load definition text, capture messages and
// print a loaded tree in one canonical form.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "base/message.h"
#include "protocol/pdl.h"
#include "protocol/protocol.h"
#include "support/pcap_writer.h"

namespace prototest {

struct Message {
    std::string title, text;
    MessageIcon icon;
};

// Records every message shown while it lives.
class MessageCapture {
public:
    MessageCapture() {
        old_ = message_set_sink([this](const std::string& t, const std::string& x, MessageIcon i) {
            messages.push_back({t, x, i});
        });
    }
    ~MessageCapture() { message_set_sink(old_); }
    std::vector<Message> messages;

private:
    MessageSink old_;
};

inline std::string write_text(const std::string& text, const std::string& name = "test.pdl") {
    const std::string path = testsupport::temp_path(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

inline ProtocolNode* load_text(const std::string& text) { return pdl_parse(write_text(text).c_str()); }

// One line per node, depth first, children indented under their parent:
//   NAME "label" [mask ]LOW..HIGH w=WIDTH@OFFSET[,ALT] hl=N
inline void dump_node(const ProtocolNode* n, int depth, std::string* out) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "%*s%s \"%s\" %s%u..%u w=%d@%d", depth * 2, "", n->name, n->label,
                  n->mask_test ? "mask " : "", n->low, n->high, n->width, n->offset);
    *out += buf;
    if (n->has_alt_offset) *out += "," + std::to_string(n->alt_offset);
    *out += " hl=" + std::to_string(n->header_length) + "\n";
    for (const ProtocolNode* c = n->first_child; c; c = c->next) dump_node(c, depth + 1, out);
}

inline std::string dump_tree(const ProtocolNode* root) {
    std::string out;
    if (root) dump_node(root, 0, &out);
    return out;
}

}  // namespace prototest
