// The wind animation exported: frame k of the morph targets is what a still export after
// k ticks holds, and the validator accepts the file. The host run writes the compressed
// encoding, the one with more to lose; both encodings are decoded in process below.
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include "hostrun.h"
#include "animexport.h"
#include "commandline.h"
#include "glb.h"
#include "testscene.h"

namespace {

const QString kMeadow = QString(VERDIX_SAMPLE_DIR) + "/Verdix_Scene/Meadow.txt";

QStringList meadowRun(const QStringList& more)
{
    return QStringList{"--headless", "--assets", VERDIX_LIBRARY_DIR, "--open-set", kMeadow} + more;
}

// Each material by name as a viewer takes it: defaults filled in, textures as the bytes of
// their images.
std::map<QString, QJsonObject> materialsOf(const Glb& g)
{
    auto image = [&](const QJsonValue& ref) -> QJsonValue {
        if (!ref.isObject()) return QJsonValue();
        const int source = g.json["textures"].toArray()[ref.toObject()["index"].toInt()].toObject()["source"].toInt(-1);
        const QJsonObject img = g.json["images"].toArray()[source].toObject();
        return QString::fromLatin1(g.views[size_t(img["bufferView"].toInt())].toBase64());
    };
    std::map<QString, QJsonObject> out;
    for (const QJsonValue& v : g.json["materials"].toArray()) {
        const QJsonObject m = v.toObject();
        const QJsonObject pbr = m["pbrMetallicRoughness"].toObject();
        out[m["name"].toString()] = QJsonObject{
            {"alphaMode", m["alphaMode"].toString("OPAQUE")},
            {"alphaCutoff", m["alphaCutoff"].toDouble(0.5)},
            {"doubleSided", m["doubleSided"].toBool(false)},
            {"baseColorFactor", pbr.contains("baseColorFactor") ? pbr["baseColorFactor"] : QJsonArray{1, 1, 1, 1}},
            {"metallicFactor", pbr["metallicFactor"].toDouble(1.0)},
            {"roughnessFactor", pbr["roughnessFactor"].toDouble(1.0)},
            {"baseColorTexture", image(pbr["baseColorTexture"])},
            {"normalTexture", image(m["normalTexture"])},
        };
    }
    return out;
}

}  // namespace

TEST(AnimationExport, FrameKIsTheStillExportAfterKTicks)
{
    QTemporaryDir dir;
    constexpr int kFrames = 3;
    // Still exports after k ticks, the reference for frame k.
    std::vector<std::map<QString, std::vector<QVector3D>>> stills;
    std::map<QString, QJsonObject> stillMaterials;
    for (int k = 1; k <= kFrames; ++k) {
        const QString still = dir.path() + QString("/still%1.glb").arg(k);
        const HostRun s = runHost(meadowRun({"--ticks", QString::number(k), "--export", still}));
        ASSERT_EQ(s.code, 0) << qPrintable(s.err);
        Glb b;
        ASSERT_TRUE(b.read(still));
        stills.push_back(b.corners(0));
        if (k == 1) stillMaterials = materialsOf(b);
    }
    const QString anim = dir.path() + "/wind-meshopt.glb";
    const HostRun r = runHost(
        meadowRun({"--export-animation", anim, "--frames", QString::number(kFrames), "--fps", "24", "--meshopt"}));
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    Glb a;
    ASSERT_TRUE(a.read(anim));
    const QJsonArray used = a.json["extensionsUsed"].toArray();
    EXPECT_TRUE(used.contains("KHR_mesh_quantization"));
    EXPECT_TRUE(used.contains("EXT_meshopt_compression"));

    // The terrain stands still: no targets, no channel. Every grass patch moves.
    int animated = 0;
    for (const QJsonValue& mv : a.json["meshes"].toArray()) {
        const QJsonObject mesh = mv.toObject();
        const QJsonArray targets = mesh["primitives"].toArray()[0].toObject()["targets"].toArray();
        if (mesh["name"].toString().contains("Landscape")) {
            EXPECT_TRUE(targets.isEmpty());
        } else {
            ASSERT_EQ(targets.size(), kFrames) << qPrintable(mesh["name"].toString());
            ++animated;
        }
    }
    EXPECT_EQ(animated, 5);
    const QJsonObject anim0 = a.json["animations"].toArray()[0].toObject();
    EXPECT_EQ(anim0["channels"].toArray().size(), animated);
    const int input = anim0["samplers"].toArray()[0].toObject()["input"].toInt();
    EXPECT_EQ(a.floats(input), (std::vector<float>{0.f, 1.f / 24, 2.f / 24, 3.f / 24}));

    // The same surfaces as the still export: cut-out grass as MASK over RGBA images, the
    // terrain with its normal map, the very same image bytes.
    const std::map<QString, QJsonObject> animMaterials = materialsOf(a);
    EXPECT_EQ(animMaterials.size(), stillMaterials.size());
    int masks = 0;
    for (const auto& m : animMaterials) {
        ASSERT_TRUE(stillMaterials.count(m.first)) << qPrintable(m.first);
        EXPECT_EQ(m.second, stillMaterials.at(m.first)) << qPrintable(m.first);
        if (m.second["alphaMode"] == "MASK") {
            ++masks;
            const QImage img =
                QImage::fromData(QByteArray::fromBase64(m.second["baseColorTexture"].toString().toLatin1()));
            EXPECT_TRUE(img.hasAlphaChannel()) << qPrintable(m.first);
        }
    }
    EXPECT_EQ(masks, 5);

    expectValidGltf(anim);

    std::map<QString, float> step;
    a.corners(0, &step);
    for (int k = 1; k <= kFrames; ++k) {
        const auto& want = stills[size_t(k - 1)];
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
                    for (size_t c = 0; c < 3; ++c)
                        d = std::max(d, (g[t + (c + rot) % 3] - node.second[t + c]).length());
                    best = std::min(best, d);
                }
                worst = std::max(worst, best);
            }
            // Half a quantization step per axis, plus float rounding of the transforms.
            EXPECT_LE(worst, step[node.first] * 1.0f + 1e-4f) << qPrintable(node.first) << " frame " << k;
        }
    }
    // The frames really differ: the wind moved the grass between them.
    const auto f1 = a.corners(1), f2 = a.corners(2);
    float moved = 0.f;
    for (const auto& node : f1)
        for (size_t i = 0; i < node.second.size(); ++i)
            moved = std::max(moved, (node.second[i] - f2.at(node.first)[i]).length());
    EXPECT_GT(moved, 0.01f);
}

