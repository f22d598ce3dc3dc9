#include "tests/bigint/ref_bigint.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "bigint/message_box.h"

namespace {

constexpr int kMaxExponent[17] = {0,   0,   1615, 1019, 807, 695, 625, 575, 538,
                                  509, 486, 467,  450,  436, 424, 413, 403};

// Process-wide caches of the reference, separate from BigInt's own.
RefBigInt g_radixPowers[1616];
uint16_t g_radixPowersRadix = 0;
RefBigInt g_modCacheModulus;
RefBigInt g_modCacheTable[101];

bool IsZero(const RefBigInt& x) { return x.top == 0 && x.limbs[0] == 0; }

RefBigInt Invalid() {
    RefBigInt r;
    r.status = 1;
    return r;
}

RefBigInt Magnitude(const RefBigInt& x) {
    RefBigInt r = x;
    r.sign = 0;
    return r;
}

void DivisionByZero() {
    perror("Oops status == TRUE in /\n");
    ShowMessageBox("0で除算しました.");
}

// The sign of a bitwise result: mode 1 the operation on the signs, mode 2 the
// left operand's sign, any other mode 0.
int32_t ModeSign(int signMode, int32_t fromSigns, int32_t leftSign) {
    if (signMode == 1) return fromSigns;
    if (signMode == 2) return leftSign;
    return 0;
}

// Index 0..15 of the highest set bit of a limb; -1 for a zero limb (a base
// out of normal form, which Sqrt builds while it tries bits under a top
// limb that stays zero for a radicand with an unusual sign value).
int HighBit(uint16_t limb) {
    int k = 15;
    while (k >= 0 && ((limb >> k) & 1) == 0) --k;
    return k;
}

}  // namespace

RefBigInt::RefBigInt() : status(0), sign(0), top(0), limbs{} {}

RefBigInt::RefBigInt(int value) : RefBigInt() { *this = value; }

RefBigInt RefBigInt::operator=(int value) {
    status = 0;
    sign = value < 0 ? 1 : 0;
    uint32_t m = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    top = m >= 65536 ? 1 : 0;
    limbs[0] = static_cast<uint16_t>(m % 65536);
    limbs[1] = static_cast<uint16_t>(m / 65536);
    for (int i = 2; i <= 100; ++i) limbs[i] = 0;
    return *this;
}

int RefBigInt::ToInt() const {
    int v = (limbs[1] & 0x7FFF) * 65536 + limbs[0];
    return sign == 1 ? -v : v;
}

uint32_t RefBigInt::Low32() const { return limbs[0] + static_cast<uint32_t>(limbs[1]) * 65536u; }

int RefBigInt::CompareMagnitude(const RefBigInt& b) const {
    if (top > b.top) return 1;
    if (top < b.top) return 2;
    for (int i = top; i >= 0; --i) {
        if (limbs[i] > b.limbs[i]) return 1;
        if (limbs[i] < b.limbs[i]) return 2;
    }
    return 0;
}

int RefBigInt::operator==(const RefBigInt& b) const {
    if (status == 1 || b.status == 1) return 0;
    if (sign != b.sign) return 0;
    if (top != b.top) return 0;
    for (int i = 0; i <= top; ++i)
        if (limbs[i] != b.limbs[i]) return 0;
    return 1;
}

int RefBigInt::operator>(const RefBigInt& b) const {
    if (*this == b) return 0;
    if (sign == 0) {
        if (b.sign != 0) return 1;
        return CompareMagnitude(b) == 1;
    }
    if (b.sign == 0) return 0;
    return CompareMagnitude(b) != 1;
}

// ---------------------------------------------------------------------------
// Addition, subtraction, multiplication, shifts

