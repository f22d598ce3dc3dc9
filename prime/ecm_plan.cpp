// The shared tables of an elliptic-curve run: primes by a segmented sieve,
// the stage-1 Lucas chains, and the baby-step/giant-step pairing of stage 2.

#include "prime/ecm_plan.h"

#include <algorithm>
#include <bit>
#include <numeric>

#include "prime/ecm_curve.h"
#include "prime/run_state.h"

namespace {

/// Odd numbers per sieve segment (32 KiB of bits: one level-1 cache).
constexpr uint64_t SEGMENT = 1 << 18;

bool Aborted(const std::atomic<int>& state) {
    return state.load(std::memory_order_relaxed) == RUN_ABORT;
}

// Giant-step distances to choose from: even, made of small primes. The
// best one balances the baby steps (phi(D) / 2) against the giant steps
// ((B2 - B1) / D).
constexpr uint64_t DISTANCES[] = {6,     30,     60,     210,    420,    630,   1050,  1260,
                                  2310,  4620,   6930,   9240,   11550,  13860, 30030, 60060,
                                  90090, 120120, 150150, 180180, 210210, 510510};

uint64_t Totient(uint64_t n) {
    uint64_t phi = n;
    for (uint64_t p = 2; p * p <= n; ++p) {
        if (n % p != 0) continue;
        while (n % p == 0) n /= p;
        phi -= phi / p;
    }
    if (n > 1) phi -= phi / n;
    return phi;
}

uint64_t ChooseDistance(uint64_t b1, uint64_t b2) {
    uint64_t best = 0, bestCost = 0;
    for (uint64_t d : DISTANCES) {
        if (d / 2 > b1) break;  // the primes above B1 must all be prime to D and at least D / 2
        const uint64_t cost = Totient(d) / 2 + (b2 - b1) / d;
        if (best == 0 || cost < bestCost) {
            best = d;
            bestCost = cost;
        }
    }
    return best;
}

}  // namespace

EcmPrimeSieve::EcmPrimeSieve(uint64_t lo, uint64_t hi) : m_hi(hi), m_two(lo <= 2 && hi >= 2) {
    uint64_t root = 1;
    while ((root + 1) * (root + 1) <= hi) ++root;
    std::vector<uint8_t> flags(root + 1, 0);
    m_base = std::max<uint64_t>(lo, 3) | 1;
    for (uint64_t p = 3; p <= root; p += 2) {
        if (flags[p]) continue;
        for (uint64_t q = p * p; q <= root; q += 2 * p) flags[q] = 1;
        m_small.push_back(static_cast<uint32_t>(p));
        uint64_t first = std::max(p * p, (m_base + p - 1) / p * p);
        if (first % 2 == 0) first += p;
        m_next.push_back(first);
    }
    m_composite.resize(SEGMENT / 64);
    Fill();
}

void EcmPrimeSieve::Fill() {
    std::fill(m_composite.begin(), m_composite.end(), 0);
    const uint64_t end = m_base + 2 * SEGMENT;  // the first odd number past the segment
    for (size_t k = 0; k < m_small.size(); ++k) {
        const uint64_t step = 2 * static_cast<uint64_t>(m_small[k]);
        uint64_t q = m_next[k];
        for (; q < end; q += step) {
            const uint64_t bit = (q - m_base) / 2;
            m_composite[bit / 64] |= uint64_t{1} << (bit % 64);
        }
        m_next[k] = q;
    }
    m_word = 0;
    m_pending = 0;
}

uint64_t EcmPrimeSieve::Next() {
    if (m_two) {
        m_two = false;
        return 2;
    }
    while (m_pending == 0) {
        if (m_word == m_composite.size()) {
            m_base += 2 * SEGMENT;
            if (m_base > m_hi) return 0;
            Fill();
        }
        m_pending = ~m_composite[m_word++];
    }
    const uint64_t bit = (m_word - 1) * 64 + static_cast<uint64_t>(std::countr_zero(m_pending));
    m_pending &= m_pending - 1;
    const uint64_t v = m_base + 2 * bit;
    if (v > m_hi) {
        // Past the end: stay there.
        m_pending = 0;
        m_word = m_composite.size();
        m_base = m_hi + 1;
        return 0;
    }
    return v;
}

std::shared_ptr<const EcmPlan> EcmPlan::Make(uint64_t b1, uint64_t b2,
                                             const std::atomic<int>& state) {
    auto plan = std::make_shared<EcmPlan>();
    plan->b1 = b1;
    plan->b2 = b2;
    for (uint64_t p = 2; p <= b1; p *= 2) ++plan->twos;

    // Stage 1: the chain of p once per power of p up to B1.
    plan->storedTo = std::min(b1, STORED_CHAIN_LIMIT);
    EcmPrimeSieve stage1(3, plan->storedTo);
    std::vector<uint8_t> chain;
    for (uint64_t p; (p = stage1.Next()) != 0;) {
        if (plan->storedChains % 4096 == 0 && Aborted(state)) return nullptr;
        chain.clear();
        EcmAppendChain(p, 10, chain);
        for (uint64_t power = p; power <= b1; power *= p) {
            plan->chains.insert(plan->chains.end(), chain.begin(), chain.end());
            ++plan->storedChains;
            if (power > b1 / p) break;
        }
    }

    if (b2 <= b1) return plan;

    // Stage 2: mark (j, i) for every prime q = j D +- i in (B1, B2].
    plan->d = ChooseDistance(b1, b2);
    const uint64_t d = plan->d;
    std::vector<int32_t> babyIndex(d / 2, -1);
    for (uint64_t i = 1; i < d / 2; i += 2) {
        if (std::gcd(i, d) != 1) continue;
        babyIndex[i] = static_cast<int32_t>(plan->babies.size());
        plan->babies.push_back(static_cast<uint32_t>(i));
    }
    plan->rowWords = static_cast<int>((plan->babies.size() + 63) / 64);
    EcmPrimeSieve stage2(b1 + 1, b2);
    uint64_t q = stage2.Next();
    if (q == 0) return plan;
    plan->jFirst = (q + d / 2) / d;
    const uint64_t jLast = (b2 + d / 2) / d;
    plan->rows = jLast - plan->jFirst + 1;
    const uint64_t words = static_cast<uint64_t>(plan->rowWords);
    // Rows are added as the primes reach them: a large table is reserved,
    // not cleared, up front, and the build stays abortable.
    plan->pairs.reserve(plan->rows * words);
    uint64_t j = plan->jFirst;
    uint64_t rowEnd = j * d + d / 2;  // the first number of the next row
    for (uint64_t count = 0; q != 0; q = stage2.Next(), ++count) {
        if (count % 8192 == 0 && Aborted(state)) return nullptr;
        while (q > rowEnd) {
            ++j;
            rowEnd += d;
        }
        if (plan->pairs.size() < (j - plan->jFirst + 1) * words)
            plan->pairs.resize((j - plan->jFirst + 1) * words);
        const uint64_t i = q > j * d ? q - j * d : j * d - q;
        const int32_t baby = babyIndex[i];
        plan->pairs[(j - plan->jFirst) * words + static_cast<uint64_t>(baby) / 64] |=
            uint64_t{1} << (baby % 64);
    }
    plan->pairs.resize(plan->rows * words);
    for (uint64_t w : plan->pairs) plan->products += static_cast<uint64_t>(std::popcount(w));
    return plan;
}
