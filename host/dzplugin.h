#pragma once
// Plug-in definitions, class factories and the loader that registers them.
#include <QList>
#include <QMetaObject>
#include <QScriptEngine>
#include <QScriptValue>
#include <QString>
#include <QUuid>
#include "dzbase.h"

struct DzVersion
{
    int major = 0, minor = 0, revision = 0, build = 0;
    bool operator==(const DzVersion& o) const
    {
        return major == o.major && minor == o.minor && revision == o.revision && build == o.build;
    }
    QString toString() const { return QString("%1.%2.%3.%4").arg(major).arg(minor).arg(revision).arg(build); }
};

// The SDK version this host implements; plug-ins built against another major.minor are refused.
constexpr DzVersion DZ_SDK_VERSION{4, 5, 0, 100};

class DZHOST_EXPORT DzGuid
{
public:
    DzGuid() = default;
    static DzGuid fromString(const QString& s)
    {
        DzGuid g;
        g.m_uuid = QUuid::fromString(s);
        return g;
    }
    QString toString() const { return m_uuid.toString(); }
    bool isNull() const { return m_uuid.isNull(); }
    bool operator==(const DzGuid& o) const { return m_uuid == o.m_uuid; }
    bool operator!=(const DzGuid& o) const { return !(*this == o); }

private:
    QUuid m_uuid;
};

class DZHOST_EXPORT DzClassFactory
{
public:
    DzClassFactory(const QString& className, const DzGuid& id) : m_className(className), m_id(id) {}
    virtual ~DzClassFactory() = default;

    QString getClassName() const { return m_className; }
    DzGuid getClassID() const { return m_id; }
    virtual const QMetaObject* metaObject() const = 0;
    virtual QObject* createInstance() const = 0;
    // Makes the class known to a script engine: its pointer type, a constructor and
    // a global named after the class.
    virtual void registerScriptClass(QScriptEngine* engine) const = 0;

private:
    QString m_className;
    DzGuid m_id;
};

template <class T>
class DzTClassFactory : public DzClassFactory
{
public:
    DzTClassFactory(const QString& className, const DzGuid& id) : DzClassFactory(className, id) {}

    const QMetaObject* metaObject() const override { return &T::staticMetaObject; }
    QObject* createInstance() const override { return new T(); }
    void registerScriptClass(QScriptEngine* engine) const override
    {
        qScriptRegisterMetaType<T*>(engine, &toScript, &fromScript);
        QScriptValue ctor = engine->newFunction(&construct);
        QScriptValue meta = engine->newQMetaObject(&T::staticMetaObject, ctor);
        engine->globalObject().setProperty(getClassName(), meta);
    }

private:
    static QScriptValue toScript(QScriptEngine* e, T* const& obj) { return e->newQObject(obj); }
    static void fromScript(const QScriptValue& v, T*& obj) { obj = qobject_cast<T*>(v.toQObject()); }
    static QScriptValue construct(QScriptContext*, QScriptEngine* e)
    {
        return e->newQObject(new T(), QScriptEngine::ScriptOwnership);
    }
};

// Registration of a scene-data reader/writer: the IO class made by the factory named
// ioClassName reads and writes elements of class dataClassName under path.
struct DzSceneDataIORegistration
{
    QString path;
    QString ioClassName;
    QString dataClassName;
};

class DZHOST_EXPORT DzPlugin
{
public:
    DzPlugin(const QString& name, const QString& author, const QString& description, int major, int minor, int revision,
             int build);
    ~DzPlugin();

    QString getName() const { return m_name; }
    QString getAuthor() const { return m_author; }
    QString getDescription() const { return m_description; }
    DzVersion getVersion() const { return m_version; }

    // The plug-in owns its factories.
    void addClassFactory(DzClassFactory* factory) { m_factories.append(factory); }
    int getNumClassFactories() const { return m_factories.size(); }
    DzClassFactory* getClassFactory(int i) const { return m_factories.value(i); }
    DzClassFactory* findClassFactory(const QString& className) const;

    void registerSceneDataIO(const QString& path, const QString& ioClassName, const QString& dataClassName)
    {
        m_sceneDataIOs.append({path, ioClassName, dataClassName});
    }
    QList<DzSceneDataIORegistration> sceneDataIOs() const { return m_sceneDataIOs; }

private:
    QString m_name, m_author, m_description;
    DzVersion m_version;
    QList<DzClassFactory*> m_factories;
    QList<DzSceneDataIORegistration> m_sceneDataIOs;
};

// Entry points every plug-in library exports.
typedef DzVersion (*DzGetSDKVersionFn)();
typedef DzPlugin* (*DzGetPluginDefinitionFn)();

// Loads plug-in libraries and keeps every factory they offer.
class DZHOST_EXPORT DzPluginMgr : public DzBase
{
    Q_OBJECT
public:
    explicit DzPluginMgr(QObject* parent = nullptr) : DzBase(parent) {}

    // Loads one library; on failure returns null and error says why in one line.
    DzPlugin* loadPlugin(const QString& libraryPath, QString* error = nullptr);
    // Registers a definition that is already in the process (linked-in plug-ins, tests).
    bool addPlugin(DzPlugin* plugin, QString* error = nullptr);

    int getNumPlugins() const { return m_plugins.size(); }
    DzPlugin* getPlugin(int i) const { return m_plugins.value(i); }
    DzClassFactory* findClassFactory(const QString& className) const;
    QObject* createInstance(const QString& className) const;
    QList<DzSceneDataIORegistration> sceneDataIOs() const;
    void registerScriptClasses(QScriptEngine* engine) const;

signals:
    void pluginLoaded(DzPlugin* plugin);

private:
    QList<DzPlugin*> m_plugins;
};
