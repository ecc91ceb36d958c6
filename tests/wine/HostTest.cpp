// A C++ host of the registered Tarsin.dll: early bound through the vtable of the
// generated header, late bound through IDispatch, the type library read back from
// the registry, the version record, and the server's object counting.
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
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Free space may move between two calls while anything else writes to the disk, so the
// disk summary's free-space fields ("C:#NTFS#size#free#1|...") are left out of comparisons.
std::wstring WithoutFreeSpace(const wchar_t* method, std::wstring text) {
    if (std::wstring(method) != L"GetComputerDiskInfo") return text;
    std::wstring out;
    int field = 0;
    for (const wchar_t c : text) {
        if (c == L'|') field = 0;
        else if (c == L'#') ++field;
        if (field != 3 || c == L'#') out.push_back(c);
    }
    return out;
}

using host::Bstr;
using host::DllPath;
using host::ErrorDescription;
using host::Ref;
using host::Widen;

// The table the type library must match: name, parameter, answer type, in slot order.
enum class Param { None, InString, InOutArray };
using EarlyString = HRESULT (STDMETHODCALLTYPE _clsTarsin::*)(BSTR*);
struct Method {
    const wchar_t* name;
    Param param;
    const wchar_t* paramName;
    VARTYPE answer;
    EarlyString early = nullptr;  // the vtable method, for those without parameters
};
const Method kTarsinMethods[] = {
    {L"GetDiskSerialNumber", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetDiskSerialNumber},
    {L"GetInternetCardAddress", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetInternetCardAddress},
    {L"GetSoundCardId", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetSoundCardId},
    {L"GetSoundCardName", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetSoundCardName},
    {L"GetSoundCardChannel", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetSoundCardChannel},
    {L"GetSoundCardDwformats", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetSoundCardDwformats},
    {L"GetSoundCardDwsupport", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetSoundCardDwsupport},
    {L"GetCPUName", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetCPUName},
    {L"GetCPUManufacturer", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetCPUManufacturer},
    {L"GetOperatingSystemName", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetOperatingSystemName},
    {L"GetOperatingSystemVersion", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetOperatingSystemVersion},
    {L"GetIEVersion", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetIEVersion},
    {L"GetCPUModel", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetCPUModel},
    {L"GetPhysicsMemory", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetPhysicsMemory},
    {L"GetComputerName", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetComputerName},
    {L"GetComputerIP", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetComputerIP},
    {L"GetVirtualMemory", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetVirtualMemory},
    {L"GetDiskFreeSpace", Param::InString, L"strDrive", VT_R8},
    {L"GetDiskSpace", Param::InString, L"strDrive", VT_R8},
    {L"GetDiskFATname", Param::InString, L"strDrive", VT_BSTR},
    {L"ChkSystemFdisk", Param::InString, L"strDisk", VT_I4},
    {L"GetFixdDisk", Param::InOutArray, L"strDrive", VT_BOOL},
    {L"GetComputerDiskInfo", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetComputerDiskInfo},
    {L"GetComputerSoftWare", Param::None, nullptr, VT_BSTR, &_clsTarsin::GetComputerSoftWare},
};
const Method kSoftWareMethods[] = {
    {L"GetComputerSoftWare", Param::InOutArray, L"strSoftName", VT_BOOL},
};

// Dual, hidden, not extensible: both halves; OLE-automation compatible: the vtable half.
constexpr WORD kDualFlags = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;

