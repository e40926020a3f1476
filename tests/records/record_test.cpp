#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include "dzmaterial.h"
#include "dznode.h"
#include "dzshape.h"
#include "recordtestsupport.h"

using namespace verdix;

namespace {

BoxSnapshot randomSnapshot(int type, Lcg& rng, const ReadTarget& target)
{
    BoxSnapshot s = defaultSnapshot(type, setRecordHeader(type));
    const TypeLayout& l = layoutFor(type);
    for (int p = 0; p < s.sliders.size(); ++p) {
        const SliderDef& slider = l.sliders[l.sliderAtRecordPosition(p)];
        s.sliders[p] = rng.range(slider.min, slider.max);
    }
    for (int c = 0; c < s.combos.size(); ++c) s.combos[c] = target.comboItems[c][rng.range(0, 3)];
    if (type == TypeLandscape) {
        s.hasPosition = true;
        s.position = DzVec3(rng.range(-4000, 4000) * 0.25f, rng.range(-100, 100) * 0.5f, -1250.5f);
    }
    const auto D = MaterialProperty::Double;
    MaterialRecord a{"Trunk",
                     {{MaterialProperty::Path, "Diffuse Color", 0, "/tex/Verdix_Texture_Tree_Bark/bark.png"},
                      {D, "Diffuse Color", double(0xFAFFF0), {}},
                      {D, "Glossiness", 0.4, {}},
                      {D, "Index of Refraction", 1.0 / 3.0, {}},
                      {D, "Bump Strength", -2.5e-300, {}}}};
    MaterialRecord b{"Leaf",
                     {{D, "Specular Color", double(rng.range(0, 0xFFFFFF)), {}},
                      {MaterialProperty::Path, "Normal Map", 0, "C:\\Halvorn_Texture\\leaf_N.png"}}};
    s.materials = {a, b, MaterialRecord{"Fruit", {}}};
    return s;
}

int at(int type, const char* name) { return layoutFor(type).recordPosition(sliderIndex(type, name)); }

// A record of type with every slider at value, split into its fields.
QStringList fieldsWith(int type, int value)
{
    BoxSnapshot s = defaultSnapshot(type, setRecordHeader(type));
    for (int& v : s.sliders) v = value;
    return writeRecord(s).split(',');
}

// A grass record with its values, up to and including the "Materials" field.
QString grassUpToMaterials()
{
    QString t = writeRecord(defaultSnapshot(TypeGrass, "GrassV1.0"));
    t.chop(1);
    return t;
}

RecordRead readGrass(const QString& text) { return readRecord(text, targetFor(TypeGrass)); }

}  // namespace

TEST(Record, EveryTypeRoundTripsExactly)
{
    Lcg rng{12345};
    for (int type : kRecorded) {
        for (int round = 0; round < 20; ++round) {
            const ReadTarget target = targetFor(type);
            const BoxSnapshot snap = randomSnapshot(type, rng, target);
            const QString text = writeRecord(snap);
            const RecordRead read = readRecord(text, target);
            ASSERT_EQ(read.status, ReadStatus::Complete) << type;
            EXPECT_EQ(read.appliedSliderCount(), snap.sliders.size());
            BoxSnapshot back = defaultSnapshot(type, target.header);
            applyRead(read, target, back);
            EXPECT_EQ(back.sliders, snap.sliders);
            EXPECT_EQ(back.combos, snap.combos);
            EXPECT_EQ(back.hasPosition, snap.hasPosition);
            EXPECT_EQ(back.position, snap.position);
            EXPECT_EQ(back.materials, snap.materials);
            EXPECT_EQ(writeRecord(back), text);
        }
    }
}

