// Complete factorisation by the quadratic sieve: the tables of PARI/GP's
// factorisations (data/siqs.vec, data/siqs_slow.vec), random semiprimes made
// with GMP, the refusals, the progress line and aborts.

#include <gmp.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "prime/siqs.h"
#include "bench/gmp_prime.h"

namespace {

// The run state is read often enough to end a run within 50 ms; sanitizer
// builds run many times slower, and get more.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double ABORT_MS = 250;
#else
constexpr double ABORT_MS = 50;
#endif

using gmp::Mpz;

std::string Text(BigInt v) {
    char buffer[BIGINT_TEXT_SIZE];
    return v.ToString(buffer, 10);
}

std::vector<std::string> Texts(const std::vector<BigInt>& values) {
    std::vector<std::string> texts;
    for (const BigInt& v : values) texts.push_back(Text(v));
    return texts;
}

struct Case {
    std::string n;
    std::vector<std::string> factors;  // ascending, with multiplicity
    std::string note;
};

/// Rows "N = p q^e ..." with "# note" lines before them.
std::vector<Case> ReadTable(const std::string& name) {
    std::ifstream in(std::string(KALVORA_TEST_DATA) + "/" + name);
    std::vector<Case> cases;
    std::string line, note;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        if (line[0] == '#') {
            note = line;
            continue;
        }
        std::istringstream row(line);
        Case c;
        std::string eq, factor;
        row >> c.n >> eq;
        while (row >> factor) {
            const size_t caret = factor.find('^');
            const int e = caret == std::string::npos ? 1 : std::stoi(factor.substr(caret + 1));
            c.factors.insert(c.factors.end(), e, factor.substr(0, caret));
        }
        c.note = note;
        cases.push_back(c);
    }
    return cases;
}

SiqsResult Factor(const BigInt& n, int threads = 2) {
    const std::atomic<int> active{RUN_ACTIVE};
    SiqsParams params;
    params.threads = threads;
    return FactorSiqs(n, params, active, nullptr);
}

void FactorTable(const std::string& name) {
    const std::vector<Case> cases = ReadTable(name);
    ASSERT_FALSE(cases.empty()) << name;
    for (const Case& c : cases) {
        const bool prime = c.factors.size() == 1 && c.factors[0] == c.n;
        for (const std::string sign : {"", "-"}) {
            if (sign == "-" && c.n.size() > 40) continue;  // the sign is the same work again
            const SiqsResult r = Factor(gmp::Parse((sign + c.n)).Big());
            EXPECT_EQ(r.status, prime ? SiqsResult::PRIME : SiqsResult::FACTORED) << c.note << "\n" << sign << c.n;
            EXPECT_EQ(Texts(r.primes), c.factors) << c.note << "\n" << sign << c.n;
            EXPECT_EQ(r.stats.discarded, 0) << c.note << "\n" << sign << c.n;
        }
    }
}

TEST(Siqs, FactorsTheTable) { FactorTable("siqs.vec"); }

TEST(SiqsSlow, FactorsLargerNumbers) { FactorTable("siqs_slow.vec"); }

TEST(Siqs, SplitsRandomSemiprimesOnOneAndTwoThreads) {
    // p of 6 to 20 digits times q of 12 to 22 digits, made by GMP.
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 15);
    Mpz p, q, n, low;
    for (int i = 0; i < 24; ++i) {
        const int pd = 6 + static_cast<int>(gmp_urandomm_ui(rng, 15));
        const int qd = 12 + static_cast<int>(gmp_urandomm_ui(rng, 11));
        for (auto [x, d] : {std::pair{&p, pd}, std::pair{&q, qd}}) {
            mpz_ui_pow_ui(low, 10, static_cast<unsigned long>(d - 1));
            mpz_urandomm(*x, rng, low);
            mpz_add(*x, *x, low);
            mpz_nextprime(*x, *x);
        }
        if (mpz_cmp(p, q) > 0) mpz_swap(p, q);
        mpz_mul(n, p, q);
        const SiqsResult r = Factor(n.Big(), 1 + i % 2);
        const std::vector<std::string> expected = {Text(p.Big()), Text(q.Big())};
        EXPECT_EQ(r.status, SiqsResult::FACTORED) << Text(n.Big());
        EXPECT_EQ(Texts(r.primes), expected) << Text(n.Big());
    }
    gmp_randclear(rng);
}

TEST(Siqs, RefusesBadTargetsAndLargeCompositeParts) {
    // A product of two 51-digit primes (101 digits) and a 100-digit prime, from PARI/GP.
    const std::string wide =
        "10000000001000000000000000000000000000000012345686401234568170000000000000000000000000000005802470399";
    const std::string prime100 =
        "1000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000001287";
    BigInt invalid = BigInt(7);
    invalid.SetStatus(1);
    struct Row {
        BigInt n;
        SiqsResult::Status status;
        std::vector<std::string> primes;
        std::string tooLarge;
    };
    const Row rows[] = {
        {BigInt(0), SiqsResult::BAD_TARGET, {}, "0"},
        {BigInt(1), SiqsResult::BAD_TARGET, {}, "0"},
        {BigInt(-1), SiqsResult::BAD_TARGET, {}, "0"},
        {invalid, SiqsResult::BAD_TARGET, {}, "0"},
        {BigInt(-2), SiqsResult::PRIME, {"2"}, "0"},
        {gmp::Parse(wide.c_str()).Big(), SiqsResult::TOO_LARGE, {}, wide},
        {gmp::Parse(("-" + wide)).Big(), SiqsResult::TOO_LARGE, {}, wide},
        {gmp::Parse(wide.c_str()).Big() * 21, SiqsResult::TOO_LARGE, {"3", "7"}, wide},
        {gmp::Parse(prime100.c_str()).Big(), SiqsResult::PRIME, {prime100}, "0"},
        // 10^100 - 1 has 100 digits: trial division leaves a 61-digit part
        // (tested in the slow table); 10^100 has 101 digits and only small factors.
        {BigInt(10).Power(100), SiqsResult::FACTORED, {}, "0"},
    };
    for (const Row& r : rows) {
        const SiqsResult result = Factor(r.n);
        EXPECT_EQ(result.status, r.status) << Text(r.n);
        if (r.status != SiqsResult::FACTORED) {
            EXPECT_EQ(Texts(result.primes), r.primes) << Text(r.n);
        }
        EXPECT_EQ(Text(result.tooLargePart), r.tooLarge) << Text(r.n);
    }
    const SiqsResult power = Factor(BigInt(10).Power(100));
    std::vector<std::string> expected(100, "2");
    expected.insert(expected.end(), 100, "5");
    EXPECT_EQ(Texts(power.primes), expected);
}

