#include "platform/linux/SysFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace velmora {

std::optional<std::string> ReadSysFile(const std::string& path, size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    std::string bytes;
    char chunk[4096];
    bool ok = true;
    while (bytes.size() < limit) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) { ok = false; break; }
        if (n == 0) break;
        bytes.append(chunk, std::min(static_cast<size_t>(n), limit - bytes.size()));
    }
    ::close(fd);
    if (!ok) return std::nullopt;
    return bytes;
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

std::string TrimSpace(std::string text) {
    constexpr const char* kSpace = " \t\r\n\v\f";
    const auto isSpace = [&](char c) { return c == '\0' || std::string_view(kSpace).find(c) != std::string::npos; };
    size_t first = 0, last = text.size();
    while (first < last && isSpace(text[first])) ++first;
    while (last > first && isSpace(text[last - 1])) --last;
    return text.substr(first, last - first);
}

}  // namespace velmora
