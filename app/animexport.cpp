#include "animexport.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QThread>
#include <dzsafefile.h>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
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
#include "gltfmaterials.h"
#include "meshbuffers.h"
#include "sceneexport.h"
#include "scenemeshes.h"

namespace {

constexpr int kFloat = 5126, kUInt = 5125, kUShort = 5123, kShort = 5122, kByte = 5120;
// Nearest integer, halves away from zero; the library's lround is a call per value, too
// slow for millions of them, and a branch on the sign mispredicts on offsets of either sign.
inline int roundi(float v) { return int(v + std::copysign(0.5f, v)); }

constexpr int kArrayBuffer = 34962, kElementArrayBuffer = 34963;
// A quantized mesh's grid spans twice its base extent, so frames may sway half that extent
// past the base in every direction before a frame falls back to float offsets.
constexpr float kGridMargin = 2.f;
constexpr float kTurn = 1e-5f;  // normals closer than this to the base count as unturned

// One mesh node followed through the frames. Its output vertices are the (vertex, UV) corners
// the facets use, grouped per material in the order the still glTF export writes them, so a
// frame here and a still export of the same tick list the same triangles. Everything here
// is fixed before the first tick; the frame encoders on the worker threads only read it.
struct Track
{
    MeshNode mn;
    QString label;
    QMatrix4x4 world;
    int meshVertices = 0;
    std::vector<DzFacet> facets;   // the topology, for normals away from the mesh
    std::vector<DzVec3> baseMesh;  // the mesh vertices of the base
    std::vector<int> vertex;       // mesh vertex of each output vertex
    std::vector<float> uv;         // two per output vertex
    bool hasUV = false;
    struct Prim
    {
        int material = 0;
        int indices = -1;  // accessor
        std::vector<uint32_t> list;
    };
    std::vector<Prim> prims;
    std::vector<float> basePos, baseNrm;  // three per output vertex

    // Quantized tracks: p = centre + q * step with |q| <= 16383, so the difference of two
    // samples fits a signed short; qb and nb are the base as stored.
    bool quantize = false;
    float centre[3] = {0, 0, 0};
    float step = 1.f, inv = 1.f;
    std::vector<int16_t> qb;
    std::vector<int8_t> nb;

    int count() const { return int(vertex.size()); }
};

// What the main thread learns of a track while the frames are written.
struct TrackState
{
    int position = -1, normal = -1, uv = -1;  // base accessors
    struct Target
    {
        int position = -1, normal = -1;  // -1: as the base (still), or normals unturned
    };
    std::vector<Target> targets;
    bool moved = false, turned = false;
};

void layOut(Track& t)
{
    const DzFacetMesh& mesh = *t.mn.mesh;
    const int nv = mesh.getNumVertices();
    const DzMap* uvMap = mesh.getUVs();
    const int nuv = uvMap ? uvMap->getNumValues() : 0;
    const DzFacet* f = mesh.getFacetsPtr();
    const int nf = mesh.getNumFacets();
    t.meshVertices = nv;
    t.hasUV = nuv > 0;
    t.facets.assign(f, f + nf);
    const QMap<int, std::vector<int>> byMaterial = facetsByMaterial(t.mn);
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
            prim.list.insert(prim.list.end(), {c[0], c[1], c[2]});
            if (corners == 4) prim.list.insert(prim.list.end(), {c[0], c[2], c[3]});
        }
        t.prims.push_back(std::move(prim));
    }
}

// Positions and smooth normals of the output vertices from a copy of the mesh vertices.
void gather(const Track& t, const DzVec3* v, std::vector<float>& p, std::vector<float>& n)
{
    thread_local std::vector<float> normals;
    smoothNormals(v, t.meshVertices, t.facets.data(), int(t.facets.size()), normals);
    p.resize(size_t(t.count()) * 3);
    n.resize(size_t(t.count()) * 3);
    for (size_t j = 0; j < size_t(t.count()); ++j) {
        const size_t vi = size_t(t.vertex[j]);
        p[3 * j] = v[vi].m_x, p[3 * j + 1] = v[vi].m_y, p[3 * j + 2] = v[vi].m_z;
        n[3 * j] = normals[3 * vi], n[3 * j + 1] = normals[3 * vi + 1], n[3 * j + 2] = normals[3 * vi + 2];
    }
}

