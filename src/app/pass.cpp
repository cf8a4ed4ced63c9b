// One capture pass of the capture-and-draw thread, in order (model/netif.cpp runs it):
//
//   1. statistics notice   posts the Statistics panel its refresh, message 1030
//                          (shell/qt/main_window.h: shell_statistics_notice)
//   2. dispatch            up to 255 frames through the per-frame handler: model clock,
//                          classification, hosts, link, top lists, totals, tally, the
//                          frame window (model/netif.cpp, model/frame.cpp, model/ring.cpp)
//   3. statistics, load    the capture library's counts and the network load
//   4. alarm pass          PENDING (alarms): bind waiting alarms and check the armed ones
//                          (src/alarm); a firing queues an event for the alarm thread
//   5. refresh             rate averages, activity, link colours (model/net.cpp)
//   6. draw                the map into the network window's image, then a repaint
//                          request (display/display.h: display_draw), outside the pass's
//                          handle lock
#include "app/pass.h"

#include "display/display.h"
#include "display/statistics.h"
#include "shell/qt/main_window.h"

namespace {

// The Statistics figures of the pass, and a refresh posted only when none is pending.
// Before the panel exists (the first passes run before the main window) nothing is
// posted, and nothing stays pending.
void statistics_notice(Network* network) {
    if (statistics_pass(network) && !shell_statistics_notice(network)) statistics_refresh_dropped();
}

}  // namespace

CaptureHooks app_capture_hooks() {
    CaptureHooks hooks;
    hooks.statistics_notice = statistics_notice;
    hooks.alarm_pass = nullptr;  // PENDING (alarms): alarm_pass
    hooks.draw = display_draw;
    return hooks;
}
