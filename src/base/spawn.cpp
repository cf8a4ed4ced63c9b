#include "base/spawn.h"

#include <signal.h>

int spawn_with_default_signals(pid_t* pid, const char* file, const posix_spawn_file_actions_t* actions,
                               char* const argv[], char* const envp[], bool search_path) {
    posix_spawnattr_t attr;
    if (const int rc = posix_spawnattr_init(&attr); rc != 0) return rc;
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int rc = search_path ? posix_spawnp(pid, file, actions, &attr, argv, envp)
                               : posix_spawn(pid, file, actions, &attr, argv, envp);
    posix_spawnattr_destroy(&attr);
    return rc;
}
