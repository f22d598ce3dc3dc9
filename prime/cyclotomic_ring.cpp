// Z[zeta_(p^k)]/(n): products by sums of double-width products, the fold
// modulo the cyclotomic polynomial, automorphisms and powers.

#include "prime/cyclotomic_ring.h"

#include <algorithm>

#include "prime/run_state.h"

using kw::u64;

namespace {

/// Below these sizes the schoolbook product is cheaper than Karatsuba's
/// extra sums and wide subtractions.
constexpr int MUL_KARATSUBA_MIN = 4;
constexpr int SQR_KARATSUBA_MIN = 6;

/// m = m + bias - x - y over w words (y may be null), in one pass: the
/// callers' biases keep the result non-negative.
inline void AddBiasSubtract(kw::u64* m, const kw::u64* bias, const kw::u64* x, const kw::u64* y, int w) {
    __int128 carry = 0;
    for (int i = 0; i < w; ++i) {
        __int128 s = static_cast<__int128>(m[i]) + bias[i] - x[i] + carry;
        if (y != nullptr) s -= y[i];
        m[i] = static_cast<kw::u64>(s);
        carry = s >> 64;  // -2 .. 1
    }
}

}  // namespace

CyclotomicRing::CyclotomicRing(const kw::Montgomery& mont, int p, int k)
    : mont_(mont), p_(p), order_(1), w_(mont.Size()), W_(mont.WideSize()) {
    for (int i = 0; i < k; ++i) order_ *= p;
    stride_ = order_ / p;
    d_ = order_ - stride_;
    nSquared_.assign(static_cast<size_t>(W_), 0);
    kw::Mul(nSquared_.data(), mont.Modulus(), w_, mont.Modulus(), w_);
    // Scratch of the Karatsuba levels: two halves of residues and the middle
    // product per level.
    size_t scratch = 0;
    for (int n = d_; n >= MUL_KARATSUBA_MIN || n >= SQR_KARATSUBA_MIN; n = (n + 1) / 2) {
        const int h = (n + 1) / 2;
        scratch += static_cast<size_t>(2 * h * w_ + (2 * h - 1) * W_);
        if (n == h) break;
    }
    scratch_.resize(scratch + 1);
    mulBound_.resize(static_cast<size_t>(d_ + 1));
    sqrBound_.resize(static_cast<size_t>(d_ + 1));
    for (int n = 1; n <= d_; ++n) {
        mulBound_[static_cast<size_t>(n)] = WideBound(n, false);
        sqrBound_[static_cast<size_t>(n)] = WideBound(n, true);
    }
    // Every bias a product can ask for, made now: the products allocate nothing.
    Bias(4 * std::max(mulBound_.back(), sqrBound_.back()));
    product_.resize(static_cast<size_t>((2 * d_ - 1) * W_));
    tmp_.resize(static_cast<size_t>(order_ * w_));
}

double CyclotomicRing::WideBound(int n, bool square) const {
    if (n < (square ? SQR_KARATSUBA_MIN : MUL_KARATSUBA_MIN)) return n;
    const int h = (n + 1) / 2;
    const double lo = WideBound(h, square), hi = WideBound(n - h, square);
    // Each value: one of lo or hi, plus the middle with its bias (at most
    // twice what it covers).
    return lo + lo + 2 * (lo + hi);
}

const kw::u64* CyclotomicRing::Bias(double bound) {
    // n^2 2^j for the least j with 2^j >= bound.
    size_t j = 0;
    while (static_cast<double>(1ull << j) < bound) ++j;
    while (biases_.size() <= j) {
        std::vector<u64> b(static_cast<size_t>(W_));
        kw::Copy(b.data(), nSquared_.data(), W_);
        if (!biases_.empty()) kw::LShift(b.data(), biases_.back().data(), W_, 1);
        biases_.push_back(std::move(b));
    }
    return biases_[j].data();
}

void CyclotomicRing::MulWide(u64* c, const u64* a, const u64* b, int n, u64* scratch) {
    if (n < MUL_KARATSUBA_MIN) {
        kw::Zero(c, (2 * n - 1) * W_);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) mont_.AddMulWide(c + (i + j) * W_, a + i * w_, b + j * w_);
        return;
    }
    const int h = (n + 1) / 2, l = n - h;
    MulWide(c, a, b, h, scratch);
    MulWide(c + 2 * h * W_, a + h * w_, b + h * w_, l, scratch);
    u64* sa = scratch;
    u64* sb = sa + h * w_;
    u64* mid = sb + h * w_;
    for (int i = 0; i < h; ++i) {
        kw::Copy(sa + i * w_, a + i * w_, w_);
        kw::Copy(sb + i * w_, b + i * w_, w_);
        if (i < l) {
            mont_.Add(sa + i * w_, sa + i * w_, a + (h + i) * w_);
            mont_.Add(sb + i * w_, sb + i * w_, b + (h + i) * w_);
        }
    }
    MulWide(mid, sa, sb, h, mid + (2 * h - 1) * W_);
    Recombine(c, mid, h, l, Bias(mulBound_[static_cast<size_t>(h)] + mulBound_[static_cast<size_t>(l)]));
}

