#pragma once
// How velmora writes answers: plain lines for people, JSON for programs.
#include <string>

#include "cli/Methods.h"

namespace velmora::cli {

// velmora's exit codes, for every command.
enum Exit { kOk = 0, kCallFailed = 1, kUsage = 2 };

// Writes `text` to standard output as it is.
void Print(const std::string& text);

std::string JsonString(StringView text);
// JsonString written onto the end of `out`.
void AppendJsonString(std::string& out, StringView text);
// The answer as JSON, written onto the end of `out`.
void AppendAnswerAsJson(std::string& out, const Answer& answer);
// The answer alone, as `velmora NAME` prints it (an array one element a line, index 0 left out).
std::string AnswerAsText(const Answer& answer);
// "error N: text" for a failed call.
std::string ErrorText(const Outcome& outcome);
// "NAME: answer" for the listing; an empty string answer shows as (empty).
std::string ListingLine(std::string_view name, const Answer& answer);

}  // namespace velmora::cli