class TypeLibrary : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::LoadRegTypeLib(LIBID_Velmora, 1, 1, 0, library.out()), S_OK); }

    std::wstring NameOf(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
        Bstr name;
        info->GetDocumentation(id, &name.p, nullptr, nullptr, nullptr);
        return name.text();
    }

    // The vtable half of a dual interface: its functions, slots and parameters.
    void CheckInterface(REFIID iid, WORD major, WORD minor, const Method* methods, size_t count) {
        Ref<ITypeInfo> dispatch, vtable;
        ASSERT_EQ(library->GetTypeInfoOfGuid(iid, dispatch.out()), S_OK);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(dispatch->GetTypeAttr(&attr), S_OK);
        EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
        EXPECT_EQ(attr->wTypeFlags & kDualFlags, kDualFlags) << std::hex << attr->wTypeFlags;
        EXPECT_EQ(attr->wMajorVerNum, major);
        EXPECT_EQ(attr->wMinorVerNum, minor);
        dispatch->ReleaseTypeAttr(attr);

        HREFTYPE ref = 0;
        ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
        ASSERT_EQ(dispatch->GetRefTypeInfo(ref, vtable.out()), S_OK);
        ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
        EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
        EXPECT_EQ(attr->wTypeFlags & (kDualFlags | TYPEFLAG_FOLEAUTOMATION), kDualFlags | TYPEFLAG_FOLEAUTOMATION)
            << std::hex << attr->wTypeFlags;
        EXPECT_EQ(attr->wMajorVerNum, major);
        EXPECT_EQ(attr->wMinorVerNum, minor);
        ASSERT_EQ(attr->cFuncs, count);
        vtable->ReleaseTypeAttr(attr);

        for (UINT i = 0; i < count; ++i) CheckMethod(vtable.p, i, methods[i]);
    }

    void CheckMethod(ITypeInfo* vtable, UINT position, const Method& method) {
        SCOPED_TRACE(testing::Message() << "slot " << position);
        FUNCDESC* func = nullptr;
        ASSERT_EQ(vtable->GetFuncDesc(position, &func), S_OK);
        EXPECT_EQ(func->memid, static_cast<MEMBERID>(0x60030000 + position));
        EXPECT_EQ(func->oVft, static_cast<SHORT>((7 + position) * sizeof(void*)));  // after IDispatch's seven
        EXPECT_EQ(func->invkind, INVOKE_FUNC);
        EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT);
        BSTR names[3] = {};
        UINT named = 0;
        vtable->GetNames(func->memid, names, 3, &named);
        EXPECT_EQ(std::wstring(names[0]), method.name);
        const SHORT own = method.param == Param::None ? 0 : 1;
        ASSERT_EQ(func->cParams, own + 1);
        if (own) {
            EXPECT_EQ(std::wstring(names[1] ? names[1] : L""), method.paramName);
            const ELEMDESC& param = func->lprgelemdescParam[0];
            if (method.param == Param::InString) {
                EXPECT_EQ(param.paramdesc.wParamFlags, PARAMFLAG_FIN);
                EXPECT_EQ(param.tdesc.vt, VT_BSTR);
            } else {
                EXPECT_EQ(param.paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOUT);
                ASSERT_EQ(param.tdesc.vt, VT_PTR);
                ASSERT_EQ(param.tdesc.lptdesc->vt, VT_SAFEARRAY);
                EXPECT_EQ(param.tdesc.lptdesc->lptdesc->vt, VT_BSTR);
            }
        }
        const ELEMDESC& answer = func->lprgelemdescParam[own];
        EXPECT_EQ(answer.paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
        ASSERT_EQ(answer.tdesc.vt, VT_PTR);
        EXPECT_EQ(answer.tdesc.lptdesc->vt, method.answer);
        for (BSTR name : names) ::SysFreeString(name);
        vtable->ReleaseFuncDesc(func);
    }

    void CheckClass(REFCLSID clsid, const wchar_t* name, WORD minor, REFIID defaultInterface) {
        Ref<ITypeInfo> info, implemented;
        ASSERT_EQ(library->GetTypeInfoOfGuid(clsid, info.out()), S_OK);
        EXPECT_EQ(NameOf(info.p), name);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_EQ(attr->typekind, TKIND_COCLASS);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
        EXPECT_EQ(attr->wMajorVerNum, 1);
        EXPECT_EQ(attr->wMinorVerNum, minor);
        EXPECT_EQ(attr->cImplTypes, 1);
        info->ReleaseTypeAttr(attr);
        INT flags = 0;
        info->GetImplTypeFlags(0, &flags);
        EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
        HREFTYPE ref = 0;
        ASSERT_EQ(info->GetRefTypeOfImplType(0, &ref), S_OK);
        ASSERT_EQ(info->GetRefTypeInfo(ref, implemented.out()), S_OK);
        ASSERT_EQ(implemented->GetTypeAttr(&attr), S_OK);
        EXPECT_TRUE(::IsEqualGUID(attr->guid, defaultInterface));
        implemented->ReleaseTypeAttr(attr);
    }

    Ref<ITypeLib> library;
};

