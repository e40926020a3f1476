// Scene files: what is saved loads back bit for bit, and a file that cannot be read is
// refused before anything in the scene changes.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QVariant>
#include <QtEndian>
#include <functional>
#include <limits>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <dzdialogs.h>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzshape.h>
#include "hosttestsupport.h"

namespace {

// Records the scene's signals by name.
struct SignalLog
{
    QStringList names;
    QList<QMetaObject::Connection> connections;
    template <typename Signal>
    void on(Signal signal, const char* name)
    {
        connections << QObject::connect(dzScene, signal, [this, name] { names << name; });
    }
    SignalLog()
    {
        on(&DzScene::sceneLoadStarting, "loadStarting"), on(&DzScene::sceneClearStarting, "clearStarting");
        on(&DzScene::sceneCleared, "cleared"), on(&DzScene::sceneLoaded, "loaded"), on(&DzScene::sceneSaved, "saved");
        on(&DzScene::nodeAdded, "nodeAdded"), on(&DzScene::nodeRemoved, "nodeRemoved");
        on(&DzScene::timeChanged, "timeChanged"), on(&DzScene::primarySelectionChanged, "selection");
    }
    ~SignalLog()
    {
        for (const auto& c : connections) QObject::disconnect(c);
    }
    // Only the named ones, in order.
    QStringList only(const QStringList& wanted) const
    {
        QStringList out;
        for (const QString& n : names)
            if (wanted.contains(n)) out << n;
        return out;
    }
};

QString hexOf(const void* p, size_t n) { return QByteArray(static_cast<const char*>(p), int(n)).toHex(); }

// Everything the scene holds that its file must carry, one line per item; floats by their bits.
QStringList describeScene()
{
    QStringList out;
    const QList<DzNode*> nodes = dzScene->nodeList();
    for (DzNode* n : nodes) {
        const DzTransform t = n->getLocalTransform();
        out << QStringList{n->getName(),
                           n->getLabel(),
                           n->getAssetId(),
                           n->getPresentation() ? n->getPresentation()->getType() : "-",
                           QString::number(nodes.indexOf(n->getNodeParent())),
                           hexOf(&t.pos, sizeof t.pos) + hexOf(&t.rot, sizeof t.rot) + hexOf(&t.scale, sizeof t.scale),
                           QString("%1%2%3 %4")
                               .arg(n->isVisible())
                               .arg(n->isSelectable())
                               .arg(n->isVisibleInRender())
                               .arg(n->getRenderPriority())}
                   .join('|');
        DzObject* obj = n->getObject();
        if (!obj) continue;
        out << "object " + obj->getName() + "|" + obj->getLabel();
        for (int i = 0; i < obj->getNumShapes(); ++i) {
            DzShape* shape = obj->getShape(i);
            auto* fs = qobject_cast<DzFacetShape*>(shape);
            out << QString("shape %1|%2|%3").arg(shape->metaObject()->className(), shape->getName(), shape->getLabel());
            if (DzFacetMesh* mesh = fs ? fs->getFacetMesh() : nullptr) {
                DzMap* uv = mesh->getUVs();
                out << QString("mesh %1 ").arg(mesh->getActiveMaterial()) +
                           hexOf(mesh->getVerticesPtr(), sizeof(DzVec3) * size_t(mesh->getNumVertices()))
                    << "facets " + hexOf(mesh->getFacetsPtr(), sizeof(DzFacet) * size_t(mesh->getNumFacets()))
                    << (uv ? QString(uv->metaObject()->className()) + " " +
                                 hexOf(uv->getPnt2ArrayPtr(), sizeof(DzPnt2) * size_t(uv->getNumValues()))
                           : QString("no UVs"));
            }
            for (int m = 0; m < shape->getNumMaterials(); ++m) {
                DzMaterial* mat = shape->getMaterial(m);
                auto* dm = qobject_cast<DzDefaultMaterial*>(mat);
                out << QString("material %1|%2|%3|%4")
                           .arg(mat->metaObject()->className(), mat->getName(), mat->getLabel())
                           .arg(dm && dm->isSmoothingOn());
                for (int p = 0; p < mat->getNumProperties(); ++p) {
                    DzProperty* prop = mat->getProperty(p);
                    QString d = prop->getLabel() + "|" + prop->metaObject()->className();
                    if (auto* num = qobject_cast<DzNumericProperty*>(prop)) {
                        const double v = num->getDoubleValue();
                        d += "|" + hexOf(&v, sizeof v) + QString("|%1|").arg(num->isMappable()) +
                             (num->getMapValue() ? num->getMapValue()->getFilename() : QString());
                    } else if (auto* img = qobject_cast<DzImageProperty*>(prop)) {
                        d += "|" + (img->getValue() ? img->getValue()->getFilename() : QString());
                    }
                    out << d;
                }
            }
        }
    }
    return out;
}

QJsonObject readJson(const QString& path) { return QJsonDocument::fromJson(readBytes(path)).object(); }

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// v with the value at path (member names and array indices, from i on) changed by edit.
QJsonValue editedAt(QJsonValue v, const QVariantList& path, int i, const std::function<void(QJsonValue&)>& edit)
{
    if (i == path.size()) return edit(v), v;
    if (path[i].type() == QVariant::Int) {
        QJsonArray a = v.toArray();
        a[path[i].toInt()] = editedAt(a[path[i].toInt()], path, i + 1, edit);
        return a;
    }
    QJsonObject o = v.toObject();
    o[path[i].toString()] = editedAt(o[path[i].toString()], path, i + 1, edit);
    return o;
}

QByteArray edited(const QJsonObject& root, const QVariantList& path, const std::function<void(QJsonValue&)>& edit)
{
    return QJsonDocument(editedAt(root, path, 0, edit).toObject()).toJson();
}

QByteArray withValue(const QJsonObject& root, const QVariantList& path, const QJsonValue& value)
{
    return edited(root, path, [&](QJsonValue& v) { v = value; });
}

class SceneFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureTestPlugin();
        // As a plug-in pane does: a fresh element after every clear.
        m_fresh = QObject::connect(dzScene, &DzScene::sceneCleared, [] { dzScene->addDataItem(new TestSceneModel); });
        dzScene->clear();
        TestSceneModelIO::log().clear();
        ASSERT_TRUE(m_tmp.isValid());
        m_png = m_tmp.filePath("bark.png");
        QImage img(4, 4, QImage::Format_RGB32);
        img.fill(QColor(90, 60, 30));
        ASSERT_TRUE(img.save(m_png));
    }
    void TearDown() override
    {
        QObject::disconnect(m_fresh);
        dzScene->clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static TestSceneModel* model() { return qobject_cast<TestSceneModel*>(dzScene->findDataItem("TestSceneModel")); }
    QString path(const QString& name) const { return m_tmp.filePath(name); }

    // Floats whose exact bits matter: negative zero, denormals, the extremes and values with
    // no short decimal form.
    static float awkward(quint32 i)
    {
        static const float special[] = {-0.f, 1e-40f, -1e-45f, 3.4028235e38f, -3.4028235e38f, 1.f / 3.f};
        if (i % 7 < 6) return special[i % 7];
        quint32 state = i * 2654435761u;
        state = state * 214013u + 2531011u;
        return float(int(state >> 8) - (1 << 23)) / 4096.f + 0.1f;
    }

    static DzDefaultMaterial* material(const char* name, const char* label = nullptr)
    {
        auto* m = new DzDefaultMaterial;
        m->setName(name);
        if (label) m->setLabel(label);
        return m;
    }
    template <typename P>
    static P* prop(DzMaterial* m, const char* name)
    {
        return qobject_cast<P*>(m->findProperty(name));
    }

    void buildScene()
    {
        auto* terrain = new DzNode;
        terrain->setName("terrain_node");
        terrain->setLabel("(0000) Landscape");
        terrain->setLocalPos(DzVec3(0.f, -5.f, 0.f));
        auto* obj = new DzObject;
        obj->setName("terrain_obj");
        obj->setLabel("Landscape object");
        auto* shape = new DzFacetShape;
        shape->setName("terrain_shape");
        DzDefaultMaterial* ground = material("Ground", "Ground surface");
        ground->setDiffuseColor(QColor(0x33, 0x66, 0x22));
        ground->setSmoothingOn(true);
        prop<DzNumericProperty>(ground, "Glossiness")->setDoubleValue(0.37);
        prop<DzNumericProperty>(ground, "Diffuse Color")->setMap(dzApp->getImageMgr()->getImage(m_png));
        DzDefaultMaterial* rock = material("Rock", "Rock");
        auto* opacity = prop<DzNumericProperty>(rock, "Opacity Strength");
        opacity->setDoubleValue(0.5);
        opacity->setIsMappable(false);
        prop<DzImageProperty>(rock, "Normal Map")->setValue(dzApp->getImageMgr()->getImage(m_png));
        rock->addProperty(new DzFloatProperty("Wetness", 0.125));
        shape->addMaterial(ground);
        shape->addMaterial(rock);
        auto* mesh = new DzFacetMesh;
        mesh->setObjectName("terrain_mesh");
        auto* uvs = new DzUVSet;
        for (int i = 0; i < 9; ++i) {
            mesh->addVertex(float(i % 3) * 10.1f, awkward(quint32(i)), float(i / 3) * -7.3f);
            uvs->appendPnt2Vec(DzPnt2(float(i % 3) / 2.f, float(i / 3) / 3.f));
        }
        mesh->setUVList(uvs);
        for (int v : {0, 1, 3, 4}) {
            const int q[4] = {v, v + 1, v + 4, v + 3};
            mesh->activateMaterial((v % 3 + v / 3) % 2);
            mesh->addFacet(q, q);
        }
        shape->setFacetMesh(mesh);
        obj->addShape(shape);
        terrain->setObject(obj);

        auto* tree = new DzNode;
        tree->setName("tree_node");
        tree->setLabel("(0001) Tree");
        tree->setAssetId("tree-asset-1");
        tree->setVisible(false);
        tree->setSelectable(false);
        tree->setVisibleInRender(false);
        tree->setRenderPriority(3);
        tree->setPresentation(new DzPresentation);
        tree->getPresentation()->setType("Prop");
        auto* tobj = new DzObject;
        auto* tshape = new DzFacetShape;
        tshape->addMaterial(material("Bark"));
        auto* tmesh = new DzFacetMesh;
        for (quint32 i = 0; i < 301; ++i) tmesh->addVertex(awkward(i), awkward(i + 1), awkward(i * 5 + 2));
        for (int i = 0; i + 2 < 301; i += 3) {
            const int t[4] = {i, i + 1, i + 2, -1};
            tmesh->addFacet(t);
        }
        tshape->setFacetMesh(tmesh);
        tobj->addShape(tshape);
        tobj->addShape(new DzFacetShape);  // a shape whose mesh is not built yet
        tree->setObject(tobj);

        auto* leaf = new DzNode;
        leaf->setLabel("Leaf \"quoted\"\tand ünïcode ✓");
        dzScene->addNode(terrain);
        dzScene->addNode(leaf);  // before its parent in scene order
        dzScene->addNode(tree);
        terrain->addNodeChild(tree, false);
        tree->setLocalPos(DzVec3(1.5f, 2.f, -3.f));
        tree->setLocalRot(DzQuat::fromAxisAngle(DzVec3(0.3f, 1.f, 0.2f), 0.9f));
        tree->setLocalScale(DzVec3(0.5f, 0.5f, 0.5f));
        tree->addNodeChild(leaf, false);
        leaf->setLocalPos(DzVec3(0.f, 4.f, 0.1f));
        dzScene->setTimeStep(200);
        dzScene->setAnimEnd(9600);
        dzScene->setTime(960);
        model()->text = "line one\nline \"two\" ünïcode ✓";
    }

    QTemporaryDir m_tmp;
    QString m_png;
    QMetaObject::Connection m_fresh;
};

}  // namespace

