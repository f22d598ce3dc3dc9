// Decimal reading of the dialogs' small integer fields: table of quirks, and
// random texts against a slow reference that reads the digits into a GMP
// integer and saturates it.
#include "bigint/decimal_text.h"

#include <gmp.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <string>

namespace {

struct IntRow {
    const char* text;
    int expected;
};

TEST(DecimalText, ReadsIntLikeTheDialogs) {
    const IntRow rows[] = {
        {"42", 42},
        {"  42", 42},
        {" \t\n\v\f\r42", 42},   // every white-space character is skipped
        {"+42", 42},
        {"-42", -42},
        {"-0", 0},
        {"0007", 7},
        {"12abc", 12},            // stops at the first non-digit
        {"12 34", 12},
        {"3.9", 3},
        {"", 0},                  // no digits gives 0
        {"abc", 0},
        {"-", 0},
        {"+", 0},
        {"--5", 0},               // only one sign
        {"+-5", 0},
        {"- 5", 0},               // no blank between sign and digits
        {"42 ", 42},
        {"\xef\xbc\x91\xef\xbc\x92", 0},   // full-width digits are not digits
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", INT_MAX},  // saturates instead of overflowing
        {"-2147483649", INT_MIN},
        {"99999999999999999999999999999999", INT_MAX},
        {"-99999999999999999999999999999999", INT_MIN},
        {"000000000000000000000000000000001", 1},
    };
    for (const IntRow& r : rows) EXPECT_EQ(ReadDecimalInt(r.text), r.expected) << '"' << r.text << '"';
}

struct Int64Row {
    const char* text;
    int64_t expected;
};

TEST(DecimalText, ReadsInt64WithSaturation) {
    const Int64Row rows[] = {
        {"4294967295", 4294967295LL},
        {"-2147483647", -2147483647LL},
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"-9223372036854775809", INT64_MIN},
        {"123456789012345678901234567890", INT64_MAX},
        {" x", 0},
    };
    for (const Int64Row& r : rows) EXPECT_EQ(ReadDecimalInt64(r.text), r.expected) << '"' << r.text << '"';
}

// The reading rule followed literally, with an unbounded integer.
int64_t ReferenceRead(const std::string& text, int64_t lo, int64_t hi) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::string digits;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') digits += text[i++];
    if (digits.empty()) return 0;
    mpz_t v, bound;
    mpz_init_set_str(v, digits.c_str(), 10);
    if (negative) mpz_neg(v, v);
    mpz_init_set_si(bound, static_cast<long>(hi));
    int64_t result;
    if (mpz_cmp(v, bound) > 0) {
        result = hi;
    } else {
        mpz_set_si(bound, static_cast<long>(lo));
        result = mpz_cmp(v, bound) < 0 ? lo : static_cast<int64_t>(mpz_get_si(v));
    }
    mpz_clear(v);
    mpz_clear(bound);
    return result;
}

TEST(DecimalText, RandomTextsMatchReference) {
    const unsigned seed = 20261206;
    std::mt19937 rng(seed);
    const std::string alphabet = " \t+-0123456789012345678901234567890123456789x";
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int length = static_cast<int>(rng() % 28);
        for (int k = 0; k < length; ++k) text += alphabet[rng() % alphabet.size()];
        ASSERT_EQ(ReadDecimalInt(text), ReferenceRead(text, INT_MIN, INT_MAX))
            << "seed " << seed << " text \"" << text << '"';
        ASSERT_EQ(ReadDecimalInt64(text), ReferenceRead(text, INT64_MIN, INT64_MAX))
            << "seed " << seed << " text \"" << text << '"';
    }
}

}  // namespace