TEST(Record, FieldLayoutAndNumberFormats)
{
    BoxSnapshot grass = defaultSnapshot(TypeGrass, "GrassV1.0");
    grass.sliders[at(TypeGrass, "Move X")] = -250;
    QStringList expect{"GrassV1.0"};
    for (int v : grass.sliders) expect << QString::number(v);
    EXPECT_EQ(writeRecord(grass), (expect << ";"
                                          << "Materials"
                                          << ";")
                                      .join(','));

    BoxSnapshot land = defaultSnapshot(TypeLandscape, "LandscapeV1.0");
    land.hasPosition = true;
    land.position = DzVec3(123.456789f, 1e-7f, -2e9f);
    land.materials = {MaterialRecord{"Landscape", {{MaterialProperty::Double, "Glossiness", 0.3, {}}}}};
    const QStringList f = writeRecord(land).split(',').mid(1);
    ASSERT_EQ(f.size(), 8 + 15 + 3 + 2 + 2 + 3 + 1);
    EXPECT_EQ(f[0], "Landscape");
    EXPECT_EQ(f[7], "Landscape Blend None");
    EXPECT_EQ(f.mid(23, 3), (QStringList{"123.457", "1e-07", "-2e+09"}));
    EXPECT_EQ(f.mid(26, 4), (QStringList{";", "Materials", "+", "Landscape"}));
    EXPECT_EQ(f.mid(30, 3), (QStringList{"Double", "Glossiness", "0.299999999999999988897769753748434595763683"}));
    EXPECT_EQ(f.last(), ";");

    // Types without a record write their header alone.
    EXPECT_EQ(writeRecord(defaultSnapshot(TypeRock, "RocksV1.0")), "RocksV1.0,");
    EXPECT_EQ(writeRecord(defaultSnapshot(TypeBush, "BushV1.0")), "BushV1.0,");
    BoxSnapshot tree = defaultSnapshot(TypeTree, "TreeV1");
    tree.combos[0] = "default.png";
    const QStringList t = writeRecord(tree).split(',').mid(1);
    EXPECT_EQ(t.size(), 1 + 85 + 3);
    EXPECT_EQ(t[0], "default.png");
}

TEST(Record, OldRecordsWithoutTheLastSliderZeroIt)
{
    // A stones record from before "Rough": 33 values, then ";".
    QStringList f = fieldsWith(TypeStones, 7);
    f.removeAt(34);  // "Rough"
    RecordRead r = readRecord(f.join(','), targetFor(TypeStones));
    EXPECT_EQ(r.status, ReadStatus::Complete);
    EXPECT_EQ(r.appliedSliderCount(), 34);
    EXPECT_EQ(r.sliders[at(TypeStones, "Rough")], 0);
    EXPECT_EQ(r.sliders[at(TypeStones, "StandOff Z")], 7);
    EXPECT_TRUE(r.materialsRead);

    f = fieldsWith(TypeTree, 5);
    f.removeAt(2 + 84);  // "Up Down"
    r = readRecord(f.join(','), targetFor(TypeTree));
    EXPECT_EQ(r.status, ReadStatus::Complete);
    EXPECT_TRUE(r.sliderSet[at(TypeTree, "Up Down")]);
    EXPECT_EQ(r.sliders[at(TypeTree, "Up Down")], 0);
    EXPECT_EQ(r.sliders[at(TypeTree, "Trunk Height")], 5);

    // Elsewhere an early ";" leaves the remaining sliders alone.
    r = readGrass((fieldsWith(TypeGrass, 1).mid(0, 11) + QStringList{";", "Materials", ";"}).join(','));
    EXPECT_EQ(r.status, ReadStatus::Complete);
    EXPECT_EQ(r.appliedSliderCount(), 10);
    EXPECT_FALSE(r.sliderSet[10]);
    EXPECT_TRUE(r.materialsRead);
}

