// x-only arithmetic on Montgomery curves: doubling, differential addition,
// the ladder, Lucas chains (PRAC) and Suyama's family of curves.

#include "prime/ecm_curve.h"

#include <cmath>
#include <utility>

#include "bigint/word_algorithms.h"

using kw::u64;
using kw::WORDS;

namespace {

// Costs of the two operations in multiplications, for choosing chains:
// a sum is 4M + 2S, a doubling 3M + 2S.
constexpr int ADD_COST = 6;
constexpr int DOUBLE_COST = 5;

// The chain rules. Each keeps three points A, B, C = A - B and two
// integers d >= e with the target d A + e B; the chain ends at d = e = 1
// with A + B.
enum ChainRule : uint8_t {
    RULE_THIRDS = 1,       // d, e = (2d - e) / 3, (2e - d) / 3; A, B = 2A + B, A + 2B
    RULE_HALF_DIFF = 2,    // d = (d - e) / 2; B = A + B, A = 2A
    RULE_DIFF = 3,         // d = d - e; B = A + B, C = old B
    RULE_HALF = 4,         // d = d / 2; C = C + A, A = 2A
    RULE_THIRD_MINUS = 5,  // d = d / 3 - e; A = 3A, B = 3A + B, C = old B
    RULE_THIRD_2E = 6,     // d = (d - 2e) / 3; A = 3A, B = 2A + B
    RULE_THIRD_E = 7,      // d = (d - e) / 3; A = 3A, B = A + B, C = C + A
    RULE_HALF_E = 8,       // e = e / 2; B = 2B, C = C - B
};

constexpr int RULE_COST[9] = {
    0,
    3 * ADD_COST,
    ADD_COST + DOUBLE_COST,
    ADD_COST,
    ADD_COST + DOUBLE_COST,
    3 * ADD_COST + DOUBLE_COST,
    3 * ADD_COST + DOUBLE_COST,
    3 * ADD_COST + DOUBLE_COST,
    ADD_COST + DOUBLE_COST,
};

// Montgomery's rules in his order of preference, for d >= e.
uint8_t ChooseRule(u64 d, u64 e) {
    if (4 * d <= 5 * e && (d + e) % 3 == 0) return RULE_THIRDS;
    if (4 * d <= 5 * e && (d - e) % 6 == 0) return RULE_HALF_DIFF;
    if (d <= 4 * e) return RULE_DIFF;
    if ((d - e) % 2 == 0) return RULE_HALF_DIFF;
    if (d % 2 == 0) return RULE_HALF;
    if (d % 3 == 0) return RULE_THIRD_MINUS;
    if ((d + e) % 3 == 0) return RULE_THIRD_2E;
    if ((d - e) % 3 == 0) return RULE_THIRD_E;
    return RULE_HALF_E;
}

void ApplyRule(uint8_t rule, u64& d, u64& e) {
    switch (rule) {
        case RULE_THIRDS: {
            const u64 nd = (2 * d - e) / 3;
            e = (2 * e - d) / 3;
            d = nd;
            break;
        }
        case RULE_HALF_DIFF:
            d = (d - e) / 2;
            break;
        case RULE_DIFF:
            d -= e;
            break;
        case RULE_HALF:
            d /= 2;
            break;
        case RULE_THIRD_MINUS:
            d = d / 3 - e;
            break;
        case RULE_THIRD_2E:
            d = (d - 2 * e) / 3;
            break;
        case RULE_THIRD_E:
            d = (d - e) / 3;
            break;
        default:
            e /= 2;
            break;
    }
}

// The chain for k from the first split r (k / 2 < r < k): its cost, or -1
// when it does not end in d = e = 1 (r and k not coprime). Appends its codes
// when `out` is given.
int Chain(u64 k, u64 r, std::vector<uint8_t>* out) {
    if (2 * r <= k || r >= k) return -1;
    u64 d = k - r, e = 2 * r - k;
    int cost = DOUBLE_COST + ADD_COST;
    while (d != e) {
        uint8_t code = 0;
        if (d < e) {
            std::swap(d, e);
            code = ECM_CHAIN_SWAP;
        }
        const uint8_t rule = ChooseRule(d, e);
        ApplyRule(rule, d, e);
        if (d == 0 || e == 0) return -1;
        cost += RULE_COST[rule];
        if (out) out->push_back(static_cast<uint8_t>(code | rule));
    }
    if (d != 1) return -1;
    if (out) out->push_back(ECM_CHAIN_END);
    return cost;
}

// First splits r = k v for v near 1 / golden ratio: the golden ratio's own
// continued fraction [0; 1, 1, 1, ...] and the ones with a single 2 after
// 1 .. 9 ones. Chains from such splits are mostly cheap rules.
struct Multipliers {
    double v[10];
    Multipliers() {
        const double tail = (std::sqrt(5.0) - 1) / 2;
        v[0] = tail;
        for (int ones = 1; ones < 10; ++ones) {
            double x = 1 / (2 + tail);
            for (int i = 0; i < ones; ++i) x = 1 / (1 + x);
            v[ones] = x;
        }
    }
};

void Copy(const kw::Montgomery& f, u64* r, const u64* a) { kw::Copy(r, a, f.Size()); }

}  // namespace

