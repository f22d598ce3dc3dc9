// The complete factorisation. The target is divided by the table primes,
// then its parts are taken smallest first: each is proven prime or split
// by the first stage that finds a factor, and the pieces go back to the
// queue. A piece continues at the stage that split its parent (a rho
// factor's cofactor is walked with rho again, an ECM factor's cofactor
// resumes the curves where its parent stood).

#include "prime/factorise.h"

#include <algorithm>
#include <cstdio>

#include "bigint/bigint_words.h"
#include "bigint/word_algorithms.h"
#include "prime/aprcl.h"
#include "prime/bpsw.h"
#include "prime/ecm_engine.h"
#include "prime/parallel.h"
#include "prime/prime_engine.h"
#include "prime/siqs.h"

namespace {

using kw::u64;

/// One level of the curves: its bound B1, its number of curves, and the
/// size of factor it makes unlikely to remain.
struct EcmLevel {
    uint64_t b1;
    int curves;
    int digits;
};

constexpr EcmLevel ECM_LEVELS[] = {
    {2000, 25, 15},        {11000, 90, 20},        {50000, 300, 25},       {250000, 700, 30},
    {1000000, 1800, 35},   {3000000, 5100, 40},    {11000000, 10600, 45},  {43000000, 19300, 50},
    {110000000, 49000, 55}, {260000000, 124000, 60}, {850000000, 210000, 65},
};
constexpr int ECM_LEVEL_COUNT = static_cast<int>(sizeof ECM_LEVELS / sizeof ECM_LEVELS[0]);

/// Parts of up to SIQS_MAX_DIGITS digits go to the sieve once the curves
/// have made a factor of this share of their digits unlikely: then the
/// sieve is expected to be faster than more curves.
constexpr double SIQS_PRETEST_RATIO = 0.31;

bool Aborted(const std::atomic<int>& state) { return state.load(std::memory_order_relaxed) == RUN_ABORT; }

int DecimalDigits(const BigInt& x) { return static_cast<int>(DecimalOf(x).size()); }

// CompareMagnitude answers 2 for "smaller".
bool Less(const BigInt& a, const BigInt& b) { return a.CompareMagnitude(b) == 2; }

/// A part on the queue and how far the stages have got on it.
struct Part {
    BigInt value;
    int exponent = 1;
    bool rhoDone = false;
    bool pm1Done = false;
    int ecmLevel = 0;
    int ecmCurves = 0;  ///< curves of ecmLevel already run
};

u64 PowMod64(u64 b, u64 e, u64 m) {
    unsigned __int128 r = 1, x = b % m;
    for (; e != 0; e >>= 1) {
        if (e & 1) r = r * x % m;
        x = x * x % m;
    }
    return static_cast<u64>(r);
}

bool IsPrime64Small(u64 q) {
    for (u64 d = 2; d * d <= q; ++d)
        if (q % d == 0) return false;
    return q >= 2;
}

/// Whether x (with no prime factor below 2^13) may be an e-th power, e an
/// odd prime: x must be an e-th power residue modulo eight primes 1 mod e.
bool MayBePower(const kw::Mag& x, u64 e) {
    int tested = 0;
    for (u64 q = 2 * e + 1; tested < 8; q += 2 * e) {
        if (!IsPrime64Small(q)) continue;
        const u64 r = kw::Mod1(x.w, x.n, q);
        if (r == 0) continue;
        if (PowMod64(r, (q - 1) / e, q) != 1) return false;
        ++tested;
    }
    return true;
}

/// r and e with r^e = x for the largest such e, or x and 1. x has no prime
/// factor below 2^13, so e <= bits / 13.
std::pair<BigInt, int> PerfectPower(const BigInt& x, const std::atomic<int>& state) {
    BigInt root = x;
    int exponent = 1;
    for (bool found = true; found;) {
        found = false;
        const kw::Mag m = kw::Load(root);
        const int bits = kw::BitLen(m.w, m.n);
        u64 s[kw::WORDS];
        const int sn = kw::ISqrt(s, m.w, m.n);
        u64 sq[2 * kw::WORDS];
        kw::Sqr(sq, s, sn);
        if (kw::Cmp(sq, kw::Norm(sq, 2 * sn), m.w, m.n) == 0) {
            root = kw::FromWords(s, sn);
            exponent *= 2;
            found = true;
            continue;
        }
        for (u64 e = 3; !found && static_cast<int>(e) <= bits / 13; e += 2) {
            if (Aborted(state)) return {root, exponent};
            if (!IsPrime64Small(e) || !MayBePower(m, e)) continue;
            const BigInt r = root.Root(static_cast<int>(e));
            if (r.Power(static_cast<int>(e)) == root) {
                root = r;
                exponent *= static_cast<int>(e);
                found = true;
            }
        }
    }
    return {root, exponent};
}

class Factoriser {
public:
    Factoriser(const FactoriseSettings& settings, const std::atomic<int>& state, Progress* progress)
        : m_settings(settings),
          m_state(state),
          m_progress(progress),
          m_threads(settings.threads > 0 ? settings.threads : DefaultThreadCount()) {}