RefBigInt RefBigInt::operator+(const RefBigInt& b) const {
    const RefBigInt& a = *this;
    RefBigInt r;
    if (a.status == 1 || b.status == 1) {
        r.status = 1;
        return r;
    }
    if (a.CompareMagnitude(b) == 2) return b + a;
    if (a.sign == b.sign) {
        uint32_t carry = 0;
        int i = 0;
        for (; i <= b.top; ++i) {
            uint32_t s = a.limbs[i] + b.limbs[i] + carry;
            r.limbs[i] = static_cast<uint16_t>(s % 65536);
            carry = s / 65536;
        }
        for (; carry != 0 && i <= 100; ++i) {
            uint32_t s = a.limbs[i] + carry;
            r.limbs[i] = static_cast<uint16_t>(s % 65536);
            carry = s / 65536;
        }
        for (; i <= a.top; ++i) r.limbs[i] = a.limbs[i];
        if (r.limbs[100] != 0 || carry != 0) {
            r.status = 1;
            perror("Oops status == TRUE in +\n");
            return r;
        }
        r.sign = a.sign;
        r.top = static_cast<int8_t>(a.top < 100 && r.limbs[a.top + 1] != 0 ? a.top + 1 : a.top);
    } else {
        r.sign = a.sign;
        int borrow = 0;
        for (int i = 0; i <= a.top; ++i) {
            int d = a.limbs[i] - b.limbs[i] - borrow;
            if (d < 0) {
                d += 65536;
                borrow = 1;
            } else {
                borrow = 0;
            }
            r.limbs[i] = static_cast<uint16_t>(d);
        }
        int t = a.top;
        while (t >= 1 && r.limbs[t] == 0) --t;
        r.top = static_cast<int8_t>(t);
        if (IsZero(r)) r.sign = 0;
    }
    return r;
}

RefBigInt RefBigInt::operator-(const RefBigInt& b) const {
    RefBigInt nb = b;
    nb.sign = nb.sign != 1 ? 1 : 0;
    return *this + nb;
}

RefBigInt RefBigInt::operator*(const RefBigInt& b) const {
    const RefBigInt& a = *this;
    RefBigInt r;
    if (a.status == 1 || b.status == 1) {
        r.status = 1;
        return r;
    }
    if (a.CompareMagnitude(b) == 2) return b * a;
    if (a.top + b.top > 100) {
        r.status = 1;
        perror("Oops status == TRUE in *(1)\n");
        return r;
    }
    if (IsZero(a) || IsZero(b)) return RefBigInt();
    r.sign = a.sign != b.sign ? 1 : 0;
    for (int j = 0; j <= b.top; ++j) {
        uint32_t carry = 0;
        for (int i = 0; i <= a.top; ++i) {
            uint32_t t = r.limbs[i + j] + static_cast<uint32_t>(b.limbs[j]) * a.limbs[i] + carry;
            r.limbs[i + j] = static_cast<uint16_t>(t % 65536);
            carry = t / 65536;
        }
        if (carry != 0) {
            if (j + a.top + 1 > 100) {
                r.status = 1;
                perror("Oops status == TRUE in *(2)\n");
                return r;
            }
            r.limbs[j + a.top + 1] = static_cast<uint16_t>(carry);
        }
    }
    int t = a.top + b.top + 1;
    if (t > 100) t = 100;
    if (r.limbs[t] == 0) --t;
    r.top = static_cast<int8_t>(t);
    return r;
}

RefBigInt RefBigInt::operator<<(uint16_t n) const {
    RefBigInt r = *this;
    if (r.status == 1) return r;
    int w = n / 16;
    int s = n % 16;
    if (IsZero(r)) return r;
    if (r.top + w > 100) {
        r = RefBigInt();
        r.status = 1;
        perror("Oops status == TRUE in <<(1)\n");
        return r;
    }
    if (w > 0) {
        for (int k = r.top; k >= 0; --k) r.limbs[k + w] = r.limbs[k];
        for (int k = 0; k < w; ++k) r.limbs[k] = 0;
        r.top = static_cast<int8_t>(r.top + w);
    }
    if (s > 0) {
        auto step = [&](int k) {
            r.limbs[k] = static_cast<uint16_t>(((static_cast<uint32_t>(r.limbs[k]) << s) +
                                                (r.limbs[k - 1] >> (16 - s))) %
                                               65536);
        };
        if (r.top == 100) {
            if ((static_cast<uint32_t>(r.limbs[100]) << s) >= 65536) {
                r = RefBigInt();
                r.status = 1;
                perror("Oops status == TRUE in <<(2)\n");
                return r;
            }
            for (int k = 100; k >= 1; --k) step(k);
            r.limbs[0] = static_cast<uint16_t>((static_cast<uint32_t>(r.limbs[0]) << s) % 65536);
        } else {
            r.limbs[r.top + 1] = 0;
            for (int k = r.top + 1; k >= 1; --k) step(k);
            r.limbs[0] = static_cast<uint16_t>((static_cast<uint32_t>(r.limbs[0]) << s) % 65536);
            if (r.limbs[r.top + 1] != 0) r.top = static_cast<int8_t>(r.top + 1);
        }
    }
    return r;
}

