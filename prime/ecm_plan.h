#pragma once
// What every curve of one elliptic-curve run at bounds (B1, B2) shares: the
// Lucas chains of stage 1 and the prime pairing of stage 2. Built once per
// run, read by all threads.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

/// The primes in [lo, hi] in increasing order, by a segmented sieve of the
/// odd numbers (hi < 2^40).
class EcmPrimeSieve {
  public:
    EcmPrimeSieve(uint64_t lo, uint64_t hi);
    /// The next prime, 0 after the last one.
    uint64_t Next();

  private:
    void Fill();

    uint64_t m_hi;
    uint64_t m_base;  ///< the odd number of bit 0 of the segment
    bool m_two;
    size_t m_word = 0;       ///< the word after the one in m_pending
    uint64_t m_pending = 0;  ///< the primes of the current word not yet returned
    std::vector<uint64_t> m_composite;
    std::vector<uint32_t> m_small;  ///< odd primes up to the square root of hi
    std::vector<uint64_t> m_next;   ///< the next odd multiple of each to strike out
};

/// The shared tables of one (B1, B2).
class EcmPlan {
  public:
    /// Primes up to this bound get the best of ten Lucas chains, made once
    /// per plan; larger ones (B1 above it) get a chain made on the fly.
    static constexpr uint64_t STORED_CHAIN_LIMIT = 1u << 22;

    /// Builds the plan (b1 >= 10, b1 <= b2 < 2^40); null when the state
    /// turns to RUN_ABORT meanwhile.
    static std::shared_ptr<const EcmPlan> Make(uint64_t b1, uint64_t b2,
                                               const std::atomic<int>& state);

    uint64_t b1 = 0;
    uint64_t b2 = 0;

    // Stage 1: k P for k the product of every prime power <= B1.
    int twos = 0;                 ///< the exponent of 2
    std::vector<uint8_t> chains;  ///< one chain per odd prime power, in increasing prime order
    int storedChains = 0;         ///< the number of chains in `chains`
    uint64_t storedTo = 0;        ///< the largest prime with stored chains

    // Stage 2: every prime q in (B1, B2] is j D + i or j D - i with i a baby
    // step (odd, below D / 2, prime to D); x(jD Q) - x(i Q) is a multiple of
    // p exactly when q Q or the other of the pair is the neutral element
    // modulo p. Row j - jFirst of `pairs` marks the baby steps of j.
    uint64_t d = 0;
    std::vector<uint32_t> babies;  ///< the baby steps i in increasing order
    uint64_t jFirst = 0;
    uint64_t rows = 0;  ///< 0: no stage 2
    int rowWords = 0;
    std::vector<uint64_t> pairs;
    uint64_t products = 0;  ///< set bits in `pairs`

    bool Marked(uint64_t row, int baby) const {
        return (pairs[row * static_cast<uint64_t>(rowWords) + static_cast<unsigned>(baby) / 64] >>
                (baby % 64)) &
               1;
    }
};
