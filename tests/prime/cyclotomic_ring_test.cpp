// Z[zeta_(p^k)]/(n) against a plain reference on GMP integers: polynomial
// products by convolution, reduced by long division by the cyclotomic
// polynomial (made as (x^(p^k) - 1) / (x^(p^(k-1)) - 1)), coefficients
// modulo n.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <memory>
#include <string>
#include <vector>

#include "prime/cyclotomic_ring.h"
#include "prime/run_state.h"

namespace {

using kw::u64;
using Poly = std::vector<mpz_class>;

/// Plain polynomial arithmetic modulo (phi, n).
struct Reference {
    mpz_class n;
    std::vector<long> phi;  // the cyclotomic polynomial, monic
    int degree = 0;
    int order = 1;

    Reference(const mpz_class& modulus, int p, int k) : n(modulus) {
        for (int i = 0; i < k; ++i) order *= p;
        const int s = order / p;
        // (x^order - 1) / (x^s - 1) by long division.
        std::vector<long> num(static_cast<size_t>(order + 1), 0);
        num[0] = -1;
        num[static_cast<size_t>(order)] = 1;
        phi.assign(static_cast<size_t>(order - s + 1), 0);
        for (int i = order; i >= s; --i) {
            const long c = num[static_cast<size_t>(i)];
            phi[static_cast<size_t>(i - s)] = c;
            num[static_cast<size_t>(i)] -= c;
            num[static_cast<size_t>(i - s)] += c;
        }
        degree = order - s;
    }

    /// c mod (phi, n), any length.
    Poly Reduce(Poly c) const {
        for (int i = static_cast<int>(c.size()) - 1; i >= degree; --i) {
            const mpz_class top = c[static_cast<size_t>(i)];
            for (int j = 0; j <= degree; ++j) c[static_cast<size_t>(i - degree + j)] -= top * phi[static_cast<size_t>(j)];
        }
        c.resize(static_cast<size_t>(degree));
        for (mpz_class& x : c) {
            x %= n;
            if (x < 0) x += n;
        }
        return c;
    }

    Poly Mul(const Poly& a, const Poly& b) const {
        Poly c(a.size() + b.size() - 1);
        for (size_t i = 0; i < a.size(); ++i)
            for (size_t j = 0; j < b.size(); ++j) c[i + j] += a[i] * b[j];
        return Reduce(c);
    }

    /// a(x^y): the automorphism zeta -> zeta^y.
    Poly Substitute(const Poly& a, int y) const {
        Poly c(static_cast<size_t>(order));
        for (size_t i = 0; i < a.size(); ++i) c[(i * static_cast<size_t>(y)) % static_cast<size_t>(order)] += a[i];
        return Reduce(c);
    }

