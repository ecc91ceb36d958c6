// A careless host of the registered Tarsin.dll: null and huge strings, arrays the
// callee may not touch, objects that outlive their class factory, unload requests
// while objects live. Every misuse gets an answer or a clear error, and the
// server's object count returns to zero after each test.
// TARSIN_DLL names the registered copy (a Windows path).
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#undef GetComputerName
#undef GetDiskFreeSpace
#include "Velmora.h"
#include "HostSupport.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr HRESULT kArrayFixedOrLocked = static_cast<HRESULT>(0x800A000A);
constexpr HRESULT kSubscriptOutOfRange = static_cast<HRESULT>(0x800A0009);

using host::Bstr;
using host::DllPath;
using host::ErrorDescription;
using host::Ref;
using host::Widen;

// The server's own exports, from the module COM loaded for the registered class.
class Server : public ::testing::Test {
protected:
    void SetUp() override {
        dll_ = ::LoadLibraryW(DllPath().c_str());
        ASSERT_NE(dll_, nullptr);
        canUnload_ = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(::GetProcAddress(dll_, "DllCanUnloadNow")));
        getClass_ = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(::GetProcAddress(dll_, "DllGetClassObject")));
        ASSERT_TRUE(canUnload_ && getClass_);
        ASSERT_EQ(canUnload_(), S_OK) << "objects left by an earlier test";
    }
    void TearDown() override {
        if (canUnload_) {
            EXPECT_EQ(canUnload_(), S_OK) << "objects or locks left behind";
        }
        if (dll_) ::FreeLibrary(dll_);
    }

    Ref<_clsTarsin> NewTarsin() {
        Ref<_clsTarsin> tarsin;
        EXPECT_EQ(::CoCreateInstance(CLSID_clsTarsin, nullptr, CLSCTX_INPROC_SERVER, IID__clsTarsin, tarsin.raw()),
                  S_OK);
        return tarsin;
    }

    HMODULE dll_ = nullptr;
    HRESULT(STDAPICALLTYPE* canUnload_)() = nullptr;
    HRESULT(STDAPICALLTYPE* getClass_)(REFCLSID, REFIID, void**) = nullptr;
};

// The answers of the four drive methods for one drive text, early bound.
struct DriveAnswers {
    HRESULT status[4] = {};
    double freeSpace = -1, space = -1;
    std::wstring fatName = L"?";
    long isSystem = -1;
};

DriveAnswers AskDrive(_clsTarsin* tarsin, BSTR text) {
    DriveAnswers a;
    Bstr fat;
    a.status[0] = tarsin->GetDiskFreeSpace(text, &a.freeSpace);
    a.status[1] = tarsin->GetDiskSpace(text, &a.space);
    a.status[2] = tarsin->GetDiskFATname(text, &fat.p);
    a.status[3] = tarsin->ChkSystemFdisk(text, &a.isSystem);
    a.fatName = fat.text();
    return a;
}

TEST_F(Server, NullDriveTextIsTheEmptyText) {
    {
        Ref<_clsTarsin> tarsin = NewTarsin();
        ASSERT_TRUE(tarsin.p);
        Bstr empty{::SysAllocString(L"")};
        const DriveAnswers fromNull = AskDrive(tarsin.p, nullptr);
        const DriveAnswers fromEmpty = AskDrive(tarsin.p, empty.p);
        for (int m = 0; m < 4; ++m) {
            EXPECT_EQ(fromNull.status[m], S_OK) << m;
            EXPECT_EQ(fromEmpty.status[m], S_OK) << m;
        }
        EXPECT_EQ(fromNull.freeSpace, fromEmpty.freeSpace);
        EXPECT_EQ(fromNull.space, fromEmpty.space);
        EXPECT_EQ(fromNull.fatName, fromEmpty.fatName);
        EXPECT_EQ(fromNull.isSystem, fromEmpty.isSystem);
        EXPECT_EQ(fromNull.isSystem, 1);  // the empty text is a prefix of every folder

        // Late bound, a Variant holding a null BSTR.
        Ref<IDispatch> dispatch;
        ASSERT_EQ(tarsin->QueryInterface(IID_IDispatch, dispatch.raw()), S_OK);
        VARIANT arg, result;
        V_VT(&arg) = VT_BSTR;
        V_BSTR(&arg) = nullptr;
        ::VariantInit(&result);
        DISPPARAMS params{&arg, nullptr, 1, 0};
        EXCEPINFO exception{};
        ASSERT_EQ(dispatch->Invoke(0x60030013, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                                   &exception, nullptr),
                  S_OK);
        ASSERT_EQ(V_VT(&result), VT_BSTR);
        EXPECT_EQ(std::wstring(V_BSTR(&result), ::SysStringLen(V_BSTR(&result))), fromEmpty.fatName);
        ::VariantClear(&result);
    }
}

