// Classifies arbitrary frames along the shipped protocol tree. Each frame is copied to
// a buffer of exactly its size, so that a read past the captured bytes is caught.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/message.h"
#include "protocol/pd.h"
#include "protocol/pdl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool loaded = [] {
        ProtocolNode* root = pdl_parse((std::string(HOPSCOPE_DATA_DIR) + "/protocol.pdl").c_str());
        if (!root) std::abort();
        pd_set_root(root);
        return true;
    }();
    (void)loaded;
    std::vector<uint8_t> frame(data, data + size);
    const ProtocolNode* const* path =
        pd_classify(frame.empty() ? nullptr : frame.data(), static_cast<uint32_t>(frame.size()), 1514);
    int n = 0;
    while (path[n]) ++n;
    if (n > kPathMax) std::abort();
    return 0;
}
