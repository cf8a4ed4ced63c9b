#include "shell/shell.h"

#include <cstdio>
#include <mutex>

#include "base/message.h"
#include "base/netaddr.h"
#include "model/engine.h"
#include "model/net.h"
#include "model/runtime.h"
#include "shell/settings.h"
#include "shell/startup_steps.h"

namespace {

constexpr char kErrorTitle[] = "Hopscope Error";

}  // namespace

ShellState& shell_state() {
    static ShellState s;
    return s;
}

unsigned shell_validate_adapter(unsigned index, int count, hscap::Adapter* const* adapters) {
    if (count < 1 || !adapters) return 0;
    if (index >= static_cast<unsigned>(count) || adapters[index]->network_type < 0) {
        message_show(kErrorTitle, "The default adapter is currently invalid", MessageIcon::Error);
        return 0;
    }
    if (adapters[index]->network_type > 0)
        message_show(kErrorTitle, "The default adapter is using an unsupported network type", MessageIcon::Error);
    return index;
}

std::string shell_window_title(const hscap::Adapter* adapter) {
    if (!adapter) return kProductName;
    char buf[16 + 2 * hscap::kAdapterText + sizeof kProductName];
    std::snprintf(buf, sizeof buf, kTitleFormat, kProductName, adapter->name, adapter->description);
    return buf;
}

const hscap::Adapter* shell_current_adapter() {
    const ShellState& st = shell_state();
    const auto index = static_cast<unsigned>(settings().interface.load());
    if (!st.adapters || index >= static_cast<unsigned>(st.adapter_count)) return nullptr;
    return st.adapters[index];
}

void shell_open_adapter(unsigned index) {
    ShellState& st = shell_state();
    if (!st.adapters || index >= static_cast<unsigned>(st.adapter_count)) return;
    const char* name = hscap::pcap_if_name(st.adapters[index]);
    // Opening may take a while (a live adapter); the capture thread goes on meanwhile.
    st.errbuf[0] = '\0';
    hscap::Handle* fresh =
        hscap::pcap_open_live(name, settings().snaplen.load(), 1, kReadTimeoutMs, st.errbuf);
    st.open_failure = fresh ? std::string() : shell_open_failure_text(name, st.errbuf);
    const char* filter = settings().filter;
    if (fresh && *filter && !st.filter_failed) {
        char err[hscap::kErrbufSize] = {};
        if (hscap::set_filter(fresh, filter, err) != 0) {
            st.filter_failed = true;
            message_show(kErrorTitle, (std::string(err) + "; capturing without a filter").c_str(), MessageIcon::Error);
        }
    }
    // A pass waiting for frames on the old handle ends now rather than at its time-out.
    // Only this thread changes the handle, so reading it here needs no lock.
    hscap::interrupt(st.capture.handle);
    hscap::Handle* old;
    {
        // Between two passes: the handle and the current network change together.
        std::lock_guard<std::mutex> lock(st.capture.handle_mutex);
        old = st.capture.handle;
        st.capture.handle = fresh;
        net_set_current(net_find(name));
    }
    st.capture.wake.notify_all();
    // The capture thread no longer holds the old handle: it reads the handle afresh under
    // the lock at the start of every pass.
    hscap::pcap_close(old);
    settings().interface.store(static_cast<int>(index));
}

std::string shell_open_failure_text(const char* name, const char* reason) {
    const std::string adapter = name ? name : "";
    std::string r = reason && *reason ? reason : "no reason given";
    if (!adapter.empty() && r.rfind(adapter + ": ", 0) == 0) r.erase(0, adapter.size() + 2);  // named once is enough
    while (!r.empty() && (r.back() == '.' || r.back() == ' ' || r.back() == '\n')) r.pop_back();
    std::string text = "Cannot capture on " + adapter + ": " + r + ". ";
    const bool rights = hscap::missing_rights(r.c_str());
    if (rights)
        text += "Live capture needs the cap_net_raw capability (see \"Live capture permissions\" in Help Topics "
                "and the README), or open a capture file: hopscope FILE.pcap";
    else
        text += "Choose another adapter (File > Choose Adapter), or open a capture file: hopscope FILE.pcap";
    return text;
}

void shell_start_threads() {
    ShellState& st = shell_state();
    StartupSteps& steps = startup_steps();
    st.capture.stop.store(false);
    st.capture.hooks = steps.capture_hooks;
    st.capture_worker = std::thread(capture_thread, &st.capture);
    startup_call(steps.start_resolver);
    startup_call(steps.start_alarm_thread);
}

