#pragma once
// BigInt: a signed integer of 1616 bits of magnitude (101 limbs of 16 bits)
// and a sign. A plain value: copied whole, never allocating. An invalid
// result (overflow, division by zero, domain error) carries status 1, which
// propagates through later operations.

#include <cstdint>

/// Number of 16-bit limbs in a BigInt.
inline constexpr int BIGINT_LIMBS = 101;
/// Bits of magnitude: 101 x 16.
inline constexpr int BIGINT_BITS = BIGINT_LIMBS * 16;
/// Buffer size that holds every text ToString can write (1616 digits, a sign and NUL).
inline constexpr int BIGINT_TEXT_SIZE = 1620;

/// For each radix, the largest e with radix^e < 2^1616 (radix 0 and 1: unused zeros).
inline constexpr int RADIX_MAX_EXPONENT[17] = {0,   0,   1615, 1019, 807, 695, 625, 575, 538,
                                               509, 486, 467,  450,  436, 424, 413, 403};

class BigInt {
public:
    int32_t status;                  ///< 0 valid, 1 invalid
    int32_t sign;                    ///< 0 non-negative, non-zero negative
    int8_t top;                      ///< index of the highest limb in use, 0..100
    uint16_t limbs[BIGINT_LIMBS];    ///< magnitude, least significant limb first

    /// Zero: status 0, sign 0, top 0, all limbs 0.
    BigInt();
    /// The value of a 32-bit int.
    BigInt(int value);  // NOLINT(google-explicit-constructor): ints stand in for BigInts
    BigInt(const BigInt&) = default;
    BigInt& operator=(const BigInt&) = default;
    /// Same result as the int constructor; returns a copy of the new value.
    BigInt operator=(int value);

    // --- Accessors, without checks or normalisation -------------------------
    int GetStatus() const { return status; }
    void SetStatus(int s) { status = s; }
    int GetSign() const { return sign; }
    void SetSign(int s) { sign = s; }
    int8_t GetTop() const { return top; }
    void SetTop(int t) { top = static_cast<int8_t>(t); }
    int GetLimb(int index) const { return limbs[index]; }
    /// Stores `value` modulo 65536 into limbs[index]. The value comes first.
    void SetLimb(int value, int index) { limbs[index] = static_cast<uint16_t>(value); }

    /// (limbs[1] & 0x7FFF) * 65536 + limbs[0], negated when sign is 1.
    int ToInt() const;
    /// limbs[0] + limbs[1] * 65536; sign, status and higher limbs ignored.
    uint32_t Low32() const;

    // --- Comparison -----------------------------------------------------------
    /// 0 equal magnitudes, 1 this one greater, 2 this one smaller. Ignores sign and status.
    int CompareMagnitude(const BigInt& other) const;
    int operator==(const BigInt& b) const;
    int operator==(int b) const;
    int operator!=(const BigInt& b) const;
    int operator!=(int b) const;
    int operator>(const BigInt& b) const;
    int operator>(int b) const;
    int operator<(const BigInt& b) const;
    int operator<(int b) const;
    int operator>=(const BigInt& b) const;
    int operator>=(int b) const;
    int operator<=(const BigInt& b) const;
    int operator<=(int b) const;

    // --- Addition, subtraction, multiplication, shifts ----------------------
    BigInt operator+(const BigInt& b) const;
    BigInt operator+(int b) const;
    BigInt operator-(const BigInt& b) const;
    BigInt operator-(int b) const;
    BigInt operator*(const BigInt& b) const;
    BigInt operator*(int b) const;
    BigInt operator+=(const BigInt& b);
    BigInt operator+=(int b);
    BigInt operator-=(const BigInt& b);
    BigInt operator-=(int b);
    BigInt operator*=(const BigInt& b);
    BigInt operator*=(int b);
    /// Magnitude shifted left by n bits; sign kept.
    BigInt operator<<(uint16_t n) const;
    /// Magnitude shifted right by n bits (truncates toward zero); sign kept.
    BigInt operator>>(uint16_t n) const;
    BigInt operator<<=(uint16_t n);
    BigInt operator>>=(uint16_t n);
    BigInt operator++();     ///< prefix: the new value
    BigInt operator++(int);  ///< postfix: the old value
    BigInt operator--();
    BigInt operator--(int);

    // --- Division and remainder ---------------------------------------------
    BigInt operator/(const BigInt& b) const;
    BigInt operator/(int b) const;
    BigInt operator%(const BigInt& b) const;
    BigInt operator%(int b) const;
    BigInt operator/=(const BigInt& b);
    BigInt operator/=(int b);
    BigInt operator%=(const BigInt& b);
    BigInt operator%=(int b);

    // --- Text -------------------------------------------------------------------
    /// Parses `text` in `radix` into this object. 0 on success, 1 on failure
    /// (the object then holds the partial value reached).
    int FromString(const char* text, uint16_t radix);
    /// Writes the value in `radix` into `buffer` (BIGINT_TEXT_SIZE bytes suffice)
    /// and returns it. Clears the sign of this object when it is a negative zero.
    char* ToString(char* buffer, uint16_t radix);

    // --- Powers, modular arithmetic, gcd, bitwise --------------------------
    BigInt Power(const BigInt& exponent) const;
    BigInt Power(int exponent) const;
    BigInt PowerMod(const BigInt& exponent, const BigInt& modulus) const;
    BigInt PowerMod(const BigInt& exponent, int modulus) const;
    BigInt PowerMod(int exponent, const BigInt& modulus) const;
    BigInt PowerMod(int exponent, int modulus) const;
    /// PowerMod with every reduction done by ModCached.
    BigInt PowerModCached(const BigInt& exponent, const BigInt& modulus) const;
    /// This value modulo m through the cached table of 65536^i mod m.
    BigInt ModCached(const BigInt& m) const;
    /// Sets this object to the inverse of a modulo m (0 when none) and returns it.
    BigInt ModInverse(const BigInt& a, const BigInt& m);
    BigInt ModInverse(const BigInt& a, int m);
    BigInt ModInverse(int a, const BigInt& m);
    BigInt ModInverse(int a, int m);
    BigInt Gcd(const BigInt& y) const;
    BigInt Gcd(int y) const;
    BigInt Lcm(const BigInt& y) const;
    BigInt Lcm(int y) const;
    BigInt Factorial() const;
    /// Sets this object to n * (n-1) * ... * (n-r+1) and returns it.
    BigInt Permutations(int n, int r);
    /// Sets this object to n! / (r! (n-r)!) and returns it.
    BigInt Combinations(int n, int r);
    /// Bitwise operations on the magnitudes. signMode 0: non-negative result;
    /// 1: the operation applied to the signs; 2: the sign of this operand.
    BigInt And(const BigInt& y, int signMode) const;
    BigInt And(int y, int signMode) const;
    BigInt Or(const BigInt& y, int signMode) const;
    BigInt Or(int y, int signMode) const;
    BigInt Xor(const BigInt& y, int signMode) const;
    BigInt Xor(int y, int signMode) const;

    // --- Roots ----------------------------------------------------------------
    /// Largest r >= 0 with r^2 <= this value.
    BigInt Sqrt() const;
    /// Largest r >= 0 with r^n <= this value.
    BigInt Root(int n) const;
};