// Ten million characters name no drive: the answers of a drive that cannot be
// queried, promptly, and the memory goes back.
TEST_F(Server, HugeDriveTextNamesNoDrive) {
    Ref<_clsTarsin> tarsin = NewTarsin();
    ASSERT_TRUE(tarsin.p);
    Bstr huge{::SysAllocStringLen(nullptr, 10'000'000)};
    ASSERT_TRUE(huge.p);
    huge.p[0] = L'C';
    huge.p[1] = L':';
    for (UINT i = 2; i < ::SysStringLen(huge.p); ++i) huge.p[i] = L'\\';
    const DWORD start = ::GetTickCount();
    const DriveAnswers answers = AskDrive(tarsin.p, huge.p);
    for (int m = 0; m < 4; ++m) EXPECT_EQ(answers.status[m], S_OK) << m << " " << ErrorDescription();
    EXPECT_EQ(answers.freeSpace, 0);
    EXPECT_EQ(answers.space, 0);
    EXPECT_EQ(answers.fatName, L"");
    EXPECT_EQ(answers.isSystem, 0);

    // Late bound as well, where the text is copied into the argument Variant.
    Ref<IDispatch> dispatch;
    ASSERT_EQ(tarsin->QueryInterface(IID_IDispatch, dispatch.raw()), S_OK);
    VARIANT arg, result;
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = huge.p;
    ::VariantInit(&result);
    DISPPARAMS params{&arg, nullptr, 1, 0};
    EXCEPINFO exception{};
    ASSERT_EQ(dispatch->Invoke(0x60030012, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                               &exception, nullptr),
              S_OK);
    EXPECT_EQ(V_VT(&result), VT_R8);
    EXPECT_EQ(V_R8(&result), 0);
    EXPECT_LT(::GetTickCount() - start, 60000u);
}

SAFEARRAY* Strings(std::initializer_list<const wchar_t*> items) {
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(items.size()));
    LONG index = 0;
    for (const wchar_t* item : items) {
        BSTR text = ::SysAllocString(item);
        ::SafeArrayPutElement(array, &index, text);
        ::SysFreeString(text);
        ++index;
    }
    return array;
}

// Arrays of another element type stop at the boundary with a type mismatch; arrays
// that cannot be resized reach the method, whose resize fails: GetFixdDisk's error
// trap answers False, clsSoftWare lets the error (9 or 10) through.
struct ArrayMisuse {
    const char* what;
    SAFEARRAY* (*make)();
    HRESULT typeError;  // S_OK: the element type is right
    HRESULT refusal;    // what clsSoftWare's resize fails with
};

const ArrayMisuse kArrayMisuses[] = {
    {"Long elements", [] { return ::SafeArrayCreateVector(VT_I4, 0, 2); }, DISP_E_TYPEMISMATCH, S_OK},
    {"Double elements", [] { return ::SafeArrayCreateVector(VT_R8, 1, 1); }, DISP_E_TYPEMISMATCH, S_OK},
    {"three dimensions",
     [] {
         SAFEARRAYBOUND bounds[3] = {{1, 0}, {2, 0}, {1, 5}};
         return ::SafeArrayCreate(VT_BSTR, 3, bounds);
     },
     S_OK, kSubscriptOutOfRange},
    {"based at 1",
     [] {
         SAFEARRAYBOUND bound{1, 1};
         return ::SafeArrayCreate(VT_BSTR, 1, &bound);
     },
     S_OK, kSubscriptOutOfRange},
    {"fixed size",
     [] {
         SAFEARRAY* array = Strings({L"keep"});
         array->fFeatures |= FADF_FIXEDSIZE;
         return array;
     },
     S_OK, kArrayFixedOrLocked},
    {"locked",
     [] {
         SAFEARRAY* array = Strings({L"keep"});
         ::SafeArrayLock(array);
         return array;
     },
     S_OK, kArrayFixedOrLocked},
};

