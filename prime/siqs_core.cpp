// One split by the quadratic sieve: factor base, sieving, matrix, and the
// square roots of the dependencies, each of which may split the number.

#include <algorithm>
#include <chrono>
#include <string>

#include "bigint/bigint_words.h"
#include "bigint/montgomery.h"
#include "bigint/word_algorithms.h"
#include "prime/siqs_internal.h"
#include "prime/siqs_relations.h"

namespace siqs {

namespace {

/// Relations beyond the factor base's size wanted before the matrix step.
constexpr int EXTRA_RELATIONS = 96;
/// Columns kept beyond the rows in use after filtering.
constexpr int EXTRA_COLUMNS = 64;

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Part {
    Num value;
    bool prime;
};

/// Refines `parts` by gcd(d, part) for every part not yet prime.
void Refine(std::vector<Part>& parts, const Num& d) {
    for (size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].prime) continue;
        const Num& m = parts[i].value;
        Num r = d;
        if (kw::Cmp(d.w, d.n, m.w, m.n) >= 0) {
            r = Num();
            kw::DivRem(nullptr, r.w, d.w, d.n, m.w, m.n);
            r.n = kw::Norm(r.w, m.n);
        }
        if (r.n == 0) continue;
        Num g;
        g.n = kw::Gcd(g.w, m.w, m.n, r.w, r.n);
        if (g.n == 0 || (g.n == 1 && g.w[0] == 1) || kw::Cmp(g.w, g.n, m.w, m.n) == 0) continue;
        Num h;
        kw::DivRem(h.w, nullptr, m.w, m.n, g.w, g.n);
        h.n = kw::Norm(h.w, m.n - g.n + 1);
        parts[i] = {g, IsPrimeFactor(ToBigInt(g))};
        parts.push_back({h, IsPrimeFactor(ToBigInt(h))});
        --i;  // the new part at i may split further
    }
}

/// Takes the square root of each dependency and refines the split of n.
/// Returns false on abort.
bool SquareRoots(const FactorBase& fb, const RelationStore& store, const RelationMatrix& rm,
                 const std::vector<u64>& deps, const std::atomic<int>& state, std::vector<Part>& parts) {
    const Num& n = fb.n;
    const kw::Montgomery mont(n.w, n.n);
    const int words = n.n;
    std::vector<u8> odd(store.Count(), 0);
    std::vector<u32> touched, exps(fb.size);
    std::vector<u32> lps;
    const u32 cols = rm.matrix.Cols();
    for (int t = 0; t < 64; ++t) {
        if (std::all_of(parts.begin(), parts.end(), [](const Part& p) { return p.prime; })) break;
        if (state.load(std::memory_order_relaxed) == RUN_ABORT) return false;
        touched.clear();
        for (u32 j = 0; j < cols; ++j) {
            if (((deps[j] >> t) & 1) == 0) continue;
            for (u32 k = rm.colStart[j]; k < rm.colStart[j + 1]; ++k) {
                odd[rm.colRels[k]] ^= 1;
                touched.push_back(rm.colRels[k]);
            }
        }
        if (touched.empty()) continue;
        std::fill(exps.begin(), exps.end(), 0);
        lps.clear();
        u64 x[NUM_WORDS], r[NUM_WORDS];
        kw::Copy(x, mont.One(), words);
        for (size_t k = 0; k < touched.size(); ++k) {
            if ((k & 4095) == 4095 && state.load(std::memory_order_relaxed) == RUN_ABORT) return false;
            const u32 id = touched[k];
            if (!odd[id]) continue;
            odd[id] = 0;
            const u32* rel = store.Relation(id);
            u64 y[Y_WORDS];
            for (int i = 0; i < Y_WORDS; ++i) y[i] = rel[3 + 2 * i] | static_cast<u64>(rel[4 + 2 * i]) << 32;
            const int yn = kw::Norm(y, Y_WORDS);
            if (yn == 0) continue;
            mont.To(r, y, yn);
            mont.Mul(x, x, r);
            for (u32 i = 0; i < rel[0]; ++i) ++exps[rel[REL_HEADER + i]];
            if (rel[1] != 1) lps.push_back(rel[1]);
            if (rel[2] != 1) lps.push_back(rel[2]);
        }
        // Z = the square root of the product of the values.
        bool square = std::all_of(exps.begin(), exps.end(), [](u32 e) { return (e & 1) == 0; });
        std::sort(lps.begin(), lps.end());
        for (size_t i = 0; square && i < lps.size(); i += 2) square = i + 1 < lps.size() && lps[i] == lps[i + 1];
        if (!square) continue;
        u64 z[NUM_WORDS];
        kw::Copy(z, mont.One(), words);
        for (int i = 1; i < fb.size; ++i) {
            if ((i & 4095) == 0 && state.load(std::memory_order_relaxed) == RUN_ABORT) return false;
            if (exps[i] == 0) continue;
            const u64 p = fb.prime[i], e = exps[i] / 2;
            mont.To(r, &p, 1);
            mont.Pow(r, r, &e, 64 - std::countl_zero(e));
            mont.Mul(z, z, r);
        }
        for (size_t i = 0; i < lps.size(); i += 2) {
            const u64 p = lps[i];
            mont.To(r, &p, 1);
            mont.Mul(z, z, r);
        }
        Num xs, zs, d;
        mont.From(xs.w, x);
        mont.From(zs.w, z);
        xs.n = kw::Norm(xs.w, words);
        zs.n = kw::Norm(zs.w, words);
        // d = x - z mod n.
        if (kw::Cmp(xs.w, xs.n, zs.w, zs.n) >= 0) {
            d = xs;
            kw::Sub(d.w, d.w, xs.n, zs.w, zs.n);
        } else {
            Num t = zs;
            kw::Sub(t.w, t.w, zs.n, xs.w, xs.n);
            t.n = kw::Norm(t.w, zs.n);
            d = n;
            kw::Sub(d.w, d.w, n.n, t.w, t.n);
        }
        d.n = kw::Norm(d.w, words);
        if (d.n != 0) Refine(parts, d);
    }
    return true;
}

}  // namespace

