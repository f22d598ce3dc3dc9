// The prime engine: the tables, trial division, miniFactor, the pseudo-prime
// test, rho, p-1, elliptic curve addition and the elliptic curve method, and
// the abort of every long routine. Known rows here; the long row tables of
// data/*.vec hold expected values made by the GMP versions of the same
// algorithms (bench/gmp_prime.h).

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "prime/prime_engine.h"
#include "tests/support/box_recorder.h"
#include "tests/support/gmp.h"

namespace {

using gmp::Mpz;

const PrimeEngine& E() { return g_primeEngine; }
BigInt B(const std::string& text) { return gmp::Parse(text).Big(); }
const std::atomic<int> ACTIVE{RUN_ACTIVE};

/// Every row of data/NAME.vec: the fields before "->" and after it.
std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> Rows(const std::string& name) {
    std::ifstream file(KALVORA_TEST_DATA "/" + name);
    EXPECT_TRUE(file.good()) << name;
    std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> rows;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        rows.emplace_back();
        bool after = false;
        for (std::string field; in >> field;) {
            if (field == "->") {
                after = true;
            } else {
                (after ? rows.back().second : rows.back().first).push_back(field);
            }
        }
    }
    return rows;
}

TEST(PrimeTables, PrimesIndexAndEcmMultipliers) {
    Mpz p(1L);
    for (int i = 0; i < PRIME_COUNT; ++i) {
        mpz_nextprime(p, p);
        ASSERT_EQ(E().primes[i], mpz_get_si(p)) << "prime " << i;
    }
    mpz_nextprime(p, p);
    EXPECT_GE(mpz_get_si(p), SIEVE_LIMIT) << "every prime below 2^18 is listed";
    // primeIndex[k]: the position of the smallest prime not below k, capped at the last.
    int below = 0;
    for (int k = 0; k < SIEVE_LIMIT; ++k) {
        ASSERT_EQ(E().primeIndex[k], std::min(below, PRIME_COUNT - 1)) << "primeIndex[" << k << "]";
        if (below < PRIME_COUNT && E().primes[below] == k) ++below;
    }
    // lcm(1..B) in hexadecimal, B the first of 100, 1000, 10000, 100000 not below the smoothness.
    Mpz lcm(1L);
    for (long b = 1, bound = 100; bound <= 100000; ++b) {
        mpz_lcm_ui(lcm, lcm, static_cast<unsigned long>(b));
        if (b != bound) continue;
        for (const long s : {bound / 10 + 1, bound}) {
            if (s > 100 || bound == 100) {
                EXPECT_EQ(E().EcmMultiplier(static_cast<int>(s)), gmp::Text(lcm, 16)) << s;
            }
        }
        bound *= 10;
    }
    EXPECT_EQ(E().EcmMultiplier(-5), E().EcmMultiplier(100));
    EXPECT_EQ(E().EcmMultiplier(2147483647), E().EcmMultiplier(100000));
}

