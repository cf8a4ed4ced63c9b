// The list windows' engine side: the five kinds of window and their constants, their
// settings (sizes and column widths), and the refresh countdown shown in the title.
// No Qt; the windows themselves are in qt/.
#pragma once

#include <atomic>
#include <string>

// The five list windows.
enum class ListKind { host_list, host_watch, top_hosts, top_links, top_alarms };
inline constexpr int kListKinds = 5;
inline constexpr int kListMaxColumns = 6;

// A kind's size and column widths, bound to the settings key by the settings table
// (shell/settings.cpp): "<prefix> 0" ... the widths, "<prefix> x" and "<prefix> y" the
// window's outer size. Read when a window opens, written when it is resized (size) and
// destroyed (widths), on the window thread; atomic like every setting.
struct ListWindowSettings {
    std::atomic<int> width[kListMaxColumns] = {};
    std::atomic<int> x{0}, y{0};
};

// Everything that does not change from one window of a kind to the next.
struct ListKindInfo {
    ListKind kind;
    const char* window_class;  // "hostlist", "hostwatch", ...
    const char* title;         // the title proper; host watch: "%s : %s" (address, name)
    int timer_id;
    int force_update_command;
    int close_command;
    const char* context_menu;  // null: none
    const char* settings_prefix;  // "wnet", "wnode", "host", "link", "alarm"
    int columns;
    const char* column_titles[kListMaxColumns];
    int default_width[kListMaxColumns];
    int default_x, default_y;
    bool single;  // at most one window of the kind is open
};

[[nodiscard]] const ListKindInfo& list_kind_info(ListKind kind);
[[nodiscard]] ListWindowSettings& list_window_settings(ListKind kind);

// Context-menu commands.
inline constexpr int kListWatchCommand = 15000;             // "Watch Node/Host/Source Traffic"
inline constexpr int kListWatchDestinationCommand = 15003;  // "Watch Destination Traffic"
inline constexpr int kListCopyAllCommand = 15010;           // "Copy all"

// The host watch window's title proper: "%s : %s" from the host's address text and
// name, "(null)" for no name.
[[nodiscard]] std::string list_watch_title(const char* address_text, const char* name);

// The refresh countdown of a list window and the suffix it keeps at the end of the
// title. The window calls list_frame_start once it has its subject, list_frame_tick
// every second and list_frame_force for "Force update".
inline constexpr int kListRefreshSeconds = 900;
inline constexpr char kListStartSuffix[] = " ** UPDATING **     ";  // 20 characters
inline constexpr char kListUpdatingSuffix[] = " ** UPDATING **    ";  // 19 characters
inline constexpr int kListSuffixCut = 19;

struct ListFrame {
    int countdown = 0;  // seconds to the next refresh
};

// countdown := 900; appends the 20-character start suffix to the title.
void list_frame_start(ListFrame* frame, std::string* title);
// One second: counts down; at 0 puts the updating suffix in place of the last 19
// characters, calls refresh() and starts again from 900; then puts
// " next update: MM:SS" in place of the last 19 characters. Returns whether it refreshed.
template <class Refresh>
bool list_frame_tick(ListFrame* frame, std::string* title, Refresh&& refresh);
// "Force update": the next tick refreshes.
inline void list_frame_force(ListFrame* frame) { frame->countdown = 0; }

// Replaces the last 19 characters of the title (all of it when shorter) by the suffix.
void list_frame_replace_suffix(std::string* title, const char* suffix);
// " next update: %02d:%02d" of the countdown.
[[nodiscard]] std::string list_frame_next_update(int countdown);

template <class Refresh>
bool list_frame_tick(ListFrame* frame, std::string* title, Refresh&& refresh) {
    bool refreshed = false;
    if (--frame->countdown <= 0) {
        list_frame_replace_suffix(title, kListUpdatingSuffix);
        refresh();
        frame->countdown = kListRefreshSeconds;
        refreshed = true;
    }
    list_frame_replace_suffix(title, list_frame_next_update(frame->countdown).c_str());
    return refreshed;
}