TEST_F(TypeLibrary, LibraryIsVelmora11LanguageNeutralForThisWidth) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 1);
    EXPECT_EQ(attr->lcid, 0u);
    EXPECT_EQ(attr->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    library->ReleaseTLibAttr(attr);
    Bstr name;
    library->GetDocumentation(-1, &name.p, nullptr, nullptr, nullptr);
    EXPECT_EQ(name.text(), L"Velmora");
}

TEST_F(TypeLibrary, InterfacesMatchTheMethodTable) {
    CheckInterface(IID__clsTarsin, 1, 1, kTarsinMethods, std::size(kTarsinMethods));
    CheckInterface(IID__clsSoftWare, 1, 0, kSoftWareMethods, std::size(kSoftWareMethods));
}

TEST_F(TypeLibrary, ClassesAndTheHiddenAlias) {
    CheckClass(CLSID_clsTarsin, L"clsTarsin", 1, IID__clsTarsin);
    CheckClass(CLSID_clsSoftWare, L"clsSoftWare", 0, IID__clsSoftWare);

    bool found = false;
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        Ref<ITypeInfo> info;
        library->GetTypeInfo(i, info.out());
        if (NameOf(info.p) != L"clsTarsin___v0") continue;
        found = true;
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_EQ(attr->typekind, TKIND_ALIAS);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FHIDDEN);
        EXPECT_FALSE(::IsEqualGUID(attr->guid, IID__clsTarsin));
        ASSERT_EQ(attr->tdescAlias.vt, VT_USERDEFINED);
        Ref<ITypeInfo> target;
        ASSERT_EQ(info->GetRefTypeInfo(attr->tdescAlias.hreftype, target.out()), S_OK);
        EXPECT_EQ(NameOf(target.p), L"_clsTarsin");

        // Objects answer the earlier identifier recorded under the alias.
        Ref<IUnknown> object, earlier;
        ASSERT_EQ(::CoCreateInstance(CLSID_clsTarsin, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.raw()), S_OK);
        EXPECT_EQ(object->QueryInterface(attr->guid, earlier.raw()), S_OK);
        info->ReleaseTypeAttr(attr);
    }
    EXPECT_TRUE(found);
}

class Objects : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::CoCreateInstance(CLSID_clsTarsin, nullptr, CLSCTX_INPROC_SERVER, IID__clsTarsin, tarsin.raw()),
                  S_OK);
        ASSERT_EQ(::CoCreateInstance(CLSID_clsSoftWare, nullptr, CLSCTX_INPROC_SERVER, IID__clsSoftWare,
                                     software.raw()),
                  S_OK);
    }

    DISPID IdOf(IDispatch* object, const wchar_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
        return id;
    }

    HRESULT Invoke(IDispatch* object, DISPID id, std::vector<VARIANTARG> args, VARIANT& result,
                   EXCEPINFO& exception, std::vector<DISPID> named = {}) {
        DISPPARAMS params{args.data(), named.data(), static_cast<UINT>(args.size()), static_cast<UINT>(named.size())};
        UINT argumentError = 0;
        ::VariantInit(&result);
        exception = EXCEPINFO{};
        return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &exception,
                              &argumentError);
    }

    Ref<_clsTarsin> tarsin;
    Ref<_clsSoftWare> software;
};

