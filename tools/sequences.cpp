#include "tools/sequences.h"

#include "bigint/message_box.h"

namespace {

// n - 1 for a machine-integer term number, wrapping at INT_MIN the way the
// 32-bit register arithmetic does, without signed overflow.
int Predecessor(int n) {
    return static_cast<int>(static_cast<unsigned>(n) - 1u);
}

BigInt TooLarge() {
    BigInt v;
    v.SetStatus(1);
    return v;
}

bool IsZero(const BigInt& v) {
    return v.CompareMagnitude(BigInt(0)) == 0;
}

}  // namespace

std::string ResultText(BigInt value) {
    if (value.GetStatus() != 0) return TOO_LARGE_TEXT;
    char buffer[BIGINT_TEXT_SIZE];
    return value.ToString(buffer, 10);
}

// --- Progressions -------------------------------------------------------------

BigInt ArithmeticTerm(int a, int d, int n) {
    BigInt t = d;
    t *= Predecessor(n);
    t += a;
    return t;
}

BigInt ArithmeticSum(int a, int d, int n) {
    BigInt t = d;
    t *= Predecessor(n);
    t += a;
    t += a;
    t *= n;
    t /= 2;  // exact: n (n - 1) d and 2 a n are both even
    return t;
}

BigInt GeometricTerm(int a, int d, int n) {
    BigInt t = BigInt(d).Power(Predecessor(n));
    t *= a;
    return t;
}

GeometricSumResult GeometricSum(int a, int d, int n) {
    GeometricSumResult g;
    if (d == 1) {
        g.sum = BigInt(a) * n;
        g.numerator = 1;
        g.divisor = 1;
        return g;
    }
    g.numerator = BigInt(d).Power(n);
    --g.numerator;
    g.numerator *= a;
    g.divisor = BigInt(d) - 1;
    g.sum = g.numerator / g.divisor;
    if (g.sum.GetStatus() == 0) g.remainderLeft = !IsZero(g.numerator % g.divisor);
    return g;
}

void ReportGeometricSumRemainder(const GeometricSumResult& result) {
    if (!result.remainderLeft) return;
    ShowMessageBox(GEOMETRIC_SUM_NOTICE);
    ShowMessageBox(ResultText(result.numerator));
    ShowMessageBox(ResultText(result.divisor));
}

// --- Lucas-type sequences -----------------------------------------------------

namespace {

// (r, q) = (F(2k), F(2k+1)) after k passes.
struct LucasState {
    BigInt r;
    BigInt q;
};

// One pass: two terms further. The new r enters the new q.
void LucasPass(LucasState& s, int a, int b) {
    s.r = s.q * a + s.r * b;
    s.q = s.r * a + s.q * b;
}

LucasState LucasStart(unsigned f0, unsigned f1) {
    return {BigInt(static_cast<int>(f0)), BigInt(static_cast<int>(f1))};
}

BigInt LucasFinish(LucasState& s, int a, int b, unsigned n) {
    if (n % 2 == 0) s.q = s.q * a + s.r * b;
    return s.q;
}

}  // namespace

// F(n) by passes of two terms each, (n - 1) / 2 of them, then one more term
// for an even n. Two shortcuts leave the result unchanged and keep a huge n
// (typed while the dialog is live) from freezing the window:
//  * once a term carries the error status, every later one does, so the
//    loop stops and the result carries it;
//  * a pass is the linear map T(r, q) = (b r + a q, a b r + (a^2 + b) q). If
//    the state after k passes satisfies s(k) - s(k-6) == s(k-6) - s(k-12),
//    that difference D is a fixed vector of T^6, so s(k + 6j) = s(k) + j D
//    for every j: the states move along a line (the periodic and linearly
//    growing sequences, the only ones that can run long without overflow).
//    The loop jumps ahead by whole periods of six and steps the last few
//    passes, where each product's largest magnitude occurs, as usual.
BigInt LucasSequence::Term(unsigned a, unsigned b, unsigned f0, unsigned f1, unsigned n) const {
    if (n == 0) return static_cast<int>(f0);
    if (n == 1) return static_cast<int>(f1);
    const int ia = static_cast<int>(a);
    const int ib = static_cast<int>(b);
    const unsigned passes = (n - 1) / 2;  // below 2^31

    constexpr unsigned PERIOD = 6;
    constexpr unsigned HISTORY = 2 * PERIOD + 1;
    LucasState history[HISTORY];  // ring: the state after pass k sits at k % HISTORY
    LucasState s = LucasStart(f0, f1);
    history[0] = s;
    bool jumped = false;

    for (unsigned k = 0; k < passes;) {
        LucasPass(s, ia, ib);
        ++k;
        if (s.r.GetStatus() != 0 || s.q.GetStatus() != 0) {
            s.q.SetStatus(1);
            return s.q;
        }
        history[k % HISTORY] = s;
        if (jumped || k < 2 * PERIOD || passes - k < 2 * PERIOD) continue;

        const LucasState& mid = history[(k - PERIOD) % HISTORY];
        const LucasState& old = history[(k - 2 * PERIOD) % HISTORY];
        const BigInt dr = s.r - mid.r;
        const BigInt dq = s.q - mid.q;
        const BigInt ddr = dr - (mid.r - old.r);
        const BigInt ddq = dq - (mid.q - old.q);
        // A difference that overflowed holds no usable value.
        if (ddr.GetStatus() != 0 || ddq.GetStatus() != 0) continue;
        if (!IsZero(ddr) || !IsZero(ddq)) continue;

        // Leave between PERIOD and 2 PERIOD - 1 passes to step.
        const unsigned periods = (passes - k) / PERIOD - 1;
        const int j = static_cast<int>(periods);  // below 2^31 / 6
        s.r += dr * j;
        s.q += dq * j;
        k += periods * PERIOD;
        jumped = true;
        if (s.r.GetStatus() != 0 || s.q.GetStatus() != 0) {
            s.q.SetStatus(1);
            return s.q;
        }
    }
    return LucasFinish(s, ia, ib, n);
}

// --- Mersenne-type and Fermat numbers -------------------------------------------

BigInt MersenneNumber(unsigned k) {
    // 2^k needs k + 1 bits; beyond BIGINT_BITS it cannot fit (and a k of
    // 2^31 or more must not reach Power as a negative int).
    if (k > static_cast<unsigned>(BIGINT_BITS)) return TooLarge();
    BigInt t = 2;
    t = t.Power(static_cast<int>(k));
    --t;
    return t;
}

BigInt FermatNumber(unsigned k) {
    // The exponent 2^k is taken as a 32-bit number: from k = 32 on it would
    // wrap to 0 and give the wrong value 2, so such k are too large outright.
    if (k >= 32) return TooLarge();
    BigInt t = 2;
    t = t.Power(static_cast<int>(k));
    const uint32_t e = t.Low32();
    if (e >= static_cast<uint32_t>(BIGINT_BITS)) return TooLarge();
    t = 2;
    t = t.Power(static_cast<int>(e));
    ++t;
    return t;
}