TEST(TrialDivision, Rows) {
    // The machine-word search: -1 for 0 and 1, 1 prime, a factor, 0 no verdict.
    const struct {
        uint32_t x;
        int from, to, expected;
    } words[] = {
        {0, 2, 262139, -1}, {1, 2, 262139, -1}, {2, 2, 262139, 1}, {4, 2, 262139, 2},
        {4294967291u, 2, 262139, 1},       // the largest prime below 2^32
        {4294967295u, 2, 262139, 3},
        {4, 100, 262139, 1},                // primes below `from` are not tried
        {202, 100, 262139, 101},
        {196611, 65536, 65536, 65537},      // 3 * 65537: 65536 .. 65536 is the prime 65537
        {196611, 65520, 65520, 1},          // the prime 65521 alone, above the square root
        {4293001441u, 2, 65520, 65521},     // 65521^2: 65520 is not prime, the range ends at 65521
        {4293001441u, 2, 65518, 0},         // ends at 65519, below the square root: no verdict
    };
    for (const auto& r : words) EXPECT_EQ(E().TrialDivide32(r.x, r.from, r.to, ACTIVE), r.expected) << r.x << " to " << r.to;
    const struct {
        const char* n;
        int to, expected;
    } bigs[] = {
        {"-15", 65537, 3}, {"0", 65537, -1}, {"-1", 65537, -1},
        {"4295229443", 65536, 65537},       // 65537 * 65539
        {"4295229443", 65520, 0},
        {"4294967311", 65537, 1},           // the first prime above 2^32: 65537 is above its root
        {"4294967311", 65521, 0},
        {"4294967296", 65537, 2},
        {"68716855313", 262139, 1},         // a prime below 262139^2
        {"68718952447", 262139, 0},         // a prime above 262139^2: no verdict
        {"68718952433", 262139, 262139},    // 262139 * 262147
    };
    for (const auto& r : bigs) EXPECT_EQ(E().TrialDivide(B(r.n), 2, r.to, ACTIVE), r.expected) << r.n << " to " << r.to;
    // Against GMP: the smallest table prime dividing n, 1 for a prime, 0 past the bound.
    gmp_randstate_t rng;
    gmp_randinit_default(rng);
    gmp_randseed_ui(rng, 77);
    Mpz n, root;
    for (int i = 0; i < 600; ++i) {
        mpz_urandomb(n, rng, 8 + static_cast<unsigned long>(i % 120));
        if (i % 4 == 1) mpz_set_si(n, static_cast<long>(E().primes[20000 + i]) * E().primes[22000 + i % 900]);
        const int bound = (i % 3 == 0) ? 262139 : 65537 + 997 * (i % 50);
        int expected = mpz_cmp_ui(n, 1) <= 0 ? -1 : 0;
        mpz_sqrt(root, n);
        for (int k = 0; expected == 0 && k <= E().primeIndex[bound]; ++k) {
            if (mpz_divisible_ui_p(n, static_cast<unsigned long>(E().primes[k]))) {
                expected = mpz_cmp_ui(n, static_cast<unsigned long>(E().primes[k])) == 0 ? 1 : E().primes[k];
            } else if (mpz_cmp_si(root, E().primes[k]) < 0) {
                expected = 1;
            }
        }
        ASSERT_EQ(E().TrialDivide(n.Big(), 2, bound, ACTIVE), expected) << gmp::Text(n) << " to " << bound;
        if (mpz_fits_uint_p(n)) {
            ASSERT_EQ(E().TrialDivide32(static_cast<uint32_t>(mpz_get_ui(n)), 2, bound, ACTIVE), expected);
        }
    }
    gmp_randclear(rng);
}

std::string ListText(const FactorEntry* list) {
    std::string s;
    for (int i = 0; list[i].prime != 0; ++i) s += std::to_string(list[i].prime) + "^" + std::to_string(list[i].exponent) + " ";
    return s;
}