TEST_F(Objects, QueriesAnswerTheirInterfacesWithOneIdentity) {
    Ref<IUnknown> unknown, unknownAgain;
    Ref<IDispatch> dispatch;
    Ref<ISupportErrorInfo> errors;
    Ref<IUnknown> other;
    ASSERT_EQ(tarsin->QueryInterface(IID_IUnknown, unknown.raw()), S_OK);
    ASSERT_EQ(tarsin->QueryInterface(IID_IDispatch, dispatch.raw()), S_OK);
    ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, unknownAgain.raw()), S_OK);
    EXPECT_EQ(unknown.p, unknownAgain.p);
    ASSERT_EQ(tarsin->QueryInterface(IID_ISupportErrorInfo, errors.raw()), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID__clsTarsin), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
    EXPECT_EQ(tarsin->QueryInterface(IID__clsSoftWare, other.raw()), E_NOINTERFACE);
    EXPECT_EQ(other.p, nullptr);
    EXPECT_EQ(software->QueryInterface(IID__clsTarsin, other.raw()), E_NOINTERFACE);
    EXPECT_EQ(tarsin->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

// Each method of the table, early and late bound: a built one answers the same both
// ways; one whose worker is not built fails plainly, with its name in the error.
TEST_F(Objects, EveryMethodAnswersOrFailsPlainlyBothWays) {
    int answered = 0;
    for (size_t position = 0; position < std::size(kTarsinMethods); ++position) {
        const Method& method = kTarsinMethods[position];
        SCOPED_TRACE(testing::Message() << "method " << position);
        EXPECT_EQ(IdOf(tarsin.p, method.name), static_cast<DISPID>(0x60030000 + position));
        std::vector<VARIANTARG> args;
        SAFEARRAY* drives = ::SafeArrayCreateVector(VT_BSTR, 0, 1);
        VARIANT arg;
        if (method.param == Param::InString) {
            V_VT(&arg) = VT_BSTR;
            V_BSTR(&arg) = ::SysAllocString(L"C:\\");
            args.push_back(arg);
        } else if (method.param == Param::InOutArray) {
            V_VT(&arg) = VT_BYREF | VT_ARRAY | VT_BSTR;
            V_ARRAYREF(&arg) = &drives;
            args.push_back(arg);
        }
        VARIANT result;
        EXCEPINFO exception;
        const HRESULT late = Invoke(tarsin.p, 0x60030000 + position, args, result, exception);
        if (method.param == Param::InString) ::VariantClear(&args[0]);
        if (method.early) {
            BSTR answer = reinterpret_cast<BSTR>(1);  // sentinel: a failing call must clear it
            const HRESULT early = (tarsin.p->*method.early)(&answer);
            EXPECT_EQ(early, late == S_OK ? S_OK : E_NOTIMPL);
            if (early == S_OK) {
                EXPECT_EQ(WithoutFreeSpace(method.name, std::wstring(answer, ::SysStringLen(answer))),
                          WithoutFreeSpace(method.name, std::wstring(V_BSTR(&result))));
                ::SysFreeString(answer);
            } else {
                EXPECT_EQ(answer, nullptr);
                EXPECT_NE(ErrorDescription().find(method.name), std::wstring::npos);
            }
        }
        if (late == S_OK) {
            ++answered;
            EXPECT_EQ(V_VT(&result), method.answer);
        } else {
            ASSERT_EQ(late, DISP_E_EXCEPTION);
            EXPECT_EQ(exception.scode, E_NOTIMPL);
            EXPECT_NE(std::wstring(exception.bstrDescription ? exception.bstrDescription : L"").find(method.name),
                      std::wstring::npos);
            EXPECT_EQ(std::wstring(exception.bstrSource ? exception.bstrSource : L""), L"Velmora.clsTarsin");
            EXPECT_EQ(V_VT(&result), VT_EMPTY);
        }
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrSource);
        ::SysFreeString(exception.bstrHelpFile);
        ::VariantClear(&result);
        ::SafeArrayDestroy(drives);
    }
    EXPECT_EQ(answered, static_cast<int>(std::size(kTarsinMethods)));  // every method is built
}

TEST_F(Objects, EarlyAndLateBoundGiveTheSameAnswer) {
    Bstr early;
    ASSERT_EQ(tarsin->GetOperatingSystemVersion(&early.p), S_OK);
    VARIANT result;
    EXCEPINFO exception;
    ASSERT_EQ(Invoke(tarsin.p, IdOf(tarsin.p, L"getoperatingsystemversion"), {}, result, exception), S_OK);
    ASSERT_EQ(V_VT(&result), VT_BSTR);
    EXPECT_EQ(early.text(), std::wstring(V_BSTR(&result)));
    EXPECT_FALSE(early.text().empty());
    ::VariantClear(&result);
    EXPECT_EQ(tarsin->GetOperatingSystemName(nullptr), E_POINTER);
}

