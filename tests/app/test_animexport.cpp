// The wind animation exported: frame k of the morph targets is what a still export after
// k ticks holds, compressed or not, and the validator accepts the file.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMatrix4x4>
#include <QQuaternion>
#include <QTemporaryDir>
#include <QVector3D>
#include <QtEndian>
#include <gtest/gtest.h>
#include <map>
#include <meshoptimizer.h>
#include "../hostrun.h"
#include "animexport.h"
#include "testscene.h"

namespace {

const QString kMeadow = QString(VERDIX_SAMPLE_DIR) + "/Verdix_Scene/Meadow.txt";

// A binary glTF read as far as these tests need: accessors as floats (normalized integers
// decoded), meshopt-compressed views decoded.
struct Glb
{
    QJsonObject json;
    QByteArray bin;
    std::vector<QByteArray> views;

    bool read(const QString& file)
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) return false;
        const QByteArray d = f.readAll();
        if (d.size() < 20 || !d.startsWith("glTF")) return false;
        const uint32_t jsonLength = qFromLittleEndian<uint32_t>(d.constData() + 12);
        json = QJsonDocument::fromJson(d.mid(20, int(jsonLength))).object();
        const int binAt = 20 + int(jsonLength);
        if (d.size() > binAt + 8) bin = d.mid(binAt + 8, int(qFromLittleEndian<uint32_t>(d.constData() + binAt)));
        for (const QJsonValue& v : json["bufferViews"].toArray()) views.push_back(view(v.toObject()));
        return true;
    }

    QByteArray view(const QJsonObject& v) const
    {
        const QJsonObject ext = v["extensions"].toObject()["EXT_meshopt_compression"].toObject();
        if (ext.isEmpty()) return bin.mid(v["byteOffset"].toInt(), v["byteLength"].toInt());
        const QByteArray src = bin.mid(ext["byteOffset"].toInt(), ext["byteLength"].toInt());
        const int count = ext["count"].toInt(), stride = ext["byteStride"].toInt();
        QByteArray out(count * stride, 0);
        const auto* s = reinterpret_cast<const unsigned char*>(src.constData());
        int rc = -1;
        if (ext["mode"].toString() == "ATTRIBUTES")
            rc = meshopt_decodeVertexBuffer(out.data(), size_t(count), size_t(stride), s, size_t(src.size()));
        else if (ext["mode"].toString() == "TRIANGLES")
            rc = meshopt_decodeIndexBuffer(out.data(), size_t(count), size_t(stride), s, size_t(src.size()));
        EXPECT_EQ(rc, 0) << "meshopt view did not decode";
        return out;
    }

    // Components of accessor a, comps per element.
    std::vector<float> floats(int a, int* comps = nullptr) const
    {
        const QJsonObject acc = json["accessors"].toArray()[a].toObject();
        const QJsonObject v = json["bufferViews"].toArray()[acc["bufferView"].toInt()].toObject();
        const QByteArray& data = views[size_t(acc["bufferView"].toInt())];
        const QString type = acc["type"].toString();
        const int n = type == "SCALAR" ? 1 : type == "VEC2" ? 2 : type == "VEC3" ? 3 : 4;
        const int ct = acc["componentType"].toInt();
        const int size = ct == 5126 || ct == 5125 ? 4 : ct == 5122 || ct == 5123 ? 2 : 1;
        const int stride = v["byteStride"].toInt(n * size);
        const bool norm = acc["normalized"].toBool();
        const int count = acc["count"].toInt();
        std::vector<float> out;
        const char* p = data.constData() + acc["byteOffset"].toInt();
        for (int i = 0; i < count; ++i)
            for (int c = 0; c < n; ++c) {
                const char* e = p + i * stride + c * size;
                float x = 0.f;
                switch (ct) {
                case 5126: x = qFromLittleEndian<float>(e); break;
                case 5125: x = float(qFromLittleEndian<uint32_t>(e)); break;
                case 5123: x = float(qFromLittleEndian<uint16_t>(e)); break;
                case 5122: x = float(qFromLittleEndian<int16_t>(e)); if (norm) x = std::max(x / 32767.f, -1.f); break;
                case 5121: x = float(uint8_t(*e)); break;
                case 5120: x = float(int8_t(*e)); if (norm) x = std::max(x / 127.f, -1.f); break;
                }
                out.push_back(x);
            }
        if (comps) *comps = n;
        return out;
    }

    static QMatrix4x4 local(const QJsonObject& node)
    {
        QMatrix4x4 m;
        if (node.contains("matrix")) {
            const QJsonArray a = node["matrix"].toArray();
            float v[16];
            for (int i = 0; i < 16; ++i) v[i] = float(a[i].toDouble());
            return QMatrix4x4(v).transposed(); // glTF lists columns first
        }
        const QJsonArray t = node["translation"].toArray(), r = node["rotation"].toArray(), s = node["scale"].toArray();
        if (!t.isEmpty()) m.translate(float(t[0].toDouble()), float(t[1].toDouble()), float(t[2].toDouble()));
        if (!r.isEmpty())
            m.rotate(QQuaternion(float(r[3].toDouble()), float(r[0].toDouble()), float(r[1].toDouble()), float(r[2].toDouble())));
        if (!s.isEmpty()) m.scale(float(s[0].toDouble()), float(s[1].toDouble()), float(s[2].toDouble()));
        return m;
    }

    // World-space triangle corners of each named mesh node at frame (0 = the base, k = base
    // plus morph target k - 1), in primitive and index order; step gets the node's
    // largest world distance of one position unit of its accessor's last bit.
    std::map<QString, std::vector<QVector3D>> corners(int frame, std::map<QString, float>* step = nullptr) const
    {
        std::map<QString, std::vector<QVector3D>> out;
        const QJsonArray nodes = json["nodes"].toArray();
        std::function<void(int, const QMatrix4x4&)> walk = [&](int ni, const QMatrix4x4& parent) {
            const QJsonObject node = nodes[ni].toObject();
            const QMatrix4x4 world = parent * local(node);
            if (node.contains("mesh")) {
                const QJsonObject mesh = json["meshes"].toArray()[node["mesh"].toInt()].toObject();
                auto& list = out[node["name"].toString()];
                for (const QJsonValue& pv : mesh["primitives"].toArray()) {
                    const QJsonObject prim = pv.toObject();
                    const int pa = prim["attributes"].toObject()["POSITION"].toInt();
                    std::vector<float> pos = floats(pa);
                    const QJsonArray targets = prim["targets"].toArray();
                    // A mesh without targets stands still: every frame is its base.
                    if (frame > 0 && !targets.isEmpty()) {
                        EXPECT_GE(targets.size(), frame) << qPrintable(node["name"].toString());
                        if (targets.size() >= frame) {
                            const std::vector<float> d = floats(targets[frame - 1].toObject()["POSITION"].toInt());
                            for (size_t i = 0; i < pos.size(); ++i) pos[i] += d[i];
                        }
                    }
                    const std::vector<float> idx = floats(prim["indices"].toInt());
                    for (float fi : idx) {
                        const size_t i = size_t(fi) * 3;
                        list.push_back(world.map(QVector3D(pos[i], pos[i + 1], pos[i + 2])));
                    }
                    if (step) {
                        const QJsonObject acc = json["accessors"].toArray()[pa].toObject();
                        const float unit = acc["componentType"].toInt() == 5122 ? 1.f / 32767.f : 1e-6f;
                        (*step)[node["name"].toString()] = world.mapVector(QVector3D(unit, 0, 0)).length();
                    }
                }
            }
            for (const QJsonValue& c : node["children"].toArray()) walk(c.toInt(), world);
        };
        for (const QJsonValue& r : json["scenes"].toArray()[json["scene"].toInt()].toObject()["nodes"].toArray())
            walk(r.toInt(), QMatrix4x4());
        return out;
    }
};

