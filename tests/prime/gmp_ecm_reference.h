#pragma once
// The elliptic curve method in GMP, draw for draw: the classic rand() with
// its seed, the same curves, the same order, the same walk (gmpref::EcmCurve).
// Any width: GMP's products never overflow.

#include <gmp.h>

#include <set>
#include <string>
#include <utility>

#include "tests/prime/gmp_reference.h"

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
    Mpz s, y0, y2, x0, x3, a, b, t;
    mpz_sqrt(s.v, N);
    std::set<std::pair<std::string, std::string>> used;
    for (int curve = 0; curve < trials; ++curve) {
        for (;;) {
            const unsigned long first = rng.Next(), second = rng.Next(), third = rng.Next();
            mpz_set_ui(y0.v, first * 65536 + second);
            mpz_tdiv_r(y0.v, y0.v, s.v);
            mpz_powm_ui(y0.v, y0.v, third, s.v);
            mpz_mul(y2.v, y0.v, y0.v);
            mpz_root(x0.v, y2.v, 3);
            mpz_pow_ui(x3.v, x0.v, 3);
            mpz_add(t.v, x3.v, x0.v);
            if (mpz_cmp(t.v, y2.v) > 0) {
                mpz_sub_ui(x0.v, x0.v, 1);
                mpz_pow_ui(x3.v, x0.v, 3);
            }
            if (mpz_sgn(x0.v) == 0) continue;
            mpz_sub(a.v, y2.v, x3.v);
            mpz_tdiv_q(a.v, a.v, x0.v);
            mpz_mul(t.v, a.v, x0.v);
            mpz_sub(b.v, y2.v, x3.v);
            mpz_sub(b.v, b.v, t.v);
            if (used.insert({Decimal(a.v), Decimal(b.v)}).second) break;
        }
        if (EcmCurve(out, N, a.v, x0.v, y0.v, multiplier)) return;
    }
    mpz_set_ui(out, 1);
}

}  // namespace gmpref
