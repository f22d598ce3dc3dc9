// Next and previous prime against GMP (mpz_nextprime; the previous prime by
// stepping down with mpz_probab_prime_p), the ends of the range, a long gap,
// the abort and the progress texts.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "prime/prime_search.h"
#include "prime/run_state.h"
#include "tests/prime/progress_recorder.h"
#include "bench/gmp_prime.h"

namespace {

BigInt Big(const mpz_class& v) { return gmp::ToBig(v.get_mpz_t()); }

mpz_class Value(const BigInt& v) {
    mpz_class r;
    mpz_set(r.get_mpz_t(), gmp::Mpz(v));
    return r;
}

mpz_class GmpNext(const mpz_class& n) {
    mpz_class r;
    mpz_nextprime(r.get_mpz_t(), n.get_mpz_t());
    return r;
}

mpz_class GmpPrevious(mpz_class n) {
    for (n -= 1; mpz_probab_prime_p(n.get_mpz_t(), 30) == 0;) n -= 1;
    return n;
}

const mpz_class LIMIT = mpz_class(1) << PRIME_SEARCH_BITS;

/// "F value", "N" (none), "L" (too large) or "A" (aborted).
std::string Show(const PrimeSearch& r) {
    switch (r.status) {
    case PrimeSearch::FOUND: return "F " + Value(r.value).get_str();
    case PrimeSearch::NONE: return "N";
    case PrimeSearch::TOO_LARGE: return "L";
    default: return "A";
    }
}

std::string Next(const mpz_class& n) {
    const std::atomic<int> active{RUN_ACTIVE};
    return Show(NextPrime(Big(n), active, nullptr));
}

std::string Previous(const mpz_class& n) {
    const std::atomic<int> active{RUN_ACTIVE};
    return Show(PreviousPrime(Big(n), active, nullptr));
}

std::string WantNext(const mpz_class& n) {
    const mpz_class p = n < 2 ? mpz_class(2) : GmpNext(n);
    return p >= LIMIT ? "L" : "F " + p.get_str();
}

std::string WantPrevious(const mpz_class& n) {
    if (n <= 2) return "N";
    const mpz_class p = GmpPrevious(n);
    return p >= LIMIT ? "L" : "F " + p.get_str();
}

TEST(PrimeSearch, SmallNumbersAndTheirEdges) {
    const struct {
        const char* n;
        const char* next;
        const char* previous;
    } rows[] = {
        {"-1000", "F 2", "N"}, {"-1", "F 2", "N"}, {"0", "F 2", "N"}, {"1", "F 2", "N"},  {"2", "F 3", "N"},
        {"3", "F 5", "F 2"},   {"4", "F 5", "F 3"}, {"5", "F 7", "F 3"}, {"24", "F 29", "F 23"},
        {"65536", "F 65537", "F 65521"},
        {"4294967291", "F 4294967311", "F 4294967279"},  // around 2^32, where the sieve takes over
        {"4294967296", "F 4294967311", "F 4294967291"},
        {"18446744073709551615", "F 18446744073709551629", "F 18446744073709551557"},  // 2^64 - 1
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Next(mpz_class(row.n)), row.next) << row.n;
        EXPECT_EQ(Previous(mpz_class(row.n)), row.previous) << row.n;
    }
}

TEST(PrimeSearch, RandomNumbersAgreeWithGmp) {
    gmp_randclass rng(gmp_randinit_mt);
    rng.seed(1600);
    for (int i = 0; i < 30; ++i) {
        const int bits = 2 + i * 1598 / 29;
        const mpz_class n = rng.get_z_bits(bits);
        EXPECT_EQ(Next(n), WantNext(n)) << n.get_str();
        EXPECT_EQ(Previous(n), WantPrevious(n)) << n.get_str();
    }
}

TEST(PrimeSearch, TheLimitAt2To1600) {
    const mpz_class below = GmpPrevious(LIMIT);  // the largest prime below 2^1600
    const mpz_class above = GmpNext(LIMIT);
    EXPECT_EQ(Next(below - 1), "F " + below.get_str());
    EXPECT_EQ(Next(below), "L");
    EXPECT_EQ(Next(LIMIT - 1), "L");
    EXPECT_EQ(Previous(LIMIT), "F " + below.get_str());
    EXPECT_EQ(Previous(above), "F " + below.get_str());
    EXPECT_EQ(Previous(above + 1), "L");
    const mpz_class top = (mpz_class(1) << 1616) - 1;  // the largest BigInt
    EXPECT_EQ(Next(top), "L");
    EXPECT_EQ(Previous(top), "L");
    BigInt invalid(5);
    invalid.SetStatus(1);
    const std::atomic<int> active{RUN_ACTIVE};
    EXPECT_EQ(NextPrime(invalid, active, nullptr).status, PrimeSearch::TOO_LARGE);
    EXPECT_EQ(PreviousPrime(invalid, active, nullptr).status, PrimeSearch::TOO_LARGE);
}

// Long runs of composites: the maximal gap of 1132 after 1693182318746371,
// and the 1100 numbers after the product of the primes up to 1100 (1587 bits).
TEST(PrimeSearch, AcrossLongGaps) {
    const mpz_class low("1693182318746371"), high("1693182318747503");
    EXPECT_EQ(Next(low), "F " + high.get_str());
    EXPECT_EQ(Previous(high), "F " + low.get_str());
    EXPECT_EQ(Next(low + 600), "F " + high.get_str());
    mpz_class primorial;
    mpz_primorial_ui(primorial.get_mpz_t(), 1100);
    EXPECT_EQ(Next(primorial + 1), WantNext(primorial + 1));
    EXPECT_EQ(Previous(primorial + 1100), WantPrevious(primorial + 1100));
}

TEST(PrimeSearch, AbortAndProgress) {
    const mpz_class n = (mpz_class(1) << 1599) + 12345;
    const std::atomic<int> aborted{RUN_ABORT};
    EXPECT_EQ(NextPrime(Big(n), aborted, nullptr).status, PrimeSearch::ABORTED);
    EXPECT_EQ(PreviousPrime(Big(n), aborted, nullptr).status, PrimeSearch::ABORTED);
    ProgressRecorder recorder;
    const std::vector<std::string>& texts = recorder.texts;
    Progress& progress = recorder.progress;
    const std::atomic<int> active{RUN_ACTIVE};
    EXPECT_EQ(Show(NextPrime(Big(n), active, &progress)), WantNext(n));
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "");
    for (size_t i = 0; i + 1 < texts.size(); ++i) EXPECT_EQ(texts[i].rfind("次の素数: +", 0), 0u) << texts[i];
}

}  // namespace
