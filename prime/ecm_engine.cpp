// The second elliptic-curve engine: one curve through stage 1 and stage 2,
// and a run of curves over several threads with a deterministic result.

#include "prime/ecm_engine.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "bigint/bigint_words.h"
#include "bigint/montgomery.h"
#include "bigint/word_algorithms.h"
#include "prime/ecm_curve.h"
#include "prime/ecm_plan.h"
#include "prime/parallel.h"
#include "prime/run_state.h"

using kw::u64;
using kw::WORDS;

namespace {

/// Giant steps normalised together by one inversion.
constexpr int GIANT_BLOCK = 64;

/// Why a curve ended.
enum CurveEnd { CURVE_NOTHING, CURVE_FOUND, CURVE_STOPPED };

/// When a curve must stop: the run was aborted, or a curve earlier in the
/// run's order has found a factor (this one's result no longer counts).
struct StopSignal {
    const std::atomic<int>* state;
    const std::atomic<int>* firstFound;  ///< null: never overtaken
    int curve;
    bool operator()() const {
        return state->load(std::memory_order_relaxed) == RUN_ABORT ||
               (firstFound != nullptr && firstFound->load(std::memory_order_relaxed) < curve);
    }
};

/// Everything one thread needs to run curves modulo n; the buffers are kept
/// from curve to curve.
class CurveRunner {
  public:
    CurveRunner(const kw::Montgomery& field, const EcmPlan& plan)
        : m_f(field), m_plan(plan), m_n(field.Size()) {}

    /// Runs the curve of sigma. On CURVE_FOUND, Factor() holds the factor.
    /// `report(stage)` is called now and then for the progress line.
    template <class Report>
    CurveEnd Run(uint64_t sigma, const StopSignal& stop, Report&& report);

    const u64* Factor() const { return m_factor; }
    int FactorWords() const { return m_factorWords; }
    int Stage() const { return m_stage; }

  private:
    /// Takes g[0..gn) as the curve's gcd: true when it is a proper factor.
    bool Proper(const u64* g, int gn, int stage);
    /// The gcd of the residue a with n is a proper factor.
    bool ProperGcd(const u64* a, int stage);

    template <class Report>
    CurveEnd Stage1(const EcmCurve& curve, EcmPoint& q, const StopSignal& stop, Report&& report,
                    bool gcdEachStep);
    template <class Report>
    CurveEnd Stage2(const EcmCurve& curve, const EcmPoint& q, const StopSignal& stop,
                    Report&& report);
    /// xs[k] = x of pts[k] for k < count; false when some Z has no inverse,
    /// with a proper factor found (CURVE_FOUND) or not.
    bool Normalize(const EcmPoint* pts, int count, u64* xs, const StopSignal& stop, CurveEnd* end);
    /// Rescans a block of giant steps whose product had gcd n, one row at a time.
    bool RescanBlock(const u64* gx, uint64_t firstRow, int rows);

    u64* Row(std::vector<u64>& v, size_t k) { return v.data() + k * WORDS; }

