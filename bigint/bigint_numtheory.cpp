// BigInt powers, modular arithmetic, gcd, lcm, factorials and the bitwise
// operations.

#include <utility>

#include "bigint/bigint.h"
#include "bigint/internal.h"
#include "bigint/word_algorithms.h"

using namespace kw;

/// Modulus of the cached table of 65536^i mod m, and the table. One per
/// thread, so the window thread and a worker reduce at the same time.
thread_local BigInt ModCacheModulus;
thread_local BigInt ModCacheTable[BIGINT_LIMBS];

namespace {

inline bool IsUnit(const BigInt& x) { return x.top == 0 && x.limbs[0] == 1; }

/// floor(log2 |x|) for a non-zero x.
inline int Log2(const BigInt& x) {
    return 16 * x.top + 31 - std::countl_zero(static_cast<uint32_t>(x.limbs[TopIndex(x)]));
}

BigInt Abs(const BigInt& x) {
    BigInt a = x;
    a.sign = 0;
    return a;
}

/// Σ ModCacheTable[i] * limbs[i] over the limbs of x, added in limb order.
BigInt WeightedLimbSum(const BigInt& x) {
    BigInt r;
    for (int i = 0; i <= TopIndex(x); ++i) r = r + ModCacheTable[i] * static_cast<int>(x.limbs[i]);
    return r;
}

}  // namespace

// --- Powers ----------------------------------------------------------------------

BigInt BigInt::Power(const BigInt& e) const {
    if (status == 1 || e.status == 1) return Invalid();
    if (IsZero(e)) return BigInt(1);
    const bool unit = IsUnit(*this);
    const BigInt unitPower = sign == 0 ? BigInt(1) : BigInt((e.limbs[0] & 1) ? -1 : 1);
    if (e.sign == 0) {
        if (unit) return unitPower;
        if (!IsZero(*this) && limbs[TopIndex(*this)] != 0) {
            // e * (L - 1) > 1615 overflows for certain: refused without a line.
            const int lm1 = Log2(*this) - 1;
            if (lm1 > 0 && (e.top > 0 || static_cast<long>(e.limbs[0]) * lm1 > 1615)) return Invalid();
        }
        if (e.top > 0) return IsZero(*this) ? BigInt() : Invalid();
        BigInt r(1);
        // Above the exponent's top bit the square of 1 stays 1: start there.
        unsigned mask = 0x8000;
        while (mask > 1 && !(e.limbs[0] & mask)) mask >>= 1;
        for (; mask; mask >>= 1) {
            r = r * r;
            if (r.status == 1) return Invalid();
            if (e.limbs[0] & mask) {
                r = r * *this;
                if (r.status == 1) return Invalid();
            }
        }
        return r;
    }
    if (IsZero(*this)) return Invalid();
    if (unit) return unitPower;
    return BigInt();
}

BigInt BigInt::Power(int exponent) const { return Power(BigInt(exponent)); }

namespace {

/// With a modulus of at most 807 bits no square reaches 2^1614: no product
/// overflows and no reduction writes a line, so the power can be computed
/// in any way. Signs other than 0 take the step-by-step path.
bool PowerFitsFastPath(const BigInt& b, const BigInt& e, const BigInt& m) {
    if (b.sign != 0 || e.sign != 0 || m.sign != 0) return false;
    const Mag mm = Load(m);
    return BitLen(mm.w, mm.n) <= 807;
}

/// t^e mod m for 0 <= t < m, m > 0 of at most 807 bits.
BigInt FastPowerMod(const BigInt& t, const BigInt& e, const BigInt& m) {
    const Mag mm = Load(m);
    if (mm.n == 1 && mm.w[0] == 1) return BigInt();
    const Mag tt = Load(t);
    const Mag ee = Load(e);
    u64 r[WORDS];
    const int rn = ModPow(r, tt.w, tt.n, ee.w, ee.n, mm.w, mm.n);
    BigInt p;
    Store(p, r, rn);
    return p;
}

}  // namespace

