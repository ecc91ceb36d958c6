#include "base/RuntimeError.h"

#include <new>

#include "text/Utf.h"

namespace velmora {
namespace {

struct Described {
    Err err;
    const char* text;
};

constexpr Described kDescriptions[] = {
    {Err::InvalidCall, "Invalid procedure call or argument"},
    {Err::Overflow, "Overflow"},
    {Err::OutOfMemory, "Out of memory"},
    {Err::SubscriptOutOfRange, "Subscript out of range"},
    {Err::ArrayFixedOrLocked, "This array is fixed or temporarily locked"},
    {Err::DivisionByZero, "Division by zero"},
    {Err::TypeMismatch, "Type mismatch"},
    {Err::DllNotFound, "Error in loading DLL"},
    {Err::InternalError, "Internal error"},
    {Err::BadFileNameOrNumber, "Bad file name or number"},
    {Err::FileNotFound, "File not found"},
    {Err::NotImplemented, "Object doesn't support this action"},
    {Err::EntryPointNotFound, "Specified DLL function not found"},
};

}  // namespace

String StandardDescription(int32_t number) {
    for (const auto& row : kDescriptions)
        if (static_cast<int32_t>(row.err) == number) return FromAscii(row.text);
    return FromAscii("Application-defined or object-defined error");
}

RuntimeError::RuntimeError(int32_t number, String description)
    : number_(number), description_(std::move(description)),
      what_(Utf16ToUtf8(description_)) {}

RuntimeError::RuntimeError(Err err)
    : RuntimeError(static_cast<int32_t>(err), StandardDescription(static_cast<int32_t>(err))) {}

void Raise(Err err) { throw RuntimeError(err); }

HostError ErrorFromException(std::exception_ptr failure) noexcept {
    const auto standard = [](Err err) {
        return HostError{static_cast<int32_t>(err), StandardDescription(static_cast<int32_t>(err))};
    };
    try {
        try {
            if (!failure) return standard(Err::InternalError);
            std::rethrow_exception(failure);
        } catch (const RuntimeError& error) {
            return {error.Number(), error.Description()};
        } catch (const std::bad_alloc&) {
            return standard(Err::OutOfMemory);
        } catch (const std::exception& error) {
            HostError internal = standard(Err::InternalError);
            if (*error.what()) internal.description += u": " + Utf8ToUtf16(error.what());
            return internal;
        } catch (...) {
            return standard(Err::InternalError);
        }
    } catch (...) {
        // Building the answer itself failed (no memory for the text): a number alone.
        return {static_cast<int32_t>(Err::OutOfMemory), String()};
    }
}

}  // namespace velmora
