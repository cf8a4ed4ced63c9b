// The alarm definition language: loads an alarm file into an alarm list (alarm.h) and
// writes an alarm list back as an alarm file.
//
// A file is a sequence of alarms, one a line by convention:
//   Threshold host ADDRESS LEVEL N UNIT "notify" STATE
//   Threshold link ADDRESS ADDRESS LEVEL N UNIT "notify" STATE
//   Threshold network LEVEL N UNIT "notify" STATE
//   Threshold protocol PROTOCOL [LEVEL N UNIT] "notify" STATE
//   Occurrence host ADDRESS "notify" STATE
//   Occurrence link ADDRESS ADDRESS "notify" STATE
//   Occurrence network ADDRESS "notify" STATE
//   Occurrence protocol PROTOCOL "notify" STATE
//   Occurrence URL "url" "notify" STATE
// LEVEL: high | low. UNIT: pkts | kbytes | bandwidth. STATE: ON | OFF.
// ADDRESS: an Ethernet address (six groups of two hexadecimal digits joined by ':'),
// an IP address (N.N.N.N, or ::N.N.N.N), a quoted host name, or the words
// <host unknown> (an end without an address). PROTOCOL: a name of the protocol name
// table (protocol/symbol.h), or the words <protocol unknown>.
// Numbers are decimal, read modulo 2^32. Strings have no escapes and may span lines;
// carriage returns right before a line feed are not part of them.
// Comments run from "/*" to the next "*/". Keywords are case-sensitive.
//
// Beyond the plain grammar the reader accepts exactly what the writer may produce for
// alarms that grammar cannot express, so that every file written reads back to the
// same alarms: "<host unknown>" for an end without an address, "<protocol unknown>"
// for a protocol alarm without a protocol, the level, value and unit of a threshold
// protocol alarm, and a protocol whose name is also a keyword of this language.
//
// What loading builds:
//   - one Alarm per alarm, appended to the list once its state keyword is read;
//   - each address end is looked up at once: an Ethernet address in the local names by
//     address, a name in the local names by text and then among the name service's
//     resolver names. Without an answer, the end is requested from the name service
//     (by Ethernet address, or by name) once the alarm is complete; the reply fills the
//     end on the resolver thread (a name the local names know by then wins over the
//     system resolver's answer). A network occurrence address is only looked up. For a
//     host or network occurrence alarm an answer found at once fills both references;
//   - an IP address names no station on this system, which knows Ethernet addresses
//     only: the alarm is kept, as written, with no reference, so it never binds and
//     never fires; a warning names the address and its line. So is a quoted name
//     holding a colon (an IPv6 address, say), which the name service would otherwise
//     read as a malformed Ethernet address;
//   - a "URL" alarm builds no alarm; it is kept aside in the list (UrlAlarm) and
//     written back in its place.
//
// Messages (through message_show, base/message.h):
//   - "Corvex" / "Alarm Definition Language: Could not open file %s for parsing", and
//     "adl_parse: Warning - %s not found\n" on standard output;
//   - "ADL Parse" / "parse error on line [%d]" at the first syntax error; loading stops
//     there and keeps the alarms completed before it;
//   - "ADL Parse" / "IP address %s is not supported on line [%d]" (a warning), and
//     "adl_parse: Warning - IP address %s on line %d names no Ethernet station; the
//     alarm never fires\n" on standard output; the same with "host name" for a
//     quoted name holding a colon;
//   - "Corvex" / "Could not save file %s for parsing", and "alarm_dump: Warning -
//     cannot overwrite %s\n" on standard output, when a file cannot be written.
#pragma once

#include <cstddef>
#include <string>

#include "alarm/alarm.h"

// Loads the alarm file at `path` (a backslash reads as a path separator) into the
// engine's alarm list, appending, and returns that list. Its parse_status tells whether
// the file was read whole.
[[nodiscard]] AlarmList* adl_parse(const char* path);
// The same into `list`. Returns kAdlWhole (1), kAdlStopped (0) at a syntax error, or
// kAdlUnreadable (-1) when the file cannot be opened; the list's parse_status,
// error_line and loaded_text are set accordingly.
[[nodiscard]] int adl_parse_into(const char* path, AlarmList* list);
// The same from `size` bytes in memory (no file, so no open message).
[[nodiscard]] int adl_parse_bytes(const char* data, size_t size, AlarmList* list);

// The text of the file the writer makes for `list`: for each alarm, one line made of
//   "Occurrence " or "Threshold ",
//   "host ADDRESS ", "link ADDRESS ADDRESS ", "protocol NAME ", "network " (an
//   occurrence network alarm: "network ADDRESS "),
//   threshold alarms: "high " or "low ", the value ("%u "), "pkts ", "kbytes " or
//   "bandwidth ",
//   '"', the notify string, '"', ' ', "OFF " or "ON ", "\n".
// An end with a reference whose station is known is written as that station's
// Ethernet address in upper case; any other end as it was written ("<host unknown>"
// when it has nothing). A double quote inside a notify string or a host name, which
// the language cannot hold, is written as an apostrophe; carriage returns right before
// a line feed, which the reader drops, are left out. URL alarms are written at
// their place among the alarms. Alarms of no known object type are left out.
[[nodiscard]] std::string alarm_dump_text(const AlarmList& list);

// Writes the engine's alarm list to `path`. Returns 1 when written, -1 when the file
// cannot be written; the old file is then left as it was. The new file is written
// beside the old one and renamed over it, so the file is never left half-written.
[[nodiscard]] int alarm_dump(const char* path);
[[nodiscard]] int alarm_dump(const char* path, const AlarmList& list);

// What the shutdown does with the alarm file.
struct AlarmSaveResult {
    int status = 0;      // 1 written, 0 left as it was, -1 could not be written
    std::string backup;  // where the old file was kept, when it was
};
// The alarm file at exit. A list the Alarm Builder did not change is not written: the
// file already holds the user's own text for it, comments included, and when the file
// did not load whole it holds lines the list lacks ("alarm_save_at_exit: %s did not
// load whole; it is left as it was\n" on standard output). A changed list is written
// (write-then-replace); when the old file holds anything the new one would not
// (comments, other spellings, lines after a syntax error, edits made while the program
// ran), it is kept beside it as `path`.bak (or .bak2, .bak3 ...: an older backup is
// never replaced), and "alarm_save_at_exit: the old %s is kept as %s\n" goes to
// standard output.
[[nodiscard]] AlarmSaveResult alarm_save_at_exit(const char* path);
[[nodiscard]] AlarmSaveResult alarm_save_at_exit(const char* path, const AlarmList& list);
