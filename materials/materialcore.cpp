#include "materials/materialcore.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <dzapp.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzshape.h>

#include "plugin/readcheck.h"

namespace verdix {

namespace {

const CompanionMap kCompanions[] = {
    {"_O.", "Opacity Strength", false, 0.0},     {"_B.", "Bump Strength", true, 1.0},
    {"_N.", "Normal Map", false, 0.0},           {"_S.", "Specular Strength", true, 1.0},
    {"_D.", "Displacement Strength", true, 2.0},
};

// The first tag that occurs, two-digit numbers before one-digit ones.
int firstTag(const QString& name, bool numberFirst)
{
    auto tag = [numberFirst](int n) { return numberFirst ? QString::number(n) + 'X' : 'X' + QString::number(n); };
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

}  // namespace

GridTags readGridTags(const QString& fileName)
{
    GridTags tags{firstTag(fileName, true), firstTag(fileName, false), {}};
    // Every run of digits on either side of an "X" must be a count the sliders can take.
    for (int x = fileName.indexOf(QLatin1Char('X')); x >= 0 && tags.fault.isEmpty();
         x = fileName.indexOf(QLatin1Char('X'), x + 1)) {
        int from = x;
        while (from > 0 && fileName[from - 1].isDigit()) --from;
        int to = x + 1;
        while (to < fileName.size() && fileName[to].isDigit()) ++to;
        for (const QString& digits : {fileName.mid(from, x - from), fileName.mid(x + 1, to - x - 1)}) {
            if (digits.isEmpty()) continue;
            const int n = digits.size() <= 3 ? digits.toInt() : 0;
            if (n < 1 || n > 40) {
                tags.fault = QStringLiteral(
                                 "The sprite sheet %1 names a grid tag %2 outside 1 to 40; its grid was "
                                 "not read")
                                 .arg(fileName, fileName.mid(from, to - from));
                break;
            }
        }
    }
    return tags;
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

QString setMaterialTexture(DzNode* node, const QString& mat, const QString& prop, const QString& path,
                           const std::function<void(const QString&)>& report)
{
    DzProperty* p = findMaterialProperty(node, mat, prop);
    if (!p) return {};
    const QFileInfo info(path);
    const bool exists = info.exists();
    QString refused;
    // Decoded once here, so that a file too large or broken is named now rather than failing
    // a render or an export later without a word. The pixels stay with the texture: the view
    // draws them and the next material naming the same file finds them, without reading the
    // file again.
    QImage decoded;
    if (exists) {
        const DzTexture* known = dzApp ? dzApp->getImageMgr()->findImage(path) : nullptr;
        if (known && known->hasImage()) {
            if (!checkImageToRead(path, QStringLiteral("the texture"), &refused)) return refused;
        } else if ((decoded = readCheckedImage(path, QStringLiteral("the texture"), &refused)).isNull()) {
            return refused;
        }
    }
    DzTexture* tex = exists && dzApp ? dzApp->getImageMgr()->getImage(path) : nullptr;
    if (tex && !decoded.isNull()) tex->setDecodedImage(decoded, info);
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
    return {};
}

bool textureInside(const QString& path, const QStringList& folders, QString* why)
{
    const QFileInfo info(path);
    if (!info.exists()) return true;
    const QString file = info.canonicalFilePath();
    for (const QString& f : folders) {
        const QString folder = f.isEmpty() ? QString() : QFileInfo(f).canonicalFilePath();
        if (!folder.isEmpty() && file.startsWith(folder + QLatin1Char('/'))) return true;
    }
    if (why)
        *why = QStringLiteral("The texture path %1 leads out of the library and the document's folder; it was not read")
                   .arg(path);
    return false;
}

void setMaterialValue(DzNode* node, const QString& mat, const QString& prop, double value)
{
    auto* num = qobject_cast<DzNumericProperty*>(findMaterialProperty(node, mat, prop));
    if (!num) return;
    num->beginEdit();
    num->setDoubleValue(value);
    num->finishEdit();
}

}  // namespace verdix
