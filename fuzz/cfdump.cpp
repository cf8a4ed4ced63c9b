// Parses arbitrary bytes as a custom focus file (cfdump.bin). Parsing never reads past
// the bytes, and what it keeps survives a write and a second read unchanged: the writer
// and the reader agree on the format, whatever the input was.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "display/cfocus.h"
#include "base/message.h"
#include "protocol/pdl.h"

namespace {

bool same(const FocusDictionary& a, const FocusDictionary& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::strcmp(a[i].name, b[i].name) != 0 || a[i].entries.size() != b[i].entries.size()) return false;
        for (size_t j = 0; j < a[i].entries.size(); ++j) {
            const FocusItem& x = a[i].entries[j];
            const FocusItem& y = b[i].entries[j];
            if (x.protocol != y.protocol || x.colour != y.colour) return false;
            if (!x.protocol && x.protocol_name != y.protocol_name) return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The shipped protocol tree, so that protocol names resolve as in the program.
    static const bool loaded = [] {
        message_set_sink([](const std::string&, const std::string&, MessageIcon) {});
        return pdl_parse(HOPSCOPE_DATA_DIR "/protocol.pdl") != nullptr;
    }();
    (void)loaded;
    const Palette start{};
    const CfocusContents first = cfocus_parse(data, size, start);
    if (first.palette_loaded < 0 || first.palette_loaded > kPaletteColours) std::abort();
    for (const Focus& f : first.focuses)
        if (std::memchr(f.name, '\0', sizeof f.name) == nullptr) std::abort();

    const std::string written = cfocus_serialise(first.palette, first.focuses);
    const auto* bytes = reinterpret_cast<const unsigned char*>(written.data());
    const CfocusContents second = cfocus_parse(bytes, written.size(), start);
    if (second.palette_loaded != kPaletteColours || !same(first.focuses, second.focuses)) std::abort();
    for (int k = 0; k < kPaletteColours; ++k)
        if (!(first.palette.colours[k] == second.palette.colours[k])) std::abort();
    return 0;
}
