// Hostile and extreme input: huge texts, every byte value, radices the
// parser does not check, the largest shift counts and root degrees. Each
// must give a clear result (compared with the reference) without a crash
// or an out-of-bounds access (this program also runs under AddressSanitizer).

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "tests/bigint/test_support.h"

namespace bigint_test {
namespace {

constexpr size_t kMillion = 1000000;

struct ParseResult {
    int rc;
    BigInt value;
    Output out;
};

ParseResult Parse(const std::string& text, uint16_t radix) {
    ParseResult r;
    r.value = BigInt(12345);
    r.out = Capture([&] { r.rc = r.value.FromString(text.c_str(), radix); });
    return r;
}

void ExpectParsesLikeReference(const std::string& text, uint16_t radix, const std::string& what) {
    ParseResult ours = Parse(text, radix);
    RefBigInt ref;
    int refRc = -1;
    Output refOut = Capture([&] { refRc = ref.FromString(text.c_str(), radix); });
    EXPECT_EQ(ours.rc, refRc) << what;
    EXPECT_TRUE(SameOutcome(ours.value, ours.out, ref, refOut)) << what;
}

TEST(BigIntBadInput, MillionCharacterTexts) {
    {
        // A million zeros is a valid text for 0.
        ParseResult r = Parse(std::string(kMillion, '0'), 10);
        EXPECT_EQ(r.rc, 0);
        EXPECT_TRUE(HasValue(r.value, Mpz(0L)));
        EXPECT_EQ(r.out.err, "");
    }
    {
        ParseResult r = Parse(std::string("-").append(kMillion, '0'), 16);
        EXPECT_EQ(r.rc, 0);
        EXPECT_EQ(r.value.sign, 1) << "minus and zeros is a negative zero";
        EXPECT_TRUE(r.value.top == 0 && r.value.limbs[0] == 0);
    }
    {
        // The partial value of a failure after a million zeros is 0 * 10.
        ParseResult r = Parse(std::string(kMillion - 1, '0') + "X", 10);
        EXPECT_EQ(r.rc, 1);
        EXPECT_TRUE(HasValue(r.value, Mpz(0L)));
    }
    // Texts that stop early: compared with the reference in full.
    ExpectParsesLikeReference(std::string(kMillion, '7'), 10, "a million sevens overflow once");
    ExpectParsesLikeReference(std::string(kMillion, 'f'), 16, "a million f overflow once");
    ExpectParsesLikeReference(std::string(kMillion, '1'), 2, "a million binary ones");
    ExpectParsesLikeReference(std::string(kMillion, '\x80'), 10, "a million bytes 0x80");
    ExpectParsesLikeReference(std::string(kMillion, '9'), 8, "a million nines in radix 8");
    ExpectParsesLikeReference(std::string(479, '9') + std::string(kMillion, 'Z'), 10, "digits then a million Z");
    ParseResult sevens = Parse(std::string(kMillion, '7'), 10);
    EXPECT_EQ(sevens.rc, 1);
    EXPECT_EQ(sevens.value.status, 1);
    EXPECT_EQ(sevens.out.err, OopsLine("+")) << "exactly one overflow line";
}

TEST(BigIntBadInput, EveryByteValueAsACharacter) {
    for (int byte = 1; byte <= 255; ++byte) {
        const char c = static_cast<char>(byte);
        const std::string what = "byte " + std::to_string(byte);
        for (uint16_t radix : {2, 10, 16}) {
            ExpectParsesLikeReference(std::string(1, c), radix, what + " alone");
            ExpectParsesLikeReference(std::string("1") + c + "2", radix, what + " inside");
            ExpectParsesLikeReference(std::string("-") + c, radix, what + " after a minus");
        }
        // Only 0-9, A-F and a-f are digits; a lone minus is a negative zero.
        const bool accepted = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f') || c == '-';
        EXPECT_EQ(Parse(std::string(1, c), 16).rc, accepted ? 0 : 1) << what;
    }
    // A NUL ends the text: "1\0" + "2" is the text "1".
    const char withNul[] = {'1', '\0', '2', '\0'};
    BigInt x;
    EXPECT_EQ(x.FromString(withNul, 10), 0);
    EXPECT_EQ(x.ToInt(), 1);
}

TEST(BigIntBadInput, RadicesOutsideTwoToSixteen) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    const char* const texts[] = {"", "-", "0", "00", "1", "10", "-1", "F", "f", "G", "1F", "FFFF", "123456789"};
    for (uint16_t radix : {0, 1, 17, 36, 255, 65535}) {
        for (const char* t : texts) ExpectParsesLikeReference(t, radix, std::string("\"") + t + "\" radix " + std::to_string(radix));
        // Formatting refuses them with an empty text and leaves the object alone.
        BigInt v = RandomBig(rng);
        const BigInt before = v;
        std::vector<char> buffer(BIGINT_TEXT_SIZE, 'x');
        EXPECT_EQ(v.ToString(buffer.data(), radix), buffer.data());
        EXPECT_EQ(buffer[0], '\0') << "radix " << radix;
        EXPECT_TRUE(SameFields(v, ToRef(before)));
    }
    // Radix 1 accepts only zeros; radix 0 accepts nothing but the empty text.
    EXPECT_EQ(Parse("0000", 1).rc, 0);
    EXPECT_EQ(Parse("01", 1).rc, 1);
    EXPECT_EQ(Parse("0", 0).rc, 1);
    EXPECT_EQ(Parse("", 0).rc, 0);
    // Radix 17 reads 0-F as its digits.
    ParseResult r17 = Parse("1F", 17);
    EXPECT_EQ(r17.rc, 0);
    EXPECT_EQ(r17.value.ToInt(), 17 + 15);
}

TEST(BigIntBadInput, LongestTextsFitTheDocumentedBuffer) {
    // A canary just past the documented size catches a longer text or a
    // scratch write beyond it.
    Mpz all = Pow2(1616);
    mpz_sub_ui(all, all, 1);
    Mpz negativeAll;
    mpz_neg(negativeAll, all);
    Mpz negativeTop = Pow2(1615);
    mpz_neg(negativeTop, negativeTop);
    const Mpz values[] = {negativeAll, all, negativeTop};
    for (const Mpz& m : values) {
        const bool negative = mpz_sgn(m) < 0;
        for (uint16_t radix = 2; radix <= 16; ++radix) {
            BigInt x = BigFromMpz(m);
            std::vector<char> buffer(BIGINT_TEXT_SIZE + 8, '\x5A');
            Capture([&] { x.ToString(buffer.data(), radix); });
            const size_t len = strlen(buffer.data());
            EXPECT_LE(len + 1, static_cast<size_t>(BIGINT_TEXT_SIZE)) << m.Hex() << " radix " << radix;
            for (size_t i = BIGINT_TEXT_SIZE; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], '\x5A') << "canary";
            for (size_t i = negative ? 1 : 0; i < len; ++i) {
                const char c = buffer[i];
                EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << "byte " << static_cast<int>(c);
            }
        }
    }
}

