#pragma once
// Montgomery curves B y^2 = x^3 + A x^2 + x modulo n in x-only projective
// coordinates (X : Z), the arithmetic of the second elliptic-curve engine.
// Only x = X / Z is kept: a point and its negative look the same, so a sum
// needs the difference of its terms (Montgomery, "Speeding the Pollard and
// elliptic curve methods of factorization", 1987). B never enters the
// formulas; it only decides which of the curve and its twist a start point
// lies on, and the group law is the same on both.
//
// Everything runs on kw::Montgomery residues of the modulus in use and is
// exact for every odd n up to the full width.

#include <cstdint>
#include <vector>

#include "bigint/montgomery.h"

/// A point (X : Z) in the residues' form; Z = 0 is the neutral element.
struct EcmPoint {
    kw::u64 x[kw::WORDS];
    kw::u64 z[kw::WORDS];
};

/// The codes of one step of a Lucas chain (see EcmAppendChain). A step code
/// is a rule (1 .. 8) with ECM_CHAIN_SWAP added when the roles of A and B
/// change before it; 0 ends a chain.
inline constexpr uint8_t ECM_CHAIN_END = 0;
inline constexpr uint8_t ECM_CHAIN_SWAP = 16;

/// Appends to `out` the Lucas chain (Montgomery's PRAC) that multiplies a
/// point by the odd prime k (k >= 3, k < 2^62), the cheapest of
/// `multipliers` tries (1 .. 10), ended by ECM_CHAIN_END. Returns its cost
/// in multiplications (a sum 6, a doubling 5).
int EcmAppendChain(uint64_t k, int multipliers, std::vector<uint8_t>& out);

/// The arithmetic on one curve, given by a24 = (A + 2) / 4.
class EcmCurve {
  public:
    EcmCurve(const kw::Montgomery& field, const kw::u64* a24);

    const kw::Montgomery& Field() const { return m_field; }
    const kw::u64* A24() const { return m_a24; }

    /// r = 2 p. r may alias p.
    void Double(EcmPoint& r, const EcmPoint& p) const;
    /// r = p + q, given diff = p - q (or q - p). r may alias any operand.
    void Add(EcmPoint& r, const EcmPoint& p, const EcmPoint& q, const EcmPoint& diff) const;
    /// r = k p for k = k[0..kn) words (k = 0 gives the neutral element), by
    /// the Montgomery ladder; *next, when given, receives (k + 1) p.
    void Multiply(EcmPoint& r, const EcmPoint& p, const kw::u64* k, int kn,
                  EcmPoint* next = nullptr) const;
    /// p = k p along a chain of EcmAppendChain; returns the code after its end.
    const uint8_t* RunChain(EcmPoint& p, const uint8_t* chain) const;

  private:
    const kw::Montgomery& m_field;
    kw::u64 m_a24[kw::WORDS];
};

/// The outcome of turning Suyama's sigma into a curve modulo n.
struct EcmSuyamaCurve {
    /// True when the curve exists; otherwise `gcd` holds gcd(n, d) for the
    /// denominator d that has no inverse (a factor of n, or n itself).
    bool ok = false;
    kw::u64 a24[kw::WORDS] = {};
    EcmPoint start = {};
    kw::u64 gcd[kw::WORDS] = {};
    int gcdWords = 0;
};

/// Suyama's curve of sigma: u = sigma^2 - 5, v = 4 sigma, start point
/// x0 = u^3 / v^3, and (A + 2) / 4 = (v - u)^3 (3u + v) / (16 u^3 v).
/// Every such curve has a group order divisible by 12. The field's modulus
/// must be odd.
EcmSuyamaCurve EcmCurveFromSigma(const kw::Montgomery& field, uint64_t sigma);

/// r = a^-1 for the residue a (r may alias a). Returns false when a has no
/// inverse; then g[0..*gn) = gcd(plain a, n), which is n for a = 0.
bool EcmInvert(const kw::Montgomery& field, kw::u64* r, const kw::u64* a, kw::u64* g, int* gn);

/// g[0..return) = gcd(plain a, n) for the residue a; n when a is 0.
int EcmGcd(const kw::Montgomery& field, const kw::u64* a, kw::u64* g);
