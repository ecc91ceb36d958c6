#pragma once
// velmora without arguments: the facts a person reads, grouped, each with a label.
#include <string>

namespace velmora::cli {

// Every report line fits a terminal of this width.
inline constexpr size_t kReportColumns = 80;

// The report for this machine: one call of each method it shows.
std::string Report();

}  // namespace velmora::cli
