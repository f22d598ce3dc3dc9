// Edge cases of BigInt as tables: one row per case, each readable on its own.
// Expected values are hand-checked literals (or GMP where a literal would be
// unreadable), never computed by BigInt.
//
// Value syntax of the tables: decimal ("-12"), "-0" for a negative zero,
// "2^k", "2^k-d", "2^k+d" and a leading "-" on any of them.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>

#include "tests/bigint/test_support.h"

namespace bigint_test {
namespace {

constexpr const char* kDivByZero = "0で除算しました.";

Mpz Val(const char* text, bool* negativeZero = nullptr) {
    std::string s(text);
    bool negative = false;
    if (!s.empty() && s[0] == '-') {
        negative = true;
        s = s.substr(1);
    }
    Mpz v;
    if (s.rfind("2^", 0) == 0) {
        size_t end = 2;
        while (end < s.size() && isdigit(static_cast<unsigned char>(s[end]))) ++end;
        v = Pow2(static_cast<unsigned>(std::stoul(s.substr(2, end - 2))));
        if (end < s.size()) {
            const long d = std::stol(s.substr(end + 1));
            if (s[end] == '+')
                mpz_add_ui(v, v, d);
            else
                mpz_sub_ui(v, v, d);
        }
    } else {
        mpz_set_str(v, s.c_str(), 10);
    }
    if (negativeZero) *negativeZero = negative && mpz_sgn(v) == 0;
    if (negative) mpz_neg(v, v);
    return v;
}

// head followed by n copies of c.
std::string Repeat(const char* head, size_t n, char c) {
    std::string s(head);
    s.append(n, c);
    return s;
}

BigInt B(const char* text) {
    bool negZero = false;
    BigInt b = BigFromMpz(Val(text, &negZero));
    if (negZero) b.sign = 1;
    return b;
}

BigInt Invalid(const char* text) {
    BigInt b = B(text);
    b.status = 1;
    return b;
}

struct Expect {
    int status;
    const char* value;       ///< nullptr: the value is not checked (status 1)
    int top = -1;            ///< -1: not checked beyond the value's own normal form
    const char* err = "";    ///< "" no line; "+", "*(1)", ...: that perror line; nullptr: not checked
    bool box = false;        ///< the division-by-zero box was shown
};

struct Row {
    const char* what;
    std::function<BigInt()> run;
    Expect expect;
};

void CheckRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        BigInt got;
        Output out = Capture([&] { got = row.run(); });
        EXPECT_EQ(got.status, row.expect.status) << Describe(got);
        if (row.expect.value) {
            bool negZero = false;
            Mpz v = Val(row.expect.value, &negZero);
            EXPECT_EQ(mpz_cmp(ToMpz(got), v), 0) << Describe(got);
            EXPECT_EQ(got.sign, (mpz_sgn(v) < 0 || negZero) ? 1 : 0) << Describe(got);
            EXPECT_TRUE(IsNormal(got)) << Describe(got);
        }
        if (row.expect.top >= 0) {
            EXPECT_EQ(got.top, row.expect.top) << Describe(got);
        }
        if (row.expect.err) {
            EXPECT_EQ(out.err, *row.expect.err ? OopsLine(row.expect.err) : "") << out.Describe();
        }
        EXPECT_EQ(out.out, "");
        if (row.expect.box) {
            ASSERT_EQ(out.boxes.size(), 1u);
            EXPECT_EQ(out.boxes[0].text, kDivByZero);
            EXPECT_EQ(out.boxes[0].caption, "Kalvora");
        } else {
            EXPECT_TRUE(out.boxes.empty()) << out.Describe();
        }
    }
}

TEST(BigIntEdgeCases, ConstructionAndFields) {
    {
        BigInt a(65535);
        EXPECT_EQ(a.top, 0);
        BigInt b(65536);
        EXPECT_EQ(b.top, 1);
        EXPECT_EQ(b.limbs[0], 0);
        EXPECT_EQ(b.limbs[1], 1);
        BigInt c;
        c = 65536;
        EXPECT_EQ(c.top, 1);
        EXPECT_EQ(c.limbs[0], 0);
        EXPECT_EQ(c.limbs[1], 1);
        BigInt d(-1);
        EXPECT_EQ(d.sign, 1);
        EXPECT_EQ(d.top, 0);
        EXPECT_EQ(d.limbs[0], 1);
        BigInt e(INT_MIN);
        EXPECT_EQ(e.sign, 1);
        EXPECT_EQ(e.top, 1);
        EXPECT_EQ(e.limbs[0], 0);
        EXPECT_EQ(e.limbs[1], 0x8000);
        BigInt z;
        EXPECT_EQ(z.status, 0);
        EXPECT_EQ(z.sign, 0);
        EXPECT_EQ(z.top, 0);
        for (uint16_t l : z.limbs) EXPECT_EQ(l, 0);
    }
    struct IntRow {
        const char* what;
        int64_t got;
        int64_t expected;
    };
    const IntRow rows[] = {
        {"ToInt of 2^31 + 5 is 5", B("2^31+5").ToInt(), 5},
        {"ToInt of -65537", B("-65537").ToInt(), -65537},
        {"ToInt of 2^40 + 2^31 + 7 keeps the low 31 bits", B("1099511627776").operator+(B("2147483655")).ToInt(), 7},
        {"ToInt of -(2^33 + 9) keeps the low 31 bits, negated", B("-8589934601").ToInt(), -9},
        {"Low32 of -1 is 1", B("-1").Low32(), 1},
        {"Low32 of 2^32 + 3 is 3", B("4294967299").Low32(), 3},
        {"Low32 of 2^32 - 1", B("4294967295").Low32(), 4294967295},
        {"values differing only in sign are unequal", B("5") == B("-5"), 0},
        {"negative zero is less than zero", B("-0") < B("0"), 1},
        {"zero is greater than negative zero", B("0") > B("-0"), 1},
        {"negative zero is not equal to zero", B("-0") == 0, 0},
        {"an invalid value is not equal to itself", [] { BigInt a = Invalid("5"); return a == a; }(), 0},
        {"an invalid value differs from itself", [] { BigInt a = Invalid("5"); return a != a; }(), 1},
        {"-3 < 2", B("-3") < 2, 1},
        {"-3 > -4", B("-3") > -4, 1},
        {"2^1615 > 2^1614", B("2^1615") > B("2^1614"), 1},
        {"-(2^1615) < -(2^1614)", B("-2^1615") < B("-2^1614"), 1},
        {"7 >= 7", B("7") >= 7, 1},
        {"7 <= 6", B("7") <= 6, 0},
        {"CompareMagnitude(-9, 5) is 1", B("-9").CompareMagnitude(B("5")), 1},
        {"CompareMagnitude(5, -9) is 2", B("5").CompareMagnitude(B("-9")), 2},
        {"CompareMagnitude(-0, 0) is 0", B("-0").CompareMagnitude(B("0")), 0},
    };
    for (const auto& r : rows) EXPECT_EQ(r.got, r.expected) << r.what;
}

