#include "boxfixture.h"
#include "persistence/boxrecord.h"

namespace {

class Fuzz : public BoxTest
{
};

}  // namespace

TEST_F(Fuzz, RecordLineOfTwoMegabytes)
{
    // Read as far as the grass has sliders.
    QString huge = "VerdixV1.0,6,2018\nGrassV1.0,";
    while (huge.size() < 2 * 1024 * 1024) huge += QStringLiteral("77,");
    // Without its closing ";" the line is a record cut off, which is refused whole.
    EXPECT_FALSE(a->openDocument(huge + "\n;", true));
    EXPECT_EQ(a->boxes().count(), 0);
    ASSERT_TRUE(a->openDocument(huge + ";\n;", true));
    ASSERT_EQ(a->boxes().count(), 1);
    EXPECT_EQ(slider(0, "Amount")->getValue(), 77);
    EXPECT_EQ(slider(0, "Move Z")->getValue(), 77);
    EXPECT_EQ(verdix::splitSetDocument(a->model()->coolText()).boxLines(), 1);
}
