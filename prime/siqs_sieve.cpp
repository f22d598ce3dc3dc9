// The quadratic sieve's sieving threads: choosing A, walking the B-values of
// each A in Gray-code order, sieving the interval block by block (buckets
// for the primes above a block) and examining the values the sieve marks.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numeric>
#include <mutex>
#include <random>
#include <string>
#include <unordered_set>

#include "bigint/montgomery.h"
#include "prime/bpsw.h"
#include "prime/parallel.h"
#include "prime/siqs_internal.h"
#include "prime/siqs_relations.h"

namespace siqs {

namespace {

/// The root of a prime dividing A: never inside a block.
constexpr u32 NO_ROOT = 1u << 30;
/// Candidates examined per block; their sieve bytes hold 0x80 | number.
constexpr int MAX_CANDIDATES = 127;
/// Re-sieved and bucket primes noted per candidate (a value below 2^200
/// has at most 13 prime factors above 2^15).
constexpr int MAX_HITS = 40;
/// Factor-base indices of one relation (powers of 2 included).
constexpr int MAX_FACTORS = 256;
/// Primes per capacity check while filling the buckets.
constexpr int CHUNK = 2048;

/// Bits of the primes A is made of: small enough for many B-values per A
/// (2^(s-1) for s primes), large enough to be few among the base's primes.
constexpr double A_FACTOR_BITS = 10;

/// Picks the primes of A: s - 1 at random from a band around the ideal
/// size, the last to bring A close to sqrt(2kN) / M. Never the same set
/// twice, whichever thread asks.
class AChooser {
public:
    AChooser(const FactorBase& fb, int pass) : fb_(fb), rng_(0x5EED0000u + fb.k + 0x10000u * static_cast<u64>(pass)) {
        const int end = fb.largeFrom;
        aBits_ = 0.5 + 0.5 * fb.knBits - std::log2(static_cast<double>(fb.M));
        log2p_.resize(fb.size);
        for (int i = 1; i < fb.size; ++i) log2p_[i] = std::log2(static_cast<double>(fb.prime[i]));
        // Factors of about 2^11 for large numbers, smaller for small factor bases.
        const double best = std::min(A_FACTOR_BITS, log2p_[fb.size - 1] - 2.0);
        s_ = static_cast<int>(std::lround(aBits_ / best));
        s_ = std::clamp(s_, 2, MAX_A_FACTORS);
        const double qBits = aBits_ / s_;
        // The band: log2 p within qBits +- width, widened until it has room.
        for (double width = 0.4;; width += 0.2) {
            lo_ = 2;
            while (lo_ < end && log2p_[lo_] < qBits - width) ++lo_;
            hi_ = lo_;
            while (hi_ < end && log2p_[hi_] <= qBits + width) ++hi_;
            if (hi_ - lo_ >= 4 * s_ + 8 || (lo_ <= 2 && hi_ >= end)) break;
        }
    }

    int Factors() const { return s_; }

    /// The next set of A's factor-base indices into idx[0..s); false when
    /// no new set turns up.
    bool Next(int* idx) {
        std::lock_guard<std::mutex> lock(mutex_);
        const int end = fb_.largeFrom;
        for (int attempt = 0; attempt < 4000; ++attempt) {
            const double tolerance = 0.3 + attempt / 400.0;
            double bits = 0;
            int chosen = 0;
            for (int tries = 0; chosen < s_ - 1 && tries < 100; ++tries) {
                const int i = lo_ + static_cast<int>(rng_() % static_cast<u64>(hi_ - lo_));
                if (fb_.sqrtKn[i] == 0 || std::find(idx, idx + chosen, i) != idx + chosen) continue;
                idx[chosen++] = i;
                bits += log2p_[i];
            }
            if (chosen < s_ - 1) continue;
            // The last factor: the base prime nearest to what is missing.
            const double rest = aBits_ - bits;
            int best = -1;
            double bestGap = 1e9;
            const double want = std::exp2(rest);
            const auto it = std::lower_bound(fb_.prime.begin() + 2, fb_.prime.begin() + end,
                                             want < 4e9 ? static_cast<u32>(want) : 0xFFFFFFFFu);
            const int mid = static_cast<int>(it - fb_.prime.begin());
            for (int i = std::max(2, mid - 4); i < std::min(end, mid + 4); ++i) {
                if (fb_.sqrtKn[i] == 0 || std::find(idx, idx + chosen, i) != idx + chosen) continue;
                const double gap = std::abs(log2p_[i] - rest);
                if (gap < bestGap) {
                    bestGap = gap;
                    best = i;
                }
            }
            if (best < 0 || bestGap > tolerance) continue;
            idx[chosen++] = best;
            std::sort(idx, idx + s_);
            u64 key = 0;
            for (int l = 0; l < s_; ++l) key = key * 0x9E3779B97F4A7C15ull + static_cast<u64>(idx[l]);
            if (!used_.insert(key).second) continue;
            return true;
        }
        return false;
    }

private:
    const FactorBase& fb_;
    std::mutex mutex_;
    std::mt19937_64 rng_;
    std::unordered_set<u64> used_;
    std::vector<double> log2p_;
    double aBits_ = 0;
    int s_ = 2;
    int lo_ = 2, hi_ = 3;
};

/// What the threads share.
struct Shared {
    const FactorBase& fb;
    RelationStore& store;
    const std::atomic<int>& state;
    Progress* progress;
    AChooser chooser;
    std::atomic<bool> stop{false};
    std::atomic<bool> exhausted{false};
    std::atomic<long long> polynomials{0};
    std::atomic<long long> badRelations{0};
    std::atomic<long long> tCand{0}, tDlpTry{0}, tDlpPrime{0}, tDlpOk{0}, tDlpRho{0}, tBig{0};

