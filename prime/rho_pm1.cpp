// Pollard rho and the two-stage p-1 method. Both compute on residues of the
// target in the Montgomery kernel (plain residues for an even target), so
// every product is exact whatever the target's width.

#include <algorithm>
#include <cstring>

#include "bigint/bigint_words.h"
#include "bigint/montgomery.h"
#include "prime/engine_words.h"
#include "prime/prime_engine.h"

namespace {

using kw::u64;

bool Aborted(const std::atomic<int>& state) { return state.load(std::memory_order_relaxed) == RUN_ABORT; }

// The ranges Rho accepts besides the target's 0 and 1.
bool RhoAccepts(const BigInt& n, int trials, int b) {
    return n.GetStatus() != 1 && trials > 0 && trials <= 100000 && b >= 2 && b <= 256;
}

// The sequence X[i+1] = X[i]^b + c modulo n for |c| < n, on residues. Each
// value is the one the BigInt steps give: the power reduced into [0, n), c
// added, the sum brought back into [0, n) by one subtraction or addition of
// n; the start test's steps (an ordinary power, then the remainder) reach the
// same residues.
class ResidueRho {
public:
    ResidueRho(const BigInt& n, int b, int32_t c) : m_target(n), m_n(kw::Load(n)), m_mont(m_n.w, m_n.n), m_b(b) {
        const kw::Mag cw = kw::Load(c >= 0 ? BigInt(c) : n + c);
        m_mont.To(m_addend, cw.w, cw.n);
        m_topBit = 15;
        while (((b >> m_topBit) & 1) == 0) --m_topBit;
    }

    /// Whether X[1] or X[2] is the start value a itself.
    bool ReturnsToStart(uint32_t a) const {
        u64 t[kw::WORDS];
        Start(t, a);
        Step(t);
        if (IsStart(t, a)) return true;
        Step(t);
        return IsStart(t, a);
    }

    /// The walk at single and double speed. Each gcd only depends on the
    /// accumulated product up to a unit: |Y - X| and (Y - X) mod n differ at
    /// most in sign, and the Montgomery factor R is prime to n. So the gcds,
    /// and the result, are those of the walk on BigInt values.
    BigInt Walk(int trials, uint32_t a, const std::atomic<int>& state) const {
        const int k = m_mont.Size();
        u64 x[kw::WORDS], y[kw::WORDS], product[kw::WORDS], diff[kw::WORDS];
        Start(x, a);
        kw::Copy(y, x, k);
        Step(y);
        m_mont.Sub(product, y, x);
        BigInt g;
        for (int i = 1; i < trials; ++i) {
            Step(x);
            Step(y);
            Step(y);
            m_mont.Sub(diff, y, x);
            m_mont.Mul(product, product, diff);
            if (i % 100 == 0 && FactorFound(product, g)) return g;
            if (Aborted(state)) return BigInt(0);
        }
        if ((trials - 1) % 100 != 0 && FactorFound(product, g)) return g;
        return BigInt(0);
    }

private:
    void Start(u64* r, uint32_t a) const {
        const u64 w = a;
        m_mont.To(r, &w, 1);
    }

    // v = v^b + c.
    void Step(u64* v) const {
        u64 base[kw::WORDS];
        kw::Copy(base, v, m_mont.Size());
        for (int bit = m_topBit - 1; bit >= 0; --bit) {
            m_mont.Sqr(v, v);
            if ((m_b >> bit) & 1) m_mont.Mul(v, v, base);
        }
        m_mont.Add(v, v, m_addend);
    }

    // Whether the residue v is a itself (never when a is n or more).
    bool IsStart(const u64* v, uint32_t a) const {
        u64 plain[kw::WORDS];
        m_mont.From(plain, v);
        const int pn = kw::Norm(plain, m_mont.Size());
        return pn == 0 ? a == 0 : pn == 1 && plain[0] == a;
    }

    bool FactorFound(const u64* product, BigInt& g) const {
        g = GcdWithTarget(product, kw::Norm(product, m_mont.Size()), m_n.w, m_n.n);
        return g != 1 && g != m_target;
    }

