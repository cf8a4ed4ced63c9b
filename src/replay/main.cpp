// hopscope-replay: runs a capture file through the same capture layer and capture pass
// as the program (255-frame dispatches, a refresh after each), as fast as the file
// can be read, and prints what the model holds after the last frame.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "base/message.h"
#include "model/dump.h"
#include "model/engine.h"
#include "model/net.h"
#include "model/netif.h"
#include "replay/alarms.h"
#include "reports/alarm_source.h"
#include "model/runtime.h"
#include "replay/map.h"
#include "replay/options.h"
#include "replay/progress.h"
#include "replay/reports.h"

namespace {

// Says why the engine did not start, in the tool's words.
void report(EngineStatus status, const EngineOptions& o) {
    switch (status) {
        case EngineStatus::ok: break;
        case EngineStatus::no_protocol_tree:
            std::fprintf(stderr, "hopscope-replay: %s gives no protocol tree\n", o.protocols.c_str());
            break;
        case EngineStatus::ethers_unreadable:
            std::fprintf(stderr, "hopscope-replay: cannot read ethers file %s\n", o.ethers.c_str());
            break;
        case EngineStatus::manufacturers_unreadable:
            std::fprintf(stderr, "hopscope-replay: cannot read manufacturers file %s\n", o.manufacturers.c_str());
            break;
    }
}

// The capture source: the file, or the live adapter by its name. Null after a message.
const hscap::Adapter* choose_source(const ReplayOptions& o) {
    char err[hscap::kErrbufSize] = {};
    if (o.from_file && hscap::add_capture_file(o.file.c_str(), hscap::Pace::Fastest, false, err) != 0) {
        std::fprintf(stderr, "hopscope-replay: cannot read capture file %s\n", err);
        return nullptr;
    }
    hscap::pcap_init();
    hscap::Adapter** adapters = hscap::pcap_lookupdevs(err);
    const hscap::Adapter* chosen = nullptr;
    for (hscap::Adapter** a = adapters; *a; ++a)
        if (o.from_file || std::strcmp((*a)->name, o.live.c_str()) == 0) {
            chosen = *a;
            break;
        }
    if (!chosen) {
        std::fprintf(stderr, "hopscope-replay: no adapter named %s\n", o.live.c_str());
        return nullptr;
    }
    if (chosen->network_type != 0) {
        std::fprintf(stderr, "hopscope-replay: %s: not an Ethernet %s\n", chosen->name,
                     o.from_file ? "capture" : "adapter that is up");
        return nullptr;
    }
    return chosen;
}

// The tool's own output (the dump, the alarm lines) goes to the standard output it was
// started with; everything else written there (the engine's diagnostic lines) goes to
// the standard error, so that `--dump > file` holds the dump and nothing more.
std::FILE* take_standard_output() {
    std::fflush(stdout);
    const int out = ::dup(STDOUT_FILENO);
    if (out < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) return stdout;
    std::FILE* f = ::fdopen(out, "w");
    return f ? f : stdout;
}

}  // namespace

