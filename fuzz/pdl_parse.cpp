// Loads arbitrary bytes as a protocol definition file. A loaded tree must be finite
// and acyclic (every node reached once, no more nodes than the name table holds), and
// classifying a frame along it must end.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/message.h"
#include "protocol/pd.h"
#include "protocol/pdl.h"
#include "protocol/symbol.h"

namespace {

int count_nodes(const ProtocolNode* n, int budget) {
    int seen = 0;
    for (; n; n = n->next) {
        if (++seen > budget) std::abort();  // a loop in the tree
        seen += count_nodes(n->first_child, budget - seen);
        if (seen > budget) std::abort();
    }
    return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        message_set_sink([](const std::string&, const std::string&, MessageIcon) {});
        return "/tmp/hopscope-fuzz-pdl-" + std::to_string(getpid()) + ".pdl";
    }();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    ProtocolNode* root = pdl_parse(path.c_str());
    if (root) {
        count_nodes(root, symbol_count());
        pd_set_root(root);
        uint8_t frame[64] = {};
        for (size_t i = 0; i < sizeof frame && i < size; ++i) frame[i] = data[i];
        (void)pd_classify(frame, sizeof frame, sizeof frame);
    }
    symbol_reset();
    return 0;
}
