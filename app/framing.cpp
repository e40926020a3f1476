#include "framing.h"
#include <QVector2D>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <dzapp.h>
#include <dzgeometry.h>
#include <dznode.h>
#include <dzpane.h>
#include <limits>
#include <vector>
#include "meshtriangles.h"
#include "viewsettings.h"
#include "trekkopane.h"

bool parseNamedView(const QString& text, NamedView* out)
{
    const QString t = text.trimmed().toLower();
    if (t == "perspective") *out = NamedView::Perspective;
    else if (t == "top") *out = NamedView::Top;
    else if (t == "front") *out = NamedView::Front;
    else if (t == "eye" || t == "eye level") *out = NamedView::Eye;
    else return false;
    return true;
}

QString namedViewLabel(NamedView v)
{
    switch (v) {
    case NamedView::Perspective:
        return "Perspective";
    case NamedView::Top:
        return "Top";
    case NamedView::Front:
        return "Front";
    case NamedView::Eye:
        return "Eye level";
    }
    return QString();
}

namespace {

Bounds orDefault(const Bounds& b)
{
    if (!b.isEmpty()) return b;
    Bounds d;
    d.add(QVector3D(-250.f, 0.f, -250.f));
    d.add(QVector3D(250.f, 100.f, 250.f));
    return d;
}

void corners(const Bounds& b, QVector3D out[8])
{
    for (int i = 0; i < 8; ++i)
        out[i] = QVector3D(i & 1 ? b.max.x() : b.min.x(), i & 2 ? b.max.y() : b.min.y(), i & 4 ? b.max.z() : b.min.z());
}

}  // namespace

void frameBounds(OrbitCamera* cam, const Bounds& bIn, float aspect, float fill)
{
    const Bounds b = orDefault(bIn);
    QVector3D c[8];
    corners(b, c);
    framePoints(cam, std::vector<QVector3D>(c, c + 8), aspect, fill);
}

void framePoints(OrbitCamera* cam, const std::vector<QVector3D>& pts, float aspect, float fill)
{
    if (pts.empty()) return frameBounds(cam, Bounds(), aspect, fill);
    Bounds b;
    for (const QVector3D& p : pts) b.add(p);
    const std::vector<QVector3D>& c = pts;
    cam->target = b.center();
    const float tanV = std::tan(qDegreesToRadians(cam->fovDeg) * 0.5f) * fill;
    const float tanH = tanV * (aspect > 0.f ? aspect : 1.f);
    // The camera's frame stays while the target slides sideways to centre the picture and
    // the distance follows: a dozen rounds settle it within a pixel or so.
    for (int round = 0; round < 16; ++round) {
        const QVector3D fwd = (cam->target - cam->eye()).normalized();
        const QVector3D right = QVector3D::crossProduct(fwd, QVector3D(0.f, 1.f, 0.f)).normalized();
        const QVector3D up = QVector3D::crossProduct(right, fwd);
        float dist = 0.f;
        for (const QVector3D& p : c) {
            const QVector3D q = p - cam->target;
            const float x = QVector3D::dotProduct(q, right), y = QVector3D::dotProduct(q, up),
                        z = QVector3D::dotProduct(q, fwd);
            // In the picture when |x| <= tanH * (dist + z), likewise y; and in front of the eye.
            dist = std::max({dist, std::abs(x) / tanH - z, std::abs(y) / tanV - z, -z + 1.f});
        }
        cam->distance = std::max(dist, 1.f);
        if (round == 15) break;
        float lo[2] = {1e30f, 1e30f}, hi[2] = {-1e30f, -1e30f};
        for (const QVector3D& p : c) {
            const QVector3D q = p - cam->target;
            const float depth = cam->distance + QVector3D::dotProduct(q, fwd);
            const float sx = QVector3D::dotProduct(q, right) / depth, sy = QVector3D::dotProduct(q, up) / depth;
            lo[0] = std::min(lo[0], sx), hi[0] = std::max(hi[0], sx);
            lo[1] = std::min(lo[1], sy), hi[1] = std::max(hi[1], sy);
        }
        // Half the way: a view from low over a deep scene overshoots with the whole step,
        // the nearest and the farthest points taking turns at the picture's edge.
        cam->target += (right * ((lo[0] + hi[0]) * 0.5f) + up * ((lo[1] + hi[1]) * 0.5f)) * (0.5f * cam->distance);
    }
}

float walkEyeHeight()
{
    if (dzApp && dzApp->getPaneMgr())
        if (auto* walk = qobject_cast<ZPK_TrekkoPane*>(dzApp->getPaneMgr()->findPaneByClass("ZPK_TrekkoPane")))
            return float(walk->eyeHeight());
    return 170.f;
}

