// Where BigInt leaves the step-by-step definitions for a fast path, the
// switch-over must not show: value, status, sign, top, every limb and every
// diagnostic line equal the slow reference's on both sides of each
// threshold (modulus of 807/808 bits for the powers, 1577/1578 bits for the
// cached reduction, 2^1600 for the inverse, 1616-bit dividends for the
// trial-shift line, chunk boundaries of the text routines). Also: the
// per-thread caches give the same texts and remainders when two threads
// format and reduce at once.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bigint/bigint.h"
#include "bigint/message_box.h"
#include "tests/bigint/ref_bigint.h"

namespace {

constexpr uint64_t kSeed = 0xfa57f1e1d;

struct BoxLog : MessageBoxPresenter {
    std::string log;
    void ShowMessageBox(const std::string& text, const std::string& caption) override {
        log += "[box " + text + " | " + caption + "]";
    }
};

/// Everything f writes to standard output and standard error, and the boxes it shows.
std::string Output(const std::function<void()>& f) {
    static BoxLog boxes;
    InstallMessageBoxPresenter(&boxes);
    boxes.log.clear();
    std::fflush(stdout);
    std::fflush(stderr);
    FILE* tmp = std::tmpfile();
    const int saved1 = dup(1), saved2 = dup(2);
    dup2(fileno(tmp), 1);
    dup2(fileno(tmp), 2);
    errno = 0;
    f();
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(saved1, 1);
    dup2(saved2, 2);
    close(saved1);
    close(saved2);
    std::string out;
    std::rewind(tmp);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, tmp)) > 0) out.append(buf, n);
    std::fclose(tmp);
    InstallMessageBoxPresenter(nullptr);
    return out + boxes.log;
}

RefBigInt Ref(const BigInt& b) {
    RefBigInt r;
    r.status = b.status;
    r.sign = b.sign;
    r.top = b.top;
    std::memcpy(r.limbs, b.limbs, sizeof r.limbs);
    return r;
}

std::string Fields(int status, int sign, int top, const uint16_t* limbs) {
    std::string s = "status=" + std::to_string(status) + " sign=" + std::to_string(sign) + " top=" + std::to_string(top) + " ";
    char h[8];
    for (int i = BIGINT_LIMBS - 1; i >= 0; --i) {
        std::snprintf(h, sizeof h, "%04x", limbs[i]);
        s += h;
    }
    return s;
}
std::string Fields(const BigInt& b) { return Fields(b.status, b.sign, b.top, b.limbs); }
std::string Fields(const RefBigInt& r) { return Fields(r.status, r.sign, r.top, r.limbs); }

/// A magnitude of exactly `bits` bits (0 gives zero) with random lower bits;
/// `shape` 1 makes it all ones, 2 a power of two.
BigInt WithBits(std::mt19937_64& rng, int bits, int shape = 0) {
    BigInt x;
    if (bits == 0) return x;
    const int nl = (bits + 15) / 16;
    for (int i = 0; i < nl; ++i) x.limbs[i] = shape == 1 ? 0xFFFF : shape == 2 ? 0 : static_cast<uint16_t>(rng());
    const int tb = bits - 16 * (nl - 1);
    x.limbs[nl - 1] = static_cast<uint16_t>(x.limbs[nl - 1] & ((1u << tb) - 1));
    x.limbs[nl - 1] = static_cast<uint16_t>(x.limbs[nl - 1] | (1u << (tb - 1)));
    x.top = static_cast<int8_t>(nl - 1);
    return x;
}

/// Runs one operation on BigInt and on the reference and compares all of it.
template <class Ours, class Theirs>
void ExpectSame(const std::string& what, Ours ours, Theirs theirs) {
    BigInt o;
    RefBigInt r;
    const std::string oo = Output([&] { o = ours(); });
    const std::string ro = Output([&] { r = theirs(); });
    EXPECT_EQ(Fields(o), Fields(r)) << what << " (seed " << kSeed << ")";
    EXPECT_EQ(oo, ro) << what << " (seed " << kSeed << ")";
}

