#include "replay/reports.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "model/runtime.h"
#include "reports/reports.h"

namespace {

std::time_t g_fixed_time = 0;
std::time_t fixed_clock() { return g_fixed_time; }

}  // namespace

void replay_fix_clock(long long seconds) {
    g_fixed_time = static_cast<std::time_t>(seconds);
    runtime_set_clock(fixed_clock);
}

bool replay_write_reports(const Network* network, const std::string& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "hopscope-replay: cannot make %s: %s\n", dir.c_str(), error.message().c_str());
        return false;
    }
    const ReportTimes times = report_times_now();
    bool ok = true;
    for (int kind = 0; kind < kReportKinds; ++kind) {
        const std::string base = (std::filesystem::path(dir) / report_info(kind).base_name).string();
        if (report_write(kind, network, base, times, nullptr) != 1) {
            std::fprintf(stderr, "hopscope-replay: cannot write %s.txt, .rtf or .html\n", base.c_str());
            ok = false;
        }
    }
    return ok;
}
