#pragma once
// The quadratic sieve's relations: the store the sieving threads fill
// (duplicates dropped, cycles among the large primes counted as they come),
// and the matrix built from it once there are enough.

#include <atomic>
#include <mutex>
#include <vector>

#include "prime/gf2_matrix.h"
#include "prime/siqs_internal.h"

namespace siqs {

/// A map from 32-bit keys (non-zero) to 32-bit values by open addressing.
class U32Map {
public:
    /// The value of `key`, inserting `fresh` when it is absent.
    u32 FindOrInsert(u32 key, u32 fresh);
    /// The value of `key`, or ~0 when absent.
    u32 Find(u32 key) const;
    size_t Size() const { return used_; }
    size_t Bytes() const { return keys_.size() * 8; }

private:
    void Grow();
    std::vector<u32> keys_;
    std::vector<u32> values_;
    size_t used_ = 0;
};

/// Relations from all sieving threads. Thread-safe: Add locks.
class RelationStore {
public:
    explicit RelationStore(long long needed) : needed_(needed) {}

    /// Adds the packed relations of `batch` (see PackRelation). Returns
    /// whether fulls plus cycles now reach the number needed.
    bool Add(const std::vector<u32>& batch);

    /// Full relations plus independent cycles among the partial ones.
    long long Found() const { return fulls_.load() + cycles_.load(); }
    long long Needed() const { return needed_.load(); }
    void SetNeeded(long long n) { needed_.store(n); }
    long long Fulls() const { return fulls_.load(); }
    long long Partials() const { return partials_.load(); }
    long long DoublePartials() const { return doublePartials_.load(); }
    long long Cycles() const { return cycles_.load(); }
    long long Duplicates() const { return duplicates_.load(); }

    /// The relations (after sieving: no lock taken).
    size_t Count() const { return offsets_.size(); }
    const u32* Relation(size_t i) const { return pool_.data() + offsets_[i]; }
    /// Bytes held, for the memory figures.
    size_t Bytes() const;

private:
    u32 Vertex(u32 largePrime);
    u32 Root(u32 v);
    bool Duplicate(const u32* rel);

    std::mutex mutex_;
    std::vector<u32> pool_;
    std::vector<u64> offsets_;
    std::vector<u64> seen_;  // hashes of |Y| by open addressing (0 = empty)
    size_t seenUsed_ = 0;
    U32Map vertexOf_;        // large prime -> vertex (vertex 0 stands for 1)
    std::vector<u32> parent_;
    std::atomic<long long> needed_;
    std::atomic<long long> fulls_{0}, partials_{0}, doublePartials_{0}, cycles_{0}, duplicates_{0};
};

/// The matrix of a relation set: column j combines the relations
/// colRels[colStart[j] .. colStart[j + 1]) (one full relation or one cycle
/// of partial ones); its rows are the factor-base indices of odd exponent.
struct RelationMatrix {
    Gf2Matrix matrix;
    std::vector<u32> colStart;
    std::vector<u32> colRels;
};

/// Builds the matrix from full relations and cycles, then drops singleton
/// columns and the surplus beyond `extra` columns over the rows in use.
/// Returns false on abort.
bool BuildMatrix(const FactorBase& fb, const RelationStore& store, int extra,
                 const std::atomic<int>& state, RelationMatrix& out);

}  // namespace siqs