TEST(FastPaths, ModularPowersAroundTheSquareLimit) {
    std::mt19937_64 rng(kSeed);
    // Moduli of up to 807 bits take the fast path; the rest the steps.
    const int modulusBits[] = {2, 64, 806, 807, 808, 809, 1000, 1599, 1615, 1616};
    for (const int mb : modulusBits) {
        for (int it = 0; it < 4; ++it) {
            BigInt m = WithBits(rng, mb, it == 3 ? 1 : 0);
            if (it == 1) m.limbs[0] &= 0xFFFE;  // even moduli too
            const int baseBits = it == 0 ? 1616 : static_cast<int>(rng() % 1616) + 1;
            const BigInt b = WithBits(rng, baseBits, it == 2 ? 1 : 0);
            const BigInt e = WithBits(rng, it == 0 ? 40 : static_cast<int>(rng() % 200));
            const std::string row = "bits(m)=" + std::to_string(mb) + " it=" + std::to_string(it);
            ExpectSame("PowerMod " + row, [&] { return b.PowerMod(e, m); },
                       [&] { return Ref(b).PowerMod(Ref(e), Ref(m)); });
            ExpectSame("PowerModCached " + row, [&] { return b.PowerModCached(e, m); },
                       [&] { return Ref(b).PowerModCached(Ref(e), Ref(m)); });
        }
    }
}

TEST(FastPaths, CachedReductionAroundTheSumLimit) {
    std::mt19937_64 rng(kSeed + 1);
    // Up to 1577 bits the weighted limb sums cannot reach 2^1600.
    const int modulusBits[] = {17, 800, 1576, 1577, 1578, 1590, 1599, 1600, 1601, 1615, 1616};
    for (const int mb : modulusBits) {
        for (int it = 0; it < 6; ++it) {
            BigInt m = WithBits(rng, mb, it == 5 ? 1 : 0);
            if (it == 4) m.sign = 1;  // a negative modulus reduces by |m|
            BigInt x = WithBits(rng, mb + static_cast<int>(rng() % (1617 - mb)), it == 3 ? 1 : 0);
            if (it % 2) x.sign = 1;
            const std::string row = "bits(m)=" + std::to_string(mb) + " it=" + std::to_string(it);
            ExpectSame("ModCached " + row, [&] { return x.ModCached(m); }, [&] { return Ref(x).ModCached(Ref(m)); });
        }
    }
}

TEST(FastPaths, InverseAroundTheCofactorLimit) {
    std::mt19937_64 rng(kSeed + 2);
    struct Row {
        int aBits, mBits, aShape, mShape, aNegative;
    };
    const Row rows[] = {
        {1616, 800, 0, 0, 0},  // 1616-bit a: the first division writes its line twice
        {1616, 1599, 1, 0, 1}, {1616, 1600, 0, 0, 0},  // |m| below and at 2^1600
        {1616, 1616, 0, 0, 0}, {1500, 1610, 0, 0, 1},  {1616, 2, 0, 2, 0},
        {1, 1600, 0, 0, 0},    {700, 701, 0, 0, 1},    {0, 900, 0, 0, 1},
        // One-word moduli take word-sized steps.
        {1616, 64, 0, 0, 1},   {64, 63, 0, 0, 0},      {40, 64, 0, 1, 1},   {200, 17, 0, 0, 0},
    };
    for (const Row& row : rows) {
        for (int it = 0; it < 3; ++it) {
            BigInt a = WithBits(rng, row.aBits, row.aShape);
            BigInt m = WithBits(rng, row.mBits, row.mShape);
            a.sign = row.aNegative;
            if (it == 1) m.sign = 1;
            const std::string what = "ModInverse bits " + std::to_string(row.aBits) + "/" + std::to_string(row.mBits);
            ExpectSame(what, [&] { BigInt r; return r.ModInverse(a, m); },
                       [&] { RefBigInt r; return r.ModInverse(Ref(a), Ref(m)); });
        }
    }
}

