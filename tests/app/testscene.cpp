#include "testscene.h"
#include <QFile>
#include <gtest/gtest.h>
#include <QFileInfo>
#include <QProcess>
#include <array>
#include <dzapp.h>
#include <dzplugin.h>

DzNode* makeMeshNode(const QString& label, DzFacetMesh** meshOut, DzFacetShape** shapeOut)
{
    auto* node = new DzNode;
    node->setLabel(label);
    node->setName(label);
    auto* obj = new DzObject;
    auto* shape = new DzFacetShape;
    auto* mesh = new DzFacetMesh;
    mesh->setUVList(new DzUVSet);
    shape->setFacetMesh(mesh);
    obj->addShape(shape);
    node->setObject(obj);
    if (meshOut) *meshOut = mesh;
    if (shapeOut) *shapeOut = shape;
    return node;
}

DzDefaultMaterial* addMaterial(DzFacetShape* shape, const QString& name, const QColor& c)
{
    auto* m = new DzDefaultMaterial;
    m->setName(name);
    m->setLabel(name);
    m->setDiffuseColor(c);
    shape->addMaterial(m);
    return m;
}

namespace {
// Facets given as {material, v0, v1, v2, v3 or -1}, without UVs.
void addFacets(DzFacetMesh* mesh, std::initializer_list<std::array<int, 5>> facets)
{
    for (const auto& f : facets) {
        mesh->activateMaterial(f[0]);
        mesh->addFacet(f.data() + 1);
    }
}
}  // namespace

TestScene buildTestScene(const QString& dir)
{
    dzScene->clear();
    TestScene ts;

    // A checker texture so the diffuse map shows.
    ts.texture = dir + "/checker.png";
    QImage img(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            img.setPixel(x, y, ((x / 8 + y / 8) % 2) ? qRgb(255, 255, 255) : qRgb(200, 200, 200));
    img.save(ts.texture);

    DzFacetMesh* mesh = nullptr;
    DzFacetShape* shape = nullptr;
    ts.ground = makeMeshNode("Ground plane", &mesh, &shape);
    DzDefaultMaterial* groundMat = addMaterial(shape, "Soil", QColor(200, 40, 30));
    qobject_cast<DzNumericProperty*>(groundMat->findProperty("Diffuse Color"))
        ->setMap(dzApp->getImageMgr()->getImage(ts.texture));
    const int n = 3;
    const float size = 300.f;
    mesh->beginEdit();
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            mesh->addVertex(-size / 2 + size * i / n, 0.f, -size / 2 + size * j / n);
            mesh->getUVs()->appendPnt2Vec(DzPnt2(float(i) / n, float(j) / n));
        }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int a = j * (n + 1) + i;
            const int q[4] = {a, a + n + 1, a + n + 2, a + 1};
            mesh->addFacet(q, q);
        }
    mesh->finishEdit();
    ts.ground->setLocalPos(DzVec3(10.f, 0.f, -5.f));
    dzScene->addNode(ts.ground);

    ts.rock = makeMeshNode("Rock (0001)", &mesh, &shape);
    addMaterial(shape, "Stone", QColor(90, 90, 100));
    addMaterial(shape, "Moss", QColor(40, 160, 40));
    mesh->beginEdit();
    for (const DzVec3& v : {DzVec3(0.f, 0.f, 0.f), DzVec3(40.f, 0.f, 0.f), DzVec3(20.f, 0.f, 35.f),
                            DzVec3(20.f, 45.f, 12.f), DzVec3(0.1234567f, 45.f, 40.f)})
        mesh->addVertex(v);
    addFacets(mesh, {{0, 0, 1, 3, -1}, {0, 1, 2, 3, -1}, {1, 2, 0, 3, -1}, {1, 0, 2, 4, 3}});
    mesh->finishEdit();
    ts.rock->setLocalPos(DzVec3(50.f, 0.f, 20.f));
    ts.rock->setLocalRot(DzQuat::fromAxisAngle(DzVec3(0.f, 1.f, 0.f), 0.5f));
    ts.rock->setLocalScale(DzVec3(1.5f, 1.5f, 1.5f));
    dzScene->addNode(ts.rock);
    ts.ground->addNodeChild(ts.rock, false);

    ts.hidden = makeMeshNode("Hidden", &mesh, &shape);
    addMaterial(shape, "Ghost", Qt::white);
    for (const DzVec3& v : {DzVec3(0, 0, 0), DzVec3(1, 0, 0), DzVec3(0, 1, 0)}) mesh->addVertex(v);
    addFacets(mesh, {{0, 0, 1, 2, -1}});
    ts.hidden->setVisible(false);
    dzScene->addNode(ts.hidden);
    return ts;
}

ZPK_VerdixPane::ZPK_VerdixPane() : DzPane("Verdix")
{
    status = new QLabel("Ready", this);
    status->setObjectName("VerdixStatusLabel");
}

bool ZPK_VerdixPane::openSetDocument(const QString& file)
{
    openedSets.append(file);
    const bool found = QFile::exists(file);
    status->setText(found ? "Opened " + file : "Set not found");
    return found;
}

void ZPK_VerdixPane::Animation_Draw() { status->setText(QString("Tick %1").arg(++ticks)); }

void ZPK_VerdixPane::UpdateFrame(DzTime t) { followedTimes.append(t); }

void registerStandInPlugin()
{
    static DzPlugin* plugin = nullptr;
    if (!plugin) {
        plugin = new DzPlugin("Verdix stand-in", "tests", QString(), 1, 0, 0, 0);
        plugin->addClassFactory(new DzTClassFactory<ZPK_VerdixPane>(
            "ZPK_VerdixPane", DzGuid::fromString("{6a1f7c1e-0b7e-4d0f-9a43-3c1d2a5e0001}")));
        plugin->addClassFactory(new DzTClassFactory<ZPK_VerdixPaneAction>(
            "ZPK_VerdixPaneAction", DzGuid::fromString("{6a1f7c1e-0b7e-4d0f-9a43-3c1d2a5e0002}")));
    }
    dzApp->getPluginMgr()->addPlugin(plugin);
}

bool expectValidGltf(const QString& file)
{
    const QString dir = GLTF_VALIDATOR_DIR;
    if (!QFileInfo::exists(dir + "/node_modules/gltf-validator/package.json")) return false;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("NODE_PATH", dir + "/node_modules");
    p.setProcessEnvironment(env);
    p.start("node", {QString(GLTF_VALIDATE_SCRIPT), file});
    EXPECT_TRUE(p.waitForFinished(60000)) << "the validator did not finish";
    EXPECT_EQ(p.exitCode(), 0) << qPrintable(file) << ": " << p.readAllStandardOutput().constData()
                               << p.readAllStandardError().constData();
    return true;
}
