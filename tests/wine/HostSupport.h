#pragma once
// What the C++ hosts of the registered Tarsin.dll share: the DLL's path, counted
// references, BSTRs and the error info of the last failed call.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace host {

inline std::wstring Widen(const char* text) {
    std::wstring wide;
    for (; text && *text; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

// TARSIN_DLL names the registered copy (a Windows path).
inline const std::wstring& DllPath() {
    static const std::wstring path = Widen(std::getenv("TARSIN_DLL"));
    return path;
}

template <class T>
struct Ref {  // a counted reference, released at scope end
    T* p = nullptr;
    ~Ref() { Reset(); }
    void Reset() {
        if (p) p->Release();
        p = nullptr;
    }
    T* operator->() const { return p; }
    T** out() { return &p; }
    void** raw() { return reinterpret_cast<void**>(&p); }
};

struct Bstr {
    BSTR p = nullptr;
    ~Bstr() { ::SysFreeString(p); }
    std::wstring text() const { return p ? std::wstring(p, ::SysStringLen(p)) : std::wstring(); }
};

// The folder of a file's path, without a trailing separator.
inline std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

// The folder of the registered copy.
inline std::wstring DllFolder() { return FolderOf(DllPath()); }

// This host program's own path.
inline std::wstring SelfPath() {
    wchar_t self[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::wstring(self, length);
}

// The bytes of the call log beside the registered copy; empty when there is none.
inline std::string ReadDllLog() {
    std::string bytes;
    if (FILE* file = ::_wfopen((DllFolder() + L"\\Dovrell.log").c_str(), L"rb")) {
        char chunk[4096];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, n);
        std::fclose(file);
    }
    return bytes;
}

// The description of the thread's error info, empty when there is none.
inline std::wstring ErrorDescription() {
    Ref<IErrorInfo> info;
    if (::GetErrorInfo(0, info.out()) != S_OK) return std::wstring();
    Bstr text;
    info->GetDescription(&text.p);
    return text.text();
}

// The tests of one host program, in a single-threaded apartment as a VB host runs.
inline int RunHostTests(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (DllPath().empty()) {
        std::fprintf(stderr, "TARSIN_DLL must name the registered Tarsin.dll\n");
        return 2;
    }
    ::CoInitialize(nullptr);
    const int result = RUN_ALL_TESTS();
    ::CoUninitialize();
    return result;
}

}  // namespace host
