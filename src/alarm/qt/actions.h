// What performing an alarm's firing does in the program with its windows: the beep,
// the output window's line, the sound, the command. The engine calls them on the alarm
// thread (alarm/alarm.h AlarmActions); each hands its work to the window thread by a
// queued call and returns at once.
#pragma once

#include <string>

#include "alarm/alarm.h"

// The engine's actions for the program: beep and sound on the window thread, the line
// through alarm_output_add, the command started by the engine (alarm_start_command).
[[nodiscard]] AlarmActions alarm_qt_actions();

// The system beep, from any thread. Beeps asked for faster than kBeepGapMs apart sound
// as one: an alarm that holds fires on every capture pass.
inline constexpr int kBeepGapMs = 100;
void alarm_qt_beep();

// Plays a sound file (WAV), cutting off the one still playing, from any thread. A file
// that cannot be played is ignored. Sounds asked for faster than they can start sound
// once, the newest.
void alarm_qt_play(const std::string& path);
