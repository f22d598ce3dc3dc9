// BigInt: construction, comparison, the four operations and the shifts.
// Values are moved into 64-bit words, computed there and written back once;
// the results (value, status, sign, top and diagnostic lines) are those of
// the 16-bit schoolbook and bit-by-bit algorithms the type is defined by.

#include <utility>

#include "bigint/bigint.h"
#include "bigint/internal.h"
#include "bigint/message_box.h"

using namespace kw;

namespace kw {
void ReportDivisionByZero() {
    Oops(OOPS_DIV);
    ShowMessageBox("0で除算しました.");
}
}  // namespace kw

// --- Construction ------------------------------------------------------------

BigInt::BigInt() : status(0), sign(0), top(0), limbs{} {}

BigInt::BigInt(int value) : status(0), sign(value < 0 ? 1 : 0), top(0), limbs{} {
    const uint32_t m = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    top = m >= 65536 ? 1 : 0;
    limbs[0] = static_cast<uint16_t>(m & 0xFFFF);
    limbs[1] = static_cast<uint16_t>(m >> 16);
}

BigInt BigInt::operator=(int value) {
    *this = BigInt(value);
    return *this;
}

int BigInt::ToInt() const {
    const int v = static_cast<int>((limbs[1] & 0x7FFF) * 65536u + limbs[0]);
    return sign == 1 ? -v : v;
}

uint32_t BigInt::Low32() const { return limbs[0] + limbs[1] * 65536u; }

// --- Comparison --------------------------------------------------------------

int BigInt::CompareMagnitude(const BigInt& other) const {
    if (top > other.top) return 1;
    if (top < other.top) return 2;
    for (int i = TopIndex(*this); i >= 0; --i) {
        if (limbs[i] > other.limbs[i]) return 1;
        if (limbs[i] < other.limbs[i]) return 2;
    }
    return 0;
}

int BigInt::operator==(const BigInt& b) const {
    if (status == 1 || b.status == 1) return 0;
    if (sign != b.sign) return 0;
    if (top != b.top) return 0;
    for (int i = TopIndex(*this); i >= 0; --i)
        if (limbs[i] != b.limbs[i]) return 0;
    return 1;
}

int BigInt::operator>(const BigInt& b) const {
    if (*this == b) return 0;
    if (sign == 0) return b.sign != 0 ? 1 : (CompareMagnitude(b) == 1 ? 1 : 0);
    if (b.sign == 0) return 0;
    return CompareMagnitude(b) != 1 ? 1 : 0;
}

int BigInt::operator!=(const BigInt& b) const { return !(*this == b); }
int BigInt::operator<(const BigInt& b) const { return !(*this == b) && !(*this > b); }
int BigInt::operator<=(const BigInt& b) const { return !(*this > b); }
int BigInt::operator>=(const BigInt& b) const { return !(*this < b); }
int BigInt::operator==(int b) const { return *this == BigInt(b); }
int BigInt::operator!=(int b) const { return *this != BigInt(b); }
int BigInt::operator>(int b) const { return *this > BigInt(b); }
int BigInt::operator<(int b) const { return *this < BigInt(b); }
int BigInt::operator>=(int b) const { return *this >= BigInt(b); }
int BigInt::operator<=(int b) const { return *this <= BigInt(b); }

// --- Addition and subtraction ------------------------------------------------

