// Z[zeta_(p^k)]/(n) against a plain reference on GMP integers: products by
// convolution, reduced by long division by the cyclotomic polynomial
// 1 + x^s + x^(2s) + ... + x^((p-1)s), s = p^(k-1), coefficients modulo n.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
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
    int p, order = 1, stride, degree;

    Reference(const mpz_class& modulus, int prime, int k) : n(modulus), p(prime) {
        for (int i = 0; i < k; ++i) order *= p;
        stride = order / p;
        degree = order - stride;
    }
    /// c mod (phi, n), any length.
    Poly Reduce(Poly c) const {
        for (int i = static_cast<int>(c.size()) - 1; i >= degree; --i)
            for (int j = 0; j < p; ++j) c[static_cast<size_t>(i - degree + j * stride)] -= c[static_cast<size_t>(i)];
        c.resize(static_cast<size_t>(degree));
        for (mpz_class& x : c) x = (x % n + n) % n;
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
        for (size_t b = mpz_sizeinbase(e.get_mpz_t(), 2); b-- > 0;) r = mpz_tstbit(e.get_mpz_t(), b) ? Mul(Mul(r, r), a) : Mul(r, r);
        return r;
    }
};

/// A modulus of `bits` bits (2^bits - 1 when allOnes: the widest sums), its
/// Montgomery arithmetic, the ring for p^k and the reference.
struct RingCase {
    RingCase(gmp_randclass& rng, int bits, bool allOnes, int p, int k)
        : n(allOnes ? mpz_class((mpz_class(1) << bits) - 1) : mpz_class(rng.get_z_bits(bits) | mpz_class(1) | (mpz_class(1) << (bits - 1)))),
          mont(Words(n).data(), (bits + 63) / 64), ring(mont, p, k), ref(n, p, k),
          label("p^k = " + std::to_string(p) + "^" + std::to_string(k) + ", n of " + std::to_string(bits) + " bits") {}

    static std::vector<u64> Words(const mpz_class& v) {
        std::vector<u64> w(kw::WORDS, 0);
        mpz_export(w.data(), nullptr, -1, 8, 0, 0, v.get_mpz_t());
        return w;
    }
    Poly Plain(const std::vector<u64>& x) const {
        Poly c(static_cast<size_t>(ring.Degree()));
        for (int i = 0; i < ring.Degree(); ++i) {
            u64 plain[kw::WORDS];
            mont.From(plain, x.data() + i * mont.Size());
            mpz_import(c[static_cast<size_t>(i)].get_mpz_t(), static_cast<size_t>(mont.Size()), -1, 8, 0, 0, plain);
        }
        return c;
    }
    std::vector<u64> Element(const Poly& c) const {
        std::vector<u64> x(static_cast<size_t>(ring.ElementWords()), 0);
        for (int i = 0; i < ring.Degree(); ++i) mont.To(x.data() + i * mont.Size(), Words(c[static_cast<size_t>(i)]).data(), mont.Size());
        return x;
    }
    /// value < 0: random coefficients, else all equal to value.
    Poly Make(gmp_randclass& rng, const mpz_class& value) const {
        Poly c(static_cast<size_t>(ring.Degree()));
        for (mpz_class& x : c) x = value < 0 ? rng.get_z_range(n) : value;
        return c;
    }

    mpz_class n;
    kw::Montgomery mont;
    CyclotomicRing ring;
    Reference ref;
    std::string label;
};

// p^k of every ring the test takes apart, and moduli of several word counts;
// powers, automorphisms, small coefficients and roots of unity on the
// moduli marked.
constexpr int RINGS[][2] = {{2, 1}, {2, 2}, {2, 3}, {2, 4},  {2, 5},  {2, 6},  {3, 1},  {3, 2}, {3, 3},
                            {5, 1}, {5, 2}, {7, 1}, {7, 2}, {11, 1}, {13, 1}, {17, 1}, {19, 1}};
constexpr struct {
    int bits;
    bool allOnes, everything;
} MODULI[] = {{65, false, true}, {128, true, false}, {200, false, false}, {1000, false, false},
              {1024, true, true}, {1616, false, false}, {1664, true, true}};

