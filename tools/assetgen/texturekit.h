#pragma once
// Shared by the texture writers: seamless noise on the unit square, per-pixel images,
// normal and bump maps from height fields, and saving.

#include "noise.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <algorithm>
#include <functional>
#include <vector>

namespace assetgen {

constexpr double kTexPi = 3.14159265358979323846;

// Gradient noise that repeats every `period` lattice cells, so a texture tiles without
// seams. Coordinates are in [0, 1) of the texture; octaves double the period.
class TileNoise
{
public:
    TileNoise(std::uint32_t seed, int period) : m_noise(seed), m_period(period) {}
    double perlin(double u, double v, int period) const;
    double fbm(double u, double v, int octaves, double gain = 0.5) const;
    // 1 on the crests where the noise crosses zero, falling off to 0.
    double ridged(double u, double v, int octaves) const;
    // Distance to the nearest of the jittered cell points (cells per side = period) and to
    // the second nearest, both in cell units; id is a value in [0, 1) per cell.
    void cells(double u, double v, int period, double* d1, double* d2, double* id) const;

private:
    Noise m_noise;
    int m_period;
};

inline double clamp01(double t) { return std::clamp(t, 0.0, 1.0); }
inline double smooth(double a, double b, double t)
{
    const double x = clamp01((t - a) / (b - a));
    return x * x * (3 - 2 * x);
}
QColor mixColor(const QColor& a, const QColor& b, double t);
QColor scaled(const QColor& c, double f);

// Height field of w x h samples in [0, 1], row by row.
struct Field
{
    int w = 0, h = 0;
    std::vector<float> v;
    float at(int x, int y) const { return v[size_t(((y + h) % h) * w + (x + w) % w)]; }
};
Field makeField(int w, int h, const std::function<double(double, double)>& f);
QImage colourFrom(const Field& f, const std::function<QColor(double, double, double)>& c);
QImage pixelImage(int w, int h, const std::function<QColor(double, double)>& f);
// Tangent-space normal map (OpenGL convention, +Y up the image) of a tiling height field.
QImage normalMap(const Field& f, double strength);
QImage greyImage(const Field& f);

// Writes root/rel as PNG, fast compression: the library is rebuilt on every clean build.
bool writeTexture(const QString& root, const QString& rel, const QImage& img, QString* error);

bool writeTilingTextures(const QString& root, QString* error);
bool writeCutoutTextures(const QString& root, QString* error);

}  // namespace assetgen
