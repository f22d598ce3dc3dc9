#pragma once
// Dependencies among the columns of a sparse matrix over GF(2): block
// Lanczos (Montgomery, 64 vectors at a time) for large matrices, plain
// elimination for small ones.

#include <atomic>
#include <cstdint>
#include <vector>

#include "prime/progress.h"

/// A sparse matrix over GF(2) stored by columns: column j has ones in the
/// rows index[start[j] .. start[j + 1]).
struct Gf2Matrix {
    std::uint32_t rows = 0;
    std::vector<std::uint32_t> start{0};
    std::vector<std::uint32_t> index;
    std::uint32_t Cols() const { return static_cast<std::uint32_t>(start.size() - 1); }
    /// Appends a column with ones in `rowsOfColumn`.
    void AddColumn(const std::vector<std::uint32_t>& rowsOfColumn) {
        index.insert(index.end(), rowsOfColumn.begin(), rowsOfColumn.end());
        start.push_back(static_cast<std::uint32_t>(index.size()));
    }
};

enum class Gf2Status { FOUND, NONE, ABORTED };

/// Columns at and above this count go to block Lanczos.
inline constexpr std::uint32_t GF2_LANCZOS_FROM = 1000;

/// Finds up to 64 independent non-empty sets of columns that sum to zero:
/// bit t of deps[j] tells whether column j is in set t. `seed` draws block
/// Lanczos's start; `state` reading 2 (abort) ends the search within a few
/// milliseconds. FOUND when at least one set was found. Block Lanczos
/// reports "MPQS 行列 RxC: i/n" through `progress` (may be null).
Gf2Status FindDependencies(const Gf2Matrix& m, std::uint64_t seed, const std::atomic<int>& state,
                           std::vector<std::uint64_t>& deps, Progress* progress = nullptr);

/// The same by block Lanczos alone (for matrices of at least 64 columns);
/// NONE when the run failed to find any.
Gf2Status BlockLanczos(const Gf2Matrix& m, std::uint64_t seed, const std::atomic<int>& state,
                       std::vector<std::uint64_t>& deps, Progress* progress = nullptr);

/// The same by elimination alone.
Gf2Status DenseDependencies(const Gf2Matrix& m, const std::atomic<int>& state,
                            std::vector<std::uint64_t>& deps);
