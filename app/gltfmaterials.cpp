#include "gltfmaterials.h"
#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <dzmaterial.h>
#include <dznode.h>
#include "surfacemaps.h"

namespace {

QByteArray pngOf(const QImage& img)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    if (!img.save(&buf, "PNG")) return QByteArray();
    return bytes;
}

}  // namespace

int GltfMaterialWriter::image(DzTexture* tex)
{
    auto it = m_single.find(tex);
    if (it != m_single.end()) return it.value();
    const QByteArray png = pngOf(tex->getImage());
    int idx = -1;
    if (!png.isEmpty()) {
        m_images.push_back({QFileInfo(tex->getFilename()).completeBaseName() + ".png", png});
        idx = int(m_images.size()) - 1;
    }
    m_single.insert(tex, idx);
    return idx;
}

// glTF has no opacity map of its own: the opacity companion becomes the colour's alpha.
int GltfMaterialWriter::imageWithOpacity(DzTexture* colour, DzTexture* opacity)
{
    if (!opacity) return colour ? image(colour) : -1;
    const QPair<DzTexture*, DzTexture*> key(colour, opacity);
    auto it = m_combined.find(key);
    if (it != m_combined.end()) return it.value();
    const auto prepared = preparedSurface(colour, opacity);
    const QImage rgba = prepared && !prepared->levels.empty() ? prepared->levels.front() : QImage();
    int idx = -1;
    if (!rgba.isNull()) {
        const QString base = QFileInfo((colour ? colour : opacity)->getFilename()).completeBaseName();
        const QByteArray png = pngOf(rgba.convertToFormat(QImage::Format_ARGB32));
        if (!png.isEmpty()) {
            m_images.push_back({base + "_RGBA.png", png});
            idx = int(m_images.size()) - 1;
        }
    }
    m_combined.insert(key, idx);
    return idx;
}

GltfMaterial GltfMaterialWriter::describe(DzNode* node, DzMaterial* mat)
{
    GltfMaterial out;
    const QString matName = mat ? (mat->getLabel().isEmpty() ? mat->getName() : mat->getLabel()) : "default";
    out.name = node->getLabel() + "_" + matName;
    auto* dm = qobject_cast<DzDefaultMaterial*>(mat);
    if (!dm) return out;
    const QColor c = dm->getDiffuseColor();
    const float opacity = float(qBound(0.0, dm->getBaseOpacity(), 1.0));
    out.baseColor[0] = float(c.redF());
    out.baseColor[1] = float(c.greenF());
    out.baseColor[2] = float(c.blueF());
    out.baseColor[3] = opacity;
    if (dm->getColorMap() || dm->getOpacityMap()) {
        out.baseColorImage = imageWithOpacity(dm->getColorMap(), dm->getOpacityMap());
        if (out.baseColorImage >= 0 && dm->getOpacityMap()) {
            const AlphaMode mode = preparedSurface(dm->getColorMap(), dm->getOpacityMap())->alpha;
            if (mode == AlphaMode::Mask) out.alpha = GltfMaterial::Alpha::Mask;
            if (mode == AlphaMode::Blend) out.alpha = GltfMaterial::Alpha::Blend;
        }
    }
    // A surface seen through as a whole blends, whatever its map cuts out.
    if (opacity < 1.f) out.alpha = GltfMaterial::Alpha::Blend;
    if (dm->getNormalMap()) out.normalImage = image(dm->getNormalMap());
    return out;
}
