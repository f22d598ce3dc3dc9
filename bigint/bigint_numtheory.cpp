// BigInt powers, modular arithmetic, gcd, lcm, factorials and the bitwise
// operations.

#include <utility>

#include "bigint/bigint.h"
#include "bigint/internal.h"

using namespace kw;

/// Modulus of the cached table of 65536^i mod m, and the table. One per
/// thread, so the window thread and a worker reduce at the same time.
thread_local BigInt ModCacheModulus;
thread_local BigInt ModCacheTable[BIGINT_LIMBS];

namespace {

inline bool IsUnit(const BigInt& x) { return x.top == 0 && x.limbs[0] == 1; }

/// floor(log2 |x|) for a non-zero x.
inline int Log2(const BigInt& x) { return 16 * x.top + 31 - std::countl_zero(static_cast<uint32_t>(x.limbs[x.top])); }

BigInt Abs(const BigInt& x) {
    BigInt a = x;
    a.sign = 0;
    return a;
}

/// Σ ModCacheTable[i] * limbs[i] over the limbs of x, added in limb order.
BigInt WeightedLimbSum(const BigInt& x) {
    BigInt r;
    for (int i = 0; i <= x.top; ++i) r = r + ModCacheTable[i] * static_cast<int>(x.limbs[i]);
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
        if (!IsZero(*this) && limbs[top] != 0) {
            // e * (L - 1) > 1615 overflows for certain: refused without a line.
            const int lm1 = Log2(*this) - 1;
            if (lm1 > 0 && (e.top > 0 || static_cast<long>(e.limbs[0]) * lm1 > 1615)) return Invalid();
        }
        if (e.top > 0) return IsZero(*this) ? BigInt() : Invalid();
        BigInt r(1);
        for (unsigned mask = 0x8000; mask; mask >>= 1) {
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

BigInt BigInt::PowerMod(const BigInt& e, const BigInt& m) const {
    if (status == 1 || e.status == 1 || m.status == 1 || sign == 1 || e.sign == 1 || m.sign == 1 || IsZero(m))
        return Invalid();
    const BigInt t = *this % m;
    BigInt p(1);
    for (int li = e.top; li >= 0; --li) {
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
    BigInt p(1);
    for (int li = e.top; li >= 0; --li) {
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
    const BigInt mm = Abs(m);
    BigInt r = WeightedLimbSum(*this);
    if (r >= mm) {
        r = WeightedLimbSum(r);
        while (r >= mm) r = r % m;
    }
    return r;
}

BigInt BigInt::ModInverse(const BigInt& a, const BigInt& m) {
    if (a.status == 1 || m.status == 1) return *this = Invalid();
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
    BigInt r(1);
    for (int i = 2; i <= limbs[0]; ++i) {
        r = r * i;
        if (r.status == 1) return Invalid();
    }
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
    const int n = top > y.top ? top : y.top;
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
    const int n = top > y.top ? top : y.top;
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
