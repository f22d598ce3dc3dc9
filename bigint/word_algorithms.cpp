// Whole algorithms on word magnitudes: square root by Newton's method from a
// recursive start, modular exponentiation (on the Montgomery kernels), and
// Lehmer's gcd with single-word quotient simulation.

#include "bigint/word_algorithms.h"

#include "bigint/montgomery.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <utility>

namespace kw {

int ShiftRightBits(u64* r, const u64* a, int an, int bits) {
    const int ws = bits / 64;
    const unsigned bs = static_cast<unsigned>(bits % 64);
    const int rn = an - ws;
    if (rn <= 0) return 0;
    if (bs)
        RShift(r, a + ws, rn, bs);
    else
        for (int i = 0; i < rn; ++i) r[i] = a[i + ws];
    return Norm(r, rn);
}

int ShiftLeftBits(u64* r, const u64* a, int an, int bits) {
    if (an == 0) return 0;
    const int ws = bits / 64;
    const unsigned bs = static_cast<unsigned>(bits % 64);
    if (bs) {
        r[ws + an] = LShift(r + ws, a, an, bs);
    } else {
        for (int i = an - 1; i >= 0; --i) r[i + ws] = a[i];
        r[ws + an] = 0;
    }
    Zero(r, ws);
    return Norm(r, ws + an + 1);
}

// --- Square root -------------------------------------------------------------------

namespace {

inline u64 ISqrtWord(u64 v) {
    u64 s = static_cast<u64>(std::sqrt(static_cast<double>(v)));
    // The double may be off by one either way near 2^64.
    while (s > 0 && static_cast<u128>(s) * s > v) --s;
    while (static_cast<u128>(s + 1) * (s + 1) <= v) ++s;
    return s;
}

/// floor(sqrt(v)) for v < 2^128.
inline u64 ISqrtDoubleWord(u128 v) {
    if ((v >> 64) == 0) return ISqrtWord(static_cast<u64>(v));
    // A double start is good to about 2^12; one Newton step from it lands
    // within one, the loops settle the rest.
    const double d = std::sqrt(static_cast<double>(v));
    u64 s = d >= 18446744073709551615.0 ? ~u64{0} : static_cast<u64>(d);
    if (s == 0) s = 1;
    const u128 y = (static_cast<u128>(s) + v / s) / 2;
    s = (y >> 64) ? ~u64{0} : static_cast<u64>(y);
    while (static_cast<u128>(s) * s > v) --s;
    while (s != ~u64{0} && static_cast<u128>(s + 1) * (s + 1) <= v) ++s;
    return s;
}

/// r = a mod 2^bits.
int LowBits(u64* r, const u64* a, int an, int bits) {
    const int w = bits / 64, b = bits % 64;
    int n = an < w + (b ? 1 : 0) ? an : w + (b ? 1 : 0);
    Copy(r, a, n);
    if (b && n == w + 1) r[w] &= (u64{1} << b) - 1;
    return Norm(r, n);
}

/// r = a * 2^bits + lo for lo < 2^bits.
int ShiftOr(u64* r, const u64* a, int an, int bits, const u64* lo, int ln) {
    int n = ShiftLeftBits(r, a, an, bits);
    if (n < ln) {
        Zero(r + n, ln - n);
        n = ln;
    }
    for (int i = 0; i < ln; ++i) r[i] |= lo[i];
    return Norm(r, n);
}

/// Square root with remainder (Zimmermann's recursive step) of A, where
/// 2^(4k-2) <= A < 2^(4k) and k is at most 32 or even at every level: A is
/// split into four k-bit digits, the root of the top two gives the top half
/// of the root, one division by twice it the bottom half.
void SqrtRem(u64* s, int* sn, u64* r, int* rn, const u64* A, int An, int k) {
    if (k <= 32) {
        const u128 v = An == 0 ? 0 : (An == 1 ? A[0] : (static_cast<u128>(A[1]) << 64) | A[0]);
        const u64 root = ISqrtDoubleWord(v);
        const u128 rem = v - static_cast<u128>(root) * root;
        s[0] = root;
        *sn = root ? 1 : 0;
        r[0] = static_cast<u64>(rem);
        r[1] = static_cast<u64>(rem >> 64);
        *rn = Norm(r, 2);
        return;
    }
    u64 hi[WORDS2], s1[WORDS2], r1[WORDS2];
    const int hin = ShiftRightBits(hi, A, An, 2 * k);
    int s1n, r1n;
    SqrtRem(s1, &s1n, r1, &r1n, hi, hin, k / 2);

    u64 t[WORDS2], a1[WORDS2], a0[WORDS2];
    const int tn = ShiftRightBits(t, A, An, k);
    const int a1n = LowBits(a1, t, tn, k);
    const int a0n = LowBits(a0, A, An, k);

    // (q, u) = divmod(r1 * 2^k + a1, 2 * s1)
    u64 num[WORDS2 + 1], den[WORDS2 + 1], q[WORDS2 + 1], u[WORDS2 + 1];
    const int numn = ShiftOr(num, r1, r1n, k, a1, a1n);
    const int denn = ShiftLeftBits(den, s1, s1n, 1);
    int qn, un;
    if (numn < denn) {
        qn = 0;
        Copy(u, num, numn);
        un = numn;
    } else {
        DivRem(q, u, num, numn, den, denn);
        qn = Norm(q, numn - denn + 1);
        un = Norm(u, denn);
    }
    // s = s1 * 2^k + q (q may reach 2^k, so add rather than or)
    int n = ShiftLeftBits(s, s1, s1n, k);
    if (qn > 0) {
        if (n < qn) {
            Zero(s + n, qn - n);
            n = qn;
        }
        const u64 c = Add(s, s, n, q, qn);
        if (c) s[n++] = c;
    }
    n = Norm(s, n);
    // r = u * 2^k + a0 - q^2, made non-negative by one step down of s.
    u64 R[WORDS2 + 2], Q2[WORDS2 + 2];
    int Rn = ShiftOr(R, u, un, k, a0, a0n);
    int q2n = 0;
    if (qn > 0) {
        Sqr(Q2, q, qn);
        q2n = Norm(Q2, 2 * qn);
    }
    if (Cmp(R, Rn, Q2, q2n) < 0) {
        // r += 2s - 1; s -= 1
        u64 two[WORDS2 + 1];
        const int twon = ShiftLeftBits(two, s, n, 1);
        u64 one = 1;
        Sub(two, two, twon, &one, 1);
        const int tw = Norm(two, twon);
        if (Rn < tw) {
            Zero(R + Rn, tw - Rn);
            Rn = tw;
        }
        const u64 c = Add(R, R, Rn, two, tw);
        if (c) R[Rn++] = c;
        Sub(s, s, n, &one, 1);
        n = Norm(s, n);
    }
    Sub(R, R, Rn, Q2, q2n);
    *rn = Norm(R, Rn);
    Copy(r, R, *rn);
    *sn = n;
}

}  // namespace

int ISqrt(u64* r, const u64* a, int an) {
    const int bl = BitLen(a, an);
    if (bl <= 128) {
        r[0] = ISqrtDoubleWord(an == 0 ? 0 : (an == 1 ? a[0] : (static_cast<u128>(a[1]) << 64) | a[0]));
        return r[0] ? 1 : 0;
    }
    // k = c * 2^j with 4k >= bl and c <= 32, so the halving reaches the
    // two-word case; a is scaled by 4^e to 4k - 1 or 4k bits.
    int j = 0;
    while ((128 << j) < bl) ++j;
    const int c = (bl + (4 << j) - 1) / (4 << j);
    const int k = c << j;
    const int e = (4 * k - bl) / 2;
    u64 A[WORDS2], s[WORDS2], rem[WORDS2];
    const int An = ShiftLeftBits(A, a, an, 2 * e);
    int sn, remn;
    SqrtRem(s, &sn, rem, &remn, A, An, k);
    return ShiftRightBits(r, s, sn, e);
}

// --- Modular exponentiation ------------------------------------------------------------

int ModPow(u64* r, const u64* a, int an, const u64* e, int en, const u64* m, int mn) {
    const int ebits = BitLen(e, en);
    if (ebits == 0) {
        r[0] = 1;
        return 1;  // m > 1
    }
    if (an == 0) return 0;
    const Montgomery mont(m, mn);
    u64 x[WORDS];
    mont.To(x, a, an);
    mont.Pow(x, x, e, ebits);
    mont.From(r, x);
    return Norm(r, mn);
}

// --- Lehmer's gcd ------------------------------------------------------------------------

namespace {

/// Bits sh .. sh+63 of x.
inline u64 BitsAt(const u64* x, int xn, int sh) {
    const int w = sh / 64, b = sh % 64;
    if (w >= xn) return 0;
    u64 v = x[w] >> b;
    if (b && w + 1 < xn) v |= x[w + 1] << (64 - b);
    return v;
}

/// r[0..n] = p * X - q * Y for arrays of the same length n; the result must
/// not be negative. Returns the normalised length.
inline int MulSub(u64* r, const u64* X, u64 p, const u64* Y, u64 q, int n) {
    r[n] = Mul1(r, X, n, p);
    const u64 borrow = SubMul1(r, Y, n, q);
    r[n] -= borrow;
    return Norm(r, n + 1);
}

/// r[0..n] = p * X + q * Y for arrays of the same length n.
inline int MulAdd(u64* r, const u64* X, u64 p, const u64* Y, u64 q, int n) {
    r[n] = Mul1(r, X, n, p);
    r[n] += AddMul1(r, Y, n, q);
    return Norm(r, n + 1);
}

/// n / d for n, d > 0: most quotients of the remainder sequence are 1, 2
/// or 3, found by subtraction before a divide is paid for.
inline int64_t SmallQuotient(int64_t n, int64_t d) {
    if (n < d) return 0;
    n -= d;
    if (n < d) return 1;
    n -= d;
    if (n < d) return 2;
    n -= d;
    if (n < d) return 3;
    return 3 + n / d;
}

/// The single-word cofactor matrix of as many Euclidean steps as the top
/// 62 bits of u and r decide exactly (Lehmer, with Collins' two-sided
/// quotient test). Returns the number of steps; 0 when none is certain.
inline int LehmerMatrix(const u64* u, int un, const u64* r, int rn, int64_t* x0, int64_t* y0, int64_t* x1,
                        int64_t* y1) {
    const int sh = BitLen(u, un) - 62;
    int64_t ah = static_cast<int64_t>(BitsAt(u, un, sh));
    int64_t bh = static_cast<int64_t>(BitsAt(r, rn, sh));
    int64_t A = 1, B = 0, C = 0, D = 1;
    int steps = 0;
    for (;;) {
        const int64_t d1 = bh + C, d2 = bh + D;
        const int64_t n1 = ah + A, n2 = ah + B;
        if (d1 <= 0 || d2 <= 0 || n1 < 0 || n2 < 0) break;
        const int64_t q = SmallQuotient(n1, d1);
        if (q != SmallQuotient(n2, d2)) break;
        int64_t t = A - q * C;
        A = C;
        C = t;
        t = B - q * D;
        B = D;
        D = t;
        t = ah - q * bh;
        ah = bh;
        bh = t;
        ++steps;
    }
    *x0 = A;
    *y0 = B;
    *x1 = C;
    *y1 = D;
    return steps;
}

/// New remainder p*U + q*V for signed single-word p, q of opposite signs.
inline int Combine(u64* out, const u64* U, int64_t p, const u64* V, int64_t q, int n) {
    if (q <= 0) return MulSub(out, U, static_cast<u64>(p), V, static_cast<u64>(-q), n);
    return MulSub(out, V, static_cast<u64>(q), U, static_cast<u64>(-p), n);
}

inline u64 AbsWord(int64_t v) { return v < 0 ? 0 - static_cast<u64>(v) : static_cast<u64>(v); }

}  // namespace

int Gcd(u64* g, const u64* a, int an, const u64* b, int bn) {
    u64 U[WORDS + 1], R[WORDS + 1] = {}, T1[WORDS + 1], T2[WORDS + 1];
    Copy(U, a, an);
    Copy(R, b, bn);
    Zero(R + bn, an - bn + 1);
    int un = an, rn = bn;
    while (rn > 1) {
        int64_t x0, y0, x1, y1;
        if (LehmerMatrix(U, un, R, rn, &x0, &y0, &x1, &y1) == 0 || y0 == 0) {
            DivRem(nullptr, T1, U, un, R, rn);
            Copy(U, R, rn);
            un = rn;
            rn = Norm(T1, rn);
            Copy(R, T1, rn);
            Zero(R + rn, un - rn + 1);
            continue;
        }
        const int n1 = Combine(T1, U, x0, R, y0, un);
        const int n2 = Combine(T2, U, x1, R, y1, un);
        Copy(U, T1, n1);
        un = n1;
        Copy(R, T2, n2);
        rn = n2;
        Zero(R + rn, un - rn + 1);
    }
    if (rn == 0) {
        Copy(g, U, un);
        return un;
    }
    // One word left: a remainder, then the binary method (shifts and
    // subtractions instead of a divide per step).
    u64 x = R[0];
    u64 y = Mod1(U, un, x);
    if (y != 0) {
        const int shift = std::countr_zero(x | y);
        x >>= std::countr_zero(x);
        do {
            y >>= std::countr_zero(y);
            if (x > y) std::swap(x, y);
            y -= x;
        } while (y != 0);
        x <<= shift;
    }
    g[0] = x;
    return 1;
}

int GcdExt(u64* g, u64* cof, int* cofn, bool* negative, const u64* u0, int u0n, const u64* r0, int r0n) {
    u64 U[WORDS + 1], R[WORDS + 1] = {}, T1[WORDS + 2], T2[WORDS + 2];
    u64 bufU[WORDS + 2] = {}, bufR[WORDS + 2] = {}, Q[WORDS + 1], P[WORDS2 + 2];
    // Cofactor magnitudes relative to |x|, zero padded to cn words: u's is
    // 0, r's is 1, one step done.
    u64* CU = bufU;
    u64* CR = bufR;
    CR[0] = 1;
    int cn = 1;
    int steps = 1;
    Copy(U, u0, u0n);
    Copy(R, r0, r0n);
    int un = u0n, rn = r0n;
    while (rn > 0) {
        if (un == 1) {
            // Both remainders fit one word: plain steps, cofactors by one
            // multiply-accumulate each.
            u64 u = U[0], r = R[0];
            while (r != 0) {
                const u64 q = u / r;
                const u64 t = u - q * r;
                u = r;
                r = t;
                const u64 c = AddMul1(CU, CR, cn, q);  // cu + q * cr
                if (c) {
                    CU[cn] = c;
                    CR[cn] = 0;
                    ++cn;
                }
                std::swap(CU, CR);
                ++steps;
            }
            U[0] = u;
            break;
        }
        int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        const int k = rn > 1 ? LehmerMatrix(U, un, R, rn, &x0, &y0, &x1, &y1) : 0;
        if (k == 0 || y0 == 0) {
            // One exact step by a full division: new cr = cu + q * cr.
            DivRem(Q, T1, U, un, R, rn);
            const int qn = Norm(Q, un - rn + 1);
            const int crn = Norm(CR, cn);
            int pn = 0;
            if (qn > 0 && crn > 0) {
                if (qn >= crn)
                    Mul(P, Q, qn, CR, crn);
                else
                    Mul(P, CR, crn, Q, qn);
                pn = qn + crn;
            }
            int nn = (pn > cn ? pn : cn) + 1;
            Zero(P + pn, nn - pn);
            u64 carry = AddN(P, P, CU, cn);
            for (int i = cn; carry && i < nn; ++i) {
                const u64 sum = P[i] + carry;
                carry = sum < carry;
                P[i] = sum;
            }
            nn = Norm(P, nn);
            if (nn < cn) nn = cn;
            Copy(CU, CR, cn);
            Zero(CU + cn, nn - cn);
            Copy(CR, P, nn);
            cn = nn;
            Copy(U, R, rn);
            un = rn;
            rn = Norm(T1, rn);
            Copy(R, T1, rn);
            Zero(R + rn, un - rn + 1);
            ++steps;
            continue;
        }
        const int n1 = Combine(T1, U, x0, R, y0, un);
        const int n2 = Combine(T2, U, x1, R, y1, un);
        Copy(U, T1, n1);
        un = n1;
        Copy(R, T2, n2);
        rn = n2;
        Zero(R + rn, un - rn + 1);
        // Cofactors: the products of a step matrix row with the pair have
        // equal signs, so the magnitudes add. Both results have cn + 1 words.
        const int m1 = MulAdd(T1, CU, AbsWord(x0), CR, AbsWord(y0), cn);
        const int m2 = MulAdd(T2, CU, AbsWord(x1), CR, AbsWord(y1), cn);
        int nc = m1 > m2 ? m1 : m2;
        if (nc < cn) nc = cn;
        Copy(CU, T1, nc);
        Copy(CR, T2, nc);
        cn = nc;
        steps += k;
    }
    Copy(g, U, un);
    *cofn = Norm(CU, cn);
    Copy(cof, CU, *cofn);
    *negative = (steps & 1) != 0;
    return un;
}

}  // namespace kw