QStringList meadowRun(const QStringList& more)
{
    return QStringList{"--headless", "--assets", VERDIX_LIBRARY_DIR, "--open-set", kMeadow} + more;
}

class AnimationExport : public ::testing::TestWithParam<bool>
{
protected:
    QTemporaryDir dir;
};

TEST_P(AnimationExport, FrameKIsTheStillExportAfterKTicks)
{
    const bool compress = GetParam();
    const QString anim = dir.path() + "/wind.glb";
    QStringList args = meadowRun({"--export-animation", anim, "--frames", "3", "--fps", "24"});
    if (compress) args << "--meshopt";
    const HostRun r = runHost(args);
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    Glb a;
    ASSERT_TRUE(a.read(anim));
    const QJsonArray used = a.json["extensionsUsed"].toArray();
    EXPECT_TRUE(used.contains("KHR_mesh_quantization"));
    EXPECT_EQ(used.contains("EXT_meshopt_compression"), compress);

    // The terrain stands still: no targets, no channel. Every grass patch moves, normals too.
    int animated = 0;
    for (const QJsonValue& mv : a.json["meshes"].toArray()) {
        const QJsonObject mesh = mv.toObject();
        const QJsonArray targets = mesh["primitives"].toArray()[0].toObject()["targets"].toArray();
        if (mesh["name"].toString().contains("Landscape")) {
            EXPECT_TRUE(targets.isEmpty());
        } else {
            ASSERT_EQ(targets.size(), 3) << qPrintable(mesh["name"].toString());
            EXPECT_TRUE(targets[0].toObject().contains("NORMAL"));
            ++animated;
        }
    }
    EXPECT_EQ(animated, 5);
    const QJsonObject anim0 = a.json["animations"].toArray()[0].toObject();
    EXPECT_EQ(anim0["channels"].toArray().size(), animated);
    const int input = anim0["samplers"].toArray()[0].toObject()["input"].toInt();
    EXPECT_EQ(a.floats(input), (std::vector<float>{0.f, 1.f / 24, 2.f / 24, 3.f / 24}));

    bool skipped = false;
    const QString report = validateGltf(anim, &skipped);
    EXPECT_TRUE(report.isEmpty()) << qPrintable(report);

    std::map<QString, float> step;
    a.corners(0, &step);
    for (int k = 1; k <= 3; ++k) {
        const QString still = dir.path() + QString("/still%1.glb").arg(k);
        const HostRun s = runHost(meadowRun({"--ticks", QString::number(k), "--export", still}));
        ASSERT_EQ(s.code, 0) << qPrintable(s.err);
        Glb b;
        ASSERT_TRUE(b.read(still));
        const auto want = b.corners(0);
        const auto got = a.corners(k);
        ASSERT_EQ(got.size(), want.size());
        for (const auto& node : want) {
            ASSERT_TRUE(got.count(node.first)) << qPrintable(node.first);
            const std::vector<QVector3D>& g = got.at(node.first);
            ASSERT_EQ(g.size(), node.second.size()) << qPrintable(node.first);
            // The index codec may start a triangle at another corner (same winding).
            float worst = 0.f;
            for (size_t t = 0; t + 2 < g.size(); t += 3) {
                float best = 1e30f;
                for (size_t rot = 0; rot < 3; ++rot) {
                    float d = 0.f;
                    for (size_t c = 0; c < 3; ++c) d = std::max(d, (g[t + (c + rot) % 3] - node.second[t + c]).length());
                    best = std::min(best, d);
                }
                worst = std::max(worst, best);
            }
            // Half a quantization step per axis, plus float rounding of the transforms.
            EXPECT_LE(worst, step[node.first] * 1.0f + 1e-4f) << qPrintable(node.first) << " frame " << k;
        }
    }
    // The frames really differ: the wind moved the grass between them.
    const auto f1 = a.corners(1), f3 = a.corners(3);
    float moved = 0.f;
    for (const auto& node : f1)
        for (size_t i = 0; i < node.second.size(); ++i) moved = std::max(moved, (node.second[i] - f3.at(node.first)[i]).length());
    EXPECT_GT(moved, 0.01f);
}