    FactoriseResult Run(const BigInt& n);

private:
    /// Divides the table primes up to the bound out of |n|; the rest goes to the queue.
    bool TrialDivide(const BigInt& n);
    /// Splits the composite part, or returns false on an abort.
    bool Split(Part& part);
    bool SplitWith(Part& part, FactoriseStage stage, const BigInt& factor);
    bool RunEcmLevels(Part& part);
    void Start(FactoriseStage stage, const BigInt& part, const char* text) {
        if (m_settings.stageStarted) m_settings.stageStarted(stage, part);
        if (text != nullptr) ReportProgress(m_progress, [&] { return std::string(text); });
    }
    void AddPrime(const BigInt& p, int exponent) { m_result.primes.insert(m_result.primes.end(), exponent, p); }

    const FactoriseSettings& m_settings;
    const std::atomic<int>& m_state;
    Progress* m_progress;
    int m_threads;
    uint64_t m_ecmRuns = 0;
    std::vector<Part> m_queue;
    FactoriseResult m_result;
};

bool Factoriser::TrialDivide(const BigInt& n) {
    const int bound = m_settings.trialDivFirst ? std::clamp(m_settings.trialDivBound, 2, LAST_PRIME)
                                               : FACTORISE_TRIAL_BOUND;
    Start(STAGE_TRIAL, n, "試し割り");
    kw::Mag w = kw::Load(n);
    for (int i = 0; i < PRIME_COUNT && g_primeEngine.primes[i] <= bound; ++i) {
        const u64 p = static_cast<u64>(g_primeEngine.primes[i]);
        if (w.n == 1 && w.w[0] < p * p) break;
        if (i % 1024 == 0 && Aborted(m_state)) {
            if (w.n > 1 || w.w[0] > 1) m_queue.push_back({kw::FromWords(w.w, w.n)});
            return false;
        }
        const kw::Divisor1 d(p);
        u64 q[kw::WORDS];
        while (kw::DivRem1(q, w.w, w.n, d) == 0) {
            kw::Copy(w.w, q, w.n);
            w.n = kw::Norm(w.w, w.n);
            AddPrime(BigInt(static_cast<int>(p)), 1);
            ++m_result.splitsBy[STAGE_TRIAL];
        }
    }
    if (w.n > 1 || w.w[0] > 1) m_queue.push_back({kw::FromWords(w.w, w.n)});
    return true;
}

bool Factoriser::SplitWith(Part& part, FactoriseStage stage, const BigInt& factor) {
    if (factor <= 1 || !Less(factor, part.value)) return false;
    ++m_result.splitsBy[stage];
    Part a = part, b = part;
    a.value = factor;
    b.value = part.value / factor;
    m_queue.push_back(a);
    m_queue.push_back(b);
    return true;
}

/// The last level repeats, with new curves, until a factor appears.
void NextLevel(Part& part) {
    part.ecmCurves = 0;
    if (part.ecmLevel < ECM_LEVEL_COUNT - 1) ++part.ecmLevel;
}

bool Factoriser::RunEcmLevels(Part& part) {
    const int digits = DecimalDigits(part.value);
    for (;;) {
        const EcmLevel& level = ECM_LEVELS[part.ecmLevel];
        if (digits <= SIQS_MAX_DIGITS && level.digits > SIQS_PRETEST_RATIO * digits) return true;
        if (part.ecmCurves >= level.curves) {
            NextLevel(part);
            continue;
        }
        char label[48];
        std::snprintf(label, sizeof label, "ECM level %d/%d", part.ecmLevel + 1, ECM_LEVEL_COUNT);
        EcmParams params;
        params.b1 = level.b1;
        params.curves = level.curves - part.ecmCurves;
        params.seed = m_settings.seed + ++m_ecmRuns * 0x9E3779B97F4A7C15ull;
        params.threads = m_threads;
        params.label = label;
        Start(STAGE_ECM, part.value, nullptr);
        const EcmResult r = RunEcm(part.value, params, m_state, m_progress);
        if (r.aborted) return false;
        if (r.factor != 0) {
            part.ecmCurves += r.curvesRun;
            SplitWith(part, STAGE_ECM, r.factor);
            return true;
        }
        NextLevel(part);
    }
}

bool Factoriser::Split(Part& part) {
    Start(STAGE_POWER, part.value, nullptr);
    const auto [root, e] = PerfectPower(part.value, m_state);
    if (Aborted(m_state)) return false;
    if (e > 1) {
        ++m_result.splitsBy[STAGE_POWER];
        Part p = part;
        p.value = root;
        p.exponent *= e;
        m_queue.push_back(p);
        return true;
    }
    if (!part.rhoDone) {
        Start(STAGE_RHO, part.value, "ρ法");
        const BigInt g = g_primeEngine.Rho(part.value, m_settings.rhoTrials, m_settings.rhoExponent,
                                           m_settings.rhoX0, m_settings.rhoAddend, m_state);
        if (Aborted(m_state)) return false;
        if (SplitWith(part, STAGE_RHO, g)) return true;
        part.rhoDone = true;
    }
    if (!part.pm1Done) {
        Start(STAGE_PM1, part.value, "p-1法");
        const BigInt g = g_primeEngine.Pm1(part.value, m_settings.pm1SmallExponent, m_settings.pm1LargeExponent,
                                           m_settings.pm1Bound, m_state);
        if (Aborted(m_state)) return false;
        part.rhoDone = true;
        if (SplitWith(part, STAGE_PM1, g)) return true;
        part.pm1Done = true;
    }
    const size_t queued = m_queue.size();
    if (!RunEcmLevels(part)) return false;
    if (m_queue.size() != queued) return true;

    Start(STAGE_SIQS, part.value, nullptr);
    SiqsParams params;
    params.threads = m_threads;
    const SiqsResult r = FactorSiqs(part.value, params, m_state, m_progress);
    if (r.status != SiqsResult::FACTORED && r.status != SiqsResult::PRIME) return false;
    m_result.splitsBy[STAGE_SIQS] += static_cast<int>(r.primes.size()) - 1;
    for (const BigInt& p : r.primes) AddPrime(p, part.exponent);
    return true;
}

FactoriseResult Factoriser::Run(const BigInt& n) {
    m_result.status = FactoriseResult::BAD_TARGET;
    if (n.GetStatus() != 0 || n == 0) return m_result;
    m_result.negative = n.GetSign() != 0;
    BigInt magnitude = n;
    magnitude.SetSign(0);
    bool stopped = !TrialDivide(magnitude);
    while (!stopped && !m_queue.empty()) {
        // The smallest part first: a part that stays on the curves for good
        // holds up no other.
        const auto smallest = std::min_element(m_queue.begin(), m_queue.end(),
                                               [](const Part& a, const Part& b) { return Less(a.value, b.value); });
        Part part = *smallest;
        m_queue.erase(smallest);
        const ProofResult proof = ProvePrime(part.value, m_state, m_progress, m_threads);
        if (proof == ProofResult::Prime) {
            AddPrime(part.value, part.exponent);
            continue;
        }
        if (proof == ProofResult::Aborted) {
            m_queue.push_back(part);
            stopped = true;
        } else if (!Split(part)) {
            // Aborted, or (never seen) a composite no stage could split.
            m_queue.push_back(part);
            stopped = true;
        }
    }
    std::sort(m_result.primes.begin(), m_result.primes.end(), Less);
    for (const Part& p : m_queue) {
        // A part whose proof was interrupted is composite when the
        // probable-prime test says so; that verdict is certain.
        const bool composite = !IsBpswProbablePrime(p.value);
        m_result.parts.push_back({p.value, p.exponent, composite});
    }
    std::sort(m_result.parts.begin(), m_result.parts.end(),
              [](const FactorisePart& a, const FactorisePart& b) { return Less(a.value, b.value); });
    m_result.status = m_result.parts.empty() ? FactoriseResult::COMPLETE : FactoriseResult::ABORTED;
    return m_result;
}

}  // namespace

