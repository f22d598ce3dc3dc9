#pragma once
// The computations behind the sequence tools, free of any toolkit: the four
// progression quantities, the n-th term of a Lucas-type recurrence, and the
// Mersenne-type and Fermat numbers. Every result is an exact BigInt; a result
// beyond BigInt's width carries status 1 and is shown as TOO_LARGE_TEXT.

#include <string>

#include "bigint/bigint.h"

/// What a result field shows for a value that carries the error status.
inline constexpr const char* TOO_LARGE_TEXT = "値が大きすぎます";
/// The developer notice shown when the geometric sum leaves a remainder.
inline constexpr const char* GEOMETRIC_SUM_NOTICE = "開発者にご連絡下さい(in GeometricSum)";

/// Decimal text of `value`, or TOO_LARGE_TEXT when it carries the error status.
std::string ResultText(BigInt value);

// --- Progressions (first term a, difference or ratio d) -----------------------

/// A1: a + (n - 1) d, the n-th term of the arithmetic progression.
BigInt ArithmeticTerm(int a, int d, int n);
/// A2: n (2a + (n - 1) d) / 2, the sum of its first n terms.
BigInt ArithmeticSum(int a, int d, int n);
/// G1: a d^(n - 1), the n-th term of the geometric progression.
BigInt GeometricTerm(int a, int d, int n);

/// G2 with its parts: r = p / q where p = a (d^n - 1) and q = d - 1, or
/// r = a n, p = q = 1 when d = 1.
struct GeometricSumResult {
    BigInt sum;        ///< r
    BigInt numerator;  ///< p
    BigInt divisor;    ///< q
    /// True when r carries no error status and p mod q is not 0 (exact
    /// arithmetic never leaves a remainder; this guards the division).
    bool remainderLeft = false;
};
/// G2: the sum of the first n terms of the geometric progression.
GeometricSumResult GeometricSum(int a, int d, int n);
/// Shows the three message boxes of a remainder left by G2, in turn:
/// GEOMETRIC_SUM_NOTICE, then p in decimal, then q in decimal (caption: the
/// application's title). Shows nothing when no remainder was left.
void ReportGeometricSumRemainder(const GeometricSumResult& result);

// --- Lucas-type sequences -----------------------------------------------------

/// The stateless sequence object of the Lucas-type tool:
/// F(0) = f0, F(1) = f1, F(n+1) = a F(n) + b F(n-1).
class LucasSequence {
public:
    /// F(n), stepped two terms per pass. The coefficients and start terms
    /// enter the arithmetic as ints (as the multiplications by a machine
    /// integer take them); n is unsigned.
    BigInt Term(unsigned a, unsigned b, unsigned f0, unsigned f1, unsigned n) const;
};

// --- Mersenne-type and Fermat numbers -------------------------------------------

/// M(k) = 2^k - 1; carries the error status when it does not fit.
BigInt MersenneNumber(unsigned k);
/// F(k) = 2^(2^k) + 1; carries the error status when it does not fit.
BigInt FermatNumber(unsigned k);
