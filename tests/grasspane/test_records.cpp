// A grass box's record carries the whole patch: every slider comes back through a set
// document and through a host scene, and the rebuilt box lays the very same blades.
#include <QFile>
#include <QTemporaryDir>
#include "grasspaneaccess.h"

namespace {

class GrassRecords : public GrassPaneTest
{
protected:
    std::vector<int> values(int i)
    {
        std::vector<int> v;
        for (DzIntSlider* s : a->boxes()[i].sliders) v.push_back(s ? s->value() : -99999);
        return v;
    }
    void removeBoxes()
    {
        while (a->boxes().count() > 0) a->deleteControl();
        QApplication::processEvents();
        dzScene->clear();
    }
};

}  // namespace

TEST_F(GrassRecords, SetDocumentAndHostSceneBringBackTheSameBlades)
{
    grass(700);
    const int j = grass();
    // Every slider of box j away from its default, within its range.
    a->setLoading(true);
    int k = 0;
    for (DzIntSlider* s : a->boxes()[j].sliders) {
        const int span = s->getMax() - s->getMin() + 1;
        s->setValue(s->getMin() + (k++ * 37 + 11) % span);
    }
    slider(j, "Amount")->setValue(1500);
    slider(j, "Grass LOD")->setValue(4);
    slider(j, "Shape")->setValue(40);
    a->setLoading(false);
    a->updateGrass(j, true);
    const std::vector<int> sliders0 = values(0), slidersJ = values(j);
    const std::vector<DzVec3> blades0 = verts(0), bladesJ = verts(j);
    ASSERT_EQ(bladesJ.size(), size_t(2 * 5 * 1500));

    QTemporaryDir dir;
    const QString doc = dir.path() + "/grass.txt";
    {
        QFile f(doc);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(pane->setDocumentText().toLatin1());
    }

    // Through a set document, into a pane and a scene that hold nothing.
    removeBoxes();
    ASSERT_TRUE(pane->openSetDocument(doc)) << qPrintable(a->status()->text());
    ASSERT_EQ(a->boxes().count(), 2);
    EXPECT_EQ(a->boxes()[j].type, TypeGrass);
    EXPECT_EQ(values(0), sliders0);
    EXPECT_EQ(values(j), slidersJ);
    EXPECT_TRUE(same(verts(0), blades0));
    EXPECT_TRUE(same(verts(j), bladesJ));

    // Through a host scene file: the scene carries the boxes and their meshes.
    QMetaObject::invokeMethod(pane, "saveModelData", Qt::DirectConnection);
    const QString scene = dir.path() + "/grass.duf";
    QString error;
    ASSERT_TRUE(dzScene->saveScene(scene, &error)) << qPrintable(error);
    removeBoxes();
    ASSERT_TRUE(dzScene->loadScene(scene, &error)) << qPrintable(error);
    QApplication::processEvents();
    ASSERT_EQ(a->boxes().count(), 2);
    EXPECT_EQ(values(0), sliders0);
    EXPECT_EQ(values(j), slidersJ);
    // One node per box, found again by its title rather than duplicated.
    EXPECT_EQ(dzScene->getNumNodes(), 2);
    EXPECT_TRUE(same(verts(0), blades0));
    EXPECT_TRUE(same(verts(j), bladesJ));

    // The rebuilt boxes animate like the ones they came from.
    // The first tick passes at the phase the boxes were built at; the second one moves on.
    a->draw();
    EXPECT_TRUE(same(verts(j), bladesJ));
    a->draw();
    EXPECT_FALSE(same(verts(j), bladesJ));
    EXPECT_EQ(verts(j).size(), bladesJ.size());
}