TEST_F(Objects, NamedArgumentsAndArgumentMisuse) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetDiskFATname"), const_cast<LPOLESTR>(L"strDrive")};
    DISPID ids[2] = {};
    ASSERT_EQ(tarsin->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids), S_OK);
    EXPECT_EQ(ids[0], 0x60030013);
    EXPECT_EQ(ids[1], 0);
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMethod")};
    DISPID id = 0;
    EXPECT_EQ(tarsin->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);

    VARIANT arg, result;
    EXCEPINFO exception;
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = ::SysAllocString(L"C:\\");
    const HRESULT named = Invoke(tarsin.p, ids[0], {arg}, result, exception, {ids[1]});
    EXPECT_TRUE(named == S_OK || (named == DISP_E_EXCEPTION && exception.scode == E_NOTIMPL)) << std::hex << named;
    ::VariantClear(&result);
    // A wrong argument name and a surplus argument are the host's errors, not the method's.
    EXPECT_NE(Invoke(tarsin.p, ids[0], {arg}, result, exception, {7}), S_OK);
    EXPECT_EQ(Invoke(tarsin.p, IdOf(tarsin.p, L"GetOperatingSystemName"), {arg}, result, exception),
              DISP_E_BADPARAMCOUNT);
    ::VariantClear(&arg);
    EXPECT_EQ(Invoke(tarsin.p, 0x60030099, {}, result, exception), DISP_E_MEMBERNOTFOUND);
}

// By-reference arrays late bound, in the two forms hosts use: a typed array of String
// (a compiled host) and a Variant holding an array of Variants (a script).
TEST_F(Objects, ArraysByReferenceLateBound) {
    struct Target {
        IDispatch* object;
        DISPID id;
    } targets[] = {{tarsin.p, 0x60030015}, {software.p, 0x60030000}};
    for (const Target& target : targets) {
        SCOPED_TRACE(testing::Message() << std::hex << target.id);
        VARIANT result, arg;
        EXCEPINFO exception;

        SAFEARRAY* typed = ::SafeArrayCreateVector(VT_BSTR, 0, 1);
        LONG zero = 0;
        BSTR mark = ::SysAllocString(L"index0");
        ::SafeArrayPutElement(typed, &zero, mark);
        ::SysFreeString(mark);
        V_VT(&arg) = VT_BYREF | VT_ARRAY | VT_BSTR;
        V_ARRAYREF(&arg) = &typed;
        HRESULT status = Invoke(target.object, target.id, {arg}, result, exception);
        if (status == DISP_E_EXCEPTION && exception.scode == E_NOTIMPL) {
            ::SysFreeString(exception.bstrDescription);
            ::SysFreeString(exception.bstrSource);
        } else {
            ASSERT_EQ(status, S_OK);
            EXPECT_EQ(V_VT(&result), VT_BOOL);
            BSTR first = nullptr;
            ::SafeArrayGetElement(typed, &zero, &first);
            EXPECT_STREQ(first, L"index0");  // index 0 is never written
            ::SysFreeString(first);
        }
        ::SafeArrayDestroy(typed);

        // Script form; then the misuses: two dimensions, a number instead of an array.
        VARIANT holder;
        V_VT(&holder) = VT_ARRAY | VT_VARIANT;
        V_ARRAY(&holder) = ::SafeArrayCreateVector(VT_VARIANT, 0, 1);
        V_VT(&arg) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&arg) = &holder;
        status = Invoke(target.object, target.id, {arg}, result, exception);
        EXPECT_TRUE(status == S_OK || (status == DISP_E_EXCEPTION && exception.scode == E_NOTIMPL));
        EXPECT_EQ(V_VT(&holder), VT_ARRAY | VT_VARIANT);
        ::VariantClear(&holder);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrSource);

        // A square array cannot be resized: GetFixdDisk's error trap answers False,
        // clsSoftWare lets "Subscript out of range" through.
        SAFEARRAYBOUND square[2] = {{2, 0}, {2, 0}};
        V_VT(&holder) = VT_ARRAY | VT_VARIANT;
        V_ARRAY(&holder) = ::SafeArrayCreate(VT_VARIANT, 2, square);
        SAFEARRAY* const squareArray = V_ARRAY(&holder);
        status = Invoke(target.object, target.id, {arg}, result, exception);
        if (target.object == tarsin.p) {
            EXPECT_EQ(status, S_OK);
            EXPECT_EQ(V_VT(&result), VT_BOOL);
            EXPECT_EQ(V_BOOL(&result), VARIANT_FALSE);
        } else {
            EXPECT_EQ(status, DISP_E_EXCEPTION);
            EXPECT_EQ(exception.scode, static_cast<HRESULT>(0x800A0009));
        }
        EXPECT_EQ(V_ARRAY(&holder), squareArray);
        ::VariantClear(&holder);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrSource);

        V_VT(&holder) = VT_I4;
        V_I4(&holder) = 5;
        EXPECT_EQ(Invoke(target.object, target.id, {arg}, result, exception), DISP_E_TYPEMISMATCH);
    }
}


