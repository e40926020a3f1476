// The host's hot paths: the per-vertex store of every animation tick, and saving and
// loading a scene that holds one large terrain mesh.
#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <dzapp.h>
#include <dzgeometry.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>
#include <dzmaterial.h>

namespace {

void BM_SetVertex(benchmark::State& state)
{
    const int n = int(state.range(0));
    DzFacetMesh mesh;
    mesh.setNumVertices(n);
    float phase = 0.f;
    for (auto _ : state) {
        mesh.beginEdit();
        for (int i = 0; i < n; ++i) mesh.setVertex(i, DzVec3(float(i), phase, -float(i)));
        mesh.finishEdit();
        benchmark::DoNotOptimize(mesh.getVerticesPtr());
        benchmark::ClobberMemory();
        phase += 1.f;
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_SetVertex)->Arg(10000000)->Unit(benchmark::kMillisecond);

// A side x side grid of quads with one UV per vertex, as a terrain is laid out.
void buildTerrain(int side)
{
    dzScene->clear();
    auto* node = new DzNode;
    node->setLabel("(0000) Landscape");
    auto* obj = new DzObject;
    auto* shape = new DzFacetShape;
    shape->addMaterial(new DzDefaultMaterial);
    auto* mesh = new DzFacetMesh;
    auto* uvs = new DzUVSet;
    mesh->preSizeVertexArray(side * side);
    uvs->preSizeArray(side * side);
    quint32 seed = 1;
    for (int z = 0; z < side; ++z)
        for (int x = 0; x < side; ++x) {
            seed = seed * 214013u + 2531011u;
            mesh->addVertex(float(x) * 0.5f, float((seed >> 16) & 0x7FFF) / 327.67f, float(z) * 0.5f);
            uvs->appendPnt2Vec(DzPnt2(float(x) / float(side - 1), float(z) / float(side - 1)));
        }
    mesh->setUVList(uvs);
    mesh->preSizeFacets((side - 1) * (side - 1));
    for (int z = 0; z + 1 < side; ++z)
        for (int x = 0; x + 1 < side; ++x) {
            const int v = z * side + x;
            const int q[4] = {v, v + 1, v + side + 1, v + side};
            mesh->addFacet(q, q);
        }
    shape->setFacetMesh(mesh);
    obj->addShape(shape);
    node->setObject(obj);
    dzScene->addNode(node);
}

constexpr int kTerrainSide = 2000;  // 4 million vertices, 4 million quads

QString benchFile()
{
    static QTemporaryDir dir;
    return dir.filePath("terrain.json");
}

void BM_SceneSave(benchmark::State& state)
{
    buildTerrain(kTerrainSide);
    const QString file = benchFile();
    for (auto _ : state) {
        QString error;
        if (!dzScene->saveScene(file, &error)) state.SkipWithError(qPrintable(error));
    }
    state.SetItemsProcessed(state.iterations() * qint64(kTerrainSide) * kTerrainSide);
    state.SetBytesProcessed(state.iterations() * QFileInfo(file).size());
    state.counters["file_MB"] = double(QFileInfo(file).size()) / 1e6;
}
BENCHMARK(BM_SceneSave)->Unit(benchmark::kMillisecond);

void BM_SceneLoad(benchmark::State& state)
{
    buildTerrain(kTerrainSide);
    const QString file = benchFile();
    QString error;
    if (!dzScene->saveScene(file, &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    for (auto _ : state) {
        if (!dzScene->loadScene(file, &error)) state.SkipWithError(qPrintable(error));
    }
    state.SetItemsProcessed(state.iterations() * qint64(kTerrainSide) * kTerrainSide);
    state.SetBytesProcessed(state.iterations() * QFileInfo(file).size());
}
BENCHMARK(BM_SceneLoad)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    DzHostSession session;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
