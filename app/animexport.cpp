#include "animexport.h"
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <dzsafefile.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <meshoptimizer.h>
#include <unordered_map>
#include <vector>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>
#include "meshbuffers.h"
#include "sceneexport.h"
#include "scenemeshes.h"

namespace {

constexpr int kFloat = 5126, kUInt = 5125, kUShort = 5123, kShort = 5122, kByte = 5120;
// Nearest integer; the library's lround is a call per value, too slow for millions of them.
inline int roundi(float v)
{
    return int(v < 0.f ? v - 0.5f : v + 0.5f);
}

constexpr int kArrayBuffer = 34962, kElementArrayBuffer = 34963;

// One mesh node followed through the frames. Its output vertices are the (vertex, UV) corners
// the facets use, grouped per material in the order the still glTF export writes them, so a
// frame here and a still export of the same tick list the same triangles.
struct Track
{
    MeshNode mn;
    QString label;
    QMatrix4x4 world;
    int meshVertices = 0;
    std::vector<int> vertex;    // mesh vertex of each output vertex
    std::vector<float> uv;      // two per output vertex
    bool hasUV = false;
    struct Prim
    {
        int material = 0;
        std::vector<uint32_t> indices;
    };
    std::vector<Prim> prims;
    std::vector<std::vector<float>> pos, nrm; // per frame (0 = the base), three per output vertex

    int count() const { return int(vertex.size()); }
};

void layOut(Track& t)
{
    const DzFacetMesh& mesh = *t.mn.mesh;
    const int nv = mesh.getNumVertices();
    const DzMap* uvMap = mesh.getUVs();
    const int nuv = uvMap ? uvMap->getNumValues() : 0;
    const DzFacet* f = mesh.getFacetsPtr();
    const int nf = mesh.getNumFacets();
    const int nmat = t.mn.shape->getNumMaterials();
    t.meshVertices = nv;
    t.hasUV = nuv > 0;
    QMap<int, std::vector<int>> byMaterial;
    for (int i = 0; i < nf; ++i) {
        const int corners = f[i].isQuad() ? 4 : 3;
        bool ok = true;
        for (int k = 0; k < corners; ++k) ok = ok && f[i].m_vertIdx[k] >= 0 && f[i].m_vertIdx[k] < nv;
        if (!ok) continue;
        int m = f[i].m_materialIdx;
        if (m < 0 || m >= nmat) m = 0;
        byMaterial[m].push_back(i);
    }
    for (auto it = byMaterial.begin(); it != byMaterial.end(); ++it) {
        std::unordered_map<uint64_t, uint32_t> corner;
        Track::Prim prim;
        prim.material = it.key();
        auto index = [&](int vi, int ui) {
            if (ui < 0 || ui >= nuv) ui = -1;
            const uint64_t key = (uint64_t(uint32_t(vi)) << 32) | uint32_t(ui);
            auto c = corner.find(key);
            if (c != corner.end()) return c->second;
            const DzPnt2 p = ui >= 0 ? uvMap->getPnt2Value(ui) : DzPnt2();
            t.vertex.push_back(vi);
            // glTF's texture origin is the top left corner.
            t.uv.insert(t.uv.end(), {p.u, 1.f - p.v});
            const uint32_t idx = uint32_t(t.vertex.size() - 1);
            corner.emplace(key, idx);
            return idx;
        };
        for (int fi : it.value()) {
            const DzFacet& fa = f[fi];
            uint32_t c[4];
            const int corners = fa.isQuad() ? 4 : 3;
            for (int k = 0; k < corners; ++k) c[k] = index(fa.m_vertIdx[k], fa.m_uvwIdx[k]);
            prim.indices.insert(prim.indices.end(), {c[0], c[1], c[2]});
            if (corners == 4) prim.indices.insert(prim.indices.end(), {c[0], c[2], c[3]});
        }
        t.prims.push_back(std::move(prim));
    }
}

bool capture(Track& t, QString* error)
{
    const DzFacetMesh& mesh = *t.mn.mesh;
    if (mesh.getNumVertices() != t.meshVertices) {
        *error = QString("%1 changed its number of vertices during the animation").arg(t.label);
        return false;
    }
    thread_local std::vector<float> normals;
    smoothNormals(mesh, normals);
    const DzVec3* v = mesh.getVerticesPtr();
    std::vector<float> p(size_t(t.count()) * 3), n(size_t(t.count()) * 3);
    for (size_t j = 0; j < size_t(t.count()); ++j) {
        const size_t vi = size_t(t.vertex[j]);
        p[3 * j] = v[vi].m_x, p[3 * j + 1] = v[vi].m_y, p[3 * j + 2] = v[vi].m_z;
        n[3 * j] = normals[3 * vi], n[3 * j + 1] = normals[3 * vi + 1], n[3 * j + 2] = normals[3 * vi + 2];
    }
    t.pos.push_back(std::move(p));
    t.nrm.push_back(std::move(n));
    return true;
}

// A view of v without a copy: the writer copies or encodes it before v goes away.
template <class T>
QByteArray bytesOf(const std::vector<T>& v)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(v.data()), int(v.size() * sizeof(T)));
}

