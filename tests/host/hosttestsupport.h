#pragma once
// Stand-ins for what a plug-in brings: a scene-data element with its reader/writer, and a
// pane that scripts can find.
#include <QStringList>
#include <dzpane.h>
#include <dzscene.h>
#include <dzsceneio.h>

class TestSceneModel : public DzSceneData
{
    Q_OBJECT
public:
    TestSceneModel() : DzSceneData("TestSceneModel", true) {}
    QString text;
};

class TestSceneModelIO : public DzExtraSceneDataIO
{
    Q_OBJECT
public:
    explicit TestSceneModelIO(QObject* parent = nullptr) : DzExtraSceneDataIO(parent) {}

    // What the host asked of every instance, in order, across instances.
    static QStringList& log();

    DzError writeExtraInstance(QObject* object, IDzJsonIO* io, const DzFileIOSettings*) override;
    DzAssetJsonObject* startInstanceRead(DzAssetJsonItem* item) override;
    DzError applyInstanceToObject(QObject* object, const DzFileIOSettings*) override;
    DzError resolveInstance(QObject* object, const DzFileIOSettings*) override;
    bool shouldWrite(QObject* object, const DzFileIOSettings*) const override;
    QObject* getObjectForInstance(const DzAssetJsonItem*, const DzFileIOSettings*) override;

    QString pending;
};

class SomeTestPane : public DzPane
{
    Q_OBJECT
public:
    explicit SomeTestPane(QWidget* parent = nullptr) : DzPane("Some Test Pane", parent) {}
    int received = 0;

public slots:
    void TestScriptInput(int v) { received = v; }
};

extern const char* const kTestDataPath;

// Registers the test plug-in with the host once.
void ensureTestPlugin();
