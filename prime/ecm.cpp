// Elliptic curve arithmetic in affine coordinates and the elliptic curve method.
//
// The coordinates are what the BigInt remainder leaves: representatives in
// (-N, N) with the sign of the dividend; the denominators are not reduced.
// The sums are taken on words, each remainder from its residue modulo |N|
// (products in the Montgomery kernel) and the sign of its dividend, decided
// exactly (from bit lengths, or from a product small enough to form). The
// results are those of the BigInt formulas with unbounded width, also where
// a product exceeds 1616 bits.

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "bigint/bigint_words.h"
#include "bigint/montgomery.h"
#include "bigint/word_algorithms.h"
#include "prime/engine_words.h"
#include "prime/prime_engine.h"

namespace {

using kw::u64;
using kw::WORDS;

// A signed integer below 2^1664 in magnitude: a coordinate, the sum or
// difference of two, a denominator. A zero computed here is positive; one
// read from a BigInt keeps a negative zero's sign, as BigInt equality does.
struct Signed {
    u64 w[WORDS];
    int n = 0;
    bool negative = false;

    bool IsPositive() const { return n != 0 && !negative; }
    bool IsNegative() const { return n != 0 && negative; }
};

Signed FromBig(const BigInt& v) {
    Signed s;
    kw::Load(v, s.w, &s.n);
    s.negative = v.GetSign() != 0;
    return s;
}

// Equality as BigInt values: sign and magnitude.
bool Equal(const Signed& a, const Signed& b) {
    return a.negative == b.negative && a.n == b.n && std::equal(a.w, a.w + a.n, b.w);
}

// a + b, or a - b when `subtract`; magnitudes below 2^1662.
Signed Sum(const Signed& a, const Signed& b, bool subtract = false) {
    const bool bNegative = b.negative != subtract;
    Signed r;
    if (a.negative == bNegative) {
        const Signed& big = a.n >= b.n ? a : b;
        const Signed& small = a.n >= b.n ? b : a;
        r.n = big.n;
        const u64 carry = kw::Add(r.w, big.w, big.n, small.w, small.n);
        if (carry != 0) r.w[r.n++] = carry;
        r.negative = a.negative;
    } else if (kw::Cmp(a.w, a.n, b.w, b.n) >= 0) {
        kw::Sub(r.w, a.w, a.n, b.w, b.n);
        r.n = kw::Norm(r.w, a.n);
        r.negative = a.negative;
    } else {
        kw::Sub(r.w, b.w, b.n, a.w, a.n);
        r.n = kw::Norm(r.w, b.n);
        r.negative = bNegative;
    }
    if (r.n == 0) r.negative = false;
    return r;
}

// Three-way comparison of |a| |b| with |c|: by bit lengths when they decide,
// else by the product itself, then at most one bit longer than c.
int CompareProduct(const Signed& a, const Signed& b, const Signed& c) {
    if (a.n == 0 || b.n == 0) return c.n == 0 ? 0 : -1;
    const int lab = kw::BitLen(a.w, a.n) + kw::BitLen(b.w, b.n);
    const int lc = c.n == 0 ? 0 : kw::BitLen(c.w, c.n);
    if (lab - 2 >= lc) return 1;  // |a b| >= 2^(la + lb - 2) >= 2^lc > |c|
    if (lab < lc) return -1;      // |a b| < 2^(la + lb) <= 2^(lc - 1) <= |c|
    u64 p[kw::WORDS2];
    kw::Mul(p, a.w, a.n, b.w, b.n);
    return kw::Cmp(p, kw::Norm(p, a.n + b.n), c.w, c.n);
}

// Residues modulo |N| >= 1, k words each, products in the Montgomery kernel
// (for |N| = 1 every residue is 0 and nothing is invertible).
class CurveModulus {
public:
    explicit CurveModulus(const BigInt& N) {
        kw::Load(N, m_m, &m_k);
        if (m_k > 1 || (m_k == 1 && m_m[0] > 1)) m_mont = kw::Montgomery(m_m, m_k);
    }