    Shared(const FactorBase& f, RelationStore& s, const std::atomic<int>& st, Progress* p, int pass)
        : fb(f), store(s), state(st), progress(p), chooser(f, pass) {}
    bool Stopped() const { return stop.load(std::memory_order_relaxed) || state.load(std::memory_order_relaxed) == RUN_ABORT; }
};

/// Moves the roots r1, r2 of the primes from..to by -delta (plus) or +delta
/// modulo each prime. Signed arithmetic so that the loop vectorises (all
/// values are below 2^31).
__attribute__((always_inline)) inline void MoveRootsBody(u32* r1, u32* r2, const u32* prime, const u32* delta,
                                                         int from, int to, bool plus) {
    if (plus) {
        for (int i = from; i < to; ++i) {
            const int p = static_cast<int>(prime[i]), d = static_cast<int>(delta[i]);
            int x = static_cast<int>(r1[i]) - d, y = static_cast<int>(r2[i]) - d;
            x += (x >> 31) & p;
            y += (y >> 31) & p;
            r1[i] = static_cast<u32>(x);
            r2[i] = static_cast<u32>(y);
        }
    } else {
        for (int i = from; i < to; ++i) {
            const int p = static_cast<int>(prime[i]), d = static_cast<int>(delta[i]);
            int x = static_cast<int>(r1[i]) + d - p, y = static_cast<int>(r2[i]) + d - p;
            x += (x >> 31) & p;
            y += (y >> 31) & p;
            r1[i] = static_cast<u32>(x);
            r2[i] = static_cast<u32>(y);
        }
    }
}

/// Appends to out[0..room) the indices i in [from, to) whose prime divides
/// Q at place P, that is P = r1[i] or r2[i] modulo prime[i], tested as
/// (P + p - r) p^-1 mod 2^32 <= (2^32 - 1) / p. Sixteen primes at a time,
/// so that the test vectorises; returns the count.
__attribute__((always_inline)) inline int RootHitsBody(u32 P, const FactorBase& fb, const u32* r1, const u32* r2,
                                                       int from, int to, u32* out, int room) {
    const u32* prime = fb.prime.data();
    const u32* pinv = fb.pinv.data();
    const u32* plim = fb.plim.data();
    auto hit = [&](int i) {
        const u32 a = (P + prime[i] - r1[i]) * pinv[i];
        const u32 b = (P + prime[i] - r2[i]) * pinv[i];
        return static_cast<u32>(a <= plim[i]) | static_cast<u32>(b <= plim[i]);
    };
    int n = 0;
    int i = from;
    for (; i + 16 <= to; i += 16) {
        u32 any = 0;
        for (int k = 0; k < 16; ++k) any |= hit(i + k);
        if (any == 0) continue;
        for (int k = 0; k < 16; ++k)
            if (hit(i + k) && n < room) out[n++] = static_cast<u32>(i + k);
    }
    for (; i < to; ++i)
        if (hit(i) && n < room) out[n++] = static_cast<u32>(i);
    return n;
}

/// The same for primes above the interval, where P < p and r < p: the
/// prime divides Q at P exactly when P is one of its roots.
__attribute__((always_inline)) inline int RootEqualsBody(u32 P, const u32* r1, const u32* r2, int from, int to,
                                                         u32* out, int room) {
    int n = 0;
    int i = from;
    for (; i + 32 <= to; i += 32) {
        u32 any = 0;
        for (int k = 0; k < 32; ++k) any |= static_cast<u32>(r1[i + k] == P) | static_cast<u32>(r2[i + k] == P);
        if (any == 0) continue;
        for (int k = 0; k < 32; ++k)
            if ((r1[i + k] == P || r2[i + k] == P) && n < room) out[n++] = static_cast<u32>(i + k);
    }
    for (; i < to; ++i)
        if ((r1[i] == P || r2[i] == P) && n < room) out[n++] = static_cast<u32>(i);
    return n;
}

// The two vector loops compiled twice, for AVX2 and for the baseline, and
// chosen when called (not by ifunc resolvers, which run before the
// sanitizers' run-time is ready).
bool HasAvx2() {
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes;
}

__attribute__((target("avx2"))) void MoveRootsAvx2(u32* r1, u32* r2, const u32* prime, const u32* delta, int from,
                                                   int to, bool plus) {
    MoveRootsBody(r1, r2, prime, delta, from, to, plus);
}

void MoveRootsPlain(u32* r1, u32* r2, const u32* prime, const u32* delta, int from, int to, bool plus) {
    MoveRootsBody(r1, r2, prime, delta, from, to, plus);
}

void MoveRoots(u32* r1, u32* r2, const u32* prime, const u32* delta, int from, int to, bool plus) {
    (HasAvx2() ? MoveRootsAvx2 : MoveRootsPlain)(r1, r2, prime, delta, from, to, plus);
}

__attribute__((target("avx2"))) int RootHitsAvx2(u32 P, const FactorBase& fb, const u32* r1, const u32* r2, int from,
                                                 int to, u32* out, int room) {
    return RootHitsBody(P, fb, r1, r2, from, to, out, room);
}

int RootHitsPlain(u32 P, const FactorBase& fb, const u32* r1, const u32* r2, int from, int to, u32* out, int room) {
    return RootHitsBody(P, fb, r1, r2, from, to, out, room);
}

int RootHits(u32 P, const FactorBase& fb, const u32* r1, const u32* r2, int from, int to, u32* out, int room) {
    return (HasAvx2() ? RootHitsAvx2 : RootHitsPlain)(P, fb, r1, r2, from, to, out, room);
}

__attribute__((target("avx2"))) int RootEqualsAvx2(u32 P, const u32* r1, const u32* r2, int from, int to, u32* out,
                                                   int room) {
    return RootEqualsBody(P, r1, r2, from, to, out, room);
}

int RootEqualsPlain(u32 P, const u32* r1, const u32* r2, int from, int to, u32* out, int room) {
    return RootEqualsBody(P, r1, r2, from, to, out, room);
}

int RootEquals(u32 P, const u32* r1, const u32* r2, int from, int to, u32* out, int room) {
    return (HasAvx2() ? RootEqualsAvx2 : RootEqualsPlain)(P, r1, r2, from, to, out, room);
}

/// Intervals of at most this many blocks are sieved whole: the primes above
/// a block add straight into the interval (384 KiB stay in the 512 KiB
/// second-level cache) instead of going through buckets.
constexpr int DIRECT_MAX_BLOCKS = 12;
/// Bytes between blocks of a direct sieve.
constexpr u32 GAP = 64;

/// The offset of place x of the interval in a direct sieve.
inline u32 Place(u32 x) { return x + (x >> BLOCK_BITS) * GAP; }

/// One sieving thread's polynomials and buffers.
class Worker {
public:
    Worker(Shared& shared, int id);
    void Run();

private:
    bool SetUpA();
    void ComputeC();
    const u32* NextB(int j, bool& plus);
    void SieveLargeDirect(const u32* delta, bool plus);
    void FillBuckets(const u32* delta, bool plus);
    void PushSingle(int from, int to);
    void PushMulti(int from, int to);
    void GrowBuckets();
    void SieveSmall(u8* s);
    void ApplyBucket(u8* s, int b);
    void Scan(u8* s, int b);
    void ScanBucket(const u8* s, int b);
    void ExamineCandidates();
    void Note(u8 mark, u32 index) {
        const int c = mark & 0x7F;
        if (hitCount_[c] < MAX_HITS) hits_[c][hitCount_[c]++] = index;
    }
    void Examine(u32 P, const u32* hits, int hitCount);
    void DivideOut(int i);
    bool Verify(const u64* y, int yn, u32 lp1, u32 lp2) const;

