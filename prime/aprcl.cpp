// The Jacobi-sum primality test (Cohen 9.1.28) on the Montgomery residues of
// n, and the proof that puts trial division and Baillie-PSW in front of it.
//
// For a t with e(t)^2 > n, where e(t) = 2 prod q^(v_q(t)+1) over the primes q
// with q - 1 | t, the test checks for every such odd q and every p^k || q - 1
// that a product of Jacobi sums raised to about n / p^k is a root of unity
// in Z[zeta_(p^k)]/(n), as it is for a prime n. Together with a condition on
// each p | t, met by some check with a primitive root of unity or by extra
// checks, every divisor of n is then congruent to a power of n modulo e(t),
// and the last step rules out the ones below sqrt(n).

#include "prime/aprcl.h"

#include <algorithm>
#include <string>
#include <vector>

#include "bigint/bigint_words.h"
#include "bigint/montgomery.h"
#include "bigint/word_algorithms.h"
#include "prime/bpsw.h"
#include "prime/cyclotomic_ring.h"
#include "prime/parallel.h"
#include "prime/run_state.h"

using kw::u64;
using kw::WORDS;

namespace {

/// The t in use up to a size of n: among the t = 2^a 3^b 5^c 7^d 11 13 17 19
/// below 5 10^7 with e(t)^2 >= 2^bits, the one with the fewest double-width
/// products over all checks (Karatsuba counts, one reduction per
/// coefficient, the last step's t multiplications).
struct TChoice {
    int bits;
    uint32_t t;
};
constexpr TChoice T_TABLE[] = {
    {64, 60}, {76, 120}, {100, 180}, {104, 240}, {108, 504}, {124, 360}, {136, 420}, {152, 720}, {164, 840},
    {168, 1440}, {204, 1260}, {220, 1680}, {268, 2520}, {276, 3960}, {344, 5040}, {372, 9240}, {384, 13860},
    {424, 10080}, {444, 16380}, {448, 21840}, {500, 18480}, {528, 27720}, {584, 32760}, {708, 55440},
    {768, 65520}, {772, 120120}, {860, 180180}, {912, 110880}, {984, 240240}, {1008, 131040}, {1028, 314160},
    {1040, 166320}, {1232, 360360}, {1268, 480480}, {1340, 471240}, {1576, 720720}, {1616, 942480},
};

/// Whether the small number q is prime (trial division).
bool IsSmallPrime(uint64_t q) {
    if (q < 2) return false;
    for (uint64_t d = 2; d * d <= q; ++d)
        if (q % d == 0) return false;
    return true;
}

struct PrimePower {
    int p, k, pk;
};

std::vector<PrimePower> Factor(uint64_t m) {
    std::vector<PrimePower> f;
    for (uint64_t p = 2; p * p <= m; ++p) {
        if (m % p != 0) continue;
        PrimePower pp{static_cast<int>(p), 0, 1};
        while (m % p == 0) {
            m /= p;
            ++pp.k;
            pp.pk *= static_cast<int>(p);
        }
        f.push_back(pp);
    }
    if (m > 1) f.push_back({static_cast<int>(m), 1, static_cast<int>(m)});
    return f;
}

/// t, its primes, the odd primes q with q - 1 | t, and e(t).
struct Setup {
    uint32_t t = 0;
    std::vector<int> primesOfT;
    std::vector<uint32_t> qs;
    u64 e[WORDS + 1] = {};
    int en = 0;
};

Setup MakeSetup(uint32_t t) {
    Setup s;
    s.t = t;
    const std::vector<PrimePower> ft = Factor(t);
    for (const PrimePower& pp : ft) s.primesOfT.push_back(pp.p);
    std::vector<uint64_t> divisors{1};
    for (const PrimePower& pp : ft) {
        const size_t count = divisors.size();
        uint64_t power = 1;
        for (int i = 1; i <= pp.k; ++i) {
            power *= static_cast<uint64_t>(pp.p);
            for (size_t j = 0; j < count; ++j) divisors.push_back(divisors[j] * power);
        }
    }
    std::sort(divisors.begin(), divisors.end());
    s.e[0] = 2;
    s.en = 1;
    for (const uint64_t d : divisors) {
        const uint64_t q = d + 1;
        if (!IsSmallPrime(q)) continue;
        if (q != 2) s.qs.push_back(static_cast<uint32_t>(q));
        // q^(v_q(t) + 1).
        int times = 1;
        for (uint64_t tt = t; tt % q == 0; tt /= q) ++times;
        for (int i = 0; i < times; ++i) {
            const u64 carry = kw::Mul1(s.e, s.e, s.en, q);
            if (carry != 0) s.e[s.en++] = carry;
        }
    }
    return s;
}

/// f(x) = log_g(1 - g^x) modulo q for x = 1 .. q - 2, g the least primitive
/// root: the table every Jacobi sum modulo q is read from.
std::vector<uint32_t> LogTable(uint32_t q) {
    const std::vector<PrimePower> fq = Factor(q - 1);
    auto powmod = [q](uint64_t b, uint64_t e) {
        uint64_t r = 1;
        for (b %= q; e != 0; e >>= 1, b = b * b % q)
            if (e & 1) r = r * b % q;
        return r;
    };
    uint32_t g = 2;
    for (;; ++g) {
        bool primitive = true;
        for (const PrimePower& pp : fq) primitive = primitive && powmod(g, (q - 1) / static_cast<uint32_t>(pp.p)) != 1;
        if (primitive) break;
    }
    std::vector<uint32_t> power(q - 1), log(q);
    uint64_t x = 1;
    for (uint32_t i = 0; i < q - 1; ++i) {
        power[i] = static_cast<uint32_t>(x);
        log[x] = i;
        x = x * g % q;
    }
    std::vector<uint32_t> f(q - 1);
    for (uint32_t i = 1; i + 1 < q; ++i) f[i] = log[(q + 1 - power[i]) % q];
    return f;
}

/// Coefficients of sum over x = 1 .. q-2 of zeta^(a x + b f(x)), zeta of order `order`.
std::vector<long long> JacobiSum(const std::vector<uint32_t>& f, int order, int a, int b) {
    std::vector<long long> c(static_cast<size_t>(order), 0);
    const uint64_t m = static_cast<uint64_t>(order);
    for (size_t x = 1; x < f.size(); ++x) ++c[(a * (x % m) + static_cast<uint64_t>(b) * (f[x] % m)) % m];
    return c;
}

/// What one check found.
enum PairResult { PAIR_COMPOSITE, PAIR_PASSED, PAIR_PRIMITIVE, PAIR_ABORTED };

/// n and what every check reads of it.
struct Context {
    const u64* n;
    int words;
    kw::Montgomery mont;
    u64 minusOne[WORDS] = {};
    u64 half[WORDS] = {};  ///< (n - 1) / 2
    int halfBits = 0;

