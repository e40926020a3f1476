#pragma once
// The materials and images of a glTF file, decided once for both writers (the still export
// through the library, the animated export by hand) so the two files of one scene carry the
// same surfaces: cut-outs as MASK with their opacity as the base colour's alpha, translucent
// surfaces as BLEND, normal maps where the material has one.
//
// Images are always encoded anew from their decoded pixels, never copied from their files:
// whatever a file holds besides its pixels (data appended after its end, metadata) stays
// out of an export that is handed on.
#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>
#include <vector>

class DzMaterial;
class DzNode;
class DzTexture;

struct GltfImage
{
    QString name;    // the file name it is known by, for the file's readers
    QByteArray png;  // PNG of the decoded pixels
};

struct GltfMaterial
{
    enum class Alpha {
        Opaque,
        Mask,
        Blend
    };
    QString name;
    float baseColor[4] = {1.f, 1.f, 1.f, 1.f};
    int baseColorImage = -1;  // index into the writer's images, -1 for none
    int normalImage = -1;
    Alpha alpha = Alpha::Opaque;
    float alphaCutoff = 0.5f;  // for Mask
    float metallic = 0.f;
    bool doubleSided = true;  // the viewport draws every surface from both sides; blades and leaves are cards
};

class GltfMaterialWriter
{
public:
    // The material mat (null for none) as node's facets use it. Images it needs are added
    // once each.
    GltfMaterial describe(DzNode* node, DzMaterial* mat);
    const std::vector<GltfImage>& images() const { return m_images; }
    // The file's texture of the writer's image (-1 for none): made by make(image) the first
    // time an image is asked for, which returns the new texture's index.
    template <class Make>
    int texture(int image, Make&& make)
    {
        if (image < 0) return -1;
        if (size_t(image) >= m_textureOfImage.size()) m_textureOfImage.resize(size_t(image) + 1, -1);
        if (m_textureOfImage[size_t(image)] < 0) m_textureOfImage[size_t(image)] = make(m_images[size_t(image)]);
        return m_textureOfImage[size_t(image)];
    }

private:
    int image(DzTexture* tex);
    int imageWithOpacity(DzTexture* colour, DzTexture* opacity);

    std::vector<GltfImage> m_images;
    std::vector<int> m_textureOfImage;
    QHash<DzTexture*, int> m_single;
    QHash<QPair<DzTexture*, DzTexture*>, int> m_combined;
};
