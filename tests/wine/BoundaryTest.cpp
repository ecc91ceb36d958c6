// The conversions at the COM boundary, driven directly (no DLL, no registration).
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "base/RuntimeError.h"
#include "com/Boundary.h"
#include "com/Calls.h"

namespace velmora::com {
namespace {

const ErrorSource kSource{IID__clsTarsin, L"Velmora.clsTarsin"};

BSTR Text(const String& text) {
    BSTR made = nullptr;
    ToBstr(text, &made);
    return made;
}

// A host's one-dimensional array of String with the given lower bound.
SAFEARRAY* StringArray(std::initializer_list<const char16_t*> items, LONG lowerBound = 0) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(items.size()), lowerBound};
    SAFEARRAY* array = ::SafeArrayCreate(VT_BSTR, 1, &bound);
    LONG index = lowerBound;
    for (const char16_t* item : items) {
        BSTR text = item ? Text(item) : nullptr;
        ::SafeArrayPutElement(array, &index, text);
        ::SysFreeString(text);
        ++index;
    }
    return array;
}

std::vector<String> Contents(SAFEARRAY* array) {
    HostArray read;
    EXPECT_EQ(ReadStringArray(&array, read), S_OK);
    EXPECT_FALSE(read.refusal);
    return read.items;
}

struct ErrorRecord {
    String description, source;
    GUID guid{};
};

ErrorRecord TakeErrorInfo() {
    ErrorRecord record;
    IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) != S_OK) return record;
    BSTR text = nullptr;
    info->GetDescription(&text);
    record.description = FromBstr(text);
    ::SysFreeString(text);
    info->GetSource(&text);
    record.source = FromBstr(text);
    ::SysFreeString(text);
    info->GetGUID(&record.guid);
    info->Release();
    return record;
}

TEST(Text, NullBstrIsEmptyAndNulsSurviveBothWays) {
    EXPECT_EQ(FromBstr(nullptr), u"");
    const String withNul(u"a\0b", 3);
    BSTR text = Text(withNul);
    EXPECT_EQ(::SysStringLen(text), 3u);
    EXPECT_EQ(FromBstr(text), withNul);
    ::SysFreeString(text);
    EXPECT_EQ(ToVariantBool(true), VARIANT_TRUE);
    EXPECT_EQ(ToVariantBool(false), VARIANT_FALSE);
}

TEST(StringArray, NullElementsAreEmptyAndANeverDimensionedArrayHasNone) {
    SAFEARRAY* array = StringArray({u"A:", nullptr, u"C:"});
    EXPECT_EQ(Contents(array), (std::vector<String>{u"A:", u"", u"C:"}));
    ::SafeArrayDestroy(array);

    SAFEARRAY* never = nullptr;  // a dynamic array never dimensioned
    HostArray read{{u"stale"}, Err::Overflow};
    EXPECT_EQ(ReadStringArray(&never, read), S_OK);
    EXPECT_TRUE(read.items.empty());
    EXPECT_FALSE(read.refusal);
}

TEST(StringArray, WriteReplacesTheArrayAndTheHostSeesTheNewBounds) {
    SAFEARRAY* array = StringArray({u"only"});
    SAFEARRAY* original = array;
    const std::vector<String> grown{u"", u"C:\\", String(u"D:\0x", 4)};
    ASSERT_EQ(WriteStringArray(grown, &array), S_OK);
    EXPECT_NE(array, original);
    LONG lower = -1, upper = -1;
    ::SafeArrayGetLBound(array, 1, &lower);
    ::SafeArrayGetUBound(array, 1, &upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 2);
    EXPECT_EQ(Contents(array), grown);

    ASSERT_EQ(WriteStringArray({}, &array), S_OK);  // shrunk to nothing: UBound -1
    ::SafeArrayGetUBound(array, 1, &upper);
    EXPECT_EQ(upper, -1);
    ::SafeArrayDestroy(array);

    SAFEARRAY* never = nullptr;
    ASSERT_EQ(WriteStringArray({u"x"}, &never), S_OK);
    EXPECT_EQ(Contents(never), std::vector<String>{u"x"});
    ::SafeArrayDestroy(never);
}

// Arrays of the wrong element type stop at the boundary; arrays that cannot be
// resized reach the method, whose resize fails with the error VB would raise.
struct Misuse {
    const char* what;
    SAFEARRAY* (*make)();
    HRESULT read;                    // what reading it answers
    std::optional<Err> refusal;      // and why the method may not resize it
};

