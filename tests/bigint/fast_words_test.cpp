// The word-level kernels behind BigInt, each against GMP's own low-level
// routines on random and boundary-shaped operands: the products, the
// divisions (two-word quotient estimates and their rare corrections), the
// square root, the Montgomery power, and Lehmer's gcd and inverse.

#include <gmp.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "bigint/word_algorithms.h"
#include "bigint/words.h"

namespace {

using kw::u64;
using kw::WORDS;
using kw::WORDS2;

/// Seed for this file's generators; printed with every failure.
constexpr uint64_t kSeed = 0x5eed1616;

/// n random words, shaped so that carries, borrows and corrections happen:
/// runs of all-ones and all-zeros words, single bits, random words.
std::vector<u64> Shaped(std::mt19937_64& rng, int n) {
    std::vector<u64> w(static_cast<size_t>(n));
    const int shape = static_cast<int>(rng() % 6);
    for (auto& x : w) {
        switch (shape) {
            case 0: x = ~u64{0}; break;
            case 1: x = (rng() % 3 == 0) ? ~u64{0} : 0; break;
            case 2: x = u64{1} << (rng() % 64); break;
            case 3: x = (rng() % 2) ? 0x8000000000000000u : 0x7FFFFFFFFFFFFFFFu; break;
            default: x = rng(); break;
        }
    }
    if (n > 0 && w.back() == 0) w.back() = 1 + (rng() % 3 == 0 ? ~u64{0} - 1 : rng() >> 1);
    return w;
}

std::string Hex(const u64* a, int n) {
    std::string s;
    char buf[20];
    for (int i = n - 1; i >= 0; --i) {
        std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(a[i]));
        s += buf;
    }
    return s.empty() ? "0" : s;
}

TEST(FastWords, ProductsMatchGmp) {
    std::mt19937_64 rng(kSeed);
    for (int it = 0; it < 4000; ++it) {
        const int an = 1 + static_cast<int>(rng() % WORDS);
        const int bn = 1 + static_cast<int>(rng() % an);
        auto a = Shaped(rng, an), b = Shaped(rng, bn);
        u64 ours[WORDS2], gmp[WORDS2];
        kw::Mul(ours, a.data(), an, b.data(), bn);
        mpn_mul(reinterpret_cast<mp_limb_t*>(gmp), reinterpret_cast<const mp_limb_t*>(a.data()), an,
                reinterpret_cast<const mp_limb_t*>(b.data()), bn);
        ASSERT_EQ(Hex(ours, an + bn), Hex(gmp, an + bn)) << "a=" << Hex(a.data(), an) << " b=" << Hex(b.data(), bn);
        kw::Sqr(ours, a.data(), an);
        mpn_sqr(reinterpret_cast<mp_limb_t*>(gmp), reinterpret_cast<const mp_limb_t*>(a.data()), an);
        ASSERT_EQ(Hex(ours, 2 * an), Hex(gmp, 2 * an)) << "a=" << Hex(a.data(), an);
    }
}

TEST(FastWords, DivisionMatchesGmp) {
    std::mt19937_64 rng(kSeed + 1);
    for (int it = 0; it < 20000; ++it) {
        const int bn = 1 + static_cast<int>(rng() % WORDS);
        const int an = bn + static_cast<int>(rng() % (WORDS2 - bn - 1));
        auto a = Shaped(rng, an), b = Shaped(rng, bn);
        if (rng() % 4 == 0) {
            // A dividend whose top words equal the divisor's: the quotient
            // estimate saturates and the add-back paths run.
            for (int i = 0; i < bn && i < an; ++i) a[static_cast<size_t>(an - 1 - i)] = b[static_cast<size_t>(bn - 1 - i)];
        }
        u64 q[WORDS2], r[WORDS2], gq[WORDS2 + 1], gr[WORDS2];
        kw::DivRem(q, r, a.data(), an, b.data(), bn);
        mpn_tdiv_qr(reinterpret_cast<mp_limb_t*>(gq), reinterpret_cast<mp_limb_t*>(gr), 0,
                    reinterpret_cast<const mp_limb_t*>(a.data()), an, reinterpret_cast<const mp_limb_t*>(b.data()), bn);
        ASSERT_EQ(Hex(q, an - bn + 1), Hex(gq, an - bn + 1)) << "a=" << Hex(a.data(), an) << " b=" << Hex(b.data(), bn);
        ASSERT_EQ(Hex(r, bn), Hex(gr, bn)) << "a=" << Hex(a.data(), an) << " b=" << Hex(b.data(), bn);
    }
}

