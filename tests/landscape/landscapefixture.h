#pragma once
// Landscape boxes built by their own create slot over an asset root of the test's own,
// with grey height maps drawn for the case at hand.
#include <QFile>
#include <QImage>
#include <functional>
#include <vector>
#include "boxfixture.h"
#include "terrainfixture.h"
#include "terrain/terraincore.h"

class LandscapeTest : public BoxTest
{
protected:
    static constexpr const char* kGround = "Verdix_Landscape_Ground/Ground_A.png";
    static constexpr const char* kRiver = "Verdix_Landscape_River/River_A.png";
    static constexpr const char* kHill = "Verdix_Landscape_Hill/Hill_A.png";
    static constexpr const char* kFlat = "Verdix_Landscape_Flat/Flat_Round_A.png";
    static constexpr const char* kPath = "Verdix_Landscape_Path/Path_A.jpg";

    void SetUp() override
    {
        BoxTest::SetUp();
        QDir(root.path()).mkpath("Verdix_Landscape_User");
    }

    QString at(const QString& rel) const { return root.path() + "/" + rel; }

    // A grey map: pixel (x, y) has the grey value g(x, y) in R, G and B.
    void greyMap(const QString& rel, int w, int h, const std::function<int(int, int)>& g)
    {
        QDir().mkpath(QFileInfo(at(rel)).path());
        QImage img(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int v = g(x, y);
                img.setPixel(x, y, qRgb(v, v, v));
            }
        // Lossless even for the Path map's jpg name: the image reader goes by content.
        ASSERT_TRUE(img.save(at(rel), "PNG"));
    }
    void flatMap(const QString& rel, int v)
    {
        greyMap(rel, 4, 4, [v](int, int) { return v; });
    }
    // All five default maps, each one grey value.
    void defaultMaps(int land = 0, int river = 0, int hill = 0, int flat = 0, int path = 0)
    {
        flatMap(kGround, land);
        flatMap(kRiver, river);
        flatMap(kHill, hill);
        flatMap(kFlat, flat);
        flatMap(kPath, path);
    }

    int createLandscape()
    {
        const int i = a->boxes().count();
        EXPECT_TRUE(pane->createBoxOfType(TypeLandscape));
        return i;
    }
    // Sets sliders without their routing, then runs the box's update once.
    void set(int i, std::initializer_list<std::pair<const char*, int>> values, bool update = true)
    {
        a->setLoading(true);
        for (const auto& v : values) {
            DzIntSlider* s = slider(i, v.first);
            EXPECT_NE(s, nullptr) << v.first;
            if (s) s->setValue(v.second);
        }
        a->setLoading(false);
        if (update) EXPECT_TRUE(pane->updateBox(i));
    }
    DzFacetMesh* mesh(int i) { return meshOfNode(nodeOf(i)); }
    std::vector<float> heights(int i)
    {
        std::vector<float> out;
        if (DzFacetMesh* m = mesh(i)) {
            for (int k = 0; k < m->getNumVertices(); ++k) out.push_back(m->getVertex(k).y());
        }
        return out;
    }
    QString status() { return a->status()->text(); }
    // Saves box i's heights through its save button into the file the dialog is given.
    void save(int i, const QString& path)
    {
        dzApp->dialogs()->queueFileName(path);
        showPane();
        click(box(i).saveMapButton);
    }
    void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray floats(const std::vector<float>& v)
    {
        return QByteArray(reinterpret_cast<const char*>(v.data()), int(v.size() * sizeof(float)));
    }
    // Chooses a User file through the box's combo as the user does.
    void chooseUser(int i, const QString& name)
    {
        QComboBox* c = box(i).combo('F');
        int idx = c->findText(name);
        if (idx < 0) {
            c->addItem(name);
            idx = c->count() - 1;
        }
        c->setCurrentIndex(idx);
    }
};
