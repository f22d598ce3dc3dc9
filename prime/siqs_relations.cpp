// The quadratic sieve's relation store and the matrix built from it: full
// relations, cycles among the partial ones (found on the graph whose
// vertices are the large primes and 1, whose edges are the partial
// relations), then singletons and surplus columns dropped.

#include "prime/siqs_relations.h"

#include <algorithm>
#include <numeric>

namespace siqs {

namespace {

inline u32 Hash32(u32 key) {
    u64 h = key * 0x9E3779B97F4A7C15ull;
    return static_cast<u32>(h >> 32);
}

/// The factor-base indices of relation `rel`.
inline const u32* Factors(const u32* rel) { return rel + REL_HEADER; }

}  // namespace

// --- U32Map ----------------------------------------------------------------

void U32Map::Grow() {
    std::vector<u32> keys = std::move(keys_);
    std::vector<u32> values = std::move(values_);
    const size_t size = keys.empty() ? 1024 : keys.size() * 2;
    keys_.assign(size, 0);
    values_.assign(size, 0);
    used_ = 0;
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] != 0) FindOrInsert(keys[i], values[i]);
}

u32 U32Map::FindOrInsert(u32 key, u32 fresh) {
    if ((used_ + 1) * 2 > keys_.size()) Grow();
    const size_t mask = keys_.size() - 1;
    for (size_t i = Hash32(key) & mask;; i = (i + 1) & mask) {
        if (keys_[i] == key) return values_[i];
        if (keys_[i] == 0) {
            keys_[i] = key;
            values_[i] = fresh;
            ++used_;
            return fresh;
        }
    }
}

u32 U32Map::Find(u32 key) const {
    if (keys_.empty()) return ~0u;
    const size_t mask = keys_.size() - 1;
    for (size_t i = Hash32(key) & mask;; i = (i + 1) & mask) {
        if (keys_[i] == key) return values_[i];
        if (keys_[i] == 0) return ~0u;
    }
}

// --- RelationStore -----------------------------------------------------------

u32 RelationStore::Vertex(u32 largePrime) {
    if (largePrime == 1) return 0;
    if (parent_.empty()) parent_.push_back(0);
    const u32 v = vertexOf_.FindOrInsert(largePrime, static_cast<u32>(parent_.size()));
    if (v == parent_.size()) parent_.push_back(v);
    return v;
}

u32 RelationStore::Root(u32 v) {
    while (parent_[v] != v) {
        parent_[v] = parent_[parent_[v]];  // path halving
        v = parent_[v];
    }
    return v;
}

bool RelationStore::Duplicate(const u32* rel) {
    u64 h = 0x84222325CBF29CE4ull;
    for (int i = 3; i < 3 + 2 * Y_WORDS; ++i) h = (h ^ rel[i]) * 0x100000001B3ull;
    if (h == 0) h = 1;
    if ((seenUsed_ + 1) * 2 > seen_.size()) {
        std::vector<u64> old = std::move(seen_);
        seen_.assign(old.empty() ? 4096 : old.size() * 2, 0);
        seenUsed_ = 0;
        const size_t mask = seen_.size() - 1;
        for (u64 k : old) {
            if (k == 0) continue;
            size_t i = (k >> 17) & mask;
            while (seen_[i] != 0) i = (i + 1) & mask;
            seen_[i] = k;
            ++seenUsed_;
        }
    }
    const size_t mask = seen_.size() - 1;
    for (size_t i = (h >> 17) & mask;; i = (i + 1) & mask) {
        if (seen_[i] == h) return true;
        if (seen_[i] == 0) {
            seen_[i] = h;
            ++seenUsed_;
            return false;
        }
    }
}

