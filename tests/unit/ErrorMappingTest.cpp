#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "base/RuntimeError.h"

namespace velmora {
namespace {

template <typename Failure>
HostError Mapped(Failure failure) {
    try {
        throw failure;
    } catch (...) {
        return ErrorFromException(std::current_exception());
    }
}

TEST(ErrorFromException, EachFailureHasItsOwnNumberAndText) {
    const struct {
        const char* label;
        HostError mapped;
        int32_t number;
        const char16_t* description;
    } cases[] = {
        {"runtime error", Mapped(RuntimeError(Err::Overflow)), 6, u"Overflow"},
        {"own text", Mapped(RuntimeError(53, u"No such drive")), 53, u"No such drive"},
        {"no memory", Mapped(std::bad_alloc()), 7, u"Out of memory"},
        {"other standard failure", Mapped(std::out_of_range("vector")), 51, u"Internal error: vector"},
        {"standard failure without text", Mapped(std::runtime_error("")), 51, u"Internal error"},
        {"not a standard failure", Mapped(42), 51, u"Internal error"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.mapped.number, c.number) << c.label;
        EXPECT_EQ(c.mapped.description, String(c.description)) << c.label;
    }
    EXPECT_EQ(ErrorFromException(nullptr).number, 51);
}

}  // namespace
}  // namespace velmora
