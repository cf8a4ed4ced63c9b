// Reads arbitrary bytes as a capture file through the capture layer and the capture
// pass, as the replay tool does.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "base/message.h"
#include "model/engine.h"
#include "model/net.h"
#include "model/netif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        engine_reset();
        message_set_sink([](const std::string&, const std::string&, MessageIcon) {});
        return true;
    }();
    (void)ready;
    static const std::string path = "/tmp/hopscope-fuzz-capture-" + std::to_string(getpid()) + ".pcap";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    hscap::reset_sources();
    char err[hscap::kErrbufSize] = {};
    if (hscap::add_capture_file(path.c_str(), hscap::Pace::Fastest, false, err) != 0) return 0;
    hscap::Adapter** list = hscap::pcap_lookupdevs(err);
    if (!list[0]) return 0;
    hscap::Handle* h = hscap::pcap_open_live(hscap::pcap_if_name(list[0]), 65535, 1, 600, err);
    if (!h) return 0;
    // Model records are never freed, so one network serves every input.
    static Network* net = net_create("fuzz");
    CaptureContext ctx;
    for (int pass = 0; pass < 1000 && !hscap::finished(h); ++pass)
        if (capture_pass(&ctx, net, h) < 0) break;
    hscap::pcap_close(h);
    return 0;
}
