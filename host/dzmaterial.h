#pragma once
// Properties, textures and the default material.
#include <QColor>
#include <QHash>
#include <QMap>
#include <QStringList>
#include <QFileInfo>
#include <QImage>
#include <QMutex>
#include <QPointer>
#include "dzbase.h"

class DzTexture;

class DZHOST_EXPORT DzProperty : public DzElement
{
    Q_OBJECT
public:
    explicit DzProperty(const QString& name, QObject* parent = nullptr);
};

// A number that may also carry an image map (a texture modulating it).
class DZHOST_EXPORT DzNumericProperty : public DzProperty
{
    Q_OBJECT
public:
    explicit DzNumericProperty(const QString& name, double value = 0.0, QObject* parent = nullptr)
        : DzProperty(name, parent), m_value(value)
    {
    }

    double getDoubleValue() const { return m_value; }
    virtual void setDoubleValue(double v)
    {
        m_value = v;
        emit valueChanged();
    }

    bool isMappable() const { return m_mappable; }
    void setIsMappable(bool on) { m_mappable = on; }
    DzTexture* getMapValue() const { return m_map; }
    // Maps are only kept on mappable properties, as on the real host.
    void setMap(DzTexture* tex)
    {
        if (m_mappable || !tex) {
            m_map = tex;
            emit valueChanged();
        }
    }

signals:
    void valueChanged();

protected:
    double m_value;

private:
    bool m_mappable = false;
    QPointer<DzTexture> m_map;
};

class DZHOST_EXPORT DzFloatProperty : public DzNumericProperty
{
    Q_OBJECT
public:
    explicit DzFloatProperty(const QString& name, double value = 0.0, QObject* parent = nullptr)
        : DzNumericProperty(name, value, parent)
    {
    }
};

// A colour whose numeric value is 0xRRGGBB.
class DZHOST_EXPORT DzColorProperty : public DzNumericProperty
{
    Q_OBJECT
public:
    explicit DzColorProperty(const QString& name, const QColor& c = Qt::white, QObject* parent = nullptr)
        : DzNumericProperty(name, double(c.rgb() & 0xFFFFFF), parent)
    {
    }

    QColor getColorValue() const { return QColor::fromRgb(QRgb(quint32(m_value) | 0xFF000000u)); }
    void setColorValue(const QColor& c) { setDoubleValue(double(c.rgb() & 0xFFFFFF)); }
    void setDoubleValue(double v) override
    {
        const double clamped = v < 0 ? 0 : (v > double(0xFFFFFF) ? double(0xFFFFFF) : v);
        DzNumericProperty::setDoubleValue(double(quint32(clamped)));
    }
};

class DZHOST_EXPORT DzImageProperty : public DzProperty
{
    Q_OBJECT
public:
    explicit DzImageProperty(const QString& name, QObject* parent = nullptr) : DzProperty(name, parent) {}
    DzTexture* getValue() const { return m_tex; }
    void setValue(DzTexture* tex) { m_tex = tex; }

private:
    QPointer<DzTexture> m_tex;
};

// An image file known to the image manager; its pixels load on first use.
class DZHOST_EXPORT DzTexture : public DzBase
{
    Q_OBJECT
public:
    explicit DzTexture(const QString& file, QObject* parent = nullptr) : DzBase(parent), m_file(file) {}
    QString getFilename() const { return m_file; }
    // Safe to call from several threads at once (the viewport prepares surfaces in parallel).
    QImage getImage() const;
    // Whether the pixels are at hand for the file as it now is on disk (getImage() reads nothing).
    bool hasImage() const;
    // The file's pixels decoded by a caller that read it whole (to check it): kept as if read
    // here, for the file as it stood when that read began, so a texture is decoded once.
    void setDecodedImage(const QImage& image, const QFileInfo& readFrom);

private:
    QString m_file;
    mutable QMutex m_imageLock;
    mutable QImage m_image;
    mutable bool m_loaded = false;
    mutable qint64 m_fileSize = -1, m_fileStamp = -1;
};

class DZHOST_EXPORT DzImageMgr : public DzBase
{
    Q_OBJECT
public:
    explicit DzImageMgr(QObject* parent = nullptr) : DzBase(parent) {}
    // One texture per file path; null when no file exists there or it is not an image.
    DzTexture* getImage(const QString& file);
    // The texture already made for the file, or null; makes none.
    DzTexture* findImage(const QString& file) const;

    // The folders whose images a scene file may name besides those of its own folder: the
    // image libraries of the application and its plug-ins, one per key (a plug-in that
    // moves its library replaces its folder). An empty folder removes the key.
    void setImageFolder(const QString& key, const QString& folder);
    QStringList getImageFolders() const;

private:
    mutable QMutex m_lock;
    QHash<QString, DzTexture*> m_textures;
    QMap<QString, QString> m_folders;
};

class DZHOST_EXPORT DzMaterial : public DzElement
{
    Q_OBJECT
public:
    explicit DzMaterial(QObject* parent = nullptr) : DzElement(parent) {}
    int getIndex() const { return m_index; }
    void setIndex(int i) { m_index = i; }

private:
    int m_index = 0;
};

// The default surface: the named properties the plug-in reads and writes, plus
// smoothing and base opacity.
class DZHOST_EXPORT DzDefaultMaterial : public DzMaterial
{
    Q_OBJECT
public:
    explicit DzDefaultMaterial(QObject* parent = nullptr);

    void setDiffuseColor(const QColor& c);
    QColor getDiffuseColor() const;
    DzTexture* getColorMap() const;
    DzTexture* getOpacityMap() const;
    // Relief: the "Normal Map" image, or the "Bump Strength" map with its strength.
    DzTexture* getNormalMap() const;
    DzTexture* getBumpMap() const;
    double getBumpStrength() const;
    void setBaseOpacity(double v);
    double getBaseOpacity() const;
    void setSmoothingOn(bool on) { m_smoothing = on; }
    bool isSmoothingOn() const { return m_smoothing; }

    // Names of every property a default material carries, in creation order.
    static QStringList propertyNames();

private:
    bool m_smoothing = false;
};
