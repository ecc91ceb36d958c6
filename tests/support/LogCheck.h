#pragma once
// Reads a call log back and checks that every entry is whole.
#include <map>
#include <string>
#include <vector>

namespace velmora::testing {

struct LogEntry {
    std::string stamp;    // "YYYY-MM-DD日 HH:MM:SS"
    std::string name;     // inside the brackets
    std::string message;  // the second line
};

// Splits log bytes into entries; false (with `problem` set) at the first line that
// is not part of a well-formed two-line entry.
bool ParseLog(const std::string& bytes, const std::string& dayMark, std::vector<LogEntry>& entries,
              std::string& problem);

}  // namespace velmora::testing
