// The ".dat" height file: read as the User slot reads it, then blended into a small terrain
// as the landscape update does. Input: the file's bytes.
#include <cmath>
#include <vector>

#include "fuzzsupport.h"
#include "landscape/heightmaps.h"
#include "terrain/terraincore.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString file = fuzzInputFile(".dat", data, size);
    const HeightFileRead read = readHeightFile(file);
    FUZZ_CHECK(read.fileSize == (long long)size, "file size misread");
    if (read.status != HeightFileRead::Ok) {
        FUZZ_CHECK(read.values.empty(), "a refused file kept values");
        return 0;
    }
    FUZZ_CHECK((long long)read.values.size() * 4 >= read.fileSize, "values shorter than the file");
    FUZZ_CHECK((long long)read.mapSize * read.mapSize <= (long long)read.values.size(), "map larger than its values");

    TerrainParams p;
    p.layout.tiles = 2;
    p.layout.divisions = 6;
    p.User = 100;
    p.Smooth = 40;
    p.DeNoise = 30;
    TerrainSlotState state;
    state.mapSize = read.mapSize;
    state.userFloats = (long long)read.values.size();
    const TerrainJudgement judged = judgeTerrainSlots(state, p);
    if (!judged.stop.isEmpty()) return 0;
    TerrainSources s;
    s.user = read.values.data();
    s.userSize = read.mapSize;
    s.userActive = judged.userActive;
    std::vector<float> y(size_t(p.layout.vertexCount()), 0.f);
    computeTerrainHeights(p, s, y.data());
    return 0;
}