TEST_F(SceneFile, SaveClearLoadBringsEverythingBackExactly)
{
    buildScene();
    // Texts as long as a mesh blob, without escapes, next to the blobs.
    dzScene->findNodeByLabel("(0001) Tree")->setAssetId(QString(20000, 'A'));
    model()->text += QString(20000, 'T');
    const QString text = model()->text;
    const QStringList before = describeScene();
    const QString file = path("round.json");
    QString error;
    {
        SignalLog log;
        ASSERT_TRUE(dzScene->saveScene(file, &error)) << qPrintable(error);
        EXPECT_EQ(log.names, QStringList{"saved"});
    }
    EXPECT_EQ(TestSceneModelIO::log(), QStringList{"write"});
    dzScene->clear();
    ASSERT_EQ(dzScene->getNumNodes(), 0);
    ASSERT_TRUE(model()->text.isEmpty());
    TestSceneModelIO::log().clear();

    SignalLog log;
    ASSERT_TRUE(dzScene->loadScene(file, &error)) << qPrintable(error);
    const QStringList phases{"loadStarting", "clearStarting", "cleared", "loaded"};
    EXPECT_EQ(log.only(phases), phases);
    EXPECT_EQ(log.names.count("nodeAdded"), 3);
    EXPECT_EQ(log.names.last(), "loaded");
    EXPECT_EQ(TestSceneModelIO::log(), (QStringList{"start", "apply", "resolve"}));
    EXPECT_EQ(describeScene(), before);
    EXPECT_EQ(model()->text, text);
    EXPECT_EQ(dzScene->getTime(), 960);
    EXPECT_EQ(dzScene->getTimeStep(), 200);
    EXPECT_EQ(dzScene->getAnimEnd(), 9600);
    EXPECT_EQ(dzScene->getFilename(), QFileInfo(file).absoluteFilePath());
}

