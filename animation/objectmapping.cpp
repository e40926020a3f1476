#include "animation/objectmapping.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

#include <dznode.h>

namespace {

// The contact test of both searches: one definition, so a pair cannot touch in one and
// miss in the other. Non-finite positions never touch (the arithmetic yields NaN or +inf).
inline bool touching(float ax, float ay, float az, float ar, float bx, float by, float bz, float br)
{
    const float dx = bx - ax, dy = by - ay, dz = bz - az;
    const float r = ar + br;
    return dx * dx + dy * dy + dz * dz - r * r <= 0.f;
}
inline bool touching(const MappedObject& a, const MappedObject& b)
{
    return touching(a.position.m_x, a.position.m_y, a.position.m_z, a.radius, b.position.m_x, b.position.m_y,
                    b.position.m_z, b.radius);
}

inline bool finite(const DzVec3& v) { return std::isfinite(v.m_x) && std::isfinite(v.m_y) && std::isfinite(v.m_z); }

std::vector<std::pair<int, int>> contactsAllPairs(const std::vector<MappedObject>& recs)
{
    std::vector<std::pair<int, int>> out;
    const int n = int(recs.size());
    for (int i = 0; i < n; ++i) {
        const MappedObject& a = recs[size_t(i)];
        if (!a.simulated() || a.nodeGone()) continue;
        for (int j = i + 1; j < n; ++j) {
            const MappedObject& b = recs[size_t(j)];
            if (!b.nodeGone() && touching(a, b)) out.emplace_back(i, j);
        }
    }
    return out;
}

// Uniform grid over the centres, cells one largest diameter wide (and a little more, so
// that rounding in the contact test cannot reach past the neighbouring cells). Cell
// coordinates are clamped into a packed 21-bit range; clamping only merges far cells, so
// every touching pair still lands in neighbouring cells. Records with a non-finite radius
// may touch anything and are tried against every record.
class ContactGrid
{
public:
    explicit ContactGrid(const std::vector<MappedObject>& recs) : m_recs(recs)
    {
        const int n = int(recs.size());
        double maxRadius = 0.0;
        m_usable.assign(size_t(n), 0);
        for (int i = 0; i < n; ++i) {
            const MappedObject& r = recs[size_t(i)];
            if (r.nodeGone() || !finite(r.position)) continue;
            m_usable[size_t(i)] = 1;
            if (std::isfinite(r.radius)) maxRadius = std::max(maxRadius, double(std::fabs(r.radius)));
            else m_wide.push_back(i);
        }
        m_cell = maxRadius > 0.0 ? 2.0 * maxRadius * (1.0 + 1e-3) : 1.0;
        // Sorted by cell, the centres and radii side by side: a neighbourhood is nine short
        // runs of one array.
        m_cells.reserve(size_t(n));
        for (int i = 0; i < n; ++i) {
            const MappedObject& r = recs[size_t(i)];
            if (!m_usable[size_t(i)] || !std::isfinite(r.radius)) continue;
            m_cells.push_back(
                {keyOf(r.position, 0, 0, 0), i, r.position.m_x, r.position.m_y, r.position.m_z, r.radius});
        }
        std::sort(m_cells.begin(), m_cells.end(),
                  [](const Entry& a, const Entry& b) { return a.key != b.key ? a.key < b.key : a.index < b.index; });
    }

