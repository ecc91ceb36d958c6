#pragma once
// The public methods that velmora can call, as data: name, argument count, call.
#include <functional>
#include <optional>
#include <variant>
#include <vector>

#include "base/String.h"
#include "public/clsTarsin.h"

namespace velmora::cli {

using Answer = std::variant<String, double, int32_t, bool, std::vector<String>>;

struct Method {
    const char* name;
    int argumentCount;  // 0, or 1 for the methods that take a drive text
    std::function<Answer(clsTarsin&, const String& argument)> call;
};

const std::vector<Method>& Methods();
const Method* FindMethod(std::string_view name);  // case-insensitive, as hosts call by name

}  // namespace velmora::cli
