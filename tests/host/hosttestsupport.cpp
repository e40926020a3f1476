#include "hosttestsupport.h"
#include <dzapp.h>
#include <dzplugin.h>

const char* const kTestDataPath = "studio/scene_data/test_scene_text";

namespace {
class TestReader : public DzAssetJsonObject
{
public:
    TestReader(TestSceneModelIO* io, DzAssetJsonItem* item) : DzAssetJsonObject(item), m_io(io) {}
    bool addMember(const QString& name, const QJsonValue& value) override
    {
        if (name != "Test_text") return DzAssetJsonObject::addMember(name, value);
        m_io->pending = value.toString();
        return true;
    }

private:
    TestSceneModelIO* m_io;
};
}  // namespace

QStringList& TestSceneModelIO::log()
{
    static QStringList l;
    return l;
}

DzError TestSceneModelIO::writeExtraInstance(QObject* object, IDzJsonIO* io, const DzFileIOSettings*)
{
    log() << "write";
    if (auto* m = qobject_cast<TestSceneModel*>(object)) io->addMember("Test_text", m->text);
    return DZ_NO_ERROR;
}

DzAssetJsonObject* TestSceneModelIO::startInstanceRead(DzAssetJsonItem* item)
{
    log() << "start";
    pending.clear();
    return new TestReader(this, item);
}

DzError TestSceneModelIO::applyInstanceToObject(QObject* object, const DzFileIOSettings*)
{
    log() << "apply";
    if (auto* m = qobject_cast<TestSceneModel*>(object)) m->text = pending;
    return DZ_NO_ERROR;
}

DzError TestSceneModelIO::resolveInstance(QObject*, const DzFileIOSettings*)
{
    log() << "resolve";
    return DZ_NO_ERROR;
}

bool TestSceneModelIO::shouldWrite(QObject* object, const DzFileIOSettings*) const
{
    auto* m = qobject_cast<TestSceneModel*>(object);
    return m && !m->text.isEmpty();
}

QObject* TestSceneModelIO::getObjectForInstance(const DzAssetJsonItem*, const DzFileIOSettings*)
{
    return dzScene->findDataItem("TestSceneModel");
}

void ensureTestPlugin()
{
    static DzPlugin* plugin = nullptr;
    if (plugin) return;
    plugin = new DzPlugin("Host Tests", "Verdix", "Scene data for the host tests", 1, 0, 0, 0);
    plugin->addClassFactory(new DzTClassFactory<TestSceneModelIO>(
        "TestSceneModelIO", DzGuid::fromString("{5d0c7d4e-2f7a-4a51-9c1e-6b0f3a7e9d21}")));
    plugin->registerSceneDataIO(kTestDataPath, "TestSceneModelIO", "TestSceneModel");
    dzApp->getPluginMgr()->addPlugin(plugin);
}
