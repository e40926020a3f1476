// The sliders a generator reads and the ranges its core clamps to come from one table per
// generator; these tests tie that table to the sliders the pane builds and to the clamping.
#include <gtest/gtest.h>

#include <set>

#include "billboard/billboardcore.h"
#include "stones/stonescore.h"
#include "pane/boxregistry.h"
#include "pane/slidersets.h"
#include "flower/flowercore.h"
#include "grass/grasscore.h"
#include "tree/treecore.h"

using namespace verdix;

TEST(SliderBindings, EveryGeneratorReadsExistingSlidersWithTheRangeItClampsTo)
{
    for (int type = kFirstType; type <= kLastType; ++type) {
        const BoxTypeEntry* t = typeInfo(type);
        ASSERT_NE(t, nullptr);
        SCOPED_TRACE(t->layout().name);
        // Every generator that stands on a terrain turns sliders into parameters.
        if (t->standsOnTerrain) ASSERT_NE(t->boundSliders, nullptr);
        if (!t->boundSliders) continue;
        const TypeLayout& layout = t->layout();
        std::set<int> seen;
        for (const BoundSliderRange& r : t->boundSliders()) {
            SCOPED_TRACE(std::string(r.name) + " #" + std::to_string(r.occurrence));
            const int k = sliderIndex(type, QString::fromLatin1(r.name), r.occurrence);
            ASSERT_GE(k, 0) << "no such slider";
            EXPECT_TRUE(seen.insert(k).second) << "read twice";
            EXPECT_EQ(r.min, layout.sliders[k].min);
            EXPECT_EQ(r.max, layout.sliders[k].max);
        }
        // Every slider of the box but the position of a tree is read by its generator.
        EXPECT_GE(int(seen.size()), layout.sliders.size() - 2);
    }
}

namespace {

// Each bound field below its range comes back at its minimum, above it at its maximum, and a
// value inside it unchanged, whatever the other fields hold.
template <class P>
void expectClampedByTable(const SliderFields<P>& fields)
{
    for (const SliderField<P>& f : fields) {
        SCOPED_TRACE(f.name);
        P p;
        p.*f.member = f.min - 1;
        EXPECT_EQ(p.clamped().*f.member, f.min);
        p.*f.member = f.max + 1;
        EXPECT_EQ(p.clamped().*f.member, f.max);
        p.*f.member = f.min + (f.max - f.min) / 2;
        EXPECT_EQ(p.clamped().*f.member, f.min + (f.max - f.min) / 2);
    }
}

}  // namespace

TEST(SliderBindings, ClampingForcesEachBoundFieldIntoTheTablesRange)
{
    expectClampedByTable(grassSliderFields());
    expectClampedByTable(stonesSliderFields());
    expectClampedByTable(billboardSliderFields());
    expectClampedByTable(treeSliderFields());
    expectClampedByTable(flowerSliderFields());
}