    Poly Power(const Poly& a, const mpz_class& e) const {
        Poly r(static_cast<size_t>(degree));
        r[0] = 1;
        for (size_t b = mpz_sizeinbase(e.get_mpz_t(), 2); b-- > 0;) {
            r = Mul(r, r);
            if (mpz_tstbit(e.get_mpz_t(), b)) r = Mul(r, a);
        }
        return r;
    }
};

/// The ring's element (Montgomery form) as plain coefficients.
Poly Plain(const CyclotomicRing& ring, const std::vector<u64>& x) {
    const int w = ring.Mont().Size();
    Poly c(static_cast<size_t>(ring.Degree()));
    for (int i = 0; i < ring.Degree(); ++i) {
        u64 plain[kw::WORDS];
        ring.Mont().From(plain, x.data() + i * w);
        mpz_import(c[static_cast<size_t>(i)].get_mpz_t(), static_cast<size_t>(w), -1, 8, 0, 0, plain);
    }
    return c;
}

std::vector<u64> Element(const CyclotomicRing& ring, const Poly& c) {
    const int w = ring.Mont().Size();
    std::vector<u64> x(static_cast<size_t>(ring.ElementWords()), 0);
    for (int i = 0; i < ring.Degree(); ++i) {
        u64 plain[kw::WORDS] = {};
        mpz_export(plain, nullptr, -1, 8, 0, 0, c[static_cast<size_t>(i)].get_mpz_t());
        ring.Mont().To(x.data() + i * w, plain, w);
    }
    return x;
}

struct Modulus {
    int bits;
    bool allOnes;  // 2^bits - 1: the top word full, the widest sums
};

// p^k of every ring the test takes apart, and moduli of several word counts.
constexpr int RINGS[][2] = {{2, 1}, {2, 2}, {2, 3}, {2, 4},  {2, 5},  {2, 6},  {3, 1},  {3, 2}, {3, 3},
                            {5, 1}, {5, 2}, {7, 1}, {7, 2}, {11, 1}, {13, 1}, {17, 1}, {19, 1}};
constexpr Modulus MODULI[] = {{65, false},   {128, true},   {200, false}, {1000, false},
                              {1024, true}, {1616, false}, {1664, true}};

/// A modulus, its Montgomery arithmetic, one ring and the reference.
struct RingCase {
    RingCase(gmp_randclass& rng, const Modulus& m, int p, int k) {
        n = m.allOnes ? mpz_class((mpz_class(1) << m.bits) - 1) : mpz_class(rng.get_z_bits(m.bits));
        mpz_setbit(n.get_mpz_t(), static_cast<mp_bitcnt_t>(m.bits - 1));
        mpz_setbit(n.get_mpz_t(), 0);
        u64 nw[kw::WORDS] = {};
        mpz_export(nw, nullptr, -1, 8, 0, 0, n.get_mpz_t());
        mont = kw::Montgomery(nw, (m.bits + 63) / 64);
        ring = std::make_unique<CyclotomicRing>(mont, p, k);
        ref = std::make_unique<Reference>(n, p, k);
        label = "p^k = " + std::to_string(p) + "^" + std::to_string(k) + ", n of " + std::to_string(m.bits) + " bits";
    }

    /// shape 0: random coefficients; 1: all n - 1; 2: zero.
    Poly Random(gmp_randclass& rng, int shape) const {
        Poly c(static_cast<size_t>(ring->Degree()));
        for (mpz_class& x : c) x = shape == 0 ? rng.get_z_range(n) : shape == 1 ? mpz_class(n - 1) : mpz_class(0);
        return c;
    }

