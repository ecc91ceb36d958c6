#include "cli/Methods.h"

#include "base/RuntimeError.h"
#include "public/clsTarsin.h"
#include "registry/clsSoftWare.h"
#include "text/Text.h"

namespace velmora::cli {
namespace {

// A row's call on a fresh clsTarsin; a method that fills an array answers the array.
Answer CallRow(const MethodRow& row, const String& argument) {
    clsTarsin tarsin;
    std::vector<String> drives(1);
    StringArrayRef filled(drives);
    MethodArguments arguments{argument, &filled};
    MethodAnswer answer = row.call(row, tarsin, DefaultPlatform(), arguments);
    if (row.argument == ArgumentKind::DriveList) return drives;
    return std::visit([](auto& value) { return Answer(std::move(value)); }, answer);
}

std::vector<Method> Gathered() {
    std::vector<Method> methods;
    for (const MethodRow& row : TarsinMethods())
        methods.push_back({std::string(row.name), row.argument == ArgumentKind::Drive ? 1 : 0,
                           [&row](const String& argument) { return CallRow(row, argument); }, row.report});
    // The second public class: its list as a real array (index 0 is not shown).
    methods.push_back({"clsSoftWare.GetComputerSoftWare", 0,
                       [](const String&) {
                           std::vector<String> names(1);
                           clsSoftWare(DefaultPlatform()).GetComputerSoftWare(names);
                           return Answer(std::move(names));
                       },
                       {ReportGroup::Software, 2, "As an array", "installed program"}});
    return methods;
}

}  // namespace

const std::vector<Method>& Methods() {
    static const std::vector<Method> methods = Gathered();
    return methods;
}

const Method* FindMethod(std::string_view name) {
    for (const auto& method : Methods())
        if (SameIgnoringAsciiCase(method.name, name)) return &method;
    return nullptr;
}

Outcome Call(const Method& method, const String& argument) {
    Outcome outcome;
    try {
        outcome.answer = method.call(argument);
        outcome.ok = true;
    } catch (...) {
        HostError error = ErrorFromException(std::current_exception());
        outcome.number = error.number;
        outcome.description = std::move(error.description);
    }
    return outcome;
}

}  // namespace velmora::cli