    Shared& sh_;
    const FactorBase& fb_;
    const int id_;
    const bool direct_;

    // The current A and B.
    int s_ = 0;
    int qi_[MAX_A_FACTORS] = {};
    Num a_;
    Num bl_[MAX_A_FACTORS];
    SInt aS_, b_, b2_, c_;
    std::vector<u32> delta_;  // (s - 1) rows of 2 B_l / A mod p
    std::vector<u32> root1_, root2_;  // roots of Q mod p, offsets from -M
    std::vector<u32> w1_, w2_;        // the same inside the current block

    // Buckets (large intervals): block b's entries are bucket_[b * cap_ ...],
    // slice g ends at sliceEnd_[g * blocks + b]; one spare bucket at the end.
    std::vector<int> sliceFrom_;
    std::vector<u8> sliceLog_;
    std::vector<u32> bucket_;
    std::vector<u32> count_;
    std::vector<u32> sliceEnd_;
    u32 cap_ = 0;

    // The sieve: one block, or the whole interval (direct) with a gap of
    // GAP bytes after each block. The first byte after a block is its spare
    // byte, written instead of places past the block.
    std::unique_ptr<u8[]> sieveMemory_;
    u8* sieve_ = nullptr;
    size_t stride_ = BLOCK + GAP;

    // Candidates: positions in the interval and the primes noted for them.
    int found_ = 0;
    u32 cand_[MAX_CANDIDATES] = {};
    u32 hits_[MAX_CANDIDATES][MAX_HITS] = {};
    int hitCount_[MAX_CANDIDATES] = {};

    // The value being examined.
    u64 v_[SINT_WORDS] = {};
    int vn_ = 0;
    u32 factors_[MAX_FACTORS] = {};
    int nf_ = 0;