    const BigInt& m_target;
    kw::Mag m_n;
    kw::Montgomery m_mont;
    int m_b;
    int m_topBit;
    u64 m_addend[kw::WORDS];
};

// For |c| >= n (so n < 2^31) the values leave [0, n) and the walk runs on
// BigInt values as documented; its products are small. Only the start
// test's ordinary power can exceed the width: t^b % n is taken as |t|^b mod n
// with the sign of the power, which is what the unbounded power would give.
BigInt PowerRemainder(const BigInt& t, int b, const BigInt& n) {
    BigInt magnitude = t;
    magnitude.SetSign(0);
    BigInt r = magnitude.PowerMod(b, n);
    if (t.GetSign() != 0 && (b & 1) != 0) r = BigInt(0) - r;
    return r;
}

BigInt StartTestStep(const BigInt& t, int b, int32_t c, const BigInt& n) {
    BigInt r = PowerRemainder(t, b, n);
    r = r + c;
    if (r < 0) r = r + n;
    return r % n;
}

bool LiteralReturnsToStart(const BigInt& n, int b, uint32_t a, int32_t c) {
    const BigInt start = FromUint32(a);
    BigInt t = StartTestStep(start, b, c, n);
    if (t == start) return true;
    t = StartTestStep(t, b, c, n);
    return t == start;
}

// One step of the walk: x^b + c, brought back into range by at most one
// subtraction and one addition of n (a large |c| may leave it outside).
BigInt RhoStep(const BigInt& x, int b, int32_t c, const BigInt& n) {
    BigInt s = x.PowerMod(b, n) + c;
    if (s >= n) s -= n;
    if (s < 0) s += n;
    return s;
}

BigInt AbsoluteDifference(const BigInt& u, const BigInt& v) {
    BigInt d = u - v;
    d.SetSign(0);
    return d;
}

BigInt LiteralWalk(const BigInt& n, int trials, int b, uint32_t a, int32_t c, const std::atomic<int>& state) {
    BigInt x = FromUint32(a);
    BigInt y = RhoStep(x, b, c, n);
    BigInt product = AbsoluteDifference(y, x);
    for (int i = 1; i < trials; ++i) {
        x = RhoStep(x, b, c, n);
        y = RhoStep(RhoStep(y, b, c, n), b, c, n);
        product = (product * AbsoluteDifference(y, x)) % n;
        if (i % 100 == 0) {
            const BigInt g = product.Gcd(n);
            if (g != 1 && g != n) return g;
        }
        if (Aborted(state)) return BigInt(0);
    }
    if ((trials - 1) % 100 != 0) {
        const BigInt g = product.Gcd(n);
        if (g != 1 && g != n) return g;
    }
    return BigInt(0);
}

bool AddendBelowTarget(int32_t c, const BigInt& n) { return BigInt(c).CompareMagnitude(n) == 2; }

}  // namespace

BigInt PrimeEngine::Rho(BigInt n, int trials, int b, uint32_t a, int32_t c, const std::atomic<int>& state) const {
    // A negative target is searched as its magnitude.
    n.SetSign(0);
    if (n == 0 || n == 1) return BigInt(-1);
    if (!RhoAccepts(n, trials, b)) return BigInt(-2);
    if (AddendBelowTarget(c, n)) {
        const ResidueRho sequence(n, b, c);
        if (sequence.ReturnsToStart(a)) return BigInt(-2);
        return sequence.Walk(trials, a, state);
    }
    if (LiteralReturnsToStart(n, b, a, c)) return BigInt(-2);
    return LiteralWalk(n, trials, b, a, c, state);
}

bool PrimeEngine::RhoStartReturns(BigInt n, int trials, int b, uint32_t a, int32_t c) const {
    n.SetSign(0);
    if (n == 0 || n == 1 || !RhoAccepts(n, trials, b)) return false;
    if (AddendBelowTarget(c, n)) return ResidueRho(n, b, c).ReturnsToStart(a);
    return LiteralReturnsToStart(n, b, a, c);
}

