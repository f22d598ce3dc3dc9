// Every long routine returns its abort result when the run state asks for it,
// before it starts and while it runs (flipped from another thread).

#include <gmp.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "prime/prime_engine.h"
#include "tests/prime/gmp_reference.h"
#include "tests/prime/recorder.h"

namespace {

using gmpref::Mpz;

const PrimeEngine& E() { return g_primeEngine; }

BigInt PrimeWithDigits(int digits) {
    Mpz p;
    mpz_ui_pow_ui(p.v, 10, static_cast<unsigned long>(digits - 1));
    mpz_nextprime(p.v, p.v);
    return p.Big();
}

// Runs `routine` with a state that another thread flips to RUN_ABORT after 30 ms.
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

TEST(Abort, RequestedBeforeTheStart) {
    std::atomic<int> aborted{RUN_ABORT};
    RecordingPresenter boxes;
    FactorEntry list[FACTOR_LIST_SIZE];
    const BigInt wide = PrimeWithDigits(60);
    EXPECT_EQ(E().TrialDivide32(4294967291u, 2, 262139, aborted), 0);
    EXPECT_EQ(E().TrialDivide(wide, 2, 262139, aborted), 0);
    EXPECT_EQ(E().TrialDivide(BigInt(97), 2, 262139, aborted), 1) << "narrow numbers are not interrupted";
    EXPECT_EQ(E().miniFactor(wide, 262139, list, aborted), BigInt(0));
    EXPECT_EQ(E().miniFactor(BigInt(360), 262139, list, aborted), BigInt(0));
    EXPECT_EQ(E().Rho(wide, 1000, 2, 2, 1, aborted), BigInt(0));
    EXPECT_EQ(E().Pm1(wide, 16, 1, 1048576, aborted), BigInt(0));
    EXPECT_EQ(E().Ecm(wide, 10, 1000, aborted), BigInt(0));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST(Abort, RhoWhileRunning) {
    const BigInt n = PrimeWithDigits(100);
    EXPECT_EQ(RunAndAbort([&](const std::atomic<int>& s) { return E().Rho(n, 100000, 256, 2, 1, s); }), BigInt(0));
}

TEST(Abort, Pm1StageOneWhileRunning) {
    const BigInt n = PrimeWithDigits(240);
    EXPECT_EQ(RunAndAbort([&](const std::atomic<int>& s) { return E().Pm1(n, 256, 4, 16777216, s); }), BigInt(0));
}

TEST(Abort, Pm1StageTwoWhileRunning) {
    // A small prime target: stage 1 is over in moments, stage 2 to 2^24 is long.
    const BigInt n = PrimeWithDigits(12);
    std::atomic<int> state{RUN_ACTIVE};
    std::thread flipper([&state] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        state.store(RUN_ABORT);
    });
    EXPECT_EQ(E().Pm1(n, 2, 4, 16777216, state), BigInt(0));
    flipper.join();
}

TEST(Abort, EcmWhileRunning) {
    RecordingPresenter boxes;
    const BigInt n = PrimeWithDigits(150);
    EXPECT_EQ(RunAndAbort([&](const std::atomic<int>& s) { return E().Ecm(n, 10000, 100000, s); }), BigInt(0));
}

}  // namespace
