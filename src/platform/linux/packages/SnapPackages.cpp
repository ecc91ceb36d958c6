// snapd's mounted snaps: snap/NAME/current links to the revision in use, whose
// meta/snap.yaml holds the snap's top-level name and version.
#include "platform/linux/packages/PackageFiles.h"
#include "platform/linux/packages/PackageReaders.h"
#include "platform/linux/SysFiles.h"

namespace velmora {
namespace {

// A YAML scalar as snap.yaml writes one: plain (up to a comment), or quoted.
std::string Scalar(std::string_view value) {
    if (value.empty() || (value.front() != '"' && value.front() != '\''))
        return RecordText(value.substr(0, value.find(" #")));
    const char quote = value.front();
    std::string text;
    for (size_t i = 1; i < value.size(); ++i) {
        const char c = value[i];
        if (c == quote && quote == '\'' && i + 1 < value.size() && value[i + 1] == '\'') {
            text += c, ++i;  // '' stands for ' inside single quotes
        } else if (c == quote) {
            break;
        } else if (c == '\\' && quote == '"' && i + 1 < value.size()) {
            text += value[++i];  // the escapes a version can hold: \" and \\.
        } else {
            text += c;
        }
    }
    return RecordText(text);
}

}  // namespace

bool ReadSnapPackages(const std::string& root, PackageRecords& records) {
    const auto snaps = ResolveUnderRoot(root, "", "snap");
    if (!snaps) return true;
    const auto names = SortedFolderNames(root + *snaps);
    if (!names) return false;
    SourceRecords source(records);
    for (const auto& folder : *names) {
        if (source.Full()) break;
        // bin holds the snaps' commands and README explains the folder: neither is a snap.
        if (folder == "bin" || folder == "README") continue;
        const auto yaml = ResolveUnderRoot(root, *snaps, folder + "/current/meta/snap.yaml");
        if (!yaml) continue;
        std::string name, version;
        const FileRead read = ReadFileLines(root + *yaml, [&](std::string_view line, bool overlong) {
            std::string_view key, value;
            // Only top-level keys: an indented line belongs to a nested map (apps:, plugs:, ...).
            if (overlong || line.empty() || line.front() == ' ' || line.front() == '\t' ||
                !SplitAt(line, ':', key, value))
                return true;
            if (key == "name" && name.empty()) name = Scalar(value);
            if (key == "version" && version.empty()) version = Scalar(value);
            return name.empty() || version.empty();
        });
        if (read == FileRead::Failed) return false;
        if (read == FileRead::Read) source.Add({folder, name.empty() ? folder : name, version, {}});
    }
    source.AppendTo(records);
    return true;
}

}  // namespace velmora
