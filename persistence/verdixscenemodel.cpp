#include "persistence/verdixscenemodel.h"
#include <dzapp.h>

VerdixSceneModel::VerdixSceneModel() : DzSceneData("VerdixSceneModel", true) {}

void VerdixSceneModel::setCoolText(QString text)
{
    if (text == m_coolText) return;
    m_coolText = text;
    emit coolTextChanged(m_coolText);
}

MySceneModelIO::MySceneModelIO() = default;

DzError MySceneModelIO::writeExtraInstance(QObject* object, IDzJsonIO* io, const DzFileIOSettings*)
{
    auto* model = qobject_cast<VerdixSceneModel*>(object);
    if (model && io) io->addMember("Verdix_text", model->coolText());
    return DZ_NO_ERROR;
}

DzAssetJsonObject* MySceneModelIO::startInstanceRead(DzAssetJsonItem* item)
{
    m_pending = std::make_shared<VerdixPendingRead>();
    m_pending->file = item ? item->getFile() : nullptr;
    return new ReadMySceneModel(item, m_pending);
}

DzError MySceneModelIO::applyInstanceToObject(QObject* object, const DzFileIOSettings*)
{
    auto* model = qobject_cast<VerdixSceneModel*>(object);
    if (!model) {
        if (dzApp) dzApp->statusLine("Verdix Item Not Found!");
        return DZ_NO_ERROR;
    }
    model->setCoolText(m_pending ? m_pending->text : QString());
    return DZ_NO_ERROR;
}

DzError MySceneModelIO::resolveInstance(QObject* object, const DzFileIOSettings*)
{
    auto* model = qobject_cast<VerdixSceneModel*>(object);
    if (model && dzApp) dzApp->statusLine(tr("Verdix %1").arg(model->coolText()));
    return DZ_NO_ERROR;
}

bool MySceneModelIO::shouldWrite(QObject* object, const DzFileIOSettings*) const
{
    auto* model = qobject_cast<VerdixSceneModel*>(object);
    return model && !model->coolText().isEmpty();
}

QObject* MySceneModelIO::getObjectForInstance(const DzAssetJsonItem*, const DzFileIOSettings*)
{
    return dzScene ? dzScene->findDataItem("VerdixSceneModel") : nullptr;
}

ReadMySceneModel::ReadMySceneModel(DzAssetJsonItem* item, std::shared_ptr<VerdixPendingRead> pending)
    : DzAssetJsonObject(item), m_pending(std::move(pending))
{
}

bool ReadMySceneModel::addMember(const QString& name, const QJsonValue& value)
{
    if (name == "Verdix_text" && value.isString()) {
        if (m_pending) m_pending->text = value.toString();
        return true;
    }
    return DzAssetJsonObject::addMember(name, value);
}
