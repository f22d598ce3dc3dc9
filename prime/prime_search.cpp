// Next and previous probable prime: windows of odd candidates sieved by the
// odd primes below 2^16, Baillie-PSW on what the sieve leaves.

#include "prime/prime_search.h"

#include <string>
#include <vector>

#include "bigint/bigint_words.h"
#include "prime/bpsw.h"
#include "prime/run_state.h"

using kw::u64;

namespace {

/// Odd candidates per sieve window.
constexpr int SPAN = 4096;
/// Below this the candidates are tested one by one: a window of the sieve
/// could strike its own primes. (Windows that start above it stay above
/// 2^16 however far down they go.)
constexpr u64 SIEVE_FROM = u64{1} << 32;

const std::vector<uint32_t>& SievePrimes() {
    static const std::vector<uint32_t> primes = [] {
        constexpr uint32_t LIMIT = 1u << 16;
        std::vector<bool> composite(LIMIT, false);
        std::vector<uint32_t> v;
        for (uint32_t p = 3; p < LIMIT; p += 2) {
            if (composite[p]) continue;
            v.push_back(p);
            for (uint32_t m = p * p; m < LIMIT; m += 2 * p) composite[m] = true;
        }
        return v;
    }();
    return primes;
}

/// A magnitude that grows or shrinks by small steps.
struct Words {
    u64 w[kw::WORDS + 1] = {};
    int n = 0;

    void Add(u64 v) {
        if (n == 0) {
            w[0] = v;
            n = v != 0 ? 1 : 0;
            return;
        }
        const u64 carry = kw::Add(w, w, n, &v, 1);
        if (carry != 0) w[n++] = carry;
    }
    void Sub(u64 v) {  // v <= value
        kw::Sub(w, w, n, &v, 1);
        n = kw::Norm(w, n);
    }
    bool IsBelow(u64 v) const { return n == 0 || (n == 1 && w[0] < v); }
    int Bits() const { return kw::BitLen(w, n); }
};

PrimeSearch Found(const Words& p) {
    if (p.Bits() > PRIME_SEARCH_BITS) return {PrimeSearch::TOO_LARGE, BigInt()};
    return {PrimeSearch::FOUND, kw::FromWords(p.w, p.n)};
}

/// The search from the odd candidate `start` on, upwards (dir 1) or
/// downwards (dir -1).
PrimeSearch Search(Words start, int dir, const std::atomic<int>& state, Progress* progress) {
    const char* label = dir > 0 ? "次の素数: +" : "前の素数: -";
    u64 travelled = 0;
    auto aborted = [&state] { return state.load(std::memory_order_relaxed) == RUN_ABORT; };
    auto step = [dir](Words& x, u64 by) {
        if (dir > 0)
            x.Add(by);
        else
            x.Sub(by);
    };
    // Small numbers: one candidate after the other (Baillie-PSW is exact there).
    while (start.IsBelow(SIEVE_FROM)) {
        if (aborted()) return {PrimeSearch::ABORTED, BigInt()};
        if (dir < 0 && start.IsBelow(3)) return {PrimeSearch::NONE, BigInt()};
        if (IsBpswProbablePrime(start.w, start.n)) return Found(start);
        step(start, 2);
    }
    const std::vector<uint32_t>& primes = SievePrimes();
    std::vector<bool> struck(SPAN);
    for (;;) {
        if (dir > 0 && start.Bits() > PRIME_SEARCH_BITS) return {PrimeSearch::TOO_LARGE, BigInt()};
        // Candidate i is start + dir 2i: p divides it for i = -dir start / 2 mod p.
        struck.assign(SPAN, false);
        for (const uint32_t p : primes) {
            const u64 r = kw::Mod1(start.w, start.n, p);
            const u64 half = (p + 1) / 2;
            u64 i = (dir > 0 ? (p - r) % p : r) * half % p;
            for (; i < static_cast<u64>(SPAN); i += p) struck[i] = true;
        }
        Words candidate = start;
        for (int i = 0; i < SPAN; ++i, step(candidate, 2)) {
            if (struck[static_cast<size_t>(i)]) continue;
            if (aborted()) return {PrimeSearch::ABORTED, BigInt()};
            if (dir > 0 && candidate.Bits() > PRIME_SEARCH_BITS) return {PrimeSearch::TOO_LARGE, BigInt()};
            if (IsBpswProbablePrime(candidate.w, candidate.n)) return Found(candidate);
            ReportProgress(progress, [&] { return label + std::to_string(travelled + 2 * static_cast<u64>(i)); });
        }
        step(start, 2 * static_cast<u64>(SPAN));
        travelled += 2 * static_cast<u64>(SPAN);
    }
}

PrimeSearch Finish(PrimeSearch r, Progress* progress) {
    if (progress != nullptr) progress->Clear();
    return r;
}

}  // namespace

PrimeSearch NextPrime(const BigInt& n, const std::atomic<int>& state, Progress* progress) {
    if (n.GetStatus() != 0) return {PrimeSearch::TOO_LARGE, BigInt()};
    if (state.load() == RUN_ABORT) return {PrimeSearch::ABORTED, BigInt()};
    Words x;
    kw::Load(n, x.w, &x.n);
    if (n.GetSign() != 0 || x.IsBelow(2)) return {PrimeSearch::FOUND, BigInt(2)};
    // The first odd number above n.
    x.Add((x.w[0] & 1) != 0 ? 2 : 1);
    return Finish(Search(x, 1, state, progress), progress);
}

PrimeSearch PreviousPrime(const BigInt& n, const std::atomic<int>& state, Progress* progress) {
    if (n.GetStatus() != 0) return {PrimeSearch::TOO_LARGE, BigInt()};
    if (state.load() == RUN_ABORT) return {PrimeSearch::ABORTED, BigInt()};
    Words x;
    kw::Load(n, x.w, &x.n);
    if (n.GetSign() != 0 || x.IsBelow(3)) return {PrimeSearch::NONE, BigInt()};
    if (x.IsBelow(4)) return {PrimeSearch::FOUND, BigInt(2)};
    // The last odd number below n (3 at the least).
    x.Sub((x.w[0] & 1) != 0 ? 2 : 1);
    return Finish(Search(x, -1, state, progress), progress);
}
