#pragma once
// Stand-ins for what a plug-in brings: a scene-data element with its reader/writer, and a
// pane that scripts can find.
#include <QFile>
#include <QStringList>
#include <dzapp.h>
#include <dzpane.h>
#include <dzplugin.h>
#include <dzscene.h>
#include <dzsceneio.h>

inline const char* const kTestDataPath = "studio/scene_data/test_scene_text";

inline QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class TestSceneModel : public DzSceneData
{
    Q_OBJECT
public:
    TestSceneModel() : DzSceneData("TestSceneModel", true) {}
    QString text;
};

// Takes the element's one member into *out.
class TestReader : public DzAssetJsonObject
{
public:
    TestReader(DzAssetJsonItem* item, QString* out) : DzAssetJsonObject(item), m_out(out) {}
    bool addMember(const QString& name, const QJsonValue& value) override
    {
        if (name != "Test_text") return DzAssetJsonObject::addMember(name, value);
        *m_out = value.toString();
        return true;
    }

private:
    QString* m_out;
};

class TestSceneModelIO : public DzExtraSceneDataIO
{
    Q_OBJECT
public:
    explicit TestSceneModelIO(QObject* parent = nullptr) : DzExtraSceneDataIO(parent) {}

    // What the host asked of every instance, in order, across instances.
    static QStringList& log()
    {
        static QStringList l;
        return l;
    }

    DzError writeExtraInstance(QObject* object, IDzJsonIO* io, const DzFileIOSettings*) override
    {
        log() << "write";
        if (auto* m = qobject_cast<TestSceneModel*>(object)) io->addMember("Test_text", m->text);
        return DZ_NO_ERROR;
    }
    DzAssetJsonObject* startInstanceRead(DzAssetJsonItem* item) override
    {
        log() << "start";
        pending.clear();
        return new TestReader(item, &pending);
    }
    DzError applyInstanceToObject(QObject* object, const DzFileIOSettings*) override
    {
        log() << "apply";
        if (auto* m = qobject_cast<TestSceneModel*>(object)) m->text = pending;
        return DZ_NO_ERROR;
    }
    DzError resolveInstance(QObject*, const DzFileIOSettings*) override
    {
        log() << "resolve";
        return DZ_NO_ERROR;
    }
    bool shouldWrite(QObject* object, const DzFileIOSettings*) const override
    {
        auto* m = qobject_cast<TestSceneModel*>(object);
        return m && !m->text.isEmpty();
    }
    QObject* getObjectForInstance(const DzAssetJsonItem*, const DzFileIOSettings*) override
    {
        return dzScene->findDataItem("TestSceneModel");
    }

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

// Registers the test plug-in with the host once.
inline void ensureTestPlugin()
{
    static DzPlugin* plugin = nullptr;
    if (plugin) return;
    plugin = new DzPlugin("Host Tests", "Verdix", "Scene data for the host tests", 1, 0, 0, 0);
    plugin->addClassFactory(new DzTClassFactory<TestSceneModelIO>(
        "TestSceneModelIO", DzGuid::fromString("{5d0c7d4e-2f7a-4a51-9c1e-6b0f3a7e9d21}")));
    plugin->registerSceneDataIO(kTestDataPath, "TestSceneModelIO", "TestSceneModel");
    dzApp->getPluginMgr()->addPlugin(plugin);
}
