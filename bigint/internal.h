#pragma once
// Private helpers shared by the BigInt implementation files: moving a
// magnitude between the stored 16-bit limbs and 64-bit words, the
// diagnostic lines, and small predicates on the stored form.

#include <algorithm>
#include <cstdio>

#include "bigint/bigint.h"
#include "bigint/words.h"

namespace kw {

/// A magnitude in words, normalised.
struct Mag {
    u64 w[WORDS];
    int n;
};

/// Words of x's limbs 0..top (the limbs a stored value is read by); w has
/// room for WORDS words.
inline void Load(const BigInt& x, u64* w, int* n) {
    int t = x.top;
    if (t < 0) t = 0;
    if (t > BIGINT_LIMBS - 1) t = BIGINT_LIMBS - 1;  // a top set out of range reads no further
    // Only the words in use, by 8-byte loads at the offsets StoreRaw writes
    // (so a value just stored is forwarded, not re-read from memory). Words
    // 0..24 lie inside the 202 limb bytes; word 25 holds only limb 100.
    const auto* src = reinterpret_cast<const unsigned char*>(x.limbs);
    const int nw = t / 4 + 1;
    const int full = nw < 25 ? nw : 25;
    for (int i = 0; i < full; ++i) std::memcpy(&w[i], src + 8 * i, 8);
    if (nw == 26) w[25] = x.limbs[100];
    const int bits = (t % 4 + 1) * 16;
    if (bits < 64) w[nw - 1] &= (u64{1} << bits) - 1;
    *n = Norm(w, nw);
}

inline Mag Load(const BigInt& x) {
    Mag m;
    Load(x, m.w, &m.n);
    return m;
}

/// Writes the low 1616 bits of w[0..n) into x's limbs; top 0.
inline void StoreRaw(BigInt& x, const u64* w, int n) {
    auto* dst = reinterpret_cast<unsigned char*>(x.limbs);
    const int full = n < 25 ? n : 25;
    for (int i = 0; i < full; ++i) std::memcpy(dst + 8 * i, &w[i], 8);
    const u64 zero = 0;
    for (int i = full; i < 25; ++i) std::memcpy(dst + 8 * i, &zero, 8);
    x.limbs[100] = n > 25 ? static_cast<uint16_t>(w[25]) : 0;
    x.top = 0;
}

/// Writes a normalised magnitude below 2^1616 into x's limbs and top.
/// status and sign are left alone.
inline void Store(BigInt& x, const u64* w, int n) {
    StoreRaw(x, w, n);
    x.top = static_cast<int8_t>(n == 0 ? 0 : (BitLen(w, n) - 1) / 16);
}

/// top as a limb index: a top set out of range by a caller reads no further
/// than the last limb.
inline int TopIndex(const BigInt& x) { return x.top < 0 ? 0 : (x.top > BIGINT_LIMBS - 1 ? BIGINT_LIMBS - 1 : x.top); }

inline bool IsZero(const BigInt& x) { return x.top == 0 && x.limbs[0] == 0; }

/// Zero magnitude, sign 0, status 1.
inline BigInt Invalid() {
    BigInt r;
    r.status = 1;
    return r;
}

/// Writes one diagnostic line; perror appends the text for errno.
inline void Oops(const char* line) { std::perror(line); }

inline constexpr const char* OOPS_ADD = "Oops status == TRUE in +\n";
inline constexpr const char* OOPS_MUL1 = "Oops status == TRUE in *(1)\n";
inline constexpr const char* OOPS_MUL2 = "Oops status == TRUE in *(2)\n";
inline constexpr const char* OOPS_SHL1 = "Oops status == TRUE in <<(1)\n";
inline constexpr const char* OOPS_SHL2 = "Oops status == TRUE in <<(2)\n";
inline constexpr const char* OOPS_DIV = "Oops status == TRUE in /\n";

/// Whether the bit-by-bit long division of a by b (a >= b > 0) meets a
/// trial shift of the divisor beyond the last limb: the largest b * 2^j not
/// above a then has 1616 bits.
inline bool LongDivisionOverflowsTrial(const u64* a, int an, const u64* b, int bn) {
    if (BitLen(a, an) != BIGINT_BITS) return false;
    const int k = BIGINT_BITS - BitLen(b, bn);
    u64 t[WORDS];
    const int wshift = k / 64;
    const unsigned bshift = static_cast<unsigned>(k % 64);
    Zero(t, WORDS);
    if (bshift) {
        u64 out = LShift(t + wshift, b, bn, bshift);
        if (wshift + bn < WORDS) t[wshift + bn] = out;
    } else {
        Copy(t + wshift, b, bn);
    }
    const int tn = Norm(t, WORDS);
    return Cmp(t, tn, a, an) <= 0;
}

/// Division by a zero BigInt: the diagnostic line and the message box.
void ReportDivisionByZero();

}  // namespace kw
