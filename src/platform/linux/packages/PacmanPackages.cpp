// pacman's local database: one folder per package, its "desc" in blocks of a %KEY% line,
// the values one per line, and an empty line (alpm-db-desc(5)).
#include <algorithm>
#include <iterator>

#include "platform/linux/packages/PackageFiles.h"
#include "platform/linux/packages/PackageReaders.h"
#include "platform/linux/SysFiles.h"

namespace velmora {
namespace {

struct Desc {
    enum Field { kName, kVersion, kPackager, kOther };
    Field field = kOther;
    bool inBlock = false;
    std::string values[kOther];  // the first value of each key wanted
    bool taken[kOther] = {};

    bool Take(std::string_view line, bool overlong) {
        line = TrimBlanks(line);
        if (line.empty() && !overlong) {
            inBlock = false;
            return true;
        }
        if (!inBlock) {
            // A block starts with its key; the format is versioned, so keys not known are passed over.
            inBlock = true;
            static constexpr std::string_view kKeys[kOther] = {"%NAME%", "%VERSION%", "%PACKAGER%"};
            field = static_cast<Field>(std::find(std::begin(kKeys), std::end(kKeys), line) - std::begin(kKeys));
            return true;
        }
        if (field != kOther && !taken[field]) {
            taken[field] = true;
            if (!overlong) values[field] = RecordText(line);  // a damaged value is left out
        }
        return !(taken[kName] && taken[kVersion] && taken[kPackager]);  // the rest is not wanted
    }
};

}  // namespace

bool ReadPacmanPackages(const std::string& root, PackageRecords& records) {
    const std::string local = root + "var/lib/pacman/local/";
    const auto folders = SortedFolderNames(local);
    if (!folders) return false;
    SourceRecords source(records);
    for (const auto& folder : *folders) {
        if (source.Full()) break;
        // ALPM_DB_VERSION is a file, so it has no desc; neither has an entry being written yet.
        Desc desc;
        const FileRead read = ReadFileLines(local + folder + "/desc", [&](std::string_view line, bool overlong) {
            return desc.Take(line, overlong);
        });
        if (read == FileRead::Failed) return false;
        // A desc cut before its name and version (half-written or damaged) is no entry.
        if (read == FileRead::Skipped || desc.values[Desc::kName].empty() || desc.values[Desc::kVersion].empty())
            continue;
        source.Add({folder, desc.values[Desc::kName], desc.values[Desc::kVersion], desc.values[Desc::kPackager]});
    }
    source.AppendTo(records);
    return true;
}

}  // namespace velmora
