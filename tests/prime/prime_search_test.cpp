// Next and previous prime against GMP (mpz_nextprime; the previous prime by
// stepping down with mpz_probab_prime_p): the rows of data/prime_search.vec
// (small numbers, the limit at 2^1600, long gaps) and random numbers, the
// abort and the progress texts.

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <vector>

#include "prime/prime_search.h"
#include "tests/prime/run_support.h"
#include "tests/support/gmp.h"

namespace {

/// "F value", "N" (none), "L" (too large) or "A" (aborted).
std::string Show(const PrimeSearch& r) {
    switch (r.status) {
    case PrimeSearch::FOUND: return "F " + gmp::Text(gmp::Mpz(r.value));
    case PrimeSearch::NONE: return "N";
    case PrimeSearch::TOO_LARGE: return "L";
    default: return "A";
    }
}

/// What GMP says the search from n finds.
std::string Want(const gmp::Mpz& n, bool next) {
    gmp::Mpz p;
    if (next) {
        mpz_nextprime(p, mpz_cmp_ui(n, 2) < 0 ? gmp::Mpz(1) : n);
    } else {
        if (mpz_cmp_ui(n, 2) <= 0) return "N";
        for (mpz_sub_ui(p, n, 1); mpz_probab_prime_p(p, 30) == 0;) mpz_sub_ui(p, p, 1);
    }
    return p.Bits() > PRIME_SEARCH_BITS ? "L" : "F " + gmp::Text(p);
}

void CheckBothWays(const gmp::Mpz& n) {
    const std::atomic<int> active{RUN_ACTIVE};
    EXPECT_EQ(Show(NextPrime(n.Big(), active, nullptr)), Want(n, true)) << "next of " << gmp::Text(n);
    EXPECT_EQ(Show(PreviousPrime(n.Big(), active, nullptr)), Want(n, false)) << "previous of " << gmp::Text(n);
}

TEST(PrimeSearch, AgreesWithGmp) {
    std::ifstream in(KALVORA_TEST_DATA "/prime_search.vec");
    int rows = 0;
    for (std::string line; std::getline(in, line); ++rows) {
        if (line.empty() || line[0] == '#') --rows; else CheckBothWays(gmp::Parse(line));
    }
    EXPECT_GT(rows, 20);
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 1600);
    gmp::Mpz n;
    for (int i = 0; i < 30; ++i) {
        mpz_urandomb(n, rng, static_cast<mp_bitcnt_t>(2 + i * 1598 / 29));
        CheckBothWays(n);
    }
    gmp_randclear(rng);
    BigInt invalid(5);
    invalid.SetStatus(1);
    const std::atomic<int> active{RUN_ACTIVE};
    EXPECT_EQ(NextPrime(invalid, active, nullptr).status, PrimeSearch::TOO_LARGE);
    EXPECT_EQ(PreviousPrime(invalid, active, nullptr).status, PrimeSearch::TOO_LARGE);
}

TEST(PrimeSearch, AbortAndProgress) {
    const gmp::Mpz n = gmp::Parse("2^1599");  // either search runs for a fifth of a second
    for (const bool next : {true, false}) {
        const double ms = MsToStop(5, [&](const std::atomic<int>& state) {
            const PrimeSearch r = next ? NextPrime(n.Big(), state, nullptr) : PreviousPrime(n.Big(), state, nullptr);
            EXPECT_EQ(r.status, PrimeSearch::ABORTED) << next;
        });
        EXPECT_LT(ms, ABORT_MS) << next;
    }
    ProgressRecorder recorder;
    const std::atomic<int> active{RUN_ACTIVE};
    EXPECT_EQ(Show(NextPrime(n.Big(), active, &recorder.progress)), Want(n, true));
    ASSERT_FALSE(recorder.texts.empty());
    EXPECT_EQ(recorder.texts.back(), "");
    for (size_t i = 0; i + 1 < recorder.texts.size(); ++i) EXPECT_EQ(recorder.texts[i].rfind("次の素数: +", 0), 0u) << recorder.texts[i];
}

}  // namespace