    /// r = v mod |N|.
    void Residue(u64* r, const Signed& v) const {
        if (kw::Cmp(v.w, v.n, m_m, m_k) < 0) {
            kw::Copy(r, v.w, v.n);
            kw::Zero(r + v.n, m_k - v.n);
        } else {
            kw::DivRem(nullptr, r, v.w, v.n, m_m, m_k);
        }
        if (v.negative && !IsZero(r)) kw::SubN(r, m_m, r, m_k);
    }
    bool IsZero(const u64* r) const { return kw::Norm(r, m_k) == 0; }

    void Add(u64* r, const u64* a, const u64* b) const {
        if (Trivial()) return kw::Zero(r, m_k);
        m_mont.Add(r, a, b);
    }
    void Sub(u64* r, const u64* a, const u64* b) const {
        if (Trivial()) return kw::Zero(r, m_k);
        m_mont.Sub(r, a, b);
    }
    /// r = a b mod |N|: a brought into the kernel's form, times the plain b.
    void Mul(u64* r, const u64* a, const u64* b) const {
        if (Trivial()) return kw::Zero(r, m_k);
        u64 t[WORDS];
        m_mont.To(t, a, m_k);
        m_mont.Mul(r, t, b);
    }

    /// r = v^-1 mod |N| in [0, |N|) by Lehmer's extended gcd; false when
    /// gcd(v, N) != 1 (always for v = 0).
    bool Inverse(u64* r, const u64* v) const {
        const int vn = kw::Norm(v, m_k);
        if (vn == 0) return false;
        u64 g[WORDS + 1], cofactor[WORDS + 2];
        int cofactorWords;
        bool odd;
        const int gn = kw::GcdExt(g, cofactor, &cofactorWords, &odd, m_m, m_k, v, vn);
        if (gn != 1 || g[0] != 1) return false;
        if (odd && cofactorWords > 0) {
            kw::Sub(r, m_m, m_k, cofactor, cofactorWords);
        } else {
            kw::Copy(r, cofactor, cofactorWords);
            kw::Zero(r + cofactorWords, m_k - cofactorWords);
        }
        return true;
    }

    /// The truncating remainder of a value with residue r: r itself for a
    /// value >= 0, r - |N| for a negative one (0 either way for r = 0).
    Signed Remainder(const u64* r, bool negative) const {
        Signed s;
        s.n = kw::Norm(r, m_k);
        if (s.n == 0) return s;
        if (!negative) {
            kw::Copy(s.w, r, s.n);
        } else {
            kw::SubN(s.w, m_m, r, m_k);
            s.n = kw::Norm(s.w, m_k);
            s.negative = true;
        }
        return s;
    }

    /// gcd(v, N), positive.
    BigInt Gcd(const Signed& v) const {
        u64 r[WORDS];
        Residue(r, v);
        return GcdWithTarget(r, kw::Norm(r, m_k), m_m, m_k);
    }

    /// v as a BigInt when it fits the width, else its remainder (the same
    /// gcd with N, which is what a failed point's denominator is for).
    BigInt ToBig(const Signed& v) const {
        if (v.n != 0 && kw::BitLen(v.w, v.n) > BIGINT_BITS) {
            u64 r[WORDS];
            Residue(r, v);
            return ToBig(Remainder(r, v.negative));
        }
        BigInt b;
        kw::Store(b, v.w, v.n);
        b.SetSign(v.negative ? 1 : 0);
        return b;
    }

private:
    bool Trivial() const { return m_mont.Size() == 0; }

    u64 m_m[WORDS] = {};
    int m_k = 0;
    kw::Montgomery m_mont;
};

// An affine point; infinity with x != 0 is a failed addition carrying its denominator.
struct Point {
    bool infinity = false;
    Signed x;
    Signed y;
};

Point Infinity() {
    Point p;
    p.infinity = true;
    return p;
}

// The addition formulas on one curve (its coefficient a) modulo N.
class Curve {
public:
    Curve(const CurveModulus& modulus, const BigInt& a) : M(modulus), m_a(FromBig(a)) { M.Residue(m_aResidue, m_a); }