void shell_stop_capture() {
    ShellState& st = shell_state();
    st.capture.stop.store(true);  // no new pass from now on
    hscap::interrupt(st.capture.handle);
    capture_signal_stop(&st.capture);
    if (st.capture_worker.joinable()) st.capture_worker.join();
    startup_call(startup_steps().stop_workers);
    hscap::pcap_close(capture_swap_handle(&st.capture, nullptr));
}

int shell_interface_to_save(int current, int file_count, int saved) {
    if (file_count <= 0) return current;
    if (current >= 0 && current < file_count) return saved;
    return current - file_count;
}

void shell_save_settings() {
    ShellState& st = shell_state();
    Settings& s = settings();
    s.interface.store(shell_interface_to_save(s.interface.load(), st.file_count, st.saved_interface));
    default_save(st.settings_path.c_str());
}

int shell_startup(const std::vector<std::string>& capture_files, const std::string& settings_path,
                  const std::string* filter) {
    ShellState& st = shell_state();
    StartupSteps& steps = startup_steps();
    Settings& s = settings();
    st.settings_path = settings_path;
    st.filter_failed = false;

    default_load(settings_path.c_str());                  // 1. settings
    if (filter) std::snprintf(s.filter, sizeof s.filter, "%s", filter->c_str());
    engine_reset();                                       // 2, 3. address types, list of networks
    startup_call(steps.hostc_init);                       // 4. name service
    startup_call(steps.alarm_init);                       // 5. alarm engine
    st.start_time = std::time(nullptr);                   // 6. start time
    runtime_record_start();                               //    (the time the reports print)
    const bool tree = steps.load_protocols && steps.load_protocols(s.protocols);  // 7. protocol tree
    startup_call(steps.load_alarms, s.alarms);            // 8. alarms
    if (!tree) {                                          // 9.
        std::fputs("emand: invalid pdl file \n", stdout);
        std::fflush(stdout);
        return kFatalStartupStatus;
    }
    netaddr_startup();                              // 10. a fresh address-type table
    startup_call(steps.read_names, s.ethers, s.manufacturers);  // 11. name files
    startup_call(steps.start_graphics);             // 12. drawing library
    if (steps.load_font && !steps.load_font()) {    // 13. stroke font
        message_show(kProductName, "Couldn't find font data!", MessageIcon::Warning);
        return kFatalStartupStatus;
    }
    startup_call(steps.text_size, model_settings().font_scale.load());  // 14.

    // Capture files named on the command line head the adapter list.
    st.file_count = 0;
    for (const std::string& path : capture_files) {
        char err[hscap::kErrbufSize] = {};
        if (hscap::add_capture_file(path.c_str(), hscap::Pace::Recorded, true, err) != 0) {
            // The capture library's text starts with the path, often twice.
            std::string why = err;
            for (const std::string prefix = path + ": "; why.rfind(prefix, 0) == 0;) why.erase(0, prefix.size());
            const std::string text = "Cannot open the capture file " + path + ": " + why;
            std::fprintf(stderr, "hopscope: %s\n", text.c_str());
            message_show(kErrorTitle, text.c_str(), MessageIcon::Error);
            return kCaptureFileStatus;
        }
        ++st.file_count;
    }
    hscap::pcap_init();  // 15. adapter list
    st.adapters = hscap::pcap_lookupdevs(st.errbuf);
    st.adapter_count = hscap::pcap_get_interface_count();
    if (st.adapter_count < 1) {  // 16.
        message_show(kErrorTitle, "Cannot find any valid network adapters", MessageIcon::Error);
        return kFatalStartupStatus;
    }
    for (int i = 0; i < st.adapter_count; ++i)  // 17. one network per adapter
        net_list_add(net_create(hscap::pcap_if_name(st.adapters[i])));

    // A capture file named on the command line is what the user asked to see: the first
    // one is opened, and the saved adapter is kept for the next run.
    st.saved_interface = s.interface.load();
    if (st.file_count > 0) s.interface.store(0);
    const unsigned index =  // 18. adapter validation
        shell_validate_adapter(static_cast<unsigned>(s.interface.load()), st.adapter_count, st.adapters);
    shell_open_adapter(index);  // 19, 20. open it; its network is current

    startup_call(steps.read_focus, s.cfdump, s.focus);  // 21. focus
    // 22. window classes and the open-window list: the main window's side.
    startup_call(steps.build_palette);  // 23. logical palette
    shell_start_threads();   // 24. stop event and worker threads
    return 0;
}