TEST(FastPaths, GcdLinesOfTheFirstTwoDivisions) {
    std::mt19937_64 rng(kSeed + 3);
    struct Row {
        int xBits, yBits, xShape, yShape;
    };
    const Row rows[] = {
        {1616, 1616, 0, 0}, {1616, 1616, 1, 1}, {1616, 1615, 0, 0}, {1616, 800, 0, 0},
        {1615, 1616, 0, 0}, {1616, 2, 0, 2},    {1616, 1, 0, 0},    {1616, 3, 0, 1},
        {0, 1616, 0, 0},    {1616, 0, 0, 0},    {900, 1616, 0, 2},  {1616, 1616, 2, 0},
    };
    for (const Row& row : rows) {
        for (int it = 0; it < 3; ++it) {
            BigInt x = WithBits(rng, row.xBits, row.xShape);
            BigInt y = WithBits(rng, row.yBits, row.yShape);
            if (it == 1) x.sign = 1;
            if (it == 2) y = x;
            ExpectSame("Gcd bits " + std::to_string(row.xBits) + "/" + std::to_string(row.yBits),
                       [&] { return x.Gcd(y); }, [&] { return Ref(x).Gcd(Ref(y)); });
            ExpectSame("Lcm bits " + std::to_string(row.xBits) + "/" + std::to_string(row.yBits),
                       [&] { return x.Lcm(y); }, [&] { return Ref(x).Lcm(Ref(y)); });
        }
    }
}

TEST(FastPaths, SquareRootAndFactorialLines) {
    std::mt19937_64 rng(kSeed + 4);
    const int bits[] = {0, 1, 2, 64, 65, 1584, 1585, 1600, 1601, 1615, 1616};
    for (const int b : bits) {
        for (int shape = 0; shape < 3; ++shape) {
            const BigInt x = WithBits(rng, b, shape);
            ExpectSame("Sqrt bits " + std::to_string(b), [&] { return x.Sqrt(); }, [&] { return Ref(x).Sqrt(); });
        }
    }
    for (const int n : {0, 1, 2, 20, 21, 246, 247, 248, 249, 1000, 65535}) {
        ExpectSame("Factorial " + std::to_string(n), [&] { return BigInt(n).Factorial(); },
                   [&] { return RefBigInt(n).Factorial(); });
    }
}

TEST(FastPaths, FormattingOfTheLargestValues) {
    std::mt19937_64 rng(kSeed + 5);
    for (int radix = 2; radix <= 16; ++radix) {
        for (int shape = 0; shape < 3; ++shape) {
            for (const int b : {1615, 1616}) {
                BigInt x = WithBits(rng, b, shape);
                x.sign = shape == 1 ? 1 : 0;
                char ours[BIGINT_TEXT_SIZE], theirs[BIGINT_TEXT_SIZE];
                BigInt xo = x;
                RefBigInt xr = Ref(x);
                const std::string oo = Output([&] { xo.ToString(ours, static_cast<uint16_t>(radix)); });
                const std::string ro = Output([&] { xr.ToString(theirs, static_cast<uint16_t>(radix)); });
                EXPECT_STREQ(ours, theirs) << "radix " << radix << " bits " << b;
                EXPECT_EQ(oo, ro) << "radix " << radix << " bits " << b;
            }
        }
    }
}

TEST(FastPaths, ParsingAtChunkBoundaries) {
    std::mt19937_64 rng(kSeed + 6);
    // 19 decimal digits, 15 ternary... fill a word; failures and overflows
    // are placed on and next to those boundaries.
    const uint16_t radices[] = {0, 1, 2, 3, 7, 8, 10, 15, 16, 17, 36, 1000, 65535};
    for (const uint16_t radix : radices) {
        for (int it = 0; it < 12; ++it) {
            std::string text = it % 3 == 0 ? "-" : "";
            const int len = it < 6 ? static_cast<int>(rng() % 45) : static_cast<int>(rng() % 1700);
            for (int i = 0; i < len; ++i) text += "0123456789ABCDEFabcdef"[rng() % (radix <= 10 && it % 2 ? radix + 1 : 22)];
            if (it == 4 && !text.empty()) text[rng() % text.size()] = 'g';
            if (it == 5) text += " ";
            BigInt o;
            RefBigInt r;
            int ro = 0, rr = 0;
            const std::string oo = Output([&] { ro = o.FromString(text.c_str(), radix); });
            const std::string to = Output([&] { rr = r.FromString(text.c_str(), radix); });
            EXPECT_EQ(ro, rr) << "radix " << radix << " text " << text;
            EXPECT_EQ(Fields(o), Fields(r)) << "radix " << radix << " text " << text;
            EXPECT_EQ(oo, to) << "radix " << radix << " text " << text;
        }
    }
}