    std::vector<std::pair<int, int>> contacts() const
    {
        std::vector<std::pair<int, int>> out;
        out.reserve(m_recs.size() * 4);
        std::vector<int> near;
        const int n = int(m_recs.size());
        for (int i = 0; i < n; ++i) {
            const MappedObject& a = m_recs[size_t(i)];
            if (!m_usable[size_t(i)] || !a.simulated()) continue;
            near.clear();
            if (!std::isfinite(a.radius)) {
                for (int j = i + 1; j < n; ++j)
                    if (m_usable[size_t(j)] && touching(a, m_recs[size_t(j)])) near.push_back(j);
            } else {
                const float ax = a.position.m_x, ay = a.position.m_y, az = a.position.m_z, ar = a.radius;
                for (int dx = -1; dx <= 1; ++dx)
                    for (int dy = -1; dy <= 1; ++dy) {
                        // The three cells along z are consecutive keys; within a cell the
                        // records are in index order, so the search starts past i.
                        const std::uint64_t first = keyOf(a.position, dx, dy, -1);
                        auto it = m_cells.begin();
                        for (std::uint64_t key = first; key <= first + 2; ++key) {
                            it = std::lower_bound(it, m_cells.end(), std::make_pair(key, i + 1),
                                                  [](const Entry& e, const std::pair<std::uint64_t, int>& k) {
                                                      return e.key != k.first ? e.key < k.first : e.index < k.second;
                                                  });
                            for (; it != m_cells.end() && it->key == key; ++it)
                                if (touching(ax, ay, az, ar, it->x, it->y, it->z, it->r)) near.push_back(it->index);
                        }
                    }
                for (int j : m_wide)
                    if (j > i && touching(a, m_recs[size_t(j)])) near.push_back(j);
                inOrder(near);
            }
            for (int j : near) out.emplace_back(i, j);
        }
        return out;
    }

private:
    // Puts the partners of one record in index order. In a heap of rocks a record touches
    // hundreds of others: marking them in a bit set over their index range and reading it
    // back costs less than sorting them.
    void inOrder(std::vector<int>& near) const
    {
        if (near.size() < 48) {
            std::sort(near.begin(), near.end());
            return;
        }
        const auto range = std::minmax_element(near.begin(), near.end());
        const int lo = *range.first, hi = *range.second;
        m_bits.assign(size_t((hi - lo) / 64 + 1), 0);
        for (int j : near) m_bits[size_t((j - lo) >> 6)] |= std::uint64_t(1) << ((j - lo) & 63);
        near.clear();
        for (size_t w = 0; w < m_bits.size(); ++w)
            for (std::uint64_t b = m_bits[w]; b; b &= b - 1) near.push_back(lo + int(w * 64) + __builtin_ctzll(b));
    }

    struct Entry
    {
        std::uint64_t key;
        int index;
        float x, y, z, r;
    };

    static constexpr std::int64_t kLimit = (std::int64_t(1) << 20) - 2;

    std::uint64_t coord(float v, int offset) const
    {
        double c = std::floor(double(v) / m_cell);
        c = std::min(std::max(c, double(-kLimit)), double(kLimit));
        return std::uint64_t(std::int64_t(c) + offset + (std::int64_t(1) << 20));
    }
    std::uint64_t keyOf(const DzVec3& p, int dx, int dy, int dz) const
    {
        return (coord(p.m_x, dx) << 42) | (coord(p.m_y, dy) << 21) | coord(p.m_z, dz);
    }

    const std::vector<MappedObject>& m_recs;
    std::vector<char> m_usable;
    std::vector<int> m_wide;
    std::vector<Entry> m_cells;
    mutable std::vector<std::uint64_t> m_bits;
    double m_cell = 1.0;
};

}  // namespace

// ---- The table ---------------------------------------------------------------------------

bool ObjectMapping::open()
{
    try {
        m_records.reserve(size_t(m_capacity) + kBlock);
        m_capacity += kBlock;
        m_exists = true;
    } catch (const std::bad_alloc&) {
        // The table keeps what it had; a table that never existed still does not.
    }
    return m_exists;
}

void ObjectMapping::close()
{
    std::vector<MappedObject>().swap(m_records);
    m_capacity = 0;
    m_exists = false;
}

bool ObjectMapping::add(DzNode* node, const DzVec3& xyz, float rad, float boundMax, QObject* owner)
{
    Q_UNUSED(boundMax);
    if (!m_exists || count() >= m_capacity) open();
    if (!m_exists || count() >= m_capacity) return false;
    MappedObject r;
    r.startPosition = xyz;
    r.position = xyz;
    r.node = node;
    r.registeredWithNode = node != nullptr;
    r.owner = owner;
    r.radius = rad;
    m_records.push_back(r);
    return true;
}

void ObjectMapping::step(float gravity, const MappingGround& ground, PairSearch search)
{
    if (!m_exists) return;
    integrateMapped(m_records, gravity, ground);
    collideMapped(m_records, search);
}

void ObjectMapping::writeNodes() const
{
    for (const MappedObject& r : m_records)
        if (r.restCount < MappedObject::kRestSteps && r.node) r.node->setLocalPos(r.position);
}

int ObjectMapping::resetOwner(const QObject* owner)
{
    if (!owner) return 0;
    int n = 0;
    for (MappedObject& r : m_records) {
        if (r.owner.data() != owner || !r.node) continue;
        // Back at rest count 0, so the object falls again from where it started.
        r.restCount = 0;
        r.position = r.startPosition;
        r.velocity = DzVec3();
        r.groundCache[0] = 0;
        r.groundCache[1] = 0;
        r.node->setLocalPos(r.startPosition);
        ++n;
    }
    return n;
}