int EcmAppendChain(uint64_t k, int multipliers, std::vector<uint8_t>& out) {
    static const Multipliers table;
    if (multipliers < 1) multipliers = 1;
    if (multipliers > 10) multipliers = 10;
    int best = -1;
    u64 bestR = 0;
    for (int i = 0; i < multipliers; ++i) {
        const u64 r = static_cast<u64>(std::llround(static_cast<double>(k) * table.v[i]));
        const int cost = Chain(k, r, nullptr);
        if (cost >= 0 && (best < 0 || cost < best)) {
            best = cost;
            bestR = r;
        }
    }
    if (best < 0) {
        // No try worked (k is then not prime); any coprime split still does.
        for (bestR = k / 2 + 1; Chain(k, bestR, nullptr) < 0; ++bestR) {
        }
    }
    return Chain(k, bestR, &out);
}

EcmCurve::EcmCurve(const kw::Montgomery& field, const u64* a24) : m_field(field) {
    Copy(field, m_a24, a24);
}

void EcmCurve::Double(EcmPoint& r, const EcmPoint& p) const {
    const kw::Montgomery& f = m_field;
    u64 s[WORDS], d[WORDS], t[WORDS];
    f.Add(s, p.x, p.z);
    f.Sub(d, p.x, p.z);
    f.Sqr(s, s);     // (X + Z)^2
    f.Sqr(d, d);     // (X - Z)^2
    f.Sub(t, s, d);  // 4 X Z
    f.Mul(r.x, s, d);
    f.Mul(s, t, m_a24);
    f.Add(s, s, d);
    f.Mul(r.z, t, s);
}

void EcmCurve::Add(EcmPoint& r, const EcmPoint& p, const EcmPoint& q, const EcmPoint& diff) const {
    const kw::Montgomery& f = m_field;
    u64 a[WORDS], b[WORDS], c[WORDS], e[WORDS];
    f.Sub(a, p.x, p.z);
    f.Add(b, q.x, q.z);
    f.Mul(a, a, b);  // (Xp - Zp)(Xq + Zq)
    f.Add(c, p.x, p.z);
    f.Sub(e, q.x, q.z);
    f.Mul(c, c, e);  // (Xp + Zp)(Xq - Zq)
    f.Add(b, a, c);
    f.Sub(e, a, c);
    f.Sqr(b, b);
    f.Sqr(e, e);
    // Both coordinates of diff are read before r is written: r may be diff.
    f.Mul(a, diff.z, b);
    f.Mul(r.z, diff.x, e);
    Copy(f, r.x, a);
}

void EcmCurve::Multiply(EcmPoint& r, const EcmPoint& p, const u64* k, int kn,
                        EcmPoint* next) const {
    const kw::Montgomery& f = m_field;
    kn = kw::Norm(k, kn);
    EcmPoint base = p;
    if (kn == 0) {
        Copy(f, r.x, f.One());
        kw::Zero(r.z, f.Size());
        if (next) *next = base;
        return;
    }
    EcmPoint r0 = base, r1;
    Double(r1, base);
    for (int bit = kw::BitLen(k, kn) - 2; bit >= 0; --bit) {
        if ((k[bit / 64] >> (bit % 64)) & 1) {
            Add(r0, r0, r1, base);
            Double(r1, r1);
        } else {
            Add(r1, r0, r1, base);
            Double(r0, r0);
        }
    }
    r = r0;
    if (next) *next = r1;
}