bool RelationStore::Add(const std::vector<u32>& batch) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (parent_.empty()) parent_.push_back(0);
    for (size_t at = 0; at < batch.size();) {
        const u32* rel = batch.data() + at;
        const size_t length = REL_HEADER + rel[0];
        at += length;
        if (Duplicate(rel)) {
            duplicates_.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        offsets_.push_back(pool_.size());
        pool_.insert(pool_.end(), rel, rel + length);
        const u32 lp1 = rel[1], lp2 = rel[2];
        if (lp2 == 1) {
            fulls_.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        (lp1 == 1 ? partials_ : doublePartials_).fetch_add(1, std::memory_order_relaxed);
        const u32 u = Root(Vertex(lp1));
        const u32 v = Root(Vertex(lp2));
        if (u == v) {
            cycles_.fetch_add(1, std::memory_order_relaxed);
        } else {
            parent_[u] = v;
        }
    }
    return Found() >= Needed();
}

size_t RelationStore::Bytes() const {
    return pool_.capacity() * 4 + offsets_.capacity() * 8 + seen_.capacity() * 8 + vertexOf_.Bytes() +
           parent_.capacity() * 4;
}

// --- The matrix ----------------------------------------------------------------

namespace {

/// Relation lists of the columns: full relations, then one fundamental
/// cycle per partial relation outside a spanning forest of the graph.
bool Columns(const RelationStore& store, const std::atomic<int>& state, std::vector<u32>& colStart,
             std::vector<u32>& colRels) {
    const size_t count = store.Count();
    colStart.assign(1, 0);
    colRels.clear();
    U32Map vertexOf;
    std::vector<u32> edgeU, edgeV, edgeRel;
    u32 vertices = 1;  // vertex 0 stands for 1
    auto vertex = [&](u32 lp) {
        if (lp == 1) return 0u;
        const u32 v = vertexOf.FindOrInsert(lp, vertices);
        if (v == vertices) ++vertices;
        return v;
    };
    for (size_t r = 0; r < count; ++r) {
        if ((r & 65535) == 0 && state.load(std::memory_order_relaxed) == RUN_ABORT) return false;
        const u32* rel = store.Relation(r);
        if (rel[2] == 1) {
            colRels.push_back(static_cast<u32>(r));
            colStart.push_back(static_cast<u32>(colRels.size()));
            continue;
        }
        edgeU.push_back(vertex(rel[1]));
        edgeV.push_back(vertex(rel[2]));
        edgeRel.push_back(static_cast<u32>(r));
    }
    // Adjacency lists.
    const size_t edges = edgeRel.size();
    std::vector<u32> adjStart(vertices + 1, 0), adj(2 * edges);
    for (size_t e = 0; e < edges; ++e) {
        ++adjStart[edgeU[e] + 1];
        ++adjStart[edgeV[e] + 1];
    }
    std::partial_sum(adjStart.begin(), adjStart.end(), adjStart.begin());
    {
        std::vector<u32> fill(adjStart.begin(), adjStart.end() - 1);
        for (size_t e = 0; e < edges; ++e) {
            adj[fill[edgeU[e]]++] = static_cast<u32>(e);
            adj[fill[edgeV[e]]++] = static_cast<u32>(e);
        }
    }
    // Breadth-first spanning forest.
    constexpr u32 NONE = ~0u;
    std::vector<u32> parent(vertices, NONE), parentEdge(vertices, NONE), depth(vertices, 0);
    std::vector<u8> seen(vertices, 0);
    std::vector<u32> queue;
    queue.reserve(vertices);
    for (u32 root = 0; root < vertices; ++root) {
        if ((root & 65535) == 0 && state.load(std::memory_order_relaxed) == RUN_ABORT) return false;
        if (seen[root]) continue;
        seen[root] = 1;
        queue.clear();
        queue.push_back(root);
        for (size_t h = 0; h < queue.size(); ++h) {
            if ((h & 65535) == 65535 && state.load(std::memory_order_relaxed) == RUN_ABORT) return false;
            const u32 u = queue[h];
            for (u32 k = adjStart[u]; k < adjStart[u + 1]; ++k) {
                const u32 e = adj[k];
                const u32 w = edgeU[e] == u ? edgeV[e] : edgeU[e];
                if (seen[w]) continue;
                seen[w] = 1;
                parent[w] = u;
                parentEdge[w] = e;
                depth[w] = depth[u] + 1;
                queue.push_back(w);
            }
        }
    }
    // Every other edge closes a cycle with the tree paths to its ends.
    for (size_t e = 0; e < edges; ++e) {
        if ((e & 4095) == 0 && state.load(std::memory_order_relaxed) == RUN_ABORT) return false;
        u32 a = edgeU[e], b = edgeV[e];
        if (parentEdge[a] == e || parentEdge[b] == e) continue;
        colRels.push_back(edgeRel[e]);
        while (depth[a] > depth[b]) {
            colRels.push_back(edgeRel[parentEdge[a]]);
            a = parent[a];
        }
        while (depth[b] > depth[a]) {
            colRels.push_back(edgeRel[parentEdge[b]]);
            b = parent[b];
        }
        while (a != b) {
            colRels.push_back(edgeRel[parentEdge[a]]);
            colRels.push_back(edgeRel[parentEdge[b]]);
            a = parent[a];
            b = parent[b];
        }
        colStart.push_back(static_cast<u32>(colRels.size()));
    }
    return true;
}

}  // namespace

bool BuildMatrix(const FactorBase& fb, const RelationStore& store, int extra,
                 const std::atomic<int>& state, RelationMatrix& out) {
    std::vector<u32> colStart, colRels;
    if (!Columns(store, state, colStart, colRels)) return false;
    const size_t cols = colStart.size() - 1;

    // The rows of each column: indices of odd total exponent.
    std::vector<u32> rowStart(1, 0), rows;
    std::vector<u32> scratch;
    for (size_t j = 0; j < cols; ++j) {
        if ((j & 1023) == 0 && state.load(std::memory_order_relaxed) == RUN_ABORT) return false;
        scratch.clear();
        for (u32 k = colStart[j]; k < colStart[j + 1]; ++k) {
            const u32* rel = store.Relation(colRels[k]);
            scratch.insert(scratch.end(), Factors(rel), Factors(rel) + rel[0]);
        }
        std::sort(scratch.begin(), scratch.end());
        for (size_t i = 0; i < scratch.size();) {
            size_t e = i;
            while (e < scratch.size() && scratch[e] == scratch[i]) ++e;
            if ((e - i) & 1) rows.push_back(scratch[i]);
            i = e;
        }
        rowStart.push_back(static_cast<u32>(rows.size()));
    }

    // Drop columns with a row no other column has, and the heaviest
    // columns beyond `extra` more than the rows in use, until neither applies.
    std::vector<u8> active(cols, 1);
    std::vector<u32> weight(fb.size, 0);
    size_t activeCols = cols;
    for (;;) {
        if (state.load(std::memory_order_relaxed) == RUN_ABORT) return false;
        std::fill(weight.begin(), weight.end(), 0);
        for (size_t j = 0; j < cols; ++j)
            if (active[j])
                for (u32 k = rowStart[j]; k < rowStart[j + 1]; ++k) ++weight[rows[k]];
        bool changed = false;
        for (size_t j = 0; j < cols; ++j) {
            if (!active[j]) continue;
            for (u32 k = rowStart[j]; k < rowStart[j + 1]; ++k) {
                if (weight[rows[k]] == 1) {
                    active[j] = 0;
                    --activeCols;
                    changed = true;
                    break;
                }
            }
        }
        if (changed) continue;
        const size_t usedRows = static_cast<size_t>(std::count_if(weight.begin(), weight.end(), [](u32 w) { return w > 0; }));
        if (activeCols <= usedRows + static_cast<size_t>(extra)) break;
        std::vector<u32> order;
        for (size_t j = 0; j < cols; ++j)
            if (active[j]) order.push_back(static_cast<u32>(j));
        std::stable_sort(order.begin(), order.end(), [&](u32 a, u32 b) {
            return rowStart[a + 1] - rowStart[a] > rowStart[b + 1] - rowStart[b];
        });
        const size_t surplus = activeCols - usedRows - static_cast<size_t>(extra);
        for (size_t t = 0; t < surplus; ++t) active[order[t]] = 0;
        activeCols -= surplus;
    }

    // Number the rows in use densely and copy the active columns.
    std::vector<u32> rowId(fb.size, ~0u);
    u32 nextRow = 0;
    for (int r = 0; r < fb.size; ++r)
        if (weight[r] > 0) rowId[r] = nextRow++;
    out = RelationMatrix();
    out.matrix.rows = nextRow;
    out.colStart.assign(1, 0);
    std::vector<u32> column;
    for (size_t j = 0; j < cols; ++j) {
        if (!active[j]) continue;
        column.clear();
        for (u32 k = rowStart[j]; k < rowStart[j + 1]; ++k) column.push_back(rowId[rows[k]]);
        out.matrix.AddColumn(column);
        out.colRels.insert(out.colRels.end(), colRels.begin() + colStart[j], colRels.begin() + colStart[j + 1]);
        out.colStart.push_back(static_cast<u32>(out.colRels.size()));
    }
    return true;
}

}  // namespace siqs
