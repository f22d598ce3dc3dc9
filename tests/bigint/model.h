#pragma once
// The model of BigInt that the differential tests hold the product against.
// Values are GMP integers; only what GMP cannot tell is kept literally: the
// status, the raw sign field, top, the limbs an overflow leaves behind, the
// diagnostic lines and message boxes, and the steps that decide them (the
// long division's trial shift, the square-and-multiply of the powers, the
// cached reduction's weighted sums, Euclid's loop of the inverse, the
// bisection of the roots). The primitives (+, *, shifts, /, %, text) are
// closed-form rules on the magnitudes; the composite operations are their
// documented steps on model values, so every fast path of the product is
// checked against the steps it replaces.

#include <string>
#include <vector>

#include "tests/support/gmp.h"

namespace model {

/// A BigInt as the model sees it: the fields, with the limbs as one number.
struct Val {
    int status = 0;
    int sign = 0;
    int top = 0;
    gmp::Mpz mag;  ///< limbs 0..100
};

/// What the operations write: perror lines, printf lines, message boxes.
struct Output {
    std::string err;
    std::string out;
    std::vector<std::string> boxes;
    bool operator==(const Output&) const = default;
};
/// The output collected since the last Take(), which empties it.
Output Take();

Val Of(const BigInt& b);
BigInt ToBig(const Val& v);
/// |v| with sign `sign` in normal form.
Val Norm(const gmp::Mpz& magnitude, int sign);
Val Int(long v);

int CompareMagnitude(const Val& a, const Val& b);
bool Eq(const Val& a, const Val& b);
bool Gt(const Val& a, const Val& b);
inline bool Lt(const Val& a, const Val& b) { return !Eq(a, b) && !Gt(a, b); }

Val Add(const Val& a, const Val& b);
Val Sub(const Val& a, const Val& b);
Val Mul(const Val& a, const Val& b);
Val Shl(const Val& a, unsigned n);
Val Shr(const Val& a, unsigned n);
Val Div(const Val& a, const Val& b);
Val Mod(const Val& a, const Val& b);

/// ToString: the text, and the object's sign afterwards in *x.
std::string Format(Val* x, unsigned radix);
/// FromString: the return code, the object in *x.
int Parse(Val* x, const std::string& text, unsigned radix);

Val Power(const Val& a, const Val& e);
Val PowerMod(const Val& a, const Val& e, const Val& m, bool cached);
Val ModCached(const Val& x, const Val& m);
Val ModInverse(const Val& a, const Val& m);
Val Gcd(const Val& x, const Val& y);
Val Lcm(const Val& x, const Val& y);
Val Factorial(const Val& x);
Val Permutations(long n, long r);
Val Combinations(long n, long r);
Val And(const Val& x, const Val& y, int mode);
Val Or(const Val& x, const Val& y, int mode);
Val Xor(const Val& x, const Val& y, int mode);
Val Sqrt(const Val& x);
Val Root(const Val& x, int n);

}  // namespace model
