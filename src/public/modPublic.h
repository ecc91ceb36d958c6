#pragma once
// Module-level procedures shared by the public classes.
#include <cstdint>

#include "base/String.h"
#include "platform/Platform.h"

namespace velmora {

// Appends one two-line entry to the call log beside the library file. Never fails
// visibly: whatever goes wrong, the entry (or its rest) is simply lost.
void WriteLog(Platform& platform, const String& message, int16_t code, const String& name) noexcept;

// The entry as text, exactly as it is written (before conversion to the file's code page).
String FormatLogEntry(const LocalTime& time, const String& message, int16_t code, const String& name);

// The log file's path: the library's folder followed by "\Dovrell.log"; empty when
// that folder cannot be found.
String LogFilePath(Platform& platform);

}  // namespace velmora