BigInt BigInt::PowerMod(const BigInt& e, const BigInt& m) const {
    if (status == 1 || e.status == 1 || m.status == 1 || sign == 1 || e.sign == 1 || m.sign == 1 || IsZero(m))
        return Invalid();
    const BigInt t = *this % m;
    if (PowerFitsFastPath(*this, e, m)) return FastPowerMod(t, e, m);
    BigInt p(1);
    for (int li = TopIndex(e); li >= 0; --li) {
        for (unsigned mask = 0x8000; mask; mask >>= 1) {
            p = p * p;
            if (p.status == 1) return Invalid();
            p = p % m;
            if (e.limbs[li] & mask) {
                p = p * t;
                if (p.status == 1) return Invalid();
                p = p % m;
            }
        }
    }
    return p;
}

BigInt BigInt::PowerMod(const BigInt& e, int m) const { return PowerMod(e, BigInt(m)); }
BigInt BigInt::PowerMod(int e, const BigInt& m) const { return PowerMod(BigInt(e), m); }
BigInt BigInt::PowerMod(int e, int m) const { return PowerMod(BigInt(e), BigInt(m)); }

BigInt BigInt::PowerModCached(const BigInt& e, const BigInt& m) const {
    if (status == 1 || e.status == 1 || m.status == 1 || sign == 1 || e.sign == 1 || m.sign == 1 || IsZero(m))
        return Invalid();
    const BigInt t = ModCached(m);
    if (PowerFitsFastPath(*this, e, m)) return FastPowerMod(t, e, m);
    BigInt p(1);
    for (int li = TopIndex(e); li >= 0; --li) {
        for (unsigned mask = 0x8000; mask; mask >>= 1) {
            p = p * p;
            if (p.status == 1) return Invalid();
            p = p.ModCached(m);
            if (e.limbs[li] & mask) {
                p = p * t;
                if (p.status == 1) return Invalid();
                p = p.ModCached(m);
            }
        }
    }
    return p;
}

BigInt BigInt::ModCached(const BigInt& m) const {
    if (status == 1 || m.status == 1) return Invalid();
    if (CompareMagnitude(m) == 2) return *this;
    if (IsZero(m)) {
        ReportDivisionByZero();
        return Invalid();
    }
    if (m == 1) return BigInt();
    if (m == 2) return BigInt(limbs[0] & 1);
    const Mag mm = Load(m);
    if (BitLen(mm.w, mm.n) <= 1577) {
        // The weighted sums stay below 101 * 65535 * |m| < 2^1600: no
        // overflow, and every path ends in |x| mod |m|.
        const Mag xx = Load(*this);
        u64 r[WORDS];
        DivRem(nullptr, r, xx.w, xx.n, mm.w, mm.n);
        BigInt res;
        Store(res, r, Norm(r, mm.n));
        return res;
    }
    if (ModCacheModulus != m) {
        ModCacheModulus = m;
        for (int i = 0; i < BIGINT_LIMBS; ++i) {
            BigInt power;
            power.limbs[i] = 1;
            power.top = static_cast<int8_t>(i);
            ModCacheTable[i] = power % m;
        }
    }
    // Reduced against |m|: the sum is never negative, so a negative modulus
    // would otherwise never be reached.
    const BigInt absm = Abs(m);
    BigInt r = WeightedLimbSum(*this);
    if (r >= absm) {
        r = WeightedLimbSum(r);
        while (r >= absm) r = r % m;
    }
    return r;
}

