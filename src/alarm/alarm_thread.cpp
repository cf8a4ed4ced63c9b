// The alarm thread and what performing a firing does.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "alarm/alarm.h"
#include "alarm/engine_state.h"
#include "base/spawn.h"
#include "model/net.h"
#include "model/topn.h"

extern char** environ;

namespace {

// Performs one event whose alarm still exists.
void perform(AlarmEngine& e, Alarm& a, const AlarmEvent& event) {
    const AlarmActions& act = e.actions;
    if (act.output) act.output(a, event);
    alarm_record_activation(&a, event.time);
    if (a.play_wave && !a.wave_file.empty() && act.play_wave) act.play_wave(a.wave_file);
    if (a.run_command && !a.command.empty() && act.run_command) act.run_command(a);
    std::lock_guard lock(e.mutex);
    // One ranking for every network: the current one shows it from its first firing.
    if (Network* network = net_current(); network && !network->top_alarms) network->top_alarms = e.top;
    if (!a.retired) topn_offer(e.top, &a);
}

// Says once that firings went uncounted in the output: the counts stay exact.
void report_overflow(AlarmEngine& e) {
    static std::atomic<bool> said{false};
    if (!e.overflowed.exchange(false, std::memory_order_relaxed) || said.exchange(true)) return;
    std::printf("alarm_thread: Warning - alarms fire faster than they can be shown; firings beyond %zu waiting "
                "are counted but not performed\n",
                kAlarmQueueCapacity);
    std::fflush(stdout);
}

}  // namespace

size_t alarm_perform_queued(size_t limit) {
    AlarmEngine& e = alarm_engine();
    size_t done = 0;
    AlarmEvent event;
    for (size_t taken = 0; taken < limit && e.queue.pop(&event); ++taken) {
        if (const std::shared_ptr<Alarm> alarm = event.alarm.lock()) {
            perform(e, *alarm, event);
            ++done;
        }
        event.alarm.reset();
    }
    report_overflow(e);
    return done;
}

void alarm_thread() {
    AlarmEngine& e = alarm_engine();
    uint32_t seen = 0;
    for (;;) {
        e.fired.wait(seen, std::memory_order_acquire);
        if (e.stop.load()) return;
        // Clearing the signal first: whatever is queued from now on sets it again, so the
        // next wait returns at once and no event waits for a later firing.
        seen = e.fired.load(std::memory_order_acquire);
        // The batch is what waits now; whatever comes meanwhile is the next one.
        const size_t batch = e.queue.count();
        if (batch == 0) continue;  // already performed in the batch before
        if (e.actions.beep) e.actions.beep();
        (void)alarm_perform_queued(batch);
        std::this_thread::yield();
    }
}

void alarm_thread_start() {
    AlarmEngine& e = alarm_engine();
    if (e.thread.joinable()) return;
    {
        // Every network shows the one ranking, from before its first firing.
        std::lock_guard lock(e.mutex);
        net_for_each_network([&](Network* network) { network->top_alarms = e.top; });
    }
    e.stop.store(false);
    e.thread = std::thread(alarm_thread);
}

void alarm_stop() {
    AlarmEngine& e = alarm_engine();
    if (!e.thread.joinable()) return;
    e.stop.store(true);
    alarm_signal(e);
    e.thread.join();
}

void alarm_set_actions(AlarmActions actions) { alarm_engine().actions = std::move(actions); }

AlarmActions alarm_default_actions() {
    AlarmActions a;
    a.run_command = [](Alarm& alarm) { (void)alarm_start_command(alarm); };
    return a;
}

std::vector<std::string> alarm_command_words(const std::string& command) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false;
    char quote = 0;
    for (const char c : command) {
        if (quote) {
            if (c == quote) quote = 0;
            else word.push_back(c);
        } else if (c == '"' || c == '\'') {
            quote = c;
            in_word = true;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (in_word) words.push_back(std::move(word));
            word.clear();
            in_word = false;
        } else {
            word.push_back(c);
            in_word = true;
        }
    }
    if (in_word) words.push_back(std::move(word));
    return words;
}

int alarm_start_command(Alarm& alarm) {
    if (alarm.command_pid > 0) {
        // Reaped here, so a finished command leaves no process entry behind.
        const pid_t r = ::waitpid(alarm.command_pid, nullptr, WNOHANG);
        if (r == 0) return 0;  // still running
        alarm.command_pid = 0;
    }
    std::vector<std::string> words = alarm_command_words(alarm.command);
    if (words.empty()) return -1;
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    // The command starts with the default signal handling, whatever this process blocks.
    pid_t pid = 0;
    if (spawn_with_default_signals(&pid, argv[0], nullptr, argv.data(), environ, true) != 0)
        return -1;  // failure to start is ignored
    alarm.command_pid = pid;
    return 1;
}
