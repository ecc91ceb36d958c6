#include "platform/linux/LinuxLibraries.h"

#include <dlfcn.h>

#include <cstring>

#include "platform/linux/SysFiles.h"

namespace velmora {

std::string LinuxLibraries::LibraryFileName(std::string_view name) {
    constexpr std::string_view kDll = ".dll";
    if (name.size() > kDll.size()) {
        if (SameIgnoringAsciiCase(name.substr(name.size() - kDll.size()), kDll)) return "lib" + std::string(name.substr(0, name.size() - kDll.size())) + ".so";
    }
    return std::string(name);
}

LibraryHandle LinuxLibraries::LoadLibraryA(const char* name) {
    if (name == nullptr) return nullptr;
    const std::string_view bare(name, ::strnlen(name, 256));
    // Only a bare name: a path would let a caller load any file.
    if (bare.empty() || bare.size() >= 256 || bare.find_first_of("/\\") != std::string_view::npos ||
        bare == "." || bare == "..")
        return nullptr;
    const std::string file = LibraryFileName(bare);
    const std::string folder = codec_.StringToAnsi(host_.ModuleFolder());
    if (!folder.empty())
        if (void* beside = ::dlopen((folder + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL)) return beside;
    return ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

ProcAddress LinuxLibraries::GetProcAddress(LibraryHandle library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<ProcAddress>(::dlsym(library, name));
}

int32_t LinuxLibraries::FreeLibrary(LibraryHandle library) { return library && ::dlclose(library) == 0 ? 1 : 0; }

}  // namespace velmora