namespace {

inline bool IsOneOrTwo(const u64* w, int n) { return n == 1 && (w[0] == 1 || w[0] == 2); }

/// Extended Euclid for |m| < 2^1600: the cofactors stay below |m|, so no
/// step overflows, and only the first division (of |a| by |m|, done for the
/// remainder and again for the quotient) can meet a 1616-bit dividend.
BigInt FastModInverse(const BigInt& a, const BigInt& m) {
    const bool negative = !(a >= 0);
    const Mag aa = Load(a);
    const Mag mm = Load(m);
    if (mm.n == 0) {
        // No step runs: |a| itself is the last remainder, with cofactor +-1.
        if (aa.n == 1 && aa.w[0] == 1) return BigInt(negative ? -1 : 1);
        return BigInt();
    }
    u64 rem[WORDS];
    int remn = aa.n;
    if (Cmp(aa.w, aa.n, mm.w, mm.n) >= 0) {
        if (!IsOneOrTwo(mm.w, mm.n) && LongDivisionOverflowsTrial(aa.w, aa.n, mm.w, mm.n)) {
            Oops(OOPS_SHL2);  // remainder
            Oops(OOPS_SHL2);  // quotient
        }
        DivRem(nullptr, rem, aa.w, aa.n, mm.w, mm.n);
        remn = Norm(rem, mm.n);
    } else {
        Copy(rem, aa.w, aa.n);
    }
    if (remn == 0) return BigInt();  // gcd is |m|; the inverse exists only mod 1, where it is 0
    u64 g[WORDS + 1], cof[WORDS + 2];
    int cofn, gn;
    bool odd;
    if (mm.n == 1) {
        // One word: the cofactors stay below |m| too.
        u64 u = mm.w[0], r = rem[0], cu = 0, cr = 1;
        int steps = 1;
        while (r != 0) {
            const u64 q = u / r;
            const u64 t = u - q * r;
            u = r;
            r = t;
            const u64 nc = cu + q * cr;
            cu = cr;
            cr = nc;
            ++steps;
        }
        g[0] = u;
        gn = 1;
        cof[0] = cu;
        cofn = cu ? 1 : 0;
        odd = steps & 1;
    } else {
        gn = GcdExt(g, cof, &cofn, &odd, mm.w, mm.n, rem, remn);
    }
    if (!(gn == 1 && g[0] == 1)) return BigInt();
    BigInt r;
    if (negative != odd && cofn > 0) {
        u64 d[WORDS];
        Sub(d, mm.w, mm.n, cof, cofn);
        Store(r, d, Norm(d, mm.n));
    } else {
        Store(r, cof, cofn);
    }
    return r;
}

}  // namespace

BigInt BigInt::ModInverse(const BigInt& a, const BigInt& m) {
    if (a.status == 1 || m.status == 1) return *this = Invalid();
    if (m.top < 100) return *this = FastModInverse(a, m);
    BigInt q(0);
    const BigInt mm = Abs(m);
    BigInt r = mm;
    BigInt u = a;
    BigInt s;
    if (a >= 0) {
        s = 1;
    } else {
        u = Abs(a);
        s = -1;
    }
    while (r != 0) {
        const BigInt rem = u % r;
        u = (u / r) * q;
        s = s - u;
        std::swap(q, s);
        u = rem;
        std::swap(r, u);
    }
    BigInt result;
    if (u == 1) {
        if (s < 0) s = s + mm;
        result = s;
    }
    *this = result;
    return *this;
}

BigInt BigInt::ModInverse(const BigInt& a, int m) { return ModInverse(a, BigInt(m)); }
BigInt BigInt::ModInverse(int a, const BigInt& m) { return ModInverse(BigInt(a), m); }
BigInt BigInt::ModInverse(int a, int m) { return ModInverse(BigInt(a), BigInt(m)); }

BigInt BigInt::Gcd(const BigInt& y) const {
    if (status == 0 && y.status == 0) {
        Mag a = Load(*this), b = Load(y);
        if (Cmp(a.w, a.n, b.w, b.n) < 0) std::swap(a, b);
        BigInt g;
        if (b.n == 0) {
            Store(g, a.w, a.n);
            return g;
        }
        // Only the first two divisions can meet a dividend of 1616 bits.
        if (!IsOneOrTwo(b.w, b.n) && LongDivisionOverflowsTrial(a.w, a.n, b.w, b.n)) Oops(OOPS_SHL2);
        u64 r[WORDS];
        DivRem(nullptr, r, a.w, a.n, b.w, b.n);
        const int rn = Norm(r, b.n);
        if (rn == 0) {
            Store(g, b.w, b.n);
            return g;
        }
        if (!IsOneOrTwo(r, rn) && LongDivisionOverflowsTrial(b.w, b.n, r, rn)) Oops(OOPS_SHL2);
        u64 w[WORDS];
        const int wn = kw::Gcd(w, b.w, b.n, r, rn);
        Store(g, w, wn);
        return g;
    }
    BigInt q = Abs(*this);
    BigInt r = Abs(y);
    while (q > 0) {
        if (q < r) std::swap(q, r);
        if (IsZero(r)) return q;
        q = q % r;
    }
    return r;
}

