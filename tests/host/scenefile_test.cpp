#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <limits>
#include <dzapp.h>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>
#include "hosttestsupport.h"

namespace {

// Records the scene's signals by name.
class SignalLog
{
public:
    SignalLog()
    {
        auto rec = [this](const char* name) { return [this, name]() { names << name; }; };
        m_c << QObject::connect(dzScene, &DzScene::sceneLoadStarting, rec("sceneLoadStarting"))
            << QObject::connect(dzScene, &DzScene::sceneClearStarting, rec("sceneClearStarting"))
            << QObject::connect(dzScene, &DzScene::sceneCleared, rec("sceneCleared"))
            << QObject::connect(dzScene, &DzScene::sceneLoaded, rec("sceneLoaded"))
            << QObject::connect(dzScene, &DzScene::sceneSaved, rec("sceneSaved"))
            << QObject::connect(dzScene, &DzScene::nodeAdded, rec("nodeAdded"))
            << QObject::connect(dzScene, &DzScene::nodeRemoved, rec("nodeRemoved"))
            << QObject::connect(dzScene, &DzScene::timeChanged, rec("timeChanged"))
            << QObject::connect(dzScene, &DzScene::primarySelectionChanged, rec("primarySelectionChanged"));
    }
    ~SignalLog()
    {
        for (const auto& c : m_c) QObject::disconnect(c);
    }
    // Only the named ones, in order.
    QStringList only(const QStringList& wanted) const
    {
        QStringList out;
        for (const QString& n : names)
            if (wanted.contains(n)) out << n;
        return out;
    }
    QStringList names;

private:
    QList<QMetaObject::Connection> m_c;
};

QByteArray bytesOf(const void* p, size_t n) { return QByteArray(static_cast<const char*>(p), int(n)); }

// Everything a node carries, as comparable values; floats by their bits.
struct MaterialShot
{
    QString cls, name, label;
    bool smoothing;
    QStringList props;
};
struct ShapeShot
{
    QString cls, name, label, uvClass;
    bool hasMesh;
    int activeMaterial;
    QByteArray verts, uvs, facets;
    QList<MaterialShot> materials;
};
struct NodeShot
{
    QString name, label, assetId, presentation;
    int parent;
    QByteArray transform;
    bool visible, selectable, visibleInRender;
    int priority;
    bool hasObject;
    QString objName, objLabel;
    QList<ShapeShot> shapes;
};

QList<NodeShot> shoot()
{
    QList<NodeShot> out;
    const QList<DzNode*> nodes = dzScene->nodeList();
    for (DzNode* n : nodes) {
        NodeShot s;
        s.name = n->getName();
        s.label = n->getLabel();
        s.assetId = n->getAssetId();
        s.presentation = n->getPresentation() ? "type:" + n->getPresentation()->getType() : QString();
        s.parent = nodes.indexOf(n->getNodeParent());
        const DzTransform t = n->getLocalTransform();
        s.transform = bytesOf(&t.pos, sizeof t.pos) + bytesOf(&t.rot, sizeof t.rot) + bytesOf(&t.scale, sizeof t.scale);
        s.visible = n->isVisible();
        s.selectable = n->isSelectable();
        s.visibleInRender = n->isVisibleInRender();
        s.priority = n->getRenderPriority();
        s.hasObject = n->getObject() != nullptr;
        if (DzObject* obj = n->getObject()) {
            s.objName = obj->getName();
            s.objLabel = obj->getLabel();
            for (int i = 0; i < obj->getNumShapes(); ++i) {
                DzShape* shape = obj->getShape(i);
                ShapeShot ss;
                ss.cls = shape->metaObject()->className();
                ss.name = shape->getName();
                ss.label = shape->getLabel();
                auto* fs = qobject_cast<DzFacetShape*>(shape);
                DzFacetMesh* mesh = fs ? fs->getFacetMesh() : nullptr;
                ss.hasMesh = mesh != nullptr;
                ss.activeMaterial = mesh ? mesh->getActiveMaterial() : -1;
                if (mesh) {
                    ss.verts = bytesOf(mesh->getVerticesPtr(), sizeof(DzVec3) * size_t(mesh->getNumVertices()));
                    ss.facets = bytesOf(mesh->getFacetsPtr(), sizeof(DzFacet) * size_t(mesh->getNumFacets()));
                    if (DzMap* uv = mesh->getUVs()) {
                        ss.uvClass = uv->metaObject()->className();
                        ss.uvs = bytesOf(uv->getPnt2ArrayPtr(), sizeof(DzPnt2) * size_t(uv->getNumValues()));
                    }
                }
                for (int m = 0; m < shape->getNumMaterials(); ++m) {
                    DzMaterial* mat = shape->getMaterial(m);
                    MaterialShot ms;
                    ms.cls = mat->metaObject()->className();
                    ms.name = mat->getName();
                    ms.label = mat->getLabel();
                    auto* dm = qobject_cast<DzDefaultMaterial*>(mat);
                    ms.smoothing = dm && dm->isSmoothingOn();
                    for (int p = 0; p < mat->getNumProperties(); ++p) {
                        DzProperty* prop = mat->getProperty(p);
                        QString d = prop->getLabel() + "|" + prop->metaObject()->className();
                        if (auto* num = qobject_cast<DzNumericProperty*>(prop)) {
                            const double v = num->getDoubleValue();
                            d += QString("|%1|%2|%3")
                                     .arg(QString(bytesOf(&v, sizeof v).toHex()))
                                     .arg(num->isMappable())
                                     .arg(num->getMapValue() ? num->getMapValue()->getFilename() : QString());
                        } else if (auto* img = qobject_cast<DzImageProperty*>(prop)) {
                            d += "|" + (img->getValue() ? img->getValue()->getFilename() : QString());
                        }
                        ms.props << d;
                    }
                    ss.materials << ms;
                }
                s.shapes << ss;
            }
        }
        out << s;
    }
    return out;
}

void expectSame(const QList<NodeShot>& a, const QList<NodeShot>& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (int i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(qPrintable(a[i].label));
        const NodeShot &x = a[i], &y = b[i];
        EXPECT_EQ(x.name, y.name);
        EXPECT_EQ(x.label, y.label);
        EXPECT_EQ(x.assetId, y.assetId);
        EXPECT_EQ(x.presentation, y.presentation);
        EXPECT_EQ(x.parent, y.parent);
        EXPECT_EQ(x.transform.toHex(), y.transform.toHex());
        EXPECT_EQ(x.visible, y.visible);
        EXPECT_EQ(x.selectable, y.selectable);
        EXPECT_EQ(x.visibleInRender, y.visibleInRender);
        EXPECT_EQ(x.priority, y.priority);
        EXPECT_EQ(x.hasObject, y.hasObject);
        EXPECT_EQ(x.objName, y.objName);
        EXPECT_EQ(x.objLabel, y.objLabel);
        ASSERT_EQ(x.shapes.size(), y.shapes.size());
        for (int s = 0; s < x.shapes.size(); ++s) {
            const ShapeShot &p = x.shapes[s], &q = y.shapes[s];
            EXPECT_EQ(p.cls, q.cls);
            EXPECT_EQ(p.name, q.name);
            EXPECT_EQ(p.label, q.label);
            EXPECT_EQ(p.hasMesh, q.hasMesh);
            EXPECT_EQ(p.activeMaterial, q.activeMaterial);
            EXPECT_TRUE(p.verts == q.verts) << "vertices differ";
            EXPECT_TRUE(p.uvs == q.uvs) << "UVs differ";
            EXPECT_TRUE(p.facets == q.facets) << "facets differ";
            EXPECT_EQ(p.uvClass, q.uvClass);
            ASSERT_EQ(p.materials.size(), q.materials.size());
            for (int m = 0; m < p.materials.size(); ++m) {
                EXPECT_EQ(p.materials[m].cls, q.materials[m].cls);
                EXPECT_EQ(p.materials[m].name, q.materials[m].name);
                EXPECT_EQ(p.materials[m].label, q.materials[m].label);
                EXPECT_EQ(p.materials[m].smoothing, q.materials[m].smoothing);
                EXPECT_EQ(p.materials[m].props, q.materials[m].props);
            }
        }
    }
}

// Facet blobs are little-endian int32s.
void setInt32(QByteArray& raw, int index, qint32 value)
{
    const qint32 le = qToLittleEndian(value);
    raw.replace(index * 4, 4, reinterpret_cast<const char*>(&le), 4);
}

QJsonObject readJson(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(f.readAll()).object();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
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

    // Floats whose exact bits matter: negative zero, a denormal, NaN, the extremes and
    // values with no short decimal form.
    static float awkward(quint32 i)
    {
        static const float special[] = {-0.f, 1e-40f, std::numeric_limits<float>::quiet_NaN(), 3.4028235e38f,
                                        -std::numeric_limits<float>::infinity(), 1.f / 3.f};
        if (i % 7 < 6) return special[i % 7];
        quint32 state = i * 2654435761u;
        state = state * 214013u + 2531011u;
        return float(int(state >> 8) - (1 << 23)) / 4096.f + 0.1f;
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
        auto* ground = new DzDefaultMaterial;
        ground->setName("Ground");
        ground->setLabel("Ground surface");
        ground->setDiffuseColor(QColor(0x33, 0x66, 0x22));
        ground->setSmoothingOn(true);
        qobject_cast<DzNumericProperty*>(ground->findProperty("Glossiness"))->setDoubleValue(0.37);
        qobject_cast<DzNumericProperty*>(ground->findProperty("Diffuse Color"))
            ->setMap(dzApp->getImageMgr()->getImage(m_png));
        auto* rock = new DzDefaultMaterial;
        rock->setName("Rock");
        rock->setLabel("Rock");
        auto* opacity = qobject_cast<DzNumericProperty*>(rock->findProperty("Opacity Strength"));
        opacity->setDoubleValue(0.5);
        opacity->setIsMappable(false);
        qobject_cast<DzImageProperty*>(rock->findProperty("Normal Map"))->setValue(dzApp->getImageMgr()->getImage(m_png));
        rock->addProperty(new DzFloatProperty("Wetness", 0.125));
        shape->addMaterial(ground);
        shape->addMaterial(rock);
        auto* mesh = new DzFacetMesh;
        mesh->setObjectName("terrain_mesh");
        auto* uvs = new DzUVSet;
        for (int z = 0; z < 3; ++z)
            for (int x = 0; x < 3; ++x) {
                mesh->addVertex(float(x) * 10.1f, awkward(quint32(z * 3 + x)), float(z) * -7.3f);
                uvs->appendPnt2Vec(DzPnt2(float(x) / 2.f, float(z) / 3.f));
            }
        mesh->setUVList(uvs);
        for (int z = 0; z < 2; ++z)
            for (int x = 0; x < 2; ++x) {
                const int v = z * 3 + x;
                const int q[4] = {v, v + 1, v + 4, v + 3};
                mesh->activateMaterial((x + z) % 2);
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
        auto* pres = new DzPresentation;
        pres->setType("Prop");
        tree->setPresentation(pres);
        auto* tobj = new DzObject;
        auto* tshape = new DzFacetShape;
        auto* bark = new DzDefaultMaterial;
        bark->setName("Bark");
        tshape->addMaterial(bark);
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

    // Texts as long as a mesh blob, without escapes.
    static QString longText(QChar c) { return QString(20000, c); }

    QTemporaryDir m_tmp;
    QString m_png;
    QMetaObject::Connection m_fresh;
};

}  // namespace

TEST_F(SceneFile, SaveClearLoadBringsEverythingBackExactly)
{
    buildScene();
    const QList<NodeShot> before = shoot();
    const QString file = path("round.json");
    QString error;
    {
        SignalLog log;
        ASSERT_TRUE(dzScene->saveScene(file, &error)) << qPrintable(error);
        EXPECT_EQ(log.names, QStringList{"sceneSaved"});
    }
    EXPECT_EQ(dzScene->getFilename(), QFileInfo(file).absoluteFilePath());
    EXPECT_EQ(TestSceneModelIO::log(), QStringList{"write"});

    dzScene->clear();
    ASSERT_EQ(dzScene->getNumNodes(), 0);
    ASSERT_TRUE(model()->text.isEmpty());
    TestSceneModelIO::log().clear();

    SignalLog log;
    ASSERT_TRUE(dzScene->loadScene(file, &error)) << qPrintable(error);
    EXPECT_EQ(log.only({"sceneLoadStarting", "sceneClearStarting", "sceneCleared", "sceneLoaded"}),
              (QStringList{"sceneLoadStarting", "sceneClearStarting", "sceneCleared", "sceneLoaded"}));
    EXPECT_EQ(log.names.count("nodeAdded"), 3);
    EXPECT_EQ(log.names.last(), "sceneLoaded");
    EXPECT_EQ(TestSceneModelIO::log(), (QStringList{"start", "apply", "resolve"}));

    expectSame(before, shoot());
    EXPECT_EQ(model()->text, "line one\nline \"two\" ünïcode ✓");
    EXPECT_EQ(dzScene->getTime(), 960);
    EXPECT_EQ(dzScene->getTimeStep(), 200);
    EXPECT_EQ(dzScene->getAnimEnd(), 9600);
    EXPECT_EQ(dzScene->getFilename(), QFileInfo(file).absoluteFilePath());
}

TEST_F(SceneFile, LongTextsSurviveNextToLongBlobs)
{
    buildScene();
    DzNode* tree = dzScene->findNodeByLabel("(0001) Tree");
    tree->setLabel(longText('L'));
    tree->setAssetId(longText('A'));
    model()->text = longText('T');
    const QList<NodeShot> before = shoot();
    const QString file = path("long.json");
    ASSERT_TRUE(dzScene->saveScene(file));
    QString error;
    ASSERT_TRUE(dzScene->loadScene(file, &error)) << qPrintable(error);
    expectSame(before, shoot());
    EXPECT_EQ(model()->text, longText('T'));
}

TEST_F(SceneFile, EmptySceneDataIsNotWritten)
{
    auto* n = new DzNode;
    n->setLabel("alone");
    dzScene->addNode(n);
    const QString file = path("empty.json");
    ASSERT_TRUE(dzScene->saveScene(file));
    const QJsonObject root = readJson(file);
    EXPECT_EQ(root.value("format").toString(), "verdix-host-scene");
    EXPECT_TRUE(root.value("scene_data").toObject().isEmpty());
    EXPECT_EQ(root.value("nodes").toArray().size(), 1);
}

TEST_F(SceneFile, CorruptFilesAreRefusedAndTheSceneIsUntouched)
{
    buildScene();
    const QString good = path("good.json");
    ASSERT_TRUE(dzScene->saveScene(good));
    const QByteArray goodBytes = readBytes(good);
    const QJsonObject root = readJson(good);

    auto edit = [&](const std::function<void(QJsonObject&)>& f) {
        QJsonObject r = root;
        f(r);
        return QJsonDocument(r).toJson();
    };
    auto editNode = [&](int i, const std::function<void(QJsonObject&)>& f) {
        return edit([&](QJsonObject& r) {
            QJsonArray nodes = r["nodes"].toArray();
            QJsonObject n = nodes[i].toObject();
            f(n);
            nodes[i] = n;
            r["nodes"] = nodes;
        });
    };
    auto editMesh = [&](const std::function<void(QJsonObject&)>& f) {
        return editNode(0, [&](QJsonObject& n) {
            QJsonObject obj = n["object"].toObject();
            QJsonArray shapes = obj["shapes"].toArray();
            QJsonObject shape = shapes[0].toObject();
            QJsonObject mesh = shape["mesh"].toObject();
            f(mesh);
            shape["mesh"] = mesh;
            shapes[0] = shape;
            obj["shapes"] = shapes;
            n["object"] = obj;
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
        {"wrong tag", edit([](QJsonObject& r) { r["format"] = "other-scene"; }), "not a Verdix host scene file"},
        {"newer version", edit([](QJsonObject& r) { r["version"] = 2; }), "newer"},
        {"unknown node class", editNode(0, [](QJsonObject& n) { n["class"] = "DzFigure"; }), "unknown class \"DzFigure\""},
        {"unknown material class", editNode(0, [](QJsonObject& n) {
             QJsonObject obj = n["object"].toObject();
             QJsonArray shapes = obj["shapes"].toArray();
             QJsonObject shape = shapes[0].toObject();
             QJsonArray mats = shape["materials"].toArray();
             QJsonObject m = mats[1].toObject();
             m["class"] = "DzUberMaterial";
             mats[1] = m;
             shape["materials"] = mats;
             shapes[0] = shape;
             obj["shapes"] = shapes;
             n["object"] = obj;
         }), "unknown class \"DzUberMaterial\""},
        {"facet index out of range", editMesh([](QJsonObject& m) {
             QByteArray raw = QByteArray::fromBase64(m["facets"].toString().toLatin1());
             setInt32(raw, 2, 9);  // third vertex of facet 0
             m["facets"] = QString::fromLatin1(raw.toBase64());
         }), "facet 0 refers to vertex 9 of 9"},
        {"material index out of range", editMesh([](QJsonObject& m) {
             QByteArray raw = QByteArray::fromBase64(m["facets"].toString().toLatin1());
             setInt32(raw, 8, 2);  // its material
             m["facets"] = QString::fromLatin1(raw.toBase64());
         }), "refers to material 2 of 2"},
        {"vertex count does not match", editMesh([](QJsonObject& m) { m["vertex_count"] = 10; }), "\"vertices\""},
        {"not base64", editMesh([](QJsonObject& m) {
             QString s = m["vertices"].toString();
             s[5] = '*';
             m["vertices"] = s;
         }), "\"vertices\""},
        {"not base64 in a long blob", editNode(2, [](QJsonObject& n) {
             QJsonObject obj = n["object"].toObject();
             QJsonArray shapes = obj["shapes"].toArray();
             QJsonObject shape = shapes[0].toObject();
             QJsonObject mesh = shape["mesh"].toObject();
             QString s = mesh["facets"].toString();
             s[s.size() - 9] = '.';
             mesh["facets"] = s;
             shape["mesh"] = mesh;
             shapes[0] = shape;
             obj["shapes"] = shapes;
             n["object"] = obj;
         }), "\"facets\" does not hold 100 items"},
        {"parent cycle", edit([](QJsonObject& r) {
             QJsonArray nodes = r["nodes"].toArray();
             QJsonObject tree = nodes[2].toObject();
             tree["parent"] = 1;  // the leaf, whose parent is the tree
             nodes[2] = tree;
             r["nodes"] = nodes;
         }), "its own ancestor"},
        {"parent out of range", editNode(0, [](QJsonObject& n) { n["parent"] = 3; }), "\"parent\""},
        {"wrong type", editNode(2, [](QJsonObject& n) { n["visible"] = "yes"; }), "\"visible\" must be true or false"},
        {"short transform", editNode(2, [](QJsonObject& n) { n["rot"] = QJsonArray{0, 0, 1}; }), "\"rot\""},
        {"missing member", editNode(1, [](QJsonObject& n) { n.remove("label"); }), "missing \"label\""},
        {"time step of 0", edit([](QJsonObject& r) { r["time_step"] = 0; }), "\"time_step\" must be a whole number"},
        {"negative animation end", edit([](QJsonObject& r) { r["anim_end"] = -160; }), "\"anim_end\" must be"},
        {"negative time", edit([](QJsonObject& r) { r["time"] = -1; }), "\"time\" must be"},
        {"active material -7", editMesh([](QJsonObject& m) { m["active_material"] = -7; }),
         "\"active_material\" must be an integer from 0 to 1"},
        {"active material past the materials", editMesh([](QJsonObject& m) { m["active_material"] = 2000000000; }),
         "\"active_material\" must be an integer from 0 to 1"},
        {"scene data not an object", edit([](QJsonObject& r) {
             QJsonObject sd = r["scene_data"].toObject();
             sd[kTestDataPath] = "text";
             r["scene_data"] = sd;
         }), "scene data"},
    };

    const QList<DzNode*> nodes = dzScene->nodeList();
    QStringList labels;
    for (DzNode* n : nodes) labels << n->getLabel();
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
            EXPECT_TRUE(error.contains(c.expect)) << qPrintable(error);
            EXPECT_TRUE(error.contains(QFileInfo(bad).fileName())) << qPrintable(error);
            EXPECT_FALSE(error.contains('\n')) << qPrintable(error);
            EXPECT_TRUE(log.names.isEmpty()) << qPrintable(log.names.join(","));
            EXPECT_TRUE(TestSceneModelIO::log().isEmpty());
            EXPECT_EQ(dzScene->nodeList(), nodes);
            QStringList now;
            for (DzNode* n : dzScene->nodeList()) now << n->getLabel();
            EXPECT_EQ(now, labels);
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
    EXPECT_TRUE(error.contains("(0001) Tree")) << qPrintable(error);
    EXPECT_TRUE(error.contains("refers to vertex 5000")) << qPrintable(error);
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(dzScene->getFilename(), filename);

    error.clear();
    EXPECT_FALSE(dzScene->saveScene(path("no/such/folder/scene.json"), &error));
    EXPECT_TRUE(error.contains("scene.json")) << qPrintable(error);
    error.clear();
    EXPECT_FALSE(dzScene->saveScene(m_tmp.path(), &error));  // a folder
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(error.contains('\n'));
    EXPECT_EQ(dzScene->getFilename(), filename);
}

TEST_F(SceneFile, MissingTexturesLeaveMapsEmptyAndRelativePathsFollowTheFile)
{
    buildScene();
    const QString file = path("tex.json");
    ASSERT_TRUE(dzScene->saveScene(file));
    ASSERT_TRUE(QFile::copy(m_png, path("relative.png")));
    QJsonObject root = readJson(file);
    QJsonArray nodes = root["nodes"].toArray();
    QJsonObject n = nodes[0].toObject();
    QJsonObject obj = n["object"].toObject();
    QJsonArray shapes = obj["shapes"].toArray();
    QJsonObject shape = shapes[0].toObject();
    QJsonArray mats = shape["materials"].toArray();
    auto setMap = [](QJsonObject& mat, const QString& prop, const char* key, const QString& file) {
        QJsonArray props = mat["properties"].toArray();
        for (int i = 0; i < props.size(); ++i) {
            QJsonObject p = props[i].toObject();
            if (p["name"].toString() == prop) p[key] = file;
            props[i] = p;
        }
        mat["properties"] = props;
    };
    QJsonObject ground = mats[0].toObject(), rock = mats[1].toObject();
    setMap(ground, "Diffuse Color", "map", path("gone.png"));
    setMap(rock, "Normal Map", "image", "relative.png");
    mats[0] = ground;
    mats[1] = rock;
    shape["materials"] = mats;
    shapes[0] = shape;
    obj["shapes"] = shapes;
    n["object"] = obj;
    nodes[0] = n;
    root["nodes"] = nodes;
    writeBytes(file, QJsonDocument(root).toJson());

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
    EXPECT_EQ(log.only({"sceneLoadStarting", "sceneClearStarting", "sceneCleared", "sceneLoaded"}),
              (QStringList{"sceneLoadStarting", "sceneLoaded"}));
    ASSERT_EQ(dzScene->getNumNodes(), 4);
    EXPECT_EQ(dzScene->getNode(0), mine);
    EXPECT_EQ(dzScene->findNodeByLabel("(0001) Tree")->getNodeParent(), dzScene->findNodeByLabel("(0000) Landscape"));
    EXPECT_EQ(dzScene->getFilename(), QFileInfo(own).absoluteFilePath());
    EXPECT_EQ(dzScene->getTime(), 480);
    EXPECT_EQ(model()->text, "my own");
    EXPECT_TRUE(TestSceneModelIO::log().isEmpty());
}

TEST_F(SceneFile, SceneDataOfAMissingPlugInIsSkipped)
{
    buildScene();
    const QString file = path("extra.json");
    ASSERT_TRUE(dzScene->saveScene(file));
    QJsonObject root = readJson(file);
    QJsonObject sd = root["scene_data"].toObject();
    sd["studio/scene_data/some_older_plugin"] = QJsonObject{{"Old_text", "whatever"}};
    root["scene_data"] = sd;
    writeBytes(file, QJsonDocument(root).toJson());
    dzScene->clear();
    TestSceneModelIO::log().clear();
    QString error;
    ASSERT_TRUE(dzScene->loadScene(file, &error)) << qPrintable(error);
    EXPECT_EQ(model()->text, "line one\nline \"two\" ünïcode ✓");
    EXPECT_EQ(TestSceneModelIO::log(), (QStringList{"start", "apply", "resolve"}));
}