// A sheet that stands still for a frame, slides, bends (its normals turn), then jumps far
// past the grid its base was quantized on; a stone that never moves and whose material's
// long name does not fit the room first left for the JSON. Every frame decodes to the
// sheet as it stood, plain and compressed, and the validator accepts the file.
TEST_P(AnimationExport, StillSlidingBentAndOffGridFramesAllDecode)
{
    const bool compress = GetParam();
    dzScene->clear();
    DzFacetMesh* sheet = nullptr;
    DzFacetShape* shape = nullptr;
    DzNode* node = makeMeshNode("Sheet", &sheet, &shape);
    addMaterial(shape, "Cloth", QColor(200, 200, 60));
    const int side = 40; // 1600 vertices: quantized
    sheet->beginEdit();
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) sheet->addVertex(float(i), 0.f, float(j));
    for (int j = 0; j + 1 < side; ++j)
        for (int i = 0; i + 1 < side; ++i) {
            const int a = j * side + i;
            const int q[4] = {a, a + side, a + side + 1, a + 1};
            sheet->addFacet(q, q);
        }
    sheet->finishEdit();
    dzScene->addNode(node);
    DzFacetMesh* stone = nullptr;
    DzNode* stoneNode = makeMeshNode("Stone", &stone, &shape);
    addMaterial(shape, QString(60000, QChar('s')), QColor(90, 90, 100));
    stone->beginEdit();
    stone->addVertex(0.f, 0.f, 0.f), stone->addVertex(1.f, 0.f, 0.f), stone->addVertex(0.f, 1.f, 0.f);
    const int tri[4] = {0, 1, 2, -1};
    stone->addFacet(tri);
    stone->finishEdit();
    dzScene->addNode(stoneNode);

    const std::function<QVector3D(const QVector3D&, int)> shapeAt = [](const QVector3D& p, int frame) {
        switch (frame) {
        case 2: return p + QVector3D(0.25f, 0.f, 0.f);
        case 3: return QVector3D(p.x(), 0.02f * p.x() * p.x(), p.z());
        case 4: return p + QVector3D(500.f, 0.f, 0.f);
        default: return p;
        }
    };
    std::vector<DzVec3> base(sheet->getVerticesPtr(), sheet->getVerticesPtr() + sheet->getNumVertices());
    int frame = 0;
    const TickFunction tick = [&](QString*) {
        ++frame;
        for (int i = 0; i < int(base.size()); ++i) {
            const QVector3D p = shapeAt(QVector3D(base[size_t(i)].m_x, base[size_t(i)].m_y, base[size_t(i)].m_z), frame);
            sheet->setVertex(i, DzVec3(p.x(), p.y(), p.z()));
        }
        return true;
    };
    AnimationExportOptions opt;
    opt.frames = 4;
    opt.compress = compress;
    const QString file = dir.path() + "/sheet.glb";
    QString error;
    ASSERT_TRUE(exportAnimationGlb(file, opt, tick, &error)) << qPrintable(error);
    bool skipped = false;
    const QString report = validateGltf(file, &skipped);
    EXPECT_TRUE(report.isEmpty()) << qPrintable(report);

    Glb a;
    ASSERT_TRUE(a.read(file));
    EXPECT_TRUE(a.json["extensionsUsed"].toArray().contains("KHR_mesh_quantization"));
    for (const QJsonValue& mv : a.json["meshes"].toArray()) {
        const QJsonObject mesh = mv.toObject();
        const QJsonArray targets = mesh["primitives"].toArray()[0].toObject()["targets"].toArray();
        if (mesh["name"].toString() == "Stone") {
            EXPECT_TRUE(targets.isEmpty());
            continue;
        }
        ASSERT_EQ(targets.size(), 4);
        // Normals turned in one frame: every target carries them, so each frame has its own.
        for (const QJsonValue& t : targets) EXPECT_TRUE(t.toObject().contains("NORMAL"));
    }
    std::map<QString, float> step;
    const auto still = a.corners(0, &step);
    ASSERT_TRUE(still.count("Sheet") && still.count("Stone")) << qPrintable(QJsonDocument(a.json["nodes"].toArray()).toJson());
    ASSERT_EQ(still.at("Sheet").size(), size_t((side - 1) * (side - 1) * 6));
    for (int k = 1; k <= 4; ++k) {
        const auto got = a.corners(k);
        float worst = 0.f;
        for (size_t i = 0; i < got.at("Sheet").size(); ++i)
            worst = std::max(worst, (got.at("Sheet")[i] - shapeAt(still.at("Sheet")[i], k)).length());
        EXPECT_LE(worst, 2.f * step["Sheet"] + 1e-4f) << "frame " << k;
        EXPECT_EQ(got.at("Stone"), still.at("Stone"));
    }
    // The frame that left the grid is stored in floats; the others as offsets on the grid.
    QJsonArray targets;
    for (const QJsonValue& mv : a.json["meshes"].toArray())
        if (mv.toObject()["name"].toString() == "Sheet")
            targets = mv.toObject()["primitives"].toArray()[0].toObject()["targets"].toArray();
    ASSERT_EQ(targets.size(), 4);
    const QJsonArray acc = a.json["accessors"].toArray();
    EXPECT_EQ(acc[targets[3].toObject()["POSITION"].toInt()].toObject()["componentType"].toInt(), 5126);
    EXPECT_EQ(acc[targets[1].toObject()["POSITION"].toInt()].toObject()["componentType"].toInt(), 5122);
    dzScene->clear();
}

