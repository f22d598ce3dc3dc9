#pragma once
// Word-level helpers shared by the prime engine's searches (bigint/words.h):
// the gcd of a residue with the target, taken on the words. Exact for every
// width, and without the diagnostics that BigInt::Gcd repeats for operands
// of the full 1616 bits.

#include "bigint/bigint_words.h"
#include "bigint/word_algorithms.h"

/// gcd(v, m) for v[0..vn) < m[0..mn), both normalised: m itself when v is 0.
inline BigInt GcdWithTarget(const kw::u64* v, int vn, const kw::u64* m, int mn) {
    if (vn == 0) return kw::FromWords(m, mn);
    kw::u64 g[kw::WORDS];
    const int gn = kw::Gcd(g, m, mn, v, vn);
    return kw::FromWords(g, gn);
}