int main(int argc, char** argv) {
    ReplayOptions o;
    switch (replay_parse_options(argc, argv, &o)) {
        case ReplayParse::run: break;
        case ReplayParse::help: return 0;
        case ReplayParse::usage_error: return 2;
    }

    std::FILE* out = take_standard_output();
    bool damaged = false;
    message_set_sink([&](const std::string& title, const std::string& text, MessageIcon icon) {
        // A title that names the program ("Hopscope", "Hopscope Error") would repeat the
        // tool's own prefix; other titles say where the message comes from.
        if (title.rfind("Hopscope", 0) == 0) std::fprintf(stderr, "hopscope-replay: %s\n", text.c_str());
        else std::fprintf(stderr, "hopscope-replay: %s: %s\n", title.c_str(), text.c_str());
        if (icon != MessageIcon::Information) damaged = true;
    });

    if (o.fixed_clock) replay_fix_clock(o.clock);
    runtime_record_start();
    if (const EngineStatus status = engine_start(o.engine); status != EngineStatus::ok) {
        report(status, o.engine);
        return 1;
    }
    // Before any frame: hosts measure their labels when they are created.
    if (o.map && !replay_map_open(o.map_options)) return 1;
    const hscap::Adapter* chosen = choose_source(o);
    if (!chosen) return 1;
    if (o.max_hosts > 0) model_settings().max_hosts.store(o.max_hosts);
    Network* net = net_create(hscap::pcap_if_name(chosen));
    net_list_add(net);
    net_set_current(net);
    char err[hscap::kErrbufSize] = {};
    // Closed on every way out (the live adapter's helper ends with it).
    std::unique_ptr<hscap::Handle, void (*)(hscap::Handle*)> opened(nullptr, hscap::pcap_close);
    hscap::Handle* handle = hscap::pcap_open_live(hscap::pcap_if_name(chosen), o.from_file ? 65535 : 54, 1, 600, err);
    if (!handle) {
        std::fprintf(stderr, "hopscope-replay: cannot open %s: %s\n", o.from_file ? o.file.c_str() : o.live.c_str(),
                     err);
        if (!o.from_file && hscap::missing_rights(err))
            std::fprintf(stderr, "hopscope-replay: %s\n", hscap::rights_hint(o.live.c_str()).c_str());
        return 1;
    }
    opened.reset(handle);
    if (o.filter_given && hscap::set_filter(handle, o.filter.c_str(), err) != 0) {
        std::fprintf(stderr, "hopscope-replay: %s\n", err);
        return 2;
    }
    if (!o.from_file) std::fprintf(stderr, "capturing on %s\n", o.live.c_str());

    CaptureContext ctx;
    ctx.handle = handle;
    const bool alarms = !o.alarms.empty();
    if (alarms) {
        if (!replay_alarms_start(o.alarms, o.alarms_on, out)) return 1;
        replay_alarms_hook(&ctx.hooks);
        report_use_alarm_engine();
    }
    const auto t0 = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(); };
    LoadStatistics load;  // the peak and average load, kept as the Statistics panel keeps them
    bool failed = false;  // the source failed: a live adapter that went away
    ReplayProgress progress(o.from_file ? stderr : nullptr);
    while (!hscap::finished(handle) && (o.from_file || elapsed() < o.duration)) {
        const int n = capture_pass(&ctx, net, handle);
        if (alarms) replay_alarms_after_pass();
        if (n < 0) {
            failed = true;
            break;
        }
        if (!o.reports.empty()) load_statistics_update(&load, net);
        progress.update(elapsed(), hscap::delivered(handle), hscap::read_fraction(handle));
    }
    progress.finish();
    const double secs = elapsed();
    if (failed) {
        // capture_pass has said why (the message sink above); this says what it means.
        std::fprintf(stderr, "hopscope-replay: the capture ended early; the model holds the frames before the failure\n");
        damaged = true;
    }
    if (o.timing) {
        const auto frames = hscap::delivered(handle);
        hscap::Stats stats{};
        (void)hscap::pcap_stats(handle, &stats);
        std::fprintf(stderr, "frames\t%llu\nseconds\t%.6f\nframes_per_second\t%.0f\nreceived\t%u\ndropped\t%u\n",
                     static_cast<unsigned long long>(frames), secs, secs > 0 ? frames / secs : 0.0, stats.received,
                     stats.dropped);
    }
    if (net->unattributed_frames > 0)
        std::fprintf(stderr, "hopscope-replay: %llu frames left unattributed: the network reached its limit of %d hosts (\"max hosts\")\n",
                     static_cast<unsigned long long>(net->unattributed_frames), model_settings().max_hosts.load());
    if (o.dump) net_dump(out, net);
    if (o.map && !replay_map_write(net, o.map_options.png)) damaged = true;
    if (!o.reports.empty() && !replay_write_reports(net, o.reports)) damaged = true;
    opened.reset();
    if (std::fflush(out) != 0) {
        std::fprintf(stderr, "hopscope-replay: cannot write the standard output\n");
        damaged = true;
    }
    return damaged ? 1 : 0;
}
