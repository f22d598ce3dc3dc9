// The one reader of small decimal integers: white space, one sign, digits up
// to the first non-digit, saturation at the limits (the rows at and next to
// each limit are where an off-by-one hides).

#include "bigint/decimal_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace {

TEST(DecimalText, ReadsLikeTheDialogs) {
    const struct {
        const char* text;
        int64_t asInt, asInt64;
    } rows[] = {
        {"42", 42, 42},
        {" \t\n\v\f\r42", 42, 42},  // every white-space character is skipped
        {"+42", 42, 42},
        {"-42", -42, -42},
        {"-0", 0, 0},
        {"12abc", 12, 12},  // stops at the first non-digit
        {"12 34", 12, 12},
        {"", 0, 0},  // no digits gives 0
        {"-", 0, 0},
        {"--5", 0, 0},  // only one sign
        {"- 5", 0, 0},
        {"\xef\xbc\x91", 0, 0},  // a full-width digit is no digit
        {"2147483646", INT_MAX - 1, INT_MAX - 1},
        {"2147483647", INT_MAX, INT_MAX},
        {"2147483648", INT_MAX, 2147483648LL},  // saturates instead of overflowing
        {"-2147483647", INT_MIN + 1, -2147483647LL},
        {"-2147483648", INT_MIN, INT_MIN},
        {"-2147483649", INT_MIN, -2147483649LL},
        {"4294967295", INT_MAX, 4294967295LL},
        {"9223372036854775806", INT_MAX, INT64_MAX - 1},
        {"9223372036854775807", INT_MAX, INT64_MAX},
        {"9223372036854775808", INT_MAX, INT64_MAX},
        {"-9223372036854775808", INT_MIN, INT64_MIN},
        {"-9223372036854775809", INT_MIN, INT64_MIN},
        {"99999999999999999999999999999999", INT_MAX, INT64_MAX},
        {"000000000000000000000000000000001", 1, 1},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(ReadDecimalInt(r.text), r.asInt) << '"' << r.text << '"';
        EXPECT_EQ(ReadDecimalInt64(r.text), r.asInt64) << '"' << r.text << '"';
    }
}

}  // namespace