INSTANTIATE_TEST_SUITE_P(PlainAndMeshopt, AnimationExport, ::testing::Values(false, true));

TEST(AnimationExportCommandLine, SequenceWritesNumberedFramesAndBadOptionsAreRefused)
{
    QTemporaryDir dir;
    const QString seq = dir.path() + "/frames";
    const HostRun r = runHost(meadowRun({"--export-sequence", seq, "--frames", "2"}));
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(QDir(seq).entryList(QDir::Files), (QStringList{"frame_0001.mtl", "frame_0001.obj", "frame_0002.mtl", "frame_0002.obj"}));

    const struct
    {
        QStringList args;
        const char* says;
    } bad[] = {
        {{"--export-animation", dir.path() + "/a.glb"}, "needs --frames"},
        {{"--export-animation", dir.path() + "/a.gltf", "--frames", "2"}, "not a .glb"},
        {{"--export-animation", dir.path() + "/a.glb", "--frames", "0"}, "--frames"},
        {{"--export-animation", dir.path() + "/a.glb", "--frames", "2", "--fps", "-1"}, "--fps"},
        {{"--frames", "2"}, "go with --export-animation"},
        {{"--export-animation", dir.path() + "/a.glb", "--export-sequence", seq, "--frames", "2"}, "not both"},
        {{"--export-heightmap", "0"}, "needs a box index and a file"},
        {{"--export-heightmap", "0", dir.path() + "/h.jpg"}, "unknown format"},
    };
    for (const auto& b : bad) {
        const HostRun e = runHost(QStringList{"--headless"} + b.args);
        EXPECT_EQ(e.code, 2) << qPrintable(b.args.join(' '));
        EXPECT_TRUE(e.err.contains(b.says)) << qPrintable(e.err);
    }
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/a.glb"));
    // A box that is no landscape: reported, nothing written, non-zero.
    const HostRun g = runHost(meadowRun({"--export-heightmap", "1", dir.path() + "/h.png"}));
    EXPECT_EQ(g.code, 5);
    EXPECT_TRUE(g.err.contains("no landscape")) << qPrintable(g.err);
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/h.png"));
}

} // namespace
