#pragma once
// Shared helpers of the BigInt test program: conversions between BigInt,
// RefBigInt and GMP, seeded operand generators clustered at the
// boundaries, and capture of everything an operation writes (standard
// output, standard error, message boxes) for byte-wise comparison.

#include <gmp.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bigint/bigint.h"
#include "tests/bigint/ref_bigint.h"

namespace bigint_test {

// ---- GMP values with automatic cleanup --------------------------------------
class Mpz {
public:
    Mpz() { mpz_init(v_); }
    explicit Mpz(long x) { mpz_init_set_si(v_, x); }
    explicit Mpz(const char* text, int base = 10) { mpz_init_set_str(v_, text, base); }
    Mpz(const Mpz& o) { mpz_init_set(v_, o.v_); }
    Mpz& operator=(const Mpz& o) {
        mpz_set(v_, o.v_);
        return *this;
    }
    ~Mpz() { mpz_clear(v_); }
    mpz_ptr get() { return v_; }
    mpz_srcptr get() const { return v_; }
    operator mpz_ptr() { return v_; }              // NOLINT: pass straight to mpz_* functions
    operator mpz_srcptr() const { return v_; }     // NOLINT
    // GMP's macros (mpz_sgn, mpz_cmp_ui, ...) dereference their argument.
    mpz_ptr operator->() { return v_; }
    mpz_srcptr operator->() const { return v_; }
    std::string Hex() const;

private:
    mpz_t v_;
};

/// The signed value of x (sign 0 / non-zero) as a GMP integer; status ignored.
Mpz ToMpz(const BigInt& x);
Mpz ToMpz(const RefBigInt& x);
/// |v| must be below 2^1616. Normal form, status 0.
BigInt BigFromMpz(const Mpz& v);
RefBigInt RefFromMpz(const Mpz& v);
/// v in `radix` with GMP, uppercase digits, "-" for a negative value.
std::string GmpText(const Mpz& v, int radix);
/// 2^k as a GMP integer.
Mpz Pow2(unsigned k);

BigInt ToBig(const RefBigInt& r);
RefBigInt ToRef(const BigInt& b);

/// "status=0 sign=1 top=3 -0x1234…" (the hex is of the limbs 0..100, not of top).
std::string Describe(const BigInt& x);
std::string Describe(const RefBigInt& x);

/// Every field equal, all 101 limbs included.
bool SameFields(const BigInt& a, const RefBigInt& r);
/// Normal form: limbs above top are zero and the top limb is non-zero unless top is 0.
bool IsNormal(const BigInt& x);

// ---- Seeds and iteration counts --------------------------------------------
/// The base seed: KALVORA_SEED from the environment, else a fixed default.
uint64_t BaseSeed();
/// A seed of its own for the running test (base seed mixed with the test name).
uint64_t TestSeed();
/// "seed N (rerun with KALVORA_SEED=B)" for failure messages.
std::string SeedNote(uint64_t seed);
/// n scaled down under sanitizers and by KALVORA_ITERATIONS_PERCENT.
int Iterations(int n);

// ---- Operand generators -------------------------------------------------------
using Rng = std::mt19937_64;

/// A magnitude below 2^maxBits, drawn from a mix of shapes: zero, single
/// limbs, random lengths, limbs from {0, 1, 0x5555, 0x7FFF, 0x8000, 0xFFFF},
/// powers of two, 2^k +- small near the limits (16, 32, 800, 808, 1600,
/// 1615, 1616 bits), radix maxima r^RADIX_MAX_EXPONENT[r], 65535 / 65536.
Mpz RandomMagnitude(Rng& rng, unsigned maxBits);
/// RandomMagnitude with a random sign (sometimes a negative zero).
Mpz RandomSigned(Rng& rng, unsigned maxBits, bool* negativeZero);
/// A BigInt from RandomSigned, negative zeros included.
BigInt RandomBig(Rng& rng, unsigned maxBits = 1616);
/// Uniform in [lo, hi].
int64_t Uniform(Rng& rng, int64_t lo, int64_t hi);

// ---- Capturing what an operation writes -------------------------------------
struct Box {
    std::string text;
    std::string caption;
    bool operator==(const Box& o) const { return text == o.text && caption == o.caption; }
};

struct Output {
    std::string out;          ///< bytes written to standard output
    std::string err;          ///< bytes written to standard error
    std::vector<Box> boxes;   ///< message boxes shown, in order
    bool operator==(const Output& o) const { return out == o.out && err == o.err && boxes == o.boxes; }
    std::string Describe() const;
};

/// Runs f with file descriptors 1 and 2 redirected and a recorder presenter
/// installed; errno is 0 when f starts. Main thread only.
Output Capture(const std::function<void()>& f);

/// The perror line for `where`, as perror writes it with errno 0.
std::string OopsLine(const char* where);

/// Compares our result and output with the reference's. With fullWhenInvalid
/// false, a result with status 1 on both sides is compared by status only
/// (its other fields are a partial computation nobody may rely on).
::testing::AssertionResult SameOutcome(const BigInt& ours, const Output& ourOut, const RefBigInt& ref,
                                       const Output& refOut, bool fullWhenInvalid = true);

}  // namespace bigint_test

namespace bigint_test {

/// One operation run on BigInt and on RefBigInt, each with its output captured.
struct Twin {
    BigInt ours;
    RefBigInt ref;
    Output ourOut;
    Output refOut;
};

template <class Ours, class Ref>
Twin RunBoth(Ours ours, Ref ref) {
    Twin t;
    t.ourOut = Capture([&] { t.ours = ours(); });
    t.refOut = Capture([&] { t.ref = ref(); });
    return t;
}

/// x is valid, in normal form, and equals v (a zero with sign 0).
::testing::AssertionResult HasValue(const BigInt& x, const Mpz& v);

}  // namespace bigint_test
