#pragma once
// Extra scene data: plug-ins keep their own data inside host scene files through a
// reader/writer class registered under a path key ("studio/scene_data/<key>").
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include "dzbase.h"

class DzSceneData;

// The file being read or written.
class DZHOST_EXPORT DzAssetFile
{
public:
    explicit DzAssetFile(const QString& path) : m_path(path) {}
    QString getFilename() const { return m_path; }

private:
    QString m_path;
};

// One item of a scene file being read: the instance's JSON data and its file.
class DZHOST_EXPORT DzAssetJsonItem
{
public:
    DzAssetJsonItem(DzAssetFile* file, const QJsonObject& data) : m_file(file), m_data(data) {}
    DzAssetFile* getFile() const { return m_file; }
    const QJsonObject& data() const { return m_data; }

private:
    DzAssetFile* m_file;
    QJsonObject m_data;
};

// Receives the members of one JSON object as the file is read.
class DZHOST_EXPORT DzAssetJsonObject
{
public:
    explicit DzAssetJsonObject(DzAssetJsonItem* item = nullptr) : m_item(item) {}
    virtual ~DzAssetJsonObject() = default;
    // Returns true when the member was taken; the base takes nothing.
    virtual bool addMember(const QString& name, const QJsonValue& value);
    DzAssetJsonItem* getItem() const { return m_item; }

private:
    DzAssetJsonItem* m_item;
};

// The writer side: members added here land in the instance's JSON object.
class DZHOST_EXPORT IDzJsonIO
{
public:
    void addMember(const QString& name, const QString& value) { m_obj.insert(name, value); }
    void addMember(const QString& name, double value) { m_obj.insert(name, value); }
    const QJsonObject& object() const { return m_obj; }

private:
    QJsonObject m_obj;
};

class DZHOST_EXPORT DzFileIOSettings
{
};

class DZHOST_EXPORT DzAssetExtraObjectIO : public DzBase
{
    Q_OBJECT
public:
    explicit DzAssetExtraObjectIO(QObject* parent = nullptr) : DzBase(parent) {}

    virtual DzError writeExtraInstance(QObject* object, IDzJsonIO* io, const DzFileIOSettings* opts) = 0;
    virtual DzAssetJsonObject* startInstanceRead(DzAssetJsonItem* item) = 0;
    virtual DzError applyInstanceToObject(QObject* object, const DzFileIOSettings* opts) = 0;
    // Called once every instance of the file has been applied.
    virtual DzError resolveInstance(QObject* object, const DzFileIOSettings* opts) = 0;
    virtual bool shouldWrite(QObject* object, const DzFileIOSettings* opts) const = 0;
    virtual QObject* getObjectForInstance(const DzAssetJsonItem* item, const DzFileIOSettings* opts) = 0;
};

class DZHOST_EXPORT DzExtraSceneDataIO : public DzAssetExtraObjectIO
{
    Q_OBJECT
public:
    explicit DzExtraSceneDataIO(QObject* parent = nullptr) : DzAssetExtraObjectIO(parent) {}
};
