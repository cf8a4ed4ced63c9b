// Loads arbitrary bytes as an alarm file against the shipped protocol tree, with the
// name service's thread answering every request (a resolver that knows no name). What
// loads must write out to a text that loads whole and writes out the same again: every
// file the program writes reads back to the same alarms.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

#include "alarm/adl.h"
#include "model/names/hostc.h"
#include "base/message.h"
#include "base/netaddr.h"
#include "protocol/pdl.h"

namespace {

bool start() {
    message_set_sink([](const std::string&, const std::string&, MessageIcon) {});
    if (!std::freopen("/dev/null", "w", stdout)) return false;
    netaddr_startup();
    hostc_init();
    SystemResolver none;
    none.by_name = [](const char*, HostRecord*) { return false; };
    none.by_address = [](const uint8_t*, int, int, HostRecord*) { return false; };
    none.station_of = [](const uint8_t*, int, int, uint8_t*) { return false; };
    (void)hostc_set_resolver(none);
    if (!pdl_parse(HOPSCOPE_DATA_DIR "/protocol.pdl")) std::abort();
    static std::thread resolver;
    resolver = std::thread(hostc_resolve);
    // The thread must be gone before the name service's globals are destroyed.
    std::atexit([] {
        hostc_stop();
        resolver.join();
    });
    return true;
}

// Waits until the requests of this input are answered, so that none is left queued.
void drain() {
    std::promise<void> done;
    NetAddress mark;
    const uint8_t bytes[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    ether_set(&mark, bytes);
    if (hostc_request_ether(&mark, [](const NameEntry*, void* p, void*) { static_cast<std::promise<void>*>(p)->set_value(); },
                            &done, nullptr) == 1)
        done.get_future().wait();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = start();
    (void)ready;
    AlarmList list;
    (void)adl_parse_bytes(reinterpret_cast<const char*>(data), size, &list);
    const std::string text = alarm_dump_text(list);
    AlarmList again;
    if (adl_parse_bytes(text.data(), text.size(), &again) != kAdlWhole) std::abort();
    if (alarm_dump_text(again) != text) std::abort();
    drain();
    return 0;
}
