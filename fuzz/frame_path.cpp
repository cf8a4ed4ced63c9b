// Drives arbitrary frames through the per-frame handler and the refresh. The input is a
// sequence of records: captured length (1 byte), wire length (2 bytes), time step
// (2 bytes, signed, in milliseconds), then the captured bytes. Each frame is copied to
// a buffer of exactly its captured size so that any read past it is caught.
#include <cstdint>
#include <cstring>
#include <vector>

#include "model/net.h"
#include "model/engine.h"
#include "model/netif.h"
#include "protocol/pd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Network* net = [] {
        engine_reset();
        Network* n = net_create("fuzz");
        net_list_add(n);
        net_set_current(n);
        return n;
    }();
    int64_t t_ms = 1000000;
    size_t at = 0;
    int frames = 0;
    while (at + 5 <= size) {
        uint32_t captured = data[at];
        uint32_t wire = uint32_t(data[at + 1]) | (uint32_t(data[at + 2]) << 8);
        int16_t step;
        std::memcpy(&step, data + at + 3, 2);
        at += 5;
        if (captured > size - at) captured = uint32_t(size - at);
        std::vector<uint8_t> frame(data + at, data + at + captured);
        at += captured;
        t_ms += step;
        hscap::FrameHeader h{int32_t(t_ms / 1000), int32_t((t_ms % 1000 + 1000) % 1000 * 1000), captured, wire};
        netif_frame(net, &h, frame.empty() ? nullptr : frame.data());
        if (++frames % 16 == 0) net_refresh(net);
    }
    net_refresh(net);
    (void)netif_load(net);
    return 0;
}
