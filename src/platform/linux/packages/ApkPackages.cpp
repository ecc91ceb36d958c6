// apk's installed database: one stanza of "X:value" lines per package, stanzas
// separated by an empty line (apk-package(5)). apk renames a new file over the old
// one, so one open sees one whole version of it.
#include "platform/linux/packages/PackageFiles.h"
#include "platform/linux/packages/PackageReaders.h"
#include "platform/linux/SysFiles.h"

namespace velmora {
namespace {

struct Stanza {
    std::string name, version, publisher;
    bool damaged = false;
};

FileRead ReadInstalled(const std::string& path, PackageRecords& records) {
    SourceRecords source(records);
    Stanza stanza;
    auto finish = [&] {
        // A stanza without its name (or with a name cut short) is no package.
        if (!stanza.damaged && !stanza.name.empty())
            source.Add({stanza.name, stanza.name, stanza.version, stanza.publisher});
        stanza = Stanza();
    };
    const FileRead read = ReadFileLines(path, [&](std::string_view line, bool overlong) {
        if (TrimBlanks(line).empty() && !overlong) {
            finish();
            return !source.Full();
        }
        if (line.size() < 2 || line[1] != ':') return true;
        const std::string_view value = line.substr(2);
        switch (line[0]) {
            case 'P':
                stanza.damaged |= overlong;
                stanza.name = RecordText(value);
                break;
            case 'V': stanza.version = overlong ? std::string() : RecordText(value); break;
            case 'm': stanza.publisher = overlong ? std::string() : RecordText(value); break;
        }
        return true;
    });
    if (read != FileRead::Read) return read;
    finish();  // a last stanza without its empty line still counts
    source.AppendTo(records);
    return read;
}

}  // namespace

bool ReadApkPackages(const std::string& root, PackageRecords& records) {
    // Alpine keeps it under /lib; Wolfi and Chimera under /usr/lib.
    for (const char* installed : {"lib/apk/db/installed", "usr/lib/apk/db/installed"}) {
        const FileRead read = ReadInstalled(root + installed, records);
        if (read != FileRead::Skipped) return read == FileRead::Read;
    }
    return true;
}

}  // namespace velmora
