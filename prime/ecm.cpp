// Elliptic curve arithmetic in affine coordinates and the elliptic curve method.

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "prime/prime_engine.h"

EllipticPoint PrimeEngine::AddPoints(EllipticPoint P1, EllipticPoint P2, const BigInt& a, const BigInt& N) const {
    EllipticPoint r;
    if (P1.infinity != 0 && P2.infinity != 0) {
        r.infinity = 1;
        return r;
    }
    if (P1.infinity != 0) return P2;
    if (P2.infinity != 0) return P1;

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
        // No inverse: a failed point that carries the denominator.
        r.infinity = 1;
        r.x = denominator;
        return r;
    }
    const BigInt lambda = (numerator * inverse) % N;
    r.x = (lambda * lambda - P1.x - P2.x) % N;
    r.y = (lambda * (P1.x - r.x) - P1.y) % N;
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
    const BigInt s = N.Sqrt();

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
            x0 = y2.Root(3);
            BigInt x3 = x0 * x0 * x0;
            if (x3 + x0 > y2) {
                x0 = x0 - 1;
                x3 = x0 * x0 * x0;
            }
            // y0 = 0 or 1 gives x0 = 0: no curve through such a point.
            if (x0 == 0) continue;
            a = (y2 - x3) / x0;
            const BigInt b = y2 - x3 - a * x0;
            if (used.Insert(a, b)) break;
        }

        EllipticPoint p;
        p.x = x0;
        p.y = y0;
        EllipticPoint q;
        q.infinity = 1;
        // Right-to-left binary multiplication over the multiplier's hexadecimal digits.
        for (size_t pos = multiplier.size(); pos-- > 0;) {
            if (Aborted(state)) return BigInt(0);
            int v = multiplier[pos] - '0';
            if (v >= 10) v -= 7;
            for (int bit = 0; bit < 4; ++bit) {
                if ((v >> bit) & 1) {
                    q = AddPoints(q, p, a, N);
                    if (q.infinity == 1 && q.x != 0) {
                        const BigInt g = q.x.Gcd(N);
                        if (g != 1 && g != N) return g;
                        ShowMessage("ECM内部エラー");
                    }
                }
                p = AddPoints(p, p, a, N);
                if (p.infinity == 1 && p.x != 0) {
                    const BigInt g = p.x.Gcd(N);
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
