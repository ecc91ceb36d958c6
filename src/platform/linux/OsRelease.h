#pragma once
// os-release, where Linux names itself: the name that the version family answers
// for a system that is not Windows.
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The value assigned to `key` in os-release text (LF-ended lines of KEY=value), unquoted;
// nothing when the key is not assigned.
std::optional<std::string> OsReleaseValue(std::string_view text, std::string_view key);

// PRETTY_NAME of etc/os-release under `rootFolder` (ending in "/"), else of
// usr/lib/os-release; empty when neither file names it. The files are read with the
// text-file rules and limit of the files family.
std::string OsReleaseName(const std::string& rootFolder);

}  // namespace velmora