BigInt BigInt::Gcd(int y) const { return Gcd(BigInt(y)); }

BigInt BigInt::Lcm(const BigInt& y) const {
    const BigInt a = Abs(*this);
    const BigInt b = Abs(y);
    const BigInt g = a.Gcd(b);
    return (a * b) / g;
}

BigInt BigInt::Lcm(int y) const { return Lcm(BigInt(y)); }

// --- Factorials and binomials --------------------------------------------------------

BigInt BigInt::Factorial() const {
    if (top != 0 || status == 1 || sign == 1) return Invalid();
    const unsigned n = limbs[0];
    if (n >= 248) {
        // 247! has 1613 bits; the product by 248 carries beyond the last limb.
        Oops(OOPS_MUL2);
        return Invalid();
    }
    u64 acc[WORDS] = {1};
    int an = 1;
    for (unsigned i = 2; i <= n;) {
        // As many consecutive factors as fit one word.
        u64 f = 1;
        while (i <= n && f <= ~u64{0} / i) f *= i++;
        const u64 c = Mul1(acc, acc, an, f);
        if (c) acc[an++] = c;
    }
    BigInt r;
    Store(r, acc, an);
    return r;
}

namespace {

/// acc times every i in [from, to], stopping at the first overflow (its
/// line is written once; the result is then an invalid zero).
BigInt ProductOfRange(BigInt acc, long long from, long long to) {
    for (long long i = from; i <= to; ++i) {
        acc = acc * static_cast<int>(i);
        if (acc.status == 1) return Invalid();
    }
    return acc;
}

}  // namespace

BigInt BigInt::Permutations(int n, int r) {
    if (n < r || r <= 0) return *this = Invalid();
    return *this = ProductOfRange(BigInt(1), static_cast<long long>(n) - r + 1, n);
}

BigInt BigInt::Combinations(int n, int r) {
    if (n < r || r <= 0) return *this = Invalid();
    if (n - r < r) r = n - r;
    const BigInt d = ProductOfRange(BigInt(1), 2, r);
    const BigInt numerator = ProductOfRange(BigInt(1), static_cast<long long>(n) - r + 1, n);
    return *this = numerator / d;
}

// --- Bitwise operations on the magnitudes ------------------------------------------------

namespace {

int SignFor(int mode, int xs, int modeOne) { return mode == 1 ? modeOne : (mode == 2 ? xs : 0); }

}  // namespace

BigInt BigInt::And(const BigInt& y, int signMode) const {
    if (status == 1 || y.status == 1) return Invalid();
    BigInt r;
    const int n = TopIndex(*this) > TopIndex(y) ? TopIndex(*this) : TopIndex(y);
    for (int i = 0; i <= n; ++i) r.limbs[i] = static_cast<uint16_t>(limbs[i] & y.limbs[i]);
    int t = n;
    while (t > 0 && r.limbs[t] == 0) --t;
    r.top = static_cast<int8_t>(t);
    r.sign = SignFor(signMode, sign, (sign != 0 && y.sign != 0) ? 1 : 0);
    return r;
}

BigInt BigInt::Or(const BigInt& y, int signMode) const {
    if (status == 1 || y.status == 1) return Invalid();
    BigInt r;
    const int n = TopIndex(*this) > TopIndex(y) ? TopIndex(*this) : TopIndex(y);
    for (int i = 0; i <= n; ++i) r.limbs[i] = static_cast<uint16_t>(limbs[i] | y.limbs[i]);
    r.top = static_cast<int8_t>(n);
    r.sign = SignFor(signMode, sign, (sign != 0 || y.sign != 0) ? 1 : 0);
    return r;
}

BigInt BigInt::Xor(const BigInt& y, int signMode) const {
    const BigInt p = Or(y, 0);
    const BigInt a = And(y, 0);
    BigInt r = p - a;
    r.sign = SignFor(signMode, sign, sign != y.sign ? 1 : 0);
    return r;
}

BigInt BigInt::And(int y, int signMode) const { return And(BigInt(y), signMode); }
BigInt BigInt::Or(int y, int signMode) const { return Or(BigInt(y), signMode); }
BigInt BigInt::Xor(int y, int signMode) const { return Xor(BigInt(y), signMode); }