const uint8_t* EcmCurve::RunChain(EcmPoint& p, const uint8_t* chain) const {
    EcmPoint store[4];
    EcmPoint* a = &p;
    EcmPoint* b = &store[0];
    EcmPoint* c = &store[1];
    EcmPoint* t = &store[2];
    EcmPoint* u = &store[3];
    *b = p;
    *c = p;
    Double(*a, *a);
    for (; *chain != ECM_CHAIN_END; ++chain) {
        if (*chain & ECM_CHAIN_SWAP) std::swap(a, b);
        switch (*chain & (ECM_CHAIN_SWAP - 1)) {
            case RULE_THIRDS:
                Add(*t, *a, *b, *c);  // A + B
                Add(*u, *t, *a, *b);  // 2A + B
                Add(*b, *b, *t, *a);  // A + 2B
                std::swap(a, u);
                break;
            case RULE_HALF_DIFF:
                Add(*b, *a, *b, *c);
                Double(*a, *a);
                break;
            case RULE_DIFF: {
                Add(*t, *b, *a, *c);  // A + B; the new difference is -B
                EcmPoint* oldC = c;
                c = b;
                b = t;
                t = oldC;
                break;
            }
            case RULE_HALF:
                Add(*c, *c, *a, *b);  // 2A - B
                Double(*a, *a);
                break;
            case RULE_THIRD_MINUS: {
                Double(*t, *a);       // 2A
                Add(*u, *a, *b, *c);  // A + B
                Add(*a, *t, *a, *a);  // 3A
                Add(*t, *t, *u, *c);  // 3A + B; the new difference is -B
                EcmPoint* oldC = c;
                c = b;
                b = t;
                t = oldC;
                break;
            }
            case RULE_THIRD_2E:
                Add(*t, *a, *b, *c);  // A + B
                Add(*b, *t, *a, *b);  // 2A + B
                Double(*t, *a);
                Add(*a, *a, *t, *a);  // 3A
                break;
            case RULE_THIRD_E:
                Add(*t, *a, *b, *c);  // A + B
                Add(*c, *c, *a, *b);  // 2A - B
                std::swap(b, t);
                Double(*t, *a);
                Add(*a, *a, *t, *a);  // 3A
                break;
            default:                  // RULE_HALF_E
                Add(*c, *c, *b, *a);  // A - 2B
                Double(*b, *b);
                break;
        }
    }
    Add(*a, *a, *b, *c);
    if (a != &p) p = *a;
    return chain + 1;
}

namespace {

// The residue of the small number v.
void Small(const kw::Montgomery& f, u64* r, u64 v) { f.To(r, &v, 1); }

}  // namespace

EcmSuyamaCurve EcmCurveFromSigma(const kw::Montgomery& f, uint64_t sigma) {
    EcmSuyamaCurve c;
    u64 s[WORDS], u[WORDS], v[WORDS], t[WORDS], w[WORDS], num[WORDS], den[WORDS];
    Small(f, s, sigma);
    Small(f, t, 5);
    f.Sqr(u, s);
    f.Sub(u, u, t);  // u = sigma^2 - 5
    f.Add(v, s, s);
    f.Add(v, v, v);  // v = 4 sigma
    f.Sqr(t, u);
    f.Mul(c.start.x, t, u);  // u^3
    f.Sqr(t, v);
    f.Mul(c.start.z, t, v);  // v^3
    f.Sub(t, v, u);
    f.Sqr(w, t);
    f.Mul(num, w, t);  // (v - u)^3
    f.Add(t, u, u);
    f.Add(t, t, u);
    f.Add(t, t, v);  // 3u + v
    f.Mul(num, num, t);
    f.Mul(den, c.start.x, v);                          // u^3 v
    for (int i = 0; i < 4; ++i) f.Add(den, den, den);  // 16 u^3 v
    if (!EcmInvert(f, den, den, c.gcd, &c.gcdWords)) return c;
    f.Mul(c.a24, num, den);
    c.ok = true;
    return c;
}

bool EcmInvert(const kw::Montgomery& f, u64* r, const u64* a, u64* g, int* gn) {
    const int n = f.Size();
    u64 plain[WORDS];
    f.From(plain, a);
    const int an = kw::Norm(plain, n);
    if (an == 0) {
        Copy(f, g, f.Modulus());
        *gn = n;
        return false;
    }
    u64 gcd[WORDS + 1], cof[WORDS + 2];
    int cofn = 0;
    bool odd = false;
    const int len = kw::GcdExt(gcd, cof, &cofn, &odd, f.Modulus(), n, plain, an);
    if (!(len == 1 && gcd[0] == 1)) {
        kw::Copy(g, gcd, len);
        *gn = len;
        return false;
    }
    // The cofactor is the inverse up to its sign.
    kw::Zero(cof + cofn, n - cofn);
    if (odd && cofn > 0) kw::SubN(cof, f.Modulus(), cof, n);
    f.To(r, cof, n);
    return true;
}

int EcmGcd(const kw::Montgomery& f, const u64* a, u64* g) {
    const int n = f.Size();
    const int an = kw::Norm(a, n);
    if (an == 0) {
        Copy(f, g, f.Modulus());
        return n;
    }
    return kw::Gcd(g, f.Modulus(), n, a, an);
}
