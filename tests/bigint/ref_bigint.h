#pragma once
// RefBigInt: the slow, step-by-step twin of BigInt used as a test oracle.
//
// Every member follows the documented algorithm literally: 16-bit limbs,
// schoolbook products with their two overflow tests, bit-by-bit long
// division, one division per digit position when formatting, a bisection
// for n-th roots. Nothing here is clever on purpose: when BigInt and
// RefBigInt disagree, the fast code is the suspect.
//
// It writes the same diagnostic lines (perror / printf) and shows the same
// division-by-zero box (ShowMessageBox), so captured outputs compare byte
// for byte. Test code only; never linked into the program.
//
// One deliberate change from the literal steps: ModCached reduces by |m|,
// so a negative modulus terminates (the literal loop never ends).

#include <cstdint>

class RefBigInt {
public:
    int32_t status;
    int32_t sign;
    int8_t top;
    uint16_t limbs[101];

    RefBigInt();
    RefBigInt(int value);  // NOLINT(google-explicit-constructor): mirrors BigInt
    RefBigInt(const RefBigInt&) = default;
    RefBigInt& operator=(const RefBigInt&) = default;
    RefBigInt operator=(int value);

    int ToInt() const;
    uint32_t Low32() const;

    int CompareMagnitude(const RefBigInt& other) const;
    int operator==(const RefBigInt& b) const;
    int operator==(int b) const { return *this == RefBigInt(b); }
    int operator!=(const RefBigInt& b) const { return !(*this == b); }
    int operator!=(int b) const { return *this != RefBigInt(b); }
    int operator>(const RefBigInt& b) const;
    int operator>(int b) const { return *this > RefBigInt(b); }
    int operator<(const RefBigInt& b) const { return !(*this == b) && !(*this > b); }
    int operator<(int b) const { return *this < RefBigInt(b); }
    int operator>=(const RefBigInt& b) const { return !(*this < b); }
    int operator>=(int b) const { return *this >= RefBigInt(b); }
    int operator<=(const RefBigInt& b) const { return !(*this > b); }
    int operator<=(int b) const { return *this <= RefBigInt(b); }

    RefBigInt operator+(const RefBigInt& b) const;
    RefBigInt operator+(int b) const { return *this + RefBigInt(b); }
    RefBigInt operator-(const RefBigInt& b) const;
    RefBigInt operator-(int b) const { return *this - RefBigInt(b); }
    RefBigInt operator*(const RefBigInt& b) const;
    RefBigInt operator*(int b) const { return *this * RefBigInt(b); }
    RefBigInt operator+=(const RefBigInt& b) { return *this = *this + b; }
    RefBigInt operator+=(int b) { return *this = *this + b; }
    RefBigInt operator-=(const RefBigInt& b) { return *this = *this - b; }
    RefBigInt operator-=(int b) { return *this = *this - b; }
    RefBigInt operator*=(const RefBigInt& b) { return *this = *this * b; }
    RefBigInt operator*=(int b) { return *this = *this * b; }
    RefBigInt operator<<(uint16_t n) const;
    RefBigInt operator>>(uint16_t n) const;
    RefBigInt operator<<=(uint16_t n) { return *this = *this << n; }
    RefBigInt operator>>=(uint16_t n) { return *this = *this >> n; }
    RefBigInt operator++() { return *this = *this + 1; }
    RefBigInt operator++(int) {
        RefBigInt old = *this;
        *this = *this + 1;
        return old;
    }
    RefBigInt operator--() { return *this = *this - 1; }
    RefBigInt operator--(int) {
        RefBigInt old = *this;
        *this = *this - 1;
        return old;
    }

    RefBigInt operator/(const RefBigInt& b) const;
    RefBigInt operator/(int b) const { return *this / RefBigInt(b); }
    RefBigInt operator%(const RefBigInt& b) const;
    RefBigInt operator%(int b) const { return *this % RefBigInt(b); }
    RefBigInt operator/=(const RefBigInt& b) { return *this = *this / b; }
    RefBigInt operator/=(int b) { return *this = *this / b; }
    RefBigInt operator%=(const RefBigInt& b) { return *this = *this % b; }
    RefBigInt operator%=(int b) { return *this = *this % b; }

    int FromString(const char* text, uint16_t radix);
    char* ToString(char* buffer, uint16_t radix);

    RefBigInt Power(const RefBigInt& exponent) const;
    RefBigInt Power(int exponent) const { return Power(RefBigInt(exponent)); }
    RefBigInt PowerMod(const RefBigInt& exponent, const RefBigInt& modulus) const;
    RefBigInt PowerModCached(const RefBigInt& exponent, const RefBigInt& modulus) const;
    RefBigInt ModCached(const RefBigInt& m) const;
    RefBigInt ModInverse(const RefBigInt& a, const RefBigInt& m);
    RefBigInt Gcd(const RefBigInt& y) const;
    RefBigInt Lcm(const RefBigInt& y) const;
    RefBigInt Factorial() const;
    RefBigInt Permutations(int n, int r);
    RefBigInt Combinations(int n, int r);
    RefBigInt And(const RefBigInt& y, int signMode) const;
    RefBigInt Or(const RefBigInt& y, int signMode) const;
    RefBigInt Xor(const RefBigInt& y, int signMode) const;

    RefBigInt Sqrt() const;
    RefBigInt Root(int n) const;

    /// Forgets both caches (radix powers and modulus table), as at start-up.
    static void ResetCaches();

private:
    /// Steps 7.1 to 7.4 of the long division on the magnitudes.
    static void LongDivide(const RefBigInt& a, const RefBigInt& b, RefBigInt& q, RefBigInt& rem);
    /// PowerMod with every reduction (the first of the base included) done by `reduce`.
    RefBigInt PowerModBy(const RefBigInt& exponent, const RefBigInt& modulus,
                         RefBigInt (*reduce)(const RefBigInt&, const RefBigInt&)) const;
    /// Sum over the limbs of v of ModCacheTable[i] * limbs[i].
    static RefBigInt CachedSum(const RefBigInt& v);
};
