// The Alarm Builder's text fields over arbitrary bytes: the value field (with and
// without bandwidth), the Ethernet address reading, the protocol match against the
// shipped tree's list, and the working copy's actions on a host alarm (the name service
// answers every question with nothing).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "alarm/calarm.h"
#include "base/message.h"
#include "base/netaddr.h"
#include "model/names/hostc.h"
#include "protocol/pdl.h"

namespace {

ProtocolNode* g_root = nullptr;

bool start() {
    message_set_sink([](const std::string&, const std::string&, MessageIcon) {});
    netaddr_startup();
    hostc_init();
    SystemResolver none;  // never the system's: a fuzz run asks no real resolver
    none.by_name = [](const char*, HostRecord*) { return false; };
    none.by_address = [](const uint8_t*, int, int, HostRecord*) { return false; };
    none.station_of = [](const uint8_t*, int, int, uint8_t*) { return false; };
    (void)hostc_set_resolver(none);
    g_root = pdl_parse(HOPSCOPE_DATA_DIR "/protocol.pdl");
    if (!g_root) std::abort();
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = start();
    (void)started;
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (calarm_read_value(text, true) > 100) std::abort();
    (void)calarm_read_value(text, false);
    uint8_t bytes[6];
    if (calarm_ether_text(text, bytes) && text.size() > 17) std::abort();
    static const std::vector<ProtocolEntry> entries = calarm_protocol_list(g_root);
    const int match = calarm_match_protocol(entries, text);
    if (match < -1 || match >= static_cast<int>(entries.size())) std::abort();

    AlarmList list;
    AlarmBuilderModel model(list, g_root);
    model.add_new();
    model.choose_object(kAlarmLink);
    std::string note;
    (void)model.set_end_text(1, text, &note);
    (void)model.set_end_text(2, text, &note);
    if (model.set_value_text(text).size() > 10) std::abort();
    if (model.rename(0, text).size() > static_cast<size_t>(kBuilderTextMax)) std::abort();
    model.choose_object(kAlarmProtocol);
    model.set_protocol_text(text);
    (void)model.view();
    (void)hostc_answer_queued();
    return 0;
}