TEST_F(SceneFile, CorruptFilesAreRefusedAndTheSceneIsUntouched)
{
    buildScene();
    const QString good = path("good.json");
    ASSERT_TRUE(dzScene->saveScene(good));
    const QByteArray goodBytes = readBytes(good);
    const QJsonObject root = readJson(good);
    const QVariantList mesh{"nodes", 0, "object", "shapes", 0, "mesh"};
    auto facetWord = [&](int word, qint32 value) {
        return edited(root, mesh + QVariantList{"facets"}, [=](QJsonValue& v) {
            QByteArray raw = QByteArray::fromBase64(v.toString().toLatin1());
            const qint32 le = qToLittleEndian(value);
            raw.replace(word * 4, 4, reinterpret_cast<const char*>(&le), 4);
            v = QString::fromLatin1(raw.toBase64());
        });
    };
    auto vertexWord = [&](const QVariantList& at, int word, float value) {
        return edited(root, at, [=](QJsonValue& v) {
            QByteArray raw = QByteArray::fromBase64(v.toString().toLatin1());
            const float le = qToLittleEndian(value);
            raw.replace(word * 4, 4, reinterpret_cast<const char*>(&le), 4);
            v = QString::fromLatin1(raw.toBase64());
        });
    };
    auto badChar = [&](const QVariantList& at, int index, char c) {  // index < 0 counts from the end
        return edited(root, at, [=](QJsonValue& v) {
            QString s = v.toString();
            s[index < 0 ? s.size() + index : index] = QLatin1Char(c);
            v = s;
        });
    };
    struct Case
    {
        const char* what;
        QByteArray bytes;
        const char* expect;
    };
    const QList<Case> cases{
        {"truncated", goodBytes.left(goodBytes.size() / 2), "not a scene file"},
        {"empty", QByteArray(), "empty"},
        {"not JSON", "\x89PNG\r\n\x1a\n binary", "not a scene file"},
        {"JSON array", "[1, 2, 3]", "not a Verdix host scene file"},
        {"wrong tag", withValue(root, {"format"}, "other-scene"), "not a Verdix host scene file"},
        {"newer version", withValue(root, {"version"}, 2), "newer"},
        {"unknown node class", withValue(root, {"nodes", 0, "class"}, "DzFigure"), "unknown class \"DzFigure\""},
        {"unknown material class",
         withValue(root, {"nodes", 0, "object", "shapes", 0, "materials", 1, "class"}, "DzUberMaterial"),
         "unknown class \"DzUberMaterial\""},
        {"facet index out of range", facetWord(2, 9), "facet 0 refers to vertex 9 of 9"},  // third vertex of facet 0
        {"material index out of range", facetWord(8, 2), "refers to material 2 of 2"},     // its material
        {"vertex count does not match", withValue(root, mesh + QVariantList{"vertex_count"}, 10), "\"vertices\""},
        {"not base64", badChar(mesh + QVariantList{"vertices"}, 5, '*'), "\"vertices\""},
        {"not base64 in a long blob", badChar({"nodes", 2, "object", "shapes", 0, "mesh", "facets"}, -9, '.'),
         "\"facets\" does not hold 100 items"},
        {"parent cycle", withValue(root, {"nodes", 2, "parent"}, 1), "its own ancestor"},  // the leaf, the tree's child
        {"parent out of range", withValue(root, {"nodes", 0, "parent"}, 3), "\"parent\""},
        {"wrong type", withValue(root, {"nodes", 2, "visible"}, "yes"), "\"visible\" must be true or false"},
        {"short transform", withValue(root, {"nodes", 2, "rot"}, QJsonArray{0, 0, 1}), "\"rot\""},
        {"missing member",
         edited(root, {"nodes", 1},
                [](QJsonValue& v) {
                    QJsonObject n = v.toObject();
                    n.remove("label");
                    v = n;
                }),
         "missing \"label\""},
        {"time step of 0", withValue(root, {"time_step"}, 0), "\"time_step\" must be a whole number"},
        {"negative animation end", withValue(root, {"anim_end"}, -160), "\"anim_end\" must be"},
        {"negative time", withValue(root, {"time"}, -1), "\"time\" must be"},
        {"active material -7", withValue(root, mesh + QVariantList{"active_material"}, -7),
         "\"active_material\" must be an integer from 0 to 1"},
        {"active material past the materials", withValue(root, mesh + QVariantList{"active_material"}, 2000000000),
         "\"active_material\" must be an integer from 0 to 1"},
        {"NaN vertex", vertexWord(mesh + QVariantList{"vertices"}, 4, std::numeric_limits<float>::quiet_NaN()),
         "vertex 1 of 9 has a coordinate that is not a finite number"},
        {"infinite vertex", vertexWord(mesh + QVariantList{"vertices"}, 26, -std::numeric_limits<float>::infinity()),
         "vertex 8 of 9 has a coordinate that is not a finite number (-inf)"},
        {"NaN UV", vertexWord(mesh + QVariantList{"uvs"}, 3, std::numeric_limits<float>::quiet_NaN()),
         "UV 1 of 9 is not a finite number"},
        {"position NaN", withValue(root, {"nodes", 2, "pos"}, QJsonArray{"nan", 1, 2}),
         "\"pos\" holds nan, not a finite number"},
        {"position past the float range", withValue(root, {"nodes", 2, "pos"}, QJsonArray{1, 1e308, 2}),
         "\"pos\" holds 1e+308, not a finite number"},
        {"scale infinite", withValue(root, {"nodes", 0, "scale"}, QJsonArray{1, 1, "inf"}), "\"scale\" holds inf"},
        {"scene data not an object", withValue(root, {"scene_data", kTestDataPath}, "text"), "scene data"},
    };

    const QList<DzNode*> nodes = dzScene->nodeList();
    const QStringList before = describeScene();
    const QString filename = dzScene->getFilename();
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString bad = path(QString("bad%1.json").arg(i++));
        writeBytes(bad, c.bytes);
        for (bool merge : {false, true}) {
            SignalLog log;
            TestSceneModelIO::log().clear();
            QString error;
            EXPECT_FALSE(merge ? dzScene->mergeScene(bad, &error) : dzScene->loadScene(bad, &error));
            EXPECT_TRUE(error.contains(c.expect) && error.contains(QFileInfo(bad).fileName())) << qPrintable(error);
            EXPECT_FALSE(error.contains('\n')) << qPrintable(error);
            EXPECT_TRUE(log.names.isEmpty()) << qPrintable(log.names.join(","));
            EXPECT_TRUE(TestSceneModelIO::log().isEmpty());
            EXPECT_EQ(dzScene->nodeList(), nodes);
            EXPECT_EQ(describeScene(), before);
            EXPECT_EQ(dzScene->getFilename(), filename);
            EXPECT_EQ(model()->text, "line one\nline \"two\" ünïcode ✓");
        }
    }
    QString error;
    EXPECT_FALSE(dzScene->loadScene(path("no-such-file.json"), &error));
    EXPECT_TRUE(error.contains("no such file")) << qPrintable(error);
    // The untouched file still loads.
    EXPECT_TRUE(dzScene->loadScene(good, &error)) << qPrintable(error);
}