TEST(CyclotomicRing, AgreesWithTheReference) {
    gmp_randclass rng(gmp_randinit_mt);
    rng.seed(13);
    const std::atomic<int> active{RUN_ACTIVE};
    for (const auto& m : MODULI) {
        for (const auto& pk : RINGS) {
            RingCase rc(rng, m.bits, m.allOnes, pk[0], pk[1]);
            CyclotomicRing& ring = rc.ring;
            const Reference& ref = rc.ref;
            // Random coefficients, all n - 1, and zero.
            for (const mpz_class& fill : {mpz_class(-1), mpz_class(rc.n - 1), mpz_class(0)}) {
                const Poly a = rc.Make(rng, fill == 0 ? -1 : fill), b = rc.Make(rng, fill);
                std::vector<u64> x = rc.Element(a), y = rc.Element(b), r(x.size());
                ring.Mul(r.data(), x.data(), y.data());
                ASSERT_EQ(rc.Plain(r), ref.Mul(a, b)) << "mul, " << rc.label;
                ring.Sqr(r.data(), x.data());
                ASSERT_EQ(rc.Plain(r), ref.Mul(a, a)) << "sqr, " << rc.label;
                ring.Mul(x.data(), x.data(), y.data());
                ASSERT_EQ(rc.Plain(x), ref.Mul(a, b)) << "mul in place, " << rc.label;
            }
            if (!m.everything) continue;
            const int order = ring.Order();
            const Poly a = rc.Make(rng, -1), b = rc.Make(rng, -1);
            const std::vector<u64> x = rc.Element(a), y = rc.Element(b);
            std::vector<u64> r(x.size());
            // A power with a long exponent (the reference is slow), and short ones.
            const mpz_class e = rng.get_z_bits(130);
            for (const mpz_class& power : {e, mpz_class(1), mpz_class(2), mpz_class(3), mpz_class(5), mpz_class(64)}) {
                const std::vector<u64> ew = RingCase::Words(power);
                ASSERT_TRUE(ring.Pow(r.data(), x.data(), ew.data(), static_cast<int>(mpz_sizeinbase(power.get_mpz_t(), 2)), active));
                ASSERT_EQ(rc.Plain(r), ref.Power(a, power)) << "pow " << power.get_str() << ", " << rc.label;
            }
            ring.MultiPow(r.data(), {x.data(), y.data()}, {order - 1, 5});
            ASSERT_EQ(rc.Plain(r), ref.Mul(ref.Power(a, order - 1), ref.Power(b, 5))) << "multipow, " << rc.label;
            // sigma_x^-1 is the substitution zeta -> zeta^(1/x).
            for (int xk = 1; xk < order; ++xk) {
                if (xk % pk[0] == 0) continue;
                int inverse = 1;
                while (inverse * xk % order != 1) ++inverse;
                ring.InverseAutomorphism(r.data(), x.data(), xk);
                ASSERT_EQ(rc.Plain(r), ref.Substitute(a, inverse)) << "sigma " << xk << ", " << rc.label;
            }
            // Small coefficients, negative ones too.
            std::vector<long long> small(static_cast<size_t>(order));
            Poly smallRef(static_cast<size_t>(order));
            for (int i = 0; i < order; ++i) smallRef[static_cast<size_t>(i)] = static_cast<long>(small[static_cast<size_t>(i)] = (i * 7919 % 23) - 11);
            ring.SetSmall(r.data(), small);
            ASSERT_EQ(rc.Plain(r), ref.Reduce(smallRef)) << "small, " << rc.label;
            // Every power of zeta is found with its exponent; twice it, it plus one and zero are not roots.
            for (int h = 0; h < order; ++h) {
                Poly zeta(static_cast<size_t>(order + 1));
                zeta[static_cast<size_t>(h)] = 1;
                Poly root = ref.Reduce(zeta), twice = root;
                ASSERT_EQ(ring.RootOfUnityIndex(rc.Element(root).data()), h) << rc.label;
                for (mpz_class& c : twice) c = c * 2 % rc.n;
                ASSERT_EQ(ring.RootOfUnityIndex(rc.Element(twice).data()), -1) << h << ", " << rc.label;
                root[0] = (root[0] + 1) % rc.n;
                ASSERT_EQ(ring.RootOfUnityIndex(rc.Element(root).data()), -1) << h << ", " << rc.label;
            }
            ASSERT_EQ(ring.RootOfUnityIndex(rc.Element(rc.Make(rng, 0)).data()), -1) << "zero, " << rc.label;
        }
    }
}

TEST(CyclotomicRing, PowerStopsOnAbort) {
    gmp_randclass rng(gmp_randinit_mt);
    RingCase rc(rng, 1616, false, 2, 5);
    const std::vector<u64> x = rc.Element(rc.Make(rng, -1));
    std::vector<u64> r(x.size());
    const std::atomic<int> aborted{RUN_ABORT};
    const u64 e[25] = {~0ul};
    EXPECT_FALSE(rc.ring.Pow(r.data(), x.data(), e, 1600, aborted));
}

}  // namespace