RefBigInt RefBigInt::operator>>(uint16_t n) const {
    RefBigInt r = *this;
    if (r.status == 1) return r;
    int w = n / 16;
    int s = n % 16;
    if (r.top < w) return RefBigInt();
    if (w > 0) {
        for (int k = 0; k <= r.top - w; ++k) r.limbs[k] = r.limbs[k + w];
        for (int k = r.top - w + 1; k <= r.top; ++k) r.limbs[k] = 0;
        r.top = static_cast<int8_t>(r.top - w);
    }
    if (s > 0) {
        if (r.top <= 1) {
            uint32_t v = static_cast<uint32_t>(r.limbs[1]) * 65536 + r.limbs[0];
            r.limbs[0] = static_cast<uint16_t>((v >> s) % 65536);
            r.limbs[1] = static_cast<uint16_t>(r.limbs[1] >> s);
            if (r.limbs[1] == 0) r.top = 0;
        } else {
            for (int k = 0; k <= r.top - 1; ++k) {
                uint32_t v = static_cast<uint32_t>(r.limbs[k + 1]) * 65536 + r.limbs[k];
                r.limbs[k] = static_cast<uint16_t>((v >> s) % 65536);
            }
            r.limbs[r.top] = static_cast<uint16_t>(r.limbs[r.top] >> s);
            if (r.limbs[r.top] == 0) r.top = static_cast<int8_t>(r.top - 1);
        }
    }
    return r;
}

// ---------------------------------------------------------------------------
// Division and remainder

void RefBigInt::LongDivide(const RefBigInt& a, const RefBigInt& b, RefBigInt& q, RefBigInt& rem) {
    rem = a;
    rem.sign = 0;
    RefBigInt d = b;
    d.sign = 0;
    int word = 0;
    int bit = 0;
    if (a.top != d.top) {
        word = a.top - d.top;
        d <<= static_cast<uint16_t>(16 * word);
        if (a.CompareMagnitude(d) == 2) {
            --word;
            d >>= 16;
        }
    }
    for (;;) {
        RefBigInt t = d << 1;  // may write the "<<(2)" line when d fills the last limb
        if (t.status != 0 || a.CompareMagnitude(t) == 2) break;
        ++bit;
        d = t;
    }
    for (int k = 16 * word + bit + 1; k > 0; --k) {
        if (rem.CompareMagnitude(d) != 2) {
            rem = rem - d;
            q.limbs[word] = static_cast<uint16_t>(q.limbs[word] | (1u << bit));
        }
        d >>= 1;
        if (bit == 0) {
            --word;
            bit = 15;
        } else {
            --bit;
        }
    }
}

RefBigInt RefBigInt::operator/(const RefBigInt& b) const {
    const RefBigInt& a = *this;
    RefBigInt q;
    if (a.status == 1 || b.status == 1) {
        q.status = 1;
        return q;
    }
    if (a.CompareMagnitude(b) == 2) return RefBigInt();
    if (IsZero(b)) {
        q.status = 1;
        DivisionByZero();
        return q;
    }
    if (b == 1) return a;
    if (b == 2) return a >> 1;
    RefBigInt rem;
    LongDivide(a, b, q, rem);
    int t = 100;
    while (t >= 1 && q.limbs[t] == 0) --t;
    q.top = static_cast<int8_t>(t);
    q.sign = a.sign != b.sign ? 1 : 0;
    if (IsZero(q)) q.sign = 0;
    return q;
}

RefBigInt RefBigInt::operator%(const RefBigInt& b) const {
    const RefBigInt& a = *this;
    RefBigInt r;
    if (a.status == 1 || b.status == 1) {
        r.status = 1;
        return r;
    }
    if (a.CompareMagnitude(b) == 2) return a;
    if (IsZero(b)) {
        r.status = 1;
        DivisionByZero();
        return r;
    }
    if (b == 1) return RefBigInt();
    if (b == 2) {
        if (a.limbs[0] % 2 == 1) {
            r = 1;
            r.sign = a.sign;
            return r;
        }
        return RefBigInt();
    }
    RefBigInt q;
    RefBigInt rem;
    LongDivide(a, b, q, rem);
    r = rem;
    r.sign = a.sign;
    if (IsZero(r)) r.sign = 0;
    return r;
}