TEST(MiniFactor, RowsBoundsAndRefusals) {
    const std::string q = "4294967311";  // a prime above 2^32: c stays wide while the bound is met
    const struct {
        std::string n;
        int bound;
        const char* list;
        std::string cofactor;
    } rows[] = {
        {"360", 65537, "2^3 3^2 5^1 ", "1"},
        {"131074", 65537, "2^1 ", "65537"},                // machine words: the bound itself is not used
        {"131074", 65538, "2^1 65537^1 ", "1"},
        {"281479272661007", 65537, "", "281479272661007"},   // 65537 q, wide: the bound itself is not used
        {"281479272661007", 65538, "65537^1 ", q},
        {"3298534883328", 65537, "2^40 3^1 ", "1"},         // 2^40 * 3: the wide phase hands over to words
        {"2^100+277", 65537, "", "2^100+277"},              // a prime above the bound stays whole
    };
    FactorEntry list[FACTOR_LIST_SIZE];
    for (const auto& r : rows) {
        EXPECT_EQ(E().miniFactor(B(r.n), r.bound, list, ACTIVE), B(r.cofactor)) << r.n << " bound " << r.bound;
        EXPECT_EQ(ListText(list), r.list) << r.n << " bound " << r.bound;
    }
    {
        BoxRecorder boxes;
        EXPECT_EQ(E().miniFactor(BigInt(1), 65537, list, ACTIVE), BigInt(1));
        EXPECT_EQ(ListText(list), "");
        list[0] = {7, 7};
        EXPECT_EQ(E().miniFactor(BigInt(-6), 65537, list, ACTIVE), BigInt(0));
        EXPECT_EQ(E().miniFactor(BigInt(0), 65537, list, ACTIVE), BigInt(0));
        EXPECT_EQ(list[0].prime, 7) << "the list is not touched for n <= 0";
        EXPECT_EQ(boxes.Lines(), (std::vector<std::string>{"[Kalvora] 素因数分解の引数が1でした(miniFactor)",
                                                             "[Kalvora] 素因数分解の引数が自然数ではありませんでした(miniFactor)",
                                                             "[Kalvora] 素因数分解の引数が自然数ではありませんでした(miniFactor)"}));
    }
    // The list times the cofactor is the input, the primes increase and stay below the bound.
    gmp_randstate_t rng;
    gmp_randinit_default(rng);
    gmp_randseed_ui(rng, 4242);
    Mpz n, big, product;
    for (int i = 0; i < 60; ++i) {
        const int bound = 65537 + i * 3250;
        mpz_urandomb(big, rng, static_cast<unsigned long>(i % 600));
        mpz_add_ui(n, big, 1);
        for (int k = 0; k < 1 + i % 12; ++k) mpz_mul_ui(n, n, static_cast<unsigned long>(E().primes[gmp_urandomm_ui(rng, 7000)]));
        const BigInt cofactor = E().miniFactor(n.Big(), bound, list, ACTIVE);
        product = Mpz(cofactor);
        for (int k = 0; list[k].prime != 0; ++k) {
            ASSERT_LT(list[k].prime, bound);
            ASSERT_TRUE(k == 0 || list[k].prime > list[k - 1].prime);
            for (int e = 0; e < list[k].exponent; ++e) mpz_mul_ui(product, product, static_cast<unsigned long>(list[k].prime));
        }
        ASSERT_EQ(mpz_cmp(product, n), 0) << gmp::Text(n) << " bound " << bound << ": " << ListText(list);
    }
    gmp_randclear(rng);
}

TEST(PseudoPrime, RowsAndGmpVerdicts) {
    const struct {
        const char* n;
        int trials, expected;
    } rows[] = {
        {"2", 1, 1}, {"7", 30, 1},  // a base itself
        {"4", 20, 0}, {"9", 20, 0}, {"561", 20, 0},
        {"2047", 1, 1}, {"2047", 2, 0},  // 23 * 89 passes the base 2 alone
        {"25326001", 3, 1}, {"25326001", 4, 0},  // strong pseudo-prime to 2, 3, 5
        {"3215031751", 4, 1}, {"3215031751", 5, 0},
        {"0", 20, 0}, {"1", 20, 0}, {"-7", 20, 0}, {"-1", 20, 0},
        {"4294967297", 30, 0},  // 641 * 6700417
        {"2^127-1", 30, 1}, {"2^128+1", 30, 0},
    };
    for (const auto& r : rows) EXPECT_EQ(E().IsPseudoPrime(B(r.n), r.trials), r.expected) << r.n << " trials " << r.trials;
    // Thirty bases decide like GMP on primes, their products and k 2^s + 1
    // (a large s takes every square of the second condition), below 2^800.
    gmp_randstate_t rng;
    gmp_randinit_default(rng);
    gmp_randseed_ui(rng, 20261206);
    Mpz n, q;
    for (int i = 0; i < 400; ++i) {
        const unsigned long bits = 3 + static_cast<unsigned long>(i) * 790 / 400;
        mpz_urandomb(n, rng, bits);
        if (i % 4 == 1) mpz_nextprime(n, n);
        if (i % 4 == 2) mpz_nextprime(n, n), mpz_urandomb(q, rng, bits / 2 + 2), mpz_nextprime(q, q), mpz_mul(n, n, q);
        if (i % 4 == 3) mpz_set_ui(n, 1 + 2 * (i % 20)), mpz_mul_2exp(n, n, 60 + bits % 700), mpz_add_ui(n, n, 1);
        mpz_setbit(n, 0);
        if (n.Bits() > 799 || mpz_cmp_ui(n, 2) < 0) continue;
        ASSERT_EQ(E().IsPseudoPrime(n.Big(), 30), mpz_probab_prime_p(n, 40) != 0) << gmp::Text(n);
    }
    gmp_randclear(rng);
}

