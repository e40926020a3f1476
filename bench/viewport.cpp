// Viewport cost of one big mesh: the re-upload after an edit (smooth normals, index
// building, buffer upload) and a frame drawn from the GPU buffers, on whatever OpenGL the
// machine offers (Mesa's software renderer here). Needs a display or Xvfb; starts its own
// Xvfb when none is set. The Butterflies cases then draw the library's "Butterflies" set
// as the pane builds it: still frames, and frames that each follow one animation tick. These
// run in flat shading, as they always have. The SampleFrame cases draw the Meadow and the
// Valley at 1280 x 720, 4x multisampled as the window draws, in each shading mode, and the
// Valley from eye level in the flat and full modes. The Screenshot cases time whole
// screenshots of the Meadow across sizes.
#include <QApplication>
#include <QMetaObject>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <benchmark/benchmark.h>
#include <dzapp.h>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzpane.h>
#include <dzplugin.h>
#include <dzscene.h>
#include <dzshape.h>
#include <cmath>
#include <cstdio>
#include <memory>
#include "orbitcamera.h"
#include "privatedisplay.h"
#include "renderer.h"
#include "scenemeshes.h"
#include "framing.h"
#include "viewsettings.h"

namespace {

constexpr int kSide = 2000;  // 2000 x 2000 = 4 million vertices, 4 million quads (almost)
DzFacetMesh* g_mesh = nullptr;

void buildTerrain()
{
    auto* node = new DzNode;
    node->setLabel("Terrain");
    auto* obj = new DzObject;
    auto* shape = new DzFacetShape;
    auto* mesh = new DzFacetMesh;
    mesh->setUVList(new DzUVSet);
    shape->setFacetMesh(mesh);
    auto* mat = new DzDefaultMaterial;
    mat->setName("Ground");
    mat->setDiffuseColor(QColor(90, 140, 60));
    shape->addMaterial(mat);
    obj->addShape(shape);
    node->setObject(obj);
    mesh->beginEdit();
    mesh->preSizeVertexArray(kSide * kSide);
    const float step = 2.f;
    for (int j = 0; j < kSide; ++j)
        for (int i = 0; i < kSide; ++i) {
            const float x = (i - kSide / 2) * step, z = (j - kSide / 2) * step;
            mesh->addVertex(x, 20.f * std::sin(x * 0.01f) * std::cos(z * 0.013f), z);
            mesh->getUVs()->appendPnt2Vec(DzPnt2(float(i) / kSide, float(j) / kSide));
        }
    for (int j = 0; j + 1 < kSide; ++j)
        for (int i = 0; i + 1 < kSide; ++i) {
            const int a = j * kSide + i;
            const int q[4] = {a, a + kSide, a + kSide + 1, a + 1};
            mesh->addFacet(q, q);
        }
    mesh->finishEdit();
    dzScene->addNode(node);
    g_mesh = mesh;
}

struct Gl
{
    QOpenGLContext ctx;
    QOffscreenSurface surface;
    std::unique_ptr<QOpenGLFramebufferObject> fbo;
    SceneRenderer renderer;
    OrbitCamera cam;
    QSize size{1280, 720};
    bool ok = false;

