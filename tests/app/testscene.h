#pragma once
// A small scene built through the host API, and a stand-in for the Verdix pane.
#include <QColor>
#include <QImage>
#include <QLabel>
#include <QString>
#include <QTemporaryDir>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzpane.h>
#include <dzscene.h>
#include <dzshape.h>

struct TestScene
{
    DzNode* ground = nullptr;  // 3x3 quad grid, textured, red-ish
    DzNode* rock = nullptr;    // child of ground, triangles and a quad over two materials
    DzNode* hidden = nullptr;  // not visible: never exported or drawn
    QString texture;           // the ground's diffuse map
};

// Runs the Khronos glTF validator on file and expects it to report no error; false, with
// nothing checked, where the validator could not be installed.
bool expectValidGltf(const QString& file);

// Builds the scene into dzScene (which it clears first); images go into dir.
TestScene buildTestScene(const QString& dir);

DzNode* makeMeshNode(const QString& label, DzFacetMesh** meshOut = nullptr, DzFacetShape** shapeOut = nullptr);
DzDefaultMaterial* addMaterial(DzFacetShape* shape, const QString& name, const QColor& c);

// Registered under the pane's class name so the application creates it through the plug-in
// manager as it would create the real pane.
class ZPK_VerdixPane : public DzPane
{
    Q_OBJECT
public:
    ZPK_VerdixPane();
    QLabel* status;
    int ticks = 0;
    QStringList openedSets;
    QList<DzTime> followedTimes;

public slots:
    bool openSetDocument(const QString& file);
    void Animation_Draw();
    void UpdateFrame(DzTime t);
};

class ZPK_VerdixPaneAction : public DzPaneAction
{
    Q_OBJECT
public:
    ZPK_VerdixPaneAction() : DzPaneAction("ZPK_VerdixPane") { setText("Verdix"); }
};

// Adds the stand-in plug-in to dzApp once.
void registerStandInPlugin();
