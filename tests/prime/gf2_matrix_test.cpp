// Dependencies over GF(2): a planted dependency must be found exactly, by
// elimination and by block Lanczos; every set returned must sum to zero;
// a surplus of columns gives 64 independent sets; an abort ends the run.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "prime/gf2_matrix.h"
#include "prime/run_state.h"

namespace {

// Sanitizer builds run many times slower: they get more time to abort.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double ABORT_MS = 250;
#else
constexpr double ABORT_MS = 50;
#endif

using u64 = std::uint64_t;
using u32 = std::uint32_t;
using u8 = std::uint8_t;
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

/// The sum (symmetric difference) of columns.
Column Sum(const std::vector<Column>& columns, const std::vector<u32>& which) {
    std::vector<u8> parity;
    for (u32 j : which) {
        for (u32 r : columns[j]) {
            if (r >= parity.size()) parity.resize(r + 1, 0);
            parity[r] ^= 1;
        }
    }
    Column sum;
    for (u32 r = 0; r < parity.size(); ++r)
        if (parity[r]) sum.push_back(r);
    return sum;
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

/// How many of the sets are non-empty, sum to zero, and are independent.
struct Check {
    int sets = 0;
    int zeroSums = 0;
    int rank = 0;
};

Check CheckSets(const std::vector<Column>& columns, const std::vector<u64>& deps) {
    Check c;
    std::vector<std::vector<u64>> basis;  // sets as bit vectors, reduced
    std::vector<size_t> pivots;
    const size_t words = (columns.size() + 63) / 64;
    for (int t = 0; t < 64; ++t) {
        const std::vector<u32> set = SetOf(deps, t);
        if (set.empty()) continue;
        ++c.sets;
        if (Sum(columns, set).empty()) ++c.zeroSums;
        std::vector<u64> v(words, 0);
        for (u32 j : set) v[j / 64] |= u64{1} << (j % 64);
        for (size_t b = 0; b < basis.size(); ++b)
            if ((v[pivots[b] / 64] >> (pivots[b] % 64)) & 1)
                for (size_t w = 0; w < words; ++w) v[w] ^= basis[b][w];
        size_t w = 0;
        while (w < words && v[w] == 0) ++w;
        if (w == words) continue;
        pivots.push_back(w * 64 + static_cast<size_t>(__builtin_ctzll(v[w])));
        basis.push_back(v);
        ++c.rank;
    }
    return c;
}

using Solver = Gf2Status (*)(const Gf2Matrix&, const std::atomic<int>&, std::vector<u64>&);

Gf2Status ByLanczos(const Gf2Matrix& m, const std::atomic<int>& s, std::vector<u64>& d) {
    return BlockLanczos(m, 99, s, d);
}
Gf2Status ByElimination(const Gf2Matrix& m, const std::atomic<int>& s, std::vector<u64>& d) {
    return DenseDependencies(m, s, d);
}
Gf2Status ByEither(const Gf2Matrix& m, const std::atomic<int>& s, std::vector<u64>& d) {
    return FindDependencies(m, 7, s, d);
}

TEST(Gf2Matrix, FindsThePlantedDependencyAlone) {
    // More rows than columns: random columns are independent, except one
    // column made the sum of three others.
    struct Row {
        const char* solver;
        Solver solve;
        u32 rows, cols;
        std::vector<u32> planted;  // the last is replaced by the sum of the others
    };
    const Row rows[] = {
        {"elimination", ByElimination, 400, 300, {5, 77, 213, 299}},
        {"elimination", ByElimination, 400, 300, {0, 1}},  // two equal columns
        {"Lanczos", ByLanczos, 3000, 2000, {3, 1000, 1999, 1500}},
        {"Lanczos", ByLanczos, 3000, 2000, {10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0}},
        {"Lanczos", ByLanczos, 6000, 5000, {4999, 0}},
        {"either", ByEither, 1500, 1200, {600, 601, 602}},
    };
    const std::atomic<int> active{RUN_ACTIVE};
    for (const Row& r : rows) {
        std::vector<Column> columns = RandomColumns(r.rows, r.cols, 20, r.cols + r.planted.size());
        const std::vector<u32> others(r.planted.begin(), r.planted.end() - 1);
        columns[r.planted.back()] = Sum(columns, others);
        std::vector<u64> deps;
        ASSERT_EQ(r.solve(ToMatrix(r.rows, columns), active, deps), Gf2Status::FOUND) << r.solver << " " << r.cols;
        std::vector<u32> expected = r.planted;
        std::sort(expected.begin(), expected.end());
        const Check c = CheckSets(columns, deps);
        EXPECT_EQ(c.sets, 1) << r.solver << " " << r.cols;
        EXPECT_EQ(c.zeroSums, 1) << r.solver << " " << r.cols;
        EXPECT_EQ(SetOf(deps, 0), expected) << r.solver << " " << r.cols;
    }
}

TEST(Gf2Matrix, SurplusColumnsGiveSixtyFourIndependentSets) {
    struct Row {
        const char* solver;
        Solver solve;
        u32 rows, cols;
        int weight;
    };
    const Row rows[] = {
        {"elimination", ByElimination, 500, 600, 15},
        {"Lanczos", ByLanczos, 5000, 5100, 25},
        {"Lanczos", ByLanczos, 2000, 2300, 3},   // very sparse: many rows empty
        {"Lanczos", ByLanczos, 64, 200, 10},     // small and square-ish
        {"either", ByEither, 20000, 20100, 20},
    };
    const std::atomic<int> active{RUN_ACTIVE};
    for (const Row& r : rows) {
        const std::vector<Column> columns = RandomColumns(r.rows, r.cols, r.weight, r.rows * 7 + r.cols);
        std::vector<u64> deps;
        ASSERT_EQ(r.solve(ToMatrix(r.rows, columns), active, deps), Gf2Status::FOUND) << r.solver << " " << r.cols;
        const Check c = CheckSets(columns, deps);
        EXPECT_EQ(c.zeroSums, c.sets) << r.solver << " " << r.cols;
        EXPECT_GE(c.rank, 48) << r.solver << " " << r.cols;  // Lanczos loses some of the 64
        EXPECT_EQ(c.rank, c.sets) << r.solver << " " << r.cols;
    }
}

TEST(Gf2Matrix, EmptyColumnsAndNoDependency) {
    const std::atomic<int> active{RUN_ACTIVE};
    // A zero column is a dependency by itself.
    std::vector<Column> columns = RandomColumns(100, 50, 10, 1);
    columns[17].clear();
    std::vector<u64> deps;
    ASSERT_EQ(DenseDependencies(ToMatrix(100, columns), active, deps), Gf2Status::FOUND);
    EXPECT_EQ(SetOf(deps, 0), std::vector<u32>{17});
    // Independent columns: none.
    columns = RandomColumns(400, 100, 30, 2);
    EXPECT_EQ(DenseDependencies(ToMatrix(400, columns), active, deps), Gf2Status::NONE);
    EXPECT_EQ(std::count(deps.begin(), deps.end(), 0u), static_cast<long>(deps.size()));
    columns = RandomColumns(4000, 3000, 30, 3);
    EXPECT_EQ(FindDependencies(ToMatrix(4000, columns), 5, active, deps), Gf2Status::NONE);
}

/// Runs `solve` with an abort 100 ms in; returns its status and the time
/// from the abort to its return.
std::pair<Gf2Status, double> AbortAfter100Ms(const std::function<Gf2Status(const std::atomic<int>&)>& solve) {
    std::atomic<int> state{RUN_ACTIVE};
    std::chrono::steady_clock::time_point flipped;
    std::thread flipper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        flipped = std::chrono::steady_clock::now();
        state.store(RUN_ABORT);
    });
    const Gf2Status status = solve(state);
    const auto returned = std::chrono::steady_clock::now();
    flipper.join();
    return {status, std::chrono::duration<double, std::milli>(returned - flipped).count()};
}

TEST(Gf2Matrix, AbortEndsTheLinearAlgebra) {
    // Large enough that neither method ends within 100 ms.
    const std::vector<Column> big = RandomColumns(200000, 200100, 20, 4);
    const Gf2Matrix lanczos = ToMatrix(200000, big);
    std::vector<u64> deps;
    auto [status, ms] = AbortAfter100Ms([&](const std::atomic<int>& s) { return BlockLanczos(lanczos, 1, s, deps); });
    EXPECT_EQ(status, Gf2Status::ABORTED);
    EXPECT_LT(ms, ABORT_MS);
    const Gf2Matrix dense = ToMatrix(20000, RandomColumns(20000, 20064, 20, 5));
    std::tie(status, ms) = AbortAfter100Ms([&](const std::atomic<int>& s) { return DenseDependencies(dense, s, deps); });
    EXPECT_EQ(status, Gf2Status::ABORTED);
    EXPECT_LT(ms, ABORT_MS);
    // Already aborted: nothing starts.
    const std::atomic<int> aborted{RUN_ABORT};
    EXPECT_EQ(FindDependencies(lanczos, 1, aborted, deps), Gf2Status::ABORTED);
}

}  // namespace