void Release(SAFEARRAY* array) {
    while (array->cLocks) ::SafeArrayUnlock(array);
    array->fFeatures &= ~FADF_FIXEDSIZE;
    ::SafeArrayDestroy(array);
}

// How many entries of the call log beside the DLL name `method`.
size_t LogEntriesOf(const std::string& method) {
    const std::string bytes = host::ReadDllLog();
    const std::string tag = "[" + method + "]";
    size_t count = 0;
    for (size_t at = bytes.find(tag); at != std::string::npos; at = bytes.find(tag, at + 1)) ++count;
    return count;
}

// Early bound, through both array methods: the host's array (pointer, locks and
// contents) untouched; GetFixdDisk answers False inside its log entries.
TEST_F(Server, ArraysTheCalleeMayNotResizeEarlyBound) {
    Ref<_clsTarsin> tarsin = NewTarsin();
    Ref<_clsSoftWare> software;
    ASSERT_EQ(::CoCreateInstance(CLSID_clsSoftWare, nullptr, CLSCTX_INPROC_SERVER, IID__clsSoftWare, software.raw()),
              S_OK);
    ASSERT_TRUE(tarsin.p);
    for (const ArrayMisuse& misuse : kArrayMisuses) {
        for (int which = 0; which < 2; ++which) {
            SCOPED_TRACE(testing::Message() << misuse.what << (which ? " GetComputerSoftWare" : " GetFixdDisk"));
            SAFEARRAY* array = misuse.make();
            SAFEARRAY* original = array;
            const ULONG locks = array->cLocks;
            const size_t entries = LogEntriesOf("GetFixdDisk");
            VARIANT_BOOL answer = VARIANT_TRUE;
            const HRESULT status =
                which ? software->GetComputerSoftWare(&array, &answer) : tarsin->GetFixdDisk(&array, &answer);
            const HRESULT expected = misuse.typeError != S_OK ? misuse.typeError : which ? misuse.refusal : S_OK;
            EXPECT_EQ(status, expected);
            if (FAILED(expected)) {
                EXPECT_FALSE(ErrorDescription().empty());
            }
            EXPECT_EQ(answer, VARIANT_FALSE);
            EXPECT_EQ(array, original);
            EXPECT_EQ(array->cLocks, locks);
            if (!which) {
                EXPECT_EQ(LogEntriesOf("GetFixdDisk") - entries, misuse.typeError != S_OK ? 0u : 2u);
            }
            if (misuse.refusal == kArrayFixedOrLocked) {
                Bstr first;
                LONG zero = 0;
                ASSERT_EQ(::SafeArrayGetElement(array, &zero, &first.p), S_OK);
                EXPECT_EQ(first.text(), L"keep");
            }
            Release(array);
        }
    }
    VARIANT_BOOL answer = VARIANT_TRUE;
    EXPECT_EQ(tarsin->GetFixdDisk(nullptr, &answer), E_POINTER);
    EXPECT_EQ(software->GetComputerSoftWare(nullptr, &answer), E_POINTER);
    SAFEARRAY* fine = Strings({L"keep"});
    EXPECT_EQ(tarsin->GetFixdDisk(&fine, nullptr), E_POINTER);
    ::SafeArrayDestroy(fine);
}