// A quantized sheet that stands still, slides, bends (its normals turn) and then jumps far
// off the grid its base was quantized on, beside a stone that never moves and whose material
// name is longer than the room first left for the JSON: every frame decodes to the sheet as it
// stood, plain and compressed, and the frame off the grid is kept in floats.
TEST(AnimationExport, StillSlidingBentAndOffGridFramesAllDecode)
{
    QTemporaryDir dir;
    const auto shapeAt = [](const QVector3D& p, int frame) {
        if (frame == 2) return p + QVector3D(0.25f, 0.f, 0.f);
        if (frame == 3) return QVector3D(p.x(), 0.02f * p.x() * p.x(), p.z());
        if (frame == 4) return p + QVector3D(500.f, 0.f, 0.f);
        return p;
    };
    for (const bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "meshopt" : "plain");
        dzScene->clear();
        DzFacetMesh *sheet = nullptr, *stone = nullptr;
        DzFacetShape* shape = nullptr;
        DzNode* node = makeMeshNode("Sheet", &sheet, &shape);
        addMaterial(shape, "Cloth", QColor(200, 200, 60));
        const int side = 40;  // 1600 vertices: quantized
        sheet->beginEdit();
        for (int v = 0; v < side * side; ++v) sheet->addVertex(float(v % side), 0.f, float(v / side));
        for (int a = 0; a < side * (side - 1); ++a)
            if (a % side != side - 1) {
                const int q[4] = {a, a + side, a + side + 1, a + 1};
                sheet->addFacet(q, q);
            }
        sheet->finishEdit();
        dzScene->addNode(node);
        DzNode* stoneNode = makeMeshNode("Stone", &stone, &shape);
        addMaterial(shape, QString(60000, QChar('s')), QColor(90, 90, 100));
        stone->beginEdit();
        stone->addVertex(0.f, 0.f, 0.f), stone->addVertex(1.f, 0.f, 0.f), stone->addVertex(0.f, 1.f, 0.f);
        const int tri[4] = {0, 1, 2, -1};
        stone->addFacet(tri);
        stone->finishEdit();
        dzScene->addNode(stoneNode);

        const std::vector<DzVec3> base(sheet->getVerticesPtr(), sheet->getVerticesPtr() + sheet->getNumVertices());
        int frame = 0;
        const TickFunction tick = [&](QString*) {
            ++frame;
            for (size_t i = 0; i < base.size(); ++i) {
                const QVector3D p = shapeAt(QVector3D(base[i].m_x, base[i].m_y, base[i].m_z), frame);
                sheet->setVertex(int(i), DzVec3(p.x(), p.y(), p.z()));
            }
            return true;
        };
        AnimationExportOptions opt;
        opt.frames = 4;
        opt.compress = compress;
        const QString file = dir.path() + (compress ? "/sheet-meshopt.glb" : "/sheet.glb");
        QString error;
        ASSERT_TRUE(exportAnimationGlb(file, opt, tick, &error)) << qPrintable(error);
        expectValidGltf(file);

        Glb a;
        ASSERT_TRUE(a.read(file));
        std::map<QString, float> step;
        const auto still = a.corners(0, &step);
        ASSERT_TRUE(still.count("Sheet") && still.count("Stone"));
        for (int k = 1; k <= 4; ++k) {
            const auto got = a.corners(k);
            float worst = 0.f;
            for (size_t i = 0; i < got.at("Sheet").size(); ++i)
                worst = std::max(worst, (got.at("Sheet")[i] - shapeAt(still.at("Sheet")[i], k)).length());
            EXPECT_LE(worst, 2.f * step["Sheet"] + 1e-4f) << "frame " << k;
            EXPECT_EQ(got.at("Stone"), still.at("Stone"));
        }
        const QJsonArray accessors = a.json["accessors"].toArray();
        for (const QJsonValue& mv : a.json["meshes"].toArray()) {
            const QJsonArray targets = mv.toObject()["primitives"].toArray()[0].toObject()["targets"].toArray();
            if (mv.toObject()["name"].toString() == "Stone") {
                EXPECT_TRUE(targets.isEmpty());
                continue;
            }
            ASSERT_EQ(targets.size(), 4);
            for (const QJsonValue& t : targets) EXPECT_TRUE(t.toObject().contains("NORMAL"));
            const auto type = [&](int k) {
                return accessors[targets[k].toObject()["POSITION"].toInt()].toObject()["componentType"].toInt();
            };
            EXPECT_EQ(type(1), 5122);  // 16-bit offsets on the grid
            EXPECT_EQ(type(3), 5126);  // off the grid: floats
        }
    }
    dzScene->clear();
}

