#pragma once
// The quadratic sieve's inner parts, shared by its source files: small
// fixed-size numbers, the parameters for a size, the factor base, the
// relation format and the stages' entry points.
//
// A relation is a Y with Y^2 - kN = +-(product of factor-base primes) times
// at most two large primes. The sieve works on Q(x) = ((Ax + B)^2 - kN) / A
// over x in [-M, M), where A is a product of s factor-base primes close to
// sqrt(2kN) / M and B runs over the 2^(s-1) square roots of kN modulo A
// reachable by sign changes (Contini's self-initialisation).

#include <atomic>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bigint/bigint_words.h"
#include "bigint/words.h"
#include "prime/progress.h"
#include "prime/siqs.h"

namespace siqs {

using kw::u64;
using kw::u128;
using u32 = std::uint32_t;
using u8 = std::uint8_t;

/// Words of the largest number handled: 100 digits times a multiplier
/// below 128 stays under 6 words.
inline constexpr int NUM_WORDS = 8;

/// A magnitude of up to NUM_WORDS words, normalised.
struct Num {
    u64 w[NUM_WORDS] = {};
    int n = 0;
    void Set(const u64* a, int an) {
        kw::Zero(w, NUM_WORDS);
        kw::Copy(w, a, an);
        n = kw::Norm(w, an);
    }
    static Num Of(u64 v) {
        Num r;
        r.w[0] = v;
        r.n = v != 0;
        return r;
    }
    int Bits() const { return kw::BitLen(w, n); }
};

inline BigInt ToBigInt(const Num& x) {
    u64 words[kw::WORDS] = {};
    kw::Copy(words, x.w, x.n);
    return kw::FromWords(words, x.n);
}

inline Num ToNum(const BigInt& x) {
    const kw::Mag m = kw::Load(x);
    Num r;
    r.Set(m.w, m.n < NUM_WORDS ? m.n : NUM_WORDS);
    return r;
}

/// A two's-complement signed number of SINT_WORDS words, for the
/// polynomial's coefficients and values (all below 2^200 in magnitude).
inline constexpr int SINT_WORDS = 5;
struct SInt {
    u64 w[SINT_WORDS] = {};
    bool Negative() const { return (w[SINT_WORDS - 1] >> 63) != 0; }
};

/// r = the magnitude a[0..an) with a sign.
inline void SetSigned(SInt& r, const u64* a, int an, bool negative) {
    for (int i = 0; i < SINT_WORDS; ++i) r.w[i] = i < an ? a[i] : 0;
    if (negative) {
        unsigned char borrow = 1;
        for (int i = 0; i < SINT_WORDS; ++i) {
            const u64 v = ~r.w[i] + borrow;
            borrow = borrow && v == 0;
            r.w[i] = v;
        }
    }
}

inline void Negate(SInt& a) {
    unsigned char carry = 1;
    for (int i = 0; i < SINT_WORDS; ++i) {
        const u64 v = ~a.w[i] + carry;
        carry = carry && v == 0;
        a.w[i] = v;
    }
}

/// r = a + b (modulo 2^(64 SINT_WORDS)).
inline void Add(SInt& r, const SInt& a, const SInt& b) { kw::AddN(r.w, a.w, b.w, SINT_WORDS); }

/// r = a * x for a signed machine word x.
inline void MulSmall(SInt& r, const SInt& a, long long x) {
    const u64 m = x < 0 ? 0 - static_cast<u64>(x) : static_cast<u64>(x);
    kw::Mul1(r.w, a.w, SINT_WORDS, m);  // two's complement times a magnitude
    if (x < 0) Negate(r);
}

/// The magnitude of a into m (SINT_WORDS words); returns its normalised length.
inline int Magnitude(const SInt& a, u64* m) {
    SInt t = a;
    if (t.Negative()) Negate(t);
    kw::Copy(m, t.w, SINT_WORDS);
    return kw::Norm(m, SINT_WORDS);
}

// --- Modular arithmetic on primes below 2^32 ---------------------------------

inline u32 MulMod(u32 a, u32 b, u32 p) { return static_cast<u32>(static_cast<u64>(a) * b % p); }
/// a^-1 mod p for 0 < a < p, p prime.
u32 InverseMod(u32 a, u32 p);
/// A square root of a modulo the odd prime p, for a quadratic residue a < p.
u32 SqrtMod(u32 a, u32 p);
/// The primes below `limit` in increasing order.
std::vector<u32> PrimesBelow(u32 limit);

// --- Parameters --------------------------------------------------------------

/// Bytes of one sieve block: the 32 KiB data cache of a core.
#ifndef T_BLOCK_BITS
#define T_BLOCK_BITS 15
#endif
inline constexpr int BLOCK_BITS = T_BLOCK_BITS;
inline constexpr int BLOCK = 1 << BLOCK_BITS;
/// Factor-base indices are kept in 17 bits of a bucket entry.
inline constexpr int MAX_FACTOR_BASE = (1 << (32 - BLOCK_BITS)) - 1;
/// Most primes in A.
inline constexpr int MAX_A_FACTORS = 20;

/// The sieve's settings for one size of number.
struct Params {
    int fbSize = 0;         ///< primes in the factor base (without -1)
    int blocksPerSide = 1;  ///< M = blocksPerSide * BLOCK
    int lpMult = 0;         ///< large-prime bound = lpMult * largest base prime
    bool dlp = false;       ///< two large primes
    u32 sieveFrom = 0;      ///< primes below this are not sieved (small-prime variation)
    /// A value is examined when its sieve sum comes within log2 of the
    /// largest cofactor allowed (times dlpSlack with two large primes) plus
    /// extraSlack bits of log2 |Q|.
    double extraSlack = 8;
    double dlpSlack = 0.9;
    /// Largest product of two large primes: (single bound)^dlpExponent.
    double dlpExponent = 1.85;
};

/// The settings for a number of `bits` bits.
Params ParamsFor(int bits);

// --- Factor base -------------------------------------------------------------

/// Index 0 stands for the sign (-1), index 1 for 2; then the odd primes p
/// with (kN/p) != -1 in increasing order.
struct FactorBase {
    Num n;                   ///< the number to split
    Num kn;                  ///< k n
    u32 k = 1;               ///< the Knuth-Schroeppel multiplier
    std::vector<u32> prime;  ///< prime[0] = 1 (sign), prime[1] = 2
    std::vector<u32> sqrtKn; ///< a square root of kN modulo the prime (0 when p | k)
    std::vector<u8> logp;    ///< scaled log2 p; 0 for primes not sieved
    std::vector<u32> pinv;   ///< p^-1 mod 2^32 (odd primes), for divisibility tests
    std::vector<u32> plim;   ///< (2^32 - 1) / p: x is divisible by p iff x pinv <= plim

