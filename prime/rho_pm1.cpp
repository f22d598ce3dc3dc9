// Pollard rho and the two-stage p-1 method.

#include <algorithm>
#include <cstring>

#include "bigint/bigint_words.h"
#include "bigint/montgomery.h"
#include "prime/prime_engine.h"

namespace {

bool Aborted(const std::atomic<int>& state) { return state.load(std::memory_order_relaxed) == RUN_ABORT; }

// One step of the rho sequence: x^b + c, brought back into range by at most
// one subtraction and one addition of n (a large |c| may leave it outside).
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

// The start test's step: t^b (an ordinary power) mod n + c, lifted once when
// negative, reduced again.
BigInt StartTestStep(const BigInt& t, int b, int32_t c, const BigInt& n) {
    BigInt r = t.Power(b);
    r = r % n;
    r = r + c;
    if (r < 0) r = r + n;
    return r % n;
}

// The walk for an odd n with |c| < n, in Montgomery form. Every value then
// stays in [0, n), and each gcd only depends on the accumulated product up to
// a unit: |Y - X| and (Y - X) mod n differ at most in sign, and the Montgomery
// factor R is prime to n. So the gcds, and the result, are those of the walk
// on BigInt values.
BigInt RhoWalk(const BigInt& n, int trials, int b, const BigInt& start, int32_t c, const std::atomic<int>& state) {
    const kw::Mag nw = kw::Load(n);
    const kw::Montgomery mont(nw.w, nw.n);
    const int k = mont.Size();
    kw::u64 addend[kw::WORDS], x[kw::WORDS], y[kw::WORDS], product[kw::WORDS], diff[kw::WORDS];
    const kw::Mag cw = kw::Load(c >= 0 ? BigInt(c) : n + c);
    mont.To(addend, cw.w, cw.n);
    int topBit = 15;
    while (((b >> topBit) & 1) == 0) --topBit;
    auto step = [&](kw::u64* v) {
        kw::u64 base[kw::WORDS];
        kw::Copy(base, v, k);
        for (int bit = topBit - 1; bit >= 0; --bit) {
            mont.Sqr(v, v);
            if ((b >> bit) & 1) mont.Mul(v, v, base);
        }
        mont.Add(v, v, addend);
    };
    auto gcdFound = [&](BigInt& g) {
        g = kw::FromWords(product, k).Gcd(n);
        return g != 1 && g != n;
    };

    const kw::Mag sw = kw::Load(start);
    mont.To(x, sw.w, sw.n);
    kw::Copy(y, x, k);
    step(y);
    mont.Sub(product, y, x);
    BigInt g;
    for (int i = 1; i < trials; ++i) {
        step(x);
        step(y);
        step(y);
        mont.Sub(diff, y, x);
        mont.Mul(product, product, diff);
        if (i % 100 == 0 && gcdFound(g)) return g;
        if (Aborted(state)) return BigInt(0);
    }
    if ((trials - 1) % 100 != 0 && gcdFound(g)) return g;
    return BigInt(0);
}

}  // namespace

BigInt PrimeEngine::Rho(BigInt n, int trials, int b, uint32_t a, int32_t c, const std::atomic<int>& state) const {
    // A negative target is searched as its magnitude.
    n.SetSign(0);
    if (n == 0 || n == 1) return BigInt(-1);
    if (n.GetStatus() == 1 || n.GetTop() > 49) return BigInt(-2);
    if (trials <= 0 || trials > 100000 || b < 2 || b > 256) return BigInt(-2);

    // Refuse a sequence that returns to its start after one or two steps.
    const BigInt start = FromUint32(a);
    BigInt t = StartTestStep(start, b, c, n);
    if (t == start) return BigInt(-2);
    t = StartTestStep(t, b, c, n);
    if (t == start) return BigInt(-2);

    if ((n.GetLimb(0) & 1) != 0 && BigInt(c).CompareMagnitude(n) == 2) return RhoWalk(n, trials, b, start, c, state);

    BigInt x = start;
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

}  // namespace

namespace {

// The running power X of p-1. For an odd target below 2^800 it lives in
// Montgomery form on the words in use (the same values as PowerMod's, which
// cannot overflow for such a target); otherwise, and from the first exponent
// that overflowed, it is the plain BigInt that PowerMod returns.
class Pm1Power {
public:
    explicit Pm1Power(const BigInt& n) : m_n(n), m_plain(2), m_fast((n.GetLimb(0) & 1) != 0 && n.GetTop() <= 49) {
        if (m_fast) {
            const kw::Mag nw = kw::Load(n);
            m_mont = kw::Montgomery(nw.w, nw.n);
            const kw::u64 two = 2;
            m_mont.To(m_x, &two, 1);
        }
    }

    /// X = X^q mod n, as PowerMod.
    void Raise(const BigInt& q) {
        if (m_fast && q.GetStatus() == 1) {
            m_plain = Plain();
            m_fast = false;
        }
        if (!m_fast) {
            m_plain = m_plain.PowerMod(q, m_n);
            return;
        }
        const kw::Mag e = kw::Load(q);
        if (e.n == 0) {  // X^0 = 1
            kw::Copy(m_x, m_mont.One(), m_mont.Size());
            return;
        }
        m_mont.Pow(m_x, m_x, e.w, kw::BitLen(e.w, e.n));
    }

    /// The plain value of X.
    BigInt Plain() const {
        if (!m_fast) return m_plain;
        kw::u64 x[kw::WORDS];
        m_mont.From(x, m_x);
        return kw::FromWords(x, m_mont.Size());
    }

private:
    const BigInt& m_n;
    BigInt m_plain;
    bool m_fast;
    kw::Montgomery m_mont;
    kw::u64 m_x[kw::WORDS] = {};
};

}  // namespace

BigInt PrimeEngine::Pm1(BigInt n, int e1, int e2, int B2, const std::atomic<int>& state) const {
    // A negative target is searched as its magnitude.
    n.SetSign(0);
    if (n == 0 || n == 1) return BigInt(-1);
    if (B2 > 16777216 || e1 < 2 || e1 > 256 || e2 < 1 || e2 > 4) return BigInt(-2);

    Pm1Power x(n);
    for (int j = 0; j < PRIME_COUNT; ++j) {
        x.Raise(BigInt(primes[j]).Power(e1));
        if (Aborted(state)) return BigInt(0);
        const BigInt g = (x.Plain() - 1).Gcd(n);
        if (g >= 2 && g != n) return g;
    }

    // Stage 2: the primes 262144 < q <= B2 (262147 is the first of them).
    BigInt found;
    bool aborted = false;
    if (B2 >= 262147) {
        ForEachPrimeInRange(*this, 262147u, static_cast<uint32_t>(B2), [&](uint32_t q) {
            x.Raise(BigInt(static_cast<int>(q)).Power(e2));
            if (Aborted(state)) {
                aborted = true;
                return false;
            }
            const BigInt g = (x.Plain() - 1).Gcd(n);
            if (g >= 2 && g != n) {
                found = g;
                return false;
            }
            return true;
        });
        if (aborted) return BigInt(0);
        if (found != 0) return found;
    }

    const BigInt last = x.Plain();
    if (last.GetStatus() == 1) {
        ShowMessage("p-1法で演算エラー");
        return BigInt(-2);
    }
    const BigInt g = (last - 1).Gcd(n);
    if (g == 1 || g == n) return BigInt(0);
    return g;
}
