// BigInt text in radix 2..16: parsing digit chunks into words and writing
// digits by chunked division or plain bit slicing. The observable results
// (partial values on failure, overflow lines, the long-division lines of the
// largest digits) are those of the digit-by-digit definitions.

#include <array>
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

/// Digits of chunks of k digits each, k the most that fit one word: the
/// value is divided by R^k word-wise (one reciprocal for all divisions) and
/// every chunk is split by constant divisions.
template <unsigned R>
char* WriteChunkedDigits(char* out, const u64* v, int vn) {
    u64 power;
    const int k = ChunkDigits(R, &power);
    const Divisor1 divisor(power);
    u64 work[WORDS];
    u64 chunks[BIGINT_BITS / 32 + 2];
    int nchunks = 0;
    int n = vn;
    Copy(work, v, vn);
    while (n > 0) {
        chunks[nchunks++] = DivRem1(work, work, n, divisor);
        n = Norm(work, n);
    }
    char tmp[64];
    // The most significant chunk without leading zeros.
    u64 c = chunks[nchunks - 1];
    int t = 0;
    while (c) {
        tmp[t++] = DIGITS[c % R];
        c /= R;
    }
    while (t) *out++ = tmp[--t];
    for (int i = nchunks - 2; i >= 0; --i) {
        c = chunks[i];
        for (int j = k - 1; j >= 0; --j) {
            out[j] = DIGITS[c % R];
            c /= R;
        }
        out += k;
    }
    return out;
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
    switch (radix) {
        case 3: return WriteChunkedDigits<3>(out, v, vn);
        case 5: return WriteChunkedDigits<5>(out, v, vn);
        case 6: return WriteChunkedDigits<6>(out, v, vn);
        case 7: return WriteChunkedDigits<7>(out, v, vn);
        case 9: return WriteChunkedDigits<9>(out, v, vn);
        case 10: return WriteChunkedDigits<10>(out, v, vn);
        case 11: return WriteChunkedDigits<11>(out, v, vn);
        case 12: return WriteChunkedDigits<12>(out, v, vn);
        case 13: return WriteChunkedDigits<13>(out, v, vn);
        case 14: return WriteChunkedDigits<14>(out, v, vn);
        default: return WriteChunkedDigits<15>(out, v, vn);
    }
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

namespace {

/// Digit values of the 8-bit characters ("a"-"f" folded); every other
/// character gets a value no radix accepts.
constexpr std::array<uint32_t, 256> MakeDigitValues() {
    std::array<uint32_t, 256> t{};
    for (auto& x : t) x = 0xFFFFFFFFu;
    for (int c = '0'; c <= '9'; ++c) t[static_cast<size_t>(c)] = static_cast<uint32_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) t[static_cast<size_t>(c)] = static_cast<uint32_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) t[static_cast<size_t>(c)] = static_cast<uint32_t>(c - 'a' + 10);
    return t;
}
constexpr std::array<uint32_t, 256> DIGIT_VALUES = MakeDigitValues();

/// Parses the digits of p in radix R (or `runtime` when R is 0), radix >= 2,
/// into x, with the partial values and the overflow line of the
/// digit-by-digit definition. Returns 0 or 1 as FromString does.
template <unsigned R>
int ParseDigits(BigInt& x, const unsigned char* p, int negative, unsigned runtime) {
    const unsigned radix = R ? R : runtime;
    u64 power;
    const int k = ChunkDigits(radix, &power);
    u64 V[WORDS + 1];
    int vn = 0;
    for (;;) {
        // Up to k digits into one word, stopping at the first character
        // that is not a digit of this radix (the terminating NUL included).
        u64 chunk = 0, scale = 1;
        int j = 0;
        for (; j < k; ++j) {
            const uint32_t d = DIGIT_VALUES[p[j]];
            if (d >= radix) break;
            chunk = chunk * radix + d;
            scale *= radix;
        }
        if (j > 0) {
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
                // A prefix in this chunk reaches 2^1600: find it digit by
                // digit. The product by the radix never overflows (the value
                // is below 2^1600); the addition does.
                for (int i = 0;; ++i) {
                    u64 d = DIGIT_VALUES[p[i]];
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
                        StoreRaw(x, V, vn);
                        x.status = 1;
                        Oops(OOPS_ADD);
                        return 1;
                    }
                }
            }
            Copy(V, T, tn);
            vn = tn;
        }
        p += j;
        if (j < k) break;
    }
    Store(x, V, vn);
    if (*p != 0) {
        // The failing character's step multiplied by the radix first.
        x = x * static_cast<int>(radix);
        return 1;
    }
    x.sign = negative;
    return 0;
}

}  // namespace

int BigInt::FromString(const char* text, uint16_t radix) {
    *this = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    int negative = 0;
    if (*p == '-') {
        negative = 1;
        ++p;
    }
    if (radix <= 1) {
        // Radix 0 accepts no digit, radix 1 only zeros; the value stays 0.
        while (*p != 0 && DIGIT_VALUES[*p] < radix) ++p;
        if (*p != 0) return 1;  // 0 times the radix is 0
        sign = negative;
        return 0;
    }
    switch (radix) {
        case 2: return ParseDigits<2>(*this, p, negative, radix);
        case 8: return ParseDigits<8>(*this, p, negative, radix);
        case 10: return ParseDigits<10>(*this, p, negative, radix);
        case 16: return ParseDigits<16>(*this, p, negative, radix);
        default: return ParseDigits<0>(*this, p, negative, radix);
    }
}