TEST_F(SceneFile, FailedSavesKeepTheOlderFile)
{
    buildScene();
    const QString file = path("keep.json");
    ASSERT_TRUE(dzScene->saveScene(file));
    const QByteArray before = readBytes(file);
    const QString filename = dzScene->getFilename();

    // A facet that points past the vertices would make a file that cannot be read back.
    auto* shape = qobject_cast<DzFacetShape*>(dzScene->findNodeByLabel("(0001) Tree")->getObject()->getShape(0));
    const int broken[4] = {0, 1, 5000, -1};
    shape->getFacetMesh()->addFacet(broken);
    QString error;
    EXPECT_FALSE(dzScene->saveScene(file, &error));
    EXPECT_TRUE(error.contains("(0001) Tree") && error.contains("refers to vertex 5000")) << qPrintable(error);
    EXPECT_EQ(readBytes(file), before);

    error.clear();
    EXPECT_FALSE(dzScene->saveScene(path("no/such/folder/scene.json"), &error));
    EXPECT_TRUE(error.contains("scene.json")) << qPrintable(error);
    error.clear();
    EXPECT_FALSE(dzScene->saveScene(m_tmp.path(), &error));  // a folder
    EXPECT_FALSE(error.isEmpty() || error.contains('\n')) << qPrintable(error);
    EXPECT_EQ(dzScene->getFilename(), filename);
}

