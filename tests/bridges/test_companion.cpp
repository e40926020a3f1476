// Which ground the walk-through pane is told about when landscapes overlap or leave gaps.
#include <gtest/gtest.h>
#include "bridges/companion.h"

using namespace verdix;

namespace {

// Landscape box `box` answering height h, or not over the point at all.
LandscapeAnswer on(int box, float h, HeightHit hit = HeightHit::Found)
{
    LandscapeAnswer a;
    a.box = box;
    a.answer.hit = hit;
    a.answer.height = hit == HeightHit::Found ? h : kHeightMiss;
    return a;
}
LandscapeAnswer off(int box) { return on(box, 0.f, HeightHit::OutOfBounds); }

}  // namespace

TEST(CompanionHeight, TheHighestLandscapeUnderThePointAnswers)
{
    EXPECT_EQ(companionHeight({}), 0.f);
    // Landscape 0 at 0 there: the larger of 0 and landscape 3's height.
    EXPECT_EQ(companionHeight({on(0, 0.f), on(3, 42.f)}), 42.f);
    EXPECT_EQ(companionHeight({on(0, 0.f), on(3, -42.f)}), 0.f);
    EXPECT_EQ(companionHeight({on(0, 17.f), on(3, 12.f)}), 17.f);
    EXPECT_EQ(companionHeight({on(0, 17.f), on(3, 12.f), on(5, 30.f)}), 30.f);
    // A later landscape answering 0 has no say, even over lower ground.
    EXPECT_EQ(companionHeight({on(0, -20.f), on(2, 0.f)}), -20.f);
    // A landscape the point is not over has no say: low ground next to it is the ground, not the miss value.
    EXPECT_EQ(companionHeight({off(0), on(1, -35.f)}), -35.f);
    EXPECT_EQ(companionHeight({on(0, -35.f), off(1)}), -35.f);
    EXPECT_EQ(companionHeight({off(0), off(1)}), 0.f);
    // When landscape 0 is not the first box, the first landscape that answers starts.
    EXPECT_EQ(companionHeight({on(2, -8.f), on(4, -12.f)}), -8.f);
}

// The script's text is checked end to end by the walk tests; here its number.
TEST(CompanionHeight, ReplyScriptCarriesSixSignificantDigits)
{
    EXPECT_TRUE(companionReplyScript(1234.56789f).contains("myPane.VerdixHeight(1234.57);}"));
    EXPECT_TRUE(companionReplyScript(-0.000123456789f).contains("VerdixHeight(-0.000123457)"));
    EXPECT_TRUE(companionReplyScript(std::nanf("")).contains("VerdixHeight(0)"));
}
