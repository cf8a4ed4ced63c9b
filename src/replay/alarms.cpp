#include "replay/alarms.h"

#include "alarm/adl.h"
#include "alarm/alarm.h"
#include "model/names/hostc.h"
#include "model/netif.h"

namespace {

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\r') out += "\\r";
        else if (c == '\\') out += "\\\\";
        else out.push_back(c);
    }
    return out;
}

}  // namespace

bool replay_alarms_start(const std::string& path, bool all_on, std::FILE* out) {
    alarm_init();
    AlarmList* list = adl_parse(path.c_str());
    if (list->parse_status == kAdlUnreadable) return false;
    if (all_on)
        for (const auto& a : list->alarms) a->disabled = 0;
    // Without a resolver thread the addresses of the alarms are answered here, before
    // the first frame, as the program's resolver answers them at start-up.
    (void)hostc_answer_queued();
    AlarmActions actions;
    actions.output = [out](const Alarm& alarm, const AlarmEvent& event) {
        std::fprintf(out, "%d.%06d\t%s\n", static_cast<int>(event.frame_time.seconds),
                     static_cast<int>(event.frame_time.microseconds), escaped(alarm.notify).c_str());
    };
    alarm_set_actions(actions);
    alarm_arm_all();
    return true;
}

void replay_alarms_hook(CaptureHooks* hooks) { hooks->alarm_pass = alarm_pass; }

void replay_alarms_after_pass() { (void)alarm_perform_queued(); }
