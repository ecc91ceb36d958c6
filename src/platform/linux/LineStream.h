#pragma once
// Reads a text file a line at a time with a bounded line buffer, so a file of any
// size, or one enormous line, costs a fixed amount of memory.
#include <functional>
#include <string>
#include <string_view>

namespace velmora {

// Lines longer than this are handed over cut to this length and marked overlong.
inline constexpr size_t kMaxStreamLine = 4096;

// Calls `visit` for each line (without its LF) until it answers false or the file
// ends; a last line without LF counts. False if the file cannot be opened or read.
bool ForEachLine(const std::string& path, const std::function<bool(std::string_view line, bool overlong)>& visit);

}  // namespace velmora
