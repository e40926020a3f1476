// The controller maps as data: every control names a widget its type really has, and the
// values a control's travel gives.
#include <gtest/gtest.h>
#include "bridges/korgmap.h"
#include "pane/controlbox.h"
#include "pane/slidersets.h"

using verdix::korgMap;
using verdix::KorgOp;
using verdix::layoutFor;
using verdix::sliderIndex;
using verdix::TypeLayout;

TEST(KorgMap, EveryControlNamesAWidgetOfItsType)
{
    int mapped = 0;
    for (int type = kFirstType; type <= kLastType; ++type) {
        const TypeLayout& layout = layoutFor(type);
        for (const auto& [cc, act] : korgMap(type)) {
            ++mapped;
            // Only the controller's four rows of eight exist.
            EXPECT_TRUE(cc >= 0 && cc <= 55 && cc % 16 < 8) << type << " cc " << cc;
            if (act.op == KorgOp::ComboStep) {
                EXPECT_LT(act.combo, layout.combos.size()) << type << " cc " << cc;
                continue;
            }
            const int s = sliderIndex(type, act.slider);
            ASSERT_GE(s, 0) << "type " << type << " cc " << cc << " has no slider " << qPrintable(act.slider);
            if (act.op == KorgOp::Default) {
                EXPECT_GE(act.value, layout.sliders[s].min) << qPrintable(act.slider);
                EXPECT_LE(act.value, layout.sliders[s].max) << qPrintable(act.slider);
            }
        }
    }
    // Grass 32, billboard 24, landscape 24, tree 7, flower 25, stones 16.
    EXPECT_EQ(mapped, 32 + 24 + 24 + 7 + 25 + 16);
    for (int type : std::initializer_list<int>{TypeRock, TypeBush, TypeIvy, TypeWeed, TypeMushroom, TypeCrystals,
                                               TypeParticles, 0, 99})
        EXPECT_TRUE(korgMap(type).empty()) << type;
}

TEST(KorgMap, TravelOfAControl)
{
    // Both ends of the travel reach both ends of the range, wide ranges included.
    for (auto [min, max] : {std::pair(1, 200000), std::pair(-100, 100), std::pair(0, 4000), std::pair(2, 256),
                            std::pair(-10000, 10000)}) {
        EXPECT_EQ(verdix::korgSetValue(min, max, 127), max);
        EXPECT_EQ(verdix::korgSetValue(min, max, 0), min);
    }
    // Truncated toward zero on either side of it.
    EXPECT_EQ(verdix::korgSetValue(-100, 100, 100), 57);  // 57.48
    EXPECT_EQ(verdix::korgSetValue(-100, 100, 27), -57);  // -57.48
    // The top of a combo's travel chooses nothing; a combo of the placeholder alone neither.
    EXPECT_EQ(verdix::korgComboIndex(5, 126), 4);
    EXPECT_EQ(verdix::korgComboIndex(1, 0), -1);
    EXPECT_EQ(verdix::korgComboIndex(0, 0), -1);
    // No more than a data byte's seven bits, whatever a script hands in.
    const auto message = verdix::decodeKorgMessage(verdix::packKorgMessage(176, 23, 255));
    EXPECT_EQ(message.value, 127);
    EXPECT_EQ(message.cc, 23);
}