TEST(BigIntEdgeCases, AdditionSubtractionMultiplicationShifts) {
    CheckRows({
        {"65535 + 1 = 65536 with top 1", [] { return B("65535") + 1; }, {0, "65536", 1}},
        {"-5 + 5 = 0 with sign 0", [] { return B("-5") + 5; }, {0, "0", 0}},
        {"3 - 5 = -2", [] { return B("3") - 5; }, {0, "-2"}},
        {"(2^1600 - 1) + 1 overflows", [] { return B("2^1600-1") + 1; }, {1, nullptr, -1, "+"}},
        {"2^1600 + 0 overflows", [] { return B("2^1600") + 0; }, {1, nullptr, -1, "+"}},
        {"2^1600 - 1 does not", [] { return B("2^1600") - 1; }, {0, "2^1600-1"}},
        {"-(2^1600) - 1 overflows", [] { return B("-2^1600") - 1; }, {1, nullptr, -1, "+"}},
        {"-(2^1600) + 1 does not", [] { return B("-2^1600") + 1; }, {0, "-2^1600-1"}},
        {"2^1616 - 1 minus itself is 0", [] { return B("2^1616-1") - B("2^1616-1"); }, {0, "0"}},
        {"an invalid operand gives an invalid zero", [] { return Invalid("3") + 4; }, {1, "0"}},
        {"2^807 * 2^808 = 2^1615 with top 100", [] { return B("2^807") * B("2^808"); }, {0, "2^1615", 100}},
        {"2^808 * 2^808 overflows in the carry", [] { return B("2^808") * B("2^808"); }, {1, nullptr, -1, "*(2)"}},
        {"65536^51 * 65536^50 is too long", [] { return B("2^816") * B("2^800"); }, {1, nullptr, -1, "*(1)"}},
        {"2^1615 * 0 = 0", [] { return B("2^1615") * B("0"); }, {0, "0"}},
        {"(-3) * 4 = -12", [] { return B("-3") * 4; }, {0, "-12"}},
        {"0 * (-3) = 0 with sign 0", [] { return B("0") * -3; }, {0, "0"}},
        {"(-0) * (-3) = 0 with sign 0", [] { return B("-0") * -3; }, {0, "0"}},
        {"(2^808 - 1)^2 fits", [] { return B("2^808-1") * B("2^808-1"); }, {0, nullptr, 100}},
        {"1 << 1615 = 2^1615", [] { return B("1") << 1615; }, {0, "2^1615", 100}},
        {"1 << 1616 overflows by limbs", [] { return B("1") << 1616; }, {1, "0", -1, "<<(1)"}},
        {"2^1615 << 1 overflows by bits", [] { return B("2^1615") << 1; }, {1, "0", -1, "<<(2)"}},
        {"-(2^1615) << 1 overflows, zero with sign 0", [] { return B("-2^1615") << 1; }, {1, "0", -1, "<<(2)"}},
        {"0 << 65535 is 0", [] { return B("0") << 65535; }, {0, "0"}},
        {"-0 << 3 stays a negative zero", [] { return B("-0") << 3; }, {0, "-0"}},
        {"-3 << 4 = -48", [] { return B("-3") << 4; }, {0, "-48"}},
        {"-5 >> 1 = -2", [] { return B("-5") >> 1; }, {0, "-2"}},
        {"-5 >> 3 is a negative zero", [] { return B("-5") >> 3; }, {0, "-0"}},
        {"-5 >> 16 is 0 with sign 0", [] { return B("-5") >> 16; }, {0, "0"}},
        {"5 >> 65535 is 0", [] { return B("5") >> 65535; }, {0, "0"}},
        {"-(2^1615) >> 1615 = -1", [] { return B("-2^1615") >> 1615; }, {0, "-1"}},
        {"an invalid operand is shifted back unchanged", [] { return Invalid("12") << 3; }, {1, "12"}},
    });
    BigInt x(41);
    const BigInt old = x++;
    EXPECT_EQ(old.ToInt(), 41);
    EXPECT_EQ(x.ToInt(), 42);
    const BigInt pre = ++x;
    EXPECT_EQ(pre.ToInt(), 43);
    EXPECT_EQ(x.ToInt(), 43);
    const BigInt oldDown = x--;
    EXPECT_EQ(oldDown.ToInt(), 43);
    EXPECT_EQ(x.ToInt(), 42);
    EXPECT_EQ((--x).ToInt(), 41);
    BigInt y(5);
    EXPECT_EQ((y += 3).ToInt(), 8);
    EXPECT_EQ((y -= 10).ToInt(), -2);
    EXPECT_EQ((y *= -4).ToInt(), 8);
    EXPECT_EQ((y <<= 2).ToInt(), 32);
    EXPECT_EQ((y >>= 3).ToInt(), 4);
    EXPECT_EQ(y.ToInt(), 4);
}