bool SiqsSplit(const Num& n, int threads, const std::atomic<int>& state, Progress* progress,
               std::vector<Num>& out, SiqsStats& stats) {
    ++stats.runs;
    for (int round = 0;; ++round) {
        // A later round (the polynomials ran out) takes the settings of a larger number.
        const Params params = ParamsFor(n.Bits() + 16 * round);
        FactorBase fb;
        const u32 f = BuildFactorBase(n, params, state, fb);
        if (f == FB_ABORTED) return false;
        if (f != FB_BUILT) {
            Num q;
            kw::DivRem1(q.w, n.w, n.n, f);
            q.n = kw::Norm(q.w, n.n);
            out = {Num::Of(f), q};
            return true;
        }
        stats.factorBase = std::max(stats.factorBase, fb.size - 1);
        stats.multiplier = static_cast<int>(fb.k);
        RelationStore store(fb.size + EXTRA_RELATIONS);
        for (int pass = 0; pass < 8; ++pass) {
            const auto sieveStart = std::chrono::steady_clock::now();
            const bool sieved = Sieve(fb, store, threads, state, progress, stats, round * 8 + pass);
            stats.sieveSeconds += Since(sieveStart);
            if (!sieved) return false;
            if (store.Found() < store.Needed()) break;  // out of polynomials

            const auto matrixStart = std::chrono::steady_clock::now();
            RelationMatrix rm;
            if (!BuildMatrix(fb, store, EXTRA_COLUMNS, state, rm)) return false;
            std::vector<u64> deps;
            const Gf2Status status = FindDependencies(rm.matrix, 0xC0FFEEull + pass, state, deps, progress);
            stats.matrixSeconds += Since(matrixStart);
            stats.matrixRows = std::max<int>(stats.matrixRows, static_cast<int>(rm.matrix.rows));
            stats.matrixCols = std::max<int>(stats.matrixCols, static_cast<int>(rm.matrix.Cols()));
            stats.matrixWeight = std::max<long long>(stats.matrixWeight, static_cast<long long>(rm.matrix.index.size()));
            if (status == Gf2Status::ABORTED) return false;
            if (status == Gf2Status::FOUND) {
                ReportProgress(progress, [] { return std::string("MPQS 平方根"); });
                const auto sqrtStart = std::chrono::steady_clock::now();
                std::vector<Part> parts = {{n, false}};
                if (!SquareRoots(fb, store, rm, deps, state, parts)) return false;
                stats.sqrtSeconds += Since(sqrtStart);
                if (parts.size() > 1) {
                    stats.fulls += store.Fulls();
                    stats.partials += store.Partials();
                    stats.doublePartials += store.DoublePartials();
                    stats.cycles += store.Cycles();
                    out.clear();
                    for (const Part& p : parts) out.push_back(p.value);
                    return true;
                }
            }
            // No split: more relations, a fresh matrix.
            store.SetNeeded(store.Needed() + store.Needed() / 20 + 32);
        }
    }
}

}  // namespace siqs
