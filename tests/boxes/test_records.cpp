#include "boxfixture.h"
#include "persistence/boxrecord.h"

namespace {

class Records : public BoxTest
{
protected:
    QVector<int> values(int i)
    {
        QVector<int> v;
        for (DzIntSlider* s : box(i).sliders) v << s->getValue();
        return v;
    }
};

}  // namespace

// What a record carries is checked where records are read and written, and end to end in the
// generators' reload tests; here, the pane's part: what it does with a record that is not the box's.
TEST_F(Records, WrongHeadersAndWrongBoxesChangeNothing)
{
    const int t = addBox(TypeTree);
    slider(t, "Trunk Sides")->setValue(9);
    const QVector<int> tree = values(t);

    // A flower record given to a tree changes nothing and says why.
    QString flower = "FlowerV1,1,2,3,;,Materials,;";
    a->read(t, TypeTree, "TreeV1", flower, true);
    EXPECT_EQ(values(t), tree);
    EXPECT_EQ(a->status()->text(), "Error: Header reads FlowerV1 not TreeV1");

    // A box of another type or a missing box is left alone.
    QString grass = "GrassV1.0,5,;", none;
    a->read(t, TypeGrass, "GrassV1.0", grass, false);
    EXPECT_EQ(values(t), tree);
    a->read(99, TypeGrass, "GrassV1.0", grass, false);
    a->write(99, TypeGrass, "GrassV1.0", none);
    EXPECT_TRUE(none.isEmpty());
}
