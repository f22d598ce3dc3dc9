#pragma once
// Montgomery arithmetic modulo an odd n below 2^832 on the 64-bit words in
// use, for the rho walk: a step there is a few products of short numbers, and
// working in place on words avoids converting a whole BigInt per operation.
// Values are kept in [0, n) in Montgomery form (x R mod n, R = 2^(64 k)).

#include <cstdint>

#include "bigint/bigint.h"

class MontgomeryModulus {
public:
    static constexpr int MAX_WORDS = 13;
    using Words = uint64_t[MAX_WORDS];

    /// n must be odd, valid and below 2^832.
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
        uint64_t t[MAX_WORDS + 2] = {};
        const int k = m_k;
        for (int i = 0; i < k; ++i) {
            unsigned __int128 carry = 0;
            const uint64_t ai = a[i];
            for (int j = 0; j < k; ++j) {
                carry += static_cast<unsigned __int128>(ai) * b[j] + t[j];
                t[j] = static_cast<uint64_t>(carry);
                carry >>= 64;
            }
            carry += t[k];
            t[k] = static_cast<uint64_t>(carry);
            t[k + 1] = static_cast<uint64_t>(carry >> 64);

            const uint64_t m = t[0] * m_nInv;
            carry = static_cast<unsigned __int128>(m) * m_n[0] + t[0];
            carry >>= 64;
            for (int j = 1; j < k; ++j) {
                carry += static_cast<unsigned __int128>(m) * m_n[j] + t[j];
                t[j - 1] = static_cast<uint64_t>(carry);
                carry >>= 64;
            }
            carry += t[k];
            t[k - 1] = static_cast<uint64_t>(carry);
            t[k] = t[k + 1] + static_cast<uint64_t>(carry >> 64);
        }
        // t < 2n: one conditional subtraction.
        if (t[k] != 0 || !Less(t, m_n, k)) {
            Subtract(t, m_n, t, k);
        }
        for (int j = 0; j < k; ++j) out[j] = t[j];
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

    /// The Montgomery form of x mod n, for a valid x >= 0 below 2^832.
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
