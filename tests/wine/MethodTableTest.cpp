// The method table against the type library that hosts see (the one embedded in the
// built Tarsin.dll): every method of _clsTarsin, in slot order, with its table row's
// name, dispatch identifier, argument kind and answer kind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "HostSupport.h"
#include "com/Boundary.h"
#include "com/ComRef.h"
#include "public/MethodTable.h"

namespace velmora::com {
namespace {

// The type a parameter points to (the answer, an array by reference), or VT_EMPTY.
VARTYPE PointedTo(const ELEMDESC& parameter) {
    const TYPEDESC& type = parameter.tdesc;
    return type.vt == VT_PTR && type.lptdesc ? type.lptdesc->vt : VARTYPE(VT_EMPTY);
}

ArgumentKind ArgumentOf(const FUNCDESC& function) {
    if (function.cParams == 1) return ArgumentKind::None;
    const ELEMDESC& first = function.lprgelemdescParam[0];
    return first.tdesc.vt == VT_BSTR ? ArgumentKind::Drive
           : PointedTo(first) == VT_SAFEARRAY ? ArgumentKind::DriveList
                                              : ArgumentKind(0xFF);
}

AnswerKind AnswerOf(const FUNCDESC& function) {
    switch (PointedTo(function.lprgelemdescParam[function.cParams - 1])) {
        case VT_BSTR: return AnswerKind::Text;
        case VT_R8: return AnswerKind::Double;
        case VT_I4: return AnswerKind::Long;
        case VT_BOOL: return AnswerKind::Boolean;
        default: return AnswerKind(0xFF);
    }
}

TEST(MethodTable, MatchesTheTypeLibrary) {
    const char* built = std::getenv("TARSIN_DLL_BUILT");
    ASSERT_NE(built, nullptr) << "TARSIN_DLL_BUILT names the built Tarsin.dll";
    const std::wstring path = L"Z:" + host::Widen(built);

    ITypeLib* loaded = nullptr;
    ASSERT_EQ(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &loaded), S_OK);
    const ComRef<ITypeLib> library(loaded);
    ITypeInfo* dispatch = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID__clsTarsin, &dispatch), S_OK);
    const ComRef<ITypeInfo> dual(dispatch);
    // The dual interface's vtable half lists its own methods in slot order.
    HREFTYPE vtableHalf = 0;
    ITypeInfo* found = nullptr;
    ASSERT_EQ(dual->GetRefTypeOfImplType(-1, &vtableHalf), S_OK);
    ASSERT_EQ(dual->GetRefTypeInfo(vtableHalf, &found), S_OK);
    const ComRef<ITypeInfo> info(found);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    const WORD functions = attributes->cFuncs;
    info->ReleaseTypeAttr(attributes);

    const auto rows = TarsinMethods();
    ASSERT_EQ(functions, rows.size());
    for (WORD slot = 0; slot < functions; ++slot) {
        const MethodRow& row = rows[slot];
        FUNCDESC* function = nullptr;
        ASSERT_EQ(info->GetFuncDesc(slot, &function), S_OK);
        BSTR name = nullptr;
        info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr);
        EXPECT_EQ(FromBstr(name), FromAscii(row.name)) << "slot " << slot;
        EXPECT_EQ(function->memid, row.dispid) << row.name;
        EXPECT_EQ(ArgumentOf(*function), row.argument) << row.name;
        EXPECT_EQ(AnswerOf(*function), row.answer) << row.name;
        ::SysFreeString(name);
        info->ReleaseFuncDesc(function);
    }
}

}  // namespace
}  // namespace velmora::com
