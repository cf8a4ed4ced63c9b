// The program's driver, window-system side excluded: the start-up sequence up to the
// worker threads, adapter validation and switching, the capture thread's start and stop,
// and the settings save. The main window (main_window.h) does the rest.
//
// Threads: every function here runs on the window thread. The capture handle and the
// current network are changed only under the capture context's handle lock, which the
// capture thread holds for the length of each pass, so a pass never sees a handle that
// is being closed nor a network that does not match its handle.
#pragma once

#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "model/capture/capture.h"
#include "model/netif.h"

inline constexpr char kProductName[] = "Hopscope";
inline constexpr char kTitleFormat[] = "%s :    %s (%s)";
inline constexpr int kReadTimeoutMs = 600;

// Exit status of the fatal start-up errors (-1).
inline constexpr int kFatalStartupStatus = -1;
// Exit status when a capture file named on the command line cannot be opened: the
// program never falls back to live capture on a file the user asked for.
inline constexpr int kCaptureFileStatus = 2;

struct ShellState {
    hscap::Adapter** adapters = nullptr;  // null-terminated, fetched once
    int adapter_count = 0;
    // Capture files named on the command line: they head the adapter list.
    int file_count = 0;
    // The "interface" setting as loaded, kept when a capture file was opened instead.
    int saved_interface = 0;
    char errbuf[hscap::kErrbufSize] = {};  // collected, never shown
    CaptureContext capture;
    std::thread capture_worker;
    std::time_t start_time = 0;
    std::string settings_path;
    // The "filter" setting failed to compile once this run: it has been reported and
    // is not tried again on the next adapter (the setting itself is kept).
    bool filter_failed = false;
    // Why the current adapter could not be opened, for the status bar; empty when it was.
    std::string open_failure;
};

ShellState& shell_state();

// Start-up from the settings to the worker threads (everything before the main window).
// `capture_files` are registered as capture sources replayed at their recorded pace,
// looping. Returns 0, or kFatalStartupStatus after the failing step's message, or
// kCaptureFileStatus after "Cannot open the capture file ..." when one of them cannot
// be opened; nothing has been written then.
// `filter`, when given, replaces the "filter" setting right after the load (the
// command line's --filter); it is saved at exit like any setting.
int shell_startup(const std::vector<std::string>& capture_files, const std::string& settings_path,
                  const std::string* filter = nullptr);

// Checks the saved adapter index against the adapter list and returns the index to open
// (0 after "The default adapter is currently invalid"). Shows the messages of the check.
[[nodiscard]] unsigned shell_validate_adapter(unsigned index, int count, hscap::Adapter* const* adapters);

// "Hopscope :    <name> (<description>)"; "Hopscope" without an adapter.
[[nodiscard]] std::string shell_window_title(const hscap::Adapter* adapter);
// The current adapter's record, or null.
[[nodiscard]] const hscap::Adapter* shell_current_adapter();

// Opens adapter `index` with the start-up parameters and makes it, and its network,
// the capture thread's for its next pass; the previous handle is closed. A failed open
// leaves the handle null (the thread idles) and its reason in `open_failure`. Stores
// `index` as the "interface" setting. The "filter" setting is applied to the new
// handle; an expression that does not compile is reported once ("Hopscope Error",
// libpcap's message) and the capture runs unfiltered.
void shell_open_adapter(unsigned index);

// What the status bar says when adapter `name` could not be opened for the capture
// library's reason `reason`: the reason, and what the user can do about it (the rights
// live capture needs, or a capture file).
[[nodiscard]] std::string shell_open_failure_text(const char* name, const char* reason);

// Starts the capture-and-draw thread on the capture context, then the resolver and the
// alarm thread.
void shell_start_threads();
// Signals the stop event, waits for the capture thread to leave its pass and end, stops
// the other workers and closes the capture handle. Safe to call twice.
void shell_stop_capture();

// The "interface" value to save: the current index, except that capture files named on
// the command line do not count, and while one of them is open the loaded value stays.
[[nodiscard]] int shell_interface_to_save(int current, int file_count, int saved);
// Saves the settings to the key they were loaded from.
void shell_save_settings();