// The base as it is stored, and for quantized tracks the grid.
void setBase(Track& t, int quantizeFrom)
{
    gather(t, t.baseMesh.data(), t.basePos, t.baseNrm);
    const int n = t.count();
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    for (size_t i = 0; i < t.basePos.size(); ++i) {
        lo[i % 3] = std::min(lo[i % 3], t.basePos[i]);
        hi[i % 3] = std::max(hi[i % 3], t.basePos[i]);
    }
    float extent = 0.f;
    for (int a = 0; a < 3; ++a) {
        t.centre[a] = 0.5f * (lo[a] + hi[a]);
        extent = std::max(extent, hi[a] - lo[a]);
    }
    // A mesh squeezed into one point has no grid to scale; it stays in floats.
    t.quantize = n >= quantizeFrom && extent > 0.f && std::isfinite(extent);
    if (!t.quantize) return;
    t.step = extent * kGridMargin / 32766.f;
    t.inv = 1.f / t.step;
    t.qb.assign(size_t(n) * 4, 0);
    t.nb.assign(size_t(n) * 4, 0);
    for (size_t j = 0; j < size_t(n); ++j)
        for (size_t a = 0; a < 3; ++a) {
            t.qb[4 * j + a] = int16_t(roundi((t.basePos[3 * j + a] - t.centre[a]) * t.inv));
            t.nb[4 * j + a] = int8_t(roundi(qBound(-1.f, t.baseNrm[3 * j + a], 1.f) * 127.f));
        }
}

// One encoded attribute of a frame: its bytes, or with compression their meshopt encoding
// and the size they decode to.
struct Attribute
{
    std::vector<char> raw;
    std::vector<unsigned char> enc;
    qint64 rawSize = 0;
    int componentType = kFloat;
    int stride = 12;
    bool normalized = false;
    QJsonArray min, max;
    bool present() const { return rawSize > 0; }

    // Room for count elements of the given layout, zeroed.
    template <class T>
    T* alloc(int count, int type, int bytes, bool norm)
    {
        componentType = type, stride = bytes, normalized = norm;
        rawSize = qint64(count) * bytes;
        raw.assign(size_t(rawSize), 0);
        return reinterpret_cast<T*>(raw.data());
    }
};

template <class T>
void setRaw(Attribute& a, const std::vector<T>& v)
{
    a.raw.assign(reinterpret_cast<const char*>(v.data()), reinterpret_cast<const char*>(v.data() + v.size()));
    a.rawSize = qint64(a.raw.size());
}

QJsonArray jsonArray(const float* v, int n)
{
    QJsonArray a;
    for (int i = 0; i < n; ++i) a.append(double(v[i]));
    return a;
}

void floatBounds(const float* v, size_t n, Attribute& a)
{
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    for (size_t j = 0; j < n; ++j)
        for (size_t c = 0; c < 3; ++c) lo[c] = std::min(lo[c], v[3 * j + c]), hi[c] = std::max(hi[c], v[3 * j + c]);
    a.min = jsonArray(lo, 3), a.max = jsonArray(hi, 3);
}

void shortBounds(const int16_t* v, size_t n, Attribute& a)
{
    int lo[3] = {32767, 32767, 32767}, hi[3] = {-32768, -32768, -32768};
    for (size_t j = 0; j < n; ++j)
        for (size_t c = 0; c < 3; ++c)
            lo[c] = std::min<int>(lo[c], v[4 * j + c]), hi[c] = std::max<int>(hi[c], v[4 * j + c]);
    a.min = QJsonArray{lo[0], lo[1], lo[2]}, a.max = QJsonArray{hi[0], hi[1], hi[2]};
}

void encode(Attribute& a, int count, bool compress)
{
    if (!compress || a.raw.empty()) return;
    a.enc.resize(meshopt_encodeVertexBufferBound(size_t(count), size_t(a.stride)));
    a.enc.resize(meshopt_encodeVertexBuffer(a.enc.data(), a.enc.size(), a.raw.data(), size_t(count), size_t(a.stride)));
    std::vector<char>().swap(a.raw);
}

