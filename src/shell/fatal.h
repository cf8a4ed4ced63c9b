// The fatal-error guard: what a processor exception does to the program.
//
// A processor exception here is a synchronous fault signal: SIGSEGV (bad memory
// access, stack overflow), SIGBUS (bad alignment, truncated mapped file), SIGFPE
// (integer division by zero) or SIGILL (illegal instruction). The program cannot go on
// after one, on any thread, so the guard ends it at once without running any of its
// own code: it never writes the custom focus file, the alarm file or the settings, and
// the kernel releases the capture handle with the process.
//
// What the user sees: "Unexpected Processor Exception: Fatal Error" on standard error,
// and, when a display is at hand, the message box "Fatal Error" titled "Unexpected
// Processor Exception": the handler replaces the failed process with a fresh copy of the
// program run with kFatalDialogOption, which only beeps, shows the box and exits. Both
// paths end with status kFatalExitStatus. A second fault inside the handler, or a failed
// exec, ends the process at once; nothing waits.
#pragma once

inline constexpr int kFatalExitStatus = 255;  // -1 as an exit status
inline constexpr char kFatalDialogOption[] = "--fatal-error";
inline constexpr char kFatalTitle[] = "Unexpected Processor Exception";
inline constexpr char kFatalText[] = "Fatal Error";

// Installs the guard for the whole process (with an alternate signal stack for the
// calling thread, so that a stack overflow there is caught too). With `show_dialog` the
// handler re-runs the program to show the message box; the program's path is taken now.
void fatal_guard_install(bool show_dialog);