namespace {

BigInt AddSigned(const BigInt& x, const BigInt& y) {
    if (x.status == 1 || y.status == 1) return Invalid();
    const BigInt* a = &x;
    const BigInt* b = &y;
    if (a->CompareMagnitude(*b) == 2) std::swap(a, b);
    u64 A[WORDS], B[WORDS], S[WORDS];
    int an, bn;
    Load(*a, A, &an);
    Load(*b, B, &bn);
    BigInt r;
    if (a->sign == b->sign) {
        int sn = an;
        if (an > 0) {
            u64 c = Add(S, A, an, B, bn);
            if (c) S[sn++] = c;
        }
        if (BitLen(S, sn) > 1600) {
            // The sum must fit in 100 limbs. The result keeps the limbs the
            // carry loop wrote (the low 1616 bits), top 0 and sign 0.
            StoreRaw(r, S, sn);
            r.status = 1;
            Oops(OOPS_ADD);
            return r;
        }
        Store(r, S, sn);
        r.sign = a->sign;
    } else {
        if (an > 0) Sub(S, A, an, B, bn);
        const int sn = Norm(S, an);
        Store(r, S, sn);
        r.sign = sn == 0 ? 0 : a->sign;
    }
    return r;
}

BigInt Negated(const BigInt& b) {
    BigInt n = b;
    n.sign = b.sign != 1 ? 1 : 0;
    return n;
}

BigInt MulSigned(const BigInt& x, const BigInt& y) {
    if (x.status == 1 || y.status == 1) return Invalid();
    const BigInt* a = &x;
    const BigInt* b = &y;
    if (a->CompareMagnitude(*b) == 2) std::swap(a, b);
    if (a->top + b->top > 100) {
        Oops(OOPS_MUL1);
        return Invalid();
    }
    if (IsZero(*a) || IsZero(*b)) return BigInt();
    u64 A[WORDS], B[WORDS], P[WORDS2];
    int an, bn;
    Load(*a, A, &an);
    Load(*b, B, &bn);
    if (an >= bn)
        Mul(P, A, an, B, bn);
    else
        Mul(P, B, bn, A, an);
    const int pn = Norm(P, an + bn);
    BigInt r;
    r.sign = a->sign != b->sign ? 1 : 0;
    if (BitLen(P, pn) > BIGINT_BITS) {
        // The carry out of the last limb is detected only after the final
        // row, so the limbs hold the whole product modulo 2^1616.
        StoreRaw(r, P, pn);
        r.status = 1;
        Oops(OOPS_MUL2);
        return r;
    }
    Store(r, P, pn);
    return r;
}

}  // namespace

BigInt BigInt::operator+(const BigInt& b) const { return AddSigned(*this, b); }
BigInt BigInt::operator+(int b) const { return AddSigned(*this, BigInt(b)); }
BigInt BigInt::operator-(const BigInt& b) const { return AddSigned(*this, Negated(b)); }
BigInt BigInt::operator-(int b) const { return AddSigned(*this, Negated(BigInt(b))); }
BigInt BigInt::operator*(const BigInt& b) const { return MulSigned(*this, b); }
BigInt BigInt::operator*(int b) const { return MulSigned(*this, BigInt(b)); }
BigInt BigInt::operator+=(const BigInt& b) { return *this = *this + b; }
BigInt BigInt::operator+=(int b) { return *this = *this + b; }
BigInt BigInt::operator-=(const BigInt& b) { return *this = *this - b; }
BigInt BigInt::operator-=(int b) { return *this = *this - b; }
BigInt BigInt::operator*=(const BigInt& b) { return *this = *this * b; }
BigInt BigInt::operator*=(int b) { return *this = *this * b; }

BigInt BigInt::operator++() { return *this = *this + 1; }
BigInt BigInt::operator++(int) {
    BigInt old = *this;
    *this = *this + 1;
    return old;
}
BigInt BigInt::operator--() { return *this = *this - 1; }
BigInt BigInt::operator--(int) {
    BigInt old = *this;
    *this = *this - 1;
    return old;
}

// --- Shifts --------------------------------------------------------------------