    const kw::Montgomery& m_f;
    const EcmPlan& m_plan;
    const int m_n;
    u64 m_factor[WORDS + 1] = {};
    int m_factorWords = 0;
    int m_stage = 0;
    std::vector<EcmPoint> m_points;  ///< baby steps or a block of giant steps, projective
    std::vector<u64> m_babyX;        ///< x of the baby steps
    std::vector<u64> m_giantX;       ///< x of one block of giant steps
    std::vector<u64> m_prefix;       ///< running products of Z while normalising
};

bool CurveRunner::Proper(const u64* g, int gn, int stage) {
    if (gn == 1 && g[0] == 1) return false;
    if (kw::Cmp(g, gn, m_f.Modulus(), m_n) == 0) return false;
    kw::Copy(m_factor, g, gn);
    m_factorWords = gn;
    m_stage = stage;
    return true;
}

bool CurveRunner::ProperGcd(const u64* a, int stage) {
    u64 g[WORDS + 1];
    const int gn = EcmGcd(m_f, a, g);
    return Proper(g, gn, stage);
}

template <class Report>
CurveEnd CurveRunner::Run(uint64_t sigma, const StopSignal& stop, Report&& report) {
    m_factorWords = 0;
    m_stage = 0;
    const EcmSuyamaCurve made = EcmCurveFromSigma(m_f, sigma);
    if (!made.ok) return Proper(made.gcd, made.gcdWords, 1) ? CURVE_FOUND : CURVE_NOTHING;
    const EcmCurve curve(m_f, made.a24);
    EcmPoint q = made.start;
    const CurveEnd end1 = Stage1(curve, q, stop, report, false);
    if (end1 != CURVE_NOTHING) return end1;
    u64 g[WORDS + 1];
    const int gn = EcmGcd(m_f, q.z, g);
    if (!(gn == 1 && g[0] == 1)) {
        if (Proper(g, gn, 1)) return CURVE_FOUND;
        // Every prime of n at once: again, with a gcd after each step, to
        // catch one prime before the others.
        q = made.start;
        return Stage1(curve, q, stop, report, true);
    }
    if (m_plan.rows == 0) return CURVE_NOTHING;
    return Stage2(curve, q, stop, report);
}

template <class Report>
CurveEnd CurveRunner::Stage1(const EcmCurve& curve, EcmPoint& q, const StopSignal& stop,
                             Report&& report, bool gcdEachStep) {
    // While replaying: whether the gcd after the last step ends the curve
    // (in *end), a proper factor or every prime of n at once.
    CurveEnd replayEnd = CURVE_NOTHING;
    auto ends = [&]() {
        if (!gcdEachStep) return false;
        u64 g[WORDS + 1];
        const int gn = EcmGcd(m_f, q.z, g);
        if (gn == 1 && g[0] == 1) return false;
        replayEnd = Proper(g, gn, 1) ? CURVE_FOUND : CURVE_NOTHING;
        return true;
    };
    for (int i = 0; i < m_plan.twos; ++i) {
        curve.Double(q, q);
        if (ends()) return replayEnd;
    }
    const uint8_t* chain = m_plan.chains.data();
    for (int i = 0; i < m_plan.storedChains; ++i) {
        if (i % 8 == 0) {
            if (stop()) return CURVE_STOPPED;
            report(1);
        }
        chain = curve.RunChain(q, chain);
        if (ends()) return replayEnd;
    }
    if (m_plan.b1 > m_plan.storedTo) {
        // Primes above the stored chains: each a single power (B1 < 2^44).
        EcmPrimeSieve primes(m_plan.storedTo + 1, m_plan.b1);
        std::vector<uint8_t> made;
        for (uint64_t p; (p = primes.Next()) != 0;) {
            if (stop()) return CURVE_STOPPED;
            report(1);
            made.clear();
            EcmAppendChain(p, 3, made);
            curve.RunChain(q, made.data());
            if (ends()) return replayEnd;
        }
    }
    return CURVE_NOTHING;
}

bool CurveRunner::Normalize(const EcmPoint* pts, int count, u64* xs, const StopSignal& stop,
                            CurveEnd* end) {
    m_prefix.resize(static_cast<size_t>(count) * WORDS);
    kw::Copy(Row(m_prefix, 0), pts[0].z, m_n);
    for (int k = 1; k < count; ++k) {
        m_f.Mul(Row(m_prefix, k), Row(m_prefix, k - 1), pts[k].z);
        if (k % 256 == 0 && stop()) {
            *end = CURVE_STOPPED;
            return false;
        }
    }
    u64 inv[WORDS], g[WORDS + 1], t[WORDS];
    int gn = 0;
    if (!EcmInvert(m_f, inv, Row(m_prefix, count - 1), g, &gn)) {
        *end = CURVE_NOTHING;
        if (Proper(g, gn, 2)) {
            *end = CURVE_FOUND;
        } else {
            // Every prime at once in the product: perhaps not in one Z.
            for (int k = 0; k < count; ++k) {
                if (ProperGcd(pts[k].z, 2)) {
                    *end = CURVE_FOUND;
                    break;
                }
            }
        }
        return false;
    }
    for (int k = count - 1; k > 0; --k) {
        m_f.Mul(t, inv, Row(m_prefix, k - 1));  // 1 / Z_k
        m_f.Mul(xs + static_cast<size_t>(k) * WORDS, pts[k].x, t);
        m_f.Mul(inv, inv, pts[k].z);  // 1 / (Z_0 ... Z_(k-1))
    }
    m_f.Mul(xs, pts[0].x, inv);
    return true;
}

bool CurveRunner::RescanBlock(const u64* gx, uint64_t firstRow, int rows) {
    const std::vector<uint32_t>& babies = m_plan.babies;
    u64 acc[WORDS], t[WORDS];
    for (int r = 0; r < rows; ++r) {
        const uint64_t row = firstRow + static_cast<uint64_t>(r);
        const u64* x = gx + static_cast<size_t>(r) * WORDS;
        kw::Copy(acc, m_f.One(), m_n);
        for (size_t b = 0; b < babies.size(); ++b) {
            if (!m_plan.Marked(row, static_cast<int>(b))) continue;
            m_f.Sub(t, x, Row(m_babyX, b));
            // One product at a time once the row alone has every prime.
            if (ProperGcd(t, 2)) return true;
            m_f.Mul(acc, acc, t);
        }
        if (ProperGcd(acc, 2)) return true;
    }
    return false;
}

template <class Report>
CurveEnd CurveRunner::Stage2(const EcmCurve& curve, const EcmPoint& q, const StopSignal& stop,
                             Report&& report) {
    const EcmPlan& plan = m_plan;
    const size_t babies = plan.babies.size();
    CurveEnd end = CURVE_NOTHING;

    // Baby steps: x(i Q) for the odd i below D / 2 that are prime to D,
    // along the odd multiples: (i + 2) Q = i Q + 2 Q, difference (i - 2) Q.
    m_points.resize(std::max<size_t>(babies, GIANT_BLOCK));
    EcmPoint two, before, current = q;
    curve.Double(two, q);
    size_t next = 0;
    for (uint64_t i = 1; next < babies; i += 2) {
        if (i > 1) {
            EcmPoint sum;
            curve.Add(sum, current, two, i == 3 ? q : before);
            before = current;
            current = sum;
        }
        if (plan.babies[next] == i) m_points[next++] = current;
        if (i % 512 == 1 && stop()) return CURVE_STOPPED;
    }
    m_babyX.resize(babies * WORDS);
    if (!Normalize(m_points.data(), static_cast<int>(babies), m_babyX.data(), stop, &end))
        return end;

    // Giant steps: x(j D Q) for j = jFirst, jFirst + 1, ...
    EcmPoint step, giant, following;
    const u64 d = plan.d;
    curve.Multiply(step, q, &d, 1);
    const u64 j0 = plan.jFirst;
    curve.Multiply(giant, step, &j0, 1, &following);
    m_giantX.resize(static_cast<size_t>(GIANT_BLOCK) * WORDS);
    u64 acc[WORDS], t[WORDS];
    kw::Copy(acc, m_f.One(), m_n);
    for (uint64_t first = 0; first < plan.rows; first += GIANT_BLOCK) {
        const int rows = static_cast<int>(std::min<uint64_t>(GIANT_BLOCK, plan.rows - first));
        for (int r = 0; r < rows; ++r) {
            m_points[static_cast<size_t>(r)] = giant;
            EcmPoint after;
            curve.Add(after, following, step, giant);
            giant = following;
            following = after;
        }
        if (stop()) return CURVE_STOPPED;
        report(2);
        if (!Normalize(m_points.data(), rows, m_giantX.data(), stop, &end)) return end;
        u64 before[WORDS];
        kw::Copy(before, acc, m_n);
        for (int r = 0; r < rows; ++r) {
            const uint64_t row = first + static_cast<uint64_t>(r);
            const u64* x = Row(m_giantX, static_cast<size_t>(r));
            const u64* mask = plan.pairs.data() + row * static_cast<uint64_t>(plan.rowWords);
            for (int w = 0; w < plan.rowWords; ++w) {
                for (u64 bits = mask[w]; bits != 0; bits &= bits - 1) {
                    const size_t b =
                        static_cast<size_t>(w) * 64 + static_cast<size_t>(__builtin_ctzll(bits));
                    m_f.Sub(t, x, Row(m_babyX, b));
                    m_f.Mul(acc, acc, t);
                }
            }
            if (r % 8 == 7 && stop()) return CURVE_STOPPED;
        }
        // One gcd per block.
        u64 g[WORDS + 1];
        const int gn = EcmGcd(m_f, acc, g);
        if (gn == 1 && g[0] == 1) continue;
        if (Proper(g, gn, 2)) return CURVE_FOUND;
        return RescanBlock(m_giantX.data(), first, rows) ? CURVE_FOUND : CURVE_NOTHING;
    }
    return CURVE_NOTHING;
}

std::string ProgressText(const EcmParams& params, uint64_t b1, int done, int curves, int stage) {
    char text[160];
    std::snprintf(text, sizeof text, "%s B1=%llu: %d/%d curves, stage %d",
                  params.label.empty() ? "ECM" : params.label.c_str(),
                  static_cast<unsigned long long>(b1), done, curves, stage);
    return text;
}

}  // namespace

