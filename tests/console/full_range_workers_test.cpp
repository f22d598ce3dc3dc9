// The workers on the whole range of targets: every run ends in a box that
// tells the truth (wide targets, composite factors, refused parameters,
// targets too small for rho), and the pseudo-prime test gives way to "中断".

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "console/worker_control.h"
#include "tests/support/box_recorder.h"

namespace {

using Texts = std::vector<std::string>;

// 2^e - 1 times `factor`.
BigInt MersenneTimes(uint16_t e, int factor) { return ((BigInt(1) << e) - 1) * factor; }

PrimeSettings Settings(int action, int method, const BigInt& target, const std::function<void(PrimeSettings&)>& more = {}) {
    PrimeSettings s;
    s.action = action;
    s.method = method;
    s.target = target;
    s.lowerPriority = 0;
    if (more) more(s);
    return s;
}

// Runs s to its end; the boxes shown.
Texts RunToTheEnd(const PrimeSettings& s, const std::function<void()>& meanwhile = {}) {
    BoxRecorder boxes;
    EXPECT_TRUE(StartWorker(s));
    if (meanwhile) meanwhile();
    for (int i = 0; i < 60000 && g_workerControl.RunState.load() != RUN_IDLE; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(g_workerControl.RunState.load(), RUN_IDLE);
    // ECM announces a factor met while doubling with a box of its own first;
    // whether that happens depends on the curves it draws.
    Texts texts = boxes.Texts();
    std::erase(texts, std::string("ECM内部情報(β)"));
    return texts;
}

TEST(FullRangeWorkers, EveryRunEndsInATruthfulBox) {
    const char* const shortCycle =
        "数列 X[i] が 2 ステップ以内に X[0] に戻るため、ρ法では探索できません。\r"
        "ターゲットが小さすぎるか、X[0] または c が適切でありません。";
    const char* const bad = "パラメータが適切でありません。変更して下さい。";
    const BigInt n8051(8051);
    const struct { const char* what; PrimeSettings settings; Texts expected; } rows[] = {
        {"2^1279 - 1 is prime", Settings(ACTION_PSEUDO_PRIME, 0, MersenneTimes(1279, 1)), {"素数です"}},
        {"2^1277 - 1 is composite", Settings(ACTION_PSEUDO_PRIME, 0, MersenneTimes(1277, 1)), {"素数ではありません"}},
        {"rho on 2^32 - 1 meets 3 * 5 * 17 * 257 at once", Settings(ACTION_FACTOR, METHOD_RHO, MersenneTimes(32, 1)),
         {"因数\r 65535 \rを発見しました ! (合成数)"}},
        {"p-1 on 2^800 - 1 meets 2^32 - 1 at the prime 2", Settings(ACTION_FACTOR, METHOD_PM1, MersenneTimes(800, 1)),
         {"因数\r 4294967295 \rを発見しました ! (合成数)"}},
        {"rho on a 1300-bit target", Settings(ACTION_FACTOR, METHOD_RHO, MersenneTimes(1279, 1000003)),
         {"素因数\r 1000003 \rを発見しました !"}},
        {"ECM on a 1286-bit target", Settings(ACTION_FACTOR, METHOD_ECM, MersenneTimes(1279, 101), [](auto& s) { s.ecmSmoothness = 100; }),
         {"この機能にはバグが残っています。", "素因数\r 101 \rを発見しました !"}},
        {"rho on 3: 2^2 + 1 = 2", Settings(ACTION_FACTOR, METHOD_RHO, BigInt(3)), {shortCycle}},
        {"rho on 4: 2, 1, 2", Settings(ACTION_FACTOR, METHOD_RHO, BigInt(4)), {shortCycle}},
        {"rho with no steps", Settings(ACTION_FACTOR, METHOD_RHO, n8051, [](auto& s) { s.rhoTrials = 0; }), {bad}},
        {"rho with exponent 1", Settings(ACTION_FACTOR, METHOD_RHO, n8051, [](auto& s) { s.rhoExponent = 1; }), {bad}},
        {"p-1 with exponent 1", Settings(ACTION_FACTOR, METHOD_PM1, n8051, [](auto& s) { s.pm1SmallExponent = 1; }), {bad}},
        {"p-1 with a bound above 2^24", Settings(ACTION_FACTOR, METHOD_PM1, n8051, [](auto& s) { s.pm1Bound = 16777217; }), {bad}},
    };
    for (const auto& r : rows) EXPECT_EQ(RunToTheEnd(r.settings), r.expected) << r.what;
}

TEST(FullRangeWorkers, PseudoPrimeTestGivesWayToAbort) {
    // Every table prime as a base of a 1279-bit prime: many seconds unless aborted.
    std::chrono::steady_clock::time_point aborted;
    const Texts boxes = RunToTheEnd(Settings(ACTION_PSEUDO_PRIME, 0, MersenneTimes(1279, 1), [](auto& s) { s.mrTrials = 23000; }), [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        aborted = std::chrono::steady_clock::now();
        int active = RUN_ACTIVE;
        EXPECT_TRUE(g_workerControl.RunState.compare_exchange_strong(active, RUN_ABORT));
    });
    // A bound for a loaded machine, far below the uninterrupted run.
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - aborted).count(), 2.0);
    EXPECT_EQ(boxes, Texts{"中断しました"});
}

}  // namespace