BigInt BigInt::operator<<(uint16_t n) const {
    BigInt r = *this;
    if (r.status == 1) return r;
    const int w = n / 16;
    if (IsZero(r)) return r;
    if (r.top + w > 100) {
        Oops(OOPS_SHL1);
        return Invalid();
    }
    u64 A[WORDS], R[WORDS + 1];
    int an;
    Load(r, A, &an);
    const int ws = n / 64;
    const unsigned bs = n % 64;
    // top + w <= 100 keeps n below 1616, so ws + an + 1 stays within the buffer.
    Zero(R, ws);
    int rn = ws + an;
    if (bs) {
        u64 out = LShift(R + ws, A, an, bs);
        R[rn++] = out;
    } else {
        Copy(R + ws, A, an);
    }
    rn = Norm(R, rn);
    if (BitLen(R, rn) > BIGINT_BITS) {
        Oops(OOPS_SHL2);
        return Invalid();
    }
    Store(r, R, rn);
    return r;
}

BigInt BigInt::operator>>(uint16_t n) const {
    BigInt r = *this;
    if (r.status == 1) return r;
    const int w = n / 16;
    if (r.top < w) return BigInt();
    u64 A[WORDS];
    int an;
    Load(r, A, &an);
    const int ws = n / 64;
    const unsigned bs = n % 64;
    int rn = an - ws;
    if (rn <= 0) {
        rn = 0;
    } else {
        if (bs)
            RShift(A, A + ws, rn, bs);
        else
            std::memmove(A, A + ws, sizeof(u64) * static_cast<unsigned>(rn));
        rn = Norm(A, rn);
    }
    Store(r, A, rn);
    return r;  // sign kept, also for a zero magnitude
}

BigInt BigInt::operator<<=(uint16_t n) { return *this = *this << n; }
BigInt BigInt::operator>>=(uint16_t n) { return *this = *this >> n; }

// --- Division and remainder ------------------------------------------------------

namespace {

// The long-division path shared by / and %: |a| >= |b| > 0 and b is not +1 or +2.
void LongDivide(const BigInt& a, const BigInt& b, BigInt* q, BigInt* r) {
    u64 A[WORDS], B[WORDS], Q[WORDS], R[WORDS];
    int an, bn;
    Load(a, A, &an);
    Load(b, B, &bn);
    if (LongDivisionOverflowsTrial(A, an, B, bn)) Oops(OOPS_SHL2);
    DivRem(q ? Q : nullptr, r ? R : nullptr, A, an, B, bn);
    if (q) {
        const int qn = Norm(Q, an - bn + 1);
        *q = BigInt();
        Store(*q, Q, qn);
        q->sign = (qn != 0 && a.sign != b.sign) ? 1 : 0;
    }
    if (r) {
        const int rn = Norm(R, bn);
        *r = BigInt();
        Store(*r, R, rn);
        r->sign = rn == 0 ? 0 : a.sign;
    }
}

}  // namespace

BigInt BigInt::operator/(const BigInt& b) const {
    if (status == 1 || b.status == 1) return Invalid();
    if (CompareMagnitude(b) == 2) return BigInt();
    if (IsZero(b)) {
        ReportDivisionByZero();
        return Invalid();
    }
    if (b == 1) return *this;
    if (b == 2) return *this >> 1;
    BigInt q;
    LongDivide(*this, b, &q, nullptr);
    return q;
}

BigInt BigInt::operator%(const BigInt& b) const {
    if (status == 1 || b.status == 1) return Invalid();
    if (CompareMagnitude(b) == 2) return *this;
    if (IsZero(b)) {
        ReportDivisionByZero();
        return Invalid();
    }
    if (b == 1) return BigInt();
    if (b == 2) {
        BigInt r;
        if (limbs[0] & 1) {
            r.limbs[0] = 1;
            r.sign = sign;
        }
        return r;
    }
    BigInt r;
    LongDivide(*this, b, nullptr, &r);
    return r;
}

BigInt BigInt::operator/(int b) const { return *this / BigInt(b); }
BigInt BigInt::operator%(int b) const { return *this % BigInt(b); }
BigInt BigInt::operator/=(const BigInt& b) { return *this = *this / b; }
BigInt BigInt::operator/=(int b) { return *this = *this / b; }
BigInt BigInt::operator%=(const BigInt& b) { return *this = *this % b; }
BigInt BigInt::operator%=(int b) { return *this = *this % b; }
