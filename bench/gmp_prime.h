#pragma once
// GMP versions of the prime engine's searches, step by step the same
// algorithms on GMP integers: the benchmarks' yardstick (the same steps in
// the same run), and the source of the expected values in tests/prime/data.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/gmp.h"

namespace gmpref {

/// Miller-Rabin on the bases primes[0 .. trials-1], for n >= 2 below 2^800.
/// A random prime of `digits` decimal digits (the next prime after a random
/// number of that many digits).
inline void RandomPrime(mpz_t out, gmp_randstate_t rng, int digits) {
    gmp::Mpz low;
    mpz_ui_pow_ui(low, 10, static_cast<unsigned long>(digits - 1));
    mpz_urandomm(out, rng, low);
    mpz_add(out, out, low);
    mpz_nextprime(out, out);
}

inline int IsPseudoPrime(const mpz_t n, int trials, const int32_t* primes) {
    gmp::Mpz nm1, d, x, base;
    mpz_sub_ui(nm1, n, 1);
    const mp_bitcnt_t s = mpz_scan1(nm1, 0);
    mpz_tdiv_q_2exp(d, nm1, s);
    for (int j = 0; j < trials; ++j) {
        const unsigned long p = static_cast<unsigned long>(primes[j]);
        if (mpz_cmp_ui(n, p) == 0) return 1;
        if (mpz_divisible_ui_p(n, p)) return 0;
        mpz_set_ui(base, p);
        mpz_powm(x, base, d, n);
        bool pass = mpz_cmp_ui(x, 1) == 0;
        for (mp_bitcnt_t k = 0; k < s; ++k) {
            if (k > 0) mpz_powm_ui(x, x, 2, n);
            if (mpz_cmp(x, nm1) == 0) pass = true;
        }
        if (!pass) return 0;
    }
    return 1;
}

/// Rho for 2 <= n < 2^800, |c| < n and a^b below 2^1616 (the start test's ordinary power fits).
/// Writes the result into `out`: a factor, 0, or -2 for a sequence that returns to a.
inline void Rho(mpz_t out, const mpz_t n, int trials, int b, uint32_t a, int32_t c) {
    gmp::Mpz t, x, y, d, diff, g, start;
    mpz_set_ui(start, a);
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
    mpz_set(t, start);
    startStep(t);
    if (mpz_cmp(t, start) == 0) return mpz_set_si(out, -2);
    startStep(t);
    if (mpz_cmp(t, start) == 0) return mpz_set_si(out, -2);

    mpz_set(x, start);
    mpz_set(y, x);
    step(y);
    mpz_sub(d, y, x);
    mpz_abs(d, d);
    for (int i = 1; i < trials; ++i) {
        step(x);
        step(y);
        step(y);
        mpz_sub(diff, y, x);
        mpz_abs(diff, diff);
        mpz_mul(d, d, diff);
        mpz_tdiv_r(d, d, n);
        if (i % 100 == 0) {
            mpz_gcd(g, d, n);
            if (mpz_cmp_ui(g, 1) != 0 && mpz_cmp(g, n) != 0) return mpz_set(out, g);
        }
    }
    if ((trials - 1) % 100 != 0) {
        mpz_gcd(g, d, n);
        if (mpz_cmp_ui(g, 1) != 0 && mpz_cmp(g, n) != 0) return mpz_set(out, g);
    }
    mpz_set_ui(out, 0);
}

/// p-1 for n >= 2 below 2^800 with the given table primes (all primes below 2^18).
inline void Pm1(mpz_t out, const mpz_t n, int e1, int e2, int B2, const int32_t* primes, int primeCount) {
    gmp::Mpz x, q, g, xm1;
    mpz_set_ui(x, 2);
    auto test = [&]() {
        mpz_sub_ui(xm1, x, 1);
        mpz_gcd(g, xm1, n);
        return mpz_cmp_ui(g, 2) >= 0 && mpz_cmp(g, n) != 0;
    };
    for (int j = 0; j < primeCount; ++j) {
        mpz_ui_pow_ui(q, static_cast<unsigned long>(primes[j]), static_cast<unsigned long>(e1));
        mpz_powm(x, x, q, n);
        if (test()) return mpz_set(out, g);
    }
    if (B2 >= 262147) {
        std::vector<bool> composite(static_cast<size_t>(B2) + 1, false);
        for (size_t p = 2; p * p <= static_cast<size_t>(B2); ++p) {
            if (composite[p]) continue;
            for (size_t m = p * p; m <= static_cast<size_t>(B2); m += p) composite[m] = true;
        }
        for (int v = 262147; v <= B2; v += 2) {
            if (composite[static_cast<size_t>(v)]) continue;
            mpz_ui_pow_ui(q, static_cast<unsigned long>(v), static_cast<unsigned long>(e2));
            mpz_powm(x, x, q, n);
            if (test()) return mpz_set(out, g);
        }
    }
    mpz_sub_ui(xm1, x, 1);
    mpz_gcd(g, xm1, n);
    if (mpz_cmp_ui(g, 1) == 0 || mpz_cmp(g, n) == 0) return mpz_set_ui(out, 0);
    mpz_set(out, g);
}

/// An affine point; failed: infinity with a non-zero x (the denominator).
struct Point {
    bool infinity = false;
    gmp::Mpz x, y;
    void Set(const Point& o) {
        infinity = o.infinity;
        mpz_set(x, o.x);
        mpz_set(y, o.y);
    }
};

/// r = P1 + P2 on y^2 = x^3 + a x + b mod N, remainders with the dividend's sign.
inline void AddPoints(Point& r, const Point& p1, const Point& p2, const mpz_t a, const mpz_t N) {
    if (p1.infinity && p2.infinity) {
        r.infinity = true;
        mpz_set_ui(r.x, 0);
        mpz_set_ui(r.y, 0);
        return;
    }
    if (p1.infinity) return r.Set(p2);
    if (p2.infinity) return r.Set(p1);
    gmp::Mpz num, den, inv, lambda, t, x3, y3;
    if (mpz_cmp(p1.x, p2.x) == 0) {
        mpz_add(t, p1.y, p2.y);
        mpz_tdiv_r(t, t, N);
        if (mpz_sgn(t) == 0) {
            r.infinity = true;
            mpz_set_ui(r.x, 0);
            mpz_set_ui(r.y, 0);
            return;
        }
        mpz_mul(num, p1.x, p1.x);
        mpz_mul_ui(num, num, 3);
        mpz_add(num, num, a);
        mpz_tdiv_r(num, num, N);
        mpz_mul_ui(den, p1.y, 2);
    } else {
        mpz_sub(num, p2.y, p1.y);
        mpz_sub(den, p2.x, p1.x);
    }
    if (mpz_invert(inv, den, N) == 0) {
        r.infinity = true;
        mpz_set(r.x, den);
        mpz_set_ui(r.y, 0);
        return;
    }
    mpz_mul(lambda, num, inv);
    mpz_tdiv_r(lambda, lambda, N);
    mpz_mul(x3, lambda, lambda);
    mpz_sub(x3, x3, p1.x);
    mpz_sub(x3, x3, p2.x);
    mpz_tdiv_r(x3, x3, N);
    mpz_sub(y3, p1.x, x3);
    mpz_mul(y3, y3, lambda);
    mpz_sub(y3, y3, p1.y);
    mpz_tdiv_r(y3, y3, N);
    r.infinity = false;
    mpz_set(r.x, x3);
    mpz_set(r.y, y3);
}

/// One curve's walk over the hexadecimal multiplier, right to left. Returns
/// true with the factor in `out` when a failed point's gcd is a proper factor.
inline bool EcmCurve(mpz_t out, const mpz_t N, const mpz_t a, const mpz_t x0, const mpz_t y0,
                     const std::string& multiplier) {
    Point p, q, t;
    mpz_set(p.x, x0);
    mpz_set(p.y, y0);
    q.infinity = true;
    gmp::Mpz g;
    for (size_t pos = multiplier.size(); pos-- > 0;) {
        int v = multiplier[pos] - '0';
        if (v >= 10) v -= 7;
        for (int bit = 0; bit < 4; ++bit) {
            if ((v >> bit) & 1) {
                AddPoints(t, q, p, a, N);
                q.Set(t);
                if (q.infinity && mpz_sgn(q.x) != 0) {
                    mpz_gcd(g, q.x, N);
                    if (mpz_cmp_ui(g, 1) != 0 && mpz_cmp(g, N) != 0) return mpz_set(out, g), true;
                }
            }
            AddPoints(t, p, p, a, N);
            p.Set(t);
            if (p.infinity && mpz_sgn(p.x) != 0) {
                mpz_gcd(g, p.x, N);
                if (mpz_cmp_ui(g, 1) != 0 && mpz_cmp(g, N) != 0) return mpz_set(out, g), true;
            }
        }
    }
    return false;
}

}  // namespace gmpref