TEST(Record, HeaderMismatchAppliesNothing)
{
    const ReadTarget target = targetFor(TypeTree);
    const RecordRead r = readRecord(writeRecord(defaultSnapshot(TypeFlower, "FlowerV1.0")), target);
    EXPECT_EQ(r.status, ReadStatus::HeaderMismatch);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.message, "Error: Header reads FlowerV1.0 not TreeV1.0");
    EXPECT_EQ(r.appliedSliderCount(), 0);
    EXPECT_FALSE(r.materialsRead);
    BoxSnapshot box = defaultSnapshot(TypeTree, "TreeV1.0");
    applyRead(r, target, box);
    EXPECT_EQ(box.sliders, defaultSnapshot(TypeTree, "TreeV1.0").sliders);

    EXPECT_EQ(readRecord("", target).status, ReadStatus::Empty);
    EXPECT_EQ(readRecord("TreeV1.0", target).status, ReadStatus::HeaderOnly);
    EXPECT_EQ(readRecord("TreeV1.0,;,Materials,;", target).status, ReadStatus::HeaderOnly);
    EXPECT_EQ(readRecord("TreeV1.0,default.png,3,4", target).status, ReadStatus::Truncated);
}

TEST(Record, PresetsKeepThePositionSliders)
{
    for (int type : {TypeTree, TypeFlower, TypeStones}) {
        BoxSnapshot preset = defaultSnapshot(type, "P");
        const TypeLayout& l = layoutFor(type);
        for (int p = 0; p < preset.sliders.size(); ++p) preset.sliders[p] = l.sliders[l.sliderAtRecordPosition(p)].max;
        ReadTarget target = targetFor(type);
        target.header = "P";
        target.isPresets = true;
        BoxSnapshot box = defaultSnapshot(type, "P");
        applyRead(readRecord(writeRecord(preset), target), target, box);
        for (int p = 0; p < box.sliders.size(); ++p) {
            const SliderDef& s = l.sliders[l.sliderAtRecordPosition(p)];
            EXPECT_EQ(box.sliders[p], s.position ? s.def : s.max) << s.name;
        }
    }
}

TEST(Record, LandscapeCombosPositionAndNode)
{
    ReadTarget target = targetFor(TypeLandscape);
    BoxSnapshot land = defaultSnapshot(TypeLandscape, "LandscapeV1.0");
    land.combos[1] = "Hill B.jpg";
    land.combos[6] = "Ground_A.png";
    land.sliders[0] = 55;
    land.materials = {MaterialRecord{"Landscape", {{MaterialProperty::Double, "Glossiness", 0.5, {}}}}};

    // Saved without a node: no position fields; read with a node, the reader meets ";"
    // where x would be and goes on to the materials.
    RecordRead r = readRecord(writeRecord(land), target);
    EXPECT_EQ(r.status, ReadStatus::Complete);
    EXPECT_FALSE(r.hasPosition);
    EXPECT_TRUE(r.materialsRead);
    EXPECT_EQ(r.materials.size(), 1);
    EXPECT_EQ(r.comboIndex, (QVector<int>{-1, 2, -1, -1, -1, -1, 1, -1}));
    EXPECT_EQ(r.sliders[0], 55);

    // Saved with a node, read without one: position and materials are not applied.
    land.hasPosition = true;
    land.position = DzVec3(1, 2, 3);
    target.hasNode = false;
    r = readRecord(writeRecord(land), target);
    EXPECT_EQ(r.status, ReadStatus::Complete);
    EXPECT_FALSE(r.hasPosition || r.materialsRead);
    EXPECT_EQ(r.appliedSliderCount(), 15);

    // A combo text the list no longer has ends the read there.
    target.comboItems[3].removeAll("Ground_A.png");
    land.combos[3] = "Ground_A.png";
    r = readRecord(writeRecord(land), target);
    EXPECT_EQ(r.status, ReadStatus::UnknownCombo);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.comboIndex[1], 2);
    EXPECT_EQ(r.comboIndex[4], -1);
    EXPECT_EQ(r.appliedSliderCount(), 0);

    // A name typed into the editable "User" combo is not in its list: that combo is left
    // alone and the read goes on.
    target.comboItems[3] << "Ground_A.png";
    land.combos[5] = "typed by hand.dat";
    r = readRecord(writeRecord(land), target);
    EXPECT_EQ(r.status, ReadStatus::Complete);
    EXPECT_EQ(r.comboIndex[5], -1);
    EXPECT_EQ(r.comboText[5], "typed by hand.dat");
    EXPECT_EQ(r.appliedSliderCount(), 15);

    // A tree's unknown shape leaves its combo but reads on.
    BoxSnapshot tree = defaultSnapshot(TypeTree, "TreeV1.0");
    tree.combos[0] = "gone.png";
    tree.sliders[0] = 77;
    r = readRecord(writeRecord(tree), targetFor(TypeTree));
    EXPECT_EQ(r.comboIndex[0], -1);
    EXPECT_EQ(r.sliders[0], 77);
    tree.combos[0] = "Shapes";
    EXPECT_EQ(readRecord(writeRecord(tree), targetFor(TypeTree)).comboIndex[0], 0);
}

