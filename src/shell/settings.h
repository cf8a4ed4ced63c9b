// Settings: the program's configuration, kept in one registry-style key that lives in a
// file (see regfile.h). Read once as the first step of start-up, changed in memory by
// the menus, panels and list windows, written back once during shutdown.
//
// Each value lives in the record of the subsystem that reads it, and the settings
// table (settings.cpp) binds each key to its field there: "node timeout", "link
// timeout" and "font size" to the model's (ModelSettings, model/net.h), the map's
// scales and display flags to the map's (MapSettings, display/map_settings.h), "output
// 0" and "output 1" to the alarm output window's (AlarmOutputSettings, alarm/output.h),
// the list windows' sizes and column widths ("wnode", "wnet", "host", "link", "alarm")
// to the lists' (ListWindowSettings, lists/lists.h), the rest to the shell's record below. Nothing copies them from one record to another.
//
// Where the key file is: the path in the environment variable HOPSCOPE_SETTINGS, else
// $XDG_CONFIG_HOME/hopscope/hopscope.reg, else $HOME/.config/hopscope/hopscope.reg.
// default_load never creates the key file: on the program's first start
// shell_prepare_user_key (user_key.h) creates it from the installed defaults, as an
// installer would.
//
// Threads: load and save run on the window thread. Numbers and integers are atomics, so
// the capture-and-draw thread may read them while the window thread changes them. Text
// values are read and written on the window thread only.
#pragma once

#include <atomic>
#include <string>


inline constexpr int kSettingText = 260;  // bytes of a text setting's buffer, with its NUL
inline constexpr const char kSettingsKeyName[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmar Software\\Hopscope\\1.3";
inline constexpr const char kSettingsEnv[] = "HOPSCOPE_SETTINGS";

struct Settings {
    // Text: paths of the data files and the name of the current custom focus.
    char ethers[kSettingText] = {};
    char manufacturers[kSettingText] = {};
    char cfdump[kSettingText] = {};
    char alarms[kSettingText] = {};
    char protocols[kSettingText] = {};
    char dbpath[kSettingText] = {};  // read and created, never used nor saved
    char focus[kSettingText] = {};

    // A number stored as text.
    std::atomic<double> net_size{0};  // read and created, never used nor saved

    // 32-bit integers.
    std::atomic<int> snaplen{0};
    std::atomic<int> interface{0};  // index of the current adapter in the adapter list

    // Text, after the integers: the capture filter (libpcap's filter syntax) every
    // adapter and capture file is opened with; empty: every frame.
    char filter[kSettingText] = {};
};

// The shell's settings record.
Settings& settings();

// The key file's path, as described above. Empty when no directory can be found.
[[nodiscard]] std::string default_key_path();

// Clears every setting, in every record the table binds, to 0 or the empty text: the
// state before the load.
void default_clear();

// Reads the settings from the key file. Every setting is first cleared; then, when the
// file exists, is a regular file open for reading and writing and is a key file, each
// value is read in its form and a missing or unreadable value is created in the key
// with its default. Returns 1 when the key was read, 0 when it could not be opened (the
// settings then stay 0 and empty, and nothing is created).
int default_load(const char* key_path);

// Writes the settings back into an existing key file. Returns 1 when written, 0 when the
// key could not be opened or written (nothing is reported; the run's changes are lost).
int default_save(const char* key_path);
