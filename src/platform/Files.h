#pragma once
// Files family: the two existence tests, line input of a text file, and the
// open-append-close that the call log uses. Paths are Windows-style texts.
#include <memory>
#include <string>
#include <string_view>

#include "base/String.h"

namespace velmora {

enum class FileMarks {
    NormalOnly,       // files with neither the hidden nor the system mark
    HiddenAndSystem,  // any file, marked hidden or system or not
};

// Line input over one opened text file. A line ends at CR LF or at a lone CR; the
// end mark is not part of the line and a lone LF stays inside it.
class ILineInput {
public:
    virtual ~ILineInput() = default;
    virtual bool AtEnd() const = 0;
    // The next line's bytes in the ANSI code page; false if no line is left.
    virtual bool ReadLine(std::string& line) = 0;
};

class IFiles {
public:
    virtual ~IFiles() = default;
    // A file (not a folder) at `path` whose marks `admit` allows.
    virtual bool FileExists(const String& path, FileMarks admit) = 0;
    // Opens a text file for line input; nullptr if it cannot be opened or read.
    virtual std::unique_ptr<ILineInput> OpenLineInput(const String& path) = 0;
    // Opens `path` for appending (creating it), writes `bytes` as one append, closes.
    // False if any step failed; a failed open writes nothing.
    virtual bool AppendToFile(const String& path, std::string_view bytes) = 0;
};

}  // namespace velmora