    Point Add(const Point& p1, const Point& p2) const {
        if (p1.infinity && p2.infinity) return Infinity();
        if (p1.infinity) return p2;
        if (p2.infinity) return p1;

        u64 x1[WORDS], x2[WORDS], y1[WORDS], y2[WORDS], t[WORDS];
        M.Residue(x1, p1.x);
        M.Residue(x2, p2.x);
        M.Residue(y1, p1.y);
        M.Residue(y2, p2.y);
        const bool doubling = Equal(p1.x, p2.x);
        if (doubling) {
            M.Add(t, y1, y2);
            if (M.IsZero(t)) return Infinity();
        }

        Point failed = Infinity();
        failed.x = doubling ? Sum(p1.y, p1.y) : Sum(p2.x, p1.x, true);
        u64 inverse[WORDS];
        M.Residue(t, failed.x);
        if (!M.Inverse(inverse, t)) return failed;

        // The numerator's residue and sign: 3 x1^2 + a (negative only for a
        // negative a above 3 x1^2), or y2 - y1.
        u64 numerator[WORDS];
        bool numeratorNegative;
        if (doubling) {
            M.Mul(t, x1, x1);
            M.Add(numerator, t, t);
            M.Add(numerator, numerator, t);
            M.Add(numerator, numerator, m_aResidue);
            numeratorNegative = m_a.IsNegative() && CompareProduct(p1.x, Thrice(p1.x), m_a) < 0;
        } else {
            M.Sub(numerator, y2, y1);
            numeratorNegative = Sum(p2.y, p1.y, true).negative;
        }

        // lambda = (numerator * inverse) rem N, with the numerator's sign.
        u64 lambda[WORDS];
        M.Mul(lambda, numerator, inverse);
        const Signed lambdaValue = M.Remainder(lambda, numeratorNegative);

        // x3 = (lambda^2 - x1 - x2) rem N: negative only when x1 + x2 > lambda^2.
        Point r;
        u64 x3[WORDS];
        M.Mul(x3, lambda, lambda);
        M.Sub(x3, x3, x1);
        M.Sub(x3, x3, x2);
        const Signed xSum = Sum(p1.x, p2.x);
        r.x = M.Remainder(x3, xSum.IsPositive() && CompareProduct(lambdaValue, lambdaValue, xSum) < 0);

        // y3 = (lambda (x1 - x3) - y1) rem N.
        const Signed run = Sum(p1.x, r.x, true);
        u64 y3[WORDS];
        M.Sub(t, x1, x3);
        M.Mul(y3, lambda, t);
        M.Sub(y3, y3, y1);
        r.y = M.Remainder(y3, ProductBelow(lambdaValue, run, p1.y));
        return r;
    }

private:
    static Signed Thrice(const Signed& v) {
        Signed r = v;
        const u64 carry = kw::Mul1(r.w, v.w, v.n, 3);
        if (carry != 0) r.w[r.n++] = carry;
        return r;
    }

    // Whether u v - c < 0.
    static bool ProductBelow(const Signed& u, const Signed& v, const Signed& c) {
        if (u.n == 0 || v.n == 0) return c.IsPositive();
        if (u.negative == v.negative) return c.IsPositive() && CompareProduct(u, v, c) < 0;
        return !c.IsNegative() || CompareProduct(u, v, c) > 0;
    }

    const CurveModulus& M;
    Signed m_a;
    u64 m_aResidue[WORDS];
};

// The BigInt formulas as they stand, for a modulus 0 or invalid operands,
// where nothing is exact to be had (a division by zero, or the invalid
// status passed on).
EllipticPoint LiteralAddPoints(const EllipticPoint& P1, const EllipticPoint& P2, const BigInt& a, const BigInt& N) {
    EllipticPoint r;
    BigInt numerator;
    BigInt denominator;
    if (P1.x == P2.x) {
        if ((P1.y + P2.y) % N == 0) {
            r.infinity = 1;
            return r;
        }
        numerator = ((P1.x * P1.x) * 3 + a) % N;
        denominator = P1.y * 2;
    } else {
        numerator = P2.y - P1.y;
        denominator = P2.x - P1.x;
    }
    BigInt inverse;
    inverse.ModInverse(denominator, N);
    if (inverse == 0) {
        r.infinity = 1;
        r.x = denominator;
        return r;
    }
    const BigInt lambda = (numerator * inverse) % N;
    r.x = (lambda * lambda - P1.x - P2.x) % N;
    r.y = (lambda * (P1.x - r.x) - P1.y) % N;
    return r;
}

bool AnyInvalid(std::initializer_list<const BigInt*> values) {
    return std::any_of(values.begin(), values.end(), [](const BigInt* v) { return v->GetStatus() == 1; });
}

}  // namespace