TEST(Rho, RowsAndBounds) {
    const struct {
        const char* n;
        int trials, b;
        uint32_t a;
        int32_t c;
        int expected;
    } rows[] = {
        {"8051", 4, 2, 2, 1, 97},        // three steps, then the closing gcd
        {"-8051", 4, 2, 2, 1, 97},       // the magnitude is searched
        {"8051", 10000, 2, 2, 1, 0},     // both cycles close before the first gcd
        {"8051", 1, 2, 2, 1, 0},         // no step, no gcd
        {"15", 10, 2, 0, 0, -2},         // constant sequence
        {"15", 10, 2, 0, -1, -2},        // 0, 14, 0, ...
        {"8051", 4, 2, 2, 8052, 97},     // addends beyond the target walk the same residues
        {"8051", 4, 2, 2, -8050, 97},
        {"0", 10, 2, 2, 1, -1}, {"1", 10, 2, 2, 1, -1}, {"-1", 10, 2, 2, 1, -1},
        {"8051", 10, 1, 2, 1, -2}, {"8051", 10, 257, 2, 1, -2},
        {"8051", 0, 2, 2, 1, -2},
        {"8051", 100000, 2, 2, 1, 0},    // the largest trial count
        {"8051", 100001, 2, 2, 1, -2},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(E().Rho(B(r.n), r.trials, r.b, r.a, r.c, ACTIVE), BigInt(r.expected))
            << "Rho(" << r.n << ", " << r.trials << ", " << r.b << ", " << r.a << ", " << r.c << ")";
    }
    for (const auto& [in, out] : Rows("rho.vec")) {
        ASSERT_EQ(E().Rho(B(in[0]), std::stoi(in[1]), std::stoi(in[2]), static_cast<uint32_t>(std::stoul(in[3])), std::stoi(in[4]), ACTIVE),
                  B(out[0]))
            << in[0] << " " << in[1] << " " << in[2] << " " << in[3] << " " << in[4];
    }
}

TEST(Pm1, RowsAndBounds) {
    BoxRecorder boxes;
    const struct {
        const char* n;
        int e1, e2, B2;
        const char* expected;
    } rows[] = {
        {"15", 2, 1, 262144, "0"},  // both factors complete at the prime 2
        {"0", 16, 1, 262144, "-1"}, {"-1", 16, 1, 262144, "-1"},
        {"15", 1, 1, 262144, "-2"}, {"15", 257, 1, 262144, "-2"}, {"15", 16, 0, 262144, "-2"},
        {"15", 16, 5, 262144, "-2"}, {"15", 16, 1, 16777217, "-2"},
        // 97 (97 - 1 = 2^5 * 3) times r = 40000487 (r - 1 = 2 q, q a prime above 2^24).
        {"3880047239", 2, 1, 262144, "0"}, {"3880047239", 5, 1, 262144, "97"},
        // p = 30 q + 1 with q = 300089, times r: found in stage 2 only, once the bound reaches q.
        {"360111224300777", 16, 1, 262144, "0"}, {"360111224300777", 16, 1, 300088, "0"},
        {"360111224300777", 16, 1, 300089, "9002671"}, {"-360111224300777", 16, 1, 300089, "9002671"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(E().Pm1(B(r.n), r.e1, r.e2, r.B2, ACTIVE), B(r.expected))
            << "Pm1(" << r.n << ", " << r.e1 << ", " << r.e2 << ", " << r.B2 << ")";
    }
    EXPECT_TRUE(boxes.Texts().empty()) << "parameter codes come without a message";
    for (const auto& [in, out] : Rows("pm1.vec")) {
        ASSERT_EQ(E().Pm1(B(in[0]), std::stoi(in[1]), std::stoi(in[2]), std::stoi(in[3]), ACTIVE), B(out[0])) << in[0];
    }
}

TEST(Ecm, AdditionRowsAndSeededRuns) {
    for (const auto& [in, out] : Rows("addpoints.vec")) {
        EllipticPoint p1, p2;
        p1.x = B(in[2]), p1.y = B(in[3]), p2.x = B(in[4]), p2.y = B(in[5]);
        const EllipticPoint s = E().AddPoints(p1, p2, B(in[1]), B(in[0]));
        ASSERT_EQ(s.infinity, std::stoi(out[0])) << "N " << in[0];
        ASSERT_EQ(s.x, B(out[1])) << "N " << in[0];
        ASSERT_EQ(s.y, B(out[2])) << "N " << in[0];
    }
    EllipticPoint infinity, failed;
    infinity.infinity = failed.infinity = 1;
    failed.x = 6;
    EllipticPoint p;
    p.x = 2, p.y = 4;
    EXPECT_EQ(E().AddPoints(infinity, infinity, 1, 15).infinity, 1);
    EXPECT_EQ(E().AddPoints(infinity, p, 1, 15).x, BigInt(2)) << "infinity + P is P";
    EXPECT_EQ(E().AddPoints(p, failed, 1, 15).y, BigInt(4)) << "P + a failed point is P";

    BoxRecorder boxes;
    for (const auto& [in, out] : Rows("ecm.vec")) {
        ASSERT_EQ(E().EcmSeeded(B(in[0]), std::stoi(in[1]), std::stoi(in[2]), ACTIVE, static_cast<uint32_t>(std::stoul(in[3]))),
                  B(out[0]))
            << in[0] << " seed " << in[3];
    }
    EXPECT_EQ(E().Ecm(B("2^61-1"), 3, 1000, ACTIVE), BigInt(1)) << "a prime: every curve fails";
    // Below 9 every start point has y0 = 0 or 1; a negative target has no square root.
    for (const char* n : {"0", "1", "2", "8", "-35"}) EXPECT_EQ(E().Ecm(B(n), 100, 100, ACTIVE), BigInt(1)) << n;
    EXPECT_TRUE(boxes.Texts().empty());
    // 8051 has a handful of curves: the call ends once they are used, the limit said once.
    const BigInt r = E().Ecm(BigInt(8051), 20000, 100, ACTIVE);
    EXPECT_TRUE(r == 1 || r == 83 || r == 97) << r.ToInt();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"最大繰り返し数は10000回です。"});
}

