#include "lists/lists.h"

#include <cstdio>

namespace {

const ListKindInfo kKinds[kListKinds] = {
    {ListKind::host_list, "hostlist", "Host List", 20150, 21154, 21153, "WNETPOPUPMENU", "wnet", 6,
     {"MAC Address", "Host Name", "Total Bytes Sent", "Bytes/Sec", "Total Packets Sent", "Packets/Sec"},
     {150, 150, 150, 150, 150, 150}, 400, 200, true},
    {ListKind::host_watch, "hostwatch", "%s : %s", 20042, 21044, 21043, "WNODEPOPUPMENU", "wnode", 5,
     {"Dest MAC", "Dest Name", "Protocol", "Bytes Total", "Packet Total"}, {150, 150, 150, 150, 150}, 400, 200,
     false},
    {ListKind::top_hosts, "tophostlist", "Top Hosts", 21062, 21064, 21063, "HOSTPOPUPMENU", "host", 2,
     {"Host", "Total Bytes Sent"}, {200, 200}, 200, 200, true},
    {ListKind::top_links, "toplinklist", "Top Links", 20092, 21094, 21093, "LINKPOPUPMENU", "link", 3,
     {"Source", "Destination", "Bytes"}, {150, 150, 150}, 400, 200, true},
    {ListKind::top_alarms, "topalarmlist", "Top Alarms", 22062, 22064, 22063, nullptr, "alarm", 2,
     {"Notify String", "Events"}, {150, 150}, 400, 200, true},
};

ListWindowSettings g_settings[kListKinds];

}  // namespace

const ListKindInfo& list_kind_info(ListKind kind) { return kKinds[static_cast<int>(kind)]; }
ListWindowSettings& list_window_settings(ListKind kind) { return g_settings[static_cast<int>(kind)]; }

std::string list_watch_title(const char* address_text, const char* name) {
    std::string t = address_text ? address_text : "(null)";
    t += " : ";
    t += name ? name : "(null)";
    return t;
}

void list_frame_start(ListFrame* frame, std::string* title) {
    frame->countdown = kListRefreshSeconds;
    *title += kListStartSuffix;
}

void list_frame_replace_suffix(std::string* title, const char* suffix) {
    title->resize(title->size() > kListSuffixCut ? title->size() - kListSuffixCut : 0);
    *title += suffix;
}

std::string list_frame_next_update(int countdown) {
    char buf[48];
    std::snprintf(buf, sizeof buf, " next update: %02d:%02d", countdown / 60, countdown % 60);
    return buf;
}
