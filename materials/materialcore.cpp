#include "materials/materialcore.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <dzapp.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzshape.h>

namespace verdix {

namespace {

const CompanionMap kCompanions[] = {
    {"_O.", "Opacity Strength", false, 0.0},
    {"_B.", "Bump Strength", true, 1.0},
    {"_N.", "Normal Map", false, 0.0},
    {"_S.", "Specular Strength", true, 1.0},
    {"_D.", "Displacement Strength", true, 2.0},
};

// The first tag that occurs, two-digit numbers before one-digit ones.
int firstTag(const QString& name, bool numberFirst)
{
    auto tag = [numberFirst](int n) {
        return numberFirst ? QString::number(n) + 'X' : 'X' + QString::number(n);
    };
    for (int n = 10; n <= 40; ++n)
        if (name.contains(tag(n), Qt::CaseSensitive)) return n;
    for (int n = 1; n <= 9; ++n)
        if (name.contains(tag(n), Qt::CaseSensitive)) return n;
    return 1;
}

DzProperty* findMaterialProperty(DzNode* node, const QString& mat, const QString& prop)
{
    DzObject* obj = node ? node->getObject() : nullptr;
    DzShape* shape = obj ? obj->getShape(0) : nullptr;
    DzMaterial* m = shape ? shape->findMaterial(mat) : nullptr;
    return m ? m->findProperty(prop) : nullptr;
}

} // namespace

GridTags readGridTags(const QString& fileName)
{
    return {firstTag(fileName, true), firstTag(fileName, false)};
}

const CompanionMap* companionMaps(int* count)
{
    if (count) *count = int(sizeof kCompanions / sizeof kCompanions[0]);
    return kCompanions;
}

QString companionFileName(const QString& fileName, const char* marker)
{
    const QFileInfo info(fileName);
    const QString suffix = info.suffix();
    QString base = fileName;
    if (!suffix.isEmpty()) base.chop(suffix.size() + 1);
    // The marker carries the dot before the suffix.
    return base + QString::fromLatin1(marker).chopped(1) + (suffix.isEmpty() ? QString() : '.' + suffix);
}

QString resolveTexturePath(const QString& path, const QString& textureRoot)
{
    if (path.isEmpty() || QFileInfo(path).isFile() || textureRoot.isEmpty()) return path;
    const QStringList parts = path.split(QRegularExpression(QStringLiteral("[/\\\\]")), Qt::SkipEmptyParts);
    if (parts.size() < 2) return path;
    const QString moved = QDir(textureRoot).filePath(parts[parts.size() - 2] + '/' + parts.last());
    return QFileInfo(moved).isFile() ? moved : path;
}

void setMaterialTexture(DzNode* node, const QString& mat, const QString& prop, const QString& path,
                        const std::function<void(const QString&)>& report)
{
    DzProperty* p = findMaterialProperty(node, mat, prop);
    if (!p) return;
    const bool exists = QFileInfo(path).isFile();
    DzTexture* tex = exists && dzApp ? dzApp->getImageMgr()->getImage(path) : nullptr;
    if (auto* num = qobject_cast<DzNumericProperty*>(p)) {
        num->beginEdit();
        if (!num->isMappable()) num->setIsMappable(true);
        if (!exists) num->setMap(nullptr);
        else if (tex) num->setMap(tex);
        num->finishEdit();
    } else if (auto* img = qobject_cast<DzImageProperty*>(p)) {
        img->beginEdit();
        if (!exists) img->setValue(nullptr);
        else if (tex) img->setValue(tex);
        img->finishEdit();
    } else if (report) {
        report(QStringLiteral("Did not processMaterials %1").arg(p->getLabel()));
    }
}

void setMaterialValue(DzNode* node, const QString& mat, const QString& prop, double value)
{
    auto* num = qobject_cast<DzNumericProperty*>(findMaterialProperty(node, mat, prop));
    if (!num) return;
    num->beginEdit();
    num->setDoubleValue(value);
    num->finishEdit();
}

} // namespace verdix
