#pragma once
// How velmora writes answers: plain lines for people, JSON for programs.
#include <string>

#include "cli/Methods.h"

namespace velmora::cli {

std::string JsonString(StringView text);
std::string AnswerAsJson(const Answer& answer);
// The answer alone, as `velmora NAME` prints it (an array one element a line, index 0 left out).
std::string AnswerAsText(const Answer& answer);
// "error N: text" for a failed call.
std::string ErrorText(const Outcome& outcome);
// "NAME: answer" for the listing; an empty string answer shows as (empty).
std::string ListingLine(const char* name, const Answer& answer);

}  // namespace velmora::cli