    std::vector<u32> batch_;
};

Worker::Worker(Shared& shared, int id)
    : sh_(shared), fb_(shared.fb), id_(id), direct_(shared.fb.blocks <= DIRECT_MAX_BLOCKS) {
    root1_.assign(fb_.size, 0);
    root2_.assign(fb_.size, 0);
    w1_.assign(fb_.largeFrom, 0);
    w2_.assign(fb_.largeFrom, 0);
    const size_t bytes = direct_ ? stride_ * fb_.blocks : BLOCK;
    sieveMemory_.reset(new u8[bytes + 128]);
    sieve_ = sieveMemory_.get() + (64 - reinterpret_cast<uintptr_t>(sieveMemory_.get()) % 64) % 64;
    if (direct_) return;

    double expected = 0;
    for (int i = fb_.largeFrom; i < fb_.size; ++i) {
        if (i == fb_.largeFrom || fb_.logp[i] != fb_.logp[i - 1]) {
            sliceFrom_.push_back(i);
            sliceLog_.push_back(fb_.logp[i]);
        }
        expected += 2.0 * BLOCK / fb_.prime[i];
    }
    sliceFrom_.push_back(fb_.size);
    cap_ = static_cast<u32>(expected * 1.25) + 8 * CHUNK + 1024;
    bucket_.assign(static_cast<size_t>(cap_) * (fb_.blocks + 1), 0);
    count_.assign(fb_.blocks + 1, 0);
    sliceEnd_.assign(sliceLog_.size() * fb_.blocks, 0);
}

void Worker::Run() {
    while (!sh_.Stopped()) {
        if (!SetUpA()) return;
        const int polys = 1 << (s_ - 1);
        for (int j = 0; j < polys; ++j) {
            if (sh_.Stopped()) return;
            bool plus = false;
            const u32* delta = nullptr;
            if (j == 0) {
                ComputeC();
            } else {
                delta = NextB(j, plus);
            }
            if (direct_) {
                std::memset(sieve_, fb_.initByte, stride_ * fb_.blocks);
                SieveLargeDirect(delta, plus);
            } else {
                FillBuckets(delta, plus);
            }
            for (int i = fb_.sieveFrom; i < fb_.largeFrom; ++i) {
                w1_[i] = root1_[i];
                w2_[i] = root2_[i];
            }
            found_ = 0;
            for (int b = 0; b < fb_.blocks; ++b) {
                u8* s = direct_ ? sieve_ + static_cast<size_t>(b) * stride_ : sieve_;
                if (!direct_) {
                    std::memset(s, fb_.initByte, BLOCK);
                    found_ = 0;
                }
                SieveSmall(s);
                if (!direct_) ApplyBucket(s, b);
                Scan(s, b);
                if (!direct_ && found_ > 0) {
                    ScanBucket(s, b);
                    ExamineCandidates();
                }
            }
            if (direct_) ExamineCandidates();
            sh_.polynomials.fetch_add(1, std::memory_order_relaxed);
            if (!batch_.empty()) {
                if (sh_.store.Add(batch_)) sh_.stop.store(true);
                batch_.clear();
            }
            if (id_ == 0) {
                ReportProgress(sh_.progress, [&] {
                    return "MPQS ふるい: 関係式 " + std::to_string(sh_.store.Found()) + "/" +
                           std::to_string(sh_.store.Needed());
                });
            }
        }
    }
}

bool Worker::SetUpA() {
    if (!sh_.chooser.Next(qi_)) {
        sh_.exhausted.store(true);
        return false;
    }
    s_ = sh_.chooser.Factors();
    // A = product of the q_l.
    a_ = Num::Of(1);
    for (int l = 0; l < s_; ++l) {
        a_.w[a_.n] = kw::Mul1(a_.w, a_.w, a_.n, fb_.prime[qi_[l]]);
        a_.n = kw::Norm(a_.w, a_.n + 1);
    }
    SetSigned(aS_, a_.w, a_.n, false);
    // B_l = (A / q_l) * gamma, gamma = sqrt(kN) (A / q_l)^-1 mod q_l, taken
    // at most q_l / 2 so that B stays small.
    SInt sum;
    for (int l = 0; l < s_; ++l) {
        const u32 q = fb_.prime[qi_[l]];
        Num al;
        kw::DivRem1(al.w, a_.w, a_.n, q);
        al.n = kw::Norm(al.w, a_.n);
        const u32 alq = static_cast<u32>(kw::Mod1(al.w, al.n, q));
        u32 gamma = MulMod(fb_.sqrtKn[qi_[l]], InverseMod(alq, q), q);
        if (gamma > q / 2) gamma = q - gamma;
        bl_[l] = al;
        bl_[l].w[al.n] = kw::Mul1(bl_[l].w, al.w, al.n, gamma);
        bl_[l].n = kw::Norm(bl_[l].w, al.n + 1);
        SInt t;
        SetSigned(t, bl_[l].w, bl_[l].n, false);
        Add(sum, sum, t);
    }
    b_ = sum;

    const int size = fb_.size;
    delta_.assign(static_cast<size_t>(s_ - 1) * size, 0);
    for (int i = 2; i < size; ++i) {
        if ((i & 1023) == 0 && sh_.Stopped()) return false;
        const u32 p = fb_.prime[i];
        const u32 am = static_cast<u32>(kw::Mod1(a_.w, a_.n, p));
        if (am == 0) {
            root1_[i] = root2_[i] = NO_ROOT;
            continue;
        }
        const u32 ainv = InverseMod(am, p);
        u64 bm = 0;
        for (int l = 0; l < s_; ++l) {
            const u64 b = kw::Mod1(bl_[l].w, bl_[l].n, p);
            bm += b;
            if (l < s_ - 1) delta_[static_cast<size_t>(l) * size + i] = MulMod(static_cast<u32>(2 * b % p), ainv, p);
        }
        bm %= p;
        const u64 t = fb_.sqrtKn[i];
        const u32 mm = fb_.M % p;
        const u32 r1 = MulMod(static_cast<u32>((t + p - bm) % p), ainv, p);
        const u32 r2 = MulMod(static_cast<u32>((2 * static_cast<u64>(p) - t - bm) % p), ainv, p);
        root1_[i] = static_cast<u32>((static_cast<u64>(r1) + mm) % p);
        root2_[i] = static_cast<u32>((static_cast<u64>(r2) + mm) % p);
    }
    return true;
}

void Worker::ComputeC() {
    // C = (B^2 - kN) / A, negative since B^2 < kN.
    u64 bm[SINT_WORDS];
    const int bn = Magnitude(b_, bm);
    u64 b2[2 * SINT_WORDS] = {};
    if (bn > 0) kw::Sqr(b2, bm, bn);
    const int b2n = kw::Norm(b2, 2 * bn);
    u64 d[NUM_WORDS + 1] = {};
    kw::Copy(d, fb_.kn.w, fb_.kn.n);
    kw::Sub(d, d, fb_.kn.n, b2, b2n);
    const int dn = kw::Norm(d, fb_.kn.n);
    u64 q[NUM_WORDS + 1] = {};
    if (dn >= a_.n) kw::DivRem(q, nullptr, d, dn, a_.w, a_.n);
    SetSigned(c_, q, std::min(SINT_WORDS, kw::Norm(q, dn >= a_.n ? dn - a_.n + 1 : 0)), true);
    Add(b2_, b_, b_);
}

// The next B in Gray-code order: B += 2 eps B_v, and every root below the
// large primes moves by -eps 2 B_v / A. Returns the row of steps for the
// large primes; `plus` tells eps = +1.
const u32* Worker::NextB(int j, bool& plus) {
    const int v = std::countr_zero(static_cast<unsigned>(j));
    plus = ((j >> (v + 1)) & 1) != 0;
    SInt t;
    SetSigned(t, bl_[v].w, bl_[v].n, !plus);
    Add(b_, b_, t);
    Add(b_, b_, t);
    ComputeC();
    const u32* d = delta_.data() + static_cast<size_t>(v) * fb_.size;
    MoveRoots(root1_.data(), root2_.data(), fb_.prime.data(), d, 2, fb_.largeFrom, plus);
    for (int l = 0; l < s_; ++l) root1_[qi_[l]] = root2_[qi_[l]] = NO_ROOT;
    return d;
}

// Direct sieving of the primes above a block: move their roots (when
// `delta` is given) and add at every place in the interval. The places of a
// root outside the interval go to the gap behind it.
__attribute__((noinline)) void Worker::SieveLargeDirect(const u32* delta, bool plus) {
    u8* s = sieve_;
    const u32 interval = fb_.interval;
    const u32* prime = fb_.prime.data();
    const u8* logp = fb_.logp.data();
    u32* r1 = root1_.data();
    u32* r2 = root2_.data();
    for (int c = fb_.largeFrom; c < fb_.size; c += CHUNK) {
        const int end = std::min(c + CHUNK, fb_.size);
        if (delta != nullptr) MoveRoots(r1, r2, prime, delta, c, end, plus);
        const int split = std::clamp(fb_.hugeFrom, c, end);
        for (int i = c; i < split; ++i) {
            const u32 p = prime[i];
            const u8 lp = logp[i];
            for (u32 x = r1[i]; x < interval; x += p) s[Place(x)] += lp;
            for (u32 x = r2[i]; x < interval; x += p) s[Place(x)] += lp;
        }
        for (int i = split; i < end; ++i) {
            const u8 lp = logp[i];
            s[Place(std::min(r1[i], interval))] += lp;
            s[Place(std::min(r2[i], interval))] += lp;
        }
    }
}

void Worker::GrowBuckets() {
    const u32 cap = cap_ * 2;
    std::vector<u32> grown(static_cast<size_t>(cap) * (fb_.blocks + 1), 0);
    for (int b = 0; b < fb_.blocks; ++b)
        std::copy_n(bucket_.begin() + static_cast<size_t>(b) * cap_, count_[b], grown.begin() + static_cast<size_t>(b) * cap);
    bucket_.swap(grown);
    cap_ = cap;
}

// Moves the roots of the primes above a block (when `delta` is given), and
// files each root inside the interval in its block's bucket.
__attribute__((noinline)) void Worker::FillBuckets(const u32* delta, bool plus) {
    const int blocks = fb_.blocks;
    std::fill(count_.begin(), count_.end(), 0);
    const u32* prime = fb_.prime.data();
    for (size_t g = 0; g + 1 < sliceFrom_.size(); ++g) {
        for (int c = sliceFrom_[g]; c < sliceFrom_[g + 1]; c += CHUNK) {
            const int end = std::min(c + CHUNK, sliceFrom_[g + 1]);
            u32 most = 0;
            for (int b = 0; b < blocks; ++b) most = std::max(most, count_[b]);
            const u32 perRoot = (BLOCK + prime[c] - 1) / prime[c];  // hits of one root in a block
            while (most + 2 * CHUNK * perRoot > cap_) GrowBuckets();
            if (delta != nullptr) MoveRoots(root1_.data(), root2_.data(), prime, delta, c, end, plus);
            const int split = std::clamp(fb_.hugeFrom, c, end);
            PushMulti(c, split);
            PushSingle(split, end);
        }
        for (int b = 0; b < blocks; ++b) sliceEnd_[g * blocks + b] = count_[b];
    }
}

// Primes below the interval: every hit of each root.
void Worker::PushMulti(int from, int to) {
    const u32 interval = fb_.interval;
    const u32* prime = fb_.prime.data();
    u32* bucket = bucket_.data();
    u32* count = count_.data();
    const size_t cap = cap_;
    for (int i = from; i < to; ++i) {
        const u32 p = prime[i];
        const u32 tag = static_cast<u32>(i) << BLOCK_BITS;
        for (u32 x : {root1_[i], root2_[i]}) {
            for (; x < interval; x += p) {
                const u32 b = x >> BLOCK_BITS;
                bucket[b * cap + count[b]++] = tag | (x & (BLOCK - 1));
            }
        }
    }
}

// Primes above the interval: at most one hit per root. Without a branch:
// a root outside writes to the spare bucket, whose count stays 0.
void Worker::PushSingle(int from, int to) {
    const u32 spare = static_cast<u32>(fb_.blocks);
    u32* bucket = bucket_.data();
    u32* count = count_.data();
    const size_t cap = cap_;
    const u32* r1 = root1_.data();
    const u32* r2 = root2_.data();
    for (int i = from; i < to; ++i) {
        const u32 tag = static_cast<u32>(i) << BLOCK_BITS;
        const u32 x = r1[i], y = r2[i];
        const u32 bx = std::min(x >> BLOCK_BITS, spare);
        bucket[bx * cap + count[bx]] = tag | (x & (BLOCK - 1));
        count[bx] += bx != spare;
        const u32 by = std::min(y >> BLOCK_BITS, spare);
        bucket[by * cap + count[by]] = tag | (y & (BLOCK - 1));
        count[by] += by != spare;
    }
}

/// Sieves the block at s with the primes from..to, all in
/// [BLOCK / 2 SURE, BLOCK / SURE): each root w (below p) hits the block
/// SURE times for certain and up to SURE times more. Every step is taken,
/// the ones past the block landing on the spare byte s[BLOCK], so no branch
/// is mispredicted; the roots move on to the next block. A factor of A has
/// no root (one far outside) and is left alone.
template <u32 SURE>
void SieveFixed(u8* s, const u32* prime, const u8* logp, u32* w1, u32* w2, int from, int to) {
    for (int i = from; i < to; ++i) {
        const u8 lp = logp[i];
        const u32 p = prime[i];
        for (u32* w : {w1 + i, w2 + i}) {
            const u32 x = *w;
            if (x >= BLOCK) continue;  // no root
            for (u32 t = 0; t < SURE; ++t) s[x + t * p] += lp;
            for (u32 t = SURE; t < 2 * SURE; ++t) s[std::min(x + t * p, static_cast<u32>(BLOCK))] += lp;
            u32 next = x + SURE * p;
            for (u32 t = 0; t < SURE; ++t) next = next < BLOCK ? next + p : next;
            *w = next - BLOCK;
        }
    }
}

// The primes below a block, on the block at s, with the roots w1_, w2_
// (advanced to the next block on return).
__attribute__((noinline)) void Worker::SieveSmall(u8* s) {
    const u32* prime = fb_.prime.data();
    const u8* logp = fb_.logp.data();
    u32* w1 = w1_.data();
    u32* w2 = w2_.data();
    for (int i = fb_.sieveFrom; i < fb_.fixedFrom[0]; ++i) {
        const u8 lp = logp[i];
        if (lp == 0) continue;
        const u32 p = prime[i];
        u32 x = w1[i], y = w2[i];
        if (x > y) std::swap(x, y);
        // Both roots while the larger is inside, then the smaller alone.
        while (y < BLOCK) {
            s[x] += lp;
            s[y] += lp;
            x += p;
            y += p;
        }
        if (x < BLOCK) {
            s[x] += lp;
            x += p;
        }
        w1[i] = x - BLOCK;
        w2[i] = y - BLOCK;
    }
    const int* f = fb_.fixedFrom;
    SieveFixed<4>(s, prime, logp, w1, w2, f[0], f[1]);
    SieveFixed<2>(s, prime, logp, w1, w2, f[1], f[2]);
    SieveFixed<1>(s, prime, logp, w1, w2, f[2], f[3]);
}

// Adds block b's bucket, slice by slice.
void Worker::ApplyBucket(u8* s, int b) {
    const u32* entries = bucket_.data() + static_cast<size_t>(b) * cap_;
    u32 from = 0;
    for (size_t g = 0; g < sliceLog_.size(); ++g) {
        const u32 to = sliceEnd_[g * fb_.blocks + b];
        const u8 lp = sliceLog_[g];
        for (u32 e = from; e < to; ++e) s[entries[e] & (BLOCK - 1)] += lp;
        from = to;
    }
}

// Collects the places of block b that reached the threshold (the high bit)
// as candidates, marking each with 0x80 | its number; beyond the most
// candidates, clears the mark.
void Worker::Scan(u8* s, int b) {
    constexpr u64 HIGH = 0x8080808080808080ull;
    for (int i = 0; i < BLOCK; i += 64) {
        u64 w[8];
        std::memcpy(w, s + i, 64);
        if (((w[0] | w[1] | w[2] | w[3] | w[4] | w[5] | w[6] | w[7]) & HIGH) == 0) continue;
        for (int j = 0; j < 64; ++j) {
            if ((s[i + j] & 0x80) == 0) continue;
            if (found_ < MAX_CANDIDATES) {
                cand_[found_] = static_cast<u32>(b) * BLOCK + static_cast<u32>(i + j);
                hitCount_[found_] = 0;
                s[i + j] = static_cast<u8>(0x80 | found_);
                ++found_;
            } else {
                s[i + j] = 0;
            }
        }
    }
}

// The primes above a block at the candidates of block b: its bucket.
void Worker::ScanBucket(const u8* s, int b) {
    const u32* entries = bucket_.data() + static_cast<size_t>(b) * cap_;
    const u32 total = sliceLog_.empty() ? 0 : sliceEnd_[(sliceLog_.size() - 1) * fb_.blocks + b];
    for (u32 e = 0; e < total; ++e) {
        const u8 mark = s[entries[e] & (BLOCK - 1)];
        if (mark & 0x80) Note(mark, entries[e] >> BLOCK_BITS);
    }
}

void Worker::ExamineCandidates() {
    for (int c = 0; c < found_; ++c) Examine(cand_[c], hits_[c], hitCount_[c]);
}

void Worker::DivideOut(int i) {
    const kw::Divisor1 d(fb_.prime[i]);
    u64 q[SINT_WORDS];
    while (vn_ > 0 && nf_ < MAX_FACTORS) {
        if (kw::DivRem1(q, v_, vn_, d) != 0) return;
        kw::Copy(v_, q, vn_);
        vn_ = kw::Norm(v_, vn_);
        factors_[nf_++] = static_cast<u32>(i);
    }
}

__attribute__((noinline)) void Worker::Examine(u32 P, const u32* hits, int hitCount) {
    const long long x = static_cast<long long>(P) - fb_.M;
    // v = (A x + 2B) x + C = Q(x) / A.
    SInt t;
    MulSmall(t, aS_, x);
    Add(t, t, b2_);
    MulSmall(t, t, x);
    Add(t, t, c_);
    const bool negative = t.Negative();
    sh_.tCand.fetch_add(1, std::memory_order_relaxed);
    vn_ = Magnitude(t, v_);
    if (vn_ == 0) return;
    nf_ = 0;
    if (negative) factors_[nf_++] = 0;
    // Powers of 2.
    int zeros = 0;
    while (v_[0] == 0) {
        kw::Copy(v_, v_ + 1, vn_ - 1);
        v_[--vn_] = 0;
        zeros += 64;
    }
    const int tz = std::countr_zero(v_[0]);
    if (tz > 0) kw::RShift(v_, v_, vn_, static_cast<unsigned>(tz));
    vn_ = kw::Norm(v_, vn_);
    zeros += tz;
    for (int z = 0; z < zeros && nf_ < MAX_FACTORS; ++z) factors_[nf_++] = 1;
    // The factors of A divide Q once more than they divide v.
    for (int l = 0; l < s_; ++l) {
        factors_[nf_++] = static_cast<u32>(qi_[l]);
        DivideOut(qi_[l]);
    }
    // The primes below the buckets (all primes when sieving directly): by
    // their roots.
    u32 found[MAX_HITS];
    int count = RootHits(P, fb_, root1_.data(), root2_.data(), 2, direct_ ? fb_.hugeFrom : fb_.largeFrom, found,
                         MAX_HITS);
    if (direct_) {
        count += RootEquals(P, root1_.data(), root2_.data(), fb_.hugeFrom, fb_.size, found + count, MAX_HITS - count);
    }
    for (int h = 0; h < count; ++h) DivideOut(static_cast<int>(found[h]));
    for (int h = 0; h < hitCount; ++h) DivideOut(static_cast<int>(hits[h]));
    if (vn_ != 1 || nf_ >= MAX_FACTORS) return;

    // What is left: 1, one large prime, or two.
    const u64 c = v_[0];
    u32 lp1 = 1, lp2 = 1;
    if (c == 1) {
    } else if (c <= fb_.lpMax) {
        lp2 = static_cast<u32>(c);
    } else if (c > fb_.pmaxSquared && c <= fb_.dlpMax) {
        sh_.tDlpTry.fetch_add(1, std::memory_order_relaxed);
        if (IsBpswProbablePrime(&c, 1)) { sh_.tDlpPrime.fetch_add(1, std::memory_order_relaxed); return; }
        sh_.tDlpRho.fetch_add(1, std::memory_order_relaxed);
        const u64 f = RhoSplit64(c, 1u << 17);
        if (f == 0) return;
        const u64 g = c / f;
        if (f > fb_.lpMax || g > fb_.lpMax) return;
        sh_.tDlpOk.fetch_add(1, std::memory_order_relaxed);
        lp1 = static_cast<u32>(std::min(f, g));
        lp2 = static_cast<u32>(std::max(f, g));
    } else {
        return;
    }
    // Y = A x + B.
    SInt y;
    MulSmall(y, aS_, x);
    Add(y, y, b_);
    u64 ym[SINT_WORDS];
    const int yn = Magnitude(y, ym);
    if (yn > Y_WORDS) return;
    std::sort(factors_, factors_ + nf_);
    if (!Verify(ym, yn, lp1, lp2)) {
        sh_.badRelations.fetch_add(1);
        return;
    }
    PackRelation(batch_, ym, yn, lp1, lp2, factors_, nf_);
}

// Whether Y^2 - kN equals the sign and product recorded.
bool Worker::Verify(const u64* y, int yn, u32 lp1, u32 lp2) const {
    u64 y2[2 * Y_WORDS] = {};
    kw::Sqr(y2, y, yn);
    const int y2n = kw::Norm(y2, 2 * yn);
    u64 diff[NUM_WORDS] = {};
    const bool below = kw::Cmp(y2, y2n, fb_.kn.w, fb_.kn.n) < 0;
    if (below) {
        kw::Copy(diff, fb_.kn.w, fb_.kn.n);
        kw::Sub(diff, diff, fb_.kn.n, y2, y2n);
    } else {
        kw::Copy(diff, y2, y2n);
        kw::Sub(diff, diff, y2n, fb_.kn.w, fb_.kn.n);
    }
    const int dn = kw::Norm(diff, NUM_WORDS);
    if (below != (nf_ > 0 && factors_[0] == 0)) return false;
    u64 prod[NUM_WORDS + 1] = {1};
    int pn = 1;
    auto times = [&](u64 m) {
        if (pn >= NUM_WORDS) return false;
        prod[pn] = kw::Mul1(prod, prod, pn, m);
        pn = kw::Norm(prod, pn + 1);
        return true;
    };
    for (int i = 0; i < nf_; ++i)
        if (factors_[i] != 0 && !times(fb_.prime[factors_[i]])) return false;
    if (!times(lp1) || !times(lp2)) return false;
    return kw::Cmp(prod, pn, diff, dn) == 0;
}

}  // namespace

void PackRelation(std::vector<u32>& pool, const u64* y, int yn, u32 lp1, u32 lp2, const u32* idx,
                  int count) {
    pool.push_back(static_cast<u32>(count));
    pool.push_back(lp1);
    pool.push_back(lp2);
    for (int i = 0; i < Y_WORDS; ++i) {
        const u64 w = i < yn ? y[i] : 0;
        pool.push_back(static_cast<u32>(w));
        pool.push_back(static_cast<u32>(w >> 32));
    }
    pool.insert(pool.end(), idx, idx + count);
}

bool Sieve(const FactorBase& fb, RelationStore& store, int threads, const std::atomic<int>& state,
           Progress* progress, SiqsStats& stats, int pass) {
    Shared shared(fb, store, state, progress, pass);
    RunThreads(threads, [&](int id) {
        Worker worker(shared, id);
        worker.Run();
    });
    stats.polynomials += shared.polynomials.load();
    stats.discarded += shared.badRelations.load();
    if (getenv("T_DBG")) fprintf(stderr, "fulls %lld partials %lld dpartials %lld cycles %lld polys %lld | ", store.Fulls(), store.Partials(), store.DoublePartials(), store.Cycles(), shared.polynomials.load());
    if (getenv("T_DBG")) fprintf(stderr, "cand %lld dlpTry %lld prime %lld rho %lld ok %lld bad %lld\n", shared.tCand.load(), shared.tDlpTry.load(), shared.tDlpPrime.load(), shared.tDlpRho.load(), shared.tDlpOk.load(), shared.badRelations.load());
    return state.load() != RUN_ABORT;
}

u64 RhoSplit64(u64 n, u64 maxSteps) {
    if ((n & 1) == 0) return 2;
    const kw::Montgomery mont(&n, 1);
    u64 steps = 0;
    for (u64 c = 1; c < 20 && steps < maxSteps; ++c) {
        u64 cc;
        mont.To(&cc, &c, 1);
        auto f = [&](u64 v) {
            u64 r;
            mont.Sqr(&r, &v);
            // r + c mod n on the machine word.
            const u64 t = r + cc;
            return t < r || t >= n ? t - n : t;
        };
        u64 y = mont.One()[0], x = y, ys = y, q = mont.One()[0];
        u64 g = 1;
        constexpr u64 m = 64;
        for (u64 r = 1; g == 1 && steps < maxSteps; r *= 2) {
            x = y;
            for (u64 i = 0; i < r; ++i) y = f(y);
            for (u64 k = 0; k < r && g == 1; k += m) {
                ys = y;
                const u64 lim = std::min(m, r - k);
                for (u64 i = 0; i < lim; ++i) {
                    y = f(y);
                    const u64 d = x > y ? x - y : y - x;
                    mont.Mul(&q, &q, &d);
                }
                steps += lim;
                g = std::gcd(q, n);
            }
        }
        if (g == n) {
            // The batch overshot: retrace it one step at a time.
            do {
                ys = f(ys);
                const u64 d = x > ys ? x - ys : ys - x;
                g = std::gcd(d, n);
            } while (g == 1);
        }
        if (g != 1 && g != n) return g;
    }
    return 0;
}

}  // namespace siqs
