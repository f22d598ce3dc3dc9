#pragma once
// The ring Z[zeta]/(n) for zeta a primitive p^k-th root of unity, on the
// Montgomery residues of n: an element is the polynomial of degree below
// d = phi(p^k) = (p - 1) p^(k-1) in zeta, reduced modulo the cyclotomic
// polynomial 1 + x^s + x^(2s) + ... + x^((p-1) s), s = p^(k-1), its d
// coefficients residues of Size() words each, stored one after the other.
//
// A product is formed at double width (Montgomery::AddMulWide), by
// Karatsuba's method above a few coefficients, folded modulo the cyclotomic
// polynomial while still wide, and reduced once per coefficient. Wide values
// are kept non-negative: where Karatsuba or the fold subtracts, a multiple
// of n^2 large enough to cover the subtrahend is added first.
//
// An object keeps scratch space: one object per thread.

#include <atomic>
#include <cstdint>
#include <vector>

#include "bigint/montgomery.h"

class CyclotomicRing {
public:
    using u64 = kw::u64;

    /// The ring for p^k (p prime, p^k >= 2) over the modulus of `mont`.
    CyclotomicRing(const kw::Montgomery& mont, int p, int k);
    CyclotomicRing(const CyclotomicRing&) = delete;
    CyclotomicRing& operator=(const CyclotomicRing&) = delete;

    int Prime() const { return p_; }
    /// p^k, the order of zeta.
    int Order() const { return order_; }
    /// d = phi(p^k): coefficients of an element.
    int Degree() const { return d_; }
    /// Words of one element: Degree() residues.
    int ElementWords() const { return d_ * w_; }
    const kw::Montgomery& Mont() const { return mont_; }

    /// r = 1.
    void SetOne(u64* r) const;
    /// r = c[0] + c[1] zeta + ... + c[p^k - 1] zeta^(p^k - 1) for small
    /// integers c (|c| < 2^62).
    void SetSmall(u64* r, const std::vector<long long>& c) const;
    /// r = a b. r may alias a or b.
    void Mul(u64* r, const u64* a, const u64* b);
    /// r = a^2. r may alias a.
    void Sqr(u64* r, const u64* a);
    /// r = c a for a residue c (in the residues' form). r may alias a.
    void MulScalar(u64* r, const u64* a, const u64* c) const;
    /// r = sigma_x^-1(a), where sigma_x maps zeta to zeta^x (x prime to p).
    /// r may alias a.
    void InverseAutomorphism(u64* r, const u64* a, int x);
    /// r = a^e for e = e[0..ebits) bits (ebits >= 1), by a sliding window.
    /// Returns false, r undefined, when `state` reads the abort request.
    bool Pow(u64* r, const u64* a, const u64* e, int ebits, const std::atomic<int>& state);
    /// r = prod bases[i]^exps[i] for exponents 0 .. 2^16 - 1, sharing the
    /// squarings. r must not alias a base.
    void MultiPow(u64* r, const std::vector<const u64*>& bases, const std::vector<int>& exps);
    /// The h in [0, p^k) with a = zeta^h, or -1 when a is no power of zeta.
    int RootOfUnityIndex(const u64* a) const;

private:
    /// c[0 .. 2n-1) = a b at double width for a, b of n residues.
    void MulWide(u64* c, const u64* a, const u64* b, int n, u64* scratch);
    /// c[0 .. 2n-1) = a^2 at double width.
    void SqrWide(u64* c, const u64* a, int n, u64* scratch);
    /// The Karatsuba step shared by both: c from lo = c[0 .. 2h-1),
    /// hi = c[2h ..) and mid (2h - 1 wide values), n = h + l.
    void Recombine(u64* c, u64* mid, int h, int l, const u64* bias);
    /// r = the element of the wide product c[0 .. 2d-1) whose values are
    /// below bound n^2, reduced.
    void FoldAndReduce(u64* r, u64* c, double bound);
    /// The multiple of n^2 added before subtracting values up to bound n^2.
    const u64* Bias(double bound);
    /// A bound, in units of n^2, on the wide values a product of n
    /// coefficients leaves.
    double WideBound(int n, bool square) const;

    const kw::Montgomery& mont_;
    int p_, order_, d_, w_, W_;
    int stride_;  ///< p^(k-1)
    std::vector<u64> nSquared_;
    std::vector<std::vector<u64>> biases_;  ///< n^2 2^j, by j
    std::vector<double> mulBound_, sqrBound_;  ///< WideBound by size
    std::vector<u64> product_, scratch_, tmp_;
};