namespace {

// The mesh whose footprint is the largest: the terrain in any scene the pane builds.
MeshNode groundMesh()
{
    MeshNode best;
    float bestArea = 0.f;
    for (const MeshNode& mn : sceneMeshNodes(true)) {
        const Bounds b = nodeBounds(mn);
        const float area = (b.max.x() - b.min.x()) * (b.max.z() - b.min.z());
        if (area > bestArea) {
            bestArea = area;
            best = mn;
        }
    }
    return best;
}

// The vertices of a mesh node in world space.
std::vector<QVector3D> worldVertices(const MeshNode& mn)
{
    const QMatrix4x4 model = toMatrix(mn.node->getWSTransform());
    const DzVec3* v = mn.mesh->getVerticesPtr();
    std::vector<QVector3D> world(static_cast<size_t>(mn.mesh->getNumVertices()));
    for (size_t i = 0; i < world.size(); ++i) world[i] = model.map(toQt(v[i]));
    return world;
}

// The height of triangle abc over (x, z), when the vertical line there meets it (eps of
// slack in the barycentric weights, so shared edges leave no gap).
bool triangleHeightAt(const QVector3D& a, const QVector3D& b, const QVector3D& c, float x, float z, float eps, float* y)
{
    const float d = (b.z() - c.z()) * (a.x() - c.x()) + (c.x() - b.x()) * (a.z() - c.z());
    if (std::abs(d) < 1e-12f) return false;
    const float w0 = ((b.z() - c.z()) * (x - c.x()) + (c.x() - b.x()) * (z - c.z())) / d;
    const float w1 = ((c.z() - a.z()) * (x - c.x()) + (a.x() - c.x()) * (z - c.z())) / d;
    const float w2 = 1.f - w0 - w1;
    if (w0 < -eps || w1 < -eps || w2 < -eps) return false;
    *y = w0 * a.y() + w1 * b.y() + w2 * c.y();
    return true;
}

}  // namespace

bool groundHeightAt(float x, float z, float* height)
{
    const MeshNode mn = groundMesh();
    if (!mn.mesh) return false;
    float best = -std::numeric_limits<float>::max();
    bool found = false;
    // Triangles in world space against the vertical line through (x, z).
    const std::vector<QVector3D> world = worldVertices(mn);
    forEachTriangle(*mn.mesh, [&](int i0, int i1, int i2) {
        float y = 0.f;
        if (!triangleHeightAt(world[size_t(i0)], world[size_t(i1)], world[size_t(i2)], x, z, 1e-5f, &y)) return;
        best = std::max(best, y);
        found = true;
    });
    if (found) *height = best;
    return found;
}

namespace {

// The ground sampled once on a grid (each cell's height from the triangles over its centre),
// so the eye-level search can ask for thousands of heights.
struct GroundGrid
{
    static constexpr int N = 96;
    Bounds b;
    std::vector<float> h;
    std::vector<char> has;
    explicit GroundGrid(const MeshNode& mn) : h(size_t(N * N), -1e30f), has(size_t(N * N), 0)
    {
        if (!mn.mesh) return;
        b = nodeBounds(mn);
        const std::vector<QVector3D> w = worldVertices(mn);
        const float sx = (b.max.x() - b.min.x()) / N, sz = (b.max.z() - b.min.z()) / N;
        if (sx <= 0.f || sz <= 0.f) return;
        forEachTriangle(*mn.mesh, [&](int t0, int t1, int t2) {
            const QVector3D& a = w[size_t(t0)];
            const QVector3D& bb = w[size_t(t1)];
            const QVector3D& c = w[size_t(t2)];
            const int i0 = std::max(0, int((std::min({a.x(), bb.x(), c.x()}) - b.min.x()) / sx - 0.5f));
            const int i1 = std::min(N - 1, int((std::max({a.x(), bb.x(), c.x()}) - b.min.x()) / sx + 0.5f));
            const int j0 = std::max(0, int((std::min({a.z(), bb.z(), c.z()}) - b.min.z()) / sz - 0.5f));
            const int j1 = std::min(N - 1, int((std::max({a.z(), bb.z(), c.z()}) - b.min.z()) / sz + 0.5f));
            for (int j = j0; j <= j1; ++j)
                for (int ii = i0; ii <= i1; ++ii) {
                    const float x = b.min.x() + (float(ii) + 0.5f) * sx, z = b.min.z() + (float(j) + 0.5f) * sz;
                    float y = 0.f;
                    if (!triangleHeightAt(a, bb, c, x, z, 1e-4f, &y)) continue;
                    const size_t at = size_t(j * N + ii);
                    h[at] = std::max(h[at], y);
                    has[at] = 1;
                }
        });
    }
    bool at(float x, float z, float* out) const
    {
        if (b.isEmpty()) return false;
        const int i = int((x - b.min.x()) / (b.max.x() - b.min.x()) * N);
        const int j = int((z - b.min.z()) / (b.max.z() - b.min.z()) * N);
        if (i < 0 || j < 0 || i >= N || j >= N || !has[size_t(j * N + i)]) return false;
        *out = h[size_t(j * N + i)];
        return true;
    }
};

}  // namespace