TEST_F(SceneFile, MissingTexturesLeaveMapsEmptyAndRelativePathsFollowTheFile)
{
    buildScene();
    const QString file = path("tex.json");
    ASSERT_TRUE(dzScene->saveScene(file));
    ASSERT_TRUE(QFile::copy(m_png, path("relative.png")));
    const QStringList names = DzDefaultMaterial::propertyNames();
    const QVariantList mats{"nodes", 0, "object", "shapes", 0, "materials"};
    const QByteArray gone = withValue(
        readJson(file), mats + QVariantList{0, "properties", names.indexOf("Diffuse Color"), "map"}, path("gone.png"));
    writeBytes(file,
               withValue(QJsonDocument::fromJson(gone).object(),
                         mats + QVariantList{1, "properties", names.indexOf("Normal Map"), "image"}, "relative.png"));

    QString error;
    ASSERT_TRUE(dzScene->loadScene(file, &error)) << qPrintable(error);
    DzShape* loaded = dzScene->findNodeByLabel("(0000) Landscape")->getObject()->getShape(0);
    auto* g = qobject_cast<DzDefaultMaterial*>(loaded->findMaterial("Ground"));
    EXPECT_EQ(g->getColorMap(), nullptr);
    EXPECT_DOUBLE_EQ(qobject_cast<DzNumericProperty*>(g->findProperty("Glossiness"))->getDoubleValue(), 0.37);
    auto* normal = qobject_cast<DzImageProperty*>(loaded->findMaterial("Rock")->findProperty("Normal Map"));
    ASSERT_TRUE(normal->getValue());
    EXPECT_EQ(normal->getValue()->getFilename(), QFileInfo(path("relative.png")).absoluteFilePath());
}

