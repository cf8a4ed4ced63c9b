// The per-user settings key of an installed program: created on the first start from
// the installed defaults, as an installer would, and checked before the load so that a
// key that cannot serve is named in a clear message rather than showing up later as a
// protocol file without a name.
//
// The key created holds the data paths only; the load adds every other value with its
// default. The shipped files (protocol tree, manufacturers, local names) are read where
// they are installed (base/datadir.h); the files the program rewrites at exit (alarm
// file, custom focus file) are the user's own copies, made from the shipped ones in the
// per-user data directory: $XDG_DATA_HOME/hopscope, else ~/.local/share/hopscope.
#pragma once

#include <string>

enum class UserKeyStatus {
    ready,          // the key file is there and reads as a key
    created,        // it was missing and has been created from the defaults
    no_path,        // no key path (no home directory)
    cannot_create,  // missing, and it could not be created
    unreadable,     // there, but not a regular file that opens for reading and writing
    damaged,        // there, but not a settings key
};

// The per-user data directory (without a trailing '/'); empty without a home directory.
[[nodiscard]] std::string user_data_dir();

// The text of a fresh key: "ethers", "manufacturers" and "protocols" in `data_dir`, the
// "alarms" and "cfdump" files in `user_dir`, "dbpath" the data directory.
[[nodiscard]] std::string user_key_text(const std::string& data_dir, const std::string& user_dir);

// Makes the key at `key_path` ready for the load: creates it (and its directory, and
// the per-user copies of the alarm and focus files, when missing) when it does not
// exist, else checks it. Every status but ready and created is reported in a message
// titled "Hopscope" that names the file, what is wrong and how to recreate it.
UserKeyStatus shell_prepare_user_key(const std::string& key_path);