// The offsets of frame positions p and normals nrm from the base as stored. Normals are
// left out when they did not turn (turned false) unless always is set.
void offsets(const Track& t, const std::vector<float>& p, const std::vector<float>& nrm, bool compress, bool always,
             Attribute& pos, Attribute& normal, bool* turned)
{
    const size_t n = size_t(t.count());
    bool turns = false;
    for (size_t i = 0; i < nrm.size() && !turns; ++i) turns = std::fabs(nrm[i] - t.baseNrm[i]) > kTurn;
    *turned = turns;
    if (t.quantize) {
        const float cx = t.centre[0], cy = t.centre[1], cz = t.centre[2], inv = t.inv;
        const int16_t* qb = t.qb.data();
        int16_t* d = pos.alloc<int16_t>(int(n), kShort, 8, true);
        // One pass: the offsets, their bounds, and whether every sample is on the grid
        // (written so that a NaN is not).
        int lo[3] = {32767, 32767, 32767}, hi[3] = {-32768, -32768, -32768};
        bool fits = true;
        for (size_t j = 0; j < n; ++j) {
            const float q[3] = {(p[3 * j] - cx) * inv, (p[3 * j + 1] - cy) * inv, (p[3 * j + 2] - cz) * inv};
            for (size_t a = 0; a < 3; ++a) {
                fits &= std::fabs(q[a]) <= 16383.f;
                const int v = roundi(std::max(-16383.f, std::min(16383.f, q[a]))) - qb[4 * j + a];
                d[4 * j + a] = int16_t(v);
                lo[a] = std::min(lo[a], v), hi[a] = std::max(hi[a], v);
            }
        }
        if (fits) {
            pos.min = QJsonArray{lo[0], lo[1], lo[2]}, pos.max = QJsonArray{hi[0], hi[1], hi[2]};
        } else {
            // Swayed off the grid: this frame's offsets in floats, in the grid's units.
            float* f = pos.alloc<float>(int(n), kFloat, 12, false);
            for (size_t j = 0; j < n; ++j)
                for (size_t a = 0; a < 3; ++a)
                    f[3 * j + a] = ((p[3 * j + a] - t.centre[a]) * inv - float(t.qb[4 * j + a])) / 32767.f;
            floatBounds(f, n, pos);
        }
        if (turns || always) {
            // Differences against the normals as stored (in 1/127), so base plus target is
            // the frame's.
            const int8_t* nb = t.nb.data();
            int8_t* dq = normal.alloc<int8_t>(int(n), kByte, 4, true);
            bool small = true;
            for (size_t j = 0; j < n; ++j)
                for (size_t a = 0; a < 3; ++a) {
                    const float e = nrm[3 * j + a] * 127.f - float(nb[4 * j + a]);
                    small &= std::fabs(e) <= 127.f;
                    dq[4 * j + a] = int8_t(roundi(std::max(-127.f, std::min(127.f, e))));
                }
            // A byte per component is as precise as the base normals themselves; offsets
            // past a whole unit need floats.
            if (!small) {
                float* dn = normal.alloc<float>(int(n), kFloat, 12, false);
                for (size_t j = 0; j < n; ++j)
                    for (size_t a = 0; a < 3; ++a) dn[3 * j + a] = nrm[3 * j + a] - nb[4 * j + a] / 127.f;
            }
        }
    } else {
        float* d = pos.alloc<float>(int(n), kFloat, 12, false);
        for (size_t i = 0; i < 3 * n; ++i) d[i] = p[i] - t.basePos[i];
        floatBounds(d, n, pos);
        if (turns || always) {
            float* dn = normal.alloc<float>(int(n), kFloat, 12, false);
            for (size_t i = 0; i < 3 * n; ++i) dn[i] = nrm[i] - t.baseNrm[i];
        }
    }
    encode(pos, int(n), compress);
    encode(normal, int(n), compress);
}

// One tick's moving meshes: copied on the main thread, encoded on a worker.
struct FrameJob
{
    int frame = 0;
    struct Piece
    {
        int track = 0;
        std::vector<DzVec3> mesh;
        Attribute pos, normal;
        bool turned = false;
    };
    std::vector<Piece> pieces;
    bool done = false;  // under the pipeline's lock

    void run(const std::vector<Track>& tracks, bool compress)
    {
        thread_local std::vector<float> p, n;
        for (Piece& piece : pieces) {
            const Track& t = tracks[size_t(piece.track)];
            gather(t, piece.mesh.data(), p, n);
            std::vector<DzVec3>().swap(piece.mesh);
            offsets(t, p, n, compress, false, piece.pos, piece.normal, &piece.turned);
        }
    }
};

// Threads that encode frames while the next ticks run, and one that writes them to the
// file in frame order. At most limit() frames are out at once, which bounds the memory.
class FramePipeline
{
public:
    using Writer = std::function<void(FrameJob&)>;
    FramePipeline(const std::vector<Track>& tracks, bool compress, Writer write)
        : m_tracks(tracks), m_compress(compress), m_write(std::move(write))
    {
        const int n = qBound(1, QThread::idealThreadCount(), 4);
        for (int i = 0; i < n; ++i) m_threads.emplace_back([this] { encodeLoop(); });
        m_threads.emplace_back([this] { writeLoop(); });
        m_limit = 2 * n + 2;
    }
    // Waits until every frame handed in is written.
    ~FramePipeline()
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_stop = true;
        }
        m_changed.notify_all();
        for (std::thread& t : m_threads) t.join();
    }
    // Hands job in; waits while limit() frames are still out.
    void post(const std::shared_ptr<FrameJob>& job)
    {
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_changed.wait(lock, [this] { return int(m_order.size()) < m_limit; });
            m_queue.push_back(job);
            m_order.push_back(job);
        }
        m_changed.notify_all();
    }