uint64_t EcmSigma(uint64_t seed, int curve) {
    // SplitMix64 on (seed, curve): independent-looking sigmas, the same for
    // the same pair on every machine.
    uint64_t z = seed + (static_cast<uint64_t>(curve) + 1) * 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return 6 + (z >> 2);
}

uint64_t EcmDefaultB2(uint64_t b1) { return std::min(100 * b1, ECM_MAX_B2); }

namespace {

/// What both entry points do first: take |n|, answer the targets that need
/// no curve, bring the bounds into range, and (for the others) build the
/// plan and the field.
class Setup {
  public:
    Setup(const BigInt& n, uint64_t b1In, uint64_t b2In) : m_n(n) {
        m_n.SetSign(0);
        b1 = std::clamp(b1In, ECM_MIN_B1, ECM_MAX_B1);
        b2 = b2In == 0 ? EcmDefaultB2(b1) : std::clamp(b2In, b1, ECM_MAX_B2);
        m_curves = !Trivial();
    }

    /// False when the answer (`factor`) is known without a curve.
    bool NeedsCurves() const { return m_curves; }
    /// Builds the plan and the field; false when the run was aborted.
    bool Prepare(const std::atomic<int>& state) {
        plan = EcmPlan::Make(b1, b2, state);
        if (!plan) return false;
        const kw::Mag m = kw::Load(m_n);
        field = kw::Montgomery(m.w, m.n);
        return true;
    }