TEST(Record, ValuesThatAreNotNumbersOrOutOfRange)
{
    QStringList f = fieldsWith(TypeGrass, 1);
    f[1] = "abc";                       // "Amount" 1..200000
    f[2] = "99999999999999";            // "Area size X" 1..4000
    f[3] = "-99999999999999999999999";  // "Full off X" 0..200
    f[15] = "";                         // "Shape" -300..300
    f[16] = " 12 ";                     // "Ring"
    const RecordRead r = readGrass(f.join(','));
    EXPECT_EQ(r.sliders.mid(0, 3), (QVector<int>{1, 4000, 0}));
    EXPECT_EQ(r.sliders.mid(14, 2), (QVector<int>{0, 12}));

    BoxSnapshot land = defaultSnapshot(TypeLandscape, "LandscapeV1.0");
    land.hasPosition = true;
    QStringList g = writeRecord(land).split(',');
    g[24] = "nan";
    g[25] = "1e39";
    g[26] = "inf";
    const RecordRead p = readRecord(g.join(','), targetFor(TypeLandscape));
    ASSERT_TRUE(p.hasPosition);
    EXPECT_EQ(p.position, DzVec3(0, 0, 0));

    const RecordRead m = readGrass(grassUpToMaterials() + "+,Grass,Double,Glossiness,nan,Double,Bump Strength,x,;");
    ASSERT_EQ(m.materials.size(), 1);
    ASSERT_EQ(m.materials[0].properties.size(), 2);
    EXPECT_EQ(m.materials[0].properties[0].value, 0.0);
    EXPECT_EQ(m.materials[0].properties[1].value, 0.0);
}

TEST(Record, MaterialLimitsAndBrokenEntries)
{
    QString text = grassUpToMaterials();
    for (int m = 0; m < 12; ++m) {
        text += QString("+,M%1,").arg(m);
        for (int e = 0; e < (m == 0 ? 130 : 2); ++e) text += QString("Double,P%1,%2,").arg(e).arg(e);
    }
    // The first material's 101st entry is not a "+": the read ends after 100 entries.
    RecordRead r = readGrass(text + ";");
    ASSERT_EQ(r.materials.size(), 1);
    EXPECT_EQ(r.materials[0].properties.size(), 100);
    EXPECT_EQ(r.materials[0].properties[99].value, 99.0);

    text = grassUpToMaterials();
    for (int m = 0; m < 12; ++m) text += QString("+,M%1,Path,Diffuse Color,t%1.png,").arg(m);
    r = readGrass(text + ";");
    ASSERT_EQ(r.materials.size(), 10);
    EXPECT_EQ(r.materials[9].properties[0].path, "t9.png");

    // An unknown field ends the material part; an entry cut short is not applied.
    for (const char* tail : {"+,A,Double,X,1,Junk,+,B,Double,Y,2,;", "+,A,Double,X,1,Double,Y"}) {
        r = readGrass(grassUpToMaterials() + tail);
        ASSERT_EQ(r.materials.size(), 1) << tail;
        EXPECT_EQ(r.materials[0].properties.size(), 1) << tail;
    }
    EXPECT_TRUE(readGrass(grassUpToMaterials() + "A,Double,X,1,;").materials.isEmpty());
    EXPECT_FALSE(readGrass(grassUpToMaterials().replace("Materials,", "Material,") + "+,A,Double,X,1,;").materialsRead);
}

