#pragma once
// Scratch folders, whole-file reads and command output for the tests of the real
// backends: fake /sys, /proc and /etc trees, call logs and files to read are written
// here and removed again (under Wine, in the prefix's temporary folder).
#include <stdio.h>
#include <stdlib.h>
#ifdef _WIN32
#include <process.h>
#define VELMORA_POPEN _popen
#define VELMORA_PCLOSE _pclose
#else
#include <sys/wait.h>
#include <unistd.h>
#define VELMORA_POPEN ::popen
#define VELMORA_PCLOSE ::pclose
#endif

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace velmora::testing {

inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// Standard output of a shell command, without its last newline.
inline std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = VELMORA_POPEN(command.c_str(), "r")) {
        char chunk[4096];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
        VELMORA_PCLOSE(pipe);
    }
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

#ifndef _WIN32
// The exit code of `body()` run in a forked child; -1 when the child did not exit.
template <class Body>
int InChild(Body body) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// In a child: becomes the unprivileged user nobody; false when it cannot.
inline bool BecomeNobody() { return ::setgid(65534) == 0 && ::setuid(65534) == 0; }
#endif

class ScratchTree {
public:
    ScratchTree() {
        // A new folder named after this process and a count: never one left by another run.
        static int made = 0;
        const auto temp = std::filesystem::temp_directory_path();
        do {
            path_ = temp / ("velmora-" + std::to_string(getpid()) + "-" + std::to_string(++made));
        } while (!std::filesystem::create_directory(path_));
    }
    ~ScratchTree() {
        std::error_code ignored;
        // Marks such as read-only or hidden (set by a test) do not keep a file.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchTree(const ScratchTree&) = delete;
    ScratchTree& operator=(const ScratchTree&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder as a text, without a trailing "/".
    std::string root() const { return path_.string(); }
    // Writes `bytes` to `relative` (folders made as needed) and answers the file's path.
    std::filesystem::path Write(const std::string& relative, const std::string& bytes) const {
        const auto file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        return file;
    }
    void Folder(const std::string& relative) const { std::filesystem::create_directories(path_ / relative); }

private:
    std::filesystem::path path_;
};

}  // namespace velmora::testing