// ---- One step ----------------------------------------------------------------------------

void integrateMapped(std::vector<MappedObject>& records, float g, const MappingGround& ground)
{
    for (MappedObject& r : records) {
        if (!r.moving() || r.nodeGone()) continue;
        DzVec3& p = r.position;
        DzVec3& v = r.velocity;
        p = p + v * 0.5f;
        v = v - v * 0.1f * 0.5f;

        // The query starts at the cell it estimates from the position, not at the cached
        // cell: from there it only walks to the neighbours, and a rock that falls or bounces
        // further in one step would have the whole grid scanned. The cell is kept all the same.
        DzVec3 n;
        const HeightAnswer a = ground.height(p.m_x, p.m_z, &n, nullptr, nullptr);
        if (a.hit == HeightHit::Found) {
            r.groundCache[0] = a.column;
            r.groundCache[1] = a.row;
        }
        const float h = a.height;
        if (h >= p.m_y) {
            // On or under the ground: bounce back at a fraction, slide along the slope.
            v.m_y = v.m_y * -0.45f * 0.5f;
            v.m_x = v.m_x - n.m_x * v.m_y;
            v.m_z = v.m_z - n.m_z * v.m_y;
            v.m_x = v.m_x - n.m_x * g * 0.02f;
            v.m_z = v.m_z - n.m_z * g * 0.02f;
            v.m_x *= 0.98f;
            v.m_z *= 0.98f;
            p.m_y = h;
            // A rock held by the ground keeps bouncing by a few hundredths for ever (and in a
            // crease between two triangles, sliding to and fro): a contact that leaves it
            // slower than the rest speed counts a rest step. At rest it keeps no speed that a
            // touching neighbour at rest could mistake for closing in.
            if (std::fabs(v.m_x) < MappedObject::kRestSpeed && std::fabs(v.m_y) < MappedObject::kRestSpeed &&
                std::fabs(v.m_z) < MappedObject::kRestSpeed && ++r.restCount >= MappedObject::kRestSteps)
                v = DzVec3();
        } else if (p.m_y > h) {
            v.m_y = v.m_y - g * 0.5f;
            // About to reach the ground: arrive softly instead of with the full pull.
            if (h >= p.m_y + v.m_y * 0.5f) {
                v.m_y = v.m_y + g * 0.5f;
                v.m_y -= 0.1f;
            }
        } else {
            // Neither holds only when the height is not a number: count quiet steps.
            if (std::fabs(v.m_y) <= 0.01f && std::fabs(v.m_x) <= 0.01f && std::fabs(v.m_z) <= 0.01f) ++r.restCount;
            v.m_y *= 0.01f;
        }
    }
}

void collideMapped(std::vector<MappedObject>& records, PairSearch search)
{
    // Positions do not change here, so the touching pairs are known up front; the velocity
    // exchange then runs in pair order, each pair seeing what earlier pairs left.
    for (const auto& ij : mappedContacts(records, search)) {
        MappedObject& a = records[size_t(ij.first)];
        MappedObject& b = records[size_t(ij.second)];
        const DzVec3 n = (b.position - a.position).normalized();
        const float na = n.dot(a.velocity);
        const float nb = n.dot(b.velocity);
        if (!(na - nb > 0.f)) continue;  // moving apart, or side by side
        const DzVec3 ai = n * 0.7f * na;
        const DzVec3 aj = n * 0.7f * nb;
        a.velocity = (a.velocity * 0.7f - ai) - ai * 0.3f + aj * 0.7f;
        b.velocity = (b.velocity * 0.7f - aj) - aj * 0.3f + ai * 0.7f;
        // Only a knock wakes a rock: neighbours in a heap settle against each other at a few
        // hundredths a step, and counting that as an impact would keep the heap awake for ever.
        if (na - nb > MappedObject::kKnockSpeed) {
            a.restCount = 0;
            b.restCount = 0;
        }
    }
}

std::vector<std::pair<int, int>> mappedContacts(const std::vector<MappedObject>& records, PairSearch search)
{
    if (search == PairSearch::AllPairs) return contactsAllPairs(records);
    return ContactGrid(records).contacts();
}
