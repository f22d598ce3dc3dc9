#pragma once
// The elliptic curve method in GMP, draw for draw: the classic rand() with
// its seed, the same curves, the same order, the same walk (gmpref::EcmCurve).
// Any width: GMP's products never overflow.

#include <gmp.h>

#include <set>
#include <string>
#include <utility>

#include "bench/gmp_prime.h"

namespace gmpref {

/// rand() of the classic C library: next = next * 1103515245 + 12345, draw = (next / 65536) % 32768.
class ClassicRand {
public:
    explicit ClassicRand(uint32_t seed) : m_next(seed) {}
    unsigned long Next() {
        m_next = m_next * 1103515245u + 12345u;
        return (m_next / 65536u) % 32768u;
    }

private:
    uint32_t m_next;
};

/// The whole method: a factor in `out`, or 1 when every curve failed.
inline void Ecm(mpz_t out, const mpz_t N, int trials, const std::string& multiplier, uint32_t seed) {
    ClassicRand rng(seed);
    gmp::Mpz s, y0, y2, x0, x3, a, b, t;
    mpz_sqrt(s, N);
    std::set<std::pair<std::string, std::string>> used;
    for (int curve = 0; curve < trials; ++curve) {
        for (;;) {
            const unsigned long first = rng.Next(), second = rng.Next(), third = rng.Next();
            mpz_set_ui(y0, first * 65536 + second);
            mpz_tdiv_r(y0, y0, s);
            mpz_powm_ui(y0, y0, third, s);
            mpz_mul(y2, y0, y0);
            mpz_root(x0, y2, 3);
            mpz_pow_ui(x3, x0, 3);
            mpz_add(t, x3, x0);
            if (mpz_cmp(t, y2) > 0) {
                mpz_sub_ui(x0, x0, 1);
                mpz_pow_ui(x3, x0, 3);
            }
            if (mpz_sgn(x0) == 0) continue;
            mpz_sub(a, y2, x3);
            mpz_tdiv_q(a, a, x0);
            mpz_mul(t, a, x0);
            mpz_sub(b, y2, x3);
            mpz_sub(b, b, t);
            if (used.insert({gmp::Text(a), gmp::Text(b)}).second) break;
        }
        if (EcmCurve(out, N, a, x0, y0, multiplier)) return;
    }
    mpz_set_ui(out, 1);
}

}  // namespace gmpref