EllipticPoint PrimeEngine::AddPoints(EllipticPoint P1, EllipticPoint P2, const BigInt& a, const BigInt& N) const {
    if (P1.infinity != 0 && P2.infinity != 0) {
        EllipticPoint r;
        r.infinity = 1;
        return r;
    }
    if (P1.infinity != 0) return P2;
    if (P2.infinity != 0) return P1;
    if (N.CompareMagnitude(BigInt(0)) == 0 || AnyInvalid({&P1.x, &P1.y, &P2.x, &P2.y, &a, &N})) return LiteralAddPoints(P1, P2, a, N);

    const CurveModulus modulus(N);
    Point p1, p2;
    p1.x = FromBig(P1.x);
    p1.y = FromBig(P1.y);
    p2.x = FromBig(P2.x);
    p2.y = FromBig(P2.y);
    const Point s = Curve(modulus, a).Add(p1, p2);
    EllipticPoint r;
    r.infinity = s.infinity ? 1 : 0;
    r.x = modulus.ToBig(s.x);
    r.y = modulus.ToBig(s.y);
    return r;
}

namespace {

// The classic linear congruential generator behind rand(): draws in 0..32767.
class Draws {
public:
    explicit Draws(uint32_t seed) : m_next(seed) {}
    int Next() {
        m_next = m_next * 1103515245u + 12345u;
        return static_cast<int>((m_next / 65536u) % 32768u);
    }

private:
    uint32_t m_next;
};

// The (a, b) pairs of the curves of one call, with an open-addressing index.
class UsedPairs {
public:
    explicit UsedPairs(int capacity) : m_slots(SLOTS, EMPTY) {
        m_a.reserve(static_cast<size_t>(capacity));
        m_b.reserve(static_cast<size_t>(capacity));
    }
    int Count() const { return static_cast<int>(m_a.size()); }
    /// Records (a, b); false when the pair was recorded before.
    bool Insert(const BigInt& a, const BigInt& b) {
        uint32_t slot = Hash(a, b) & (SLOTS - 1);
        for (; m_slots[slot] != EMPTY; slot = (slot + 1) & (SLOTS - 1)) {
            const int k = m_slots[slot];
            if (m_a[k] == a && m_b[k] == b) return false;
        }
        m_slots[slot] = Count();
        m_a.push_back(a);
        m_b.push_back(b);
        return true;
    }

private:
    static constexpr uint32_t SLOTS = 32768;  // a power of two, over three times ECM_MAX_TRIALS
    static constexpr int EMPTY = -1;

    static uint64_t Mix(uint64_t h, const BigInt& v) {
        h = (h ^ static_cast<uint64_t>(v.GetSign() != 0)) * 0x100000001B3ull;
        for (int i = 0; i <= v.GetTop(); ++i) h = (h ^ static_cast<uint64_t>(v.GetLimb(i))) * 0x100000001B3ull;
        return h;
    }
    static uint32_t Hash(const BigInt& a, const BigInt& b) {
        const uint64_t h = Mix(Mix(0xCBF29CE484222325ull, a), b);
        return static_cast<uint32_t>(h ^ (h >> 29));
    }

    std::vector<int> m_slots;
    std::vector<BigInt> m_a;
    std::vector<BigInt> m_b;
};

// floor(sqrt(N)), BigInt::Sqrt's value (status 1 for a negative or invalid
// N), taken on the words: Sqrt's trial squares for N of 1615 bits or more
// exceed the width and report it.
BigInt SquareRoot(const BigInt& N) {
    if (N.GetStatus() == 1 || N.GetSign() != 0) return N.Sqrt();
    const kw::Mag m = kw::Load(N);
    kw::u64 r[kw::WORDS];
    return kw::FromWords(r, kw::ISqrt(r, m.w, m.n));
}

// floor(cbrt(x)) for 0 <= x < 2^1616, BigInt::Root(x, 3)'s value, by
// Newton's iteration from above (2^ceil(bits / 3) > cbrt(x)): every
// intermediate stays below x, where the root's bisection probes cubes
// beyond the width (and reports their overflow) for x of 1600 bits.
BigInt CubeRoot(const BigInt& x) {
    if (x == 0) return x;
    const kw::Mag m = kw::Load(x);
    BigInt r = BigInt(1) << static_cast<uint16_t>((kw::BitLen(m.w, m.n) + 2) / 3);
    for (;;) {
        const BigInt next = (r * 2 + x / (r * r)) / 3;
        if (next >= r) return r;
        r = next;
    }
}

// Consecutive draws that bring no new curve before the call gives up: by then
// the reachable pairs are exhausted for every practical purpose.
constexpr int ECM_MAX_FAILED_DRAWS = 100000;

bool Aborted(const std::atomic<int>& state) { return state.load(std::memory_order_relaxed) == RUN_ABORT; }

}  // namespace

