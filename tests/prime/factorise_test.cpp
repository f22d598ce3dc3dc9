// The complete factorisation against GMP: every row's primes multiply back
// to the target, each is prime for mpz_probab_prime_p, they ascend, and the
// stage meant to split the row did so. Then the product text, and an abort
// in every stage. The numbers were made with PARI/GP (safe primes where
// p-1 must not find the factor).

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/gmp.h"
#include "prime/factorise.h"

namespace {

using gmp::Mpz;

constexpr const char* PM1_N = "20744157642117101588548508025518199281424288657521586262119960395761";
constexpr const char* ECM_N = "533670168095680379642500385654452946075982413522811192010656356171179016026553370593"
                              "1831363847092382812156739207837675841";
constexpr const char* SIQS60_N = "468958796628116892899822118983079765610522101750161327222767";
// 21 * p50 * q60: no stage splits the 110-digit part within a second.
constexpr const char* HARD_N = "10930460394951867196976625448858132553958328061291945908732535125851030465868736015"
                               "36682818028847004166743611701";

/// The product of the primes and the unsplit parts, signed, for GMP.
void CheckProduct(const FactoriseResult& r, const char* n) {
    Mpz product, p;
    mpz_set_ui(product, 1);
    for (size_t i = 0; i < r.primes.size(); ++i) {
        mpz_set(p, Mpz(r.primes[i]));
        EXPECT_GT(mpz_probab_prime_p(p, 30), 0) << gmp::Text(p);
        if (i > 0) {
            EXPECT_NE(r.primes[i - 1].CompareMagnitude(r.primes[i]), 1);  // 1: greater
        }
        mpz_mul(product, product, p);
    }
    for (const FactorisePart& part : r.parts) {
        mpz_set(p, Mpz(part.value));
        EXPECT_EQ(mpz_probab_prime_p(p, 30) == 0, part.composite);
        mpz_pow_ui(p, p, static_cast<unsigned long>(part.exponent));
        mpz_mul(product, product, p);
    }
    if (r.negative) mpz_neg(product, product);
    EXPECT_EQ(gmp::Text(product), n);
}

TEST(Factorise, EveryStageAgainstGmp) {
    struct Row {
        const char* n;
        int stage;  // the stage that must split, -1 none
        bool trialDivFirst;
        size_t primes;
    };
    const Row rows[] = {
        {"8488911156655104", STAGE_TRIAL, false, 20},  // 2^10 3^5 7^3 9973^2
        {PM1_N, STAGE_PM1, false, 2},
        {"1043404451768843176260150665864913181959839", STAGE_RHO, false, 2},
        {ECM_N, STAGE_ECM, false, 2},
        {"2730429822661960872508844872840368912613", STAGE_SIQS, false, 2},
        {"859617738196125971658245335031752062212919134538276222364129", STAGE_POWER, false, 2},
        {"9822517220704465979226594836193857222761259348784364921457248", STAGE_POWER, false, 8},
        {"-60671683250587274061430948127435627", STAGE_RHO, false, 2},  // 65521 * p30
        {"60671683250587274061430948127435627", STAGE_TRIAL, true, 2},
        {"170141183460469231731687303715884105727", -1, false, 1},
        {"-6", STAGE_TRIAL, false, 2},
        {"1", -1, false, 0},
        {"-1", -1, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.n);
        FactoriseSettings settings;
        settings.trialDivFirst = row.trialDivFirst;
        const std::atomic<int> state{RUN_ACTIVE};
        const FactoriseResult r = Factorise(gmp::Parse(row.n).Big(), settings, state, nullptr);
        ASSERT_EQ(r.status, FactoriseResult::COMPLETE);
        EXPECT_EQ(r.negative, row.n[0] == '-');
        EXPECT_EQ(r.primes.size(), row.primes);
        if (row.stage >= 0) {
            EXPECT_GT(r.splitsBy[row.stage], 0) << "stage " << row.stage;
        }
        CheckProduct(r, row.n);
    }
    const std::atomic<int> state{RUN_ACTIVE};
    EXPECT_EQ(Factorise(BigInt(0), {}, state, nullptr).status, FactoriseResult::BAD_TARGET);
}

TEST(Factorise, ProductText) {
    const BigInt p1 = gmp::Parse("1000000007").Big(), p2 = gmp::Parse("1000000009").Big();
    const BigInt big = gmp::Parse("170141183460469231731687303715884105727").Big();
    const BigInt c = gmp::Parse("1000000016000000063").Big();
    struct Row {
        std::vector<BigInt> primes;
        std::vector<FactorisePart> parts;
        bool negative;
        const char* text;
    };
    const Row rows[] = {
        {{2, 2, 2, 3, 101}, {}, false, "2^3 * 3 * 101"},
        {{p1, p1, big}, {}, false, "1000000007^2 * 170141183460469231731687303715884105727"},
        {{3, 7}, {{c, 1, true}}, false, "3 * 7 * 1000000016000000063(合成数)"},
        {{}, {{c, 2, true}, {big, 1, false}}, true,
         "-1 * 1000000016000000063(合成数)^2 * 170141183460469231731687303715884105727"},
        {{p2}, {}, true, "-1 * 1000000009"},
        {{}, {}, false, ""},
    };
    for (const Row& row : rows) {
        FactoriseResult r;
        r.primes = row.primes;
        r.parts = row.parts;
        r.negative = row.negative;
        EXPECT_EQ(FactorisationText(r), row.text);
    }
}

// An abort arriving while a stage runs ends the run within the bound and
// leaves the unsplit part in the result.
TEST(Factorise, AbortInEveryStage) {
    struct Row {
        FactoriseStage stage;
        const char* n;
        int delayMs;  // from the stage's start to the abort
    };
    const Row rows[] = {
        {STAGE_TRIAL, ECM_N, 0},    {STAGE_POWER, HARD_N, 0},  {STAGE_RHO, ECM_N, 30},
        {STAGE_PM1, ECM_N, 30},     {STAGE_ECM, HARD_N, 150},  {STAGE_SIQS, SIQS60_N, 150},
    };
    using Clock = std::chrono::steady_clock;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stage);
        std::atomic<int> state{RUN_ACTIVE};
        std::atomic<Clock::rep> abortedAt{0};
        std::thread aborter;
        bool armed = false;
        auto abort = [&] {
            abortedAt = Clock::now().time_since_epoch().count();
            state = RUN_ABORT;
        };
        FactoriseSettings settings;
        settings.rhoTrials = 100000;
        settings.rhoExponent = 256;
        settings.stageStarted = [&](FactoriseStage stage, const BigInt&) {
            if (stage != row.stage || armed) return;
            armed = true;
            if (row.delayMs == 0) return abort();
            aborter = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(row.delayMs));
                abort();
            });
        };
        const FactoriseResult r = Factorise(gmp::Parse(row.n).Big(), settings, state, nullptr);
        const auto returnedAt = Clock::now().time_since_epoch().count();
        if (aborter.joinable()) aborter.join();
        ASSERT_NE(abortedAt.load(), 0);
        // 50 ms on an idle machine; the slack is for a loaded one.
        EXPECT_LT(std::chrono::duration<double>(Clock::duration(returnedAt - abortedAt)).count(), 0.25);
        EXPECT_EQ(r.status, FactoriseResult::ABORTED);
        ASSERT_FALSE(r.parts.empty());
        CheckProduct(r, row.n);
    }
}

}  // namespace
