#pragma once
// How a material's image maps become what the viewport and the exporters draw: the diffuse
// texture with its opacity companion as alpha, and mipmaps that keep cut-outs standing.
#include <QImage>
#include <memory>
#include <vector>

class DzTexture;

enum class AlphaMode {
    Opaque,
    Mask,
    Blend
};

// The colour image with alpha taken from the opacity map's brightness (scaled to the colour
// image's size), as non-premultiplied RGBA8888. Either image may be null: without colour the
// surface is white, without opacity it is solid. Null when both are.
QImage combineOpacity(const QImage& colour, const QImage& opacity);

// An opacity map of mostly solid and clear parts is a cut-out (blades, leaves, sprites); one
// with large grey areas (a terrain blend mask) blends. Opaque without a map.
AlphaMode alphaModeOf(const QImage& opacity);

// The mip chain of an RGBA cut-out image down to 1 x 1. Each level's alpha is scaled so that
// the share of texels above one half comes as close as the level allows to the full image's:
// filtered cut-outs of distant grass would otherwise fall below the threshold and vanish.
std::vector<QImage> coverageMipmaps(const QImage& rgba);
// Share of texels whose alpha is above one half.
double alphaCoverage(const QImage& rgba);

// A colour map and its opacity companion made ready to draw: the combined RGBA image, its
// alpha mode and, for cut-outs, the coverage mip chain (levels[0] is the image itself).
struct PreparedSurface
{
    AlphaMode alpha = AlphaMode::Opaque;
    std::vector<QImage> levels;
};
// Made once per pair of image files as they are on disk (path, size and modification time)
// and kept for the process: decoding, combining and the mip chain of a few dozen 1024 x 1024
// maps cost seconds, and a new scene, a reopened set, a second view or a screenshot reuses
// them. A file changed on disk is read again. Null when both maps are null.
std::shared_ptr<const PreparedSurface> preparedSurface(const DzTexture* colour, const DzTexture* opacity);