    Context(const u64* value, int count) : n(value), words(count), mont(value, count) {
        const u64 zero[WORDS] = {};
        mont.Sub(minusOne, zero, mont.One());
        const int hn = kw::ShiftRightBits(half, n, words, 1);
        halfBits = kw::BitLen(half, hn);
    }

    /// The residue of the small number v.
    void Small(u64* r, u64 v) const { mont.To(r, &v, 1); }

    bool IsMinusOne(const u64* x) const { return std::equal(x, x + words, minusOne); }

    /// Whether q^((n-1)/2) = -1: the extra condition for p = 2.
    bool HalfPowerIsMinusOne(uint32_t q) const {
        u64 x[WORDS];
        Small(x, q);
        mont.Pow(x, x, half, halfBits);
        return IsMinusOne(x);
    }
};

/// The check for q and p^k || q - 1 (Cohen 9.1.28, steps 4a to 4d). f is
/// LogTable(q).
PairResult CheckPair(const Context& cx, int p, int k, uint32_t q, const std::vector<uint32_t>& f,
                     const std::atomic<int>& state) {
    const int w = cx.words;
    if (p == 2 && k == 1) {
        // (-q)^((n-1)/2) = +-1, primitive when -1 and n = 1 mod 4.
        u64 x[WORDS];
        const u64 zero[WORDS] = {};
        cx.Small(x, q);
        cx.mont.Sub(x, zero, x);
        cx.mont.Pow(x, x, cx.half, cx.halfBits);
        if (std::equal(x, x + w, cx.mont.One())) return PAIR_PASSED;
        if (!cx.IsMinusOne(x)) return PAIR_COMPOSITE;
        return (cx.n[0] & 3) == 1 ? PAIR_PRIMITIVE : PAIR_PASSED;
    }
    CyclotomicRing ring(cx.mont, p, k);
    const int order = ring.Order();
    const int ew = ring.ElementWords();
    // n = quotient * p^k + rest.
    u64 quotient[WORDS];
    const u64 rest = kw::DivRem1(quotient, cx.n, w, static_cast<u64>(order));
    const int qbits = kw::BitLen(quotient, kw::Norm(quotient, w));
    std::vector<u64> S(static_cast<size_t>(ew)), T(static_cast<size_t>(ew)), J(static_cast<size_t>(ew));

    if (p == 2 && k == 2) {
        // S = (q J^2)^(n div 4), times J^2 when n = 3 mod 4.
        ring.SetSmall(J.data(), JacobiSum(f, order, 1, 1));
        ring.Sqr(J.data(), J.data());
        u64 qr[WORDS];
        cx.Small(qr, q);
        ring.MulScalar(T.data(), J.data(), qr);
        if (!ring.Pow(S.data(), T.data(), quotient, qbits, state)) return PAIR_ABORTED;
        if (rest == 3) ring.Mul(S.data(), S.data(), J.data());
    } else {
        // J = j(chi, chi) for odd p; J3 = j(chi, chi) j(chi, chi^2) for 2^k, k >= 3.
        ring.SetSmall(J.data(), JacobiSum(f, order, 1, 1));
        if (p == 2) {
            ring.SetSmall(T.data(), JacobiSum(f, order, 2, 1));
            ring.Mul(J.data(), J.data(), T.data());
        }
        // E: the x in [1, p^k) prime to p (for 2^k: x = 1, 3 mod 8), and
        // sigma_x^-1(J) for each.
        std::vector<int> xs;
        for (int x = 1; x < order; ++x)
            if (p == 2 ? (x % 8 == 1 || x % 8 == 3) : x % p != 0) xs.push_back(x);
        std::vector<u64> images(xs.size() * static_cast<size_t>(ew));
        std::vector<const u64*> bases;
        for (size_t i = 0; i < xs.size(); ++i) {
            u64* y = images.data() + i * static_cast<size_t>(ew);
            ring.InverseAutomorphism(y, J.data(), xs[i]);
            bases.push_back(y);
        }
        // S = (J^theta)^(n div p^k) J^alpha with theta = sum x sigma_x^-1,
        // alpha = sum floor(rest x / p^k) sigma_x^-1.
        ring.MultiPow(T.data(), bases, xs);
        if (!ring.Pow(S.data(), T.data(), quotient, qbits, state)) return PAIR_ABORTED;
        std::vector<int> alpha;
        for (const int x : xs) alpha.push_back(static_cast<int>(rest * static_cast<u64>(x) / static_cast<u64>(order)));
        ring.MultiPow(T.data(), bases, alpha);
        ring.Mul(S.data(), S.data(), T.data());
        if (p == 2 && (rest % 8 == 5 || rest % 8 == 7)) {
            // J2 = j(chi^(2^(k-3)), chi^(3 2^(k-3)))^2, a sum over the 8th roots.
            std::vector<long long> c(static_cast<size_t>(order), 0);
            for (size_t x = 1; x < f.size(); ++x) c[(3 * x + f[x]) % 8 * static_cast<size_t>(order / 8)] += 1;
            ring.SetSmall(T.data(), c);
            ring.Sqr(T.data(), T.data());
            ring.Mul(S.data(), S.data(), T.data());
        }
    }
    const int h = ring.RootOfUnityIndex(S.data());
    if (h < 0) return PAIR_COMPOSITE;
    if (h % p == 0) return PAIR_PASSED;
    if (p == 2 && !cx.HalfPowerIsMinusOne(q)) return PAIR_PASSED;
    return PAIR_PRIMITIVE;
}

/// The largest p^k whose ring an extra check may use: the products grow
/// with the square of p^k.
constexpr int EXTRA_ORDER_LIMIT = 64;
/// Extra checks tried for one p before n is given up as composite.
constexpr int EXTRA_TRIES = 200;

/// The last step: no r = n^i mod e(t), 1 <= i < t, with 1 < r <= sqrt(n)
/// divides n. r runs through the residues modulo the odd part u of e(t)
/// (kept plain by a Montgomery product with n R) and modulo 2^a.
ProofResult FinalDivisions(const Context& cx, const Setup& s, const std::atomic<int>& state) {
    const int w = cx.words;
    int a = 0;
    while (((s.e[a / 64] >> (a % 64)) & 1) == 0) ++a;
    u64 u[WORDS + 1];
    const int un = kw::ShiftRightBits(u, s.e, s.en, a);
    const u64 mask = a >= 64 ? ~u64{0} : (u64{1} << a) - 1;
    // u^-1 mod 2^64 by Newton's iteration.
    u64 uinv = u[0];
    for (int i = 0; i < 5; ++i) uinv *= 2 - u[0] * uinv;

    u64 root[WORDS];
    const int rootn = kw::ISqrt(root, cx.n, w);
    u64 y[WORDS + 1] = {1}, nR[WORDS + 1];
    const kw::Montgomery mu(u, un);  // u > 1: 3 divides e(t) for every even t
    mu.To(nR, cx.n, w);
    const u64 n2 = cx.n[0] & mask;
    u64 z = 1;
    for (uint32_t i = 1; i < s.t; ++i) {
        if ((i & 1023) == 0 && state.load(std::memory_order_relaxed) == RUN_ABORT) return ProofResult::Aborted;
        mu.Mul(y, y, nR);
        z = z * n2 & mask;
        // r = y + u c with c = (z - y) / u mod 2^a.
        const u64 c = (z - y[0]) * uinv & mask;
        u64 r[WORDS + 2];
        r[un] = kw::Mul1(r, u, un, c);
        kw::Add(r, r, un + 1, y, un);  // below e(t): no carry out
        const int rn = kw::Norm(r, un + 1);
        if (rn == 1 && r[0] == 1) break;  // the powers repeat from here
        if (rn == 0 || kw::Cmp(r, rn, root, rootn) > 0) continue;
        u64 rem[WORDS];
        kw::DivRem(nullptr, rem, cx.n, w, r, rn);
        if (kw::Norm(rem, rn) == 0) return ProofResult::Composite;
    }
    return ProofResult::Prime;
}

/// One odd q and its checks, with an estimate of their work.
struct WorkItem {
    uint32_t q;
    std::vector<PrimePower> pairs;
    double cost;
};

double PairCost(const PrimePower& pp) {
    if (pp.pk == 2) return 2;
    const double d = pp.pk - pp.pk / pp.p;
    return d * d;
}

}  // namespace

