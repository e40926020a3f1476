// The object mapping on its own: falling, landing, sliding, collisions, and the grid search
// for touching pairs against the plain double loop.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <dznode.h>
#include "animation/objectmapping.h"
#include "terrainfixture.h"

namespace {

struct FlatGround : MappingGround
{
    float h;
    explicit FlatGround(float y) : h(y) {}
    HeightAnswer height(float, float, DzVec3* normal, int*, int*) const override
    {
        if (normal) *normal = DzVec3(0.f, -1.f, 0.f);
        HeightAnswer a;
        a.height = h;
        a.hit = HeightHit::Found;
        return a;
    }
};

MappedObject sphere(const DzVec3& p, const DzVec3& v, float radius = 5.f)
{
    MappedObject r;
    r.startPosition = r.position = p;
    r.velocity = v;
    r.radius = radius;
    return r;
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool sameBits(const DzVec3& a, const DzVec3& b)
{
    return sameBits(a.m_x, b.m_x) && sameBits(a.m_y, b.m_y) && sameBits(a.m_z, b.m_z);
}

constexpr float g = 6.f;

}  // namespace

TEST(ObjectMapping, ADroppedRecordFallsLandsAndSettlesOnTheGround)
{
    ObjectMapping m;
    ASSERT_TRUE(m.add(nullptr, DzVec3(1.f, 100.f, 2.f), 5.f, 10.f));
    const FlatGround ground(3.f);
    // Gravity pulls by g / 2 per step against a drag of 5 % of the speed; the position moves
    // by half the speed it had.
    m.step(g, ground);
    m.step(g, ground);
    EXPECT_FLOAT_EQ(m[0].position.m_y, 98.5f);
    EXPECT_FLOAT_EQ(m[0].velocity.m_y, -5.85f);
    int contacts = 0;
    for (int s = 0; s < 300 && m[0].moving(); ++s) {
        const float v = m[0].velocity.m_y;
        m.step(g, ground);
        ASSERT_GE(m[0].position.m_y, 3.f) << "step " << s << " went under the ground";
        if (m[0].position.m_y == 3.f && m[0].moving()) {
            // On the ground: pinned there, the damped vertical speed halved and reversed.
            EXPECT_FLOAT_EQ(m[0].velocity.m_y, v * 0.95f * -0.225f) << "step " << s;
            ++contacts;
        }
    }
    EXPECT_GE(contacts, MappedObject::kRestSteps);
    // At rest on the ground where it fell (flat ground pushes nowhere sideways), without speed,
    // and no longer moved.
    ASSERT_FALSE(m[0].moving()) << "still bouncing";
    EXPECT_EQ(m[0].position, DzVec3(1.f, 3.f, 2.f));
    EXPECT_EQ(m[0].velocity, DzVec3());
    m.step(g, ground);
    EXPECT_EQ(m[0].position, DzVec3(1.f, 3.f, 2.f));

    // A contact that leaves it faster than the rest speed is no rest step: a slide goes on.
    ObjectMapping slide;
    slide.add(nullptr, DzVec3(0.f, 3.f, 0.f), 5.f, 10.f);
    slide[0].restCount = MappedObject::kRestSteps - 1;
    slide[0].velocity = DzVec3(1.f, 0.f, 0.f);
    for (int s = 0; s < 10; ++s) slide.step(g, ground);
    EXPECT_EQ(slide[0].restCount, MappedObject::kRestSteps - 1);
    EXPECT_GT(slide[0].position.m_x, 3.f);
}

TEST(ObjectMapping, RecordsSlideDownSlopesAndAreDampedOnTheGround)
{
    // A plane rising towards +x: the way down is -x.
    const GridGround slope(TestTerrain::make(4, 4, 25.f, [](float x, float) { return 0.5f * x + 10.f; }));
    ObjectMapping m;
    m.add(nullptr, DzVec3(0.f, 10.f, 0.f), 5.f, 10.f);
    m.step(g, slope);
    // The downward unit normal's horizontal part is (0.5, 0) / |(0.5, -1, 0)|.
    EXPECT_NEAR(m[0].velocity.m_x, -0.5f / std::sqrt(1.25f) * g * 0.02f * 0.98f, 1e-6f);
    EXPECT_NEAR(m[0].velocity.m_z, 0.f, 1e-6f);
    EXPECT_FLOAT_EQ(m[0].position.m_y, 10.f);
    float lastX = m[0].position.m_x;
    for (int s = 0; s < 120; ++s) {
        m.step(g, slope);
        EXPECT_LE(m[0].position.m_x, lastX) << "step " << s;
        EXPECT_GE(m[0].position.m_y, 0.5f * m[0].position.m_x + 10.f - 1e-3f);
        lastX = m[0].position.m_x;
    }
    EXPECT_LT(lastX, -3.f) << "it rolled downhill";
    EXPECT_NEAR(m[0].position.m_z, 0.f, 1e-4f);

    // On flat ground a sliding record loses 2 % of its horizontal speed per step on top of
    // the 5 % drag, and stays pinned.
    ObjectMapping flat;
    flat.add(nullptr, DzVec3(0.f, 0.f, 0.f), 5.f, 10.f);
    flat[0].velocity = DzVec3(1.f, 0.f, -0.5f);
    for (int s = 0; s < 5; ++s) {
        const DzVec3 v = flat[0].velocity;
        flat.step(g, FlatGround(0.f));
        EXPECT_FLOAT_EQ(flat[0].velocity.m_x, v.m_x * 0.95f * 0.98f);
        EXPECT_FLOAT_EQ(flat[0].velocity.m_z, v.m_z * 0.95f * 0.98f);
        EXPECT_EQ(flat[0].position.m_y, 0.f);
    }
}

TEST(ObjectMapping, OverlappingSpheresExchangeSpeedOnlyWhenClosing)
{
    // Closing at 2 and -1 along the line of centres: each keeps 70 % of its own speed less
    // 70 % of its normal part and 30 % of that again, and takes 70 % of the other's part.
    std::vector<MappedObject> together{sphere({0, 50, 0}, {2, 0.5f, 0}), sphere({8, 50, 0}, {-1, 0, 0})};
    together[0].restCount = 3;
    collideMapped(together);
    EXPECT_NEAR(together[0].velocity.m_x, -0.91f, 1e-6f);
    EXPECT_NEAR(together[0].velocity.m_y, 0.35f, 1e-6f) << "the tangential part only keeps 70 %";
    EXPECT_NEAR(together[1].velocity.m_x, 1.19f, 1e-6f);
    EXPECT_EQ(together[0].restCount, 0);

    // Separating, just out of reach, the first not simulated, or coincident: nothing happens.
    const struct
    {
        const char* what;
        DzVec3 p1, v0;
        bool simulated;
    } alone[] = {
        {"separating", {8, 50, 0}, {-1, 0, 0}, true},
        {"out of reach", {10.01f, 50, 0}, {2, 0, 0}, true},
        {"not simulated", {8, 50, 0}, {2, 0, 0}, false},
        {"coincident", {0, 50, 0}, {2, 0, 0}, true},
    };
    for (const auto& c : alone) {
        std::vector<MappedObject> pair{sphere({0, 50, 0}, c.v0), sphere(c.p1, c.v0 * -0.5f)};
        if (!c.simulated) pair[0].flags = 0;
        collideMapped(pair);
        EXPECT_EQ(pair[0].velocity, c.v0) << c.what;
    }
}

TEST(ObjectMapping, GridSearchMatchesTheDoubleLoopOnRandomScenes)
{
    std::uint32_t state = 2024u;
    auto rnd = [&state]() {
        state = state * 1664525u + 1013904223u;
        return float(state >> 8) / float(1 << 24);
    };
    long long contactsSeen = 0;
    for (int scene = 0; scene < 60; ++scene) {
        const int n = 2 + int(rnd() * 400);
        // From a tight heap (most spheres touch several others) to a sparse field.
        const float extent = 5.f + rnd() * rnd() * 2000.f;
        std::vector<MappedObject> recs;
        for (int k = 0; k < n; ++k) {
            const float pick = rnd();
            const float radius = pick < 0.6f ? 5.f : pick < 0.9f ? rnd() * 20.f : pick < 0.95f ? -rnd() * 5.f : 0.f;
            MappedObject r = sphere({(rnd() - 0.5f) * extent, rnd() * extent * 0.3f, (rnd() - 0.5f) * extent},
                                    {(rnd() - 0.5f) * 4.f, (rnd() - 0.5f) * 4.f, (rnd() - 0.5f) * 4.f}, radius);
            if (rnd() < 0.1f) r.flags = 0;
            if (rnd() < 0.05f && k > 0) r.position = recs[size_t(k - 1)].position;  // stacked exactly
            if (rnd() < 0.05f) {
                // A record whose node went away.
                DzNode gone;
                r.node = &gone;
                r.registeredWithNode = true;
            }
            recs.push_back(r);
        }
        if (scene % 10 == 3) recs[0].position.m_x = NAN;
        if (scene % 10 == 5) recs[1].position.m_y = INFINITY;
        if (scene % 10 == 7) recs[n / 2].radius = INFINITY;
        if (scene % 10 == 9) recs[n - 1].position = DzVec3(3e20f, 0.f, 3e20f);

        const auto grid = mappedContacts(recs, PairSearch::Grid);
        const auto loop = mappedContacts(recs, PairSearch::AllPairs);
        ASSERT_EQ(grid, loop) << "scene " << scene << " with " << n << " spheres";
        contactsSeen += static_cast<long long>(loop.size());

        // The exchange then gives bit for bit the same velocities, over several steps.
        std::vector<MappedObject> a = recs, b = recs;
        const FlatGround ground(0.f);
        for (int step = 0; step < 3; ++step) {
            integrateMapped(a, g, ground);
            integrateMapped(b, g, ground);
            collideMapped(a, PairSearch::Grid);
            collideMapped(b, PairSearch::AllPairs);
        }
        for (int k = 0; k < n; ++k) {
            ASSERT_TRUE(sameBits(a[size_t(k)].velocity, b[size_t(k)].velocity)) << "scene " << scene << " sphere " << k;
            ASSERT_TRUE(sameBits(a[size_t(k)].position, b[size_t(k)].position)) << "scene " << scene << " sphere " << k;
            ASSERT_EQ(a[size_t(k)].restCount, b[size_t(k)].restCount);
        }
    }
    EXPECT_GT(contactsSeen, 10000) << "the scenes must touch";
}

TEST(ObjectMapping, TableGrowsInBlocksAndCloses)
{
    ObjectMapping m;
    EXPECT_FALSE(m.exists());
    m.step(g, FlatGround(0.f));  // a step without a table does nothing
    EXPECT_EQ(m.count(), 0);
    for (int k = 0; k < 501; ++k) ASSERT_TRUE(m.add(nullptr, DzVec3(float(k), 1.f, 0.f), 5.f, 10.f));
    EXPECT_GE(m.capacity(), 501);
    EXPECT_EQ(m[500].startPosition, DzVec3(500.f, 1.f, 0.f));
    EXPECT_TRUE(m[500].simulated());
    const int before = m.capacity();
    EXPECT_TRUE(m.open());
    EXPECT_GT(m.capacity(), before);
    EXPECT_EQ(m.count(), 501) << "growing keeps the records";
    m.close();
    EXPECT_FALSE(m.exists());
    EXPECT_EQ(m.count() + m.capacity(), 0);
}

// The pane's tick over a deleted rock (RockTest) covers the record standing still and the
// writes skipping it; here: it pushes nothing.
TEST(ObjectMapping, ARecordWhoseNodeWasDeletedPushesNothing)
{
    auto* gone = new DzNode;
    ObjectMapping m, alone;
    m.add(nullptr, DzVec3(0.f, 50.f, 0.f), 5.f, 10.f);
    m.add(gone, DzVec3(8.f, 50.f, 0.f), 5.f, 10.f);
    alone.add(nullptr, DzVec3(0.f, 50.f, 0.f), 5.f, 10.f);
    m[0].velocity = alone[0].velocity = DzVec3(2.f, 0.f, 0.f);
    m[1].velocity = DzVec3(-2.f, 0.f, 0.f);
    delete gone;
    ASSERT_TRUE(m[1].nodeGone());
    for (int s = 0; s < 4; ++s) {
        m.step(g, FlatGround(0.f));
        alone.step(g, FlatGround(0.f));
        m.writeNodes();
    }
    EXPECT_EQ(m[0].velocity, alone[0].velocity);
    EXPECT_EQ(m[1].position, DzVec3(8.f, 50.f, 0.f)) << "the lost record does not move";
}