TEST(AnimationExportCommandLine, SequenceWritesNumberedFramesAndHeightMapsNeedALandscape)
{
    QTemporaryDir dir;
    const QString seq = dir.path() + "/frames";
    const HostRun r = runHost(meadowRun({"--export-sequence", seq, "--frames", "2"}));
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(QDir(seq).entryList(QDir::Files),
              (QStringList{"frame_0001.mtl", "frame_0001.obj", "frame_0002.mtl", "frame_0002.obj"}));
    // A box that is no landscape: reported, nothing written, non-zero.
    const HostRun g = runHost(meadowRun({"--export-heightmap", "1", dir.path() + "/h.png"}));
    EXPECT_EQ(g.code, 5);
    EXPECT_TRUE(g.err.contains("no landscape")) << qPrintable(g.err);
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/h.png"));
}

// Frame counts, rates and scenes that cannot fit the format are refused before the first
// tick, naming the limit, and leave no file behind.
TEST(AnimationExportCommandLine, FramesAndRatesPastTheFormatAreRefusedBeforeTicking)
{
    QTemporaryDir dir;
    const QString glb = dir.path() + "/wind.glb";
    const struct
    {
        QStringList args;
        const char* says;
    } cases[] = {
        {{"--frames", "40000"}, "more than the 10000 an animated .glb may hold"},
        {{"--frames", "2", "--fps", "1e-300"}, "--fps: not a frame rate from 0.01 to 1000: 1e-300"},
        {{"--frames", "2", "--fps", "1e308"}, "from 0.01 to 1000"},
        {{"--frames", "2", "--fps", "nan"}, "from 0.01 to 1000"},
    };
    for (const auto& c : cases) {
        const HostRun r = runHost(meadowRun(QStringList{"--export-animation", glb} + c.args));
        EXPECT_EQ(r.code, 2) << qPrintable(r.err);
        EXPECT_TRUE(r.err.contains(c.says)) << qPrintable(r.err);
    }
    // A sequence of files has no such bound.
    CommandLine cl;
    QString error;
    EXPECT_TRUE(parseCommandLine({"--export-sequence", dir.path() + "/seq", "--frames", "40000"}, &cl, &error))
        << qPrintable(error);

    // In process: a mesh whose frames need more than 4 GiB is refused before a tick.
    dzScene->clear();
    DzFacetMesh* mesh = nullptr;
    DzFacetShape* shape = nullptr;
    DzNode* node = makeMeshNode("Field", &mesh, &shape);
    addMaterial(shape, "Grass", QColor(60, 160, 60));
    const int side = 300;
    mesh->beginEdit();
    for (int v = 0; v < side * side; ++v) mesh->addVertex(float(v % side), 0.f, float(v / side));
    for (int a = 0; a + side + 1 < side * side; ++a) {
        const int t[4] = {a, a + side, a + 1, -1};
        mesh->addFacet(t, t);
    }
    mesh->finishEdit();
    dzScene->addNode(node);
    int ticks = 0;
    AnimationExportOptions opt;
    opt.frames = kMaxAnimationFrames;
    EXPECT_FALSE(exportAnimationGlb(
        glb, opt, [&](QString*) { return ++ticks > 0; }, &error));
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(error.contains(glb) && error.contains("more than the 4096 MB a .glb can hold")) << qPrintable(error);
    opt.frames = 3;
    opt.fps = 1e-300;
    EXPECT_FALSE(exportAnimationGlb(
        glb, opt, [&](QString*) { return ++ticks > 0; }, &error));
    EXPECT_TRUE(error.contains("from 0.01 to 1000")) << qPrintable(error);
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    dzScene->clear();
}