private:
    void encodeLoop()
    {
        for (;;) {
            std::shared_ptr<FrameJob> job;
            {
                std::unique_lock<std::mutex> lock(m_lock);
                m_changed.wait(lock, [this] { return m_stop || !m_queue.empty(); });
                if (m_queue.empty()) return;
                job = std::move(m_queue.front());
                m_queue.pop_front();
            }
            job->run(m_tracks, m_compress);
            {
                std::lock_guard<std::mutex> lock(m_lock);
                job->done = true;
            }
            m_changed.notify_all();
        }
    }
    void writeLoop()
    {
        for (;;) {
            std::shared_ptr<FrameJob> job;
            {
                std::unique_lock<std::mutex> lock(m_lock);
                m_changed.wait(lock, [this] {
                    return (m_stop && m_order.empty()) || (!m_order.empty() && m_order.front()->done);
                });
                if (m_order.empty()) return;
                job = m_order.front();
            }
            m_write(*job);
            {
                std::lock_guard<std::mutex> lock(m_lock);
                m_order.pop_front();
            }
            m_changed.notify_all();
        }
    }

    const std::vector<Track>& m_tracks;
    const bool m_compress;
    const Writer m_write;
    int m_limit = 4;
    std::vector<std::thread> m_threads;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<FrameJob>> m_queue, m_order;
    bool m_stop = false;
};

// The file under construction. The binary chunk goes straight to the file behind room left
// for the header and the JSON, which are written last. With compression the mesh data goes
// into the binary chunk meshopt-encoded and the views point into a fallback buffer that has
// no data of its own.
struct GlbWriter
{
    QIODevice* out = nullptr;
    qint64 binStart = 0;  // file offset of the binary chunk's data
    qint64 binSize = 0;
    bool compress = false;
    qint64 fallbackSize = 0;
    bool failed = false;
    QJsonArray views, accessors, meshes, nodes, materials, textures, images;
    QHash<DzMaterial*, int> materialIndex;

    void write(const char* data, qint64 size)
    {
        if (size > 0 && out->write(data, size) != size) failed = true;
        binSize += size;
    }
    void pad()
    {
        static const char zeros[4] = {0, 0, 0, 0};
        write(zeros, (4 - binSize % 4) % 4);
    }

    int plainView(const char* data, qint64 size, int target = 0, int stride = 0)
    {
        pad();
        QJsonObject v{{"buffer", 0}, {"byteOffset", double(binSize)}, {"byteLength", double(size)}};
        if (target) v["target"] = target;
        if (stride) v["byteStride"] = stride;
        write(data, size);
        views.append(v);
        return views.size() - 1;
    }
    int plainView(const QByteArray& data) { return plainView(data.constData(), data.size()); }
    // A view of size bytes that writeData writes piece by piece through write().
    template <class F>
    int streamedView(qint64 size, const F& writeData)
    {
        pad();
        const QJsonObject v{{"buffer", 0}, {"byteOffset", double(binSize)}, {"byteLength", double(size)}};
        writeData();
        views.append(v);
        return views.size() - 1;
    }

    // Vertex data (raw, with enc its meshopt encoding when compressing) of count elements.
    int vertexView(const Attribute& a, int count)
    {
        if (!compress) return plainView(a.raw.data(), a.rawSize, kArrayBuffer, a.stride);
        return encodedView(a.rawSize, a.enc, kArrayBuffer, a.stride, count, "ATTRIBUTES");
    }

    int encodedView(qint64 rawSize, const std::vector<unsigned char>& enc, int target, int stride, int count,
                    const char* mode)
    {
        pad();
        const QJsonObject ext{{"buffer", 0},
                              {"byteOffset", double(binSize)},
                              {"byteLength", double(enc.size())},
                              {"byteStride", stride},
                              {"count", count},
                              {"mode", mode}};
        write(reinterpret_cast<const char*>(enc.data()), qint64(enc.size()));
        fallbackSize = (fallbackSize + 3) / 4 * 4;
        QJsonObject v{{"buffer", 1},
                      {"byteOffset", double(fallbackSize)},
                      {"byteLength", double(rawSize)},
                      {"target", target},
                      {"extensions", QJsonObject{{"EXT_meshopt_compression", ext}}}};
        if (target == kArrayBuffer) v["byteStride"] = stride;
        fallbackSize += rawSize;
        views.append(v);
        return views.size() - 1;
    }

