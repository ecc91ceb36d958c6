#include "cli/Methods.h"

#include <cctype>

namespace velmora::cli {

const std::vector<Method>& Methods() {
    static const std::vector<Method> methods = {
        {"GetOperatingSystemName", 0, [](clsTarsin& t, const String&) { return Answer(t.GetOperatingSystemName()); }},
        {"GetOperatingSystemVersion", 0,
         [](clsTarsin& t, const String&) { return Answer(t.GetOperatingSystemVersion()); }},
    };
    return methods;
}

const Method* FindMethod(std::string_view name) {
    for (const auto& method : Methods()) {
        const std::string_view candidate = method.name;
        if (candidate.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(name[i])) ==
                   std::tolower(static_cast<unsigned char>(candidate[i]));
        if (same) return &method;
    }
    return nullptr;
}

}  // namespace velmora::cli
