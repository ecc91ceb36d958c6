#include "platform/win32/Win32Libraries.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace velmora {

namespace {

std::wstring FolderOf(const wchar_t* file, DWORD length) {
    const std::wstring path(file, length);
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring HostProgramFolder() {
    wchar_t file[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, file, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : FolderOf(file, length);
}

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(folder, length);
}

}  // namespace

LibraryHandle Win32Libraries::LoadLibraryA(const char* name) {
    if (name == nullptr) return nullptr;
    const std::string bare(name, ::strnlen(name, MAX_PATH));
    if (bare.empty() || bare.size() >= MAX_PATH || bare.find_first_of("/\\:") != std::string::npos) return nullptr;
    wchar_t wide[MAX_PATH] = {};
    if (::MultiByteToWideChar(CP_ACP, 0, bare.c_str(), -1, wide, MAX_PATH) <= 0) return nullptr;
    // Only from where it was installed: beside this component, beside the host
    // program, or in the system folder. A search would also try the current folder
    // and PATH, where anybody may have put a file of that name.
    const String component = host_.ModuleFolder();
    const std::wstring folders[] = {std::wstring(component.begin(), component.end()), HostProgramFolder(),
                                    SystemFolder()};
    for (std::wstring path : folders) {
        if (path.empty()) continue;
        if (path.back() != L'\\') path += L'\\';
        path += wide;
        if (HMODULE library = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) return library;
    }
    return nullptr;
}

ProcAddress Win32Libraries::GetProcAddress(LibraryHandle library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<ProcAddress>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

int32_t Win32Libraries::FreeLibrary(LibraryHandle library) {
    return library && ::FreeLibrary(static_cast<HMODULE>(library)) ? 1 : 0;
}

}  // namespace velmora
