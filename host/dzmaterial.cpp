#include "dzmaterial.h"
#include "dzimagefile.h"
#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QMutexLocker>

DzProperty::DzProperty(const QString& name, QObject* parent) : DzElement(parent)
{
    setLabel(name);
    setName(name);
}

QImage DzTexture::getImage() const
{
    // Read once, and again when the file has changed on disk since (a texture regenerated or
    // painted over while the scene is open).
    const QFileInfo fi(m_file);
    QMutexLocker lock(&m_imageLock);
    const qint64 size = fi.size(), stamp = fi.lastModified().toMSecsSinceEpoch();
    if (!m_loaded || size != m_fileSize || stamp != m_fileStamp) {
        m_image = dzReadImageFile(m_file, nullptr);
        m_loaded = true;
        m_fileSize = size;
        m_fileStamp = stamp;
    }
    return m_image;
}

bool DzTexture::hasImage() const
{
    const QFileInfo fi(m_file);
    QMutexLocker lock(&m_imageLock);
    return m_loaded && fi.size() == m_fileSize && fi.lastModified().toMSecsSinceEpoch() == m_fileStamp;
}

void DzTexture::setDecodedImage(const QImage& image, const QFileInfo& readFrom)
{
    if (image.isNull()) return;
    QMutexLocker lock(&m_imageLock);
    m_image = image;
    m_loaded = true;
    m_fileSize = readFrom.size();
    m_fileStamp = readFrom.lastModified().toMSecsSinceEpoch();
}

DzTexture* DzImageMgr::findImage(const QString& file) const
{
    QMutexLocker lock(&m_lock);
    return m_textures.value(QFileInfo(file).absoluteFilePath());
}

DzTexture* DzImageMgr::getImage(const QString& file)
{
    QMutexLocker lock(&m_lock);
    const QString key = QFileInfo(file).absoluteFilePath();
    if (DzTexture* t = m_textures.value(key)) return t;
    if (!QFileInfo(file).isFile()) return nullptr;
    QImageReader reader(file);
    if (!reader.canRead()) return nullptr;
    DzTexture* tex = new DzTexture(key, this);
    m_textures.insert(key, tex);
    return tex;
}

void DzImageMgr::setImageFolder(const QString& key, const QString& folder)
{
    QMutexLocker lock(&m_lock);
    if (folder.isEmpty()) m_folders.remove(key);
    else m_folders.insert(key, folder);
}

QStringList DzImageMgr::getImageFolders() const
{
    QMutexLocker lock(&m_lock);
    return m_folders.values();
}

namespace {
const char* const kDiffuse = "Diffuse Color";
const char* const kOpacity = "Opacity Strength";
}  // namespace

QStringList DzDefaultMaterial::propertyNames()
{
    return {"Diffuse Color",       "Diffuse Strength",   "Opacity Strength",      "Specular Color",
            "Specular Strength",   "Glossiness",         "Ambient Color",         "Ambient Strength",
            "Bump Strength",       "Normal Map",         "Displacement Strength", "Reflection Strength",
            "Refraction Strength", "Index of Refraction"};
}

DzDefaultMaterial::DzDefaultMaterial(QObject* parent) : DzMaterial(parent)
{
    auto color = [this](const char* name, const QColor& c) {
        auto* p = new DzColorProperty(name, c);
        p->setIsMappable(true);
        addProperty(p);
    };
    auto number = [this](const char* name, double v) {
        auto* p = new DzFloatProperty(name, v);
        p->setIsMappable(true);
        addProperty(p);
    };
    color(kDiffuse, Qt::white);
    number("Diffuse Strength", 1.0);
    number(kOpacity, 1.0);
    color("Specular Color", QColor(0x33, 0x33, 0x33));
    number("Specular Strength", 1.0);
    number("Glossiness", 0.0);
    color("Ambient Color", Qt::black);
    number("Ambient Strength", 1.0);
    number("Bump Strength", 0.0);
    // A normal map is an image-only channel.
    addProperty(new DzImageProperty("Normal Map"));
    number("Displacement Strength", 0.0);
    number("Reflection Strength", 0.0);
    number("Refraction Strength", 0.0);
    number("Index of Refraction", 1.0);
}

void DzDefaultMaterial::setDiffuseColor(const QColor& c)
{
    if (auto* p = qobject_cast<DzColorProperty*>(findProperty(kDiffuse))) p->setColorValue(c);
}

QColor DzDefaultMaterial::getDiffuseColor() const
{
    auto* p = qobject_cast<DzColorProperty*>(findProperty(kDiffuse));
    return p ? p->getColorValue() : QColor(Qt::white);
}

DzTexture* DzDefaultMaterial::getColorMap() const
{
    auto* p = qobject_cast<DzNumericProperty*>(findProperty(kDiffuse));
    return p ? p->getMapValue() : nullptr;
}

DzTexture* DzDefaultMaterial::getOpacityMap() const
{
    auto* p = qobject_cast<DzNumericProperty*>(findProperty(kOpacity));
    return p ? p->getMapValue() : nullptr;
}

void DzDefaultMaterial::setBaseOpacity(double v)
{
    if (auto* p = qobject_cast<DzNumericProperty*>(findProperty(kOpacity))) p->setDoubleValue(v);
}

double DzDefaultMaterial::getBaseOpacity() const
{
    auto* p = qobject_cast<DzNumericProperty*>(findProperty(kOpacity));
    return p ? p->getDoubleValue() : 1.0;
}

DzTexture* DzDefaultMaterial::getNormalMap() const
{
    auto* p = qobject_cast<DzImageProperty*>(findProperty("Normal Map"));
    return p ? p->getValue() : nullptr;
}

DzTexture* DzDefaultMaterial::getBumpMap() const
{
    auto* p = qobject_cast<DzNumericProperty*>(findProperty("Bump Strength"));
    return p ? p->getMapValue() : nullptr;
}

double DzDefaultMaterial::getBumpStrength() const
{
    auto* p = qobject_cast<DzNumericProperty*>(findProperty("Bump Strength"));
    return p ? p->getDoubleValue() : 0.0;
}