std::string DecimalOf(const BigInt& v) {
    kw::Mag m = kw::Load(v);
    std::string text;
    constexpr u64 CHUNK = 10000000000000000000ull;  // 10^19
    while (m.n > 0) {
        u64 r = kw::DivRem1(m.w, m.w, m.n, CHUNK);
        m.n = kw::Norm(m.w, m.n);
        for (int i = 0; i < 19 && (m.n > 0 || r != 0); ++i, r /= 10)
            text.insert(text.begin(), static_cast<char>('0' + r % 10));
    }
    if (text.empty()) text = "0";
    if (v.GetSign() != 0 && text != "0") text.insert(text.begin(), '-');
    return text;
}

FactoriseResult Factorise(const BigInt& n, const FactoriseSettings& settings, const std::atomic<int>& state,
                          Progress* progress) {
    Factoriser factoriser(settings, state, progress);
    return factoriser.Run(n);
}

std::string FactorisationText(const FactoriseResult& result) {
    std::vector<std::string> terms;
    if (result.negative) terms.emplace_back("-1");
    auto add = [&terms](const std::string& base, int exponent) {
        terms.push_back(exponent == 1 ? base : base + "^" + std::to_string(exponent));
    };
    for (size_t i = 0; i < result.primes.size();) {
        size_t j = i;
        while (j < result.primes.size() && result.primes[j] == result.primes[i]) ++j;
        add(DecimalOf(result.primes[i]), static_cast<int>(j - i));
        i = j;
    }
    for (const FactorisePart& part : result.parts)
        add(DecimalOf(part.value) + (part.composite ? "(合成数)" : ""), part.exponent);
    std::string text;
    for (const std::string& term : terms) text += (text.empty() ? "" : " * ") + term;
    return text;
}
