// Dependencies over GF(2): a planted dependency must be found exactly, by
// elimination and by block Lanczos; every set returned must sum to zero;
// a surplus of columns gives up to 64 independent sets; an abort ends the run.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <random>
#include <vector>

#include "prime/gf2_matrix.h"
#include "tests/prime/run_support.h"

namespace {

using u64 = std::uint64_t;
using u32 = std::uint32_t;
using Column = std::vector<u32>;

/// `cols` random columns of `weight` distinct rows below `rows`.
std::vector<Column> RandomColumns(u32 rows, u32 cols, int weight, u64 seed) {
    std::mt19937_64 rng(seed);
    std::vector<Column> columns(cols);
    for (Column& c : columns) {
        while (static_cast<int>(c.size()) < weight) {
            const u32 r = static_cast<u32>(rng() % rows);
            if (std::find(c.begin(), c.end(), r) == c.end()) c.push_back(r);
        }
        std::sort(c.begin(), c.end());
    }
    return columns;
}

/// The rows where an odd number of the columns `which` have a one.
Column Sum(const std::vector<Column>& columns, const std::vector<u32>& which) {
    Column all, odd;
    for (u32 j : which) all.insert(all.end(), columns[j].begin(), columns[j].end());
    std::sort(all.begin(), all.end());
    for (size_t i = 0, k = 0; i < all.size(); i = k) {
        while (k < all.size() && all[k] == all[i]) ++k;
        if ((k - i) % 2 == 1) odd.push_back(all[i]);
    }
    return odd;
}

Gf2Matrix ToMatrix(u32 rows, const std::vector<Column>& columns) {
    Gf2Matrix m;
    m.rows = rows;
    for (const Column& c : columns) m.AddColumn(c);
    return m;
}

/// The columns of set t.
std::vector<u32> SetOf(const std::vector<u64>& deps, int t) {
    std::vector<u32> set;
    for (u32 j = 0; j < deps.size(); ++j)
        if ((deps[j] >> t) & 1) set.push_back(j);
    return set;
}

/// The rank of the sets (bit t of deps[j]: column j in set t) as vectors over GF(2).
int Rank(std::vector<u64> deps) {
    int rank = 0;
    for (int t = 0; t < 64; ++t) {
        // Elimination on the words deps[j]: the pivot clears bit t everywhere, in itself too.
        auto pivot = std::find_if(deps.begin(), deps.end(), [t](u64 d) { return ((d >> t) & 1) != 0; });
        if (pivot == deps.end()) continue;
        ++rank;
        const u64 p = *pivot;
        for (u64& d : deps)
            if (((d >> t) & 1) != 0) d ^= p;
    }
    return rank;
}

TEST(Gf2Matrix, DependenciesOfPlantedAndRandomColumns) {
    // The last planted column is replaced by the sum of the others (by an
    // empty column when it is the only one); without planting, more columns
    // than rows give 64 sets (Lanczos loses some), fewer none.
    enum Solver { DENSE, LANCZOS, EITHER };
    const struct {
        Solver solver;
        u32 rows, cols;
        int weight;
        std::vector<u32> planted;
        Gf2Status status = Gf2Status::FOUND;
    } rows[] = {
        {DENSE, 400, 300, 20, {5, 77, 213, 299}},
        {DENSE, 400, 300, 20, {0, 1}},  // two equal columns
        {DENSE, 100, 50, 10, {17}},
        {LANCZOS, 3000, 2000, 20, {3, 1000, 1999, 1500}},
        {LANCZOS, 3000, 2000, 20, {10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0}},
        {LANCZOS, 6000, 5000, 20, {4999, 0}},
        {EITHER, 1500, 1200, 20, {600, 601, 602}},
        {DENSE, 500, 600, 15, {}},
        {LANCZOS, 5000, 5100, 25, {}},
        {LANCZOS, 2000, 2300, 3, {}},  // very sparse: many rows empty
        {LANCZOS, 64, 200, 10, {}},    // small and square-ish
        {EITHER, 20000, 20100, 20, {}},
        {DENSE, 400, 100, 30, {}, Gf2Status::NONE},
        {EITHER, 4000, 3000, 30, {}, Gf2Status::NONE},
    };
    const std::atomic<int> active{RUN_ACTIVE};
    for (const auto& r : rows) {
        std::vector<Column> columns = RandomColumns(r.rows, r.cols, r.weight, r.rows * 7 + r.cols);
        if (!r.planted.empty()) columns[r.planted.back()] = Sum(columns, {r.planted.begin(), r.planted.end() - 1});
        const Gf2Matrix m = ToMatrix(r.rows, columns);
        std::vector<u64> deps;
        const Gf2Status status = r.solver == DENSE     ? DenseDependencies(m, active, deps)
                                 : r.solver == LANCZOS ? BlockLanczos(m, 99, active, deps)
                                                       : FindDependencies(m, 7, active, deps);
        const std::string label = std::to_string(r.solver) + ", " + std::to_string(r.cols) + " columns";
        ASSERT_EQ(status, r.status) << label;
        ASSERT_EQ(deps.size(), r.cols) << label;
        int sets = 0;
        for (int t = 0; t < 64; ++t) {
            const std::vector<u32> set = SetOf(deps, t);
            sets += set.empty() ? 0 : 1;
            EXPECT_EQ(Sum(columns, set), Column()) << label << ", set " << t;
        }
        EXPECT_EQ(Rank(deps), sets) << label;
        if (!r.planted.empty()) {
            std::vector<u32> expected = r.planted;
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(SetOf(deps, 0), expected) << label;
            EXPECT_EQ(sets, 1) << label;
        } else {
            EXPECT_TRUE(r.status == Gf2Status::FOUND ? sets >= 48 : sets == 0) << label << ": " << sets;
        }
    }
}

TEST(Gf2Matrix, AbortEndsTheLinearAlgebra) {
    // Large enough that neither method ends within 100 ms.
    const Gf2Matrix lanczos = ToMatrix(60000, RandomColumns(60000, 60100, 20, 4));
    const Gf2Matrix dense = ToMatrix(20000, RandomColumns(20000, 20064, 20, 5));
    std::vector<u64> deps;
    EXPECT_LT(MsToStop(100, [&](const std::atomic<int>& s) { EXPECT_EQ(BlockLanczos(lanczos, 1, s, deps), Gf2Status::ABORTED); }), ABORT_MS);
    EXPECT_LT(MsToStop(100, [&](const std::atomic<int>& s) { EXPECT_EQ(DenseDependencies(dense, s, deps), Gf2Status::ABORTED); }), ABORT_MS);
    // Already aborted: nothing starts.
    const std::atomic<int> aborted{RUN_ABORT};
    EXPECT_EQ(FindDependencies(lanczos, 1, aborted, deps), Gf2Status::ABORTED);
}

}  // namespace
