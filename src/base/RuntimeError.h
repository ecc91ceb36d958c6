#pragma once
// The one failure type of the component. It carries the error number and text an
// automation host expects (6 Overflow, 9 Subscript out of range, ...); at the COM
// boundary it becomes HRESULT 0x800A0000 + number with the description.
#include <cstdint>
#include <exception>

#include "base/String.h"

namespace velmora {

enum class Err : int32_t {
    InvalidCall = 5,
    Overflow = 6,
    OutOfMemory = 7,
    SubscriptOutOfRange = 9,
    ArrayFixedOrLocked = 10,
    DivisionByZero = 11,
    TypeMismatch = 13,
    BadFileNameOrNumber = 52,
    FileNotFound = 53,
    DllNotFound = 48,
    InternalError = 51,
    EntryPointNotFound = 453,
    NotImplemented = 445,
};

class RuntimeError : public std::exception {
public:
    RuntimeError(int32_t number, String description);
    explicit RuntimeError(Err err);  // with the standard description of that number

    int32_t Number() const noexcept { return number_; }
    const String& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    int32_t number_;
    String description_;
    std::string what_;
};

// The standard description of a host-facing error number ("Overflow" for 6).
String StandardDescription(int32_t number);

[[noreturn]] void Raise(Err err);

// A failure as a host sees it: the error number and its text.
struct HostError {
    int32_t number = 0;
    String description;
};

// The one mapping from a failure to what the host is told: a RuntimeError keeps its
// number and description, bad_alloc is 7 "Out of memory", any other failure is 51
// "Internal error" (with the exception's own text, where it has one).
HostError ErrorFromException(std::exception_ptr failure) noexcept;

}  // namespace velmora