TEST(Siqs, ReportsRelationsAgainstThoseNeeded) {
    std::mutex mutex;
    std::vector<std::string> texts;
    Progress progress([&](const std::string& t) {
        std::lock_guard<std::mutex> lock(mutex);
        texts.push_back(t);
    });
    const std::atomic<int> active{RUN_ACTIVE};
    // 45 digits, balanced.
    const SiqsResult r = FactorSiqs(gmp::Parse("170372778940218806569544030974008510803104279").Big(), SiqsParams(), active,
                                    &progress);
    ASSERT_EQ(r.status, SiqsResult::FACTORED);
    ASSERT_FALSE(texts.empty());
    const std::regex sieving("MPQS ふるい: 関係式 ([0-9]+)/([0-9]+)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(texts[0], m, sieving)) << texts[0];
    EXPECT_LT(std::stol(m[1]), std::stol(m[2]));
    const long needed = std::stol(m[2]);
    EXPECT_GT(needed, r.stats.factorBase);  // more relations than primes
    // The counts of the run.
    EXPECT_EQ(r.stats.runs, 1);
    EXPECT_GE(r.stats.fulls + r.stats.cycles, needed);
    EXPECT_GT(r.stats.matrixCols, r.stats.matrixRows);
    EXPECT_GT(r.stats.polynomials, 0);
}

/// Runs FactorSiqs on `n` with an abort `ms` milliseconds in; returns the
/// result and the time from the abort to the return.
std::pair<SiqsResult, double> FactorAndAbort(const BigInt& n, int ms, int threads) {
    std::atomic<int> state{RUN_ACTIVE};
    std::atomic<long long> flipped{0};
    std::thread flipper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        flipped = std::chrono::steady_clock::now().time_since_epoch().count();
        state.store(RUN_ABORT);
    });
    SiqsParams params;
    params.threads = threads;
    const SiqsResult r = FactorSiqs(n, params, state, nullptr);
    const long long returned = std::chrono::steady_clock::now().time_since_epoch().count();
    flipper.join();
    const double latency = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::duration(returned - flipped.load())).count();
    return {r, latency};
}

TEST(Siqs, AbortEndsTheSieving) {
    // 70 digits: many seconds of sieving.
    const BigInt n = gmp::Parse("2908903710226360896074230564619177731544961978358472159295256374937").Big();
    for (int threads : {1, 2}) {
        const auto [r, ms] = FactorAndAbort(n, 300, threads);
        EXPECT_EQ(r.status, SiqsResult::ABORTED) << threads;
        EXPECT_LT(ms, ABORT_MS) << threads;
    }
    const std::atomic<int> aborted{RUN_ABORT};
    EXPECT_EQ(FactorSiqs(n, SiqsParams(), aborted, nullptr).status, SiqsResult::ABORTED);
}

TEST(Siqs, HundredDigitsAreTakenAndRefusalsComeBeforeAnAbort) {
    // With an abort already asked for, a part the sieve takes ends ABORTED,
    // a part it refuses ends TOO_LARGE. Products of two primes from PARI/GP:
    // 100 digits (two of 50) and 101 digits (50 and 51).
    const std::atomic<int> aborted{RUN_ABORT};
    struct Row {
        const char* n;
        SiqsResult::Status status;
    };
    const Row rows[] = {
        {"1000000000000000000000000000000000000000000000002410000000000000000000000000000000000000000000001359",
         SiqsResult::ABORTED},
        {"10000000001000000000000000000000000000000012345686401234568170000000000000000000000000000005802470399",
         SiqsResult::TOO_LARGE},
        {"1000000016000000063", SiqsResult::ABORTED},  // below 2^64 as well
        {"1000000007", SiqsResult::PRIME},
        {"0", SiqsResult::BAD_TARGET},
    };
    for (const Row& r : rows) EXPECT_EQ(FactorSiqs(gmp::Parse(r.n).Big(), SiqsParams(), aborted, nullptr).status, r.status) << r.n;
}

TEST(Siqs, AbortAtAnyMomentGivesAbortedOrTheFactors) {
    // 40 digits: the run ends within tens of milliseconds, so the aborts fall
    // into every stage.
    const BigInt n = gmp::Parse("2498628522731428565561621651142451065223").Big();
    const std::vector<std::string> factors = {"44001836472755394503", "56784641801905330241"};
    for (int ms = 0; ms <= 60; ms += 3) {
        const auto [r, latency] = FactorAndAbort(n, ms, 1 + ms % 2);
        if (r.status == SiqsResult::FACTORED) {
            EXPECT_EQ(Texts(r.primes), factors) << ms;
        } else {
            EXPECT_EQ(r.status, SiqsResult::ABORTED) << ms;
        }
    }
}

}  // namespace
