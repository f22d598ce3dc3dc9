#pragma once
// Montgomery arithmetic modulo an odd n below 2^800 on the 64-bit words in
// use, for the rho walk: a step there is a few products of short numbers, and
// working in place on words avoids converting a whole BigInt per operation.
// Values are kept in [0, n) in Montgomery form (x R mod n, R = 2^(64 k)).

#include <cstdint>

#include "bigint/bigint.h"

class MontgomeryModulus {
public:
    static constexpr int MAX_WORDS = 13;
    using Words = uint64_t[MAX_WORDS];

    /// n must be odd, valid and below 2^800 (so that (R mod n)^2 fits a BigInt).
    explicit MontgomeryModulus(const BigInt& n) {
        ToWords(n, m_n);
        m_k = 1;
        for (int i = 0; i < MAX_WORDS; ++i) {
            if (m_n[i] != 0) m_k = i + 1;
        }
        // -n^-1 mod 2^64 by Newton's iteration (each step doubles the good bits).
        uint64_t inv = m_n[0];
        for (int i = 0; i < 6; ++i) inv *= 2 - m_n[0] * inv;
        m_nInv = 0 - inv;
        // R mod n and R^2 mod n; R mod n < n < 2^800 so its square fits a BigInt.
        BigInt r;
        r.SetLimb(1, 4 * m_k);
        r.SetTop(4 * m_k);
        const BigInt rModN = r % n;
        ToWords((rModN * rModN) % n, m_r2);
    }

    int Size() const { return m_k; }

    /// out = a b R^-1 mod n for a, b in [0, n); out may alias a or b.
    void Mul(const uint64_t* a, const uint64_t* b, uint64_t* out) const {
        // One fully unrolled kernel per word count.
        switch (m_k) {
            case 1: return MulFixed<1>(a, b, out);
            case 2: return MulFixed<2>(a, b, out);
            case 3: return MulFixed<3>(a, b, out);
            case 4: return MulFixed<4>(a, b, out);
            case 5: return MulFixed<5>(a, b, out);
            case 6: return MulFixed<6>(a, b, out);
            case 7: return MulFixed<7>(a, b, out);
            case 8: return MulFixed<8>(a, b, out);
            case 9: return MulFixed<9>(a, b, out);
            case 10: return MulFixed<10>(a, b, out);
            case 11: return MulFixed<11>(a, b, out);
            case 12: return MulFixed<12>(a, b, out);
            default: return MulFixed<13>(a, b, out);
        }
    }

    /// out = a^2 R^-1 mod n for a in [0, n); out may alias a.
    void Sqr(const uint64_t* a, uint64_t* out) const {
        switch (m_k) {
            case 1: return MulFixed<1>(a, a, out);
            case 2: return SqrFixed<2>(a, out);
            case 3: return SqrFixed<3>(a, out);
            case 4: return SqrFixed<4>(a, out);
            case 5: return SqrFixed<5>(a, out);
            case 6: return SqrFixed<6>(a, out);
            case 7: return SqrFixed<7>(a, out);
            case 8: return SqrFixed<8>(a, out);
            case 9: return SqrFixed<9>(a, out);
            case 10: return SqrFixed<10>(a, out);
            case 11: return SqrFixed<11>(a, out);
            case 12: return SqrFixed<12>(a, out);
            default: return SqrFixed<13>(a, out);
        }
    }

    /// out = (a + b) mod n for a, b in [0, n).
    void Add(const uint64_t* a, const uint64_t* b, uint64_t* out) const {
        const int k = m_k;
        unsigned __int128 carry = 0;
        for (int j = 0; j < k; ++j) {
            carry += static_cast<unsigned __int128>(a[j]) + b[j];
            out[j] = static_cast<uint64_t>(carry);
            carry >>= 64;
        }
        if (carry != 0 || !Less(out, m_n, k)) Subtract(out, m_n, out, k);
    }

    /// out = (a - b) mod n for a, b in [0, n).
    void Sub(const uint64_t* a, const uint64_t* b, uint64_t* out) const {
        const int k = m_k;
        if (Subtract(a, b, out, k)) {
            unsigned __int128 carry = 0;
            for (int j = 0; j < k; ++j) {
                carry += static_cast<unsigned __int128>(out[j]) + m_n[j];
                out[j] = static_cast<uint64_t>(carry);
                carry >>= 64;
            }
        }
    }

    /// The Montgomery form of x mod n, for a valid x >= 0.
    void FromBigInt(const BigInt& x, uint64_t* out) const {
        Words w;
        const BigInt reduced = x % ToBigInt(m_n);
        ToWords(reduced, w);
        Mul(w, m_r2, out);
    }

