#pragma once
// The public methods that velmora can call: clsTarsin's rows of the method table,
// then the second class's one method.
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "base/String.h"
#include "public/MethodTable.h"

namespace velmora::cli {

using Answer = std::variant<String, double, int32_t, bool, std::vector<String>>;

struct Method {
    std::string name;
    int argumentCount;  // 0, or 1 for the methods that take a drive text
    std::function<Answer(const String& argument)> call;
    ReportLine report;
};

// One call's result: its answer, or the error number and text it failed with.
struct Outcome {
    bool ok = false;
    Answer answer;
    int32_t number = 0;
    String description;
};

const std::vector<Method>& Methods();
const Method* FindMethod(std::string_view name);  // case-insensitive, as hosts call by name
// Calls `method` on a fresh clsTarsin; any failure becomes the error the host would see.
Outcome Call(const Method& method, const String& argument);

}  // namespace velmora::cli