    Gl()
    {
        QSurfaceFormat fmt;
        fmt.setDepthBufferSize(24);
        ctx.setFormat(fmt);
        if (!ctx.create()) return;
        surface.setFormat(ctx.format());
        surface.create();
        if (!ctx.makeCurrent(&surface)) return;
        QOpenGLFramebufferObjectFormat ff;
        ff.setAttachment(QOpenGLFramebufferObject::Depth);
        fbo.reset(new QOpenGLFramebufferObject(size, ff));
        QString why;
        if (!fbo->isValid() || !renderer.initialize(&why)) return;
        cam.yawDeg = 35.f;
        cam.pitchDeg = 35.f;
        cam.frame(sceneBounds(), float(size.width()) / size.height());
        fbo->bind();
        renderer.sync();
        ok = true;
    }
    ~Gl()
    {
        if (!ok) return;
        renderer.release();
        fbo.reset();
        ctx.doneCurrent();
    }
    void draw()
    {
        renderer.render(cam.view(), cam.projection(float(size.width()) / size.height()), size.width(), size.height(),
                        nullptr);
        ctx.functions()->glFinish();
    }
};
Gl* g_gl = nullptr;

// A finished edit bumps the mesh's revision: the next sync rebuilds and re-uploads it.
void BM_ViewportUpload4M(benchmark::State& state)
{
    float y = 0.f;
    for (auto _ : state) {
        g_mesh->beginEdit();
        g_mesh->setVertex(0, DzVec3(-2000.f, y += 0.01f, -2000.f));
        g_mesh->finishEdit();
        if (!g_gl->renderer.sync()) state.SkipWithError("mesh was not re-uploaded");
        g_gl->ctx.functions()->glFinish();
    }
    state.counters["vertices"] = double(g_mesh->getNumVertices());
}
BENCHMARK(BM_ViewportUpload4M)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_ViewportDraw4M(benchmark::State& state)
{
    for (auto _ : state) g_gl->draw();
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ViewportDraw4M)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The samples replace the big terrain; these cases run last.
DzPane* g_pane = nullptr;
QString g_openSet;
bool openSet(benchmark::State& state, const QString& name)
{
    if (g_openSet == name) return true;
    dzScene->clear();
    g_mesh = nullptr;
    g_openSet.clear();
    if (!g_pane) g_pane = dzApp->getPaneMgr()->getOrCreatePane("ZPK_VerdixPane");
    bool ok = false;
    if (g_pane)
        QMetaObject::invokeMethod(g_pane, "openSetDocument", Qt::DirectConnection, Q_RETURN_ARG(bool, ok),
                                  Q_ARG(QString, QStringLiteral(VERDIX_LIBRARY_DIR "/Verdix_Scene/") + name + ".txt"));
    if (!ok) {
        state.SkipWithError(qPrintable("cannot open the " + name + " set"));
        return false;
    }
    g_openSet = name;
    // The timeline plays, so the tick does not pause; the camera frames the new scene.
    dzScene->play();
    g_gl->cam.frame(sceneBounds(), float(g_gl->size.width()) / g_gl->size.height());
    g_gl->cam.writeTo(hostCamera());
    g_gl->renderer.sync();
    return true;
}

bool openButterflies(benchmark::State& state) { return openSet(state, "Butterflies"); }

void BM_ButterfliesFrame(benchmark::State& state)
{
    if (!openButterflies(state)) return;
    for (auto _ : state) g_gl->draw();
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ButterfliesFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// What the window shows while playing: a tick (grass, stones and billboards rewritten on
// the ring), the re-upload of what changed, a frame.
void BM_ButterfliesTickAndFrame(benchmark::State& state)
{
    if (!openButterflies(state)) return;
    for (auto _ : state) {
        QMetaObject::invokeMethod(g_pane, "Animation_Draw", Qt::DirectConnection);
        g_gl->renderer.sync();
        g_gl->draw();
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ButterfliesTickAndFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// A screenshot (--screenshot) of the Meadow after 30 ticks, as the README's first batch command
// takes it, across sizes: a context, a multisampled target, every upload and one frame. The
// time per megapixel should stay about level; on a software renderer it once jumped a
// hundredfold between 1100x619 and 1280x720.
// The Meadow after 30 ticks; remembered under a name of its own, so that a case that wants
// the Meadow as opened opens it anew.
bool openMeadow(benchmark::State& state)
{
    if (g_openSet == "Meadow after 30 ticks") return true;
    g_openSet.clear();
    if (!openSet(state, "Meadow")) return false;
    for (int i = 0; i < 30; ++i) QMetaObject::invokeMethod(g_pane, "Animation_Draw", Qt::DirectConnection);
    g_openSet = "Meadow after 30 ticks";
    return true;
}

void BM_Screenshot(benchmark::State& state)
{
    if (!openMeadow(state)) return;
    const QSize size(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        QString why;
        if (renderSceneImage(size, &why).isNull()) {
            state.SkipWithError(qPrintable(why));
            break;
        }
    }
    // A screenshot makes its own context current and leaves none.
    g_gl->ctx.makeCurrent(&g_gl->surface);
    const double megapixels = double(size.width()) * size.height() / 1e6;
    state.counters["Mpx"] = megapixels;
    state.counters["s_per_Mpx"] = benchmark::Counter(double(state.iterations()) * megapixels,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Screenshot)
    ->Args({640, 360})
    ->Args({960, 540})
    ->Args({1024, 576})
    ->Args({1100, 619})
    ->Args({1280, 720})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// A still frame of a sample from its framed perspective view, as the window shows it.
void BM_SampleFrame(benchmark::State& state, const char* sample, Shading mode, NamedView view = NamedView::Perspective)
{
    if (!openSet(state, sample)) return;
    dzScene->stop();
    static std::unique_ptr<QOpenGLFramebufferObject> msaa;
    if (!msaa) {
        QOpenGLFramebufferObjectFormat ff;
        ff.setAttachment(QOpenGLFramebufferObject::Depth);
        ff.setSamples(4);
        msaa.reset(new QOpenGLFramebufferObject(g_gl->size, ff));
    }
    const float aspect = float(g_gl->size.width()) / g_gl->size.height();
    const OrbitCamera cam = namedViewCamera(view, aspect, 170.f);
    cam.writeTo(hostCamera());
    g_gl->renderer.sync();
    ViewLook look = viewLook();
    look.shading = mode;
    setViewLook(look);
    msaa->bind();
    for (auto _ : state) {
        g_gl->renderer.render(cam.view(), cam.projection(aspect), g_gl->size.width(), g_gl->size.height(), nullptr);
        g_gl->ctx.functions()->glFinish();
    }
    g_gl->fbo->bind();
    look.shading = Shading::Flat;
    setViewLook(look);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(BM_SampleFrame, Meadow_flat, "Meadow", Shading::Flat)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);
BENCHMARK_CAPTURE(BM_SampleFrame, Meadow_fast, "Meadow", Shading::Fast)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);
BENCHMARK_CAPTURE(BM_SampleFrame, Meadow_full, "Meadow", Shading::Full)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);
BENCHMARK_CAPTURE(BM_SampleFrame, Valley_flat, "Valley", Shading::Flat)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);
BENCHMARK_CAPTURE(BM_SampleFrame, Valley_fast, "Valley", Shading::Fast)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);
BENCHMARK_CAPTURE(BM_SampleFrame, Valley_full, "Valley", Shading::Full)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);
// Standing in the Valley: the shadow cascades' near slices are small, the far ones wide.
BENCHMARK_CAPTURE(BM_SampleFrame, Valley_eye_flat, "Valley", Shading::Flat, NamedView::Eye)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);
BENCHMARK_CAPTURE(BM_SampleFrame, Valley_eye_full, "Valley", Shading::Full, NamedView::Eye)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);

}  // namespace

extern "C" DzPlugin* getPluginDefinition();

int main(int argc, char** argv)
{
    PrivateDisplay display;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    display.ensure();
    QApplication app(argc, argv);
    DzHostSession session;
    dzApp->setTextureRootOverride(QStringLiteral(VERDIX_LIBRARY_DIR));
    QString error;
    if (!dzApp->getPluginMgr()->addPlugin(getPluginDefinition(), &error)) {
        std::fprintf(stderr, "bench_viewport: cannot register the plug-in: %s\n", qPrintable(error));
        return 2;
    }
    buildTerrain();
    Gl gl;
    if (!gl.ok) {
        std::fprintf(stderr, "bench_viewport: no OpenGL context (needs a display or Xvfb)\n");
        return 1;
    }
    g_gl = &gl;
    // The terrain and Butterflies cases measure the flat look they always have.
    ViewLook look = viewLook();
    look.shading = Shading::Flat;
    setViewLook(look);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    dzScene->stop();
    return 0;
}
