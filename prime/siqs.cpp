// Complete factorisation around the quadratic sieve: the target's sign and
// validity, trial division, prime and perfect-power parts, Pollard's rho
// below 2^64, and the sieve for the rest, each part split until prime.

#include "prime/siqs.h"

#include <algorithm>
#include <utility>

#include "bigint/bigint_words.h"
#include "prime/aprcl.h"
#include "prime/parallel.h"
#include "prime/siqs_internal.h"

namespace {

using siqs::Num;
using siqs::u32;
using siqs::u64;

/// Primes below this are divided out before anything else.
constexpr u32 TRIAL_BOUND = 1u << 16;

/// Whether |x| has more than SIQS_MAX_DIGITS decimal digits.
bool TooLarge(const BigInt& x) {
    static const BigInt largest = BigInt(10).Power(SIQS_MAX_DIGITS) - 1;
    return x.CompareMagnitude(largest) == 1;
}

/// r and a prime e with r^e = x, or x and 1. x has no prime factor below
/// TRIAL_BOUND, so e < bits / 16.
std::pair<BigInt, int> PerfectPower(const BigInt& x) {
    const kw::Mag m = kw::Load(x);
    const int bits = kw::BitLen(m.w, m.n);
    static const std::vector<u32> exponents = siqs::PrimesBelow(BIGINT_BITS / 16 + 1);
    for (const u32 e : exponents) {
        if (static_cast<int>(e) > bits / 16) break;
        const BigInt r = x.Root(static_cast<int>(e));
        if (r.Power(static_cast<int>(e)) == x) return {r, static_cast<int>(e)};
    }
    return {x, 1};
}

}  // namespace

bool IsPrimeFactor(const BigInt& p) {
    // Parts are at most 100 digits, where a proof takes milliseconds; it is
    // not interrupted, so an abort is seen by the caller's next check.
    static const std::atomic<int> never{0};
    return ProvePrime(p, never, nullptr) == ProofResult::Prime;
}

SiqsResult FactorSiqs(const BigInt& n, const SiqsParams& params, const std::atomic<int>& state,
                      Progress* progress) {
    SiqsResult result;
    result.status = SiqsResult::BAD_TARGET;
    if (n.GetStatus() != 0) return result;
    BigInt m = n;
    m.SetSign(0);
    if (m <= 1) return result;
    if (IsPrimeFactor(m)) {
        result.status = SiqsResult::PRIME;
        result.primes = {m};
        return result;
    }
    const int threads = params.threads > 0 ? params.threads : DefaultThreadCount();

    // Trial division.
    static const std::vector<u32> small = siqs::PrimesBelow(TRIAL_BOUND);
    kw::Mag w = kw::Load(m);
    for (const u32 p : small) {
        if (w.n == 1 && w.w[0] < static_cast<u64>(p) * p) break;
        u64 q[kw::WORDS];
        while (w.n > 0 && kw::DivRem1(q, w.w, w.n, p) == 0) {
            kw::Copy(w.w, q, w.n);
            w.n = kw::Norm(w.w, w.n);
            result.primes.push_back(BigInt(static_cast<int>(p)));
        }
    }

    // Parts still to split, with their multiplicities.
    std::vector<std::pair<BigInt, int>> work;
    const BigInt rest = kw::FromWords(w.w, w.n);
    if (rest > 1) work.emplace_back(rest, 1);
    while (!work.empty()) {
        const auto [c, multiplicity] = work.back();
        work.pop_back();
        if (c == 1) continue;
        if (IsPrimeFactor(c)) {
            result.primes.insert(result.primes.end(), multiplicity, c);
            continue;
        }
        const auto [root, e] = PerfectPower(c);
        if (e > 1) {
            work.emplace_back(root, multiplicity * e);
            continue;
        }
        if (TooLarge(c)) {
            std::sort(result.primes.begin(), result.primes.end(), [](const BigInt& a, const BigInt& b) { return a < b; });
            result.status = SiqsResult::TOO_LARGE;
            result.tooLargePart = c;
            return result;
        }
        if (state.load() == RUN_ABORT) {
            result.status = SiqsResult::ABORTED;
            return result;
        }
        const Num cn = siqs::ToNum(c);
        std::vector<Num> parts;
        if (cn.n == 1) {
            const u64 f = siqs::RhoSplit64(cn.w[0], u64{1} << 28);
            if (f != 0) parts = {Num::Of(f), Num::Of(cn.w[0] / f)};
        }
        if (parts.empty() && !siqs::SiqsSplit(cn, threads, state, progress, parts, result.stats)) {
            result.status = SiqsResult::ABORTED;
            return result;
        }
        for (const Num& part : parts) work.emplace_back(siqs::ToBigInt(part), multiplicity);
    }
    std::sort(result.primes.begin(), result.primes.end(), [](const BigInt& a, const BigInt& b) { return a < b; });
    result.status = SiqsResult::FACTORED;
    return result;
}