    // Triangle indices, as 16-bit ones when every vertex index fits.
    int indexView(const std::vector<uint32_t>& list, int vertexCount, int* componentType)
    {
        const bool small = vertexCount <= 65535;
        *componentType = small ? kUShort : kUInt;
        std::vector<char> raw;
        if (small) {
            std::vector<uint16_t> i16(list.begin(), list.end());
            setRawBytes(raw, i16);
        } else {
            setRawBytes(raw, list);
        }
        if (!compress) return plainView(raw.data(), qint64(raw.size()), kElementArrayBuffer);
        // The extension decodes index format version 1.
        meshopt_encodeIndexVersion(1);
        std::vector<unsigned char> enc(meshopt_encodeIndexBufferBound(list.size(), size_t(vertexCount)));
        enc.resize(meshopt_encodeIndexBuffer(enc.data(), enc.size(), list.data(), list.size()));
        return encodedView(qint64(raw.size()), enc, kElementArrayBuffer, small ? 2 : 4, int(list.size()), "TRIANGLES");
    }
    template <class T>
    static void setRawBytes(std::vector<char>& raw, const std::vector<T>& v)
    {
        raw.assign(reinterpret_cast<const char*>(v.data()), reinterpret_cast<const char*>(v.data() + v.size()));
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

    int attribute(const Attribute& a, int count)
    {
        return accessor(vertexView(a, count), a.componentType, count, "VEC3", a.normalized, a.min, a.max);
    }

    // Materials and images as the still export writes them.
    GltfMaterialWriter looks;

    int texture(int image)
    {
        return looks.texture(image, [this](const GltfImage& img) {
            images.append(
                QJsonObject{{"bufferView", plainView(img.png)}, {"mimeType", "image/png"}, {"name", img.name}});
            textures.append(QJsonObject{{"source", images.size() - 1}});
            return int(textures.size()) - 1;
        });
    }

    int material(DzNode* node, DzMaterial* mat)
    {
        auto it = materialIndex.find(mat);
        if (it != materialIndex.end()) return it.value();
        const GltfMaterial d = looks.describe(node, mat);
        QJsonObject pbr{{"baseColorFactor", QJsonArray{d.baseColor[0], d.baseColor[1], d.baseColor[2], d.baseColor[3]}},
                        {"metallicFactor", d.metallic}};
        const int t = texture(d.baseColorImage);
        if (t >= 0) pbr["baseColorTexture"] = QJsonObject{{"index", t}};
        QJsonObject m{{"name", d.name}, {"pbrMetallicRoughness", pbr}, {"doubleSided", d.doubleSided}};
        if (d.alpha == GltfMaterial::Alpha::Mask) {
            m["alphaMode"] = "MASK";
            m["alphaCutoff"] = d.alphaCutoff;
        } else if (d.alpha == GltfMaterial::Alpha::Blend) {
            m["alphaMode"] = "BLEND";
        }
        const int n = texture(d.normalImage);
        if (n >= 0) m["normalTexture"] = QJsonObject{{"index", n}};
        materials.append(m);
        materialIndex.insert(mat, materials.size() - 1);
        return materials.size() - 1;
    }
};

// The base of a track: positions, normals, UVs and the triangle lists.
void writeBase(GlbWriter& w, Track& t, TrackState& s)
{
    const int n = t.count();
    Attribute pos, normal;
    if (t.quantize) {
        setRaw(pos, t.qb);
        shortBounds(t.qb.data(), size_t(n), pos);
        pos.componentType = kShort, pos.stride = 8, pos.normalized = true;
        setRaw(normal, t.nb);
        normal.componentType = kByte, normal.stride = 4, normal.normalized = true;
    } else {
        setRaw(pos, t.basePos);
        floatBounds(t.basePos.data(), size_t(n), pos);
        setRaw(normal, t.baseNrm);
    }
    normal.min = normal.max = QJsonArray();
    encode(pos, n, w.compress);
    encode(normal, n, w.compress);
    s.position = w.attribute(pos, n);
    s.normal = w.attribute(normal, n);
    if (t.hasUV) {
        Attribute uv;
        setRaw(uv, t.uv);
        uv.stride = 8;
        encode(uv, n, w.compress);
        s.uv = w.accessor(w.vertexView(uv, n), kFloat, n, "VEC2");
    }
    for (Track::Prim& p : t.prims) {
        int type = kUInt;
        const int view = w.indexView(p.list, n, &type);
        p.indices = w.accessor(view, type, int(p.list.size()), "SCALAR");
        std::vector<uint32_t>().swap(p.list);
    }
}

void writeFrame(GlbWriter& w, FrameJob& job, const std::vector<Track>& tracks, std::vector<TrackState>& states)
{
    for (FrameJob::Piece& piece : job.pieces) {
        const int n = tracks[size_t(piece.track)].count();
        TrackState& s = states[size_t(piece.track)];
        TrackState::Target& target = s.targets[size_t(job.frame - 1)];
        s.moved = true;
        target.position = w.attribute(piece.pos, n);
        if (piece.normal.present()) target.normal = w.attribute(piece.normal, n);
        s.turned = s.turned || piece.turned;
        piece = FrameJob::Piece();
    }
}

// The targets of frames that left a track as its base, or its normals unturned: offsets of
// zero and, where the normals turned in other frames, the base normals' own rounding.
void writeStillTargets(GlbWriter& w, const Track& t, TrackState& s, bool compress)
{
    if (!s.moved) return;
    int still = -1, unturned = -1;
    for (TrackState::Target& target : s.targets) {
        if (target.position < 0) {
            if (still < 0) {
                Attribute pos, unused;
                bool turned = false;
                offsets(t, t.basePos, t.baseNrm, compress, false, pos, unused, &turned);
                still = w.attribute(pos, t.count());
            }
            target.position = still;
        }
        if (s.turned && target.normal < 0) {
            if (unturned < 0) {
                Attribute unused, normal;
                bool turned = false;
                offsets(t, t.basePos, t.baseNrm, compress, true, unused, normal, &turned);
                unturned = w.attribute(normal, t.count());
            }
            target.normal = unturned;
        }
    }
}

// The mesh and node of a track. Returns the node index; animated is set when the mesh got
// morph targets.
int writeNode(GlbWriter& w, const Track& t, const TrackState& s, bool* animated)
{
    QJsonObject attributes{{"POSITION", s.position}, {"NORMAL", s.normal}};
    if (s.uv >= 0) attributes["TEXCOORD_0"] = s.uv;
    QJsonArray targets;
    for (const TrackState::Target& target : s.targets) {
        if (!s.moved) break;
        QJsonObject o{{"POSITION", target.position}};
        if (s.turned) o["NORMAL"] = target.normal;
        targets.append(o);
    }
    QMatrix4x4 matrix = t.world;
    if (t.quantize) {
        matrix.translate(t.centre[0], t.centre[1], t.centre[2]);
        matrix.scale(t.step * 32767.f);
    }
    QJsonArray prims;
    for (const Track::Prim& p : t.prims) {
        QJsonObject prim{{"attributes", attributes},
                         {"indices", p.indices},
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
    w.nodes.append(
        QJsonObject{{"name", t.label}, {"mesh", w.meshes.size() - 1}, {"matrix", jsonArray(matrix.constData(), 16)}});
    *animated = !targets.isEmpty();
    return w.nodes.size() - 1;
}

void putU32(char* at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) at[i] = char((v >> (8 * i)) & 0xff);
}

// Moves length bytes of the file at from by bytes towards its end, last block first.
bool shiftFile(DzSafeFile& file, qint64 from, qint64 length, qint64 by)
{
    QIODevice* out = file.device();
    if (!static_cast<QFile*>(out)->flush()) return false;
    QFile in(file.tempPath());
    if (!in.open(QIODevice::ReadOnly)) return false;
    constexpr qint64 kBlock = qint64(8) << 20;
    for (qint64 end = from + length; end > from;) {
        const qint64 begin = std::max(from, end - kBlock);
        if (!in.seek(begin)) return false;
        const QByteArray block = in.read(end - begin);
        if (block.size() != end - begin || !out->seek(begin + by) || out->write(block) != block.size()) return false;
        if (!static_cast<QFile*>(out)->flush()) return false;
        end = begin;
    }
    return true;
}

}  // namespace

bool exportAnimationGlb(const QString& file, const AnimationExportOptions& opt, const TickFunction& tick,
                        QString* error)
{
    if (opt.frames < 1 || opt.frames > kMaxAnimationFrames) {
        *error = QString("Cannot write %1: an animation has 1 to %2 frames, not %3")
                     .arg(file)
                     .arg(kMaxAnimationFrames)
                     .arg(opt.frames);
        return false;
    }
    if (!(opt.fps >= kMinAnimationFps && opt.fps <= kMaxAnimationFps)) {
        *error = QString("Cannot write %1: the frame rate must be from %2 to %3, not %4")
                     .arg(file)
                     .arg(kMinAnimationFps)
                     .arg(kMaxAnimationFps)
                     .arg(opt.fps);
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
        const DzVec3* v = mn.mesh->getVerticesPtr();
        t.baseMesh.assign(v, v + t.meshVertices);
        setBase(t, opt.quantizeFrom);
        tracks.push_back(std::move(t));
    }

    // What the file needs at most, known before the first tick: every moving mesh's offsets in
    // every frame (uncompressed; meshopt only makes them smaller), the weights and key times.
    // A scene whose frames cannot fit the format is refused now, not after the ticks.
    {
        const qint64 frames = opt.frames;
        qint64 bytes = 16 * (frames + 1) + 4 * frames * (frames + 1);
        qint64 perFrame = 0;
        for (const Track& t : tracks) {
            bytes += qint64(t.count()) * 32 + 4 * qint64(t.facets.size()) * 6 + 4096;
            if (!opt.compress) perFrame += qint64(t.count()) * (t.quantize ? 8 + 4 : 24);
        }
        bytes += perFrame * frames;
        constexpr qint64 kGlbLimit = qint64(0xffffffffu);
        if (bytes > kGlbLimit) {
            *error = QString(
                         "Cannot write %1: %2 frames of this scene need about %3 MB, more than the 4096 MB a .glb "
                         "can hold")
                         .arg(file)
                         .arg(frames)
                         .arg(bytes >> 20);
            return false;
        }
    }

    DzSafeFile out(file);
    if (!out.open()) {
        *error = out.errorString();
        return false;
    }
    auto writeFailed = [&] {
        *error = QString("%1 could not be written: %2").arg(file, out.device()->errorString());
        return false;
    };
    GlbWriter w;
    w.out = out.device();
    w.compress = opt.compress;
    std::vector<TrackState> states(tracks.size());
    // Room for the JSON, from what a frame adds to it at most; a longer one moves the
    // binary chunk back at the end.
    qint64 perFrame = 256;
    for (const Track& t : tracks) perFrame += 1800 + 40 * qint64(t.prims.size());
    qint64 reserve = 16384 + perFrame * opt.frames;
    for (const Track& t : tracks) reserve += 2048 + 2 * t.label.size() + 600 * qint64(t.prims.size());
    reserve = (reserve + 3) / 4 * 4;
    w.binStart = 20 + reserve + 8;
    if (!w.out->seek(w.binStart)) return writeFailed();
    for (size_t i = 0; i < tracks.size(); ++i) {
        writeBase(w, tracks[i], states[i]);
        states[i].targets.resize(size_t(opt.frames));
        for (const Track::Prim& p : tracks[i].prims)
            w.material(tracks[i].mn.node, facetMaterial(tracks[i].mn, p.material));
    }

    {
        // The writer thread alone touches w and states until the pipeline is gone.
        FramePipeline pipeline(tracks, opt.compress, [&](FrameJob& job) {
            writeFrame(w, job, tracks, states);
            out.startWriteback();
        });
        for (int k = 1; k <= opt.frames; ++k) {
            if (!tick(error)) return false;
            auto job = std::make_shared<FrameJob>();
            job->frame = k;
            for (size_t i = 0; i < tracks.size(); ++i) {
                const Track& t = tracks[i];
                const DzFacetMesh& mesh = *t.mn.mesh;
                if (mesh.getNumVertices() != t.meshVertices || mesh.getNumFacets() != int(t.facets.size())) {
                    *error = QString("Cannot write %1: %2 changed its number of vertices during the animation")
                                 .arg(file, t.label);
                    return false;
                }
                const DzVec3* v = mesh.getVerticesPtr();
                // A mesh that stands as its base needs nothing of this frame.
                if (std::memcmp(v, t.baseMesh.data(), t.baseMesh.size() * sizeof(DzVec3)) == 0) continue;
                FrameJob::Piece piece;
                piece.track = int(i);
                piece.mesh.assign(v, v + t.meshVertices);
                job->pieces.push_back(std::move(piece));
            }
            if (!job->pieces.empty()) pipeline.post(job);
        }
    }
    if (w.failed) return writeFailed();
    for (size_t i = 0; i < tracks.size(); ++i) writeStillTargets(w, tracks[i], states[i], opt.compress);

    QJsonArray sceneNodes, channels, samplers;
    std::vector<int> animatedNodes;
    for (size_t i = 0; i < tracks.size(); ++i) {
        bool animated = false;
        const int node = writeNode(w, tracks[i], states[i], &animated);
        sceneNodes.append(node);
        if (animated) animatedNodes.push_back(node);
    }
    QJsonObject json{{"asset", QJsonObject{{"version", "2.0"}, {"generator", "verdix-host"}}}};
    if (!animatedNodes.empty()) {
        // Every animated mesh has one target per frame, so all share the key times and weights:
        // at frame k target k has weight one, the rest zero; time 0 is the base.
        std::vector<float> times;
        for (int k = 0; k <= opt.frames; ++k) times.push_back(float(k / opt.fps));
        const int in =
            w.accessor(w.plainView(reinterpret_cast<const char*>(times.data()), qint64(times.size() * 4)), kFloat,
                       int(times.size()), "SCALAR", false, QJsonArray{0.0}, QJsonArray{double(times.back())});
        // The weights grow with the square of the frames: written a key at a time.
        const qint64 keys = qint64(opt.frames) + 1;
        const int weightsView = w.streamedView(keys * opt.frames * 4, [&] {
            std::vector<float> row(size_t(opt.frames), 0.f);
            for (int k = 0; k <= opt.frames; ++k) {
                if (k > 0) row[size_t(k - 1)] = 1.f;
                if (k > 1) row[size_t(k - 2)] = 0.f;
                w.write(reinterpret_cast<const char*>(row.data()), qint64(row.size()) * 4);
            }
        });
        const int outAcc = w.accessor(weightsView, kFloat, int(keys * opt.frames), "SCALAR");
        for (int node : animatedNodes) {
            samplers.append(
                QJsonObject{{"input", in}, {"output", outAcc}, {"interpolation", opt.linear ? "LINEAR" : "STEP"}});
            channels.append(QJsonObject{{"sampler", samplers.size() - 1},
                                        {"target", QJsonObject{{"node", node}, {"path", "weights"}}}});
        }
        json["animations"] = QJsonArray{QJsonObject{{"name", "Wind"}, {"samplers", samplers}, {"channels", channels}}};
    }
    w.pad();
    if (w.failed) return writeFailed();
    json["scene"] = 0;
    json["scenes"] = QJsonArray{QJsonObject{{"name", "Scene"}, {"nodes", sceneNodes}}};
    if (!w.nodes.isEmpty()) json["nodes"] = w.nodes;
    if (!w.meshes.isEmpty()) json["meshes"] = w.meshes;
    if (!w.materials.isEmpty()) json["materials"] = w.materials;
    if (!w.textures.isEmpty()) json["textures"] = w.textures, json["images"] = w.images;
    if (!w.accessors.isEmpty()) json["accessors"] = w.accessors, json["bufferViews"] = w.views;
    QJsonArray buffers;
    if (w.binSize > 0) buffers.append(QJsonObject{{"byteLength", double(w.binSize)}});
    QJsonArray used;
    bool quantized = false;
    for (const Track& t : tracks) quantized = quantized || t.quantize;
    if (quantized) used.append("KHR_mesh_quantization");
    if (w.compress && w.fallbackSize > 0) {
        buffers.append(
            QJsonObject{{"byteLength", double(w.fallbackSize)},
                        {"extensions", QJsonObject{{"EXT_meshopt_compression", QJsonObject{{"fallback", true}}}}}});
        used.append("EXT_meshopt_compression");
    }
    if (!buffers.isEmpty()) json["buffers"] = buffers;
    if (!used.isEmpty()) json["extensionsUsed"] = used, json["extensionsRequired"] = used;

    QByteArray text = QJsonDocument(json).toJson(QJsonDocument::Compact);
    if (text.size() > reserve) {
        const qint64 grow = (text.size() - reserve + 3) / 4 * 4;
        if (!shiftFile(out, w.binStart, w.binSize, grow)) return writeFailed();
        reserve += grow;
    }
    // Spaces pad the JSON chunk, as the format asks.
    text.append(QByteArray(int(reserve - text.size()), ' '));
    const qint64 total = 12 + 8 + reserve + (w.binSize > 0 ? 8 + w.binSize : 0);
    if (total > qint64(0xffffffffu)) {
        *error = QString("Cannot write %1: the animation needs more than the 4 GiB a .glb can hold").arg(file);
        return false;
    }
    char head[20];
    putU32(head, 0x46546C67);  // "glTF"
    putU32(head + 4, 2);
    putU32(head + 8, uint32_t(total));
    putU32(head + 12, uint32_t(reserve));
    putU32(head + 16, 0x4E4F534A);  // "JSON"
    char chunk[8];
    putU32(chunk, uint32_t(w.binSize));
    putU32(chunk + 4, 0x004E4942);  // "BIN"
    if (!w.out->seek(0) || w.out->write(head, 20) != 20 || w.out->write(text) != text.size()) return writeFailed();
    if (w.binSize > 0 && w.out->write(chunk, 8) != 8) return writeFailed();
    if (!out.commit()) {
        *error = out.errorString();
        return false;
    }
    return true;
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
