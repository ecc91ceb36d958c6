// velmora_whole REPS < COMMANDS: times whole processes, interleaved in one run.
// Each line of standard input is one command: NAME, then any VAR=VALUE for its
// environment, then its argv, separated by tabs. After one round of warm-up, REPS
// rounds run every command once each (the order turned by one every round, so no
// command always follows the same other), with its output thrown away. Prints per
// command the median wall time (whole/NAME, ns) and the median peak resident set
// (rss/NAME, KiB, from wait4); a command that cannot be started prints missing/NAME,
// one that exits non-zero or runs past 120 s prints exit/NAME with its status.
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "RunProcess.h"

namespace {

struct Command {
    std::string name;
    std::vector<std::string> env, argv;
    std::vector<double> wall;
    std::vector<long> rss;
    bool missing = false;
    int status = 0;  // the first non-zero exit status, or -1 for a time-out
};

constexpr int kTimeoutMs = 120000;

// One run of `c`: false when it could not be started.
bool RunOnce(Command& c, bool counted) {
    std::vector<char*> args, env;
    for (auto& a : c.argv) args.push_back(a.data());
    args.push_back(nullptr);
    for (char** e = environ; *e; ++e) env.push_back(*e);
    for (auto& e : c.env) env.push_back(e.data());
    env.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = velmora::bench::SpawnQuiet(args, env.data());
    if (pid == 0) return false;
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        if (::poll(&p, 1, kTimeoutMs) == 0) {
            ::kill(pid, SIGKILL);
            if (c.status == 0) c.status = -1;
        }
        ::close(pidfd);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (!(WIFEXITED(status) && WEXITSTATUS(status) == 0) && c.status == 0)
        c.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (counted) {
        c.wall.push_back(std::chrono::duration<double, std::nano>(end - start).count());
        c.rss.push_back(usage.ru_maxrss);
    }
    return true;
}

template <class T>
T Median(std::vector<T> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::atoi(argv[1]) : 0;
    if (argc != 2 || reps < 1) {
        std::fprintf(stderr, "usage: velmora_whole REPS < commands (NAME<TAB>[VAR=VALUE<TAB>...]ARGV...)\n");
        return 2;
    }
    std::vector<Command> commands;
    for (std::string line; std::getline(std::cin, line);) {
        std::stringstream fields(line);
        Command c;
        for (std::string field; std::getline(fields, field, '\t');) {
            if (c.name.empty()) c.name = field;
            else if (c.argv.empty() && field.find('=') != std::string::npos) c.env.push_back(field);
            else c.argv.push_back(field);
        }
        if (!c.argv.empty()) commands.push_back(std::move(c));
    }
    for (auto& c : commands) c.missing = !RunOnce(c, false);
    for (int round = 0; round < reps; ++round)
        for (size_t k = 0; k < commands.size(); ++k) {
            Command& c = commands[(k + static_cast<size_t>(round)) % commands.size()];
            if (!c.missing && c.status != -1) RunOnce(c, true);
        }
    for (const auto& c : commands) {
        if (c.missing) {
            std::printf("missing/%s\t1\n", c.name.c_str());
            continue;
        }
        if (c.status != 0) std::printf("exit/%s\t%d\n", c.name.c_str(), c.status);
        if (c.wall.empty()) continue;
        std::printf("whole/%s\t%.0f\n", c.name.c_str(), Median(c.wall));
        std::printf("rss/%s\t%ld\n", c.name.c_str(), Median(c.rss));
    }
    return 0;
}