TEST(FastWords, SingleWordDivisionMatchesGmp) {
    std::mt19937_64 rng(kSeed + 2);
    const u64 divisors[] = {1, 2, 3, 10, 0x8000000000000000u, ~u64{0}, 10000000000000000000u, 12157665459056928801u};
    for (int it = 0; it < 5000; ++it) {
        const int an = 1 + static_cast<int>(rng() % WORDS);
        auto a = Shaped(rng, an);
        const u64 d = it < 8 * 40 ? divisors[it % 8] : (rng() >> (rng() % 64)) | 1;
        u64 q[WORDS2], gq[WORDS2];
        const u64 r = kw::DivRem1(q, a.data(), an, d);
        const u64 gr = mpn_divrem_1(reinterpret_cast<mp_limb_t*>(gq), 0, reinterpret_cast<const mp_limb_t*>(a.data()), an, d);
        ASSERT_EQ(r, gr) << "a=" << Hex(a.data(), an) << " d=" << d;
        ASSERT_EQ(Hex(q, an), Hex(gq, an)) << "a=" << Hex(a.data(), an) << " d=" << d;
    }
}

TEST(FastWords, SquareRootMatchesGmp) {
    std::mt19937_64 rng(kSeed + 3);
    for (int it = 0; it < 5000; ++it) {
        const int an = 1 + static_cast<int>(rng() % WORDS);
        auto a = Shaped(rng, an);
        if (rng() % 3 == 0) {
            // Perfect squares and their neighbours.
            const int hn = (an + 1) / 2;
            auto h = Shaped(rng, hn);
            u64 sq[WORDS2];
            kw::Sqr(sq, h.data(), hn);
            a.assign(sq, sq + 2 * hn);
            if (rng() % 2) {
                u64 one = 1;
                if (rng() % 2)
                    kw::Add(a.data(), a.data(), 2 * hn, &one, 1);
                else
                    kw::Sub(a.data(), a.data(), 2 * hn, &one, 1);
            }
        }
        const int n = kw::Norm(a.data(), static_cast<int>(a.size()));
        u64 r[WORDS2] = {}, g[WORDS2] = {};
        const int rn = kw::ISqrt(r, a.data(), n);
        if (n > 0)
            mpn_sqrtrem(reinterpret_cast<mp_limb_t*>(g), nullptr, reinterpret_cast<const mp_limb_t*>(a.data()), n);
        ASSERT_EQ(Hex(r, rn), Hex(g, kw::Norm(g, (n + 1) / 2))) << "a=" << Hex(a.data(), n);
    }
}

/// GMP integer from words.
struct Z {
    mpz_t v;
    Z() { mpz_init(v); }
    Z(const u64* w, int n) {
        mpz_init(v);
        mpz_import(v, static_cast<size_t>(n), -1, sizeof(u64), 0, 0, w);
    }
    ~Z() { mpz_clear(v); }
    std::string Hex() const {
        char* s = mpz_get_str(nullptr, 16, v);
        std::string r = s;
        void (*freefunc)(void*, size_t);
        mp_get_memory_functions(nullptr, nullptr, &freefunc);
        freefunc(s, r.size() + 1);
        return r;
    }
};

std::string WordsHex(const u64* w, int n) {
    Z z(w, n);
    return z.Hex();
}

TEST(FastWords, ModularPowerMatchesGmp) {
    std::mt19937_64 rng(kSeed + 4);
    for (int it = 0; it < 600; ++it) {
        const int mn = 1 + static_cast<int>(rng() % (WORDS / 2));
        auto m = Shaped(rng, mn);
        if (it % 2) m[0] |= 1;  // odd moduli take the Montgomery path
        if (mn == 1 && m[0] < 2) m[0] = 3;
        const int en = static_cast<int>(rng() % 14);
        auto e = Shaped(rng, en);
        auto a = Shaped(rng, mn);
        Z mz(m.data(), mn), ez(e.data(), en), az(a.data(), mn), gz;
        mpz_mod(az.v, az.v, mz.v);
        u64 aw[WORDS] = {};
        size_t count = 0;
        mpz_export(aw, &count, -1, sizeof(u64), 0, 0, az.v);
        u64 r[WORDS];
        const int rn = kw::ModPow(r, aw, static_cast<int>(count), e.data(), kw::Norm(e.data(), en), m.data(), mn);
        mpz_powm(gz.v, az.v, ez.v, mz.v);
        ASSERT_EQ(WordsHex(r, rn), gz.Hex()) << "a=" << az.Hex() << " e=" << ez.Hex() << " m=" << mz.Hex();
    }
}