// A scene takes images from its own folder and the libraries the image manager was given,
// nowhere else: a path out of them is left off with one message, and the rest of the scene
// loads as it was saved.
TEST_F(SceneFile, TexturesOutOfTheSceneFolderAndTheLibrariesAreLeftOffWithAMessage)
{
    QTemporaryDir outside, library;
    ASSERT_TRUE(QFile::copy(m_png, outside.filePath("secret.png")));
    ASSERT_TRUE(QFile::copy(m_png, library.filePath("bark.png")));
    ASSERT_TRUE(QDir(m_tmp.path()).mkpath("scenes/sub"));
    ASSERT_TRUE(QFile::copy(m_png, path("scenes/sub/beside.png")));
    ASSERT_TRUE(QFile::link(outside.filePath("secret.png"), path("scenes/sub/link.png")));
    buildScene();
    const int nodes = dzScene->nodeList().size();
    const QString file = path("scenes/sub/tex.json");
    ASSERT_TRUE(dzScene->saveScene(file));
    const QString upAndOut = QDir(path("scenes/sub")).relativeFilePath(outside.filePath("secret.png"));
    ASSERT_TRUE(QFileInfo::exists(path("scenes/sub/" + upAndOut))) << qPrintable(upAndOut);

    const QStringList names = DzDefaultMaterial::propertyNames();
    const QVariantList mats{"nodes", 0, "object", "shapes", 0, "materials"};
    const auto sceneWith = [&](const QString& diffuse, const QString& normal) {
        const QByteArray a = withValue(
            readJson(file), mats + QVariantList{0, "properties", names.indexOf("Diffuse Color"), "map"}, diffuse);
        writeBytes(file, withValue(QJsonDocument::fromJson(a).object(),
                                   mats + QVariantList{1, "properties", names.indexOf("Normal Map"), "image"}, normal));
    };
    const auto maps = [&]() -> std::pair<DzTexture*, DzTexture*> {
        DzShape* shape = dzScene->findNodeByLabel("(0000) Landscape")->getObject()->getShape(0);
        return {qobject_cast<DzDefaultMaterial*>(shape->findMaterial("Ground"))->getColorMap(),
                qobject_cast<DzImageProperty*>(shape->findMaterial("Rock")->findProperty("Normal Map"))->getValue()};
    };
    DzDialogService* dialogs = dzApp->dialogs();

    dzApp->getImageMgr()->setImageFolder("test library", library.path());
    const bool threads = dzApp->isMultiThreadingEnabled();
    dzApp->enableMultiThreading(true);  // textures are decoded side by side then
    const struct
    {
        QString diffuse, normal;
        QStringList refused;  // in the message, in this order
    } cases[] = {
        {"beside.png", library.filePath("bark.png"), {}},
        {upAndOut, "/etc/passwd", {upAndOut, "/etc/passwd"}},
        {outside.filePath("secret.png"), "link.png", {outside.filePath("secret.png"), "link.png"}},
        {"beside.png", "../../../../../../../../../../etc/passwd", {"../../../../../../../../../../etc/passwd"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.diffuse + " " + c.normal).toStdString());
        sceneWith(c.diffuse, c.normal);
        dialogs->clearLog();
        const int errors = dialogs->errorCount();
        QString error;
        ASSERT_TRUE(dzScene->loadScene(file, &error)) << qPrintable(error);
        EXPECT_EQ(dzScene->nodeList().size(), nodes);
        EXPECT_EQ(dzScene->findNodeByLabel("(0000) Landscape")->getObject()->getShape(0)->getNumMaterials(), 2);
        const auto [colour, normal] = maps();
        const bool diffuseRefused = c.refused.contains(c.diffuse), normalRefused = c.refused.contains(c.normal);
        EXPECT_EQ(colour == nullptr, diffuseRefused);
        EXPECT_EQ(normal == nullptr, normalRefused);
        if (c.refused.isEmpty()) {
            EXPECT_EQ(dialogs->errorCount(), errors);
            continue;
        }
        ASSERT_EQ(dialogs->errorCount(), errors + 1);
        const QString said = dialogs->messages().last().text;
        EXPECT_TRUE(said.contains(QDir::toNativeSeparators(file))) << qPrintable(said);
        EXPECT_TRUE(said.contains("out of the library and the scene's folder")) << qPrintable(said);
        for (const QString& r : c.refused) EXPECT_TRUE(said.contains('"' + r + '"')) << qPrintable(said);
    }
    dzApp->getImageMgr()->setImageFolder("test library", QString());

    // Beside the scene but damaged: left off as well, by name and with the decoder's reason.
    QImage noise(64, 64, QImage::Format_RGB32);
    for (int i = 0; i < 64 * 64; ++i) noise.setPixel(i % 64, i / 64, qRgb(i * 37 % 251, i * 91 % 241, i * 13 % 239));
    ASSERT_TRUE(noise.save(path("scenes/sub/damaged.png")));
    QByteArray bytes = readBytes(path("scenes/sub/damaged.png"));
    const int data = bytes.indexOf("IDAT") + 4;
    for (int k = data + 40; k < data + 200; ++k) bytes[k] = char(bytes[k] ^ 0x5a);
    writeBytes(path("scenes/sub/damaged.png"), bytes);
    sceneWith("damaged.png", "beside.png");
    dialogs->clearLog();
    const int errors = dialogs->errorCount();
    ASSERT_TRUE(dzScene->loadScene(file));
    EXPECT_EQ(maps().first, nullptr);
    EXPECT_NE(maps().second, nullptr);
    ASSERT_EQ(dialogs->errorCount(), errors + 1);
    const QString said = dialogs->messages().last().text;
    EXPECT_TRUE(said.startsWith("The texture \"damaged.png\" of \"" + QDir::toNativeSeparators(file) +
                                "\" cannot be read: its PNG data is damaged"))
        << qPrintable(said);
    dialogs->clearLog();
    dzApp->enableMultiThreading(threads);
}