TEST(FastPaths, MillionZerosParseToZero) {
    const std::string zeros(1000000, '0');
    BigInt x = 5;
    EXPECT_EQ(x.FromString(zeros.c_str(), 10), 0);
    EXPECT_EQ(Fields(x), Fields(BigInt()));
    const std::string negative = "-" + zeros + "7";
    EXPECT_EQ(x.FromString(negative.c_str(), 10), 0);
    EXPECT_EQ(Fields(x), Fields(BigInt(-7)));
}

TEST(FastPaths, TopOutOfRangeReadsNoFurtherThanTheLastLimb) {
    // SetTop stores any 8-bit value; a caller error must not make the word
    // code read or write past the limbs (the sanitizer run checks that). The
    // value read is that of limbs 0..100.
    BigInt full;
    for (auto& l : full.limbs) l = 0x1234;
    full.top = 100;
    for (const int t : {101, 127, -1, -128}) {
        BigInt x = full;
        x.SetTop(t);
        const BigInt y(12345);
        char buf[BIGINT_TEXT_SIZE];
        const BigInt results[] = {x + y, x - y, x * y, x / y, x % y, x.ModCached(y), x.Gcd(y), x.And(y, 1), x.Or(y, 1),
                                  y.PowerMod(x, BigInt(1000003)), x >> 3};
        for (const BigInt& r : results) EXPECT_TRUE(r.status == 0 || r.status == 1) << "top " << t;
        BigInt copy = x;
        EXPECT_NE(copy.ToString(buf, 10), nullptr);
        EXPECT_EQ(x.CompareMagnitude(x), 0);
        EXPECT_TRUE(x == x || x.status == 1);
    }
}

TEST(FastPaths, TwoThreadsFormatAndReduceAlike) {
    std::mt19937_64 rng(kSeed + 7);
    std::vector<BigInt> values, moduli, dividends;
    for (int i = 0; i < 40; ++i) {
        values.push_back(WithBits(rng, 1 + static_cast<int>(rng() % 1616)));
        // Moduli past 1577 bits use the table of 65536^i mod m; dividends
        // with the modulus' top limb keep the weighted sums below 2^1600.
        const int mb = 1578 + static_cast<int>(rng() % 20);
        moduli.push_back(WithBits(rng, mb));
        dividends.push_back(WithBits(rng, mb + static_cast<int>(rng() % (16 * ((mb + 15) / 16) - mb + 1))));
    }
    auto work = [&](int parity, std::vector<std::string>* out) {
        char buf[BIGINT_TEXT_SIZE];
        for (int round = 0; round < 5; ++round) {
            for (size_t i = 0; i < values.size(); ++i) {
                BigInt v = values[i];
                const uint16_t radix = static_cast<uint16_t>((i + static_cast<size_t>(parity)) % 2 ? 10 : 7);
                out->push_back(v.ToString(buf, radix));
                BigInt r = dividends[i].ModCached(moduli[(i + static_cast<size_t>(parity)) % moduli.size()]);
                out->push_back(std::to_string(r.status) + r.ToString(buf, 16));
            }
        }
    };
    // Expected results computed one after another on this thread.
    std::vector<std::string> expect0, expect1;
    work(0, &expect0);
    work(1, &expect1);
    std::vector<std::string> got0, got1;
    std::thread t0(work, 0, &got0);
    std::thread t1(work, 1, &got1);
    t0.join();
    t1.join();
    EXPECT_EQ(got0, expect0);
    EXPECT_EQ(got1, expect1);
}

}  // namespace