TEST(Record, TextsThatWouldSplitTheRecordAreNotWritten)
{
    BoxSnapshot tree = defaultSnapshot(TypeTree, "TreeV1.0");
    tree.combos[0] = "odd,name.png";
    tree.sliders[0] = 99;
    tree.materials = {MaterialRecord{"Trunk",
                                     {{MaterialProperty::Path, "Diffuse Color", 0, "C:\\tex\\a,b.png"},
                                      {MaterialProperty::Double, "Glossiness", 0.25, {}}}},
                      MaterialRecord{"Leaf", {{MaterialProperty::Path, "Diffuse Color", 0, "C:\\tex\\leaf.png"}}}};
    const RecordRead r = readRecord(writeRecord(tree), targetFor(TypeTree));
    // The shape falls back to the placeholder; the sliders and the other entries survive.
    EXPECT_EQ(r.comboIndex[0], 0);
    EXPECT_EQ(r.sliders[0], 99);
    ASSERT_EQ(r.materials.size(), 2);
    ASSERT_EQ(r.materials[0].properties.size(), 1);
    EXPECT_EQ(r.materials[0].properties[0].value, 0.25);
    EXPECT_EQ(r.materials[1].properties[0].path, "C:\\tex\\leaf.png");
    EXPECT_FALSE(writeRecord(tree).contains('\n'));
}

namespace {
DzNode* makeNode(const QStringList& materials)
{
    auto* node = new DzNode;
    auto* obj = new DzObject;
    auto* shape = new DzFacetShape;
    for (const QString& name : materials) {
        auto* m = new DzDefaultMaterial;
        m->setName(name);
        m->setLabel(name);
        shape->addMaterial(m);
    }
    obj->addShape(shape);
    node->setObject(obj);
    return node;
}

DzNumericProperty* numeric(DzNode* node, const char* mat, const char* prop)
{
    return qobject_cast<DzNumericProperty*>(node->getObject()->getShape(0)->findMaterial(mat)->findProperty(prop));
}
}  // namespace