TEST_F(SceneFile, MergeAddsNodesAndKeepsNameTimeAndSceneData)
{
    buildScene();
    const QString other = path("other.json");
    ASSERT_TRUE(dzScene->saveScene(other));
    dzScene->clear();
    auto* mine = new DzNode;
    mine->setLabel("mine");
    dzScene->addNode(mine);
    dzScene->setTime(480);
    model()->text = "my own";
    const QString own = path("own.json");
    ASSERT_TRUE(dzScene->saveScene(own));
    TestSceneModelIO::log().clear();

    SignalLog log;
    QString error;
    ASSERT_TRUE(dzScene->mergeScene(other, &error)) << qPrintable(error);
    EXPECT_EQ(log.only({"loadStarting", "clearStarting", "cleared", "loaded"}),
              (QStringList{"loadStarting", "loaded"}));
    ASSERT_EQ(dzScene->getNumNodes(), 4);
    EXPECT_EQ(dzScene->getNode(0), mine);
    EXPECT_EQ(dzScene->findNodeByLabel("(0001) Tree")->getNodeParent(), dzScene->findNodeByLabel("(0000) Landscape"));
    EXPECT_EQ(dzScene->getFilename(), QFileInfo(own).absoluteFilePath());
    EXPECT_EQ(dzScene->getTime(), 480);
    EXPECT_EQ(model()->text, "my own");
    EXPECT_TRUE(TestSceneModelIO::log().isEmpty());
}