// ---------------------------------------------------------------------------
// Text

int RefBigInt::FromString(const char* text, uint16_t radix) {
    size_t n = strlen(text);
    *this = 0;
    size_t i = 0;
    int negative = 0;
    if (text[0] == '-') {
        negative = 1;
        i = 1;
    }
    for (; i < n; ++i) {
        *this *= static_cast<int>(radix);
        if (status != 0) return 1;
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 'a' && c <= 'f') c = static_cast<unsigned char>(c - 'a' + 'A');
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return 1;
        int d = c - '0';
        if (d > 9) d -= 7;
        if (d >= radix) return 1;
        *this += d;
        if (status != 0) return 1;
    }
    sign = negative;
    return 0;
}

char* RefBigInt::ToString(char* buffer, uint16_t radix) {
    RefBigInt w = *this;
    if (radix < 2 || radix > 16) {
        buffer[0] = '\0';
        return buffer;
    }
    if (IsZero(*this)) sign = 0;
    const int maxE = kMaxExponent[radix];
    if (g_radixPowersRadix != radix) {
        g_radixPowers[0] = 1;
        for (int e = 1; e <= maxE; ++e) g_radixPowers[e] = g_radixPowers[e - 1] * static_cast<int>(radix);
        g_radixPowersRadix = radix;
    }
    int pos = 0;
    if (!IsZero(w) && w.sign != 0) {
        buffer[pos++] = '-';
        w.sign = 0;
    }
    bool started = false;
    for (int e = maxE; e >= 0; --e) {
        RefBigInt q = w / g_radixPowers[e];
        int d = q.limbs[0];
        if (d != 0 || started) {
            started = true;
            buffer[pos++] = static_cast<char>(d < 10 ? '0' + d : 'A' + d - 10);
            w = w - g_radixPowers[e] * q;
        }
    }
    if (!started) {
        buffer[0] = '0';
        buffer[1] = '\0';
    } else {
        buffer[pos] = '\0';
    }
    return buffer;
}

// ---------------------------------------------------------------------------
// Powers and modular arithmetic

RefBigInt RefBigInt::Power(const RefBigInt& e) const {
    const RefBigInt& b = *this;
    if (b.status == 1 || e.status == 1) return Invalid();
    if (IsZero(e)) return RefBigInt(1);
    const bool unitBase = b.top == 0 && b.limbs[0] == 1;
    auto unitPower = [&]() {
        if (b.sign == 0) return RefBigInt(1);
        return RefBigInt(e.limbs[0] % 2 == 1 ? -1 : 1);
    };
    if (e.sign == 0) {
        if (unitBase) return unitPower();
        if (!IsZero(b)) {
            // e * (L - 1) > 1615, evaluated without BigInt arithmetic (no lines).
            const int lMinus1 = 16 * b.top + HighBit(b.limbs[b.top]) - 1;
            if (lMinus1 > 0 && (e.top > 0 || static_cast<uint64_t>(e.limbs[0]) * lMinus1 > 1615))
                return Invalid();
        }
        if (e.top > 0) return IsZero(b) ? RefBigInt() : Invalid();
        RefBigInt r = 1;
        for (uint32_t mask = 0x8000; mask != 0; mask >>= 1) {
            r = r * r;
            if (r.status == 1) return Invalid();
            if (e.limbs[0] & mask) {
                r = r * b;
                if (r.status == 1) return Invalid();
            }
        }
        return r;
    }
    if (IsZero(b)) return Invalid();
    if (unitBase) return unitPower();
    return RefBigInt();
}

RefBigInt RefBigInt::PowerMod(const RefBigInt& e, const RefBigInt& m) const {
    return PowerModBy(e, m, [](const RefBigInt& v, const RefBigInt& mod) { return v % mod; });
}

RefBigInt RefBigInt::PowerModCached(const RefBigInt& e, const RefBigInt& m) const {
    return PowerModBy(e, m, [](const RefBigInt& v, const RefBigInt& mod) { return v.ModCached(mod); });
}