TEST(FastWords, LehmerGcdMatchesGmp) {
    std::mt19937_64 rng(kSeed + 5);
    for (int it = 0; it < 4000; ++it) {
        const int an = 1 + static_cast<int>(rng() % WORDS);
        const int bn = 1 + static_cast<int>(rng() % an);
        auto a = Shaped(rng, an), b = Shaped(rng, bn);
        if (rng() % 3 == 0) {
            // A large common factor.
            auto f = Shaped(rng, 1 + static_cast<int>(rng() % 4));
            u64 t[WORDS2];
            if (an + static_cast<int>(f.size()) <= WORDS && bn + static_cast<int>(f.size()) <= WORDS) {
                kw::Mul(t, a.data(), an, f.data(), static_cast<int>(f.size()));
                a.assign(t, t + an + f.size());
                kw::Mul(t, b.data(), bn, f.data(), static_cast<int>(f.size()));
                b.assign(t, t + bn + f.size());
            }
        }
        int na = kw::Norm(a.data(), static_cast<int>(a.size())), nb = kw::Norm(b.data(), static_cast<int>(b.size()));
        Z az(a.data(), na), bz(b.data(), nb), gz;
        if (mpz_cmp(az.v, bz.v) < 0) {
            std::swap(a, b);
            std::swap(na, nb);
        }
        if (nb == 0) continue;
        u64 g[WORDS + 1];
        const int gn = kw::Gcd(g, a.data(), na, b.data(), nb);
        mpz_gcd(gz.v, az.v, bz.v);
        ASSERT_EQ(WordsHex(g, gn), gz.Hex()) << "a=" << az.Hex() << " b=" << bz.Hex();
    }
}

TEST(FastWords, LehmerCofactorIsTheInverse) {
    std::mt19937_64 rng(kSeed + 6);
    for (int it = 0; it < 4000; ++it) {
        const int mn = 1 + static_cast<int>(rng() % (WORDS - 1));
        auto m = Shaped(rng, mn);
        auto x = Shaped(rng, mn);
        Z mz(m.data(), mn), xz(x.data(), mn), rz, iz;
        mpz_mod(rz.v, xz.v, mz.v);
        if (mpz_sgn(rz.v) == 0) continue;
        u64 r[WORDS] = {};
        size_t rn = 0;
        mpz_export(r, &rn, -1, sizeof(u64), 0, 0, rz.v);
        u64 g[WORDS + 1], cof[WORDS + 2];
        int cofn = 0;
        bool negative = false;
        const int gn = kw::GcdExt(g, cof, &cofn, &negative, m.data(), mn, r, static_cast<int>(rn));
        Z gz, cz(cof, cofn);
        mpz_gcd(gz.v, mz.v, rz.v);
        ASSERT_EQ(WordsHex(g, gn), gz.Hex()) << "m=" << mz.Hex() << " r=" << rz.Hex();
        // The cofactor c of the last remainder g satisfies c * x = g (mod m),
        // with |c| <= m / (2 g) as the remainder sequence guarantees.
        if (negative) mpz_neg(cz.v, cz.v);
        Z check;
        mpz_mul(check.v, cz.v, xz.v);
        mpz_sub(check.v, check.v, gz.v);
        ASSERT_TRUE(mpz_divisible_p(check.v, mz.v)) << "m=" << mz.Hex() << " x=" << xz.Hex() << " c=" << cz.Hex();
        Z bound;
        mpz_abs(bound.v, cz.v);
        mpz_mul_2exp(bound.v, bound.v, 1);
        mpz_mul(bound.v, bound.v, gz.v);
        ASSERT_LE(mpz_cmp(bound.v, mz.v), 0) << "m=" << mz.Hex() << " x=" << xz.Hex() << " c=" << cz.Hex();
    }
}

}  // namespace