std::vector<QVector3D> sceneOutline()
{
    std::vector<QVector3D> pts;
    const MeshNode ground = groundMesh();
    if (ground.mesh) {
        const GroundGrid grid(ground);
        const int n = GroundGrid::N;
        // Cell edges from the first to the last, so the outline reaches the ground's rim;
        // heights from the cell just inside.
        const float dx = (grid.b.max.x() - grid.b.min.x()) / float(n),
                    dz = (grid.b.max.z() - grid.b.min.z()) / float(n);
        for (int j = 0; j <= n; j += (j + 3 > n && j < n) ? n - j : 3)
            for (int i = 0; i <= n; i += (i + 3 > n && i < n) ? n - i : 3) {
                const float x = grid.b.min.x() + float(i) * dx, z = grid.b.min.z() + float(j) * dz;
                float h = 0.f;
                if (grid.at(std::min(x + 0.5f * dx, grid.b.max.x() - 0.5f * dx),
                            std::min(z + 0.5f * dz, grid.b.max.z() - 0.5f * dz), &h))
                    pts.emplace_back(x, h, z);
            }
    }
    for (const MeshNode& mn : sceneMeshNodes(true)) {
        if (ground.mesh && mn.node == ground.node && !pts.empty()) continue;
        QVector3D c[8];
        corners(nodeBounds(mn), c);
        pts.insert(pts.end(), c, c + 8);
    }
    return pts;
}

std::vector<QVector3D> sceneContentOutline()
{
    std::vector<QVector3D> pts;
    const MeshNode ground = groundMesh();
    for (const MeshNode& mn : sceneMeshNodes(true)) {
        if (mn.node == ground.node) continue;
        // The mesh's own vertices, not its box: a grove's box holds much empty air. A large
        // mesh (a grass patch) is sampled; its points lie close together, so the few left out
        // stand within the picture's margin.
        const QMatrix4x4 model = toMatrix(mn.node->getWSTransform());
        const DzVec3* v = mn.mesh->getVerticesPtr();
        const int nv = mn.mesh->getNumVertices();
        const int stride = std::max(1, nv / 5000);
        for (int i = 0; i < nv; i += stride) pts.push_back(model.map(toQt(v[i])));
    }
    if (!ground.mesh) return pts;
    const GroundGrid grid(ground);
    const int n = GroundGrid::N;
    // The rim's level: the mean height of the cells along the edge.
    float level = 0.f;
    int rimCells = 0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            if (i != 0 && j != 0 && i != n - 1 && j != n - 1) continue;
            if (!grid.has[size_t(j * n + i)]) continue;
            level += grid.h[size_t(j * n + i)];
            ++rimCells;
        }
    if (rimCells == 0) return pts;
    level /= float(rimCells);
    // Relief: a twentieth of the ground's width off that level (a metre or so on the pane's
    // terrains reads as ground, a hill of ten does not).
    const float width = std::max(grid.b.max.x() - grid.b.min.x(), grid.b.max.z() - grid.b.min.z());
    const float relief = 0.05f * width;
    const float dx = (grid.b.max.x() - grid.b.min.x()) / float(n), dz = (grid.b.max.z() - grid.b.min.z()) / float(n);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const size_t at = size_t(j * n + i);
            if (!grid.has[at] || std::abs(grid.h[at] - level) < relief) continue;
            // The cell's corners at its height and at the level it rises from.
            for (int k = 0; k < 4; ++k) {
                const float x = grid.b.min.x() + float(i + (k & 1)) * dx, z = grid.b.min.z() + float(j + (k >> 1)) * dz;
                pts.emplace_back(x, grid.h[at], z);
                pts.emplace_back(x, level, z);
            }
        }
    return pts;
}

