#pragma once
// A tool run to its end as a whole process with its output thrown away: how the
// benchmarks time the system's own tools beside the component.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <vector>

extern char** environ;

namespace velmora::bench {

// Starts `args` (null-terminated) with `env`, its input and output on /dev/null;
// 0 when it cannot be started. posix_spawn, not system(): a shell between would be
// timed with the tool.
inline pid_t SpawnQuiet(const std::vector<char*>& args, char* const* env) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : 0;
}

inline bool RunProcess(const std::vector<const char*>& argv) {
    std::vector<char*> args;
    for (const char* a : argv) args.push_back(const_cast<char*>(a));
    args.push_back(nullptr);
    const pid_t pid = SpawnQuiet(args, environ);
    if (pid == 0) return false;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace velmora::bench
