// The primality proof: every small number against a sieve, primes and
// composites of up to 1616 bits against GMP, the composites that fool weaker
// tests (also given to the Jacobi-sum test alone), the t table against e(t)
// computed here, threads, progress texts and the abort.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bigint/bigint_words.h"
#include "prime/aprcl.h"
#include "prime/run_state.h"
#include "tests/prime/progress_recorder.h"
#include "bench/gmp_prime.h"

namespace {

using kw::u64;

BigInt Big(const mpz_class& v) { return gmp::ToBig(v.get_mpz_t()); }

ProofResult Prove(const mpz_class& v, int threads = 1) {
    const std::atomic<int> active{RUN_ACTIVE};
    return ProvePrime(Big(v), active, nullptr, threads);
}

/// The Jacobi-sum test alone, without Baillie-PSW in front.
ProofResult JacobiAlone(const mpz_class& v, int threads = 1) {
    const std::atomic<int> active{RUN_ACTIVE};
    const kw::Mag m = kw::Load(Big(v));
    return JacobiSumTest(m.w, m.n, active, nullptr, threads);
}

ProofResult Expected(const mpz_class& v) {
    return v > 1 && mpz_probab_prime_p(v.get_mpz_t(), 40) != 0 ? ProofResult::Prime : ProofResult::Composite;
}

TEST(PrimalityProof, EveryNumberBelowAMillionAgreesWithASieve) {
    constexpr int LIMIT = 1000000;
    std::vector<bool> composite(LIMIT, false);
    composite[0] = composite[1] = true;
    for (int p = 2; p * p < LIMIT; ++p)
        if (!composite[static_cast<size_t>(p)])
            for (int m = p * p; m < LIMIT; m += p) composite[static_cast<size_t>(m)] = true;
    const std::atomic<int> active{RUN_ACTIVE};
    for (int n = 0; n < LIMIT; ++n) {
        const ProofResult want = composite[static_cast<size_t>(n)] ? ProofResult::Composite : ProofResult::Prime;
        ASSERT_EQ(ProvePrime(BigInt(n), active, nullptr), want) << n;
    }
}

TEST(PrimalityProof, NegativeAndInvalidNumbersAreNotPrime) {
    const std::atomic<int> active{RUN_ACTIVE};
    for (const int v : {-1, -2, -3, -7, -97}) EXPECT_EQ(ProvePrime(BigInt(v), active, nullptr), ProofResult::Composite) << v;
    BigInt invalid(7);
    invalid.SetStatus(1);
    EXPECT_EQ(ProvePrime(invalid, active, nullptr), ProofResult::Composite);
    EXPECT_EQ(Prove(mpz_class("-170141183460469231731687303715884105727")), ProofResult::Composite);  // -(2^127 - 1)
}

// Primes around 2^64 and the Mersenne primes; GMP decides the expected value.
TEST(PrimalityProof, KnownPrimesAndTheirNeighbours) {
    const char* const rows[] = {
        "18446744073709551557",  // the largest prime below 2^64
        "18446744073709551629",  // the least prime above 2^64
        "18446744073709551617",  // 2^64 + 1 = 274177 * 67280421310721
        "170141183460469231731687303715884105727",  // 2^127 - 1
        "340282366920938463463374607431768211457",  // 2^128 + 1, composite
    };
    for (const char* text : rows) {
        const mpz_class v(text);
        EXPECT_EQ(Prove(v), Expected(v)) << text;
    }
    for (const int exponent : {521, 607, 1279}) {
        const mpz_class mersenne = (mpz_class(1) << exponent) - 1;
        EXPECT_EQ(Prove(mersenne), ProofResult::Prime) << "M" << exponent;
        EXPECT_EQ(Prove(mersenne + 2), Expected(mersenne + 2)) << "M" << exponent << " + 2";
    }
}

/// A prime of `digits` digits from a seeded generator, and what the test of
/// a few neighbouring values must say.
void CheckAround(int digits, unsigned long seed, int threads) {
    gmp_randclass rng(gmp_randinit_mt);
    rng.seed(seed);
    mpz_class base;
    mpz_ui_pow_ui(base.get_mpz_t(), 10, static_cast<unsigned long>(digits - 1));
    mpz_class p = base + rng.get_z_range(base * 9);
    mpz_nextprime(p.get_mpz_t(), p.get_mpz_t());
    mpz_class q;
    mpz_nextprime(q.get_mpz_t(), p.get_mpz_t());
    EXPECT_EQ(Prove(p, threads), ProofResult::Prime) << digits << " digits: " << p.get_str();
    EXPECT_EQ(Prove(p + 2, threads), Expected(p + 2)) << digits << " digits";
    // Two close primes: the product, and the test alone on it.
    if (p * q < (mpz_class(1) << 1616)) {
        EXPECT_EQ(Prove(p * q, threads), ProofResult::Composite) << digits << " digits, p q";
        EXPECT_EQ(JacobiAlone(p * q, threads), ProofResult::Composite) << digits << " digits, p q alone";
    }
}

TEST(PrimalityProof, GmpPrimesOfModestSize) {
    for (const int digits : {21, 40, 60, 100, 150, 200}) CheckAround(digits, static_cast<unsigned long>(digits), 1);
}

TEST(PrimalityProof, GmpPrimesOf300DigitsOnTwoThreads) { CheckAround(300, 300, 2); }

TEST(PrimalityProofSlow, GmpPrimesOf400To487Digits) {
    for (const int digits : {400, 480, 486}) CheckAround(digits, static_cast<unsigned long>(digits), 2);
}

// Composites that pass weaker tests, each also given to the Jacobi-sum test
// without Baillie-PSW in front (those above 2^64).
TEST(PrimalityProof, CompositesThatFoolWeakerTests) {
    const char* const rows[] = {
        "561", "41041", "825265", "321197185", "5394826801", "232250619601", "9746347772161",  // Carmichael
        "3825123056546413051",        // strong pseudoprime to the bases 2 .. 23
        "318665857834031151167461",   // strong pseudoprime to the prime bases up to 37
        "3317044064679887385961981",  // strong pseudoprime to the prime bases up to 41
    };
    for (const char* text : rows) {
        const mpz_class v(text);
        ASSERT_EQ(Expected(v), ProofResult::Composite) << text;
        EXPECT_EQ(Prove(v), ProofResult::Composite) << text;
        if (v > (mpz_class(1) << 64)) {
            EXPECT_EQ(JacobiAlone(v), ProofResult::Composite) << text;
        }
    }
    // Chernick's Carmichael numbers (6k+1)(12k+1)(18k+1) above 2^64.
    int found = 0;
    for (unsigned long k = 1000000; found < 3; ++k) {
        const mpz_class a = 6 * k + 1, b = 12 * k + 1, c = 18 * k + 1;
        if (!mpz_probab_prime_p(a.get_mpz_t(), 30) || !mpz_probab_prime_p(b.get_mpz_t(), 30) ||
            !mpz_probab_prime_p(c.get_mpz_t(), 30))
            continue;
        const mpz_class n = a * b * c;
        EXPECT_EQ(Prove(n), ProofResult::Composite) << n.get_str();
        EXPECT_EQ(JacobiAlone(n), ProofResult::Composite) << n.get_str();
        ++found;
    }
}

// Each row of the table proves every n of its size: e(t)^2 >= 2^bits, with
// e(t) = 2 prod q^(v_q(t)+1) over the primes q with q - 1 | t made here.
TEST(PrimalityProof, ParameterTableCoversEverySize) {
    uint32_t last = 0;
    mpz_class e;
    for (int bits = 64; bits <= 1616; ++bits) {
        const uint32_t t = JacobiSumParameter(bits);
        ASSERT_EQ(t % 2, 0u) << bits;
        if (t != last) {
            e = 2;
            for (uint32_t d = 1; d <= t; ++d) {
                if (t % d != 0 || !mpz_probab_prime_p(mpz_class(d + 1).get_mpz_t(), 30)) continue;
                const uint32_t q = d + 1;
                mpz_class power = q;
                for (uint32_t r = t; r % q == 0; r /= q) power *= q;
                e *= power;
            }
            last = t;
        }
        ASSERT_GE(2 * (mpz_sizeinbase(e.get_mpz_t(), 2) - 1), static_cast<size_t>(bits)) << "t = " << t;
    }
}

TEST(PrimalityProof, ReportsProgressAndClearsIt) {
    ProgressRecorder recorder;
    const std::vector<std::string>& texts = recorder.texts;
    Progress& progress = recorder.progress;
    const std::atomic<int> active{RUN_ACTIVE};
    const mpz_class p = (mpz_class(1) << 607) - 1;
    ASSERT_EQ(ProvePrime(Big(p), active, &progress, 2), ProofResult::Prime);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts.back(), "");
    for (size_t i = 0; i + 1 < texts.size(); ++i) {
        unsigned done = 0, total = 0;
        char tail = 0;
        ASSERT_EQ(std::sscanf(texts[i].c_str(), "APR-CL: %u/%u%c", &done, &total, &tail), 2) << texts[i];
        EXPECT_LE(done, total) << texts[i];
    }
}

TEST(PrimalityProof, AbortEndsALongProofWithin50Milliseconds) {
    const std::atomic<int> aborted{RUN_ABORT};
    EXPECT_EQ(ProvePrime(BigInt(7), aborted, nullptr), ProofResult::Aborted);
    // A 1600-bit prime runs for seconds.
    mpz_class p = mpz_class(1) << 1599;
    mpz_nextprime(p.get_mpz_t(), p.get_mpz_t());
    // The scheduler of a busy machine may delay any one run; one in three must make it.
    double best = 1e9;
    for (int attempt = 0; attempt < 3 && best > 0.05; ++attempt) {
        std::atomic<int> state{RUN_ACTIVE};
        std::chrono::steady_clock::time_point flipped;
        std::thread flipper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            flipped = std::chrono::steady_clock::now();
            state.store(RUN_ABORT);
        });
        const ProofResult r = ProvePrime(Big(p), state, nullptr, 2);
        const auto ended = std::chrono::steady_clock::now();
        flipper.join();
        ASSERT_EQ(r, ProofResult::Aborted);
        best = std::min(best, std::chrono::duration<double>(ended - flipped).count());
    }
    EXPECT_LE(best, 0.05);
}

}  // namespace
