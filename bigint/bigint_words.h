#pragma once
// Moving a BigInt's magnitude between its stored 16-bit limbs and the
// 64-bit words the kernels (words.h, montgomery.h) compute on.

#include <cstring>

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

/// The non-negative BigInt of the magnitude w[0..n) (below 2^1616; n need
/// not be normalised).
inline BigInt FromWords(const u64* w, int n) {
    BigInt x;
    Store(x, w, Norm(w, n));
    return x;
}

}  // namespace kw