TEST(BigIntBadInput, ShiftsByTheLargestCounts) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(300); ++it) {
        const BigInt a = RandomBig(rng);
        const RefBigInt ra = ToRef(a);
        for (uint16_t n : {uint16_t{65535}, uint16_t{65534}, uint16_t{65520}, uint16_t{1616}, uint16_t{1617}}) {
            Twin l = RunBoth([&] { return a << n; }, [&] { return ra << n; });
            EXPECT_TRUE(SameOutcome(l.ours, l.ourOut, l.ref, l.refOut)) << Describe(a) << " << " << n;
            Twin r = RunBoth([&] { return a >> n; }, [&] { return ra >> n; });
            EXPECT_TRUE(SameOutcome(r.ours, r.ourOut, r.ref, r.refOut)) << Describe(a) << " >> " << n;
            EXPECT_TRUE(HasValue(r.ours, Mpz(0L))) << "everything is shifted out";
        }
    }
}

TEST(BigIntBadInput, RootOfTheLargestDegree) {
    const uint64_t seed = TestSeed();
    SCOPED_TRACE(SeedNote(seed));
    Rng rng(seed);
    for (int it = 0; it < Iterations(200); ++it) {
        const BigInt x = BigFromMpz(RandomMagnitude(rng, 1616));
        const RefBigInt rx = ToRef(x);
        for (int n : {INT_MAX, INT_MAX - 1, INT_MIN, 65536}) {
            Twin r = RunBoth([&] { return x.Root(n); }, [&] { return rx.Root(n); });
            EXPECT_TRUE(SameOutcome(r.ours, r.ourOut, r.ref, r.refOut)) << Describe(x) << " degree " << n;
            if (n > 0) {
                const bool zero = x.top == 0 && x.limbs[0] == 0;
                EXPECT_TRUE(HasValue(r.ours, Mpz(zero ? 0L : 1L))) << Describe(x) << " degree " << n;
            } else {
                EXPECT_EQ(r.ours.status, 1);
            }
        }
    }
}

