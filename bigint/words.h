#pragma once
// Word-level kernels behind BigInt, in namespace kw ("kernel words"): BigInt
// stores 101 limbs of 16 bits, but every operation loads the limbs in use
// into 64-bit words (bigint_words.h), computes there with these kernels
// (word_algorithms.h, montgomery.h on top) and stores the result once.
//
// A magnitude is a little-endian array of 64-bit words with an explicit
// length; "normalised" means the length has no leading zero words (zero has
// length 0). Every routine works only on the words in use, never allocates
// and never throws.

#include <bit>
#include <cstdint>
#include <cstring>

namespace kw {

using u64 = std::uint64_t;
using u128 = unsigned __int128;

static_assert(std::endian::native == std::endian::little,
              "BigInt limbs are packed into words by plain byte copies");

/// Words that hold any BigInt magnitude (1664 bits >= 1616).
inline constexpr int WORDS = 26;
/// Words that hold any product of two magnitudes.
inline constexpr int WORDS2 = 2 * WORDS;

/// Length of a[0..n) without its leading zero words.
inline int Norm(const u64* a, int n) {
    while (n > 0 && a[n - 1] == 0) --n;
    return n;
}

/// Number of significant bits of a normalised a[0..n).
inline int BitLen(const u64* a, int n) {
    return n == 0 ? 0 : 64 * n - std::countl_zero(a[n - 1]);
}

/// Three-way comparison of normalised magnitudes: -1, 0 or 1.
inline int Cmp(const u64* a, int an, const u64* b, int bn) {
    if (an != bn) return an < bn ? -1 : 1;
    for (int i = an - 1; i >= 0; --i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

// Plain loops: the arrays are short, and a call or a string instruction
// costs more than the copy itself.
inline void Copy(u64* r, const u64* a, int n) {
    for (int i = 0; i < n; ++i) r[i] = a[i];
}

inline void Zero(u64* r, int n) {
    for (int i = 0; i < n; ++i) r[i] = 0;
}

/// r[0..n) = a[0..n) + b[0..n); returns the carry. r may alias a or b.
inline u64 AddN(u64* r, const u64* a, const u64* b, int n) {
    unsigned char c = 0;
    for (int i = 0; i < n; ++i) {
        // Two overflow checks make the carry chain explicit; the compiler turns
        // this into add-with-carry.
        u64 s = a[i] + c;
        unsigned char c1 = s < c;
        u64 t = s + b[i];
        c = static_cast<unsigned char>(c1 | (t < s));
        r[i] = t;
    }
    return c;
}

/// r[0..n) = a[0..n) - b[0..n); returns the borrow. r may alias a or b.
inline u64 SubN(u64* r, const u64* a, const u64* b, int n) {
    unsigned char c = 0;
    for (int i = 0; i < n; ++i) {
        u64 ai = a[i], bi = b[i];
        u64 d = ai - bi;
        unsigned char c1 = ai < bi;
        u64 e = d - c;
        c = static_cast<unsigned char>(c1 | (d < c));
        r[i] = e;
    }
    return c;
}

/// r[0..an) = a + b for an >= bn; returns the carry out of word an-1.
inline u64 Add(u64* r, const u64* a, int an, const u64* b, int bn) {
    u64 c = AddN(r, a, b, bn);
    for (int i = bn; i < an; ++i) {
        u64 s = a[i] + c;
        c = s < c;
        r[i] = s;
    }
    return c;
}

/// r[0..an) = a - b for a >= b (an >= bn).
inline void Sub(u64* r, const u64* a, int an, const u64* b, int bn) {
    u64 c = SubN(r, a, b, bn);
    for (int i = bn; i < an; ++i) {
        u64 ai = a[i];
        r[i] = ai - c;
        c = ai < c;
    }
}

/// r[0..n) = a[0..n) * m; returns the high word.
inline u64 Mul1(u64* r, const u64* a, int n, u64 m) {
    u64 c = 0;
    for (int i = 0; i < n; ++i) {
        u128 t = static_cast<u128>(a[i]) * m + c;
        r[i] = static_cast<u64>(t);
        c = static_cast<u64>(t >> 64);
    }
    return c;
}

/// Whether the processor has the two independent carry chains (ADX) and
/// the flag-free multiply (BMI2).
inline bool HasAdx() {
#if defined(__x86_64__)
    static const bool has = __builtin_cpu_supports("adx") && __builtin_cpu_supports("bmi2");
    return has;
#else
    return false;
#endif
}

/// r[0..n) += a[0..n) * m; returns the carry word.
inline u64 AddMul1(u64* r, const u64* a, int n, u64 m) {
#if defined(__x86_64__)
    if (n > 0 && HasAdx()) {
        // Two carry chains at once: CF carries the high product words along
        // (adcx), OF the sums with r (adox). mov, lea, mulx and jrcxz leave
        // both flags alone, so the loop runs without saving them. Two words
        // per pass; an odd count enters at the second half.
        u64 c = 0, lo, hi;
        const bool odd = n & 1;
        long idx = -static_cast<long>(n) - (odd ? 1 : 0);
        const u64* ae = a + n;
        u64* re = r + n;
        const u64 zero = 0;
        __asm__ volatile(
            "test %[odd], %[odd]\n\t"
            "jnz 4f\n\t"
            "test %[z], %[z]\n\t"
            "1:\n\t"
            "mulx (%[ae],%[i],8), %[lo], %[hi]\n\t"
            "adcx %[c], %[lo]\n\t"
            "adox (%[re],%[i],8), %[lo]\n\t"
            "mov %[lo], (%[re],%[i],8)\n\t"
            "2:\n\t"
            "mulx 8(%[ae],%[i],8), %[lo], %[c]\n\t"
            "adcx %[hi], %[lo]\n\t"
            "adox 8(%[re],%[i],8), %[lo]\n\t"
            "mov %[lo], 8(%[re],%[i],8)\n\t"
            "lea 2(%[i]), %[i]\n\t"
            "jrcxz 3f\n\t"
            "jmp 1b\n\t"
            "4:\n\t"
            "xor %k[hi], %k[hi]\n\t"
            "jmp 2b\n\t"
            "3:\n\t"
            "adcx %[z], %[c]\n\t"
            "adox %[z], %[c]\n\t"
            : [c] "+&r"(c), [lo] "=&r"(lo), [hi] "=&r"(hi), [i] "+c"(idx)
            : [ae] "r"(ae), [re] "r"(re), [z] "r"(zero), [odd] "r"(static_cast<u64>(odd)), "d"(m)
            : "cc", "memory");
        return c;
    }
#endif
    u64 c = 0;
    for (int i = 0; i < n; ++i) {
        u128 t = static_cast<u128>(a[i]) * m + r[i] + c;
        r[i] = static_cast<u64>(t);
        c = static_cast<u64>(t >> 64);
    }
    return c;
}

/// r[0..n) -= a[0..n) * m; returns the borrow word.
inline u64 SubMul1(u64* r, const u64* a, int n, u64 m) {
#if defined(__x86_64__)
    if (n > 0 && HasAdx()) {
        // r - L = r + ~L + 1 - 2^(64n) for the low product words L: CF
        // carries the high product words along (adcx), OF adds r to the
        // complemented words starting from a carry of one (adox). The
        // borrow is the last high word plus one minus the final OF.
        u64 c = 0, lo, hi, of;
        const bool odd = n & 1;
        long idx = -static_cast<long>(n) - (odd ? 1 : 0);
        const u64* ae = a + n;
        u64* re = r + n;
        const u64 zero = 0;
        __asm__ volatile(
            "mov $0x7fffffffffffffff, %[lo]\n\t"
            "test %[odd], %[odd]\n\t"
            "jnz 4f\n\t"
            "add $1, %[lo]\n\t"  // CF = 0, OF = 1
            "1:\n\t"
            "mulx (%[ae],%[i],8), %[lo], %[hi]\n\t"
            "adcx %[c], %[lo]\n\t"
            "not %[lo]\n\t"
            "adox (%[re],%[i],8), %[lo]\n\t"
            "mov %[lo], (%[re],%[i],8)\n\t"
            "2:\n\t"
            "mulx 8(%[ae],%[i],8), %[lo], %[c]\n\t"
            "adcx %[hi], %[lo]\n\t"
            "not %[lo]\n\t"
            "adox 8(%[re],%[i],8), %[lo]\n\t"
            "mov %[lo], 8(%[re],%[i],8)\n\t"
            "lea 2(%[i]), %[i]\n\t"
            "jrcxz 3f\n\t"
            "jmp 1b\n\t"
            "4:\n\t"
            "xor %k[hi], %k[hi]\n\t"
            "add $1, %[lo]\n\t"  // CF = 0, OF = 1
            "jmp 2b\n\t"
            "3:\n\t"
            "mov $0, %[of]\n\t"
            "adcx %[z], %[c]\n\t"
            "adox %[z], %[of]\n\t"
            : [c] "+&r"(c), [lo] "=&r"(lo), [hi] "=&r"(hi), [of] "=&r"(of), [i] "+c"(idx)
            : [ae] "r"(ae), [re] "r"(re), [z] "r"(zero), [odd] "r"(static_cast<u64>(odd)), "d"(m)
            : "cc", "memory");
        return c + 1 - of;
    }
#endif
    u64 c = 0;
    for (int i = 0; i < n; ++i) {
        u128 t = static_cast<u128>(a[i]) * m + c;
        u64 lo = static_cast<u64>(t);
        c = static_cast<u64>(t >> 64);
        u64 ri = r[i];
        r[i] = ri - lo;
        c += ri < lo;
    }
    return c;
}

/// r[0..an+bn) = a * b (schoolbook; an, bn >= 1). r must not alias a or b.
inline void Mul(u64* r, const u64* a, int an, const u64* b, int bn) {
    r[an] = Mul1(r, a, an, b[0]);
    for (int j = 1; j < bn; ++j) r[an + j] = AddMul1(r + j, a, an, b[j]);
}

/// r[0..2n) = a * a: the off-diagonal products once, doubled, plus the squares.
inline void Sqr(u64* r, const u64* a, int n) {
    if (n == 1) {
        u128 t = static_cast<u128>(a[0]) * a[0];
        r[0] = static_cast<u64>(t);
        r[1] = static_cast<u64>(t >> 64);
        return;
    }
    Zero(r, 2 * n);
    for (int i = 0; i + 1 < n; ++i) r[n + i] = AddMul1(r + 2 * i + 1, a + i + 1, n - i - 1, a[i]);
    // Double the cross products.
    u64 c = 0;
    for (int i = 0; i < 2 * n; ++i) {
        u64 v = r[i];
        r[i] = (v << 1) | c;
        c = v >> 63;
    }
    // Add the squares of the words.
    unsigned char cy = 0;
    for (int i = 0; i < n; ++i) {
        u128 t = static_cast<u128>(a[i]) * a[i];
        u64 lo = static_cast<u64>(t), hi = static_cast<u64>(t >> 64);
        u64 s = r[2 * i] + lo;
        unsigned char c1 = s < lo;
        u64 s2 = s + cy;
        c1 = static_cast<unsigned char>(c1 | (s2 < s));
        r[2 * i] = s2;
        u64 h = r[2 * i + 1] + hi;
        unsigned char c2 = h < hi;
        u64 h2 = h + c1;
        c2 = static_cast<unsigned char>(c2 | (h2 < h));
        r[2 * i + 1] = h2;
        cy = c2;
    }
}

/// r[0..n) = a[0..n) << s for 0 < s < 64; returns the bits shifted out.
inline u64 LShift(u64* r, const u64* a, int n, unsigned s) {
    u64 out = a[n - 1] >> (64 - s);
    for (int i = n - 1; i > 0; --i) r[i] = (a[i] << s) | (a[i - 1] >> (64 - s));
    r[0] = a[0] << s;
    return out;
}

/// r[0..n) = a[0..n) >> s for 0 < s < 64. r may equal a.
inline void RShift(u64* r, const u64* a, int n, unsigned s) {
    for (int i = 0; i + 1 < n; ++i) r[i] = (a[i] >> s) | (a[i + 1] << (64 - s));
    r[n - 1] = a[n - 1] >> s;
}

/// (hi:lo) / d with hi < d; the quotient fits one word.
inline u64 Div2by1(u64 hi, u64 lo, u64 d, u64* rem) {
#if defined(__x86_64__)
    // One hardware divide; the library routine for 128-bit division is far
    // slower. volatile: the divide traps on overflow, so the compiler must
    // not hoist it onto a path where hi >= d.
    u64 q, r;
    __asm__ volatile("divq %4" : "=a"(q), "=d"(r) : "a"(lo), "d"(hi), "rm"(d) : "cc");
    *rem = r;
    return q;
#else
    u128 n = (static_cast<u128>(hi) << 64) | lo;
    *rem = static_cast<u64>(n % d);
    return static_cast<u64>(n / d);
#endif
}

/// floor((2^128 - 1) / d) - 2^64 for a normalised d (top bit set): the
/// reciprocal that turns division by d into multiplications (Möller and
/// Granlund, "Improved division by invariant integers").
inline u64 Reciprocal2by1(u64 d) {
    u64 r;
    return Div2by1(~d, ~u64{0}, d, &r);
}

/// The reciprocal of the normalised two-word divisor (d1:d0).
inline u64 Reciprocal3by2(u64 d1, u64 d0) {
    u64 v = Reciprocal2by1(d1);
    u64 p = d1 * v;
    p += d0;
    if (p < d0) {
        --v;
        if (p >= d1) {
            --v;
            p -= d1;
        }
        p -= d1;
    }
    const u128 t = static_cast<u128>(v) * d0;
    const u64 t1 = static_cast<u64>(t >> 64), t0 = static_cast<u64>(t);
    p += t1;
    if (p < t1) {
        --v;
        if (p > d1 || (p == d1 && t0 >= d0)) --v;
    }
    return v;
}

/// (u1:u0) / d for u1 < d, d normalised, v its reciprocal.
inline u64 DivRem2by1(u64 u1, u64 u0, u64 d, u64 v, u64* rem) {
    u128 q = static_cast<u128>(v) * u1;
    q += (static_cast<u128>(u1) << 64) | u0;
    u64 q1 = static_cast<u64>(q >> 64) + 1;
    const u64 q0 = static_cast<u64>(q);
    u64 r = u0 - q1 * d;
    if (r > q0) {
        --q1;
        r += d;
    }
    if (r >= d) {
        ++q1;
        r -= d;
    }
    *rem = r;
    return q1;
}

/// (u2:u1:u0) / (d1:d0) for (u2:u1) < (d1:d0), the divisor normalised and v
/// its reciprocal; the remainder goes to (*r1:*r0).
inline u64 DivRem3by2(u64 u2, u64 u1, u64 u0, u64 d1, u64 d0, u64 v, u64* r1, u64* r0) {
    u128 q = static_cast<u128>(v) * u2;
    q += (static_cast<u128>(u2) << 64) | u1;
    u64 q1 = static_cast<u64>(q >> 64);
    const u64 q0 = static_cast<u64>(q);
    const u64 rr1 = u1 - q1 * d1;
    const u128 t = static_cast<u128>(d0) * q1;
    const u128 d = (static_cast<u128>(d1) << 64) | d0;
    u128 r = ((static_cast<u128>(rr1) << 64) | u0) - t - d;
    ++q1;
    if (static_cast<u64>(r >> 64) >= q0) {
        --q1;
        r += d;
    }
    if (r >= d) {
        ++q1;
        r -= d;
    }
    *r1 = static_cast<u64>(r >> 64);
    *r0 = static_cast<u64>(r);
    return q1;
}

/// A single-word divisor prepared for repeated division: shifted to have
/// its top bit set, with its reciprocal.
struct Divisor1 {
    u64 dn;
    u64 v;
    unsigned s;
    explicit Divisor1(u64 d)
        : dn(d << std::countl_zero(d)), v(Reciprocal2by1(d << std::countl_zero(d))),
          s(static_cast<unsigned>(std::countl_zero(d))) {}
};

/// q[0..n) = a[0..n) / d; returns the remainder. q may equal a.
inline u64 DivRem1(u64* q, const u64* a, int n, const Divisor1& d) {
    u64 r = 0;
    if (d.s == 0) {
        for (int i = n - 1; i >= 0; --i) q[i] = DivRem2by1(r, a[i], d.dn, d.v, &r);
        return r;
    }
    // Divide a << s by d << s: the quotient is the same, the remainder shifted.
    const unsigned s = d.s;
    r = n > 0 ? a[n - 1] >> (64 - s) : 0;
    for (int i = n - 1; i >= 0; --i) {
        const u64 w = (a[i] << s) | (i > 0 ? a[i - 1] >> (64 - s) : 0);
        q[i] = DivRem2by1(r, w, d.dn, d.v, &r);
    }
    return r >> s;
}

/// q[0..n) = a[0..n) / d (d > 0); returns the remainder. q may equal a.
inline u64 DivRem1(u64* q, const u64* a, int n, u64 d) { return DivRem1(q, a, n, Divisor1(d)); }

/// a[0..n) mod d.
inline u64 Mod1(const u64* a, int n, u64 d) {
    u64 q[WORDS2];
    return DivRem1(q, a, n, d);
}

/// Long division (Knuth's algorithm D with two-word quotient estimates):
/// a[0..an) = q * b + r with b normalised, 1 <= bn <= an <= WORDS2 + 1 (the
/// extra word: R^2 for a full-width Montgomery modulus). q receives an - bn + 1
/// words, r bn words. q or r may be null when not wanted. No aliasing with a
/// or b.
inline void DivRem(u64* q, u64* r, const u64* a, int an, const u64* b, int bn) {
    if (bn == 1) {
        u64 tmp[WORDS2 + 1];
        const u64 rem = DivRem1(q ? q : tmp, a, an, b[0]);
        if (r) r[0] = rem;
        return;
    }
    const unsigned s = static_cast<unsigned>(std::countl_zero(b[bn - 1]));
    u64 v[WORDS2];
    u64 u[WORDS2 + 2];  // a, shifted, with its carry word
    if (s) {
        LShift(v, b, bn, s);
        u[an] = LShift(u, a, an, s);
    } else {
        Copy(v, b, bn);
        Copy(u, a, an);
        u[an] = 0;
    }
    const u64 d1 = v[bn - 1], d0 = v[bn - 2];
    const u64 rec = Reciprocal3by2(d1, d0);
    for (int j = an - bn; j >= 0; --j) {
        const u64 u2 = u[j + bn], u1 = u[j + bn - 1], u0 = u[j + bn - 2];
        u64 qhat;
        if (u2 == d1 && u1 == d0) {
            // The estimate would overflow a word: it is the largest word.
            qhat = ~u64{0};
            u[j + bn] = u2 - SubMul1(u + j, v, bn, qhat);
        } else {
            u64 r1, r0;
            qhat = DivRem3by2(u2, u1, u0, d1, d0, rec, &r1, &r0);
            // The top two words are done; subtract the rest of the divisor.
            const u64 borrow = SubMul1(u + j, v, bn - 2, qhat);
            const u64 n0 = r0 - borrow;
            const u64 c0 = r0 < borrow;
            const u64 n1 = r1 - c0;
            const bool c1 = r1 < c0;
            u[j + bn - 2] = n0;
            u[j + bn - 1] = n1;
            if (c1) {
                --qhat;
                u[j + bn - 1] += d1 + AddN(u + j, u + j, v, bn - 1);
            }
        }
        if (q) q[j] = qhat;
    }
    if (r) {
        if (s)
            RShift(r, u, bn, s);
        else
            Copy(r, u, bn);
    }
}

}  // namespace kw