/// Runs `routine` with a state that another thread flips to RUN_ABORT after 30 ms.
BigInt RunAndAbort(const std::function<BigInt(const std::atomic<int>&)>& routine) {
    std::atomic<int> state{RUN_ACTIVE};
    std::thread flipper([&state] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        state.store(RUN_ABORT);
    });
    const BigInt r = routine(state);
    flipper.join();
    return r;
}

TEST(Abort, BeforeTheStartAndWhileRunning) {
    const std::atomic<int> aborted{RUN_ABORT};
    BoxRecorder boxes;
    FactorEntry list[FACTOR_LIST_SIZE];
    Mpz prime;
    mpz_ui_pow_ui(prime, 10, 99);
    mpz_nextprime(prime, prime);
    const BigInt wide = prime.Big();
    EXPECT_EQ(E().TrialDivide32(4294967291u, 2, 262139, aborted), 0);
    EXPECT_EQ(E().TrialDivide(wide, 2, 262139, aborted), 0);
    EXPECT_EQ(E().TrialDivide(BigInt(97), 2, 262139, aborted), 1) << "narrow numbers are not interrupted";
    EXPECT_EQ(E().miniFactor(wide, 262139, list, aborted), BigInt(0));
    EXPECT_EQ(E().miniFactor(BigInt(360), 262139, list, aborted), BigInt(0));
    EXPECT_EQ(E().Rho(wide, 1000, 2, 2, 1, aborted), BigInt(0));
    EXPECT_EQ(E().Pm1(wide, 16, 1, 1048576, aborted), BigInt(0));
    EXPECT_EQ(E().Ecm(wide, 10, 1000, aborted), BigInt(0));
    EXPECT_TRUE(boxes.Texts().empty());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunAndAbort([&](const auto& s) { return E().Rho(wide, 100000, 256, 2, 1, s); }), BigInt(0));
    EXPECT_EQ(RunAndAbort([&](const auto& s) { return E().Pm1(wide, 256, 4, 16777216, s); }), BigInt(0));
    EXPECT_EQ(RunAndAbort([&](const auto& s) { return E().Pm1(B("1000000000039"), 2, 4, 16777216, s); }), BigInt(0))
        << "a small prime: stage 1 is over in moments, stage 2 to 2^24 is long";
    EXPECT_EQ(RunAndAbort([&](const auto& s) { return E().Ecm(wide, 10000, 100000, s); }), BigInt(0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "each ends soon after the request";
}

}  // namespace
