#include "LogCheck.h"

namespace velmora::testing {

bool ParseLog(const std::string& bytes, const std::string& dayMark, std::vector<LogEntry>& entries,
              std::string& problem) {
    // "YYYY-MM-DD" + day mark + " HH:MM:SS" + two blanks + "[" name "]" + two blanks
    const size_t stampLength = 10 + dayMark.size() + 9;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t firstEnd = bytes.find("\r\n", pos);
        const size_t secondEnd = firstEnd == std::string::npos ? firstEnd : bytes.find("\r\n", firstEnd + 2);
        if (secondEnd == std::string::npos) {
            problem = "truncated entry at byte " + std::to_string(pos);
            return false;
        }
        const std::string first = bytes.substr(pos, firstEnd - pos);
        LogEntry entry;
        entry.stamp = first.substr(0, stampLength);
        const bool shaped = first.size() >= stampLength + 6 && first.compare(10, dayMark.size(), dayMark) == 0 &&
                            first.compare(stampLength, 3, "  [") == 0 &&
                            first.compare(first.size() - 3, 3, "]  ") == 0;
        if (!shaped) {
            problem = "malformed first line at byte " + std::to_string(pos) + ": " + first;
            return false;
        }
        entry.name = first.substr(stampLength + 3, first.size() - stampLength - 6);
        entry.message = bytes.substr(firstEnd + 2, secondEnd - firstEnd - 2);
        entries.push_back(entry);
        pos = secondEnd + 2;
    }
    return true;
}

}  // namespace velmora::testing