    int size = 0;      ///< entries, the sign included
    int sieveFrom = 2; ///< first index sieved (earlier ones are tested by division)
    /// fixedFrom[k]: first index with p >= BLOCK / 2^(3 - k). From BLOCK / 8
    /// on, a root hits a block at most 8, 4, 2 times and is sieved in fixed
    /// steps.
    int fixedFrom[4] = {};
    int largeFrom = 0; ///< first index with p >= BLOCK: bucket sieved
    int hugeFrom = 0;  ///< first index with p >= the interval 2M: at most one hit per root

    int blocksPerSide = 1;
    int blocks = 2;         ///< 2 * blocksPerSide
    u32 interval = 0;       ///< 2M
    u32 M = 0;
    u32 largestPrime = 0;
    u32 lpMax = 0;          ///< largest single large prime
    u64 dlpMax = 0;         ///< largest product of two large primes (0: none)
    u64 pmaxSquared = 0;
    double knBits = 0;      ///< log2 kN
    u8 initByte = 0;        ///< the sieve's starting value: 128 - threshold
    double logScale = 1;    ///< logp = round(log2 p * logScale)
};

/// Chooses the multiplier for n (odd, no factor below 1000).
u32 ChooseMultiplier(const Num& n);

/// What BuildFactorBase returns besides a factor of n.
inline constexpr u32 FB_BUILT = 0;
inline constexpr u32 FB_ABORTED = 1;

/// Builds the factor base for n. Returns FB_BUILT, FB_ABORTED, or a prime
/// factor of n met among the candidate primes.
u32 BuildFactorBase(const Num& n, const Params& params, const std::atomic<int>& state, FactorBase& fb);

// --- Relations -----------------------------------------------------------------

/// Packed layout of one relation in a u32 pool:
///   [0] number of factor indices, [1] large prime 1, [2] large prime 2,
///   [3..9) |Y| in three 64-bit words (low half first), [9..) factor-base
///   indices with repetition (0 = the sign), in increasing order.
/// Large primes are 1 when absent; lp1 <= lp2.
inline constexpr int REL_HEADER = 9;
inline constexpr int Y_WORDS = 3;

/// Appends a relation to `pool`.
void PackRelation(std::vector<u32>& pool, const u64* y, int yn, u32 lp1, u32 lp2, const u32* idx,
                  int count);

// --- Shared state of the sieving threads ------------------------------------

class RelationStore;

/// Splits fb.n with the sieve. Returns false on abort; otherwise `parts`
/// holds two or more numbers whose product is n (not all prime).
bool SiqsSplit(const Num& n, int threads, const std::atomic<int>& state, Progress* progress,
               std::vector<Num>& parts, SiqsStats& stats);

/// Runs the sieve over polynomials on `threads` threads until `store` has
/// enough relations, the choices of A run out or the run is aborted.
/// `pass` varies the choices of A between calls. Returns false on abort.
bool Sieve(const FactorBase& fb, RelationStore& store, int threads, const std::atomic<int>& state,
           Progress* progress, SiqsStats& stats, int pass);

/// Splits a 64-bit odd composite without factors below 2^8 by Pollard's
/// rho (Brent's variant); returns a proper factor, or 0 when none is found
/// within the step bound.
u64 RhoSplit64(u64 n, u64 maxSteps);

}  // namespace siqs
