#include "prime/prime_engine.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "bigint/bigint_words.h"
#include "bigint/message_box.h"
#include "bigint/montgomery.h"
#include "bigint/word_algorithms.h"

PrimeEngine g_primeEngine;

PrimeEngine::PrimeEngine() {
    BuildTables();
    BuildEcmMultipliers();
}

PrimeEngine::~PrimeEngine() = default;

void PrimeEngine::ShowMessage(const char* text) const { ShowMessageBox(text); }

// The list of primes below 2^18 and the index that maps any k < 2^18 to the
// position of the smallest prime not below k (capped at the last position).
void PrimeEngine::BuildTables() {
    std::vector<unsigned char> composite(SIEVE_LIMIT + 1, 0);
    composite[0] = composite[1] = 1;
    for (int p = 2; p * p <= SIEVE_LIMIT; ++p) {
        if (composite[p]) continue;
        for (int m = p * p; m <= SIEVE_LIMIT; m += p) composite[m] = 1;
    }
    int count = 0;
    for (int k = 2; k <= SIEVE_LIMIT && count < PRIME_COUNT; ++k) {
        if (!composite[k]) primes[count++] = k;
    }

    int j = 0;
    for (int k = 0; k < SIEVE_LIMIT; ++k) {
        if (primes[j] == LAST_PRIME) {
            for (int r = k; r < SIEVE_LIMIT; ++r) primeIndex[r] = PRIME_COUNT - 1;
            break;
        }
        if (primes[j] < k) ++j;
        primeIndex[k] = j;
    }
}

// lcm(1..B) for B = 10^2 .. 10^5 as hexadecimal text. The product of the
// largest prime powers not above B is accumulated in 64-bit chunks and
// multiplied into a little-endian array of 64-bit words.
void PrimeEngine::BuildEcmMultipliers() {
    static const int bounds[4] = {100, 1000, 10000, 100000};
    for (int which = 0; which < 4; ++which) {
        const uint64_t bound = static_cast<uint64_t>(bounds[which]);
        std::vector<uint64_t> words{1};
        auto multiply = [&words](uint64_t factor) {
            unsigned __int128 carry = 0;
            for (uint64_t& w : words) {
                const unsigned __int128 t = static_cast<unsigned __int128>(w) * factor + carry;
                w = static_cast<uint64_t>(t);
                carry = t >> 64;
            }
            if (carry != 0) words.push_back(static_cast<uint64_t>(carry));
        };
        uint64_t chunk = 1;
        for (int i = 0; i < PRIME_COUNT && static_cast<uint64_t>(primes[i]) <= bound; ++i) {
            const uint64_t p = static_cast<uint64_t>(primes[i]);
            uint64_t q = p;
            while (q * p <= bound) q *= p;
            if (chunk > UINT64_MAX / q) {
                multiply(chunk);
                chunk = 1;
            }
            chunk *= q;
        }
        multiply(chunk);

        static const char hex[] = "0123456789ABCDEF";
        std::string text;
        text.reserve(words.size() * 16);
        for (size_t w = words.size(); w-- > 0;) {
            for (int shift = 60; shift >= 0; shift -= 4) text.push_back(hex[(words[w] >> shift) & 15]);
        }
        m_ecmMultiplier[which] = text.substr(text.find_first_not_of('0'));
    }
}

const std::string& PrimeEngine::EcmMultiplier(int smoothness) const {
    if (smoothness <= 100) return m_ecmMultiplier[0];
    if (smoothness <= 1000) return m_ecmMultiplier[1];
    if (smoothness <= 10000) return m_ecmMultiplier[2];
    return m_ecmMultiplier[3];
}

// Miller-Rabin on the bases 2, 3, 5, ... in the Montgomery kernel of the
// target's words, exact at every width. Condition B needs p^(2^k d) for
// every k < s; each is the square of the previous one, and once one of them
// is n - 1 condition B holds whatever the others are.
int PrimeEngine::IsPseudoPrime(BigInt n, int trials, const std::atomic<int>& state) const {
    // Zero, negative values (n - 1 negative: every power fails, or the base 2
    // divides), invalid values and 1 (whose n - 1 has no odd part) are not candidates.
    if (n.GetStatus() == 1 || n.GetSign() != 0 || (n.GetTop() == 0 && n.GetLimb(0) <= 1)) return 0;
    const kw::Mag nw = kw::Load(n);

    // Built at the first power: n is odd and at least 3 by then.
    kw::Montgomery mont;
    kw::u64 d[kw::WORDS], minusOne[kw::WORDS];
    int dBits = 0;
    int s = 0;
    auto prepare = [&] {
        mont = kw::Montgomery(nw.w, nw.n);
        kw::u64 nm1[kw::WORDS];
        kw::Copy(nm1, nw.w, nw.n);
        nm1[0] -= 1;  // n is odd: no borrow
        mont.To(minusOne, nm1, nw.n);
        while (((nm1[s / 64] >> (s % 64)) & 1) == 0) ++s;
        const int dn = kw::ShiftRightBits(d, nm1, kw::Norm(nm1, nw.n), s);
        dBits = kw::BitLen(d, dn);
    };
    auto equal = [&](const kw::u64* a, const kw::u64* b) { return std::memcmp(a, b, sizeof(kw::u64) * nw.n) == 0; };

    // There are PRIME_COUNT bases; a larger count cannot try more of them.
    if (trials > PRIME_COUNT) trials = PRIME_COUNT;
    for (int j = 0; j < trials; ++j) {
        if (state.load(std::memory_order_relaxed) == RUN_ABORT) return 0;
        const int p = primes[j];
        if (n == p) return 1;
        if (kw::Mod1(nw.w, nw.n, static_cast<kw::u64>(p)) == 0) return 0;  // gcd(n, p) != 1 for a prime p
        if (dBits == 0) prepare();

        const kw::u64 base = static_cast<kw::u64>(p);
        kw::u64 y[kw::WORDS];
        mont.To(y, &base, 1);
        mont.Pow(y, y, d, dBits);
        bool pass = equal(y, mont.One());  // condition A
        for (int k = 0; k < s && !pass; ++k) {
            if (k > 0) mont.Sqr(y, y);
            pass = equal(y, minusOne);  // condition B
        }
        if (!pass) return 0;
    }
    return 1;
}