const Misuse kMisuses[] = {
    {"Long elements", [] { return ::SafeArrayCreateVector(VT_I4, 0, 2); }, DISP_E_TYPEMISMATCH, {}},
    {"Variant elements", [] { return ::SafeArrayCreateVector(VT_VARIANT, 0, 2); }, DISP_E_TYPEMISMATCH, {}},
    {"two dimensions",
     [] {
         SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
         return ::SafeArrayCreate(VT_BSTR, 2, bounds);
     },
     S_OK, Err::SubscriptOutOfRange},
    {"based at 1", [] { return StringArray({u"a"}, 1); }, S_OK, Err::SubscriptOutOfRange},
    {"fixed size",
     [] {
         SAFEARRAY* array = StringArray({u"a"});
         array->fFeatures |= FADF_FIXEDSIZE;
         return array;
     },
     S_OK, Err::ArrayFixedOrLocked},
    {"locked",
     [] {
         SAFEARRAY* array = StringArray({u"a"});
         ::SafeArrayLock(array);
         return array;
     },
     S_OK, Err::ArrayFixedOrLocked},
};

TEST(StringArray, MisusesAreRefusedAndTheHostArrayIsKept) {
    for (const Misuse& misuse : kMisuses) {
        SCOPED_TRACE(misuse.what);
        SAFEARRAY* array = misuse.make();
        SAFEARRAY* original = array;
        HostArray read;
        EXPECT_EQ(ReadStringArray(&array, read), misuse.read);
        EXPECT_EQ(read.refusal, misuse.refusal);
        const HRESULT written = misuse.refusal ? ErrorNumberResult(static_cast<int32_t>(*misuse.refusal)) : misuse.read;
        EXPECT_EQ(WriteStringArray({u"new"}, &array), written);
        EXPECT_EQ(array, original);
        if (array->cLocks) ::SafeArrayUnlock(array);
        DestroyArray(array);
    }
    HostArray read;
    EXPECT_EQ(ReadStringArray(nullptr, read), E_POINTER);
    EXPECT_EQ(WriteStringArray({}, nullptr), E_POINTER);
}

TEST(ScriptArray, VariantArraysOfStringsAndEmptiesConvertBothWays) {
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_VARIANT, 0, 2);
    LONG index = 0;
    VARIANT element;
    V_VT(&element) = VT_BSTR;
    V_BSTR(&element) = Text(u"a");
    ::SafeArrayPutElement(array, &index, &element);
    ::VariantClear(&element);

    HostArray read;
    ASSERT_EQ(ReadVariantArray(&array, read), S_OK);
    EXPECT_EQ(read.items, (std::vector<String>{u"a", u""}));
    EXPECT_EQ(ReadStringArray(&array, read), DISP_E_TYPEMISMATCH);

    // A script keeps an array of Variants that it can index, now with the new bounds.
    ASSERT_EQ(WriteVariantArray({u"", u"x", u"y"}, &array), S_OK);
    VARTYPE type = VT_EMPTY;
    ::SafeArrayGetVartype(array, &type);
    EXPECT_EQ(type, VT_VARIANT);
    LONG upper = 0;
    ::SafeArrayGetUBound(array, 1, &upper);
    EXPECT_EQ(upper, 2);
    ASSERT_EQ(ReadVariantArray(&array, read), S_OK);
    EXPECT_EQ(read.items, (std::vector<String>{u"", u"x", u"y"}));

    // A number among the strings is the wrong kind of array.
    index = 1;
    V_VT(&element) = VT_I4;
    V_I4(&element) = 5;
    ::SafeArrayPutElement(array, &index, &element);
    EXPECT_EQ(ReadVariantArray(&array, read), DISP_E_TYPEMISMATCH);
    EXPECT_TRUE(read.items.empty());
    ::SafeArrayDestroy(array);

    SAFEARRAY* strings = StringArray({u"s"});
    EXPECT_EQ(ReadVariantArray(&strings, read), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(WriteVariantArray({}, &strings), DISP_E_TYPEMISMATCH);
    ::SafeArrayDestroy(strings);
    EXPECT_EQ(ReadVariantArray(nullptr, read), E_POINTER);
}