uint32_t JacobiSumParameter(int bits) {
    for (const TChoice& c : T_TABLE)
        if (bits <= c.bits) return c.t;
    return T_TABLE[std::size(T_TABLE) - 1].t;
}

ProofResult JacobiSumTest(const u64* n, int words, const std::atomic<int>& state, Progress* progress, int threads) {
    words = kw::Norm(n, words);
    if (words < 2 || (n[0] & 1) == 0) return ProofResult::Composite;
    if (state.load() == RUN_ABORT) return ProofResult::Aborted;
    const int bits = kw::BitLen(n, words);
    Setup s = MakeSetup(JacobiSumParameter(bits));
    // e(t)^2 > n, guarded against a table row that claims too much.
    while (2 * (kw::BitLen(s.e, s.en) - 1) < bits) s = MakeSetup(s.t * 2);

    // Step 1: n prime to t e(t): no factor among the primes of t and the q.
    for (const int p : s.primesOfT)
        if (kw::Mod1(n, words, static_cast<u64>(p)) == 0) return ProofResult::Composite;
    for (const uint32_t q : s.qs)
        if (kw::Mod1(n, words, q) == 0) return ProofResult::Composite;

    const Context cx(n, words);
    // Step 2: the condition for p holds at once for odd p with n^(p-1) != 1 mod p^2.
    std::atomic<bool> lp[64] = {};
    for (const int p : s.primesOfT) {
        if (p == 2) continue;
        const uint64_t p2 = static_cast<uint64_t>(p) * static_cast<uint64_t>(p);
        const uint64_t r = kw::Mod1(n, words, p2);
        uint64_t x = 1;
        for (int i = 0; i < p - 1; ++i) x = x * r % p2;
        if (x != 1) lp[p] = true;
    }

    // Steps 3 and 4: every q with all its p^k, the most work first.
    std::vector<WorkItem> items;
    int total = 0;
    for (const uint32_t q : s.qs) {
        WorkItem item{q, Factor(q - 1), 0};
        for (const PrimePower& pp : item.pairs) item.cost += PairCost(pp);
        total += static_cast<int>(item.pairs.size());
        items.push_back(std::move(item));
    }
    std::stable_sort(items.begin(), items.end(), [](const WorkItem& x, const WorkItem& y) { return x.cost > y.cost; });
    std::atomic<size_t> next{0};
    std::atomic<int> done{0};
    std::atomic<int> outcome{0};  // 1 composite, 2 aborted
    auto report = [&] {
        ReportProgress(progress, [&] { return "APR-CL: " + std::to_string(done.load()) + "/" + std::to_string(total); });
    };
    RunThreads(threads, [&](int) {
        for (;;) {
            const size_t i = next.fetch_add(1);
            if (i >= items.size() || outcome.load() != 0) return;
            const WorkItem& item = items[i];
            const std::vector<uint32_t> f = LogTable(item.q);
            for (const PrimePower& pp : item.pairs) {
                if (state.load() == RUN_ABORT) {
                    outcome = 2;
                    return;
                }
                const PairResult r = CheckPair(cx, pp.p, pp.k, item.q, f, state);
                if (r == PAIR_ABORTED) {
                    outcome = 2;
                    return;
                }
                if (r == PAIR_COMPOSITE) {
                    outcome = 1;
                    return;
                }
                if (r == PAIR_PRIMITIVE) lp[pp.p] = true;
                ++done;
                report();
            }
        }
    });
    if (outcome == 1) return ProofResult::Composite;
    if (outcome == 2 || state.load() == RUN_ABORT) return ProofResult::Aborted;

    // Step 5: extra checks with q = 1 mod p outside e(t) for each p still open.
    for (const int p : s.primesOfT) {
        int tries = 0;
        for (uint64_t q = static_cast<uint64_t>(p) + 1; !lp[p]; q += static_cast<uint64_t>(p)) {
            if (tries >= EXTRA_TRIES) return ProofResult::Composite;
            if (!IsSmallPrime(q) || kw::Mod1(s.e, s.en, q) == 0) continue;
            if (kw::Mod1(n, words, q) == 0) return ProofResult::Composite;
            int k = 0, pk = 1;
            for (uint64_t m = q - 1; m % static_cast<uint64_t>(p) == 0; m /= static_cast<uint64_t>(p)) {
                ++k;
                pk *= p;
            }
            if (pk > EXTRA_ORDER_LIMIT) continue;
            ++tries;
            const PairResult r = CheckPair(cx, p, k, static_cast<uint32_t>(q), LogTable(static_cast<uint32_t>(q)), state);
            if (r == PAIR_ABORTED) return ProofResult::Aborted;
            if (r == PAIR_COMPOSITE) return ProofResult::Composite;
            if (r == PAIR_PRIMITIVE) lp[p] = true;
        }
    }

    // Step 6.
    return FinalDivisions(cx, s, state);
}

