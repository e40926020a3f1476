#pragma once
// The pane's set document inside host scenes: a scene-data element holding the text and
// the reader/writer the host uses to store it under "Verdix_text".
#include <QString>
#include <dzscene.h>
#include <dzsceneio.h>
#include <memory>

class VerdixSceneModel : public DzSceneData
{
    Q_OBJECT
public:
    VerdixSceneModel();

signals:
    void coolTextChanged(QString text);

public slots:
    QString coolText() const { return m_coolText; }
    void setCoolText(QString text);

private:
    QString m_coolText;
};

// What one read of the element has gathered so far.
struct VerdixPendingRead
{
    DzAssetFile* file = nullptr;
    QString text;
};

class MySceneModelIO : public DzExtraSceneDataIO
{
    Q_OBJECT
public:
    MySceneModelIO();

    DzError writeExtraInstance(QObject* object, IDzJsonIO* io, const DzFileIOSettings* opts) override;
    DzAssetJsonObject* startInstanceRead(DzAssetJsonItem* item) override;
    DzError applyInstanceToObject(QObject* object, const DzFileIOSettings* opts) override;
    DzError resolveInstance(QObject* object, const DzFileIOSettings* opts) override;
    bool shouldWrite(QObject* object, const DzFileIOSettings* opts) const override;
    QObject* getObjectForInstance(const DzAssetJsonItem* item, const DzFileIOSettings* opts) override;

    const VerdixPendingRead* pendingRead() const { return m_pending.get(); }

private:
    // Shared with the reader the host may keep after this IO moves on to another read.
    std::shared_ptr<VerdixPendingRead> m_pending;
};

class ReadMySceneModel : public DzAssetJsonObject
{
public:
    ReadMySceneModel(DzAssetJsonItem* item, std::shared_ptr<VerdixPendingRead> pending);
    bool addMember(const QString& name, const QJsonValue& value) override;

private:
    std::shared_ptr<VerdixPendingRead> m_pending;
};
