// hopscope-replay --alarms FILE: the alarm engine on the replayed capture, in the same
// passes as the program, with one line a performed event on standard output:
//   SECONDS.MICROSECONDS<TAB>NOTIFY
// the frame time of the pass that fired it and the notify string (a line feed in it as
// \n, a tab as \t, a backslash as \\). No sound plays and no command starts.
#pragma once

#include <cstdio>
#include <string>

struct CaptureHooks;

// Loads the alarm file (after the protocol and name files), switches every alarm on
// when `all_on`, answers the name service's requests for its addresses and arms it;
// the events go to `out`. False when the file cannot be read (its message has been
// shown).
[[nodiscard]] bool replay_alarms_start(const std::string& path, bool all_on, std::FILE* out);
// The capture pass's alarm step, for the replay's capture context.
void replay_alarms_hook(CaptureHooks* hooks);
// Performs the firings of the pass just run (the alarm thread's work).
void replay_alarms_after_pass();
