// Montgomery multiplication with one kernel per word count, plain residues
// for even moduli, and the sliding-window power on top of both.

#include "bigint/montgomery.h"

#include <utility>

namespace kw {

namespace {

/// m0^-1 mod 2^64 for odd m0 by Newton's iteration (each step doubles the
/// correct low bits; m0 itself is correct to 3 bits).
inline u64 InverseWord(u64 m0) {
    u64 x = m0;
    for (int i = 0; i < 5; ++i) x *= 2 - m0 * x;
    return x;
}

/// Three-way comparison of two arrays of the same length n.
inline int CmpN(const u64* a, const u64* b, int n) {
    for (int i = n - 1; i >= 0; --i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

/// r = a mod m for a[0..an), an <= WORDS2; r has m's n words.
void Residue(u64* r, const u64* a, int an, const u64* m, int n) {
    an = Norm(a, an);
    if (an < n || (an == n && CmpN(a, m, n) < 0)) {
        Copy(r, a, an);
        Zero(r + an, n - an);
        return;
    }
    DivRem(nullptr, r, a, an, m, n);
}

}  // namespace

// A 192-bit column accumulator of the product-scanning kernels.
struct Column {
    u64 c0 = 0, c1 = 0, c2 = 0;
};

/// s += x y.
inline void MulAcc(Column& s, u64 x, u64 y) {
    const u128 p = static_cast<u128>(x) * y;
#if defined(__x86_64__)
    // One add and two add-with-carries: the compiler does not keep a carry
    // chain through 128-bit sums on its own.
    __asm__("add %3, %0\n\tadc %4, %1\n\tadc $0, %2"
            : "+r"(s.c0), "+r"(s.c1), "+r"(s.c2)
            : "r"(static_cast<u64>(p)), "r"(static_cast<u64>(p >> 64))
            : "cc");
#else
    const u128 low = static_cast<u128>(s.c0) + static_cast<u64>(p);
    const u128 high = static_cast<u128>(s.c1) + static_cast<u64>(p >> 64) + static_cast<u64>(low >> 64);
    s.c0 = static_cast<u64>(low);
    s.c1 = static_cast<u64>(high);
    s.c2 += static_cast<u64>(high >> 64);
#endif
}

/// s += 2 x for a column x of cross products.
inline void AddTwice(Column& s, const Column& x) {
#if defined(__x86_64__)
    __asm__("add %3, %0\n\tadc %4, %1\n\tadc %5, %2\n\t"
            "add %3, %0\n\tadc %4, %1\n\tadc %5, %2"
            : "+r"(s.c0), "+r"(s.c1), "+r"(s.c2)
            : "r"(x.c0), "r"(x.c1), "r"(x.c2)
            : "cc");
#else
    for (int i = 0; i < 2; ++i) {
        const u128 low = static_cast<u128>(s.c0) + x.c0;
        const u128 high = static_cast<u128>(s.c1) + x.c1 + static_cast<u64>(low >> 64);
        s.c0 = static_cast<u64>(low);
        s.c1 = static_cast<u64>(high);
        s.c2 += x.c2 + static_cast<u64>(high >> 64);
    }
#endif
}

// Odd moduli: product scanning with the reduction interleaved (Koç's
// "finely integrated product scanning"). Column k of the result collects
// every a[i] b[k-i] in one accumulator and every q[i] m[k-i] in a second
// (two independent carry chains), then the low word of the columns below K
// fixes the next reduction word q[k]. The word count is a template
// parameter: each kernel is fully unrolled, with its operands in registers.
// FIXED = 0 reads the word count from the modulus at run time: one compact
// kernel for every size, which sanitizer builds use (instrumenting 26 fully
// unrolled kernels takes the compiler minutes).
template <int FIXED>
struct MontgomeryKernels {
    static constexpr int MAX = FIXED > 0 ? FIXED : WORDS;
    static int Words(const Montgomery& M) {
        if constexpr (FIXED > 0) {
            return FIXED;
        } else {
            return M.n_;
        }
    }

    /// Ends column k below K: chooses q[k] so that the column's low word
    /// vanishes, and moves both accumulators down one word.
    static inline void EndLowColumn(Column& c, Column& d, u64* q, int k, const u64* m, u64 minv) {
        q[k] = (c.c0 + d.c0) * minv;
        MulAcc(d, q[k], m[0]);
        // c0 + d0 is now 0 mod 2^64: it carried exactly when c0 was not 0.
        const u64 carry = c.c0 != 0;
        c = {c.c1, c.c2, 0};
        const u64 d1 = d.c1 + carry;
        d = {d1, d.c2 + (d1 < carry), 0};
    }

    /// Ends column k from K on: writes its word of the result.
    static inline void EndHighColumn(Column& c, Column& d, u64* r) {
        const u64 w = c.c0 + d.c0;
        const u64 carry = w < c.c0;
        *r = w;
        c = {c.c1, c.c2, 0};
        const u64 d1 = d.c1 + carry;
        d = {d1, d.c2 + (d1 < carry), 0};
    }

    /// r = t - m when t (with its carry word) is not below m. t < 2m.
    static inline void Finish(u64* r, u64 top, const u64* m, int K) {
        if (top != 0 || CmpN(r, m, K) >= 0) SubN(r, r, m, K);
    }

    static void Mul(const Montgomery& M, u64* r, const u64* a, const u64* b) {
        const int K = Words(M);
        const u64* m = M.m_;
        const u64 minv = M.minv_;
        u64 q[MAX];
        Column c, d;
#pragma GCC unroll 32
        for (int k = 0; k < K; ++k) {
#pragma GCC unroll 32
            for (int j = 0; j < k; ++j) {
                MulAcc(c, a[j], b[k - j]);
                MulAcc(d, q[j], m[k - j]);
            }
            MulAcc(c, a[k], b[0]);
            EndLowColumn(c, d, q, k, m, minv);
        }
        // Reads in column k touch indices from k - K + 1 on; the result
        // words written before it end at k - K - 1, so r may alias a or b.
#pragma GCC unroll 32
        for (int k = K; k < 2 * K - 1; ++k) {
#pragma GCC unroll 32
            for (int j = k - K + 1; j < K; ++j) {
                MulAcc(c, a[j], b[k - j]);
                MulAcc(d, q[j], m[k - j]);
            }
            EndHighColumn(c, d, &r[k - K]);
        }
        EndHighColumn(c, d, &r[K - 1]);
        Finish(r, c.c0 + d.c0, m, K);
    }

    static void Sqr(const Montgomery& M, u64* r, const u64* a) {
        const int K = Words(M);
        if (K < 3) {
            Mul(M, r, a, a);
        } else {
            const u64* m = M.m_;
            const u64 minv = M.minv_;
            u64 q[MAX];
            Column c, d;
#pragma GCC unroll 32
            for (int k = 0; k < K; ++k) {
                Column x;
#pragma GCC unroll 32
                for (int j = 0; j < k - j; ++j) MulAcc(x, a[j], a[k - j]);
                AddTwice(c, x);
                if (k % 2 == 0) MulAcc(c, a[k / 2], a[k / 2]);
#pragma GCC unroll 32
                for (int j = 0; j < k; ++j) MulAcc(d, q[j], m[k - j]);
                EndLowColumn(c, d, q, k, m, minv);
            }
#pragma GCC unroll 32
            for (int k = K; k < 2 * K - 1; ++k) {
                Column x;
#pragma GCC unroll 32
                for (int j = k - K + 1; j < k - j; ++j) MulAcc(x, a[j], a[k - j]);
                AddTwice(c, x);
                if (k % 2 == 0) MulAcc(c, a[k / 2], a[k / 2]);
#pragma GCC unroll 32
                for (int j = k - K + 1; j < K; ++j) MulAcc(d, q[j], m[k - j]);
                EndHighColumn(c, d, &r[k - K]);
            }
            EndHighColumn(c, d, &r[K - 1]);
            Finish(r, c.c0 + d.c0, m, K);
        }
    }
};

// Even moduli: plain residues, each product reduced by long division.
struct PlainKernels {
    static void Mul(const Montgomery& M, u64* r, const u64* a, const u64* b) {
        u64 T[WORDS2];
        kw::Mul(T, a, M.n_, b, M.n_);
        Residue(r, T, 2 * M.n_, M.m_, M.n_);
    }
    static void Sqr(const Montgomery& M, u64* r, const u64* a) {
        u64 T[WORDS2];
        kw::Sqr(T, a, M.n_);
        Residue(r, T, 2 * M.n_, M.m_, M.n_);
    }
};

namespace {

#if defined(KALVORA_COMPACT_KERNELS)
template <int... K>
struct KernelTable {
    static constexpr void (*MUL[])(const Montgomery&, u64*, const u64*, const u64*) = {
        (static_cast<void>(K), &MontgomeryKernels<0>::Mul)...};
    static constexpr void (*SQR[])(const Montgomery&, u64*, const u64*) = {
        (static_cast<void>(K), &MontgomeryKernels<0>::Sqr)...};
};
#else
template <int... K>
struct KernelTable {
    static constexpr void (*MUL[])(const Montgomery&, u64*, const u64*, const u64*) = {
        &MontgomeryKernels<K + 1>::Mul...};
    static constexpr void (*SQR[])(const Montgomery&, u64*, const u64*) = {&MontgomeryKernels<K + 1>::Sqr...};
};
#endif

template <int... I>
constexpr auto MakeTable(std::integer_sequence<int, I...>) {
    return KernelTable<I...>{};
}

using Kernels = decltype(MakeTable(std::make_integer_sequence<int, WORDS>{}));

}  // namespace

Montgomery::Montgomery(const u64* m, int n) : n_(n) {
    Copy(m_, m, n);
    if (m[0] & 1) {
        minv_ = 0 - InverseWord(m[0]);
        mul_ = Kernels::MUL[n - 1];
        sqr_ = Kernels::SQR[n - 1];
        // R mod m and R^2 mod m by long division of powers of two.
        u64 p[WORDS2 + 1];
        Zero(p, 2 * n + 1);
        p[n] = 1;
        Residue(one_, p, n + 1, m_, n);
        p[n] = 0;
        p[2 * n] = 1;
        DivRem(nullptr, r2_, p, 2 * n + 1, m_, n);
    } else {
        minv_ = 0;
        mul_ = &PlainKernels::Mul;
        sqr_ = &PlainKernels::Sqr;
        one_[0] = 1;
    }
}

void Montgomery::Add(u64* r, const u64* a, const u64* b) const {
    const u64 c = AddN(r, a, b, n_);
    if (c || CmpN(r, m_, n_) >= 0) SubN(r, r, m_, n_);
}

void Montgomery::Sub(u64* r, const u64* a, const u64* b) const {
    if (SubN(r, a, b, n_)) AddN(r, r, m_, n_);
}

void Montgomery::To(u64* r, const u64* a, int an) const {
    u64 t[WORDS];
    Residue(t, a, an, m_, n_);
    if (IsMontgomery())
        Mul(r, t, r2_);
    else
        Copy(r, t, n_);
}

void Montgomery::From(u64* r, const u64* a) const {
    if (!IsMontgomery()) {
        Copy(r, a, n_);
        return;
    }
    u64 one[WORDS] = {1};
    Mul(r, a, one);
}

void Montgomery::Pow(u64* r, const u64* a, const u64* e, int ebits) const {
    auto bit = [e](int i) { return static_cast<int>((e[i / 64] >> (i % 64)) & 1); };
    const int k = ebits > 600 ? 5 : ebits > 200 ? 4 : ebits > 40 ? 3 : ebits > 8 ? 2 : 1;
    u64 table[16][WORDS];  // a^1, a^3, ..., a^(2^k - 1)
    Copy(table[0], a, n_);
    if (k > 1) {
        u64 sq[WORDS];
        Sqr(sq, a);
        for (int i = 1; i < (1 << (k - 1)); ++i) Mul(table[i], table[i - 1], sq);
    }
    u64 x[WORDS];
    Copy(x, one_, n_);
    bool started = false;
    int i = ebits - 1;
    while (i >= 0) {
        if (!bit(i)) {
            Sqr(x, x);
            --i;
            continue;
        }
        // The longest window i..j of at most k bits that ends in a set bit.
        int j = i - k + 1 < 0 ? 0 : i - k + 1;
        while (!bit(j)) ++j;
        unsigned val = 0;
        for (int b = i; b >= j; --b) val = (val << 1) | static_cast<unsigned>(bit(b));
        if (started) {
            for (int b = i; b >= j; --b) Sqr(x, x);
            Mul(x, x, table[val >> 1]);
        } else {
            Copy(x, table[val >> 1], n_);
            started = true;
        }
        i = j - 1;
    }
    Copy(r, x, n_);
}

}  // namespace kw