BigInt PrimeEngine::Ecm(BigInt N, int trials, int smoothness, const std::atomic<int>& state) const {
    return EcmSeeded(N, trials, smoothness, state, static_cast<uint32_t>(std::time(nullptr)));
}

BigInt PrimeEngine::EcmSeeded(BigInt N, int trials, int smoothness, const std::atomic<int>& state,
                              uint32_t seed) const {
    const std::string& multiplier = EcmMultiplier(smoothness);
    Draws draws(seed);
    const BigInt s = SquareRoot(N);

    if (trials > ECM_MAX_TRIALS) {
        char text[96];
        std::snprintf(text, sizeof text, "最大繰り返し数は%d回です。", ECM_MAX_TRIALS);
        ShowMessage(text);
        trials = ECM_MAX_TRIALS;
    }

    // Every start point has 2 <= y0 < s, and y0 decides the curve, so at most
    // s - 2 distinct curves exist (none for N < 9 or without a square root).
    int curveLimit = ECM_MAX_TRIALS;
    if (s.GetStatus() == 1) {
        curveLimit = 0;
    } else if (s < ECM_MAX_TRIALS + 2) {
        curveLimit = std::max(0, s.ToInt() - 2);
    }

    UsedPairs used(std::max(0, std::min(trials, curveLimit)));
    const CurveModulus modulus(N);
    for (int curve = 0; curve < trials; ++curve) {
        BigInt a;
        BigInt x0;
        BigInt y0;
        for (int failed = 0;; ++failed) {
            if (Aborted(state)) return BigInt(0);
            if (used.Count() >= curveLimit || failed >= ECM_MAX_FAILED_DRAWS) return BigInt(1);
            const int first = draws.Next();
            const int second = draws.Next();
            const int third = draws.Next();
            y0 = BigInt(first * 65536 + second) % s;
            y0 = y0.PowerMod(third, s);
            const BigInt y2 = y0 * y0;
            x0 = CubeRoot(y2);
            BigInt x3 = x0 * x0 * x0;
            // x0^3 + x0 > y0^2, compared as a difference: a sum of 1600 bits
            // or more would not fit.
            if (y2 - x3 < x0) {
                x0 = x0 - 1;
                x3 = x0 * x0 * x0;
            }
            // y0 = 0 or 1 gives x0 = 0: no curve through such a point.
            if (x0 == 0) continue;
            a = (y2 - x3) / x0;
            const BigInt b = y2 - x3 - a * x0;
            if (used.Insert(a, b)) break;
        }

        const Curve ellipticCurve(modulus, a);
        Point p;
        p.x = FromBig(x0);
        p.y = FromBig(y0);
        Point q = Infinity();
        // Right-to-left binary multiplication over the multiplier's hexadecimal digits.
        for (size_t pos = multiplier.size(); pos-- > 0;) {
            if (Aborted(state)) return BigInt(0);
            int v = multiplier[pos] - '0';
            if (v >= 10) v -= 7;
            for (int bit = 0; bit < 4; ++bit) {
                if ((v >> bit) & 1) {
                    q = ellipticCurve.Add(q, p);
                    if (q.infinity && q.x.n != 0) {
                        const BigInt g = modulus.Gcd(q.x);
                        if (g != 1 && g != N) return g;
                        ShowMessage("ECM内部エラー");
                    }
                }
                p = ellipticCurve.Add(p, p);
                if (p.infinity && p.x.n != 0) {
                    const BigInt g = modulus.Gcd(p.x);
                    if (g != 1 && g != N) {
                        ShowMessage("ECM内部情報(β)");
                        return g;
                    }
                    ShowMessage("ECM内部エラー");
                }
            }
        }
    }
    return BigInt(1);
}