RefBigInt RefBigInt::PowerModBy(const RefBigInt& e, const RefBigInt& m,
                                RefBigInt (*reduce)(const RefBigInt&, const RefBigInt&)) const {
    const RefBigInt& b = *this;
    if (b.status == 1 || e.status == 1 || m.status == 1 || b.sign == 1 || e.sign == 1 || m.sign == 1 ||
        IsZero(m))
        return Invalid();
    RefBigInt t = reduce(b, m);
    RefBigInt p = 1;
    for (int k = e.top; k >= 0; --k) {
        for (uint32_t mask = 0x8000; mask != 0; mask >>= 1) {
            p = p * p;
            if (p.status == 1) return Invalid();
            p = reduce(p, m);
            if (e.limbs[k] & mask) {
                p = p * t;
                if (p.status == 1) return Invalid();
                p = reduce(p, m);
            }
        }
    }
    return p;
}

RefBigInt RefBigInt::CachedSum(const RefBigInt& v) {
    RefBigInt r = 0;
    for (int i = 0; i <= v.top; ++i) r = r + g_modCacheTable[i] * static_cast<int>(v.limbs[i]);
    return r;
}

RefBigInt RefBigInt::ModCached(const RefBigInt& m) const {
    const RefBigInt& x = *this;
    if (x.status == 1 || m.status == 1) return Invalid();
    if (x.CompareMagnitude(m) == 2) return x;
    if (IsZero(m)) {
        DivisionByZero();
        return Invalid();
    }
    const RefBigInt mm = Magnitude(m);  // the one deliberate change: reduce by |m|
    if (mm == 1) return RefBigInt();
    if (mm == 2) return RefBigInt(x.limbs[0] % 2 == 1 ? 1 : 0);
    if (g_modCacheModulus != mm) {
        g_modCacheModulus = mm;
        for (int i = 0; i <= 100; ++i) {
            RefBigInt p;
            p.limbs[i] = 1;
            p.top = static_cast<int8_t>(i);
            g_modCacheTable[i] = p % mm;
        }
    }
    RefBigInt r = CachedSum(x);
    if (r >= mm) {
        RefBigInt s = CachedSum(r);
        while (s >= mm) s = s % mm;
        r = s;
    }
    return r;
}

RefBigInt RefBigInt::ModInverse(const RefBigInt& a, const RefBigInt& m) {
    // An invalid operand would keep the loop below going forever.
    if (a.status == 1 || m.status == 1) return *this = Invalid();
    RefBigInt q = 0;
    RefBigInt mm = Magnitude(m);
    RefBigInt r = mm;
    RefBigInt u = a;
    RefBigInt s;
    if (a >= 0) {
        s = 1;
    } else {
        u = Magnitude(a);
        s = -1;
    }
    while (r != 0) {
        RefBigInt rem = u % r;
        u = (u / r) * q;
        s = s - u;
        std::swap(q, s);
        u = rem;
        std::swap(r, u);
    }
    RefBigInt result;
    if (u != 1) {
        result = 0;
    } else {
        if (s < 0) s = s + mm;
        result = s;
    }
    return *this = result;
}

RefBigInt RefBigInt::Gcd(const RefBigInt& y) const {
    RefBigInt q = Magnitude(*this);
    RefBigInt r = Magnitude(y);
    while (q > 0) {
        if (q < r) std::swap(q, r);
        if (IsZero(r)) return q;
        q = q % r;
    }
    return r;
}

RefBigInt RefBigInt::Lcm(const RefBigInt& y) const {
    RefBigInt a = Magnitude(*this);
    RefBigInt b = Magnitude(y);
    RefBigInt g = a.Gcd(b);
    return (a * b) / g;
}

RefBigInt RefBigInt::Factorial() const {
    if (top != 0 || status == 1 || sign == 1) return Invalid();
    RefBigInt r = 1;
    for (int i = 2; i <= limbs[0]; ++i) {
        r = r * i;
        if (r.status == 1) return Invalid();
    }
    return r;
}

RefBigInt RefBigInt::Permutations(int n, int r) {
    if (n < r || r <= 0) return *this = Invalid();
    *this = 1;
    for (int64_t i = static_cast<int64_t>(n) - r + 1; i <= n; ++i) {
        *this = *this * static_cast<int>(i);
        if (status == 1) return *this = Invalid();  // the loop may stop at the first overflow
    }
    return *this;
}

