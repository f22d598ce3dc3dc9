// BigInt text in radix 2..16: parsing digit chunks into words and writing
// digits by chunked division or plain bit slicing. The observable results
// (partial values on failure, overflow lines, the long-division lines of the
// largest digits) are those of the digit-by-digit definitions.

#include <cstring>

#include "bigint/bigint.h"
#include "bigint/internal.h"

using namespace kw;

/// Powers of the radix last formatted with, built when the long-division
/// check of a 1616-bit value needs them. One table per thread, so a worker
/// and the window thread format at the same time without locks.
thread_local BigInt RadixPowerCache[BIGINT_BITS];
thread_local uint16_t RadixPowerCacheRadix = 0;

namespace {

constexpr char DIGITS[] = "0123456789ABCDEF";

/// Value of a digit character (a-f folded), or -1.
inline int DigitValue(unsigned char c) {
    if (c >= 'a' && c <= 'f') c = static_cast<unsigned char>(c - 'a' + 'A');
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void BuildRadixPowers(uint16_t radix) {
    if (RadixPowerCacheRadix == radix) return;
    RadixPowerCache[0] = 1;
    for (int e = 1; e <= RADIX_MAX_EXPONENT[radix]; ++e)
        RadixPowerCache[e] = RadixPowerCache[e - 1] * static_cast<int>(radix);
    RadixPowerCacheRadix = radix;
}

/// Largest k with radix^k < 2^64, and radix^k.
inline int ChunkDigits(unsigned radix, u64* power) {
    int k = 1;
    u64 p = radix;
    while (p <= ~u64{0} / radix) {
        p *= radix;
        ++k;
    }
    *power = p;
    return k;
}

/// The divisions of the most significant digits of a 1616-bit value meet
/// dividends of 1616 bits; write the lines those long divisions write.
void ReportTopDigitDivisions(const u64* v, int vn, uint16_t radix) {
    BuildRadixPowers(radix);
    u64 cur[WORDS], rem[WORDS];
    int cn = vn;
    Copy(cur, v, vn);
    int e = RADIX_MAX_EXPONENT[radix];
    // Skip the positions whose power exceeds the value (those divisions stop at once).
    Mag p;
    for (;; --e) {
        p = Load(RadixPowerCache[e]);
        if (Cmp(p.w, p.n, cur, cn) <= 0) break;
    }
    for (; e >= 0 && BitLen(cur, cn) == BIGINT_BITS; --e) {
        p = Load(RadixPowerCache[e]);
        if (Cmp(p.w, p.n, cur, cn) > 0) continue;  // digit 0: quick return
        const bool shortcut = e == 0 || (radix == 2 && e == 1);
        if (!shortcut && LongDivisionOverflowsTrial(cur, cn, p.w, p.n)) Oops(OOPS_SHL2);
        DivRem(nullptr, rem, cur, cn, p.w, p.n);
        cn = Norm(rem, p.n);
        Copy(cur, rem, cn);
    }
}

/// Digits of a non-zero magnitude, most significant first; returns the end.
char* WriteDigits(char* out, const u64* v, int vn, unsigned radix) {
    if ((radix & (radix - 1)) == 0) {
        // A power of two: every digit is a slice of bits.
        const int bits = std::countr_zero(radix);
        const int len = BitLen(v, vn);
        const int ndig = (len + bits - 1) / bits;
        for (int d = ndig - 1; d >= 0; --d) {
            const int pos = d * bits;
            const int wi = pos / 64, bi = pos % 64;
            u64 x = v[wi] >> bi;
            if (bi + bits > 64 && wi + 1 < vn) x |= v[wi + 1] << (64 - bi);
            *out++ = DIGITS[x & (radix - 1)];
        }
        return out;
    }
    u64 power;
    const int k = ChunkDigits(radix, &power);
    u64 work[WORDS];
    u64 chunks[BIGINT_BITS / 3 + 2];
    int nchunks = 0;
    int n = vn;
    Copy(work, v, vn);
    while (n > 0) {
        chunks[nchunks++] = DivRem1(work, work, n, power);
        n = Norm(work, n);
    }
    char tmp[64];
    // The most significant chunk without leading zeros.
    u64 c = chunks[nchunks - 1];
    int t = 0;
    while (c) {
        tmp[t++] = DIGITS[c % radix];
        c /= radix;
    }
    while (t) *out++ = tmp[--t];
    for (int i = nchunks - 2; i >= 0; --i) {
        c = chunks[i];
        for (int j = k - 1; j >= 0; --j) {
            out[j] = DIGITS[c % radix];
            c /= radix;
        }
        out += k;
    }
    return out;
}

}  // namespace

char* BigInt::ToString(char* buffer, uint16_t radix) {
    const BigInt w = *this;
    if (radix < 2 || radix > 16) {
        buffer[0] = '\0';
        return buffer;
    }
    if (IsZero(*this)) sign = 0;
    // A value with status 1 makes every division fail, so no digit is written.
    if (IsZero(w) || w.status == 1) {
        buffer[0] = '0';
        buffer[1] = '\0';
        return buffer;
    }
    char* out = buffer;
    if (w.sign != 0) *out++ = '-';
    u64 v[WORDS];
    int vn;
    Load(w, v, &vn);
    if (BitLen(v, vn) == BIGINT_BITS) ReportTopDigitDivisions(v, vn, radix);
    out = WriteDigits(out, v, vn, radix);
    *out = '\0';
    return buffer;
}

int BigInt::FromString(const char* text, uint16_t radix) {
    const std::size_t n = std::strlen(text);
    *this = 0;
    std::size_t i = 0;
    int negative = 0;
    if (n > 0 && text[0] == '-') {
        negative = 1;
        i = 1;
    }
    // The digits accepted before the first character that fails.
    std::size_t bad = i;
    while (bad < n) {
        const int d = DigitValue(static_cast<unsigned char>(text[bad]));
        if (d < 0 || d >= static_cast<int>(radix)) break;
        ++bad;
    }
    u64 V[WORDS + 1];
    int vn = 0;
    if (radix >= 2) {
        u64 power;
        const int k = ChunkDigits(radix, &power);
        std::size_t p = i;
        while (p < bad) {
            const std::size_t m = bad - p < static_cast<std::size_t>(k) ? bad - p : k;
            u64 chunk = 0, scale = 1;
            for (std::size_t j = 0; j < m; ++j) {
                chunk = chunk * radix + static_cast<u64>(DigitValue(static_cast<unsigned char>(text[p + j])));
                scale *= radix;
            }
            u64 T[WORDS + 1];
            int tn = vn;
            u64 c = Mul1(T, V, vn, scale);
            if (c) T[tn++] = c;
            if (tn == 0) {
                T[0] = chunk;
                tn = chunk ? 1 : 0;
            } else {
                c = Add(T, T, tn, &chunk, 1);
                if (c) T[tn++] = c;
            }
            if (BitLen(T, tn) > 1600) {
                // Some prefix in this chunk reaches 2^1600: find it digit by digit.
                for (std::size_t j = 0;; ++j) {
                    u64 d = static_cast<u64>(DigitValue(static_cast<unsigned char>(text[p + j])));
                    c = vn ? Mul1(V, V, vn, radix) : 0;
                    if (c) V[vn++] = c;
                    if (vn == 0) {
                        V[0] = d;
                        vn = d ? 1 : 0;
                    } else {
                        c = Add(V, V, vn, &d, 1);
                        if (c) V[vn++] = c;
                    }
                    if (BitLen(V, vn) > 1600) {
                        StoreRaw(*this, V, vn);
                        status = 1;
                        Oops(OOPS_ADD);
                        return 1;
                    }
                }
            }
            Copy(V, T, tn);
            vn = tn;
            p += m;
        }
    }
    Store(*this, V, vn);
    if (bad < n) {
        // The failing character's step multiplied by the radix first.
        *this = *this * static_cast<int>(radix);
        return 1;
    }
    sign = negative;
    return 0;
}
