// Complete factorisation by the quadratic sieve: the tables of PARI/GP's
// factorisations (data/siqs.vec, data/siqs_slow.vec), random semiprimes made
// with GMP, the refusals, the progress line and aborts.

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "prime/siqs.h"
#include "tests/prime/run_support.h"
#include "tests/support/gmp.h"

namespace {

std::vector<std::string> Texts(const std::vector<BigInt>& values) {
    std::vector<std::string> texts;
    for (const BigInt& v : values) texts.push_back(gmp::Text(gmp::Mpz(v)));
    return texts;
}

const std::atomic<int> ACTIVE{RUN_ACTIVE}, ABORTED{RUN_ABORT};

SiqsResult Factor(const BigInt& n, int threads = 2, const std::atomic<int>& state = ACTIVE) {
    SiqsParams params;
    params.threads = threads;
    return FactorSiqs(n, params, state, nullptr);
}

/// Rows "N = p q^e ..." (ascending primes; N alone for a prime), "# note" lines before them.
void FactorTable(const std::string& name) {
    std::ifstream in(KALVORA_TEST_DATA "/" + name);
    int rows = 0;
    std::string note;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            note = line;
            continue;
        }
        std::istringstream row(line);
        std::string n, factor;
        std::vector<std::string> factors;
        for (row >> n >> factor; row >> factor;) {
            const size_t caret = factor.find('^');
            factors.insert(factors.end(), caret == std::string::npos ? 1 : std::stoi(factor.substr(caret + 1)), factor.substr(0, caret));
        }
        ++rows;
        for (const std::string sign : {"", "-"}) {
            if (sign == "-" && n.size() > 40) continue;  // the sign is the same work again
            const SiqsResult r = Factor(gmp::Parse(sign + n).Big());
            EXPECT_EQ(r.status, factors == std::vector{n} ? SiqsResult::PRIME : SiqsResult::FACTORED) << note << "\n" << sign << n;
            EXPECT_EQ(Texts(r.primes), factors) << note << "\n" << sign << n;
            EXPECT_EQ(r.stats.discarded, 0) << note << "\n" << sign << n;
        }
    }
    EXPECT_GT(rows, 3) << name;
}

TEST(Siqs, FactorsTheTable) { FactorTable("siqs.vec"); }

TEST(SiqsSlow, FactorsLargerNumbers) { FactorTable("siqs_slow.vec"); }

TEST(Siqs, SplitsRandomSemiprimesOnOneAndTwoThreads) {
    // p of 6 to 20 digits times q of 12 to 22 digits, made by GMP.
    gmp_randstate_t rng;
    gmp_randinit_mt(rng);
    gmp_randseed_ui(rng, 15);
    gmp::Mpz p, q, n, low;
    for (int i = 0; i < 24; ++i) {
        for (auto [x, d] : {std::pair{&p, 6 + gmp_urandomm_ui(rng, 15)}, std::pair{&q, 12 + gmp_urandomm_ui(rng, 11)}}) {
            mpz_ui_pow_ui(low, 10, d - 1);
            mpz_urandomm(*x, rng, low);
            mpz_add(*x, *x, low);
            mpz_nextprime(*x, *x);
        }
        if (mpz_cmp(p, q) > 0) mpz_swap(p, q);
        mpz_mul(n, p, q);
        const SiqsResult r = Factor(n.Big(), 1 + i % 2);
        EXPECT_EQ(r.status, SiqsResult::FACTORED) << gmp::Text(n);
        EXPECT_EQ(Texts(r.primes), (std::vector{gmp::Text(p), gmp::Text(q)})) << gmp::Text(n);
    }
    gmp_randclear(rng);
}

