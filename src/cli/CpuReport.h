#pragma once
// velmora cpu: everything clsCpuInfo knows about this processor, or about a record
// of 13 leaves taken on another machine.
#include <string>
#include <vector>

namespace velmora::cli {

// `args` are the words after "cpu": --json, --dump, --leaves FILE.
// Exit codes: 0 reported, 1 a call failed, 2 usage error or an unusable leaves file.
int RunCpuReport(const std::vector<std::string>& args);

}  // namespace velmora::cli