void CyclotomicRing::SqrWide(u64* c, const u64* a, int n, u64* scratch) {
    if (n < SQR_KARATSUBA_MIN) {
        kw::Zero(c, (2 * n - 1) * W_);
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) mont_.AddMulWide(c + (i + j) * W_, a + i * w_, a + j * w_);
        for (int i = 1; i < 2 * n - 2; ++i) kw::LShift(c + i * W_, c + i * W_, W_, 1);
        for (int i = 0; i < n; ++i) mont_.AddMulWide(c + 2 * i * W_, a + i * w_, a + i * w_);
        return;
    }
    const int h = (n + 1) / 2, l = n - h;
    SqrWide(c, a, h, scratch);
    SqrWide(c + 2 * h * W_, a + h * w_, l, scratch);
    u64* sa = scratch;
    u64* mid = sa + 2 * h * w_;
    for (int i = 0; i < h; ++i) {
        kw::Copy(sa + i * w_, a + i * w_, w_);
        if (i < l) mont_.Add(sa + i * w_, sa + i * w_, a + (h + i) * w_);
    }
    SqrWide(mid, sa, h, mid + (2 * h - 1) * W_);
    Recombine(c, mid, h, l, Bias(sqrBound_[static_cast<size_t>(h)] + sqrBound_[static_cast<size_t>(l)]));
}

void CyclotomicRing::Recombine(u64* c, u64* mid, int h, int l, const u64* bias) {
    // a b = lo + x^h (mid - lo - hi) + x^(2h) hi, with mid = (a0 + a1)(b0 + b1)
    // from half sums taken modulo n: mid - lo - hi is right modulo n only,
    // and the bias (a multiple of n^2 above lo + hi) keeps it non-negative.
    kw::Zero(c + (2 * h - 1) * W_, W_);
    for (int i = 0; i < 2 * h - 1; ++i)
        AddBiasSubtract(mid + i * W_, bias, c + i * W_, i < 2 * l - 1 ? c + (2 * h + i) * W_ : nullptr, W_);
    // Only now: the middle overlaps the upper half of lo and the lower of hi.
    for (int i = 0; i < 2 * h - 1; ++i) kw::AddN(c + (h + i) * W_, c + (h + i) * W_, mid + i * W_, W_);
}

void CyclotomicRing::FoldAndReduce(u64* r, u64* c, double bound) {
    if (p_ != 2) {
        // x^(p^k) = 1 first.
        for (int i = order_; i < 2 * d_ - 1; ++i) kw::AddN(c + (i - order_) * W_, c + (i - order_) * W_, c + i * W_, W_);
        bound *= 2;
    }
    // Then x^(d + j) = -(x^j + x^(j + s) + ... + x^(j + (p-2) s)): each low
    // coefficient loses the high one of its class modulo s (for p = 2,
    // x^(d + j) = -x^j).
    const u64* bias = Bias(bound);
    for (int i = 0; i < d_; ++i) {
        u64* ci = c + i * W_;
        const int high = d_ + i % stride_;
        if (high < 2 * d_ - 1) AddBiasSubtract(ci, bias, c + high * W_, nullptr, W_);
        mont_.Reduce(r + i * w_, ci);
    }
}

void CyclotomicRing::Mul(u64* r, const u64* a, const u64* b) {
    MulWide(product_.data(), a, b, d_, scratch_.data());
    FoldAndReduce(r, product_.data(), mulBound_[static_cast<size_t>(d_)]);
}

void CyclotomicRing::Sqr(u64* r, const u64* a) {
    SqrWide(product_.data(), a, d_, scratch_.data());
    FoldAndReduce(r, product_.data(), sqrBound_[static_cast<size_t>(d_)]);
}

void CyclotomicRing::SetOne(u64* r) const {
    kw::Zero(r, d_ * w_);
    kw::Copy(r, mont_.One(), w_);
}

void CyclotomicRing::SetSmall(u64* r, const std::vector<long long>& c) const {
    std::vector<long long> v(c.begin(), c.begin() + order_);
    // x^(d + j) = -(x^j + x^(j + stride) + ... + x^(j + (p-2) stride)).
    for (int e = d_; e < order_; ++e) {
        for (int i = e - d_; i < d_; i += stride_) v[static_cast<size_t>(i)] -= v[static_cast<size_t>(e)];
    }
    const u64 zero[kw::WORDS] = {};
    for (int i = 0; i < d_; ++i) {
        const long long x = v[static_cast<size_t>(i)];
        const u64 magnitude = x < 0 ? 0 - static_cast<u64>(x) : static_cast<u64>(x);
        u64* ri = r + i * w_;
        mont_.To(ri, &magnitude, 1);
        if (x < 0) mont_.Sub(ri, zero, ri);
    }
}

