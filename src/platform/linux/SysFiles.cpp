#include "platform/linux/SysFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace velmora {

ssize_t ReadRetrying(int fd, char* buffer, size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR) return n;
    }
}

std::optional<std::string> ReadBounded(int fd, size_t limit, PastLimit past) {
    std::string bytes;
    char chunk[16384];
    for (;;) {
        const ssize_t n = ReadRetrying(fd, chunk, sizeof chunk);
        if (n < 0) return std::nullopt;
        if (n == 0) return bytes;
        if (static_cast<size_t>(n) > limit - bytes.size()) {
            if (past == PastLimit::Refuse) return std::nullopt;
            bytes.append(chunk, limit - bytes.size());
            return bytes;
        }
        bytes.append(chunk, static_cast<size_t>(n));
    }
}

std::optional<std::string> ReadSysFile(const std::string& path, size_t limit, PastLimit past) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return std::nullopt;
    return ReadBounded(fd.get(), limit, past);
}

std::vector<std::string> FolderNames(const std::string& folder, size_t limit) {
    std::vector<std::string> names;
    const UniqueDir dir(::opendir(folder.c_str()));
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (entry->d_name[0] == '.' || entry->d_name[0] == '\0') continue;
        if (names.size() >= limit) break;
        names.emplace_back(entry->d_name);
    }
    return names;
}

int ProcessFd::Get(bool& opened) {
    opened = owner_ != ::getpid();
    if (opened) {
        owner_ = ::getpid();
        fd_ = open_();  // closing the inherited copy leaves the parent's open
    }
    return fd_.get();
}

std::optional<std::string> UdevProperty(const std::string& root, unsigned major, unsigned minor,
                                        const std::string& key) {
    const auto db = ReadSysFile(root + "run/udev/data/b" + std::to_string(major) + ":" + std::to_string(minor));
    if (!db) return std::nullopt;
    const std::string marker = "E:" + key + "=";
    size_t line = 0;
    while (line < db->size()) {
        size_t end = db->find('\n', line);
        if (end == std::string::npos) end = db->size();
        if (db->compare(line, marker.size(), marker) == 0)
            return db->substr(line + marker.size(), end - line - marker.size());
        line = end + 1;
    }
    return std::nullopt;
}

}  // namespace velmora
