// Differential tests of ToString and FromString against the reference (text,
// the object afterwards, return code, output bytes) and against GMP's own
// radix conversion.

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

#include "tests/bigint/test_support.h"

namespace bigint_test {
namespace {

uint16_t FormatRadix(Rng& rng) {
    switch (Uniform(rng, 0, 19)) {
        case 0:
            return static_cast<uint16_t>(Uniform(rng, 0, 1));
        case 1:
            return static_cast<uint16_t>(Uniform(rng, 0, 1) ? 17 : 65535);
        default:
            return static_cast<uint16_t>(Uniform(rng, 2, 16));
    }
}

TEST(BigIntDifferential, ToStringEveryRadix) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(1500); ++it) {
        BigInt x = RandomBig(rng);
        if (Uniform(rng, 0, 30) == 0) x.status = 1;  // formatted as it stands: ToString ignores status
        RefBigInt rx = ToRef(x);
        const BigInt before = x;
        const uint16_t radix = FormatRadix(rng);
        char ours[BIGINT_TEXT_SIZE];
        char ref[BIGINT_TEXT_SIZE];
        char* returned = nullptr;
        Output ourOut = Capture([&] { returned = x.ToString(ours, radix); });
        Output refOut = Capture([&] { rx.ToString(ref, radix); });
        const std::string ctx = Describe(before) + " radix " + std::to_string(radix);
        ASSERT_EQ(returned, ours) << ctx;
        ASSERT_STREQ(ours, ref) << ctx;
        ASSERT_TRUE(ourOut == refOut) << ctx << "\n ours " << ourOut.Describe() << "\n ref  " << refOut.Describe();
        ASSERT_TRUE(SameFields(x, rx)) << "object after ToString: " << Describe(x) << " vs " << Describe(rx);
        if (before.status == 0 && radix >= 2 && radix <= 16) {
            ASSERT_EQ(std::string(ours), GmpText(ToMpz(before), radix)) << ctx;
        }
        if (radix < 2 || radix > 16) {
            ASSERT_STREQ(ours, "") << ctx;
        }
        ASSERT_LE(strlen(ours), static_cast<size_t>(BIGINT_TEXT_SIZE - 1));
    }
}

// A text to parse: mostly a valid numeral of a random value, often damaged.
std::string RandomText(Rng& rng, uint16_t radix) {
    std::string s;
    const int shapeRadix = radix >= 2 && radix <= 16 ? radix : 16;
    Mpz v = RandomMagnitude(rng, static_cast<unsigned>(Uniform(rng, 0, 3) == 0 ? 1616 : 1601));
    s = mpz_sgn(v) == 0 && Uniform(rng, 0, 2) == 0 ? std::string() : GmpText(v, shapeRadix);
    for (char& c : s)
        if (Uniform(rng, 0, 1)) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (Uniform(rng, 0, 4) == 0) s = std::string(static_cast<size_t>(Uniform(rng, 1, 5)), '0') + s;
    if (Uniform(rng, 0, 2) == 0) s = "-" + s;
    switch (Uniform(rng, 0, 9)) {
        case 0:
            if (!s.empty()) s[Uniform(rng, 0, s.size() - 1)] = static_cast<char>(Uniform(rng, 1, 255));
            break;
        case 1:
        {
            const size_t at = static_cast<size_t>(Uniform(rng, 0, s.size()));
            s = s.substr(0, at) + "+ -xG\t.\x80\xff"[Uniform(rng, 0, 8)] + s.substr(at);
        }
            break;
        case 2:
            if (radix < 16) s.push_back("0123456789ABCDEF"[Uniform(rng, radix > 16 ? 0 : radix, 15)]);
            break;
        case 3: {
            static const char* const kShort[] = {"", "-", "-0", "-000", "--1", "0", "00", "-F", "f", "+1", " 1"};
            s = kShort[Uniform(rng, 0, std::size(kShort) - 1)];
            break;
        }
        default:
            break;
    }
    return s;
}

uint16_t ParseRadix(Rng& rng) {
    switch (Uniform(rng, 0, 24)) {
        case 0:
            return 0;
        case 1:
            return 1;
        case 2:
            return 17;
        case 3:
            return 65535;
        default:
            return static_cast<uint16_t>(Uniform(rng, 2, 16));
    }
}

TEST(BigIntDifferential, FromStringValidAndDamagedTexts) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    const Mpz limit = Pow2(1600);
    for (int it = 0; it < Iterations(3000); ++it) {
        const uint16_t radix = ParseRadix(rng);
        const std::string text = RandomText(rng, radix);
        BigInt x = RandomBig(rng);  // parsing replaces whatever was there
        RefBigInt rx;
        int ourRc = -1, refRc = -1;
        Output ourOut = Capture([&] { ourRc = x.FromString(text.c_str(), radix); });
        Output refOut = Capture([&] { refRc = rx.FromString(text.c_str(), radix); });
        const std::string ctx = "\"" + text + "\" radix " + std::to_string(radix);
        ASSERT_EQ(ourRc, refRc) << ctx;
        ASSERT_TRUE(SameOutcome(x, ourOut, rx, refOut)) << ctx;

        // GMP's verdict on well-formed numerals of radix 2..16.
        if (radix < 2 || radix > 16 || text.empty()) continue;
        const bool negative = text[0] == '-';
        const std::string digits = text.substr(negative ? 1 : 0);
        if (digits.empty()) {  // "-" alone: a zero that keeps its sign
            ASSERT_EQ(ourRc, 0) << ctx;
            ASSERT_TRUE(x.top == 0 && x.limbs[0] == 0 && x.sign == 1 && x.status == 0) << Describe(x);
            continue;
        }
        bool wellFormed = true;
        for (char c : digits) {
            int d = isdigit(static_cast<unsigned char>(c)) ? c - '0'
                    : isxdigit(static_cast<unsigned char>(c)) ? toupper(static_cast<unsigned char>(c)) - 'A' + 10
                                                              : 99;
            if (d >= radix) wellFormed = false;
        }
        if (!wellFormed) {
            ASSERT_EQ(ourRc, 1) << ctx;
            continue;
        }
        Mpz v(digits.c_str(), radix);
        if (mpz_cmp(v, limit) >= 0) {
            ASSERT_EQ(ourRc, 1) << ctx;
            ASSERT_EQ(x.status, 1) << ctx;
            ASSERT_EQ(ourOut.err, OopsLine("+")) << ctx;
        } else {
            ASSERT_EQ(ourRc, 0) << ctx;
            if (negative) mpz_neg(v, v);
            Mpz got = ToMpz(x);
            ASSERT_EQ(mpz_cmp(got, v), 0) << ctx;
            ASSERT_EQ(x.sign, negative ? 1 : 0) << ctx;  // "-0" keeps its sign
        }
    }
}

TEST(BigIntDifferential, FormatThenParseRoundTrip) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(1500); ++it) {
        BigInt x = RandomBig(rng, 1600);
        const BigInt original = x;
        const uint16_t radix = static_cast<uint16_t>(Uniform(rng, 2, 16));
        char text[BIGINT_TEXT_SIZE];
        x.ToString(text, radix);
        BigInt y;
        ASSERT_EQ(y.FromString(text, radix), 0) << text;
        const bool negZero = original.sign && original.top == 0 && original.limbs[0] == 0;
        if (negZero)
            ASSERT_TRUE(HasValue(y, Mpz(0L)));
        else
            ASSERT_TRUE(y == original) << Describe(original) << " -> " << text << " -> " << Describe(y);
    }
}

}  // namespace
}  // namespace bigint_test
