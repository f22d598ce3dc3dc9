// Baillie-PSW on the Montgomery kernels: trial division by the primes
// below 100, a strong test to base 2, and the strong Lucas test.

#include "prime/bpsw.h"

#include "bigint/bigint_words.h"
#include "bigint/montgomery.h"
#include "bigint/word_algorithms.h"

using kw::u64;
using kw::WORDS;

namespace {

constexpr unsigned SMALL_PRIMES[] = {2,  3,  5,  7,  11, 13, 17, 19, 23, 29, 31, 37, 41,
                                     43, 47, 53, 59, 61, 67, 71, 73, 79, 83, 89, 97};
/// Every number below this without a factor in SMALL_PRIMES is prime.
constexpr u64 SMALL_PRIME_SQUARE = 101 * 101;

bool Equal(const u64* a, const u64* b, int n) {
    for (int i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

bool IsZeroWords(const u64* a, int n) {
    for (int i = 0; i < n; ++i)
        if (a[i] != 0) return false;
    return true;
}

/// x = x / 2 mod the odd modulus m (in either residue form: halving is
/// linear, so it commutes with the Montgomery factor).
void Half(const kw::Montgomery& mont, u64* x) {
    const int n = mont.Size();
    u64 carry = 0;
    if (x[0] & 1) carry = kw::AddN(x, x, mont.Modulus(), n);
    for (int i = 0; i + 1 < n; ++i) x[i] = (x[i] >> 1) | (x[i + 1] << 63);
    x[n - 1] = (x[n - 1] >> 1) | (carry << 63);
}

/// The residue of the small signed integer v.
void SmallResidue(const kw::Montgomery& mont, long v, u64* r) {
    const u64 magnitude = static_cast<u64>(v < 0 ? -v : v);
    mont.To(r, &magnitude, 1);
    if (v < 0) {
        u64 zero[WORDS] = {};
        mont.Sub(r, zero, r);
    }
}

/// The Jacobi symbol (d/n) for a small signed d and an odd n > 1.
int JacobiOfSmall(long d, const u64* n, int words) {
    int t = 1;
    u64 a = static_cast<u64>(d < 0 ? -d : d);
    // (-1/n) = (-1)^((n-1)/2).
    if (d < 0 && (n[0] & 3) == 3) t = -t;
    // (2/n) = (-1)^((n^2-1)/8).
    while ((a & 1) == 0) {
        a >>= 1;
        const u64 r = n[0] & 7;
        if (r == 3 || r == 5) t = -t;
    }
    if (a == 1) return t;
    // Reciprocity for the odd part a: (a/n) = (n/a) (-1)^((a-1)/2 (n-1)/2).
    if ((a & 3) == 3 && (n[0] & 3) == 3) t = -t;
    return t * JacobiSmall(kw::Mod1(n, words, a), a);
}

bool IsSquare(const u64* n, int words) {
    u64 root[WORDS], square[kw::WORDS2];
    const int rn = kw::ISqrt(root, n, words);
    if (rn == 0) return false;
    kw::Mul(square, root, rn, root, rn);
    return kw::Cmp(square, kw::Norm(square, 2 * rn), n, words) == 0;
}

}  // namespace

int JacobiSmall(u64 a, u64 m) {
    int t = 1;
    a %= m;
    while (a != 0) {
        while ((a & 1) == 0) {
            a >>= 1;
            const u64 r = m & 7;
            if (r == 3 || r == 5) t = -t;
        }
        const u64 tmp = a;
        a = m;
        m = tmp;
        if ((a & 3) == 3 && (m & 3) == 3) t = -t;
        a %= m;
    }
    return m == 1 ? t : 0;
}

bool IsStrongProbablePrimeBase2(const u64* n, int words) {
    const kw::Montgomery mont(n, words);
    // n - 1 = d 2^s with d odd (n is odd, so subtracting 1 borrows nowhere).
    u64 d[WORDS];
    kw::Copy(d, n, words);
    d[0] -= 1;
    int s = 0;
    while (((d[s / 64] >> (s % 64)) & 1) == 0) ++s;
    const int dn = kw::ShiftRightBits(d, d, words, s);

    u64 minusOne[WORDS] = {}, x[WORDS];
    mont.Sub(minusOne, minusOne, mont.One());
    const u64 two = 2;
    mont.To(x, &two, 1);
    mont.Pow(x, x, d, kw::BitLen(d, dn));
    if (Equal(x, mont.One(), words) || Equal(x, minusOne, words)) return true;
    for (int r = 1; r < s; ++r) {
        mont.Sqr(x, x);
        if (Equal(x, minusOne, words)) return true;
        if (Equal(x, mont.One(), words)) return false;
    }
    return false;
}

bool IsStrongLucasProbablePrime(const u64* n, int words) {
    // Selfridge's D: the first of 5, -7, 9, -11, ... with (D/n) = -1. A
    // square n has none, so squares are ruled out once the search runs long.
    long D = 5;
    for (int tries = 0;; ++tries) {
        const int j = JacobiOfSmall(D, n, words);
        if (j == -1) break;
        // (D/n) = 0: n shares a factor with |D| < n (n has none below 100
        // and |D| stays far below n for any n that is not a square).
        if (j == 0) return false;
        if (tries == 8 && IsSquare(n, words)) return false;
        D = D > 0 ? -(D + 2) : -D + 2;
    }
    const long Q = (1 - D) / 4;

    const kw::Montgomery mont(n, words);
    // n + 1 = d 2^s.
    u64 d[WORDS + 1];
    kw::Copy(d, n, words);
    d[words] = 0;
    for (int i = 0; i <= words && ++d[i] == 0; ++i) {
    }
    int dn = kw::Norm(d, words + 1);
    int s = 0;
    while (((d[s / 64] >> (s % 64)) & 1) == 0) ++s;
    dn = kw::ShiftRightBits(d, d, dn, s);

    u64 dRes[WORDS], qRes[WORDS], U[WORDS], V[WORDS], Qk[WORDS], t[WORDS];
    SmallResidue(mont, D, dRes);
    SmallResidue(mont, Q, qRes);
    // k = 1: U_1 = 1, V_1 = P = 1, Q^1 = Q.
    kw::Copy(U, mont.One(), words);
    kw::Copy(V, mont.One(), words);
    kw::Copy(Qk, qRes, words);
    for (int bit = kw::BitLen(d, dn) - 2; bit >= 0; --bit) {
        // k -> 2k: U_2k = U_k V_k, V_2k = V_k^2 - 2 Q^k.
        mont.Mul(U, U, V);
        mont.Sqr(V, V);
        mont.Sub(V, V, Qk);
        mont.Sub(V, V, Qk);
        mont.Sqr(Qk, Qk);
        if ((d[bit / 64] >> (bit % 64)) & 1) {
            // k -> k + 1: U = (P U + V) / 2, V = (D U + P V) / 2.
            mont.Mul(t, dRes, U);
            mont.Add(U, U, V);
            Half(mont, U);
            mont.Add(V, V, t);
            Half(mont, V);
            mont.Mul(Qk, Qk, qRes);
        }
    }
    if (IsZeroWords(U, words) || IsZeroWords(V, words)) return true;
    for (int r = 1; r < s; ++r) {
        mont.Sqr(V, V);
        mont.Sub(V, V, Qk);
        mont.Sub(V, V, Qk);
        if (IsZeroWords(V, words)) return true;
        mont.Sqr(Qk, Qk);
    }
    return false;
}

bool IsBpswProbablePrime(const u64* n, int words) {
    words = kw::Norm(n, words);
    if (words == 0 || (words == 1 && n[0] < 2)) return false;
    for (const unsigned p : SMALL_PRIMES) {
        if (kw::Mod1(n, words, p) == 0) return words == 1 && n[0] == p;
    }
    if (words == 1 && n[0] < SMALL_PRIME_SQUARE) return true;
    return IsStrongProbablePrimeBase2(n, words) && IsStrongLucasProbablePrime(n, words);
}

bool IsBpswProbablePrime(const BigInt& n) {
    if (n.GetStatus() != 0 || n.GetSign() != 0) return false;
    const kw::Mag m = kw::Load(n);
    return IsBpswProbablePrime(m.w, m.n);
}
