// Starting another program without a shell.
#pragma once

#include <spawn.h>
#include <sys/types.h>

// posix_spawn (or posix_spawnp when `search_path`), the program starting with the default
// handling of every signal and none blocked, whatever this process does with them.
// `actions` may be null. Returns posix_spawn's result: 0, or an error number.
[[nodiscard]] int spawn_with_default_signals(pid_t* pid, const char* file, const posix_spawn_file_actions_t* actions,
                                             char* const argv[], char* const envp[], bool search_path);
