#include "shell/fatal.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr int kGuarded[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

// Everything the handler uses is prepared before any fault: it calls only
// async-signal-safe functions (write, sigprocmask, execv, _exit).
struct FatalState {
    char program[4096] = {};
    char* dialog_argv[3] = {nullptr, nullptr, nullptr};
    bool dialog = false;
    alignas(16) char alt_stack[64 * 1024] = {};
};
FatalState g_fatal;

void put(const char* text) {
    size_t len = std::strlen(text);
    while (len > 0) {
        ssize_t n = ::write(STDERR_FILENO, text, len);
        if (n <= 0) return;
        text += n;
        len -= static_cast<size_t>(n);
    }
}

void on_fault(int, siginfo_t*, void*) {
    put(kFatalTitle);
    put(": ");
    put(kFatalText);
    put("\n");
    if (g_fatal.dialog) {
        // The new image must not start with the fault signals blocked.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execv(g_fatal.dialog_argv[0], g_fatal.dialog_argv);
    }
    _exit(kFatalExitStatus);
}

}  // namespace

void fatal_guard_install(bool show_dialog) {
    g_fatal.dialog = false;
    if (show_dialog) {
        ssize_t n = ::readlink("/proc/self/exe", g_fatal.program, sizeof g_fatal.program - 1);
        if (n > 0) {
            g_fatal.program[n] = '\0';
            g_fatal.dialog_argv[0] = g_fatal.program;
            g_fatal.dialog_argv[1] = const_cast<char*>(kFatalDialogOption);
            g_fatal.dialog = true;
        }
    }
    stack_t ss{};
    ss.ss_sp = g_fatal.alt_stack;
    ss.ss_size = sizeof g_fatal.alt_stack;
    sigaltstack(&ss, nullptr);

    struct sigaction sa {};
    sa.sa_sigaction = on_fault;
    // One go only: a fault inside the handler takes the default action and ends the
    // process instead of looping.
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    for (int sig : kGuarded) sigaddset(&sa.sa_mask, sig);
    for (int sig : kGuarded) sigaction(sig, &sa, nullptr);
}