TEST_F(SceneFile, EmptySceneDataIsNotWrittenAndThatOfAMissingPlugInIsSkipped)
{
    auto* n = new DzNode;
    n->setLabel("alone");
    dzScene->addNode(n);
    const QString file = path("extra.json");
    ASSERT_TRUE(dzScene->saveScene(file));
    EXPECT_TRUE(readJson(file).value("scene_data").toObject().isEmpty());

    model()->text = "kept";
    ASSERT_TRUE(dzScene->saveScene(file));
    writeBytes(file, withValue(readJson(file), {"scene_data", "studio/scene_data/some_older_plugin"},
                               QJsonObject{{"Old_text", "whatever"}}));
    dzScene->clear();
    TestSceneModelIO::log().clear();
    QString error;
    ASSERT_TRUE(dzScene->loadScene(file, &error)) << qPrintable(error);
    EXPECT_EQ(model()->text, "kept");
    EXPECT_EQ(TestSceneModelIO::log(), (QStringList{"start", "apply", "resolve"}));
}

// Counts in a scene file are claims: a mesh that says it has 178 million vertices and UVs but
// holds far fewer is refused before anything is allocated for the claim.
TEST_F(SceneFile, CountsPastTheDataAreRefusedBeforeAllocating)
{
    buildScene();
    const QString file = path("claims.json");
    ASSERT_TRUE(dzScene->saveScene(file));
    const QVariantList mesh{"nodes", 0, "object", "shapes", 0, "mesh"};
    const QJsonObject vertices =
        QJsonDocument::fromJson(withValue(readJson(file), mesh + QVariantList{"vertex_count"}, 178000000)).object();
    writeBytes(file, withValue(vertices, mesh + QVariantList{"uv_count"}, 178000000));

    // Loaded in a child of its own, whose peak memory tells what the load asked for.
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    const long before = ru.ru_maxrss;
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        QString error;
        const bool loaded = dzScene->loadScene(file, &error);
        _exit(!loaded && error.contains("\"vertices\" does not hold 178000000 items") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(wait4(pid, &status, 0, &ru), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the load did not end by itself";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "refused for another reason, or not at all";
    EXPECT_LT(ru.ru_maxrss - before, 256L * 1024) << "peak grew by " << (ru.ru_maxrss - before) / 1024 << " MB";
}
