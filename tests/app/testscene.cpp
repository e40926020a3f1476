#include "testscene.h"
#include <QFile>
#include <QFileInfo>
#include <QProcess>
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

TestScene buildTestScene(const QString& dir)
{
    dzScene->clear();
    TestScene ts;

    // A checker texture so the diffuse map shows.
    ts.texture = dir + "/checker.png";
    QImage img(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) img.setPixel(x, y, ((x / 8 + y / 8) % 2) ? qRgb(255, 255, 255) : qRgb(200, 200, 200));
    img.save(ts.texture);

    DzFacetMesh* mesh = nullptr;
    DzFacetShape* shape = nullptr;
    ts.ground = makeMeshNode("Ground plane", &mesh, &shape);
    DzDefaultMaterial* groundMat = addMaterial(shape, "Soil", QColor(200, 40, 30));
    auto* diffuse = qobject_cast<DzNumericProperty*>(groundMat->findProperty("Diffuse Color"));
    diffuse->setMap(dzApp->getImageMgr()->getImage(ts.texture));
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
    mesh->addVertex(0.f, 0.f, 0.f);
    mesh->addVertex(40.f, 0.f, 0.f);
    mesh->addVertex(20.f, 0.f, 35.f);
    mesh->addVertex(20.f, 45.f, 12.f);
    mesh->addVertex(0.1234567f, 45.f, 40.f);
    mesh->activateMaterial(0);
    const int t0[4] = {0, 1, 3, -1}, t1[4] = {1, 2, 3, -1};
    mesh->addFacet(t0);
    mesh->addFacet(t1);
    mesh->activateMaterial(1);
    const int t2[4] = {2, 0, 3, -1}, q0[4] = {0, 2, 4, 3};
    mesh->addFacet(t2);
    mesh->addFacet(q0);
    mesh->finishEdit();
    ts.rock->setLocalPos(DzVec3(50.f, 0.f, 20.f));
    ts.rock->setLocalRot(DzQuat::fromAxisAngle(DzVec3(0.f, 1.f, 0.f), 0.5f));
    ts.rock->setLocalScale(DzVec3(1.5f, 1.5f, 1.5f));
    dzScene->addNode(ts.rock);
    ts.ground->addNodeChild(ts.rock, false);

    ts.hidden = makeMeshNode("Hidden", &mesh, &shape);
    addMaterial(shape, "Ghost", Qt::white);
    mesh->addVertex(0, 0, 0);
    mesh->addVertex(1, 0, 0);
    mesh->addVertex(0, 1, 0);
    const int th[4] = {0, 1, 2, -1};
    mesh->addFacet(th);
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
    if (!QFile::exists(file)) {
        status->setText("Set not found");
        return false;
    }
    status->setText("Opened " + file);
    return true;
}

void ZPK_VerdixPane::Animation_Draw()
{
    ++ticks;
    status->setText(QString("Tick %1").arg(ticks));
}

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

QString validateGltf(const QString& file, bool* skipped)
{
    *skipped = false;
    const QString dir = GLTF_VALIDATOR_DIR;
    if (!QFileInfo::exists(dir + "/node_modules/gltf-validator/package.json")) {
        *skipped = true;
        return QString();
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("NODE_PATH", dir + "/node_modules");
    p.setProcessEnvironment(env);
    p.start("node", {QString(GLTF_VALIDATE_SCRIPT), file});
    if (!p.waitForFinished(60000)) return "validator did not finish";
    const QString out = QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
    return p.exitCode() == 0 ? QString() : out;
}

