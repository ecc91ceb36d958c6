// velmora: prints the facts that clsTarsin answers about this machine.
#include <cstdio>
#include <string>
#include <vector>

#include "base/RuntimeError.h"
#include "cli/CpuReport.h"
#include "cli/Methods.h"
#include "cli/Output.h"
#include "cli/Report.h"
#include "text/Utf.h"

using namespace velmora;
using namespace velmora::cli;

namespace {

constexpr char kUsageText[] =
    "usage: velmora                 the facts grouped for reading (lists as their count)\n"
    "       velmora --lines          every method, one line each: name and answer\n"
    "       velmora --json [NAME...] one JSON object keyed by method name (all, or those named)\n"
    "       velmora NAME [ARG]       one method's answer alone\n"
    "       velmora --list           the method names\n"
    "       velmora cpu [--json | --dump] [--leaves FILE]\n"
    "                                the processor in detail; --dump prints its 13 leaves, --leaves\n"
    "                                reports on leaves dumped elsewhere (2 also: unusable leaves file)\n"
    "       velmora --help\n"
    "exit: 0 answered, 1 the call failed (its error on standard error), 2 usage error\n";

int ListAll() {
    for (const auto& method : Methods()) {
        if (method.argumentCount > 0) continue;
        const Outcome o = Call(method, String());
        Print((o.ok ? ListingLine(method.name, o.answer) : method.name + ": " + ErrorText(o)) + "\n");
    }
    return kOk;
}

int PrintJson(const std::vector<const Method*>& chosen) {
    std::string out = "{";
    bool first = true;
    for (const Method* method : chosen) {
        const Outcome o = Call(*method, String());
        out += std::string(first ? "\n  " : ",\n  ") + JsonString(Utf8ToUtf16(method->name)) + ": ";
        if (o.ok)
            AppendAnswerAsJson(out, o.answer);
        else
            out += "{\"error\": " + std::to_string(o.number) + ", \"description\": " + JsonString(o.description) + "}";
        first = false;
    }
    out += first ? "}\n" : "\n}\n";
    Print(out);
    return kOk;
}

int Json(const std::vector<std::string>& names) {
    std::vector<const Method*> chosen;
    for (const auto& name : names) {
        const Method* method = FindMethod(name);
        if (method == nullptr || method->argumentCount > 0) {
            std::fprintf(stderr, "velmora: no method %s without arguments\n", name.c_str());
            return kUsage;
        }
        chosen.push_back(method);
    }
    if (names.empty())
        for (const auto& method : Methods())
            if (method.argumentCount == 0) chosen.push_back(&method);
    return PrintJson(chosen);
}

int CallOne(const std::vector<std::string>& args) {
    const Method* method = FindMethod(args[0]);
    if (method == nullptr) {
        std::fprintf(stderr, "velmora: no method %s (velmora --list names them)\n", args[0].c_str());
        return kUsage;
    }
    if (static_cast<int>(args.size()) - 1 != method->argumentCount) {
        std::fprintf(stderr, "velmora: %s takes %d argument(s)\n", method->name.c_str(), method->argumentCount);
        return kUsage;
    }
    const Outcome o = Call(*method, args.size() > 1 ? Utf8ToUtf16(args[1]) : String());
    if (!o.ok) {
        std::fprintf(stderr, "velmora: %s: %s\n", method->name.c_str(), ErrorText(o).c_str());
        return kCallFailed;
    }
    Print(AnswerAsText(o.answer) + "\n");
    return kOk;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        Print(Report());
        return kOk;
    }
    if (args[0] == "--lines" && args.size() == 1) return ListAll();
    if (args[0] == "--help" || args[0] == "-h") {
        Print(kUsageText);
        return kOk;
    }
    if (args[0] == "--list") {
        for (const auto& method : Methods()) Print(method.name + "\n");
        return kOk;
    }
    if (args[0] == "--json") return Json({args.begin() + 1, args.end()});
    if (args[0] == "cpu") return RunCpuReport({args.begin() + 1, args.end()});
    if (args[0].rfind("--", 0) == 0) {
        std::fprintf(stderr, "velmora: unknown option %s\n%s", args[0].c_str(), kUsageText);
        return kUsage;
    }
    return CallOne(args);
}