// Refusals, the limit of 100 digits for a composite part, and what an abort
// asked for before the start leaves: a part the sieve takes ends ABORTED,
// one it refuses TOO_LARGE. Products of two primes and a prime from PARI/GP.
TEST(Siqs, RefusalsAndTheLimitOf100Digits) {
    const std::string p51p50 = "10000000001000000000000000000000000000000012345686401234568170000000000000000000000000000005802470399";
    const std::string p50p50 = "1000000000000000000000000000000000000000000000002410000000000000000000000000000000000000000000001359";
    const std::string prime100 = "1000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000001287";
    const struct {
        std::string n;
        int state;
        SiqsResult::Status status;
        std::vector<std::string> primes;
        std::string tooLarge = "0";
    } rows[] = {
        {"0", RUN_ACTIVE, SiqsResult::BAD_TARGET, {}},
        {"1", RUN_ACTIVE, SiqsResult::BAD_TARGET, {}},
        {"-1", RUN_ACTIVE, SiqsResult::BAD_TARGET, {}},
        {"-2", RUN_ACTIVE, SiqsResult::PRIME, {"2"}},
        {p51p50, RUN_ACTIVE, SiqsResult::TOO_LARGE, {}, p51p50},
        {"-" + p51p50, RUN_ACTIVE, SiqsResult::TOO_LARGE, {}, p51p50},
        {"210000000021000000000000000000000000000000259259414425925931570000000000000000000000000000121851878379",
         RUN_ACTIVE, SiqsResult::TOO_LARGE, {"3", "7"}, p51p50},  // 21 times the above
        {prime100, RUN_ACTIVE, SiqsResult::PRIME, {prime100}},
        {p50p50, RUN_ABORT, SiqsResult::ABORTED, {}},
        {p51p50, RUN_ABORT, SiqsResult::TOO_LARGE, {}, p51p50},
        {"1000000016000000063", RUN_ABORT, SiqsResult::ABORTED, {}},  // below 2^64 as well
        {"1000000007", RUN_ABORT, SiqsResult::PRIME, {"1000000007"}},
        {"0", RUN_ABORT, SiqsResult::BAD_TARGET, {}},
    };
    for (const auto& row : rows) {
        const SiqsResult r = Factor(gmp::Parse(row.n).Big(), 2, row.state == RUN_ABORT ? ABORTED : ACTIVE);
        EXPECT_EQ(r.status, row.status) << row.n;
        EXPECT_EQ(Texts(r.primes), row.primes) << row.n;
        EXPECT_EQ(gmp::Text(gmp::Mpz(r.tooLargePart)), row.tooLarge) << row.n;
    }
    BigInt invalid(7);
    invalid.SetStatus(1);
    EXPECT_EQ(Factor(invalid).status, SiqsResult::BAD_TARGET);
    // 10^100 has 101 digits and only small factors.
    std::vector<std::string> powers(100, "2");
    powers.insert(powers.end(), 100, "5");
    EXPECT_EQ(Texts(Factor(BigInt(10).Power(100)).primes), powers);
}

TEST(Siqs, ReportsRelationsAgainstThoseNeeded) {
    ProgressRecorder recorder;
    // 45 digits, balanced.
    const SiqsResult r = FactorSiqs(gmp::Parse("170372778940218806569544030974008510803104279").Big(), SiqsParams(), ACTIVE,
                                    &recorder.progress);
    ASSERT_EQ(r.status, SiqsResult::FACTORED);
    ASSERT_FALSE(recorder.texts.empty());
    std::smatch m;
    ASSERT_TRUE(std::regex_match(recorder.texts[0], m, std::regex("MPQS ふるい: 関係式 ([0-9]+)/([0-9]+)"))) << recorder.texts[0];
    EXPECT_LT(std::stol(m[1]), std::stol(m[2]));
    EXPECT_GT(std::stol(m[2]), r.stats.factorBase);  // more relations than primes
    EXPECT_GE(r.stats.fulls + r.stats.cycles, std::stol(m[2]));
    EXPECT_GT(r.stats.matrixCols, r.stats.matrixRows);
}

TEST(Siqs, AbortEndsTheSievingAtAnyMoment) {
    // 70 digits: many seconds of sieving.
    const gmp::Mpz n70 = gmp::Parse("2908903710226360896074230564619177731544961978358472159295256374937");
    for (int threads : {1, 2}) {
        EXPECT_LT(MsToStop(300, [&](const std::atomic<int>& s) { EXPECT_EQ(Factor(n70.Big(), threads, s).status, SiqsResult::ABORTED); }),
                  ABORT_MS) << threads;
    }
    // 40 digits: the run ends within tens of milliseconds, so the aborts fall into every stage.
    const gmp::Mpz n40 = gmp::Parse("2498628522731428565561621651142451065223");
    const std::vector<std::string> factors = {"44001836472755394503", "56784641801905330241"};
    for (int ms = 0; ms <= 60; ms += 3) {
        MsToStop(ms, [&](const std::atomic<int>& s) {
            const SiqsResult r = Factor(n40.Big(), 1 + ms % 2, s);
            EXPECT_TRUE(r.status == SiqsResult::ABORTED || Texts(r.primes) == factors) << ms;
        });
    }
}

}  // namespace
