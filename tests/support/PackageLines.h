#pragma once
// Package records as the tests compare them: one "key|name|version|publisher" each.
#include <string>
#include <vector>

#include "platform/linux/packages/PackageRecord.h"

namespace velmora::testing {

inline std::vector<std::string> PackageLines(const PackageRecords& records) {
    std::vector<std::string> lines;
    for (const auto& r : records)
        lines.push_back(std::string(r.key).append("|").append(r.name).append("|").append(r.version).append("|").append(
            r.publisher));
    return lines;
}

}  // namespace velmora::testing
