#pragma once
// Small reads of kernel-published files (/sys, /proc, the udev database).
#include <optional>
#include <string>

namespace velmora {

// The file's bytes, at most `limit` of them; nullopt if it cannot be read.
std::optional<std::string> ReadSysFile(const std::string& path, size_t limit = 64 * 1024);
// The value of a udev database property line "E:KEY=value" for block device M:m.
std::optional<std::string> UdevProperty(const std::string& root, unsigned major, unsigned minor, const std::string& key);
// Blanks, tabs, line ends and NULs removed from both ends.
std::string TrimSpace(std::string text);

}  // namespace velmora
