#pragma once
// Arithmetic modulo a fixed m of 1 .. WORDS words, on the words in use: the
// one modular-multiplication implementation of the project. The integer
// kernel's modular powers and every search of the prime engine run on it.
//
// An odd m works in Montgomery form: a residue x is held as x R mod m with
// R = 2^(64 n), and a product costs one n-by-n multiplication and one
// reduction by m, without division. An even m (rare: rho, p-1 and the
// pseudo-prime test accept even targets) keeps plain residues and reduces
// every product by long division; the interface is the same, and To/From
// then only reduce and copy. Every value stays in [0, m) and every result is
// exact: products are formed at double width.

#include "bigint/words.h"

namespace kw {

class Montgomery {
public:
    /// An empty modulus; assign a real one before use.
    Montgomery() = default;
    /// m[0..n) normalised (m[n-1] != 0), 1 <= n <= WORDS, m > 1.
    Montgomery(const u64* m, int n);

    /// Words of the modulus and of every residue.
    int Size() const { return n_; }
    const u64* Modulus() const { return m_; }
    /// Whether residues are in Montgomery form (the modulus is odd).
    bool IsMontgomery() const { return minv_ != 0; }

    /// r = a b (in the residues' form). r may alias a or b.
    void Mul(u64* r, const u64* a, const u64* b) const { mul_(*this, r, a, b); }
    /// r = a^2. r may alias a.
    void Sqr(u64* r, const u64* a) const { sqr_(*this, r, a); }
    /// r = a + b mod m. r may alias a or b.
    void Add(u64* r, const u64* a, const u64* b) const;
    /// r = a - b mod m. r may alias a or b.
    void Sub(u64* r, const u64* a, const u64* b) const;

    /// The residue form of the plain number a[0..an) of any size up to
    /// WORDS2 words (reduced first).
    void To(u64* r, const u64* a, int an) const;
    /// The plain residue (n words, not normalised) of the residue a.
    void From(u64* r, const u64* a) const;
    /// The residue form of 1.
    const u64* One() const { return one_; }

    /// r = a^e in the residues' form, e = e[0..ebits) bits (e > 0), by a
    /// sliding window. r may alias a.
    void Pow(u64* r, const u64* a, const u64* e, int ebits) const;

    // Lazy reduction: a sum of products is accumulated at double width and
    // reduced once, which costs one reduction instead of one per product.

    /// Words of a double-width accumulator: 2 Size() + 1.
    int WideSize() const { return 2 * n_ + 1; }
    /// t += a b as plain integers; t has WideSize() words, a and b are residues.
    void AddMulWide(u64* t, const u64* a, const u64* b) const { addMulWide_(*this, t, a, b); }
    /// r = the residue of the accumulated sum t (WideSize() words, top word
    /// below 2^62), in the residues' form: Reduce of a single product a b is
    /// Mul(a, b). r may alias t.
    void Reduce(u64* r, const u64* t) const { reduce_(*this, r, t); }

private:
    using MulFn = void (*)(const Montgomery&, u64*, const u64*, const u64*);
    using SqrFn = void (*)(const Montgomery&, u64*, const u64*);
    using AddMulWideFn = void (*)(const Montgomery&, u64*, const u64*, const u64*);
    using ReduceFn = void (*)(const Montgomery&, u64*, const u64*);
    template <int FIXED>
    friend struct MontgomeryKernels;
    friend struct PlainKernels;

    u64 m_[WORDS] = {};
    u64 one_[WORDS] = {};
    u64 r2_[WORDS] = {};  ///< R^2 mod m (Montgomery form only)
    int n_ = 0;
    u64 minv_ = 0;  ///< -m^-1 mod 2^64; 0 for an even modulus
    MulFn mul_ = nullptr;
    SqrFn sqr_ = nullptr;
    AddMulWideFn addMulWide_ = nullptr;
    ReduceFn reduce_ = nullptr;
};

}  // namespace kw