namespace {

// Calls `callback` for every prime q with first <= q <= last (first odd,
// last below 2^25), in increasing order, until it returns false. A segmented
// sieve over the odd numbers: the same primes as testing every odd q by
// trial division, without the divisions.
template <typename Callback>
void ForEachPrimeInRange(const PrimeEngine& engine, uint32_t first, uint32_t last, Callback&& callback) {
    constexpr uint32_t SEGMENT = 1u << 16;  // odd numbers per segment
    unsigned char composite[SEGMENT];
    for (uint32_t low = first; low <= last; low += 2 * SEGMENT) {
        const uint32_t count =
            static_cast<uint32_t>(std::min<uint64_t>(SEGMENT, (static_cast<uint64_t>(last) - low) / 2 + 1));
        std::memset(composite, 0, count);
        const uint64_t high = low + 2ull * (count - 1);
        for (int i = 1; i < PRIME_COUNT; ++i) {
            const uint64_t p = static_cast<uint64_t>(engine.primes[i]);
            if (p * p > high) break;
            uint64_t m = std::max<uint64_t>(p * p, (low + p - 1) / p * p);
            if ((m & 1) == 0) m += p;
            for (; m <= high; m += 2 * p) composite[(m - low) / 2] = 1;
        }
        for (uint32_t k = 0; k < count; ++k) {
            if (!composite[k] && !callback(low + 2 * k)) return;
        }
    }
}

// Words of the largest exponent p-1 raises to: a prime below 2^25 to at most
// the 256th power.
constexpr int EXPONENT_WORDS = 25 * 256 / 64 + 1;

// e = p^k for p >= 2, k >= 1, multiplied in by the largest powers of p that
// fit a word; returns the length. The whole power, however wide: the
// exponent p^k of a BigInt would not fit beyond 1616 bits.
int PowerWords(u64* e, u64 p, int k) {
    int en = 1;
    e[0] = 1;
    auto multiply = [&](u64 factor) {
        const u64 carry = kw::Mul1(e, e, en, factor);
        if (carry != 0) e[en++] = carry;
    };
    u64 chunk = 1;
    for (int i = 0; i < k; ++i) {
        if (chunk > ~u64{0} / p) {
            multiply(chunk);
            chunk = 1;
        }
        chunk *= p;
    }
    multiply(chunk);
    return en;
}

// The running power X of p-1 (start 2), held as a residue of the target.
class Pm1Power {
public:
    explicit Pm1Power(const BigInt& n) : m_n(kw::Load(n)), m_mont(m_n.w, m_n.n) {
        const u64 two = 2;
        m_mont.To(m_x, &two, 1);
    }

    /// X = X^(p^k).
    void Raise(uint32_t p, int k) {
        u64 e[EXPONENT_WORDS];
        const int en = PowerWords(e, p, k);
        m_mont.Pow(m_x, m_x, e, kw::BitLen(e, en));
    }

    /// gcd(X - 1, n) with X in [0, n): 1 for X = 0 (X - 1 = -1), n for X = 1.
    BigInt GcdOfXMinusOne() const {
        u64 v[kw::WORDS];
        m_mont.From(v, m_x);
        int vn = kw::Norm(v, m_mont.Size());
        if (vn == 0) return BigInt(1);
        const u64 one = 1;
        kw::Sub(v, v, vn, &one, 1);
        vn = kw::Norm(v, vn);
        return GcdWithTarget(v, vn, m_n.w, m_n.n);
    }

private:
    kw::Mag m_n;
    kw::Montgomery m_mont;
    u64 m_x[kw::WORDS] = {};
};

}  // namespace

BigInt PrimeEngine::Pm1(BigInt n, int e1, int e2, int B2, const std::atomic<int>& state) const {
    // A negative target is searched as its magnitude.
    n.SetSign(0);
    if (n == 0 || n == 1) return BigInt(-1);
    if (B2 > 16777216 || e1 < 2 || e1 > 256 || e2 < 1 || e2 > 4) return BigInt(-2);
    if (n.GetStatus() == 1) {
        // No power of an invalid target succeeds.
        ShowMessage("p-1法で演算エラー");
        return BigInt(-2);
    }

    Pm1Power x(n);
    for (int j = 0; j < PRIME_COUNT; ++j) {
        x.Raise(static_cast<uint32_t>(primes[j]), e1);
        if (Aborted(state)) return BigInt(0);
        const BigInt g = x.GcdOfXMinusOne();
        if (g >= 2 && g != n) return g;
    }

    // Stage 2: the primes 262144 < q <= B2 (262147 is the first of them).
    BigInt found;
    bool aborted = false;
    if (B2 >= 262147) {
        ForEachPrimeInRange(*this, 262147u, static_cast<uint32_t>(B2), [&](uint32_t q) {
            x.Raise(q, e2);
            if (Aborted(state)) {
                aborted = true;
                return false;
            }
            const BigInt g = x.GcdOfXMinusOne();
            if (g >= 2 && g != n) {
                found = g;
                return false;
            }
            return true;
        });
        if (aborted) return BigInt(0);
        if (found != 0) return found;
    }

    const BigInt g = x.GcdOfXMinusOne();
    if (g == 1 || g == n) return BigInt(0);
    return g;
}