OrbitCamera namedViewCamera(NamedView v, float aspect, float eyeHeight, float fovDeg)
{
    const Bounds b = orDefault(sceneBounds());
    OrbitCamera cam;
    if (fovDeg > 0.f) cam.fovDeg = fovDeg;
    switch (v) {
    case NamedView::Perspective: {
        // From above at an angle, yet with the horizon and a band of sky in the picture's
        // upper part, so the scene is seen standing in its land.
        if (fovDeg <= 0.f) cam.fovDeg = 55.f;
        cam.yawDeg = 35.f;
        cam.pitchDeg = qRadiansToDegrees(std::atan(0.7f * std::tan(qDegreesToRadians(cam.fovDeg) * 0.5f)));
        break;
    }
    case NamedView::Top:
        cam.yawDeg = 0.f;
        cam.pitchDeg = 89.f;
        break;
    case NamedView::Front:
        cam.yawDeg = 0.f;
        cam.pitchDeg = 0.f;
        break;
    case NamedView::Eye: {
        // Someone standing inside the scene towards its edge, looking across it to its centre:
        // far enough in that the ground is under the feet, clear of the trees and tall
        // flowers, with the scene ahead. The south-east comes first, then the other
        // directions around.
        if (fovDeg <= 0.f) cam.fovDeg = 50.f;
        const QVector3D c = b.center();
        const float halfX = (b.max.x() - b.min.x()) * 0.5f, halfZ = (b.max.z() - b.min.z()) * 0.5f;
        const MeshNode ground = groundMesh();
        const GroundGrid grid(ground);
        float groundC = b.min.y();
        grid.at(c.x(), c.z(), &groundC);
        std::vector<Bounds> tall;
        for (const MeshNode& mn : sceneMeshNodes(true)) {
            if (mn.node == ground.node) continue;
            Bounds nb = nodeBounds(mn);
            // Taller than half the eye over the highest ground beneath it: a tree or a tall
            // flower, not a patch of grass on a slope.
            float groundTop = -1e30f;
            for (int j = 0; j <= 4; ++j)
                for (int i = 0; i <= 4; ++i) {
                    float gh = 0.f;
                    if (grid.at(nb.min.x() + (nb.max.x() - nb.min.x()) * float(i) / 4.f,
                                nb.min.z() + (nb.max.z() - nb.min.z()) * float(j) / 4.f, &gh))
                        groundTop = std::max(groundTop, gh);
                }
            if (groundTop < -1e29f) groundTop = nb.min.y();
            // Flowers up to the chest count too: standing among them, a few heads fill
            // the picture.
            if (nb.max.y() - groundTop <= eyeHeight * 0.5f) continue;
            // Room around the crown: leaves right before the eye would hide the scene (and a
            // software renderer drawing them large crawls).
            const float pad = std::max(eyeHeight, 0.3f * std::max(nb.max.x() - nb.min.x(), nb.max.z() - nb.min.z()));
            nb.min -= QVector3D(pad, 0.f, pad);
            nb.max += QVector3D(pad, 0.f, pad);
            tall.push_back(nb);
        }
        auto clear = [&](float x, float z) {
            for (const Bounds& t : tall)
                if (x >= t.min.x() && x <= t.max.x() && z >= t.min.z() && z <= t.max.z()) return false;
            return true;
        };
        // Of the clear places, the one whose skyline ahead (the ground rising across the
        // scene) stands a little above the eye. The camera then tilts so that this skyline
        // sits a little above the middle of the picture, leaving the sky its upper part.
        const float tanHalf = std::tan(qDegreesToRadians(cam.fovDeg) * 0.5f);
        // The default sun (not the one set now): the place prefers it behind or beside the eye,
        // which shows lit sides and shadows, and stays where it is when the sun is turned, so
        // the shadows move in the same picture.
        const SkyVec sd = sunDirection(SunSky{});
        const QVector3D sunFlat = QVector3D(sd.x, 0.f, sd.z).normalized() * std::sqrt(std::max(0.f, 1.f - sd.y * sd.y));
        float bestScore = 1e9f, bestRise = 0.f;
        QVector3D bestEye, bestDir;
        // Places around the middle, and the corners: from a corner the scene lies farthest
        // ahead, so a hill in its middle rises least and the sky shows above it.
        std::vector<std::pair<QVector2D, float>> places;
        for (float k : {0.95f, 0.85f, 0.7f, 0.55f}) {
            for (float yawDeg : {35.f, 10.f, 60.f, -15.f, 85.f, 135.f, 180.f, 225.f, 270.f, 315.f}) {
                const float yaw = qDegreesToRadians(yawDeg);
                places.emplace_back(QVector2D(std::sin(yaw) * k, std::cos(yaw) * k), k);
            }
            for (float sx : {1.f, -1.f})
                for (float sz : {1.f, -1.f}) places.emplace_back(QVector2D(sx * k, sz * k), k * 1.3f);
        }
        for (const auto& place : places) {
            {
                const float k = std::min(place.second, 0.95f);
                const float px = c.x() + place.first.x() * halfX, pz = c.z() + place.first.y() * halfZ;
                float g = 0.f;
                if (!clear(px, pz) || !grid.at(px, pz, &g)) continue;
                const QVector3D eye(px, g + eyeHeight, pz);
                const QVector3D toCentre(c.x() - px, 0.f, c.z() - pz);
                const float reach = toCentre.length() * 2.f;
                if (reach < 1e-3f) continue;
                // Across the scene, towards its centre.
                for (float turnDeg : {0.f}) {
                    const float t = qDegreesToRadians(turnDeg);
                    const QVector3D c0 = toCentre.normalized();
                    const QVector3D dir(c0.x() * std::cos(t) - c0.z() * std::sin(t), 0.f,
                                        c0.x() * std::sin(t) + c0.z() * std::cos(t));
                    float rise = -1e9f;
                    for (int i = 1; i <= 24; ++i) {
                        const float d = reach * float(i) / 24.f;
                        float h = 0.f;
                        if (grid.at(px + dir.x() * d, pz + dir.z() * d, &h)) rise = std::max(rise, (h - eye.y()) / d);
                        else if (rise > -1e9f) break;  // past the far edge
                    }
                    // Nearer the edge and nearer the centre's direction are better by a little,
                    // and so is the default sun behind the eye. The skyline a little above the
                    // eye is best: much higher is a slope before the eye, much lower a hilltop
                    // looking down on empty ground.
                    const float intoSun = std::max(0.f, QVector3D::dotProduct(dir, sunFlat));
                    const float score =
                        std::abs(rise - 0.05f) + (0.95f - k) * 0.05f + std::abs(t) * 0.08f + intoSun * 0.15f;
                    if (score < bestScore) {
                        bestScore = score;
                        bestRise = rise;
                        bestEye = eye;
                        bestDir = dir;
                    }
                }
            }
        }
        if (bestScore < 1e8f) {
            // The grid's cell height is near; the feet stand on the triangle itself.
            float exact = 0.f;
            if (groundHeightAt(bestEye.x(), bestEye.z(), &exact)) bestEye.setY(exact + eyeHeight);
            const float skyline = std::atan(std::max(bestRise, -1.f));
            // Never so far down that the horizon leaves the picture.
            const float pitch =
                qBound(qDegreesToRadians(-10.f), skyline - std::atan(0.3f * tanHalf), qDegreesToRadians(10.f));
            cam.lookAt(bestEye, bestEye + (bestDir * std::cos(pitch) + QVector3D(0.f, std::sin(pitch), 0.f)) *
                                              std::max(halfX, halfZ));
            return cam;
        }
        // No clear ground: a person's height over the ground (or the scene's floor) at its edge.
        const QVector3D out(std::sin(qDegreesToRadians(35.f)), 0.f, std::cos(qDegreesToRadians(35.f)));
        const float px = c.x() + out.x() * halfX * 0.8f, pz = c.z() + out.z() * halfZ * 0.8f;
        float g = b.min.y();
        groundHeightAt(px, pz, &g);
        cam.lookAt(QVector3D(px, g + eyeHeight, pz), QVector3D(c.x(), groundC + eyeHeight * 0.4f, c.z()));
        return cam;
    }
    }
    // From above at an angle, with the land drawn around the scene (every shading but the
    // flat one), plain ground at the edges reads as more of that land: the view frames what
    // the scene holds, which then fills the picture.
    std::vector<QVector3D> content;
    if (v == NamedView::Perspective && viewLook().shading != Shading::Flat) content = sceneContentOutline();
    if (content.empty()) {
        framePoints(&cam, sceneOutline(), aspect);
        return cam;
    }
    // Turned a little either way where that brings the camera closer (a square scene seen
    // along its side is narrower than seen across its corners), by a good margin only, so
    // the usual three-quarter view stays the common one.
    OrbitCamera best = cam;
    float bestCost = 1e30f;
    for (float turn : {0.f, -15.f, 15.f, -30.f, 30.f}) {
        OrbitCamera c = cam;
        c.yawDeg += turn;
        framePoints(&c, content, aspect);
        const float cost = c.distance * (1.f + 0.004f * std::abs(turn));
        if (cost < bestCost) {
            bestCost = cost;
            best = c;
        }
    }
    return best;
}