TEST(BigIntEdgeCases, DivisionAndRemainder) {
    CheckRows({
        {"7 / 2 = 3", [] { return B("7") / 2; }, {0, "3"}},
        {"-7 / 2 = -3", [] { return B("-7") / 2; }, {0, "-3"}},
        {"7 / -2 = -3", [] { return B("7") / -2; }, {0, "-3"}},
        {"-7 / -2 = 3", [] { return B("-7") / -2; }, {0, "3"}},
        {"7 % 2 = 1", [] { return B("7") % 2; }, {0, "1"}},
        {"-7 % 2 = -1", [] { return B("-7") % 2; }, {0, "-1"}},
        {"7 % -2 = 1", [] { return B("7") % -2; }, {0, "1"}},
        {"-7 % -2 = -1", [] { return B("-7") % -2; }, {0, "-1"}},
        {"17 / 5 = 3", [] { return B("17") / 5; }, {0, "3"}},
        {"17 % 5 = 2", [] { return B("17") % 5; }, {0, "2"}},
        {"-17 / 5 = -3", [] { return B("-17") / 5; }, {0, "-3"}},
        {"-17 % 5 = -2", [] { return B("-17") % 5; }, {0, "-2"}},
        {"3 / 5 = 0 with sign 0", [] { return B("3") / 5; }, {0, "0"}},
        {"-3 / 5 = 0 with sign 0", [] { return B("-3") / 5; }, {0, "0"}},
        {"3 % 5 = 3", [] { return B("3") % 5; }, {0, "3"}},
        {"-3 % 5 = -3", [] { return B("-3") % 5; }, {0, "-3"}},
        {"-10 % 5 = 0 with sign 0", [] { return B("-10") % 5; }, {0, "0"}},
        {"5 / 0: invalid, line and box", [] { return B("5") / 0; }, {1, "0", -1, "/", true}},
        {"5 % 0: invalid, line and box", [] { return B("5") % 0; }, {1, "0", -1, "/", true}},
        {"0 / 0: invalid, line and box", [] { return B("0") / 0; }, {1, "0", -1, "/", true}},
        {"0 % 0: invalid, line and box", [] { return B("0") % 0; }, {1, "0", -1, "/", true}},
        {"5 / -0 is a division by zero too", [] { return B("5") / B("-0"); }, {1, "0", -1, "/", true}},
        {"an invalid divisor 0 shows nothing", [] { return B("5") / Invalid("0"); }, {1, "0"}},
        {"x / 1 is x", [] { return B("-123456789012345678901234567890") / 1; }, {0, "-123456789012345678901234567890"}},
        {"x / -1 is -x", [] { return B("-123456789012345678901234567890") / -1; }, {0, "123456789012345678901234567890"}},
        {"x % 1 is 0", [] { return B("-98765432109876543210") % 1; }, {0, "0"}},
        {"x % -1 is 0", [] { return B("-98765432109876543210") % -1; }, {0, "0"}},
        {"-2^1615 / 2 by the shift", [] { return B("-2^1615") / 2; }, {0, "-2^1614", -1, ""}},
        // A dividend of 1616 bits: the divisor's trial shift runs off the last limb.
        {"(2^1616 - 1) / -2 writes the trial-shift line", [] { return B("2^1616-1") / -2; }, {0, "-2^1615-1", -1, "<<(2)"}},
        {"2^1615 / 2^1615 = 1 with the trial-shift line", [] { return B("2^1615") / B("2^1615"); }, {0, "1", -1, "<<(2)"}},
        {"(2^1616 - 1) % 3 = 0 with the trial-shift line", [] { return B("2^1616-1") % 3; }, {0, "0", -1, "<<(2)"}},
        {"(2^1615 - 1) / 3 writes no line", [] { return B("2^1615-1") / 3; }, {0, nullptr, -1, ""}},
    });
    // (2^1616 - 1) / 3 = 0x5555...5 with 404 hexadecimal digits.
    BigInt q;
    Output out = Capture([&] { q = B("2^1616-1") / 3; });
    char text[BIGINT_TEXT_SIZE];
    EXPECT_STREQ(q.ToString(text, 16), std::string(404, '5').c_str());
    EXPECT_EQ(out.err, OopsLine("<<(2)"));
}