    /// The plain words of a value as a BigInt (no conversion out of Montgomery form).
    static BigInt ToBigInt(const uint64_t* words) {
        BigInt r;
        int top = 0;
        for (int i = 0; i < MAX_WORDS * 4 && i < BIGINT_LIMBS; ++i) {
            const int limb = static_cast<int>((words[i / 4] >> (16 * (i % 4))) & 0xFFFF);
            r.SetLimb(limb, i);
            if (limb != 0) top = i;
        }
        r.SetTop(top);
        return r;
    }

private:
    // Coarsely integrated operand scanning: one multiplication row, then one
    // reduction row that divides by 2^64, k times.
    template <int K>
    void MulFixed(const uint64_t* a, const uint64_t* b, uint64_t* out) const {
        uint64_t t[K + 2] = {};
        for (int i = 0; i < K; ++i) {
            unsigned __int128 carry = 0;
            const uint64_t ai = a[i];
            for (int j = 0; j < K; ++j) {
                carry += static_cast<unsigned __int128>(ai) * b[j] + t[j];
                t[j] = static_cast<uint64_t>(carry);
                carry >>= 64;
            }
            carry += t[K];
            t[K] = static_cast<uint64_t>(carry);
            t[K + 1] = static_cast<uint64_t>(carry >> 64);

            const uint64_t m = t[0] * m_nInv;
            carry = static_cast<unsigned __int128>(m) * m_n[0] + t[0];
            carry >>= 64;
            for (int j = 1; j < K; ++j) {
                carry += static_cast<unsigned __int128>(m) * m_n[j] + t[j];
                t[j - 1] = static_cast<uint64_t>(carry);
                carry >>= 64;
            }
            carry += t[K];
            t[K - 1] = static_cast<uint64_t>(carry);
            t[K] = t[K + 1] + static_cast<uint64_t>(carry >> 64);
        }
        // t < 2n: one conditional subtraction.
        if (t[K] != 0 || !Less(t, m_n, K)) Subtract(t, m_n, t, K);
        for (int j = 0; j < K; ++j) out[j] = t[j];
    }

    // The square in 2K words (each cross product once, doubled, plus the
    // diagonal), then K reduction rows.
    template <int K>
    void SqrFixed(const uint64_t* a, uint64_t* out) const {
        uint64_t t[2 * K + 1] = {};
        for (int i = 0; i < K; ++i) {
            unsigned __int128 carry = 0;
            for (int j = i + 1; j < K; ++j) {
                carry += static_cast<unsigned __int128>(a[i]) * a[j] + t[i + j];
                t[i + j] = static_cast<uint64_t>(carry);
                carry >>= 64;
            }
            t[i + K] = static_cast<uint64_t>(carry);
        }
        // Double the cross products.
        uint64_t top = 0;
        for (int j = 0; j < 2 * K; ++j) {
            const uint64_t next = t[j] >> 63;
            t[j] = (t[j] << 1) | top;
            top = next;
        }
        // Add the diagonal.
        unsigned __int128 carry = 0;
        for (int i = 0; i < K; ++i) {
            const unsigned __int128 sq = static_cast<unsigned __int128>(a[i]) * a[i];
            carry += static_cast<unsigned __int128>(t[2 * i]) + static_cast<uint64_t>(sq);
            t[2 * i] = static_cast<uint64_t>(carry);
            carry >>= 64;
            carry += static_cast<unsigned __int128>(t[2 * i + 1]) + static_cast<uint64_t>(sq >> 64);
            t[2 * i + 1] = static_cast<uint64_t>(carry);
            carry >>= 64;
        }
        // Reduction: clear the low K words one at a time.
        uint64_t extra = 0;  // carry out of word 2K
        for (int i = 0; i < K; ++i) {
            const uint64_t m = t[i] * m_nInv;
            unsigned __int128 c = 0;
            for (int j = 0; j < K; ++j) {
                c += static_cast<unsigned __int128>(m) * m_n[j] + t[i + j];
                t[i + j] = static_cast<uint64_t>(c);
                c >>= 64;
            }
            for (int j = i + K; j < 2 * K && c != 0; ++j) {
                c += t[j];
                t[j] = static_cast<uint64_t>(c);
                c >>= 64;
            }
            extra += static_cast<uint64_t>(c);
        }
        uint64_t* r = t + K;
        if (extra != 0 || !Less(r, m_n, K)) Subtract(r, m_n, r, K);
        for (int j = 0; j < K; ++j) out[j] = r[j];
    }

    static void ToWords(const BigInt& x, uint64_t* out) {
        for (int i = 0; i < MAX_WORDS; ++i) out[i] = 0;
        for (int i = 0; i <= x.GetTop() && i < MAX_WORDS * 4; ++i) {
            out[i / 4] |= static_cast<uint64_t>(x.GetLimb(i)) << (16 * (i % 4));
        }
    }
    static bool Less(const uint64_t* a, const uint64_t* b, int k) {
        for (int j = k - 1; j >= 0; --j) {
            if (a[j] != b[j]) return a[j] < b[j];
        }
        return false;
    }
    // out = a - b over k words; returns the borrow.
    static bool Subtract(const uint64_t* a, const uint64_t* b, uint64_t* out, int k) {
        uint64_t borrow = 0;
        for (int j = 0; j < k; ++j) {
            const uint64_t d = a[j] - b[j];
            const uint64_t borrowOut = (a[j] < b[j]) | (d < borrow);
            out[j] = d - borrow;
            borrow = borrowOut;
        }
        return borrow != 0;
    }

    int m_k = 1;
    Words m_n = {};
    Words m_r2 = {};
    uint64_t m_nInv = 0;
};