void CyclotomicRing::MulScalar(u64* r, const u64* a, const u64* c) const {
    for (int i = 0; i < d_; ++i) mont_.Mul(r + i * w_, a + i * w_, c);
}

void CyclotomicRing::InverseAutomorphism(u64* r, const u64* a, int x) {
    // sigma_x^-1 sends zeta^s to zeta^(s / x): the new coefficient of zeta^i
    // is the old one of zeta^(i x), and the image of zeta^0 .. zeta^(d-1)
    // spreads over all p^k powers.
    u64* full = tmp_.data();
    for (int i = 0; i < order_; ++i) {
        const int s = static_cast<int>((static_cast<long long>(i) * x) % order_);
        if (s < d_)
            kw::Copy(full + i * w_, a + s * w_, w_);
        else
            kw::Zero(full + i * w_, w_);
    }
    for (int i = 0; i < d_; ++i) mont_.Sub(r + i * w_, full + i * w_, full + (d_ + i % stride_) * w_);
}

bool CyclotomicRing::Pow(u64* r, const u64* a, const u64* e, int ebits, const std::atomic<int>& state) {
    auto bit = [e](int i) { return static_cast<int>((e[i / 64] >> (i % 64)) & 1); };
    // The window that costs least: one product per window plus the table
    // of 2^(k-1) odd powers.
    int k = 1;
    for (int c = 2; c <= 8; ++c) {
        if (ebits / (c + 1) + (1 << (c - 1)) < ebits / (k + 1) + (1 << (k - 1))) k = c;
    }
    const int ew = ElementWords();
    std::vector<u64> table(static_cast<size_t>((1 << (k - 1)) * ew));
    std::vector<u64> x(static_cast<size_t>(ew));
    kw::Copy(table.data(), a, ew);
    if (k > 1) {
        Sqr(x.data(), a);
        for (int i = 1; i < (1 << (k - 1)); ++i) Mul(table.data() + i * ew, table.data() + (i - 1) * ew, x.data());
    }
    bool started = false;
    int i = ebits - 1;
    while (i >= 0) {
        if (state.load(std::memory_order_relaxed) == RUN_ABORT) return false;
        if (!bit(i)) {
            Sqr(x.data(), x.data());
            --i;
            continue;
        }
        int j = i - k + 1 < 0 ? 0 : i - k + 1;
        while (!bit(j)) ++j;
        unsigned val = 0;
        for (int b = i; b >= j; --b) val = (val << 1) | static_cast<unsigned>(bit(b));
        if (started) {
            for (int b = i; b >= j; --b) Sqr(x.data(), x.data());
            Mul(x.data(), x.data(), table.data() + (val >> 1) * ew);
        } else {
            kw::Copy(x.data(), table.data() + (val >> 1) * ew, ew);
            started = true;
        }
        i = j - 1;
    }
    kw::Copy(r, x.data(), ew);
    return true;
}

void CyclotomicRing::MultiPow(u64* r, const std::vector<const u64*>& bases, const std::vector<int>& exps) {
    int top = -1;
    for (const int e : exps)
        for (int b = 15; b > top; --b)
            if ((e >> b) & 1) top = b;
    SetOne(r);
    bool started = false;
    for (int b = top; b >= 0; --b) {
        if (started) Sqr(r, r);
        for (size_t i = 0; i < bases.size(); ++i) {
            if (((exps[i] >> b) & 1) == 0) continue;
            if (started) {
                Mul(r, r, bases[i]);
            } else {
                kw::Copy(r, bases[i], ElementWords());
                started = true;
            }
        }
    }
}

int CyclotomicRing::RootOfUnityIndex(const u64* a) const {
    const u64 zero[kw::WORDS] = {};
    u64 minusOne[kw::WORDS];
    mont_.Sub(minusOne, zero, mont_.One());
    auto is = [this, a](int i, const u64* v) {
        for (int j = 0; j < w_; ++j)
            if (a[i * w_ + j] != v[j]) return false;
        return true;
    };
    int first = -1;
    for (int i = 0; i < d_ && first < 0; ++i)
        if (!is(i, zero)) first = i;
    if (first < 0) return -1;
    // zeta^h for h < d is x^h.
    if (is(first, mont_.One())) {
        for (int i = first + 1; i < d_; ++i)
            if (!is(i, zero)) return -1;
        return first;
    }
    // zeta^(d + j) for j < stride is -(x^j + x^(j + stride) + ... ).
    if (first >= stride_) return -1;
    for (int i = first; i < d_; ++i) {
        const bool inClass = (i - first) % stride_ == 0;
        if (!is(i, inClass ? minusOne : zero)) return -1;
    }
    return d_ + first;
}
