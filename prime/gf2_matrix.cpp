// Dependencies among sparse GF(2) columns. Block Lanczos after Montgomery
// ("A block Lanczos algorithm for finding dependencies over GF(2)",
// EUROCRYPT 1995) works on A = B^T B with 64 vectors per word; small
// matrices are eliminated directly.

#include "prime/gf2_matrix.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "prime/run_state.h"

namespace {

using u64 = std::uint64_t;
using u32 = std::uint32_t;

u64 SplitMix(u64& state) {
    u64 z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

bool Aborted(const std::atomic<int>& state) { return state.load(std::memory_order_relaxed) == RUN_ABORT; }

// --- 64 x 64 matrices: row i is a word, bit k its entry in column k ----------

/// out = a b.
void Mul64(const u64* a, const u64* b, u64* out) {
    u64 r[64];
    for (int i = 0; i < 64; ++i) {
        u64 acc = 0;
        for (u64 w = a[i]; w != 0; w &= w - 1) acc ^= b[std::countr_zero(w)];
        r[i] = acc;
    }
    std::memcpy(out, r, sizeof r);
}

/// out[j] ^= v[j] m for an n x 64 block v (one word per row).
void MulBlockAdd(const u64* v, const u64* m, u64* out, size_t n) {
    // Eight tables of the 256 sums of eight rows of m.
    static thread_local u64 table[8][256];
    for (int b = 0; b < 8; ++b) {
        table[b][0] = 0;
        for (int i = 1; i < 256; ++i) {
            const int low = std::countr_zero(static_cast<unsigned>(i));
            table[b][i] = table[b][i & (i - 1)] ^ m[8 * b + low];
        }
    }
    for (size_t j = 0; j < n; ++j) {
        const u64 x = v[j];
        out[j] ^= table[0][x & 255] ^ table[1][(x >> 8) & 255] ^ table[2][(x >> 16) & 255] ^
                  table[3][(x >> 24) & 255] ^ table[4][(x >> 32) & 255] ^ table[5][(x >> 40) & 255] ^
                  table[6][(x >> 48) & 255] ^ table[7][x >> 56];
    }
}

/// out = v^T w (64 x 64) for n x 64 blocks v and w.
void InnerProduct(const u64* v, const u64* w, size_t n, u64* out) {
    static thread_local u64 table[8][256];
    std::memset(table, 0, sizeof table);
    for (size_t j = 0; j < n; ++j) {
        const u64 x = v[j], y = w[j];
        for (int b = 0; b < 8; ++b) table[b][(x >> (8 * b)) & 255] ^= y;
    }
    for (int b = 0; b < 8; ++b) {
        for (int bit = 0; bit < 8; ++bit) {
            u64 acc = 0;
            for (int i = 0; i < 256; ++i)
                if ((i >> bit) & 1) acc ^= table[b][i];
            out[8 * b + bit] = acc;
        }
    }
}

// --- The sparse matrix -----------------------------------------------------------

/// rowsOut = B v.
void MulB(const Gf2Matrix& m, const u64* v, u64* rowsOut) {
    std::fill(rowsOut, rowsOut + m.rows, 0);
    const u32 cols = m.Cols();
    for (u32 j = 0; j < cols; ++j) {
        const u64 x = v[j];
        for (u32 k = m.start[j]; k < m.start[j + 1]; ++k) rowsOut[m.index[k]] ^= x;
    }
}

/// out = B^T B v, with `rows` as scratch.
void MulA(const Gf2Matrix& m, const u64* v, u64* out, u64* rows) {
    MulB(m, v, rows);
    const u32 cols = m.Cols();
    for (u32 j = 0; j < cols; ++j) {
        u64 acc = 0;
        for (u32 k = m.start[j]; k < m.start[j + 1]; ++k) acc ^= rows[m.index[k]];
        out[j] = acc;
    }
}

/// Montgomery's choice of the columns S_i and of Winv = S (S^T T S)^-1 S^T
/// from T = V^T A V, taking every column not in sPrev first. False when
/// the columns outside sPrev cannot all be taken (the run has failed).
bool SelectColumns(const u64* t, u64 sPrev, u64* winv, u64& s) {
    u64 left[64], right[64];
    for (int i = 0; i < 64; ++i) {
        left[i] = t[i];
        right[i] = u64{1} << i;
    }
    int order[64];
    int n = 0;
    for (int i = 0; i < 64; ++i)
        if (!((sPrev >> i) & 1)) order[n++] = i;
    for (int i = 0; i < 64; ++i)
        if ((sPrev >> i) & 1) order[n++] = i;
    s = 0;
    for (int j = 0; j < 64; ++j) {
        const int c = order[j];
        int k = j;
        while (k < 64 && !((left[order[k]] >> c) & 1)) ++k;
        if (k < 64) {
            std::swap(left[order[k]], left[c]);
            std::swap(right[order[k]], right[c]);
            s |= u64{1} << c;
            for (int i = 0; i < 64; ++i) {
                if (i != c && ((left[i] >> c) & 1)) {
                    left[i] ^= left[c];
                    right[i] ^= right[c];
                }
            }
        } else {
            k = j;
            while (k < 64 && !((right[order[k]] >> c) & 1)) ++k;
            if (k == 64) return false;
            std::swap(left[order[k]], left[c]);
            std::swap(right[order[k]], right[c]);
            for (int i = 0; i < 64; ++i) {
                if (i != c && ((right[i] >> c) & 1)) {
                    left[i] ^= left[c];
                    right[i] ^= right[c];
                }
            }
            left[c] = right[c] = 0;
        }
    }
    std::memcpy(winv, right, sizeof right);
    return (s | sPrev) == ~u64{0};
}

/// Reduced row echelon form of rows of up to 128 bits, fed one at a time.
class Echelon128 {
public:
    void Add(u64 lo, u64 hi) {
        for (int p = 0; p < count_; ++p) {
            if (Bit(lo, hi, col_[p])) {
                lo ^= lo_[p];
                hi ^= hi_[p];
            }
        }
        if (lo == 0 && hi == 0) return;
        const int c = lo != 0 ? std::countr_zero(lo) : 64 + std::countr_zero(hi);
        for (int p = 0; p < count_; ++p) {
            if (Bit(lo_[p], hi_[p], c)) {
                lo_[p] ^= lo;
                hi_[p] ^= hi;
            }
        }
        lo_[count_] = lo;
        hi_[count_] = hi;
        col_[count_++] = c;
    }
    bool Full(int width) const { return count_ == width; }
    bool IsPivot(int c) const { return std::find(col_, col_ + count_, c) != col_ + count_; }
    /// The kernel vector with free column f set.
    void Kernel(int f, u64& lo, u64& hi) const {
        lo = f < 64 ? u64{1} << f : 0;
        hi = f >= 64 ? u64{1} << (f - 64) : 0;
        for (int p = 0; p < count_; ++p) {
            if (Bit(lo_[p], hi_[p], f)) {
                if (col_[p] < 64) {
                    lo |= u64{1} << col_[p];
                } else {
                    hi |= u64{1} << (col_[p] - 64);
                }
            }
        }
    }

private:
    static bool Bit(u64 lo, u64 hi, int c) { return c < 64 ? (lo >> c) & 1 : (hi >> (c - 64)) & 1; }
    u64 lo_[128] = {}, hi_[128] = {};
    int col_[128] = {};
    int count_ = 0;
};

/// Up to 64 independent vectors among z = [xy | vm] u with B z = 0.
int Combine(const Gf2Matrix& m, const std::vector<u64>& xy, const std::vector<u64>& vm,
            const std::atomic<int>& state, std::vector<u64>& deps) {
    const u32 cols = m.Cols();
    std::vector<u64> b0(m.rows), b1(m.rows);
    MulB(m, xy.data(), b0.data());
    MulB(m, vm.data(), b1.data());
    Echelon128 image;
    for (u32 i = 0; i < m.rows && !image.Full(128); ++i) {
        if ((i & 4095) == 0 && Aborted(state)) return -1;
        image.Add(b0[i], b1[i]);
    }
    // Kernel vectors u, then their images z = xy u_lo + vm u_hi.
    std::vector<u64> zlo(cols, 0), zhi(cols, 0);
    int kernels = 0;
    u64 klo[128], khi[128];
    for (int f = 0; f < 128; ++f) {
        if (image.IsPivot(f)) continue;
        image.Kernel(f, klo[kernels], khi[kernels]);
        ++kernels;
    }
    for (u32 j = 0; j < cols; ++j) {
        u64 lo = 0, hi = 0;
        for (int t = 0; t < kernels; ++t) {
            const u64 bit = static_cast<u64>((std::popcount(xy[j] & klo[t]) + std::popcount(vm[j] & khi[t])) & 1);
            if (t < 64) {
                lo |= bit << t;
            } else {
                hi |= bit << (t - 64);
            }
        }
        zlo[j] = lo;
        zhi[j] = hi;
    }
    // The independent ones among them: the pivot columns of their echelon form.
    Echelon128 span;
    for (u32 j = 0; j < cols && !span.Full(kernels); ++j) span.Add(zlo[j], zhi[j]);
    deps.assign(cols, 0);
    int found = 0;
    for (int t = 0; t < kernels && found < 64; ++t) {
        if (!span.IsPivot(t)) continue;
        for (u32 j = 0; j < cols; ++j) {
            const u64 bit = t < 64 ? (zlo[j] >> t) & 1 : (zhi[j] >> (t - 64)) & 1;
            deps[j] |= bit << found;
        }
        ++found;
    }
    return found;
}

/// Keeps only the sets whose columns really sum to zero; returns how many.
int KeepTrueDependencies(const Gf2Matrix& m, std::vector<u64>& deps) {
    std::vector<u64> rows(m.rows);
    MulB(m, deps.data(), rows.data());
    u64 bad = 0, used = 0;
    for (u64 r : rows) bad |= r;
    for (u64 d : deps) used |= d;
    const u64 keep = used & ~bad;
    // Close the gaps: set t becomes the t-th kept set.
    for (u64& d : deps) {
        u64 packed = 0;
        int t = 0;
        for (u64 w = keep; w != 0; w &= w - 1, ++t) packed |= ((d >> std::countr_zero(w)) & 1) << t;
        d = packed;
    }
    return std::popcount(keep);
}

}  // namespace

Gf2Status BlockLanczos(const Gf2Matrix& m, u64 seed, const std::atomic<int>& state, std::vector<u64>& deps,
                       Progress* progress) {
    const size_t n = m.Cols();
    deps.assign(n, 0);
    if (n < 64) return Gf2Status::NONE;
    u64 rng = seed;
    std::vector<u64> y(n), x(n, 0), v0(n), v(n), v1(n, 0), v2(n, 0), av(n), next(n), rows(m.rows);
    for (u64& w : y) w = SplitMix(rng);
    MulA(m, y.data(), v0.data(), rows.data());
    v = v0;
    u64 winv1[64] = {}, winv2[64] = {}, vav1[64] = {}, va2v1[64] = {};
    u64 s1 = ~u64{0};
    const size_t maxIterations = n / 60 + 100;
    size_t iteration = 0;
    for (;; ++iteration) {
        if (Aborted(state)) return Gf2Status::ABORTED;
        if (iteration > maxIterations) return Gf2Status::NONE;
        ReportProgress(progress, [&] {
            return "MPQS 行列 " + std::to_string(m.rows) + "x" + std::to_string(n) + ": " + std::to_string(iteration) +
                   "/" + std::to_string(n / 63 + 1);
        });
        MulA(m, v.data(), av.data(), rows.data());
        u64 vav[64], va2v[64];
        InnerProduct(v.data(), av.data(), n, vav);
        InnerProduct(av.data(), av.data(), n, va2v);
        bool zero = true;
        for (u64 w : vav) zero = zero && w == 0;
        if (zero) break;
        u64 winv[64], s;
        if (!SelectColumns(vav, s1, winv, s)) return Gf2Status::NONE;
        // D = I + Winv (V^T A^2 V S S^T + V^T A V).
        u64 d[64], e[64], f[64], t[64];
        for (int i = 0; i < 64; ++i) t[i] = (va2v[i] & s) ^ vav[i];
        Mul64(winv, t, d);
        for (int i = 0; i < 64; ++i) d[i] ^= u64{1} << i;
        // E = Winv_{i-1} V^T A V S S^T.
        for (int i = 0; i < 64; ++i) t[i] = vav[i] & s;
        Mul64(winv1, t, e);
        // F = Winv_{i-2} (I + vav_{i-1} Winv_{i-1}) (va2v_{i-1} S_{i-1} S_{i-1}^T + vav_{i-1}) S S^T.
        u64 g[64];
        Mul64(vav1, winv1, g);
        for (int i = 0; i < 64; ++i) {
            g[i] ^= u64{1} << i;
            t[i] = (va2v1[i] & s1) ^ vav1[i];
        }
        Mul64(g, t, g);
        Mul64(winv2, g, f);
        for (int i = 0; i < 64; ++i) f[i] &= s;
        // X += V Winv V^T V_0.
        u64 vtv0[64];
        InnerProduct(v.data(), v0.data(), n, vtv0);
        Mul64(winv, vtv0, t);
        MulBlockAdd(v.data(), t, x.data(), n);
        // V_{i+1} = A V S S^T + V D + V_{i-1} E + V_{i-2} F.
        for (size_t j = 0; j < n; ++j) next[j] = av[j] & s;
        MulBlockAdd(v.data(), d, next.data(), n);
        MulBlockAdd(v1.data(), e, next.data(), n);
        MulBlockAdd(v2.data(), f, next.data(), n);
        v2.swap(v1);
        v1.swap(v);
        v.swap(next);
        std::memcpy(winv2, winv1, sizeof winv1);
        std::memcpy(winv1, winv, sizeof winv);
        std::memcpy(vav1, vav, sizeof vav);
        std::memcpy(va2v1, va2v, sizeof va2v);
        s1 = s;
    }
    for (size_t j = 0; j < n; ++j) x[j] ^= y[j];
    const int found = Combine(m, x, v, state, deps);
    if (found < 0) return Gf2Status::ABORTED;
    return KeepTrueDependencies(m, deps) > 0 ? Gf2Status::FOUND : Gf2Status::NONE;
}

Gf2Status DenseDependencies(const Gf2Matrix& m, const std::atomic<int>& state, std::vector<u64>& deps) {
    const u32 cols = m.Cols();
    const size_t rw = (m.rows + 63) / 64, iw = (cols + 63) / 64, width = rw + iw;
    deps.assign(cols, 0);
    // Each column with its own unit vector appended; a column that reduces
    // to zero in its matrix part leaves a dependency in the appended part.
    std::vector<u64> basis;
    std::vector<int> pivotOf(m.rows, -1);
    std::vector<u64> w(width);
    int found = 0;
    for (u32 j = 0; j < cols && found < 64; ++j) {
        if ((j & 63) == 0 && Aborted(state)) return Gf2Status::ABORTED;
        std::fill(w.begin(), w.end(), 0);
        for (u32 k = m.start[j]; k < m.start[j + 1]; ++k) w[m.index[k] / 64] ^= u64{1} << (m.index[k] % 64);
        w[rw + j / 64] |= u64{1} << (j % 64);
        for (;;) {
            size_t word = 0;
            while (word < rw && w[word] == 0) ++word;
            if (word == rw) {
                for (u32 c = 0; c < cols; ++c)
                    if ((w[rw + c / 64] >> (c % 64)) & 1) deps[c] |= u64{1} << found;
                ++found;
                break;
            }
            const u32 row = static_cast<u32>(word * 64 + std::countr_zero(w[word]));
            if (pivotOf[row] < 0) {
                pivotOf[row] = static_cast<int>(basis.size() / width);
                basis.insert(basis.end(), w.begin(), w.end());
                break;
            }
            const u64* b = basis.data() + static_cast<size_t>(pivotOf[row]) * width;
            for (size_t i = 0; i < width; ++i) w[i] ^= b[i];
        }
    }
    return found > 0 ? Gf2Status::FOUND : Gf2Status::NONE;
}

Gf2Status FindDependencies(const Gf2Matrix& m, u64 seed, const std::atomic<int>& state, std::vector<u64>& deps,
                           Progress* progress) {
    if (m.Cols() < GF2_LANCZOS_FROM) return DenseDependencies(m, state, deps);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const Gf2Status status = BlockLanczos(m, seed + 0x1234567ull * attempt, state, deps, progress);
        if (status != Gf2Status::NONE) return status;
    }
    if (m.Cols() <= 4 * GF2_LANCZOS_FROM) return DenseDependencies(m, state, deps);
    return Gf2Status::NONE;
}
