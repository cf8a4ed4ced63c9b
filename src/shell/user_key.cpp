#include "shell/user_key.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/datadir.h"
#include "base/file.h"
#include "base/message.h"
#include "shell/regfile.h"
#include "shell/settings.h"

namespace {

constexpr char kTitle[] = "Hopscope";
// A key file larger than this is not a settings key (as at the load).
constexpr size_t kMaxKeyFile = 4 * 1024 * 1024;

std::string home_dir() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        if (const passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir;
    }
    return home && *home ? std::string(home) : std::string();
}

// Makes the directory and its parents (mode 0700 for the ones made: they hold one
// user's settings).
bool make_dirs(const std::string& dir) {
    if (dir.empty()) return false;
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !make_dirs(dir.substr(0, slash))) return false;
    return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string parent_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// The user's copy of a shipped file, made when missing. A shipped file that cannot be
// found leaves no copy: the program starts without it, as with any missing data file.
void copy_when_missing(const std::string& name, const std::string& target) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) return;
    const std::string shipped = data_find(name);
    std::string bytes;
    if (shipped.empty() || file_read_all(shipped, &bytes) != FileRead::ok) return;
    (void)file_replace(target, bytes, ReplaceMode::create);
}

void say(const std::string& text) { message_show(kTitle, text.c_str(), MessageIcon::Warning); }

std::string recreate_hint(const std::string& key_path) {
    return "Remove " + key_path + " (or move it aside) and start Hopscope again: it creates the file anew from the installed defaults.";
}

}  // namespace

std::string user_data_dir() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') return std::string(xdg) + "/hopscope";
    const std::string home = home_dir();
    return home.empty() ? std::string() : home + "/.local/share/hopscope";
}

std::string user_key_text(const std::string& data_dir, const std::string& user_dir) {
    RegKey key;
    key.set("ethers", kRegText, data_dir + "/ethers");
    key.set("manufacturers", kRegText, data_dir + "/manf");
    key.set("cfdump", kRegText, user_dir + "/cfdump.bin");
    key.set("alarms", kRegText, user_dir + "/alarm.adl");
    key.set("protocols", kRegText, data_dir + "/protocol.pdl");
    key.set("dbpath", kRegText, data_dir + "/");
    return regfile_format(key, kSettingsKeyName);
}

UserKeyStatus shell_prepare_user_key(const std::string& key_path) {
    if (key_path.empty()) {
        say("Hopscope has no settings file: there is no home directory to keep it in. Set HOME, or name the "
            "settings file in HOPSCOPE_SETTINGS.");
        return UserKeyStatus::no_path;
    }
    struct stat st {};
    // Missing: nothing at the path (a link to nowhere is something, and is left alone).
    if (::lstat(key_path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
        const std::string data_dir = data_dir_of("protocol.pdl");
        const std::string user_dir = user_data_dir();
        if (data_dir.empty()) {
            say("Cannot create the settings file " + key_path + ": the shipped data files (protocol.pdl) are in none of " +
                data_dirs_text() + ". Reinstall Hopscope, or name its data directory in " + kDataDirEnv + ".");
            return UserKeyStatus::cannot_create;
        }
        if (!user_dir.empty() && make_dirs(user_dir)) {
            copy_when_missing("alarm.adl", user_dir + "/alarm.adl");
            copy_when_missing("cfdump.bin", user_dir + "/cfdump.bin");
        }
        const std::string text = user_key_text(data_dir, user_dir.empty() ? data_dir : user_dir);
        if (!make_dirs(parent_of(key_path)) || !file_replace(key_path, text, ReplaceMode::create)) {
            say("Cannot create the settings file " + key_path + ": " + std::strerror(errno) +
                ". Make its directory writable, or name another file in HOPSCOPE_SETTINGS.");
            return UserKeyStatus::cannot_create;
        }
        return UserKeyStatus::created;
    }
    if (::stat(key_path.c_str(), &st) != 0) st = {};  // a link to nowhere: no regular file
    std::string text;
    FileReadLimits limits;
    limits.regular_only = true;
    limits.for_writing = true;
    limits.max_size = kMaxKeyFile;
    const FileRead read = file_read_all(key_path, &text, limits);
    if (read != FileRead::ok) {
        const char* what = !S_ISREG(st.st_mode)           ? "it is not a regular file"
                           : st.st_size > off_t(kMaxKeyFile) ? "it is far too large for a settings file"
                           : !file_opens(key_path.c_str(), "rb") ? "it cannot be read"
                                                                 : "it cannot be written";
        say("The settings file " + key_path + " cannot be used: " + what + ". " + recreate_hint(key_path));
        return UserKeyStatus::unreadable;
    }
    RegKey key;
    if (regfile_parse(text, kSettingsKeyName, &key) != 1) {
        say("The settings file " + key_path + " is damaged: it does not start with REGEDIT4, so it is not a settings key. " +
            recreate_hint(key_path));
        return UserKeyStatus::damaged;
    }
    return UserKeyStatus::ready;
}
