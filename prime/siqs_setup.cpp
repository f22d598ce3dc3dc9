// The quadratic sieve's preparations: the parameter table, the
// Knuth-Schroeppel multiplier and the factor base with its thresholds.

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "prime/bpsw.h"
#include "prime/siqs_internal.h"

namespace siqs {

namespace {

u32 PowMod(u32 a, u32 e, u32 p) {
    u32 r = 1;
    while (e != 0) {
        if (e & 1) r = MulMod(r, a, p);
        a = MulMod(a, a, p);
        e >>= 1;
    }
    return r;
}


// One row per size: bits of n, primes in the factor base, blocks on each
// side of 0, large-prime multiplier, two large primes, smallest prime sieved.
struct Row {
    int bits;
    int fbSize;
    int blocksPerSide;
    int lpMult;
    bool dlp;
    u32 sieveFrom;
};

// Sizes from 20 to 100 digits in steps of 5 digits.
constexpr Row ROWS[] = {
    {64, 100, 1, 30, false, 3},       {83, 150, 1, 40, false, 3},
    {100, 200, 1, 50, false, 5},      {116, 300, 1, 60, false, 5},
    {133, 450, 1, 80, false, 7},      {150, 1000, 1, 100, false, 11},
    {166, 1800, 1, 120, false, 17},   {183, 3000, 1, 150, false, 31},
    {199, 5500, 1, 200, false, 64},   {216, 9000, 2, 200, false, 64},
    {232, 15000, 2, 200, false, 64},  {249, 22000, 3, 200, false, 64},
    {265, 32000, 3, 200, false, 64},  {282, 45000, 4, 200, true, 64},
    {299, 60000, 6, 200, true, 64},   {315, 80000, 8, 200, true, 64},
    {332, 100000, 10, 200, true, 64},
};

}  // namespace

u32 InverseMod(u32 a, u32 p) {
    // Euclid on 32-bit words, the cofactors kept as magnitudes with
    // alternating signs.
    u32 r0 = p, r1 = a, t0 = 0, t1 = 1;
    bool negative = false;  // sign of t1 (t0 has the other)
    while (r1 > 1) {
        const u32 q = r0 / r1;
        const u32 r2 = r0 - q * r1;
        r0 = r1;
        r1 = r2;
        const u32 t2 = t0 + q * t1;
        t0 = t1;
        t1 = t2;
        negative = !negative;
    }
    return negative ? p - t1 : t1;
}

u32 SqrtMod(u32 a, u32 p) {
    if (a == 0) return 0;
    if ((p & 3) == 3) return PowMod(a, (p + 1) / 4, p);
    // Tonelli-Shanks: p - 1 = q 2^s with q odd.
    u32 q = p - 1;
    int s = 0;
    while ((q & 1) == 0) {
        q >>= 1;
        ++s;
    }
    u32 z = 2;
    while (JacobiSmall(z, p) != -1) ++z;
    u32 c = PowMod(z, q, p);
    u32 x = PowMod(a, (q + 1) / 2, p);
    u32 t = PowMod(a, q, p);
    int m = s;
    while (t != 1) {
        int i = 0;
        u32 tt = t;
        while (tt != 1) {
            tt = MulMod(tt, tt, p);
            ++i;
        }
        u32 b = c;
        for (int j = 0; j < m - i - 1; ++j) b = MulMod(b, b, p);
        x = MulMod(x, b, p);
        c = MulMod(b, b, p);
        t = MulMod(t, c, p);
        m = i;
    }
    return x;
}

std::vector<u32> PrimesBelow(u32 limit) {
    std::vector<u32> primes;
    if (limit <= 2) return primes;
    std::vector<u8> composite(limit, 0);
    for (u32 i = 2; i < limit; ++i) {
        if (composite[i]) continue;
        primes.push_back(i);
        for (u64 j = static_cast<u64>(i) * i; j < limit; j += i) composite[j] = 1;
    }
    return primes;
}

Params ParamsFor(int bits) {
    constexpr int rows = sizeof ROWS / sizeof ROWS[0];
    int i = 0;
    while (i + 1 < rows && ROWS[i + 1].bits <= bits) ++i;
    const Row& lo = ROWS[i];
    const Row& hi = ROWS[i + 1 < rows ? i + 1 : i];
    Params p;
    // The factor base grows geometrically between rows; the rest steps.
    double f = hi.bits == lo.bits ? 0 : static_cast<double>(bits - lo.bits) / (hi.bits - lo.bits);
    f = std::clamp(f, 0.0, 1.0);
    p.fbSize = static_cast<int>(std::lround(lo.fbSize * std::pow(static_cast<double>(hi.fbSize) / lo.fbSize, f)));
    p.blocksPerSide = lo.blocksPerSide;
    p.lpMult = lo.lpMult;
    p.dlp = lo.dlp;
    p.sieveFrom = lo.sieveFrom;
    p.extraSlack = p.dlp ? 0 : 8;
    p.fbSize = std::min(p.fbSize, MAX_FACTOR_BASE - 2);
    if (getenv("T_FB")) p.fbSize = atoi(getenv("T_FB"));
    if (getenv("T_NB")) p.blocksPerSide = atoi(getenv("T_NB"));
    if (getenv("T_LPM")) p.lpMult = atoi(getenv("T_LPM"));
    if (getenv("T_DLP")) p.dlp = atoi(getenv("T_DLP"));
    if (getenv("T_SF")) p.sieveFrom = atoi(getenv("T_SF"));
    if (getenv("T_SL")) p.extraSlack = 8 + atof(getenv("T_SL"));
    if (getenv("T_DLPE")) p.dlpExponent = atof(getenv("T_DLPE"));
    if (getenv("T_DLPS")) p.dlpSlack = atof(getenv("T_DLPS"));
    return p;
}

u32 ChooseMultiplier(const Num& n) {
    // Odd squarefree multipliers below 100.
    static constexpr u32 CANDIDATES[] = {1,  3,  5,  7,  11, 13, 15, 17, 19, 21, 23, 29, 31, 33,
                                         35, 37, 39, 41, 43, 47, 51, 53, 55, 57, 59, 61, 65, 67,
                                         69, 71, 73, 77, 79, 83, 85, 87, 89, 91, 93, 95, 97};
    static const std::vector<u32> primes = PrimesBelow(2000);
    std::vector<u32> nmod(primes.size());
    for (size_t i = 0; i < primes.size(); ++i) nmod[i] = static_cast<u32>(kw::Mod1(n.w, n.n, primes[i]));
    const u32 n8 = static_cast<u32>(n.w[0] & 7);
    u32 best = 1;
    double bestScore = -1e300;
    for (u32 k : CANDIDATES) {
        double score = -0.5 * std::log(static_cast<double>(k));
        const u32 kn8 = (k * n8) & 7;
        if (kn8 == 1) {
            score += 2 * std::log(2.0);
        } else if (kn8 == 5) {
            score += std::log(2.0);
        } else {
            score += 0.5 * std::log(2.0);
        }
        for (size_t i = 1; i < primes.size(); ++i) {
            const u32 p = primes[i];
            const double lp = std::log(static_cast<double>(p));
            const u32 r = MulMod(k % p, nmod[i], p);
            if (r == 0) {
                score += lp / p;
            } else if (JacobiSmall(r, p) == 1) {
                score += 2 * lp / (p - 1);
            }
        }
        if (score > bestScore) {
            bestScore = score;
            best = k;
        }
    }
    return best;
}

u32 BuildFactorBase(const Num& n, const Params& params, const std::atomic<int>& state, FactorBase& fb) {
    fb = FactorBase();
    fb.n = n;
    fb.k = ChooseMultiplier(n);
    fb.kn = n;
    fb.kn.w[n.n] = kw::Mul1(fb.kn.w, n.w, n.n, fb.k);
    fb.kn.n = kw::Norm(fb.kn.w, n.n + 1);

    const int wanted = params.fbSize + 1;  // the sign and the primes
    fb.prime = {1, 2};
    fb.sqrtKn = {0, 1};
    u32 limit = 1024;
    size_t next = 1;  // index into `primes` of the next odd prime to try
    std::vector<u32> primes;
    while (static_cast<int>(fb.prime.size()) < wanted) {
        if (next >= primes.size()) {
            limit *= 2;
            primes = PrimesBelow(limit);
        }
        for (; next < primes.size() && static_cast<int>(fb.prime.size()) < wanted; ++next) {
            if ((next & 1023) == 0 && state.load(std::memory_order_relaxed) == RUN_ABORT) return FB_ABORTED;
            const u32 p = primes[next];
            const u32 r = static_cast<u32>(kw::Mod1(fb.kn.w, fb.kn.n, p));
            if (r == 0) {
                if (fb.k % p != 0) return p;  // p divides n
                fb.prime.push_back(p);
                fb.sqrtKn.push_back(0);
            } else if (JacobiSmall(r, p) == 1) {
                fb.prime.push_back(p);
                fb.sqrtKn.push_back(SqrtMod(r, p));
            }
        }
    }
    fb.size = static_cast<int>(fb.prime.size());
    fb.largestPrime = fb.prime.back();

    fb.blocksPerSide = params.blocksPerSide;
    fb.blocks = 2 * params.blocksPerSide;
    fb.M = static_cast<u32>(params.blocksPerSide) * BLOCK;
    fb.interval = 2 * fb.M;

    auto firstAtLeast = [&](u64 bound) {
        int i = 2;
        while (i < fb.size && fb.prime[i] < bound) ++i;
        return i;
    };
    fb.sieveFrom = firstAtLeast(params.sieveFrom);
    for (int k = 0; k < 4; ++k) {
        fb.fixedFrom[k] = std::max(k == 0 ? fb.sieveFrom : fb.fixedFrom[k - 1], firstAtLeast(BLOCK >> (3 - k)));
    }
    fb.largeFrom = std::max(fb.fixedFrom[3], firstAtLeast(BLOCK));
    fb.hugeFrom = std::max(fb.largeFrom, firstAtLeast(fb.interval));

    const u64 pmax = fb.largestPrime;
    fb.pmaxSquared = pmax * pmax;
    const u64 lp = std::min<u64>(pmax * static_cast<u64>(params.lpMult), 0xFFFFFFFFull);
    fb.lpMax = static_cast<u32>(std::min<u64>(lp, fb.pmaxSquared - 1));
    fb.dlpMax = params.dlp ? static_cast<u64>(std::pow(static_cast<double>(fb.lpMax), params.dlpExponent)) : 0;

    // Threshold: log2 of the largest |Q(x)| on the interval, less the large
    // primes allowed, less what the unsieved small primes contribute on
    // average.
    // log2 kN from its top two words.
    const int topWord = fb.kn.n - 1;
    double top = static_cast<double>(fb.kn.w[topWord]);
    if (topWord > 0) top += static_cast<double>(fb.kn.w[topWord - 1]) / 18446744073709551616.0;
    const double knBits = std::log2(top) + 64.0 * topWord;
    fb.knBits = knBits;
    const double qBits = std::log2(static_cast<double>(fb.M)) + 0.5 * knBits - 0.5;
    double unsieved = 0;
    {
        const u32 kn8 = static_cast<u32>(fb.kn.w[0] & 7);
        unsieved += kn8 == 1 ? 2.0 : kn8 == 5 ? 1.0 : 0.5;
        for (int i = 2; i < fb.sieveFrom; ++i) {
            const double p = fb.prime[i];
            unsieved += (fb.sqrtKn[i] == 0 ? 1.0 : 2.0) * std::log2(p) / (p - 1);
        }
    }
    const double slack = params.dlp ? std::log2(static_cast<double>(fb.dlpMax)) * params.dlpSlack
                                    : std::log2(static_cast<double>(fb.lpMax));
    const double threshold = std::max(8.0, qBits - slack - params.extraSlack - unsieved);
    fb.logScale = std::min(1.0, 110.0 / threshold);
    fb.initByte = static_cast<u8>(128 - std::lround(threshold * fb.logScale));

    fb.logp.assign(fb.size, 0);
    fb.pinv.assign(fb.size, 0);
    fb.plim.assign(fb.size, 0);
    for (int i = 2; i < fb.size; ++i) {
        const u32 p = fb.prime[i];
        if (i >= fb.sieveFrom && fb.sqrtKn[i] != 0)
            fb.logp[i] = static_cast<u8>(std::lround(std::log2(static_cast<double>(p)) * fb.logScale));
        u32 inv = p;  // correct to 3 bits; each Newton step doubles that
        for (int j = 0; j < 4; ++j) inv *= 2 - p * inv;
        fb.pinv[i] = inv;
        fb.plim[i] = 0xFFFFFFFFu / p;
    }
    return FB_BUILT;
}

}  // namespace siqs
