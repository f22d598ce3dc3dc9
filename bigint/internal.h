#pragma once
// Private helpers shared by the BigInt implementation files: the diagnostic
// lines and small predicates on the stored form.

#include <algorithm>
#include <cstdio>

#include "bigint/bigint.h"
#include "bigint/bigint_words.h"
#include "bigint/words.h"

namespace kw {

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