TEST(BigIntBadInput, ExtremeIntArguments) {
    struct Row {
        const char* what;
        std::function<BigInt()> ours;
        std::function<RefBigInt()> ref;
    };
    const Row rows[] = {
        {"2^INT_MIN", [] { return BigInt(2).Power(INT_MIN); }, [] { return RefBigInt(2).Power(INT_MIN); }},
        {"(-1)^INT_MIN", [] { return BigInt(-1).Power(INT_MIN); }, [] { return RefBigInt(-1).Power(INT_MIN); }},
        {"(-1)^INT_MAX", [] { return BigInt(-1).Power(INT_MAX); }, [] { return RefBigInt(-1).Power(INT_MAX); }},
        {"0^INT_MAX", [] { return BigInt(0).Power(INT_MAX); }, [] { return RefBigInt(0).Power(INT_MAX); }},
        {"P(INT_MIN, INT_MIN)", [] { BigInt r; return r.Permutations(INT_MIN, INT_MIN); },
         [] { RefBigInt r; return r.Permutations(INT_MIN, INT_MIN); }},
        {"C(INT_MAX, INT_MAX - 1)", [] { BigInt r; return r.Combinations(INT_MAX, INT_MAX - 1); },
         [] { RefBigInt r; return r.Combinations(INT_MAX, INT_MAX - 1); }},
        {"C(INT_MAX, 1000)", [] { BigInt r; return r.Combinations(INT_MAX, 1000); },
         [] { RefBigInt r; return r.Combinations(INT_MAX, 1000); }},
        {"And mode INT_MIN", [] { return BigInt(-6).And(-3, INT_MIN); }, [] { return RefBigInt(-6).And(RefBigInt(-3), INT_MIN); }},
        {"Xor mode INT_MAX", [] { return BigInt(-6).Xor(-3, INT_MAX); }, [] { return RefBigInt(-6).Xor(RefBigInt(-3), INT_MAX); }},
        {"ModInverse(INT_MIN, INT_MIN)", [] { BigInt r; return r.ModInverse(INT_MIN, INT_MIN); },
         [] { RefBigInt r; return r.ModInverse(RefBigInt(INT_MIN), RefBigInt(INT_MIN)); }},
        {"PowerMod(INT_MAX, INT_MAX, INT_MAX)", [] { return BigInt(INT_MAX).PowerMod(INT_MAX, INT_MAX); },
         [] { return RefBigInt(INT_MAX).PowerMod(RefBigInt(INT_MAX), RefBigInt(INT_MAX)); }},
        {"INT_MIN / -1", [] { return BigInt(INT_MIN) / -1; }, [] { return RefBigInt(INT_MIN) / -1; }},
    };
    for (const Row& r : rows) {
        Twin t = RunBoth(r.ours, r.ref);
        EXPECT_TRUE(SameOutcome(t.ours, t.ourOut, t.ref, t.refOut, false)) << r.what;
    }
}

}  // namespace
}  // namespace bigint_test