TEST(Record, MaterialsRoundTripThroughTheHost)
{
    QTemporaryDir dir;
    const QString bark = dir.filePath("bark.png"), normal = dir.filePath("bark_N.png");
    QImage img(4, 4, QImage::Format_RGB32);
    img.fill(Qt::darkGreen);
    ASSERT_TRUE(img.save(bark) && img.save(normal));

    const QStringList names{"Trunk", "Stem", "Leaf", "Fruit"};
    std::unique_ptr<DzNode> src(makeNode(names));
    setMaterialTexture(src.get(), "Trunk", "Diffuse Color", bark);
    setMaterialTexture(src.get(), "Trunk", "Normal Map", normal);
    setMaterialValue(src.get(), "Trunk", "Diffuse Color", double(0xFAFFF0));
    setMaterialValue(src.get(), "Leaf", "Glossiness", 0.4);
    setMaterialValue(src.get(), "Fruit", "Specular Color", double(0xA0A0A0));
    setMaterialValue(src.get(), "Stem", "Bump Strength", 1.0 / 7.0);

    BoxSnapshot snap = defaultSnapshot(TypeTree, "TreeV1.0");
    snap.materials = collectMaterials(src.get());
    ASSERT_EQ(snap.materials.size(), 4);
    EXPECT_EQ(snap.materials[0].properties[0].kind, MaterialProperty::Path);
    EXPECT_EQ(snap.materials[0].properties[0].property, "Diffuse Color");

    std::unique_ptr<DzNode> dst(makeNode(names));
    const RecordRead r = readRecord(writeRecord(snap), targetFor(TypeTree));
    ASSERT_TRUE(r.materialsRead);
    applyMaterials(dst.get(), r.materials, hostMaterialApplier());
    EXPECT_EQ(collectMaterials(dst.get()), snap.materials);
    EXPECT_EQ(numeric(dst.get(), "Stem", "Bump Strength")->getDoubleValue(), 1.0 / 7.0);
    EXPECT_EQ(qobject_cast<DzDefaultMaterial*>(dst->getObject()->getShape(0)->findMaterial("Trunk"))->getDiffuseColor(),
              QColor(250, 255, 240));
    ASSERT_NE(numeric(dst.get(), "Trunk", "Diffuse Color")->getMapValue(), nullptr);
    EXPECT_EQ(numeric(dst.get(), "Trunk", "Diffuse Color")->getMapValue()->getFilename(),
              QFileInfo(bark).absoluteFilePath());

    // "None" (no file there) clears a map; a material the node lacks is skipped.
    applyMaterials(dst.get(),
                   {MaterialRecord{"Trunk", {{MaterialProperty::Path, "Diffuse Color", 0, "None"}}},
                    MaterialRecord{"Missing", {{MaterialProperty::Double, "Glossiness", 1.0, {}}}}},
                   hostMaterialApplier());
    EXPECT_EQ(numeric(dst.get(), "Trunk", "Diffuse Color")->getMapValue(), nullptr);
    EXPECT_TRUE(collectMaterials(nullptr).isEmpty());
    DzNode bare;
    EXPECT_TRUE(collectMaterials(&bare).isEmpty());
    applyMaterials(nullptr, snap.materials, hostMaterialApplier());

    // A property test narrows the numeric entries; image entries stay.
    const auto onlyGloss =
        collectMaterials(src.get(), [](const DzProperty* p) { return p->getLabel() == "Glossiness"; });
    ASSERT_EQ(onlyGloss[0].properties.size(), 2);
    EXPECT_EQ(onlyGloss[0].properties[0].property, "Glossiness");
    EXPECT_EQ(onlyGloss[0].properties[1].property, "Normal Map");
}

TEST(Record, ATextureIsDrawnFromThePixelsCheckedWhenItWasSet)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("bark.png");
    QImage green(8, 8, QImage::Format_RGB32);
    green.fill(Qt::darkGreen);
    ASSERT_TRUE(green.save(file));
    std::unique_ptr<DzNode> node(makeNode({"Trunk"}));
    ASSERT_EQ(setMaterialTexture(node.get(), "Trunk", "Diffuse Color", file), QString());
    DzTexture* tex = numeric(node.get(), "Trunk", "Diffuse Color")->getMapValue();
    ASSERT_NE(tex, nullptr);
    EXPECT_TRUE(tex->hasImage()) << "the check decoded the file whole; the view needs no second read";

    // The file's pixel data damaged behind the texture's back, its size and time kept: only a
    // second read would notice, and none happens.
    const QDateTime stamp = QFileInfo(file).lastModified();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    const int data = bytes.indexOf("IDAT");
    ASSERT_GT(data, 0);
    bytes[data + 6] = char(bytes[data + 6] ^ 0x5a);
    ASSERT_TRUE(f.seek(0));
    ASSERT_EQ(f.write(bytes), bytes.size());
    ASSERT_TRUE(f.flush());
    ASSERT_TRUE(f.setFileTime(stamp, QFileDevice::FileModificationTime));
    f.close();
    const QImage drawn = tex->getImage();
    ASSERT_FALSE(drawn.isNull());
    EXPECT_EQ(drawn.pixelColor(3, 3), QColor(Qt::darkGreen));
}