void pad4(QByteArray& b, char fill = 0)
{
    while (b.size() % 4) b.append(fill);
}

QJsonArray jsonArray(const float* v, int n)
{
    QJsonArray a;
    for (int i = 0; i < n; ++i) a.append(double(v[i]));
    return a;
}

// The file under construction: JSON arrays and the binary chunk. With compression the mesh
// data goes into the binary chunk meshopt-encoded and the views point into a fallback
// buffer that has no data of its own.
struct GlbWriter
{
    bool compress = false;
    QByteArray bin;
    qint64 fallbackSize = 0;
    QJsonArray views, accessors, meshes, nodes, materials, textures, images;
    QHash<DzMaterial*, int> materialIndex;
    QHash<DzTexture*, int> textureIndex;

    int plainView(const QByteArray& data, int target = 0, int stride = 0)
    {
        pad4(bin);
        QJsonObject v{{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", data.size()}};
        if (target) v["target"] = target;
        if (stride) v["byteStride"] = stride;
        bin.append(data);
        views.append(v);
        return views.size() - 1;
    }

    // Vertex data (stride a multiple of four) or triangle indices (indexStride 2 or 4, given
    // as 32-bit indices in indices32).
    int meshView(const QByteArray& data, int target, int stride, int count, const std::vector<uint32_t>* indices32 = nullptr,
                 int vertexCount = 0)
    {
        if (!compress) return plainView(data, target, target == kArrayBuffer ? stride : 0);
        std::vector<unsigned char> enc;
        QString mode;
        if (indices32) {
            // The extension decodes index format version 1.
            meshopt_encodeIndexVersion(1);
            enc.resize(meshopt_encodeIndexBufferBound(indices32->size(), size_t(vertexCount)));
            enc.resize(meshopt_encodeIndexBuffer(enc.data(), enc.size(), indices32->data(), indices32->size()));
            mode = "TRIANGLES";
        } else {
            enc.resize(meshopt_encodeVertexBufferBound(size_t(count), size_t(stride)));
            enc.resize(meshopt_encodeVertexBuffer(enc.data(), enc.size(), data.constData(), size_t(count), size_t(stride)));
            mode = "ATTRIBUTES";
        }
        pad4(bin);
        const QJsonObject ext{{"buffer", 0},       {"byteOffset", bin.size()}, {"byteLength", int(enc.size())},
                              {"byteStride", stride}, {"count", count},         {"mode", mode}};
        bin.append(reinterpret_cast<const char*>(enc.data()), int(enc.size()));
        fallbackSize = (fallbackSize + 3) / 4 * 4;
        QJsonObject v{{"buffer", 1}, {"byteOffset", fallbackSize}, {"byteLength", data.size()}, {"target", target},
                      {"extensions", QJsonObject{{"EXT_meshopt_compression", ext}}}};
        if (target == kArrayBuffer) v["byteStride"] = stride;
        fallbackSize += data.size();
        views.append(v);
        return views.size() - 1;
    }

    int accessor(int view, int componentType, int count, const char* type, bool normalized = false,
                 const QJsonArray& min = {}, const QJsonArray& max = {})
    {
        QJsonObject a{{"bufferView", view}, {"componentType", componentType}, {"count", count}, {"type", type}};
        if (normalized) a["normalized"] = true;
        if (!min.isEmpty()) a["min"] = min, a["max"] = max;
        accessors.append(a);
        return accessors.size() - 1;
    }

    int texture(DzTexture* tex)
    {
        auto it = textureIndex.find(tex);
        if (it != textureIndex.end()) return it.value();
        QByteArray bytes;
        QFile f(tex->getFilename());
        if (f.open(QIODevice::ReadOnly) && f.peek(8).startsWith("\x89PNG")) bytes = f.readAll();
        if (bytes.isEmpty()) {
            const QImage img = tex->getImage();
            if (!img.isNull()) {
                QBuffer buf(&bytes);
                buf.open(QIODevice::WriteOnly);
                img.save(&buf, "PNG");
            }
        }
        int idx = -1;
        if (!bytes.isEmpty()) {
            images.append(QJsonObject{{"bufferView", plainView(bytes)}, {"mimeType", "image/png"}});
            textures.append(QJsonObject{{"source", images.size() - 1}});
            idx = textures.size() - 1;
        }
        textureIndex.insert(tex, idx);
        return idx;
    }

    int material(DzNode* node, DzMaterial* mat)
    {
        auto it = materialIndex.find(mat);
        if (it != materialIndex.end()) return it.value();
        auto* dm = qobject_cast<DzDefaultMaterial*>(mat);
        const QColor c = dm ? dm->getDiffuseColor() : QColor(Qt::white);
        const double opacity = dm ? qBound(0.0, dm->getBaseOpacity(), 1.0) : 1.0;
        QJsonObject pbr{{"baseColorFactor", QJsonArray{c.redF(), c.greenF(), c.blueF(), opacity}},
                        {"metallicFactor", 0.0},
                        {"roughnessFactor", 0.8}};
        if (dm && dm->getColorMap()) {
            const int t = texture(dm->getColorMap());
            if (t >= 0) pbr["baseColorTexture"] = QJsonObject{{"index", t}};
        }
        const QString matName = mat ? (mat->getLabel().isEmpty() ? mat->getName() : mat->getLabel()) : "default";
        QJsonObject m{{"name", node->getLabel() + "_" + matName}, {"pbrMetallicRoughness", pbr}, {"doubleSided", true}};
        if (opacity < 1.0) m["alphaMode"] = "BLEND";
        materials.append(m);
        materialIndex.insert(mat, materials.size() - 1);
        return materials.size() - 1;
    }
};

// Integer samples of a whole mesh over all frames: p = centre + q * step, |q| <= 32766, so
// the difference of two samples still fits a signed short.
struct Quantizer
{
    float centre[3] = {0, 0, 0};
    float step = 1.f;

    explicit Quantizer(const Track& t)
    {
        float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
        for (const auto& frame : t.pos)
            for (size_t i = 0; i < frame.size(); ++i) {
                lo[i % 3] = std::min(lo[i % 3], frame[i]);
                hi[i % 3] = std::max(hi[i % 3], frame[i]);
            }
        float extent = 0.f;
        for (int a = 0; a < 3; ++a) {
            centre[a] = 0.5f * (lo[a] + hi[a]);
            extent = std::max(extent, hi[a] - lo[a]);
        }
        step = extent > 0.f ? extent / 32766.f : 1.f;
        inv = 1.f / step;
    }
    float inv = 1.f;
    int16_t q(float v, int axis) const
    {
        return int16_t(roundi(qBound(-16383.f, (v - centre[axis]) * inv, 16383.f)));
    }
};

QJsonArray minOf(const std::vector<int16_t>& v, int comps, int stride, bool max)
{
    QJsonArray out;
    for (int a = 0; a < comps; ++a) {
        int m = max ? -32768 : 32767;
        for (size_t i = size_t(a); i < v.size(); i += size_t(stride)) m = max ? std::max<int>(m, v[i]) : std::min<int>(m, v[i]);
        out.append(m);
    }
    return out;
}

QJsonArray minOf(const std::vector<float>& v, bool max)
{
    float m[3] = {max ? -1e30f : 1e30f, max ? -1e30f : 1e30f, max ? -1e30f : 1e30f};
    for (size_t i = 0; i < v.size(); ++i) m[i % 3] = max ? std::max(m[i % 3], v[i]) : std::min(m[i % 3], v[i]);
    return jsonArray(m, 3);
}

// Writes one track's mesh and node. Returns the node index; animated is set when the mesh
// got morph targets.
int writeTrack(GlbWriter& w, const Track& t, const AnimationExportOptions& opt, bool* animated)
{
    const int n = t.count();
    const int frames = int(t.pos.size()) - 1;
    const auto& base = t.pos[0];
    const auto& baseN = t.nrm[0];
    bool moves = false, turns = false;
    for (int k = 1; k <= frames && !(moves && turns); ++k) {
        moves = moves || t.pos[size_t(k)] != base;
        for (size_t i = 0; i < baseN.size() && !turns; ++i) turns = std::fabs(t.nrm[size_t(k)][i] - baseN[i]) > 1e-5f;
    }
    turns = turns && moves;
    const bool quantize = n >= opt.quantizeFrom;
    QJsonObject attributes;
    QJsonArray targets;
    QMatrix4x4 matrix = t.world;

    if (quantize) {
        const Quantizer qz(t);
        matrix.translate(qz.centre[0], qz.centre[1], qz.centre[2]);
        matrix.scale(qz.step * 32767.f);
        auto quantized = [&](const std::vector<float>& p) {
            std::vector<int16_t> out(size_t(n) * 4, 0);
            for (int j = 0; j < n; ++j)
                for (int a = 0; a < 3; ++a) out[size_t(4 * j + a)] = qz.q(p[size_t(3 * j + a)], a);
            return out;
        };
        const std::vector<int16_t> qb = quantized(base);
        attributes["POSITION"] = w.accessor(w.meshView(bytesOf(qb), kArrayBuffer, 8, n), kShort, n, "VEC3", true,
                                            minOf(qb, 3, 4, false), minOf(qb, 3, 4, true));
        std::vector<int8_t> nb(size_t(n) * 4, 0);
        for (size_t j = 0; j < size_t(n); ++j)
            for (size_t a = 0; a < 3; ++a) nb[4 * j + a] = int8_t(roundi(qBound(-1.f, baseN[3 * j + a], 1.f) * 127.f));
        attributes["NORMAL"] = w.accessor(w.meshView(bytesOf(nb), kArrayBuffer, 4, n), kByte, n, "VEC3", true);
        for (int k = 1; moves && k <= frames; ++k) {
            std::vector<int16_t> d = quantized(t.pos[size_t(k)]);
            for (size_t i = 0; i < d.size(); ++i) d[i] = int16_t(d[i] - qb[i]);
            QJsonObject target{{"POSITION", w.accessor(w.meshView(bytesOf(d), kArrayBuffer, 8, n), kShort, n, "VEC3",
                                                       true, minOf(d, 3, 4, false), minOf(d, 3, 4, true))}};
            if (turns) {
                // Differences against the normals as stored, so base plus target is the frame's.
                std::vector<float> dn(size_t(n) * 3);
                float worst = 0.f;
                for (size_t j = 0; j < size_t(n); ++j)
                    for (size_t a = 0; a < 3; ++a) {
                        dn[3 * j + a] = t.nrm[size_t(k)][3 * j + a] - nb[4 * j + a] / 127.f;
                        worst = std::max(worst, std::fabs(dn[3 * j + a]));
                    }
                if (worst <= 1.f) {
                    // A byte per component, as precise as the base normals themselves.
                    std::vector<int8_t> dq(size_t(n) * 4, 0);
                    for (size_t j = 0; j < size_t(n); ++j)
                        for (size_t a = 0; a < 3; ++a) dq[4 * j + a] = int8_t(roundi(dn[3 * j + a] * 127.f));
                    target["NORMAL"] = w.accessor(w.meshView(bytesOf(dq), kArrayBuffer, 4, n), kByte, n, "VEC3", true);
                } else {
                    target["NORMAL"] = w.accessor(w.meshView(bytesOf(dn), kArrayBuffer, 12, n), kFloat, n, "VEC3");
                }
            }
            targets.append(target);
        }
    } else {
        attributes["POSITION"] = w.accessor(w.meshView(bytesOf(base), kArrayBuffer, 12, n), kFloat, n, "VEC3", false,
                                            minOf(base, false), minOf(base, true));
        attributes["NORMAL"] = w.accessor(w.meshView(bytesOf(baseN), kArrayBuffer, 12, n), kFloat, n, "VEC3");
        for (int k = 1; moves && k <= frames; ++k) {
            std::vector<float> d(base.size()), dn(base.size());
            for (size_t i = 0; i < d.size(); ++i) {
                d[i] = t.pos[size_t(k)][i] - base[i];
                dn[i] = t.nrm[size_t(k)][i] - baseN[i];
            }
            QJsonObject target{{"POSITION", w.accessor(w.meshView(bytesOf(d), kArrayBuffer, 12, n), kFloat, n, "VEC3",
                                                       false, minOf(d, false), minOf(d, true))}};
            if (turns) target["NORMAL"] = w.accessor(w.meshView(bytesOf(dn), kArrayBuffer, 12, n), kFloat, n, "VEC3");
            targets.append(target);
        }
    }
    if (t.hasUV) attributes["TEXCOORD_0"] = w.accessor(w.meshView(bytesOf(t.uv), kArrayBuffer, 8, n), kFloat, n, "VEC2");

    QJsonArray prims;
    for (const Track::Prim& p : t.prims) {
        const int count = int(p.indices.size());
        int acc;
        if (n <= 65535) {
            std::vector<uint16_t> i16(p.indices.begin(), p.indices.end());
            acc = w.accessor(w.meshView(bytesOf(i16), kElementArrayBuffer, 2, count, &p.indices, n), kUShort, count, "SCALAR");
        } else {
            acc = w.accessor(w.meshView(bytesOf(p.indices), kElementArrayBuffer, 4, count, &p.indices, n), kUInt, count,
                             "SCALAR");
        }
        QJsonObject prim{{"attributes", attributes}, {"indices", acc},
                         {"material", w.material(t.mn.node, facetMaterial(t.mn, p.material))}};
        if (!targets.isEmpty()) prim["targets"] = targets;
        prims.append(prim);
    }
    QJsonObject mesh{{"name", t.label}, {"primitives", prims}};
    if (!targets.isEmpty()) {
        QJsonArray zeros;
        for (int k = 0; k < targets.size(); ++k) zeros.append(0.0);
        mesh["weights"] = zeros;
    }
    w.meshes.append(mesh);
    w.nodes.append(QJsonObject{{"name", t.label}, {"mesh", w.meshes.size() - 1},
                               {"matrix", jsonArray(matrix.constData(), 16)}});
    *animated = !targets.isEmpty();
    return w.nodes.size() - 1;
}

bool writeGlb(const QString& file, const QJsonObject& json, QByteArray bin, QString* error)
{
    QByteArray text = QJsonDocument(json).toJson(QJsonDocument::Compact);
    pad4(text, ' ');
    pad4(bin);
    auto u32 = [](QByteArray& b, uint32_t v) {
        for (int i = 0; i < 4; ++i) b.append(char((v >> (8 * i)) & 0xff));
    };
    QByteArray head;
    u32(head, 0x46546C67); // "glTF"
    u32(head, 2);
    u32(head, uint32_t(12 + 8 + text.size() + (bin.isEmpty() ? 0 : 8 + bin.size())));
    u32(head, uint32_t(text.size()));
    u32(head, 0x4E4F534A); // "JSON"
    DzSafeFile out(file);
    if (!out.open()) {
        *error = QString("Cannot write %1: %2").arg(file, out.errorString());
        return false;
    }
    out.device()->write(head);
    out.device()->write(text);
    if (!bin.isEmpty()) {
        QByteArray chunk;
        u32(chunk, uint32_t(bin.size()));
        u32(chunk, 0x004E4942); // "BIN"
        out.device()->write(chunk);
        out.device()->write(bin);
    }
    if (!out.commit()) {
        *error = QString("Cannot write %1: %2").arg(file, out.errorString());
        return false;
    }
    return true;
}

} // namespace

bool exportAnimationGlb(const QString& file, const AnimationExportOptions& opt, const TickFunction& tick,
                        QString* error)
{
    if (opt.frames < 1 || !(opt.fps > 0.0)) {
        *error = "an animation needs at least one frame and a positive frame rate";
        return false;
    }
    if (!QFileInfo(QFileInfo(file).absolutePath()).isDir()) {
        *error = QString("Cannot write %1: folder does not exist").arg(file);
        return false;
    }
    std::vector<Track> tracks;
    for (const MeshNode& mn : sceneMeshNodes(true)) {
        Track t;
        t.mn = mn;
        t.label = mn.node->getLabel();
        t.world = toMatrix(mn.node->getWSTransform());
        layOut(t);
        if (t.count() == 0) continue;
        if (!capture(t, error)) return false;
        tracks.push_back(std::move(t));
    }
    for (int k = 1; k <= opt.frames; ++k) {
        if (!tick(error)) return false;
        for (Track& t : tracks)
            if (!capture(t, error)) return false;
    }

    GlbWriter w;
    w.compress = opt.compress;
    // The binary chunk grows to about this without compression; reserved, it is copied once.
    if (!opt.compress) {
        qint64 estimate = 0;
        for (const Track& t : tracks) {
            qint64 indices = 0;
            for (const Track::Prim& p : t.prims) indices += qint64(p.indices.size());
            estimate += qint64(t.count()) * (24 + 16 * qint64(opt.frames)) + indices * 4;
        }
        if (estimate < (qint64(1) << 31) - 1024) w.bin.reserve(int(estimate));
    }
    QJsonArray sceneNodes, channels, samplers;
    std::vector<int> animatedNodes;
    for (const Track& t : tracks) {
        bool animated = false;
        const int node = writeTrack(w, t, opt, &animated);
        sceneNodes.append(node);
        if (animated) animatedNodes.push_back(node);
    }
    QJsonObject json{{"asset", QJsonObject{{"version", "2.0"}, {"generator", "verdix-host"}}}};
    if (!animatedNodes.empty()) {
        // Every animated mesh has one target per frame, so all share the key times and weights:
        // at frame k target k has weight one, the rest zero; time 0 is the base.
        std::vector<float> times, weights;
        for (int k = 0; k <= opt.frames; ++k) {
            times.push_back(float(k / opt.fps));
            for (int t = 1; t <= opt.frames; ++t) weights.push_back(t == k ? 1.f : 0.f);
        }
        const int in = w.accessor(w.plainView(bytesOf(times)), kFloat, int(times.size()), "SCALAR", false,
                                  QJsonArray{0.0}, QJsonArray{double(times.back())});
        const int outAcc = w.accessor(w.plainView(bytesOf(weights)), kFloat, int(weights.size()), "SCALAR");
        for (int node : animatedNodes) {
            samplers.append(QJsonObject{{"input", in}, {"output", outAcc}, {"interpolation", opt.linear ? "LINEAR" : "STEP"}});
            channels.append(QJsonObject{{"sampler", samplers.size() - 1},
                                        {"target", QJsonObject{{"node", node}, {"path", "weights"}}}});
        }
        json["animations"] = QJsonArray{QJsonObject{{"name", "Wind"}, {"samplers", samplers}, {"channels", channels}}};
    }
    json["scene"] = 0;
    json["scenes"] = QJsonArray{QJsonObject{{"name", "Scene"}, {"nodes", sceneNodes}}};
    if (!w.nodes.isEmpty()) json["nodes"] = w.nodes;
    if (!w.meshes.isEmpty()) json["meshes"] = w.meshes;
    if (!w.materials.isEmpty()) json["materials"] = w.materials;
    if (!w.textures.isEmpty()) json["textures"] = w.textures, json["images"] = w.images;
    if (!w.accessors.isEmpty()) json["accessors"] = w.accessors, json["bufferViews"] = w.views;
    QJsonArray buffers;
    if (!w.bin.isEmpty()) buffers.append(QJsonObject{{"byteLength", (w.bin.size() + 3) / 4 * 4}});
    QJsonArray used;
    bool quantized = false;
    for (const Track& t : tracks) quantized = quantized || t.count() >= opt.quantizeFrom;
    if (quantized) used.append("KHR_mesh_quantization");
    if (w.compress && w.fallbackSize > 0) {
        buffers.append(QJsonObject{{"byteLength", w.fallbackSize},
                                   {"extensions", QJsonObject{{"EXT_meshopt_compression", QJsonObject{{"fallback", true}}}}}});
        used.append("EXT_meshopt_compression");
    }
    if (!buffers.isEmpty()) json["buffers"] = buffers;
    if (!used.isEmpty()) json["extensionsUsed"] = used, json["extensionsRequired"] = used;
    return writeGlb(file, json, w.bin, error);
}

bool exportFrameSequence(const QString& dir, int frames, const QString& ext, const TickFunction& tick, QString* error)
{
    if (!QDir().mkpath(dir)) {
        *error = QString("Cannot make the folder %1").arg(dir);
        return false;
    }
    for (int k = 1; k <= frames; ++k) {
        if (!tick(error)) return false;
        const QString file = QDir(dir).filePath(QString("frame_%1.%2").arg(k, 4, 10, QChar('0')).arg(ext));
        if (!exportScene(file, error)) return false;
    }
    return true;
}