// Late bound, typed by reference: GetFixdDisk answers False and keeps the array.
TEST_F(Server, ArraysTheCalleeMayNotResizeLateBound) {
    Ref<_clsTarsin> tarsin = NewTarsin();
    ASSERT_TRUE(tarsin.p);
    Ref<IDispatch> dispatch;
    ASSERT_EQ(tarsin->QueryInterface(IID_IDispatch, dispatch.raw()), S_OK);
    for (const ArrayMisuse& misuse : kArrayMisuses) {
        if (misuse.typeError != S_OK) continue;
        SCOPED_TRACE(misuse.what);
        SAFEARRAY* array = misuse.make();
        SAFEARRAY* original = array;
        VARIANT arg, result;
        V_VT(&arg) = VT_BYREF | VT_ARRAY | VT_BSTR;
        V_ARRAYREF(&arg) = &array;
        ::VariantInit(&result);
        DISPPARAMS params{&arg, nullptr, 1, 0};
        EXCEPINFO exception{};
        const HRESULT status = dispatch->Invoke(0x60030015, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                                &result, &exception, nullptr);
        EXPECT_EQ(status, S_OK);
        EXPECT_EQ(V_VT(&result), VT_BOOL);
        EXPECT_EQ(V_BOOL(&result), VARIANT_FALSE);
        EXPECT_EQ(array, original);
        Release(array);
    }
}

// Objects outlive the factory that made them; a released factory is fetched anew;
// the server never unloads under a live object.
TEST_F(Server, ObjectsOutliveTheirFactoryAndUnloadWaitsForThem) {
    Ref<_clsTarsin> reference = NewTarsin();
    Bstr expected;
    ASSERT_EQ(reference->GetOperatingSystemName(&expected.p), S_OK);
    reference.Reset();
    ASSERT_EQ(canUnload_(), S_OK);

    std::vector<_clsTarsin*> objects;
    {
        Ref<IClassFactory> factory;
        ASSERT_EQ(getClass_(CLSID_clsTarsin, IID_IClassFactory, factory.raw()), S_OK);
        for (int i = 0; i < 3; ++i) {
            _clsTarsin* object = nullptr;
            ASSERT_EQ(factory->CreateInstance(nullptr, IID__clsTarsin, reinterpret_cast<void**>(&object)), S_OK);
            objects.push_back(object);
        }
    }  // the last release of the factory
    EXPECT_EQ(canUnload_(), S_FALSE);
    ::CoFreeUnusedLibraries();  // asks the server, which must refuse while objects live
    for (_clsTarsin* object : objects) {
        Bstr answer;
        ASSERT_EQ(object->GetOperatingSystemName(&answer.p), S_OK);
        EXPECT_EQ(answer.text(), expected.text());
    }
    for (size_t i = 0; i + 1 < objects.size(); ++i) objects[i]->Release();
    EXPECT_EQ(canUnload_(), S_FALSE);  // one object still lives
    Bstr last;
    EXPECT_EQ(objects.back()->GetOperatingSystemName(&last.p), S_OK);
    EXPECT_EQ(objects.back()->Release(), 0u);
    EXPECT_EQ(canUnload_(), S_OK);

    // A fresh factory after the old one's end works as the first did.
    Ref<IClassFactory> again;
    ASSERT_EQ(getClass_(CLSID_clsSoftWare, IID_IClassFactory, again.raw()), S_OK);
    Ref<_clsSoftWare> software;
    ASSERT_EQ(again->CreateInstance(nullptr, IID__clsSoftWare, software.raw()), S_OK);
    again.Reset();
    SAFEARRAY* names = nullptr;
    VARIANT_BOOL answer = VARIANT_FALSE;
    EXPECT_EQ(software->GetComputerSoftWare(&names, &answer), S_OK);
    if (names) ::SafeArrayDestroy(names);
}

// Many objects made and dropped through CoCreateInstance, with calls that fail in
// between: the count still comes back to zero (checked by TearDown).
TEST_F(Server, FailedCallsLeaveNoObjectsBehind) {
    for (int i = 0; i < 50; ++i) {
        Ref<_clsTarsin> tarsin = NewTarsin();
        ASSERT_TRUE(tarsin.p);
        SAFEARRAY* wrong = ::SafeArrayCreateVector(VT_I4, 0, 1);
        VARIANT_BOOL answer;
        EXPECT_EQ(tarsin->GetFixdDisk(&wrong, &answer), DISP_E_TYPEMISMATCH);
        ::SafeArrayDestroy(wrong);
        EXPECT_EQ(tarsin->GetOperatingSystemName(nullptr), E_POINTER);
    }
}

}  // namespace

int main(int argc, char** argv) { return host::RunHostTests(argc, argv); }