TEST(Errors, NumbersBecomeControlFacilityResults) {
    const struct {
        int32_t number;
        HRESULT expected;
    } rows[] = {
        {6, static_cast<HRESULT>(0x800A0006)},  {53, static_cast<HRESULT>(0x800A0035)},
        {65535, static_cast<HRESULT>(0x800AFFFF)}, {0, E_FAIL},
        {70000, E_FAIL},                        {static_cast<int32_t>(E_INVALIDARG), E_INVALIDARG},
    };
    for (const auto& row : rows) EXPECT_EQ(ErrorNumberResult(row.number), row.expected) << row.number;
}

TEST(Calls, AnswersAndFailuresCrossTheBoundary) {
    BSTR answer = reinterpret_cast<BSTR>(0x1);  // sentinel: a failing call must clear it
    EXPECT_EQ(RunCall(kSource, &answer, [] { return String(u"x\0y", 3); }), S_OK);
    EXPECT_EQ(FromBstr(answer), String(u"x\0y", 3));
    ::SysFreeString(answer);

    const struct {
        const char* what;
        void (*raise)();
        HRESULT expected;
        const char16_t* description;
    } failures[] = {
        {"RuntimeError", [] { Raise(Err::Overflow); }, static_cast<HRESULT>(0x800A0006), u"Overflow"},
        {"numbered", [] { throw RuntimeError(453, u"Specified DLL function not found"); },
         static_cast<HRESULT>(0x800A01C5), u"Specified DLL function not found"},
        {"bad_alloc", [] { throw std::bad_alloc(); }, static_cast<HRESULT>(0x800A0007), u"Out of memory"},
        {"other", [] { throw std::runtime_error("boom"); }, static_cast<HRESULT>(0x800A0033), u"Internal error: boom"},
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.what);
        double number = 42;
        EXPECT_EQ(RunCall(kSource, &number, [&] { return failure.raise(), 1.0; }), failure.expected);
        EXPECT_EQ(number, 0);
        const ErrorRecord record = TakeErrorInfo();
        EXPECT_EQ(record.description, failure.description);
        EXPECT_EQ(record.source, u"Velmora.clsTarsin");
        EXPECT_TRUE(::IsEqualGUID(record.guid, IID__clsTarsin));
    }
    EXPECT_EQ(RunCall(kSource, static_cast<BSTR*>(nullptr), [] { return String(); }), E_POINTER);
}

TEST(Calls, ArrayMisuseNeverReachesTheComponentAndFailuresKeepTheHostArray) {
    bool ran = false;
    VARIANT_BOOL answer = VARIANT_TRUE;
    SAFEARRAY* wrong = ::SafeArrayCreateVector(VT_I4, 0, 1);
    EXPECT_EQ(RunCallWithArray(kSource, &wrong, &answer, [&](StringArrayRef) { return ran = true; }),
              DISP_E_TYPEMISMATCH);
    EXPECT_FALSE(ran);
    EXPECT_EQ(answer, VARIANT_FALSE);
    ::SafeArrayDestroy(wrong);
    EXPECT_EQ(RunCallWithArray(kSource, nullptr, &answer, [&](StringArrayRef) { return ran = true; }), E_POINTER);
    EXPECT_FALSE(ran);

    SAFEARRAY* array = StringArray({u"keep"});
    SAFEARRAY* original = array;
    EXPECT_EQ(RunCallWithArray(kSource, &array, &answer,
                           [](StringArrayRef items) {
                               items.Resize(3);
                               items[1] = u"lost";
                               Raise(Err::Overflow);
                               return true;
                           }),
              static_cast<HRESULT>(0x800A0006));
    EXPECT_EQ(array, original);
    EXPECT_EQ(Contents(array), std::vector<String>{u"keep"});

    // Index 0 is present and left alone; the callee grows the array to its own size.
    EXPECT_EQ(RunCallWithArray(kSource, &array, &answer,
                           [](StringArrayRef items) {
                               items.Resize(3);
                               items[1] = u"C:\\";
                               items[2] = u"D:\\";
                               return true;
                           }),
              S_OK);
    EXPECT_EQ(answer, VARIANT_TRUE);
    EXPECT_EQ(Contents(array), (std::vector<String>{u"keep", u"C:\\", u"D:\\"}));
    ::SafeArrayDestroy(array);
}

}  // namespace
}  // namespace velmora::com