    mpz_class n;
    kw::Montgomery mont;
    std::unique_ptr<CyclotomicRing> ring;
    std::unique_ptr<Reference> ref;
    std::string label;
};

TEST(CyclotomicRing, ProductsAndSquaresAgreeWithTheReference) {
    gmp_randclass rng(gmp_randinit_mt);
    rng.seed(13);
    for (const Modulus& m : MODULI) {
        for (const auto& pk : RINGS) {
            RingCase rc(rng, m, pk[0], pk[1]);
            CyclotomicRing& ring = *rc.ring;
            for (int shape = 0; shape < 3; ++shape) {
                const Poly a = rc.Random(rng, shape == 2 ? 0 : shape), b = rc.Random(rng, shape);
                std::vector<u64> x = Element(ring, a), y = Element(ring, b), r(x.size());
                ring.Mul(r.data(), x.data(), y.data());
                ASSERT_EQ(Plain(ring, r), rc.ref->Mul(a, b)) << "mul, " << rc.label;
                ring.Sqr(r.data(), x.data());
                ASSERT_EQ(Plain(ring, r), rc.ref->Mul(a, a)) << "sqr, " << rc.label;
                ring.Mul(x.data(), x.data(), y.data());
                ASSERT_EQ(Plain(ring, x), rc.ref->Mul(a, b)) << "mul in place, " << rc.label;
            }
        }
    }
}

// Powers, automorphisms, small coefficients and roots of unity on one
// modulus per size, every ring.
TEST(CyclotomicRing, PowersAutomorphismsAndRootsAgreeWithTheReference) {
    gmp_randclass rng(gmp_randinit_mt);
    rng.seed(31);
    const std::atomic<int> active{RUN_ACTIVE};
    for (const Modulus& m : {MODULI[0], MODULI[4], MODULI[6]}) {
        for (const auto& pk : RINGS) {
            RingCase rc(rng, m, pk[0], pk[1]);
            CyclotomicRing& ring = *rc.ring;
            const Reference& ref = *rc.ref;
            const int order = ring.Order();
            const Poly a = rc.Random(rng, 0), b = rc.Random(rng, 0);
            const std::vector<u64> x = Element(ring, a), y = Element(ring, b);
            std::vector<u64> r(x.size());
            // A power with a long exponent, and short ones.
            const mpz_class e = rng.get_z_bits(130);  // the reference is slow
            std::vector<u64> ew((mpz_sizeinbase(e.get_mpz_t(), 64) + 1), 0);
            mpz_export(ew.data(), nullptr, -1, 8, 0, 0, e.get_mpz_t());
            ASSERT_TRUE(ring.Pow(r.data(), x.data(), ew.data(), static_cast<int>(mpz_sizeinbase(e.get_mpz_t(), 2)), active));
            ASSERT_EQ(Plain(ring, r), ref.Power(a, e)) << "pow, " << rc.label;
            for (const u64 small : {1ul, 2ul, 3ul, 5ul, 64ul}) {
                ASSERT_TRUE(ring.Pow(r.data(), x.data(), &small, std::bit_width(small), active));
                ASSERT_EQ(Plain(ring, r), ref.Power(a, small)) << "pow " << small << ", " << rc.label;
            }
            ring.MultiPow(r.data(), {x.data(), y.data()}, {order - 1, 5});
            ASSERT_EQ(Plain(ring, r), ref.Mul(ref.Power(a, order - 1), ref.Power(b, 5))) << "multipow, " << rc.label;
            // sigma_x^-1 is the substitution zeta -> zeta^(1/x).
            for (int xk = 1; xk < order; ++xk) {
                if (xk % pk[0] == 0) continue;
                int inverse = 1;
                while (inverse * xk % order != 1) ++inverse;
                ring.InverseAutomorphism(r.data(), x.data(), xk);
                ASSERT_EQ(Plain(ring, r), ref.Substitute(a, inverse)) << "sigma " << xk << ", " << rc.label;
            }
            // Small coefficients, negative ones too.
            std::vector<long long> small(static_cast<size_t>(order));
            Poly smallRef(static_cast<size_t>(order));
            for (int i = 0; i < order; ++i) {
                small[static_cast<size_t>(i)] = (i * 7919 % 23) - 11;
                smallRef[static_cast<size_t>(i)] = static_cast<long>(small[static_cast<size_t>(i)]);
            }
            ring.SetSmall(r.data(), small);
            ASSERT_EQ(Plain(ring, r), ref.Reduce(smallRef)) << "small, " << rc.label;
            // Every power of zeta is found with its exponent; near misses are not.
            for (int h = 0; h < order; ++h) {
                Poly zeta(static_cast<size_t>(order + 1));
                zeta[static_cast<size_t>(h)] = 1;
                const Poly root = ref.Reduce(zeta);
                ASSERT_EQ(ring.RootOfUnityIndex(Element(ring, root).data()), h) << rc.label;
                Poly twice = root, plusOne = root;
                for (mpz_class& c : twice) c = c * 2 % rc.n;
                plusOne[0] = (plusOne[0] + 1) % rc.n;
                ASSERT_EQ(ring.RootOfUnityIndex(Element(ring, twice).data()), -1) << h << ", " << rc.label;
                if (ring.Degree() > 1) {
                    ASSERT_EQ(ring.RootOfUnityIndex(Element(ring, plusOne).data()), -1) << h << ", " << rc.label;
                }
            }
            ASSERT_EQ(ring.RootOfUnityIndex(Element(ring, rc.Random(rng, 2)).data()), -1) << "zero, " << rc.label;
        }
    }
}

TEST(CyclotomicRing, PowerStopsOnAbort) {
    gmp_randclass rng(gmp_randinit_mt);
    RingCase rc(rng, MODULI[5], 2, 5);
    const std::vector<u64> x = Element(*rc.ring, rc.Random(rng, 0));
    std::vector<u64> r(x.size());
    const std::atomic<int> aborted{RUN_ABORT};
    const u64 e[25] = {~0ul};
    EXPECT_FALSE(rc.ring->Pow(r.data(), x.data(), e, 1600, aborted));
}

}  // namespace
