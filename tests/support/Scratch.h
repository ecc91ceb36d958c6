#pragma once
// Scratch folders, whole-file reads and command output for the tests of the real Linux backend: fake
// /sys, /proc and /etc trees are written here and removed again.
#include <stdio.h>
#include <stdlib.h>

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
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char chunk[4096];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
        ::pclose(pipe);
    }
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

class ScratchTree {
public:
    ScratchTree() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~ScratchTree() { std::filesystem::remove_all(path_); }
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
