#pragma once
// GMP versions of the prime engine's searches, step by step the same
// algorithms on mpz_t: the oracle of the differential tests and the
// counterpart of the benchmarks. Also BigInt <-> mpz conversion through the
// limbs (independent of the radix conversion under test).

#include <gmp.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "bigint/bigint.h"

/// Failure messages show BigInt values in decimal (with their status).
inline void PrintTo(const BigInt& v, std::ostream* os) {
    mpz_t z;
    mpz_init(z);
    uint16_t words[BIGINT_LIMBS];
    for (int i = 0; i < BIGINT_LIMBS; ++i) words[i] = static_cast<uint16_t>(v.GetLimb(i));
    mpz_import(z, BIGINT_LIMBS, -1, sizeof(uint16_t), 0, 0, words);
    if (v.GetSign() != 0) mpz_neg(z, z);
    char* text = mpz_get_str(nullptr, 10, z);
    *os << text << (v.GetStatus() != 0 ? " (status 1)" : "");
    void (*freeFunction)(void*, size_t);
    mp_get_memory_functions(nullptr, nullptr, &freeFunction);
    freeFunction(text, std::char_traits<char>::length(text) + 1);
    mpz_clear(z);
}

namespace gmpref {

inline void ToMpz(const BigInt& v, mpz_t out) {
    uint16_t words[BIGINT_LIMBS];
    for (int i = 0; i < BIGINT_LIMBS; ++i) words[i] = static_cast<uint16_t>(v.GetLimb(i));
    mpz_import(out, BIGINT_LIMBS, -1, sizeof(uint16_t), 0, 0, words);
    if (v.GetSign() != 0) mpz_neg(out, out);
}

/// The BigInt of `v`; |v| must be below 2^1616.
inline BigInt FromMpz(const mpz_t v) {
    uint16_t words[BIGINT_LIMBS] = {};
    size_t count = 0;
    mpz_export(words, &count, -1, sizeof(uint16_t), 0, 0, v);
    BigInt r;
    int top = 0;
    for (int i = 0; i < BIGINT_LIMBS; ++i) {
        r.SetLimb(words[i], i);
        if (words[i] != 0) top = i;
    }
    r.SetTop(top);
    r.SetSign(mpz_sgn(v) < 0 ? 1 : 0);
    return r;
}

inline BigInt FromDecimal(const char* text) {
    mpz_t v;
    mpz_init_set_str(v, text, 10);
    BigInt r = FromMpz(v);
    mpz_clear(v);
    return r;
}

inline std::string Decimal(const mpz_t v) {
    std::vector<char> buf(mpz_sizeinbase(v, 10) + 2);
    mpz_get_str(buf.data(), 10, v);
    return buf.data();
}

/// RAII holder for one mpz_t.
struct Mpz {
    mpz_t v;
    Mpz() { mpz_init(v); }
    explicit Mpz(const char* decimal) { mpz_init_set_str(v, decimal, 10); }
    explicit Mpz(const BigInt& b) {
        mpz_init(v);
        ToMpz(b, v);
    }
    ~Mpz() { mpz_clear(v); }
    Mpz(const Mpz&) = delete;
    Mpz& operator=(const Mpz&) = delete;
    BigInt Big() const { return FromMpz(v); }
};

/// Miller-Rabin on the bases primes[0 .. trials-1], for n >= 2 below 2^800.
inline int IsPseudoPrime(const mpz_t n, int trials, const int32_t* primes) {
    Mpz nm1, d, x, base;
    mpz_sub_ui(nm1.v, n, 1);
    const mp_bitcnt_t s = mpz_scan1(nm1.v, 0);
    mpz_tdiv_q_2exp(d.v, nm1.v, s);
    for (int j = 0; j < trials; ++j) {
        const unsigned long p = static_cast<unsigned long>(primes[j]);
        if (mpz_cmp_ui(n, p) == 0) return 1;
        if (mpz_divisible_ui_p(n, p)) return 0;
        mpz_set_ui(base.v, p);
        mpz_powm(x.v, base.v, d.v, n);
        bool pass = mpz_cmp_ui(x.v, 1) == 0;
        for (mp_bitcnt_t k = 0; k < s; ++k) {
            if (k > 0) mpz_powm_ui(x.v, x.v, 2, n);
            if (mpz_cmp(x.v, nm1.v) == 0) pass = true;
        }
        if (!pass) return 0;
    }
    return 1;
}

/// Rho for 2 <= n < 2^800, |c| < n and a^b below 2^1616 (the start test's ordinary power fits).
/// Writes the result into `out`: a factor, 0, or -2 for a sequence that returns to a.
inline void Rho(mpz_t out, const mpz_t n, int trials, int b, uint32_t a, int32_t c) {
    Mpz t, x, y, d, diff, g, start;
    mpz_set_ui(start.v, a);
    auto startStep = [&](mpz_t v) {
        mpz_pow_ui(v, v, static_cast<unsigned long>(b));
        mpz_tdiv_r(v, v, n);
        if (c >= 0) mpz_add_ui(v, v, static_cast<unsigned long>(c)); else mpz_sub_ui(v, v, static_cast<unsigned long>(-static_cast<int64_t>(c)));
        if (mpz_sgn(v) < 0) mpz_add(v, v, n);
        mpz_tdiv_r(v, v, n);
    };
    auto step = [&](mpz_t v) {
        mpz_powm_ui(v, v, static_cast<unsigned long>(b), n);
        if (c >= 0) mpz_add_ui(v, v, static_cast<unsigned long>(c)); else mpz_sub_ui(v, v, static_cast<unsigned long>(-static_cast<int64_t>(c)));
        if (mpz_cmp(v, n) >= 0) mpz_sub(v, v, n);
        if (mpz_sgn(v) < 0) mpz_add(v, v, n);
    };
    mpz_set(t.v, start.v);
    startStep(t.v);
    if (mpz_cmp(t.v, start.v) == 0) return mpz_set_si(out, -2);
    startStep(t.v);
    if (mpz_cmp(t.v, start.v) == 0) return mpz_set_si(out, -2);

    mpz_set(x.v, start.v);
    mpz_set(y.v, x.v);
    step(y.v);
    mpz_sub(d.v, y.v, x.v);
    mpz_abs(d.v, d.v);
    for (int i = 1; i < trials; ++i) {
        step(x.v);
        step(y.v);
        step(y.v);
        mpz_sub(diff.v, y.v, x.v);
        mpz_abs(diff.v, diff.v);
        mpz_mul(d.v, d.v, diff.v);
        mpz_tdiv_r(d.v, d.v, n);
        if (i % 100 == 0) {
            mpz_gcd(g.v, d.v, n);
            if (mpz_cmp_ui(g.v, 1) != 0 && mpz_cmp(g.v, n) != 0) return mpz_set(out, g.v);
        }
    }
    if ((trials - 1) % 100 != 0) {
        mpz_gcd(g.v, d.v, n);
        if (mpz_cmp_ui(g.v, 1) != 0 && mpz_cmp(g.v, n) != 0) return mpz_set(out, g.v);
    }
    mpz_set_ui(out, 0);
}

/// p-1 for n >= 2 below 2^800 with the given table primes (all primes below 2^18).
inline void Pm1(mpz_t out, const mpz_t n, int e1, int e2, int B2, const int32_t* primes, int primeCount) {
    Mpz x, q, g, xm1;
    mpz_set_ui(x.v, 2);
    auto test = [&]() {
        mpz_sub_ui(xm1.v, x.v, 1);
        mpz_gcd(g.v, xm1.v, n);
        return mpz_cmp_ui(g.v, 2) >= 0 && mpz_cmp(g.v, n) != 0;
    };
    for (int j = 0; j < primeCount; ++j) {
        mpz_ui_pow_ui(q.v, static_cast<unsigned long>(primes[j]), static_cast<unsigned long>(e1));
        mpz_powm(x.v, x.v, q.v, n);
        if (test()) return mpz_set(out, g.v);
    }
    if (B2 >= 262147) {
        std::vector<bool> composite(static_cast<size_t>(B2) + 1, false);
        for (size_t p = 2; p * p <= static_cast<size_t>(B2); ++p) {
            if (composite[p]) continue;
            for (size_t m = p * p; m <= static_cast<size_t>(B2); m += p) composite[m] = true;
        }
        for (int v = 262147; v <= B2; v += 2) {
            if (composite[static_cast<size_t>(v)]) continue;
            mpz_ui_pow_ui(q.v, static_cast<unsigned long>(v), static_cast<unsigned long>(e2));
            mpz_powm(x.v, x.v, q.v, n);
            if (test()) return mpz_set(out, g.v);
        }
    }
    mpz_sub_ui(xm1.v, x.v, 1);
    mpz_gcd(g.v, xm1.v, n);
    if (mpz_cmp_ui(g.v, 1) == 0 || mpz_cmp(g.v, n) == 0) return mpz_set_ui(out, 0);
    mpz_set(out, g.v);
}

/// An affine point; failed: infinity with a non-zero x (the denominator).
struct Point {
    bool infinity = false;
    Mpz x, y;
    void Set(const Point& o) {
        infinity = o.infinity;
        mpz_set(x.v, o.x.v);
        mpz_set(y.v, o.y.v);
    }
};

/// r = P1 + P2 on y^2 = x^3 + a x + b mod N, remainders with the dividend's sign.
inline void AddPoints(Point& r, const Point& p1, const Point& p2, const mpz_t a, const mpz_t N) {
    if (p1.infinity && p2.infinity) {
        r.infinity = true;
        mpz_set_ui(r.x.v, 0);
        mpz_set_ui(r.y.v, 0);
        return;
    }
    if (p1.infinity) return r.Set(p2);
    if (p2.infinity) return r.Set(p1);
    Mpz num, den, inv, lambda, t, x3, y3;
    if (mpz_cmp(p1.x.v, p2.x.v) == 0) {
        mpz_add(t.v, p1.y.v, p2.y.v);
        mpz_tdiv_r(t.v, t.v, N);
        if (mpz_sgn(t.v) == 0) {
            r.infinity = true;
            mpz_set_ui(r.x.v, 0);
            mpz_set_ui(r.y.v, 0);
            return;
        }
        mpz_mul(num.v, p1.x.v, p1.x.v);
        mpz_mul_ui(num.v, num.v, 3);
        mpz_add(num.v, num.v, a);
        mpz_tdiv_r(num.v, num.v, N);
        mpz_mul_ui(den.v, p1.y.v, 2);
    } else {
        mpz_sub(num.v, p2.y.v, p1.y.v);
        mpz_sub(den.v, p2.x.v, p1.x.v);
    }
    if (mpz_invert(inv.v, den.v, N) == 0) {
        r.infinity = true;
        mpz_set(r.x.v, den.v);
        mpz_set_ui(r.y.v, 0);
        return;
    }
    mpz_mul(lambda.v, num.v, inv.v);
    mpz_tdiv_r(lambda.v, lambda.v, N);
    mpz_mul(x3.v, lambda.v, lambda.v);
    mpz_sub(x3.v, x3.v, p1.x.v);
    mpz_sub(x3.v, x3.v, p2.x.v);
    mpz_tdiv_r(x3.v, x3.v, N);
    mpz_sub(y3.v, p1.x.v, x3.v);
    mpz_mul(y3.v, y3.v, lambda.v);
    mpz_sub(y3.v, y3.v, p1.y.v);
    mpz_tdiv_r(y3.v, y3.v, N);
    r.infinity = false;
    mpz_set(r.x.v, x3.v);
    mpz_set(r.y.v, y3.v);
}

/// One curve's walk over the hexadecimal multiplier, right to left. Returns
/// true with the factor in `out` when a failed point's gcd is a proper factor.
inline bool EcmCurve(mpz_t out, const mpz_t N, const mpz_t a, const mpz_t x0, const mpz_t y0,
                     const std::string& multiplier) {
    Point p, q, t;
    mpz_set(p.x.v, x0);
    mpz_set(p.y.v, y0);
    q.infinity = true;
    Mpz g;
    for (size_t pos = multiplier.size(); pos-- > 0;) {
        int v = multiplier[pos] - '0';
        if (v >= 10) v -= 7;
        for (int bit = 0; bit < 4; ++bit) {
            if ((v >> bit) & 1) {
                AddPoints(t, q, p, a, N);
                q.Set(t);
                if (q.infinity && mpz_sgn(q.x.v) != 0) {
                    mpz_gcd(g.v, q.x.v, N);
                    if (mpz_cmp_ui(g.v, 1) != 0 && mpz_cmp(g.v, N) != 0) return mpz_set(out, g.v), true;
                }
            }
            AddPoints(t, p, p, a, N);
            p.Set(t);
            if (p.infinity && mpz_sgn(p.x.v) != 0) {
                mpz_gcd(g.v, p.x.v, N);
                if (mpz_cmp_ui(g.v, 1) != 0 && mpz_cmp(g.v, N) != 0) return mpz_set(out, g.v), true;
            }
        }
    }
    return false;
}

/// lcm(1..bound) in upper-case hexadecimal.
inline std::string LcmHex(unsigned long bound) {
    Mpz m;
    mpz_set_ui(m.v, 1);
    for (unsigned long k = 2; k <= bound; ++k) mpz_lcm_ui(m.v, m.v, k);
    std::vector<char> buf(mpz_sizeinbase(m.v, 16) + 2);
    mpz_get_str(buf.data(), -16, m.v);
    return buf.data();
}

}  // namespace gmpref