TEST(BigIntEdgeCases, ParsingTexts) {
    struct ParseRow {
        const char* what;
        const char* text;
        uint16_t radix;
        int rc;
        const char* value;  // nullptr: not checked
        const char* err;
    };
    const std::string hex400F(400, 'F');
    const std::string hex2pow1600 = Repeat("1", 400, '0');
    const ParseRow rows[] = {
        {"FF in radix 16", "FF", 16, 0, "255", ""},
        {"ff in radix 16", "ff", 16, 0, "255", ""},
        {"-10 in radix 2", "-10", 2, 0, "-2", ""},
        {"2 in radix 2 fails", "2", 2, 1, nullptr, ""},
        {"G fails in radix 16", "G", 16, 1, nullptr, ""},
        {"g fails in radix 16", "g", 16, 1, nullptr, ""},
        {"a leading plus fails", "+1", 10, 1, nullptr, ""},
        {"a leading blank fails", " 1", 10, 1, nullptr, ""},
        {"a trailing blank fails", "1 ", 10, 1, nullptr, ""},
        {"the empty text is 0", "", 10, 0, "0", ""},
        {"a lone minus is a negative zero", "-", 10, 0, "-0", ""},
        {"minus and zeros is a negative zero", "-000", 16, 0, "-0", ""},
        {"two minus signs fail", "--1", 10, 1, nullptr, ""},
        {"leading zeros are fine", "000123", 10, 0, "123", ""},
        {"2^1600 - 1 as 400 F parses", hex400F.c_str(), 16, 0, "2^1600-1", ""},
        {"2^1600 fails with an overflow", hex2pow1600.c_str(), 16, 1, nullptr, "+"},
        {"the partial value: 12 then Z", "12Z", 10, 1, "120", ""},
        {"the partial value keeps sign 0", "-12Z", 10, 1, "120", ""},
        {"9 in radix 8 after 1", "19", 8, 1, "8", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        BigInt x(-777);
        int rc = -1;
        Output out = Capture([&] { rc = x.FromString(r.text, r.radix); });
        EXPECT_EQ(rc, r.rc);
        EXPECT_EQ(out.err, *r.err ? OopsLine(r.err) : "");
        if (r.value) {
            bool negZero = false;
            Mpz v = Val(r.value, &negZero);
            EXPECT_EQ(mpz_cmp(ToMpz(x), v), 0) << Describe(x);
            EXPECT_EQ(x.sign, (mpz_sgn(v) < 0 || negZero) ? 1 : 0) << Describe(x);
            EXPECT_EQ(x.status, 0);
        }
    }
    // The overflow leaves the partial sum: 2^1600 in the limbs, status 1, sign 0, top 0.
    BigInt x;
    Capture([&] { x.FromString(hex2pow1600.c_str(), 16); });
    EXPECT_EQ(x.status, 1);
    EXPECT_EQ(x.sign, 0);
    EXPECT_EQ(x.top, 0);
    EXPECT_EQ(x.limbs[100], 1);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(x.limbs[i], 0) << i;
}

TEST(BigIntEdgeCases, AdditionOverflowLeavesThePartialSum) {
    // The sum's low 1616 bits stay in the limbs with status 1, sign 0 and top 0.
    struct PartialRow {
        const char* what;
        BigInt a, b;
        const char* limbsValue;  // the magnitude held in the limbs
    };
    const PartialRow rows[] = {
        {"(2^1600 - 1) + 1", B("2^1600-1"), B("1"), "2^1600"},
        {"-(2^1600 - 1) - 1", B("-2^1600-1"), B("-1"), "2^1600"},
        {"(2^1616 - 1) + (2^1616 - 1) wraps", B("2^1616-1"), B("2^1616-1"), "2^1616-2"},
        {"2^1615 + 2^1615 wraps to 0", B("2^1615"), B("2^1615"), "0"},
        {"2^1610 + 5", B("2^1610"), B("5"), "2^1610+5"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        BigInt s;
        Output out = Capture([&] { s = r.a + r.b; });
        EXPECT_EQ(out.err, OopsLine("+"));
        EXPECT_EQ(s.status, 1);
        EXPECT_EQ(s.sign, 0);
        EXPECT_EQ(s.top, 0);
        Mpz limbs;
        mpz_import(limbs, 101, -1, sizeof(uint16_t), 0, 0, s.limbs);
        EXPECT_EQ(mpz_cmp(limbs, Val(r.limbsValue)), 0) << Describe(s);
    }
}

TEST(BigIntEdgeCases, FormattingTexts) {
    struct FormatRow {
        const char* what;
        BigInt value;
        uint16_t radix;
        const char* text;
    };
    const FormatRow rows[] = {
        {"zero", B("0"), 10, "0"},
        {"negative zero", B("-0"), 10, "0"},
        {"-255 in radix 16", B("-255"), 16, "-FF"},
        {"65536 in radix 10", B("65536"), 10, "65536"},
        {"radix 1 gives an empty text", B("12"), 1, ""},
        {"radix 17 gives an empty text", B("12"), 17, ""},
        {"radix 0 gives an empty text", B("12"), 0, ""},
        {"-1 in radix 2", B("-1"), 2, "-1"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        BigInt x = r.value;
        char text[BIGINT_TEXT_SIZE];
        x.ToString(text, r.radix);
        EXPECT_STREQ(text, r.text);
    }
    // Values of 1616 bits: the first digit's division writes the trial-shift line, once.
    char text[BIGINT_TEXT_SIZE];
    Mpz power3;
    mpz_ui_pow_ui(power3, 3, 1019);
    struct LongRow {
        const char* what;
        BigInt value;
        uint16_t radix;
        std::string text;
    };
    const LongRow longRows[] = {
        {"2^1616 - 1 in radix 16 is 404 F", B("2^1616-1"), 16, std::string(404, 'F')},
        {"3^1019 in radix 3 is 1 and 1019 zeros", BigFromMpz(power3), 3, Repeat("1", 1019, '0')},
        {"2^1615 in radix 2 is 1 and 1615 zeros", B("2^1615"), 2, Repeat("1", 1615, '0')},
        {"-(2^1616 - 1) in radix 2", B("-2^1616-1"), 2, Repeat("-", 1616, '1')},
    };
    for (const auto& r : longRows) {
        SCOPED_TRACE(r.what);
        BigInt x = r.value;
        Output out = Capture([&] { x.ToString(text, r.radix); });
        EXPECT_EQ(std::string(text), r.text);
        EXPECT_EQ(out.err, OopsLine("<<(2)"));
    }

    // Formatting clears the caller's negative zero, but only for a radix it formats in.
    BigInt nz = B("-0");
    nz.ToString(text, 17);
    EXPECT_EQ(nz.sign, 1) << "radix 17 returns before looking at the value";
    nz.ToString(text, 10);
    EXPECT_EQ(nz.sign, 0);
    EXPECT_STREQ(text, "0");

    // Alternating radices rebuild the cache and give the same texts.
    BigInt v = B("-123456789012345678901234567890123456789");
    std::string first10 = v.ToString(text, 10);
    std::string first16 = v.ToString(text, 16);
    EXPECT_EQ(first10, "-123456789012345678901234567890123456789");
    EXPECT_EQ(first16, "-5CE0E9A56015FEC5AADFA328AE398115");
    EXPECT_EQ(std::string(v.ToString(text, 10)), first10);
    EXPECT_EQ(std::string(v.ToString(text, 16)), first16);
}

TEST(BigIntEdgeCases, Powers) {
    CheckRows({
        {"2^10 = 1024", [] { return B("2").Power(10); }, {0, "1024"}},
        {"(-2)^3 = -8", [] { return B("-2").Power(3); }, {0, "-8"}},
        {"(-2)^4 = 16", [] { return B("-2").Power(BigInt(4)); }, {0, "16"}},
        {"0^0 = 1", [] { return B("0").Power(0); }, {0, "1"}},
        {"0^5 = 0", [] { return B("0").Power(5); }, {0, "0"}},
        {"1^-5 = 1", [] { return B("1").Power(-5); }, {0, "1"}},
        {"(-1)^-3 = -1", [] { return B("-1").Power(-3); }, {0, "-1"}},
        {"(-1)^-4 = 1", [] { return B("-1").Power(-4); }, {0, "1"}},
        {"2^-1 = 0", [] { return B("2").Power(-1); }, {0, "0"}},
        {"0^-1 is invalid", [] { return B("0").Power(-1); }, {1, "0"}},
        {"2^1615 fits", [] { return B("2").Power(1615); }, {0, "2^1615"}},
        {"2^1616 overflows in the last squaring", [] { return B("2").Power(1616); }, {1, "0", -1, "*(2)"}},
        {"2^65536 is refused silently", [] { return B("2").Power(65536); }, {1, "0", -1, ""}},
        {"3^65537 is refused silently", [] { return B("3").Power(65537); }, {1, "0", -1, ""}},
        {"0^65536 = 0", [] { return B("0").Power(65536); }, {0, "0"}},
        {"a negative-zero exponent counts as zero", [] { return B("2").Power(B("-0")); }, {0, "1"}},
        {"(-1)^(2^100 + 1) = -1", [] { return B("-1").Power(B("2^100+1")); }, {0, "-1"}},
        {"4^808 overflows in the last squaring", [] { return B("4").Power(808); }, {1, "0", -1, "*(2)"}},
        {"4^1616 fails the pre-check silently", [] { return B("4").Power(1616); }, {1, "0", -1, ""}},
        {"an invalid base gives invalid", [] { return Invalid("2").Power(3); }, {1, "0"}},
        {"PowerMod(4, 13, 497) = 445", [] { return B("4").PowerMod(13, 497); }, {0, "445"}},
        {"PowerMod(4, 0, 497) = 1", [] { return B("4").PowerMod(0, 497); }, {0, "1"}},
        {"PowerMod(4, 13, 1) = 0", [] { return B("4").PowerMod(13, 1); }, {0, "0"}},
        {"PowerMod of a negative base", [] { return B("-4").PowerMod(13, 497); }, {1, "0"}},
        {"PowerMod with a negative exponent", [] { return B("4").PowerMod(-13, 497); }, {1, "0"}},
        {"PowerMod with a negative modulus", [] { return B("4").PowerMod(13, -497); }, {1, "0"}},
        {"PowerMod with a zero modulus, no box", [] { return B("4").PowerMod(13, 0); }, {1, "0", -1, ""}},
        {"PowerMod of a negative-zero base", [] { return B("-0").PowerMod(BigInt(3), BigInt(5)); }, {1, "0"}},
        {"PowerModCached(4, 13, 497) = 445", [] { return B("4").PowerModCached(BigInt(13), BigInt(497)); }, {0, "445"}},
        {"PowerModCached(4, 0, 497) = 1", [] { return B("4").PowerModCached(BigInt(0), BigInt(497)); }, {0, "1"}},
        {"PowerModCached(4, 13, 1) = 0", [] { return B("4").PowerModCached(BigInt(13), BigInt(1)); }, {0, "0"}},
        {"PowerModCached of a negative base", [] { return B("-4").PowerModCached(BigInt(13), BigInt(497)); }, {1, "0"}},
        {"PowerModCached with a negative exponent", [] { return B("4").PowerModCached(BigInt(-13), BigInt(497)); }, {1, "0"}},
        {"PowerModCached with a negative modulus", [] { return B("4").PowerModCached(BigInt(13), BigInt(-497)); }, {1, "0"}},
        {"PowerModCached with a zero modulus, no box", [] { return B("4").PowerModCached(BigInt(13), BigInt(0)); }, {1, "0", -1, ""}},
    });
}

TEST(BigIntEdgeCases, ModCachedInverseGcdLcm) {
    CheckRows({
        {"65537 mod 65537 = 0", [] { return B("65537").ModCached(B("65537")); }, {0, "0"}},
        {"10 mod 3 = 1", [] { return B("10").ModCached(B("3")); }, {0, "1"}},
        {"-7 mod 10 comes back as -7", [] { return B("-7").ModCached(B("10")); }, {0, "-7"}},
        {"-17 mod 10 = 7", [] { return B("-17").ModCached(B("10")); }, {0, "7"}},
        {"-0 mod 10 comes back as -0", [] { return B("-0").ModCached(B("10")); }, {0, "-0"}},
        {"17 mod -10 = 7 (reduced by |m|)", [] { return B("17").ModCached(B("-10")); }, {0, "7"}},
        {"-17 mod -10 = 7", [] { return B("-17").ModCached(B("-10")); }, {0, "7"}},
        {"9 mod 1 = 0", [] { return B("9").ModCached(B("1")); }, {0, "0"}},
        {"-9 mod 2 = 1", [] { return B("-9").ModCached(B("2")); }, {0, "1"}},
        {"5 mod 0: invalid, line and box", [] { return B("5").ModCached(B("0")); }, {1, "0", -1, "/", true}},
        {"an invalid modulus: invalid, no box", [] { return B("5").ModCached(Invalid("0")); }, {1, "0"}},
        {"ModInverse(3, 7) = 5", [] { BigInt r; return r.ModInverse(3, 7); }, {0, "5"}},
        {"ModInverse(-3, 7) = 2", [] { BigInt r; return r.ModInverse(-3, 7); }, {0, "2"}},
        {"ModInverse(3, -7) = 5", [] { BigInt r; return r.ModInverse(3, -7); }, {0, "5"}},
        {"ModInverse(2, 4) = 0: none", [] { BigInt r; return r.ModInverse(2, 4); }, {0, "0"}},
        {"ModInverse(1, 1) = 0", [] { BigInt r; return r.ModInverse(1, 1); }, {0, "0"}},
        {"ModInverse(1, 0) = 1", [] { BigInt r; return r.ModInverse(1, 0); }, {0, "1"}},
        {"ModInverse(-1, 0) = -1", [] { BigInt r; return r.ModInverse(-1, 0); }, {0, "-1"}},
        {"ModInverse(5, 0) = 0", [] { BigInt r; return r.ModInverse(5, 0); }, {0, "0"}},
        {"ModInverse(0, 0) = 0", [] { BigInt r; return r.ModInverse(0, 0); }, {0, "0"}},
        {"ModInverse of an invalid value is invalid", [] { BigInt r; return r.ModInverse(Invalid("3"), BigInt(7)); }, {1, nullptr}},
        {"ModInverse modulo an invalid value is invalid", [] { BigInt r; return r.ModInverse(BigInt(3), Invalid("7")); }, {1, nullptr}},
        {"Gcd(12, 18) = 6", [] { return B("12").Gcd(18); }, {0, "6"}},
        {"Gcd(-12, 18) = 6", [] { return B("-12").Gcd(18); }, {0, "6"}},
        {"Gcd(5, 0) = 5", [] { return B("5").Gcd(0); }, {0, "5"}},
        {"Gcd(0, 5) = 5", [] { return B("0").Gcd(5); }, {0, "5"}},
        {"Gcd(0, 0) = 0", [] { return B("0").Gcd(0); }, {0, "0"}},
        {"Gcd(-0, -0) = 0 with sign 0", [] { return B("-0").Gcd(B("-0")); }, {0, "0"}},
        // Gcd returns one of its working copies with that copy's status.
        {"Gcd(invalid 12, 18) is the invalid 12", [] { return Invalid("12").Gcd(18); }, {1, "12"}},
        {"Gcd(5, invalid 0) is a valid 5", [] { return B("5").Gcd(Invalid("0")); }, {0, "5"}},
        {"Lcm(4, 6) = 12", [] { return B("4").Lcm(6); }, {0, "12"}},
        {"Lcm(-4, 6) = 12", [] { return B("-4").Lcm(6); }, {0, "12"}},
        {"Lcm(0, 0) divides by zero", [] { return B("0").Lcm(0); }, {1, "0", -1, "/", true}},
        {"Lcm(2^900, 2^900) overflows in the product", [] { return B("2^900").Lcm(B("2^900")); }, {1, nullptr, -1, "*(1)"}},
    });
}

TEST(BigIntEdgeCases, ModCachedSumOverflowNearTheTop) {
    // m = 2^1600 + 1: the table holds 65536^i themselves, so the weighted sum of
    // 2^1616 - 1 is the value again and its last addition overflows. The
    // overflowed sum keeps top 0, so "r >= m" is false and it is returned:
    // invalid, after one "+" line.
    BigInt r;
    Output out = Capture([&] { r = B("2^1616-1").ModCached(B("2^1600+1")); });
    EXPECT_EQ(r.status, 1) << Describe(r);
    EXPECT_EQ(out.err, OopsLine("+"));
    // With a modulus below 2^1577 the sum cannot overflow and the value is exact.
    Mpz x = Val("2^1616-1"), m = Val("2^1576+12345"), v;
    mpz_tdiv_r(v, x, m);
    BigInt ok;
    out = Capture([&] { ok = BigFromMpz(x).ModCached(BigFromMpz(m)); });
    EXPECT_TRUE(HasValue(ok, v));
    EXPECT_EQ(out.err, "");
}

TEST(BigIntEdgeCases, FactorialPermutationsCombinations) {
    Mpz f247;
    mpz_fac_ui(f247, 247);
    const BigInt expected247 = BigFromMpz(f247);
    CheckRows({
        {"0! = 1", [] { return B("0").Factorial(); }, {0, "1"}},
        {"1! = 1", [] { return B("1").Factorial(); }, {0, "1"}},
        {"5! = 120", [] { return B("5").Factorial(); }, {0, "120"}},
        {"248! overflows", [] { return B("248").Factorial(); }, {1, "0", -1, "*(2)"}},
        {"65535! overflows once", [] { return B("65535").Factorial(); }, {1, "0", -1, "*(2)"}},
        {"65536! is refused", [] { return B("65536").Factorial(); }, {1, "0", -1, ""}},
        {"(-1)! is refused", [] { return B("-1").Factorial(); }, {1, "0", -1, ""}},
        {"(-0)! is refused", [] { return B("-0").Factorial(); }, {1, "0", -1, ""}},
        {"P(5, 2) = 20", [] { BigInt r; return r.Permutations(5, 2); }, {0, "20"}},
        {"P(5, 5) = 120", [] { BigInt r; return r.Permutations(5, 5); }, {0, "120"}},
        {"P(5, 0) is invalid", [] { BigInt r; return r.Permutations(5, 0); }, {1, "0"}},
        {"P(2, 5) is invalid", [] { BigInt r; return r.Permutations(2, 5); }, {1, "0"}},
        {"P(2147483647, 1)", [] { BigInt r; return r.Permutations(INT_MAX, 1); }, {0, "2147483647"}},
        {"P(2147483647, 2147483647) overflows", [] { BigInt r; return r.Permutations(INT_MAX, INT_MAX); }, {1, nullptr, -1, nullptr}},
        {"C(5, 2) = 10", [] { BigInt r; return r.Combinations(5, 2); }, {0, "10"}},
        {"C(5, 5) = 1", [] { BigInt r; return r.Combinations(5, 5); }, {0, "1"}},
        {"C(10, 3) = 120", [] { BigInt r; return r.Combinations(10, 3); }, {0, "120"}},
        {"C(10, 7) = 120", [] { BigInt r; return r.Combinations(10, 7); }, {0, "120"}},
        {"C(5, 0) is invalid", [] { BigInt r; return r.Combinations(5, 0); }, {1, "0"}},
        {"C(-1, -1) is invalid", [] { BigInt r; return r.Combinations(-1, -1); }, {1, "0"}},
        {"C(2147483647, 2147483647) = 1", [] { BigInt r; return r.Combinations(INT_MAX, INT_MAX); }, {0, "1"}},
        {"C(2147483647, 2) = 2305843005992468481", [] { BigInt r; return r.Combinations(INT_MAX, 2); }, {0, "2305843005992468481"}},
    });
    BigInt f = B("247").Factorial();
    EXPECT_TRUE(f == expected247) << Describe(f);
    // The object is set to the result as well as returned.
    BigInt p(99);
    p.Permutations(6, 3);
    EXPECT_EQ(p.ToInt(), 120);
    BigInt c(99);
    c.Combinations(6, 3);
    EXPECT_EQ(c.ToInt(), 20);
    BigInt inv(99);
    inv.ModInverse(3, 7);
    EXPECT_EQ(inv.ToInt(), 5);
}

TEST(BigIntEdgeCases, BitwiseOperations) {
    std::vector<Row> rows;
    for (int mode : {0, 1, 2}) {
        rows.push_back({"And(12, 10) = 8", [mode] { return B("12").And(10, mode); }, {0, "8"}});
        rows.push_back({"Or(12, 10) = 14", [mode] { return B("12").Or(10, mode); }, {0, "14"}});
        rows.push_back({"Xor(12, 10) = 6", [mode] { return B("12").Xor(10, mode); }, {0, "6"}});
    }
    const std::vector<Row> more = {
        {"And(-12, -10) mode 1 = -8", [] { return B("-12").And(-10, 1); }, {0, "-8"}},
        {"And(-12, -10) mode 0 = 8", [] { return B("-12").And(-10, 0); }, {0, "8"}},
        {"And(-12, 10) mode 2 = -8", [] { return B("-12").And(10, 2); }, {0, "-8"}},
        {"And(-12, 10) mode 1 = 8", [] { return B("-12").And(10, 1); }, {0, "8"}},
        {"Or(12, -10) mode 1 = -14", [] { return B("12").Or(-10, 1); }, {0, "-14"}},
        {"Or(12, -10) mode 2 = 14", [] { return B("12").Or(-10, 2); }, {0, "14"}},
        {"Or(-12, -10) mode 7 = 14", [] { return B("-12").Or(-10, 7); }, {0, "14"}},
        {"Xor(-12, 10) mode 1 = -6", [] { return B("-12").Xor(10, 1); }, {0, "-6"}},
        {"Xor(-12, 10) mode 2 = -6", [] { return B("-12").Xor(10, 2); }, {0, "-6"}},
        {"Xor(-12, 10) mode 0 = 6", [] { return B("-12").Xor(10, 0); }, {0, "6"}},
        {"Xor(-12, -10) mode 1 = 6", [] { return B("-12").Xor(-10, 1); }, {0, "6"}},
        {"And(-1, -2) mode 1 is a negative zero", [] { return B("-1").And(-2, 1); }, {0, "-0"}},
        {"Xor(-5, 5) mode 2 is a negative zero", [] { return B("-5").Xor(5, 2); }, {0, "-0"}},
        {"And(2^1615, 2^1615 - 1) = 0 with top 0", [] { return B("2^1615").And(B("2^1615-1"), 0); }, {0, "0", 0}},
        {"Or(2^1615, 1) = 2^1615 + 1", [] { return B("2^1615").Or(1, 0); }, {0, "2^1615+1", 100}},
        {"Xor(2^1616 - 1, 2^1616 - 1) = 0", [] { return B("2^1616-1").Xor(B("2^1616-1"), 0); }, {0, "0"}},
        {"Xor(2^1616 - 1, 1) = 2^1616 - 2", [] { return B("2^1616-1").Xor(1, 0); }, {0, "2^1616-2"}},
        {"And of an invalid value is invalid", [] { return Invalid("3").And(1, 0); }, {1, nullptr}},
    };
    rows.insert(rows.end(), more.begin(), more.end());
    CheckRows(rows);
}

TEST(BigIntEdgeCases, Roots) {
    CheckRows({
        {"Sqrt(0) = 0", [] { return B("0").Sqrt(); }, {0, "0"}},
        {"Sqrt(1) = 1", [] { return B("1").Sqrt(); }, {0, "1"}},
        {"Sqrt(3) = 1", [] { return B("3").Sqrt(); }, {0, "1"}},
        {"Sqrt(4) = 2", [] { return B("4").Sqrt(); }, {0, "2"}},
        {"Sqrt(65535) = 255", [] { return B("65535").Sqrt(); }, {0, "255"}},
        {"Sqrt(65536) = 256", [] { return B("65536").Sqrt(); }, {0, "256"}},
        // A radicand with a top limb of 100 makes one trial square overflow (2^808 squared).
        {"Sqrt(2^1600) = 2^800", [] { return B("2^1600").Sqrt(); }, {0, "2^800", -1, "*(2)"}},
        {"Sqrt(2^1616 - 1) = 2^808 - 1", [] { return B("2^1616-1").Sqrt(); }, {0, "2^808-1", -1, "*(2)"}},
        {"Sqrt(2^1600 - 1) = 2^800 - 1", [] { return B("2^1600-1").Sqrt(); }, {0, "2^800-1", -1, ""}},
        {"Sqrt(-4) is invalid", [] { return B("-4").Sqrt(); }, {1, "0", -1, ""}},
        {"Sqrt(-0) is invalid", [] { return B("-0").Sqrt(); }, {1, "0", -1, ""}},
        {"Root(0, 3) = 0", [] { return B("0").Root(3); }, {0, "0"}},
        {"Root(26, 3) = 2", [] { return B("26").Root(3); }, {0, "2"}},
        {"Root(27, 3) = 3", [] { return B("27").Root(3); }, {0, "3"}},
        {"Root(1, 1) = 1", [] { return B("1").Root(1); }, {0, "1"}},
        {"Root(1, 2) = 1", [] { return B("1").Root(2); }, {0, "1"}},
        {"Root(1, 5) = 1", [] { return B("1").Root(5); }, {0, "1"}},
        {"Root(1, 2147483647) = 1", [] { return B("1").Root(INT_MAX); }, {0, "1"}},
        {"Root(2^1616 - 1, 2147483647) = 1", [] { return B("2^1616-1").Root(INT_MAX); }, {0, "1", -1, ""}},
        {"Root(x, 0) is invalid", [] { return B("27").Root(0); }, {1, "0"}},
        {"Root(x, -3) is invalid", [] { return B("27").Root(-3); }, {1, "0"}},
        {"Root(x, 1) is x", [] { return B("-27").Root(1); }, {0, "-27"}},
        {"Root(2^1615, 5) = 2^323", [] { return B("2^1615").Root(5); }, {0, "2^323", -1, nullptr}},
        {"Root(2^1615 - 1, 5) = 2^323 - 1", [] { return B("2^1615-1").Root(5); }, {0, "2^323-1", -1, nullptr}},
    });
}

}  // namespace
}  // namespace bigint_test
