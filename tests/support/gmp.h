#pragma once
// GMP for the tests and the benchmarks: the one helper between BigInt and
// GMP integers. Header-only, so a benchmark includes it without a library.
//
//   gmp::Mpz v("123"), w = gmp::Parse("-2^1600+1");   // RAII, copyable, passes as mpz_t
//   gmp::Mpz x(big);          // the signed value of a BigInt's limbs (status ignored)
//   BigInt b = v.Big();       // normal form, status 0 (|v| < 2^1616); gmp::ToBig(mpz_t) too
//   gmp::Text(v, 16)          // upper-case digits, "-" when negative
//   gmp::Mpz::Words(w, n)     // the value of 64-bit words
//   PrintTo(b, &os)           // gtest prints BigInts in decimal with their status

#include <gmp.h>

#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <string>

#include "bigint/bigint.h"

namespace gmp {

/// The BigInt of v in normal form (status 0); |v| < 2^1616.
inline BigInt ToBig(mpz_srcptr v) {
    BigInt r;
    size_t count = 0;
    mpz_export(r.limbs, &count, -1, sizeof(uint16_t), 0, 0, v);
    r.top = static_cast<int8_t>(count == 0 ? 0 : count - 1);
    r.sign = mpz_sgn(v) < 0 ? 1 : 0;
    return r;
}

class Mpz {
public:
    Mpz() { mpz_init(v_); }
    Mpz(long x) { mpz_init_set_si(v_, x); }  // NOLINT(google-explicit-constructor)
    explicit Mpz(const char* decimal) { mpz_init_set_str(v_, decimal, 10); }
    /// The signed value of the limbs 0..100 of b (its top and status are not read).
    explicit Mpz(const BigInt& b) {
        mpz_init(v_);
        mpz_import(v_, BIGINT_LIMBS, -1, sizeof(uint16_t), 0, 0, b.limbs);
        if (b.sign != 0) mpz_neg(v_, v_);
    }
    Mpz(const Mpz& o) { mpz_init_set(v_, o.v_); }
    Mpz& operator=(const Mpz& o) {
        mpz_set(v_, o.v_);
        return *this;
    }
    ~Mpz() { mpz_clear(v_); }
    operator mpz_ptr() { return v_; }           // NOLINT: straight into mpz_* calls
    operator mpz_srcptr() const { return v_; }  // NOLINT
    mpz_ptr operator->() { return v_; }         // for GMP's macros (mpz_sgn, ...)
    mpz_srcptr operator->() const { return v_; }

    /// The value of the little-endian words w[0..n).
    static Mpz Words(const uint64_t* w, int n) {
        Mpz v;
        if (n > 0) mpz_import(v, static_cast<size_t>(n), -1, 8, 0, 0, w);
        return v;
    }
    /// Writes |v| into `words` words (zero-filled) of w.
    void ToWords(uint64_t* w, int words) const {
        for (int i = 0; i < words; ++i) w[i] = 0;
        mpz_export(w, nullptr, -1, 8, 0, 0, v_);
    }
    /// The BigInt of this value in normal form (status 0); |v| < 2^1616.
    BigInt Big() const { return ToBig(v_); }
    size_t Bits() const { return mpz_sgn(v_) == 0 ? 0 : mpz_sizeinbase(v_, 2); }

private:
    mpz_t v_;
};

/// v in `radix` (2..36), upper-case, "-" for a negative value.
inline std::string Text(mpz_srcptr v, int radix = 10) {
    std::string s(mpz_sizeinbase(v, radix) + 2, '\0');
    mpz_get_str(s.data(), -radix, v);
    s.resize(s.find('\0'));
    return s;
}

/// 2^k.
inline Mpz Pow2(unsigned k) {
    Mpz v;
    mpz_setbit(v, k);
    return v;
}

/// A value written as decimal digits, "0x" and hexadecimal digits, or
/// "2^k", "2^k+d", "2^k-d"; an optional leading "-" negates it.
inline Mpz Parse(const std::string& text) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::string s = text.substr(negative ? 1 : 0);
    Mpz v;
    if (s.rfind("2^", 0) == 0) {
        char* end = nullptr;
        v = Pow2(static_cast<unsigned>(std::strtoul(s.c_str() + 2, &end, 10)));
        if (*end == '+') mpz_add_ui(v, v, std::strtoul(end + 1, nullptr, 10));
        if (*end == '-') mpz_sub_ui(v, v, std::strtoul(end + 1, nullptr, 10));
    } else if (s.rfind("0x", 0) == 0) {
        mpz_set_str(v, s.c_str() + 2, 16);
    } else {
        mpz_set_str(v, s.c_str(), 10);
    }
    if (negative) mpz_neg(v, v);
    return v;
}

}  // namespace gmp

/// Failure messages show a BigInt in decimal, with its status and an unusual top.
inline void PrintTo(const BigInt& b, std::ostream* os) {
    *os << gmp::Text(gmp::Mpz(b));
    if (b.sign != 0 && b.top == 0 && b.limbs[0] == 0) *os << " (negative zero)";
    if (b.status != 0) *os << " (status " << b.status << ")";
    *os << " (top " << static_cast<int>(b.top) << ")";
}
