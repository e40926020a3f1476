#include "dzplugin.h"
#include <QFileInfo>
#include <QLibrary>

DzPlugin::DzPlugin(const QString& name, const QString& author, const QString& description, int major, int minor,
                   int revision, int build)
    : m_name(name), m_author(author), m_description(description), m_version{major, minor, revision, build}
{
}

DzPlugin::~DzPlugin() { qDeleteAll(m_factories); }

DzClassFactory* DzPlugin::findClassFactory(const QString& className) const
{
    for (DzClassFactory* f : m_factories)
        if (f->getClassName() == className) return f;
    return nullptr;
}

DzPlugin* DzPluginMgr::loadPlugin(const QString& libraryPath, QString* error)
{
    auto fail = [error](const QString& why) -> DzPlugin* {
        if (error) *error = why;
        return nullptr;
    };
    if (!QFileInfo(libraryPath).exists()) return fail(QString("Plug-in not found: %1").arg(libraryPath));
    // Plug-ins stay loaded for the life of the process, as their definitions do.
    QLibrary lib(libraryPath);
    lib.setLoadHints(QLibrary::ExportExternalSymbolsHint);
    if (!lib.load()) return fail(QString("Cannot load plug-in %1: %2").arg(libraryPath, lib.errorString()));
    auto sdk = reinterpret_cast<DzGetSDKVersionFn>(lib.resolve("getSDKVersion"));
    auto def = reinterpret_cast<DzGetPluginDefinitionFn>(lib.resolve("getPluginDefinition"));
    if (!sdk || !def) return fail(QString("%1 is not a plug-in: entry points missing").arg(libraryPath));
    const DzVersion v = sdk();
    if (v.major != DZ_SDK_VERSION.major || v.minor != DZ_SDK_VERSION.minor)
        return fail(QString("%1 was built for SDK %2, this host offers %3")
                        .arg(libraryPath, v.toString(), DZ_SDK_VERSION.toString()));
    DzPlugin* plugin = def();
    if (!plugin) return fail(QString("%1 gave no plug-in definition").arg(libraryPath));
    if (!addPlugin(plugin, error)) return nullptr;
    return plugin;
}

bool DzPluginMgr::addPlugin(DzPlugin* plugin, QString* error)
{
    if (!plugin) return false;
    if (m_plugins.contains(plugin)) return true;
    for (int i = 0; i < plugin->getNumClassFactories(); ++i) {
        DzClassFactory* f = plugin->getClassFactory(i);
        for (DzPlugin* other : m_plugins) {
            for (int j = 0; j < other->getNumClassFactories(); ++j) {
                if (other->getClassFactory(j)->getClassID() == f->getClassID()) {
                    if (error)
                        *error =
                            QString("Class %1 of plug-in %2 reuses the id of %3")
                                .arg(f->getClassName(), plugin->getName(), other->getClassFactory(j)->getClassName());
                    return false;
                }
            }
        }
    }
    m_plugins.append(plugin);
    emit pluginLoaded(plugin);
    return true;
}

DzClassFactory* DzPluginMgr::findClassFactory(const QString& className) const
{
    for (DzPlugin* p : m_plugins)
        if (DzClassFactory* f = p->findClassFactory(className)) return f;
    return nullptr;
}

QObject* DzPluginMgr::createInstance(const QString& className) const
{
    DzClassFactory* f = findClassFactory(className);
    return f ? f->createInstance() : nullptr;
}

QList<DzSceneDataIORegistration> DzPluginMgr::sceneDataIOs() const
{
    QList<DzSceneDataIORegistration> out;
    for (DzPlugin* p : m_plugins) out += p->sceneDataIOs();
    return out;
}

void DzPluginMgr::registerScriptClasses(QScriptEngine* engine) const
{
    for (DzPlugin* p : m_plugins)
        for (int i = 0; i < p->getNumClassFactories(); ++i) p->getClassFactory(i)->registerScriptClass(engine);
}