int PrimeEngine::IsPseudoPrime(BigInt n, int trials) const {
    static const std::atomic<int> never{RUN_ACTIVE};
    return IsPseudoPrime(n, trials, never);
}

int PrimeEngine::TrialDivide32Unchecked(uint32_t x, int from, int to, const std::atomic<int>* state) const {
    if (x == 0 || x == 1) return -1;
    const uint32_t r = static_cast<uint32_t>(std::sqrt(static_cast<double>(x)));
    const int last = primeIndex[to];
    for (int i = primeIndex[from]; i <= last; ++i) {
        const uint32_t p = static_cast<uint32_t>(primes[i]);
        if (state != nullptr && state->load(std::memory_order_relaxed) == RUN_ABORT) return 0;
        if (x % p == 0) return x == p ? 1 : static_cast<int>(p);
        if (p > r) return 1;
    }
    return 0;
}

int PrimeEngine::TrialDivide32(uint32_t x, int from, int to, const std::atomic<int>& state) const {
    return TrialDivide32Unchecked(x, from, to, &state);
}

int PrimeEngine::IsPrime32(uint32_t x) const { return TrialDivide32Unchecked(x, 2, LAST_PRIME, nullptr); }

int PrimeEngine::TrialDivide(BigInt n, int from, int to, const std::atomic<int>& state) const {
    if (n < 0) n.SetSign(0);
    BigInt two32;
    two32.FromString("4294967296", 10);
    // Narrow numbers take the machine-word search, which is short and not interrupted.
    if (n < two32) return TrialDivide32Unchecked(n.Low32(), from, to, nullptr);

    const BigInt r = n.Sqrt();
    const int last = primeIndex[to];
    for (int i = primeIndex[from]; i <= last; ++i) {
        const int p = primes[i];
        if (state.load(std::memory_order_relaxed) == RUN_ABORT) return 0;
        if (n % p == 0) return p;
        if (r < p) return 1;
    }
    return 0;
}

BigInt PrimeEngine::miniFactor(BigInt n, int bound, FactorEntry* list, const std::atomic<int>& state) const {
    if (n <= 0) {
        ShowMessage("素因数分解の引数が自然数ではありませんでした(miniFactor)");
        return BigInt(0);
    }
    if (n == 1) {
        ShowMessage("素因数分解の引数が1でした(miniFactor)");
        list[0].prime = 0;
        return BigInt(1);
    }

    BigInt c = n;
    int count = 0;
    int p = 2;
    BigInt wide;
    wide.FromString("2147483648", 10);

    // Records p; false when the list is full and the division must be undone.
    auto record = [&](int prime) {
        if (count > 0 && list[count - 1].prime == prime) {
            ++list[count - 1].exponent;
            return true;
        }
        if (count == FACTOR_LIST_SIZE - 1) return false;
        list[count].prime = prime;
        list[count].exponent = 1;
        ++count;
        return true;
    };
    auto finish = [&](const BigInt& cofactor) {
        list[count].prime = 0;
        return cofactor;
    };

    // Wide phase: BigInt divisions while the cofactor is 2^31 or more.
    while (c >= wide) {
        if (state.load(std::memory_order_relaxed) == RUN_ABORT) return BigInt(0);
        if (c % p == 0) {
            c = c / p;
            if (!record(p)) return finish(c * p);
            if (c == 1) return finish(c);
        } else {
            p = primes[primeIndex[p] + 1];
            if (p >= bound) return finish(c);
        }
    }

    // Narrow phase: machine words.
    uint32_t v = c.Low32();
    for (;;) {
        if (state.load(std::memory_order_relaxed) == RUN_ABORT) return BigInt(0);
        const uint32_t up = static_cast<uint32_t>(p);
        if (v % up == 0) {
            v /= up;
            if (!record(p)) return finish(FromUint32(v * up));
            if (v == 1) return finish(BigInt(1));
        } else {
            p = primes[primeIndex[p] + 1];
            if (p >= bound) return finish(FromUint32(v));
        }
    }
}
