#include "platform/linux/OsRelease.h"

#include <sys/stat.h>

#include <algorithm>

#include "platform/common/BufferLineInput.h"
#include "platform/linux/SysFiles.h"

namespace velmora {
namespace {

// A shell word as os-release writes one: "..." with backslash escapes, '...' taken as is, or bare.
std::string Unquoted(std::string_view word) {
    const char quote = word.empty() ? '\0' : word.front();
    if ((quote != '"' && quote != '\'') || word.size() < 2 || word.back() != quote) return std::string(word);
    word = word.substr(1, word.size() - 2);
    if (quote == '\'') return std::string(word);
    std::string out;
    for (size_t i = 0; i < word.size(); ++i) {
        if (word[i] == '\\' && i + 1 < word.size() && std::string_view("\"\\$`").find(word[i + 1]) != std::string_view::npos)
            ++i;
        out += word[i];
    }
    return out;
}

}  // namespace

std::optional<std::string> OsReleaseValue(std::string_view text, std::string_view key) {
    std::optional<std::string> value;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.starts_with(key) || line.substr(key.size(), 1) != "=") continue;
        line.remove_prefix(key.size() + 1);
        line = TrimView(line, "", " \t");
        value = Unquoted(line);  // the last assignment wins, as when a shell sources the file
    }
    return value;
}

std::string OsReleaseName(const std::string& rootFolder) {
    for (const char* file : {"etc/os-release", "usr/lib/os-release"}) {
        const std::string path = rootFolder + file;
        struct stat st{};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        auto bytes = ReadSysFile(path, kMaxTextFileBytes, PastLimit::Refuse);
        if (!bytes) continue;
        // Line input ends lines at CR too; os-release ends them at LF, so they are joined
        // again with LF.
        BufferLineInput input(std::move(*bytes));
        std::string text, line;
        while (input.ReadLine(line)) text += line + '\n';
        if (auto name = OsReleaseValue(text, "PRETTY_NAME")) return std::move(*name);
    }
    return std::string();
}

}  // namespace velmora