TEST(VersionRecord, ReadBackThroughTheVersionApi) {
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(DllPath().c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(DllPath().c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000005u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000005u);

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                 &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0804);
    EXPECT_EQ(translation[1], 1200);

    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } strings[] = {
        {L"FileVersion", L"1.00.0005"}, {L"ProductVersion", L"1.00.0005"}, {L"ProductName", L"Velmora"},
        {L"InternalName", L"Tarsin"},   {L"OriginalFilename", L"Tarsin.dll"}, {L"OLESelfRegister", L""},
    };
    for (const auto& entry : strings) {
        wchar_t* value = nullptr;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + entry.name;
        ASSERT_TRUE(::VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
            << entry.name;
        EXPECT_EQ(std::wstring(value, wcsnlen(value, length)), entry.value);
    }
}

// The server's own exports, loaded directly: objects and locks keep it loaded, and
// the count returns to zero when the last reference goes.
TEST(Server, ObjectsAndLocksKeepItLoaded) {
    HMODULE dll = ::LoadLibraryW(DllPath().c_str());
    ASSERT_NE(dll, nullptr);
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(::GetProcAddress(dll, "DllCanUnloadNow")));
    auto getClass = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
    ASSERT_TRUE(canUnload && getClass);
    ASSERT_TRUE(::GetProcAddress(dll, "DllRegisterServer") && ::GetProcAddress(dll, "DllUnregisterServer"));
    EXPECT_EQ(canUnload(), S_OK);

    {  // the factory is released before the library
        Ref<IClassFactory> factory;
        void* none = reinterpret_cast<void*>(1);
        EXPECT_EQ(getClass(IID__clsTarsin, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(none, nullptr);
        ASSERT_EQ(getClass(CLSID_clsSoftWare, IID_IClassFactory, factory.raw()), S_OK);
        Ref<IUnknown> aggregated;
        EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.p), IID_IUnknown, aggregated.raw()),
                  CLASS_E_NOAGGREGATION);
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, aggregated.raw()), E_NOINTERFACE);
        EXPECT_EQ(canUnload(), S_OK);  // a refused creation leaves nothing behind

        IUnknown* object = nullptr;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
        EXPECT_EQ(canUnload(), S_FALSE);
        EXPECT_EQ(object->AddRef(), 2u);
        EXPECT_EQ(object->Release(), 1u);
        EXPECT_EQ(object->Release(), 0u);
        EXPECT_EQ(canUnload(), S_OK);

        EXPECT_EQ(factory->LockServer(TRUE), S_OK);
        EXPECT_EQ(canUnload(), S_FALSE);
        EXPECT_EQ(factory->LockServer(FALSE), S_OK);
        EXPECT_EQ(canUnload(), S_OK);
    }
    ::FreeLibrary(dll);
}

// The call log lands beside the DLL, not beside this host program.
TEST(CallLog, EntriesBesideTheDll) {
    const std::wstring folder = DllPath().substr(0, DllPath().rfind(L'\\'));
    const std::wstring log = folder + L"\\Dovrell.log";
    auto read = [&] {
        std::string bytes;
        HANDLE file = ::CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return bytes;
        char buffer[4096];
        DWORD got = 0;
        while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
        ::CloseHandle(file);
        return bytes;
    };
    auto count = [](const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    };
    const size_t before = count(read(), "[GetOperatingSystemName]");
    Ref<_clsTarsin> tarsin;
    ASSERT_EQ(::CoCreateInstance(CLSID_clsTarsin, nullptr, CLSCTX_INPROC_SERVER, IID__clsTarsin, tarsin.raw()), S_OK);
    Bstr answer;
    ASSERT_EQ(tarsin->GetOperatingSystemName(&answer.p), S_OK);
    EXPECT_EQ(count(read(), "[GetOperatingSystemName]"), before + 2);

    const std::wstring hostLog = host::FolderOf(host::SelfPath()) + L"\\Dovrell.log";
    if (hostLog != log) {
        EXPECT_EQ(::GetFileAttributesW(hostLog.c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

}  // namespace

int main(int argc, char** argv) { return host::RunHostTests(argc, argv); }