RefBigInt RefBigInt::Combinations(int n, int r) {
    if (n < r || r <= 0) return *this = Invalid();
    if (n - r < r) r = n - r;
    RefBigInt d = 1;
    for (int64_t i = 2; i <= r; ++i) {
        d = d * static_cast<int>(i);
        if (d.status == 1) break;
    }
    *this = 1;
    for (int64_t i = static_cast<int64_t>(n) - r + 1; i <= n; ++i) {
        *this = *this * static_cast<int>(i);
        if (status == 1) break;
    }
    return *this = *this / d;
}

// ---------------------------------------------------------------------------
// Bitwise operations

RefBigInt RefBigInt::And(const RefBigInt& y, int signMode) const {
    const RefBigInt& x = *this;
    RefBigInt r;
    if (x.status == 1 || y.status == 1) {
        r.status = 1;
        return r;
    }
    int n = x.top > y.top ? x.top : y.top;
    for (int i = 0; i <= n; ++i) r.limbs[i] = static_cast<uint16_t>(x.limbs[i] & y.limbs[i]);
    int t = n;
    while (t >= 1 && r.limbs[t] == 0) --t;
    r.top = static_cast<int8_t>(t);
    r.sign = ModeSign(signMode, (x.sign != 0 && y.sign != 0) ? 1 : 0, x.sign);
    return r;
}

RefBigInt RefBigInt::Or(const RefBigInt& y, int signMode) const {
    const RefBigInt& x = *this;
    RefBigInt r;
    if (x.status == 1 || y.status == 1) {
        r.status = 1;
        return r;
    }
    int n = x.top > y.top ? x.top : y.top;
    for (int i = 0; i <= n; ++i) r.limbs[i] = static_cast<uint16_t>(x.limbs[i] | y.limbs[i]);
    r.top = static_cast<int8_t>(n);
    r.sign = ModeSign(signMode, (x.sign != 0 || y.sign != 0) ? 1 : 0, x.sign);
    return r;
}

RefBigInt RefBigInt::Xor(const RefBigInt& y, int signMode) const {
    const RefBigInt& x = *this;
    RefBigInt p = x.Or(y, 0);
    RefBigInt a = x.And(y, 0);
    RefBigInt r = p - a;
    r.sign = ModeSign(signMode, x.sign != y.sign ? 1 : 0, x.sign);
    return r;
}

// ---------------------------------------------------------------------------
// Roots

RefBigInt RefBigInt::Sqrt() const {
    RefBigInt r;
    if (status == 1 || sign == 1) {
        r.status = 1;
        return r;
    }
    r.top = static_cast<int8_t>(top / 2);
    for (int k = top / 2; k >= 0; --k) {
        for (uint32_t mask = 0x8000; mask != 0; mask >>= 1) {
            r.limbs[k] = static_cast<uint16_t>(r.limbs[k] + mask);
            RefBigInt square = r.Power(2);
            if (square.status == 1 || square > *this) r.limbs[k] = static_cast<uint16_t>(r.limbs[k] - mask);
        }
    }
    return r;
}

RefBigInt RefBigInt::Root(int n) const {
    if (n <= 0) return Invalid();
    if (n == 1) return *this;
    if (n == 2) return Sqrt();
    if (IsZero(*this)) return RefBigInt();
    const int t = top;
    RefBigInt lo;
    lo.limbs[t / n] = 1;
    lo.top = static_cast<int8_t>(t / n);
    const int h = (t + 1) % n == 0 ? (t + 1) / n : (t + 1) / n + 1;
    RefBigInt hi;
    hi.limbs[h] = 1;
    hi.top = static_cast<int8_t>(h);
    while ((hi - lo) > 1) {
        RefBigInt mid = (lo + hi) / 2;
        RefBigInt p = mid.Power(n);
        if (p.status != 0)
            hi = mid;
        else if (p == *this)
            return mid;
        else if (p > *this)
            hi = mid;
        else
            lo = mid;
    }
    if (hi == lo) {
        printf("おっとこんなこともあるんだ(root). 要調査(1).\n");
        return hi;
    }
    RefBigInt p = hi.Power(n);
    if (p.status != 0) return lo;
    if (p <= *this) {
        printf("おっとこんなこともあるんだ(root). 要調査(2).\n");
        return hi;
    }
    return lo;
}

void RefBigInt::ResetCaches() {
    g_radixPowersRadix = 0;
    g_modCacheModulus = RefBigInt();
    for (auto& e : g_modCacheTable) e = RefBigInt();
}