namespace {

/// Whether a prime below 2^12 divides n: a quick answer for most composites.
bool HasSmallFactor(const u64* n, int words) {
    static const std::vector<u64> primes = [] {
        std::vector<u64> v;
        for (u64 p = 3; p < 4096; p += 2)
            if (IsSmallPrime(p)) v.push_back(p);
        return v;
    }();
    for (const u64 p : primes)
        if (kw::Mod1(n, words, p) == 0) return true;
    return false;
}

}  // namespace

namespace {

ProofResult Decide(const BigInt& n, const std::atomic<int>& state, Progress* progress, int threads) {
    if (state.load() == RUN_ABORT) return ProofResult::Aborted;
    if (n.GetStatus() != 0 || n.GetSign() != 0) return ProofResult::Composite;
    const kw::Mag m = kw::Load(n);
    // Baillie-PSW has no exception below 2^64: it decides there.
    if (m.n <= 1) return IsBpswProbablePrime(m.w, m.n) ? ProofResult::Prime : ProofResult::Composite;
    if ((m.w[0] & 1) == 0 || HasSmallFactor(m.w, m.n) || !IsBpswProbablePrime(m.w, m.n)) return ProofResult::Composite;
    return JacobiSumTest(m.w, m.n, state, progress, threads);
}

}  // namespace

ProofResult ProvePrime(const BigInt& n, const std::atomic<int>& state, Progress* progress, int threads) {
    const ProofResult r = Decide(n, state, progress, threads);
    if (progress != nullptr) progress->Clear();
    return r;
}