    BigInt factor;  ///< without curves: 2, a square root, or 0
    uint64_t b1 = 0, b2 = 0;
    std::shared_ptr<const EcmPlan> plan;
    kw::Montgomery field;

  private:
    /// The targets below 4, the even ones and the squares. Squares need no
    /// curve, and no curve would do: modulo p^2 a point that vanishes modulo
    /// p has Z = 0 modulo p^2, so no x-only curve ever splits p^2.
    bool Trivial() {
        factor = BigInt(0);
        if (m_n.GetStatus() != 0 || m_n < 4) return true;
        if ((m_n.GetLimb(0) & 1) == 0) {
            factor = BigInt(2);
            return true;
        }
        const kw::Mag m = kw::Load(m_n);
        u64 root[WORDS], square[kw::WORDS2];
        const int rn = kw::ISqrt(root, m.w, m.n);
        kw::Sqr(square, root, rn);
        if (kw::Cmp(square, kw::Norm(square, 2 * rn), m.w, m.n) != 0) return false;
        factor = kw::FromWords(root, rn);
        return true;
    }

    BigInt m_n;
    bool m_curves = false;
};

}  // namespace

EcmCurveResult RunEcmCurve(const BigInt& n, uint64_t sigma, uint64_t b1, uint64_t b2,
                           const std::atomic<int>& state) {
    EcmCurveResult result;
    Setup setup(n, b1, b2);
    result.factor = setup.factor;
    result.stage = setup.factor != 0 ? 1 : 0;
    if (!setup.NeedsCurves()) return result;
    if (!setup.Prepare(state)) {
        result.aborted = true;
        return result;
    }
    CurveRunner runner(setup.field, *setup.plan);
    const CurveEnd end = runner.Run(sigma, StopSignal{&state, nullptr, 0}, [](int) {});
    result.aborted = end == CURVE_STOPPED;
    if (end == CURVE_FOUND) {
        result.factor = kw::FromWords(runner.Factor(), runner.FactorWords());
        result.stage = runner.Stage();
    }
    return result;
}

EcmResult RunEcm(const BigInt& n, const EcmParams& params, const std::atomic<int>& state,
                 Progress* progress) {
    EcmResult result;
    Setup setup(n, params.b1, params.b2);
    result.factor = setup.factor;
    result.stage = setup.factor != 0 ? 1 : 0;
    if (!setup.NeedsCurves()) return result;
    const int curves = std::clamp(params.curves, 0, ECM_MAX_CURVES);
    const uint64_t b1 = setup.b1;
    ReportProgress(progress, [&] { return ProgressText(params, b1, 0, curves, 1); });
    if (!setup.Prepare(state)) {
        result.aborted = true;
        return result;
    }
    const kw::Montgomery& field = setup.field;
    const EcmPlan* plan = setup.plan.get();

    std::atomic<int> nextCurve{0};
    std::atomic<int> firstFound{INT_MAX};
    std::atomic<int> done{0};
    std::mutex found;
    const int threads =
        std::max(1, std::min(params.threads > 0 ? params.threads : DefaultThreadCount(), curves));
    RunThreads(threads, [&](int) {
        CurveRunner runner(field, *plan);
        for (;;) {
            const int k = nextCurve.fetch_add(1);
            if (k >= curves || k > firstFound.load()) return;
            auto report = [&](int stage) {
                ReportProgress(
                    progress, [&] { return ProgressText(params, b1, done.load(), curves, stage); });
            };
            const CurveEnd end =
                runner.Run(EcmSigma(params.seed, k), StopSignal{&state, &firstFound, k}, report);
            if (end == CURVE_STOPPED) return;
            done.fetch_add(1);
            if (end != CURVE_FOUND) continue;
            std::lock_guard<std::mutex> lock(found);
            if (k < firstFound.load()) {
                firstFound.store(k);
                result.factor = kw::FromWords(runner.Factor(), runner.FactorWords());
                result.stage = runner.Stage();
                result.sigma = EcmSigma(params.seed, k);
            }
        }
    });
    result.aborted = state.load() == RUN_ABORT;
    const int first = firstFound.load();
    result.curvesRun = first != INT_MAX && !result.aborted ? first + 1 : done.load();
    return result;
}
