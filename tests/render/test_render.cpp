// The renderer on scenes small enough to know the answer: light that must come out as the
// theory of a diffuse surface says, shadows where the geometry puts them, cut-outs that let
// through what is clear, and the same picture from the same seed.
#include <gtest/gtest.h>
#include <QImage>
#include <cmath>
#include <cstring>
#include "renderjob.h"

namespace {

// A square of side 2 * half at height y, facing up, UVs 0..1 across it.
RenderMesh square(float cx, float y, float cz, float half, uint32_t material)
{
    RenderMesh m;
    m.positions = {cx - half, y, cz - half, cx + half, y, cz - half, cx + half, y, cz + half, cx - half, y, cz + half};
    m.normals = {0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0};
    m.uvs = {0, 1, 1, 1, 1, 0, 0, 0};
    m.triangles = {0, 2, 1, 0, 3, 2};
    m.materials = {material, material};
    return m;
}

// An axis-aligned box from lo to hi, flat faces.
RenderMesh box(Vec3 lo, Vec3 hi, uint32_t material)
{
    RenderMesh m;
    for (int i = 0; i < 8; ++i) {
        m.positions.push_back(i & 1 ? hi.x : lo.x);
        m.positions.push_back(i & 2 ? hi.y : lo.y);
        m.positions.push_back(i & 4 ? hi.z : lo.z);
    }
    const uint32_t f[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& q : f) {
        m.triangles.insert(m.triangles.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
        m.materials.insert(m.materials.end(), {material, material});
    }
    return m;
}

RenderMaterial matte(float albedo)
{
    RenderMaterial m;
    m.diffuse = Vec3(albedo);
    m.specular = Vec3(0.f);
    return m;
}

struct Scene
{
    RenderScene scene;
    Environment env = Environment::uniform(Vec3(0.f));
    SunLight sun;
    explicit Scene(RenderSceneInput in)
    {
        QString error;
        EXPECT_TRUE(scene.build(std::move(in), &error)) << error.toStdString();
    }
};

// A camera straight down from above (x to the right, -z up the picture) whose picture
// covers halfWidth either side at the height y.
RenderCamera lookingDown(Vec3 eye, float distance, float halfWidth)
{
    RenderCamera c;
    c.eye = eye;
    c.forward = {0.f, -1.f, 0.f};
    c.up = {0.f, 0.f, -1.f};
    c.fovYDeg = 2.f * std::atan(halfWidth / distance) * 180.f / kPi;
    return c;
}

std::vector<float> render(const Scene& s, const RenderCamera& cam, int w, int h, int samples, uint32_t seed = 1,
                          int threads = 2)
{
    RenderSettings set;
    set.width = w;
    set.height = h;
    set.samples = samples;
    set.seed = seed;
    set.threads = threads;
    RenderJob job(s.scene, s.env, s.sun, cam, set);
    job.run();
    EXPECT_EQ(job.samplesDone(), samples);
    return job.linear();
}

// Mean of the green channel over the pixels with x0 <= x < x1 and y0 <= y < y1.
double mean(const std::vector<float>& img, int w, int x0, int y0, int x1, int y1)
{
    double s = 0.0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) s += img[3 * (size_t(y) * w + x) + 1];
    return s / double((x1 - x0) * (y1 - y0));
}

SunLight sunAt(float azimuthDeg, float elevationDeg)
{
    SunSky s;
    s.azimuthDeg = azimuthDeg;
    s.elevationDeg = elevationDeg;
    SunLight l;
    const SkyVec d = sunDirection(s);
    l.direction = {d.x, d.y, d.z};
    l.irradiance = Vec3(1.f);
    l.discRadiance = Vec3(0.f);
    return l;
}

}  // namespace

// A diffuse plane under a sky of radiance L reflects albedo x L whatever the direction; under
// the daylight sky it reflects albedo / pi times the sky's irradiance, summed here by brute
// force over the sky's own radiance.
TEST(RenderLight, DiffusePlaneUnderSkyConverges)
{
    RenderSceneInput in;
    in.materials = {matte(1.f), matte(0.5f)};
    in.meshes.push_back(square(-500.f, 0.f, 0.f, 500.f, 0));
    in.meshes.push_back(square(500.f, 0.f, 0.f, 500.f, 1));
    Scene s(std::move(in));
    s.env = Environment::uniform(Vec3(1.f));
    const RenderCamera left = lookingDown({-500.f, 10.f, 0.f}, 10.f, 5.f);
    const RenderCamera right = lookingDown({500.f, 10.f, 0.f}, 10.f, 5.f);
    const std::vector<float> white = render(s, left, 8, 8, 256);
    const std::vector<float> grey = render(s, right, 8, 8, 256);
    EXPECT_NEAR(mean(white, 8, 0, 0, 8, 8), 1.0, 0.02);
    EXPECT_NEAR(mean(grey, 8, 0, 0, 8, 8), 0.5, 0.01);
    for (int p = 0; p < 64; ++p) EXPECT_NEAR(white[3 * size_t(p) + 1], 1.0, 0.08) << "pixel " << p;

    SunSky sky;
    sky.elevationDeg = 30.f;
    s.env = Environment::fromSky(sky);
    double irradiance = 0.0;
    const int n = 400;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < 2 * n; ++i) {
            const float ct = (float(j) + 0.5f) / float(n), st = std::sqrt(1.f - ct * ct);
            const float phi = (float(i) + 0.5f) / float(2 * n) * 2.f * kPi;
            irradiance += s.env.eval({st * std::cos(phi), ct, st * std::sin(phi)}).y * ct;
        }
    irradiance *= 2.f * kPi / double(2 * n * n);
    const std::vector<float> lit = render(s, left, 8, 8, 256);
    EXPECT_NEAR(mean(lit, 8, 0, 0, 8, 8) / (irradiance / kPi), 1.0, 0.02);
}

// Under the sun alone a plane's light follows the cosine of the sun's angle, and a box
// standing on it shadows exactly the ground the sun cannot see past it.
TEST(RenderLight, SunLightsByCosineAndShadowsWhereGeometrySays)
{
    RenderSceneInput in;
    // The box is black, so no light bounces off it into its own shadow.
    in.materials = {matte(1.f), matte(0.f)};
    in.meshes.push_back(square(0.f, 0.f, 0.f, 1000.f, 0));
    in.meshes.push_back(box({-10.f, 0.f, -10.f}, {10.f, 20.f, 10.f}, 1));
    Scene s(std::move(in));
    const RenderCamera far = lookingDown({300.f, 100.f, 300.f}, 100.f, 10.f);
    s.sun = sunAt(90.f, 90.f);
    const double overhead = mean(render(s, far, 8, 8, 4), 8, 0, 0, 8, 8);
    EXPECT_NEAR(overhead, 1.0 / kPi, 0.005);
    s.sun = sunAt(90.f, 30.f);
    EXPECT_NEAR(mean(render(s, far, 8, 8, 4), 8, 0, 0, 8, 8) / overhead, 0.5, 0.005);

    // Sun in the east, 45 degrees up: the box's shadow reaches 20 to the west of it.
    s.sun = sunAt(90.f, 45.f);
    const int size = 100;
    const std::vector<float> img = render(s, lookingDown({0.f, 200.f, 0.f}, 200.f, 50.f), size, size, 4);
    auto at = [&](float x, float z) {
        const int px = int((x / 50.f + 1.f) * 0.5f * size), py = int((z / 50.f + 1.f) * 0.5f * size);
        return img[3 * (size_t(py) * size + px) + 1];
    };
    const float lit = float(std::cos(kPi / 4.f) / kPi);
    for (float z : {-8.f, 0.f, 8.f})
        for (float x : {-28.f, -20.f, -12.f}) EXPECT_LT(at(x, z), 0.02f * lit) << "shadow at " << x << ", " << z;
    for (auto [x, z] : {std::pair{-35.f, 0.f}, {-20.f, 14.f}, {-20.f, -14.f}, {15.f, 0.f}, {0.f, 15.f}})
        EXPECT_NEAR(at(x, z), lit, 0.02f * lit) << "lit at " << x << ", " << z;
}

// A card whose texture is clear in every other stripe lets half of the rays through, from
// the camera and towards the sun alike; a card of even, partial opacity lets through what it
// does not cover.
TEST(RenderCutout, HalfClearCardPassesHalfTheLight)
{
    QImage stripes(128, 4, QImage::Format_RGBA8888);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 128; ++x) stripes.setPixel(x, y, (x / 2) % 2 ? qRgba(0, 0, 0, 0) : qRgba(20, 20, 20, 255));
    RenderMaterial card = matte(0.f);
    card.colour = RenderTexture::fromImage(stripes, true);
    card.cutout = Cutout::Mask;
    RenderMaterial veil = matte(0.f);
    veil.opacity = 0.25f;
    veil.cutout = Cutout::Blend;
    RenderSceneInput in;
    in.materials = {matte(1.f), card, veil};
    in.meshes.push_back(square(0.f, 0.f, 0.f, 2000.f, 0));
    in.meshes.push_back(square(0.f, 100.f, 0.f, 100.f, 1));
    in.meshes.push_back(square(1000.f, 100.f, 0.f, 100.f, 2));
    Scene s(std::move(in));

    // The shadow: sun in the east, 45 degrees up, the card's shadow 100 to the west of it.
    s.sun = sunAt(90.f, 45.f);
    const std::vector<float> shade = render(s, lookingDown({-100.f, 50.f, 0.f}, 50.f, 25.f), 16, 16, 16);
    const std::vector<float> open = render(s, lookingDown({-400.f, 50.f, 0.f}, 50.f, 25.f), 16, 16, 4);
    EXPECT_NEAR(mean(shade, 16, 0, 0, 16, 16) / mean(open, 16, 0, 0, 16, 16), 0.5, 0.03);

    // The camera under the card and the veil, looking up through them into a white sky.
    s.sun = SunLight();
    s.env = Environment::uniform(Vec3(1.f));
    RenderCamera up = lookingDown({0.f, 50.f, 0.f}, 50.f, 25.f);
    up.forward = {0.f, 1.f, 0.f};
    up.up = {0.f, 0.f, 1.f};
    EXPECT_NEAR(mean(render(s, up, 16, 16, 16), 16, 0, 0, 16, 16), 0.5, 0.03);
    up.eye = {1000.f, 50.f, 0.f};
    EXPECT_NEAR(mean(render(s, up, 16, 16, 64), 16, 0, 0, 16, 16), 0.75, 0.03);
}

// The same seed and sample count give the same picture bit for bit on any number of
// threads; another seed gives another.
TEST(RenderJobRuns, SameSeedSamePictureOnAnyThreadCount)
{
    QImage stripes(16, 16, QImage::Format_RGBA8888);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) stripes.setPixel(x, y, (x + y) % 3 ? qRgba(40, 160, 30, 255) : qRgba(0, 0, 0, 0));
    RenderMaterial leaf = matte(1.f);
    leaf.colour = RenderTexture::fromImage(stripes, true);
    leaf.cutout = Cutout::Mask;
    leaf.translucency = 0.4f;
    RenderMaterial glossy = matte(0.6f);
    glossy.specular = Vec3(0.04f);
    glossy.roughness = 0.3f;
    RenderMaterial veil = matte(0.8f);
    veil.opacity = 0.5f;
    veil.cutout = Cutout::Blend;
    RenderSceneInput in;
    in.materials = {glossy, leaf, veil};
    in.meshes.push_back(square(0.f, 0.f, 0.f, 100.f, 0));
    in.meshes.push_back(box({-10.f, 0.f, -10.f}, {10.f, 20.f, 10.f}, 0));
    in.meshes.push_back(square(5.f, 30.f, 5.f, 20.f, 1));
    in.meshes.push_back(square(-20.f, 10.f, 0.f, 15.f, 2));
    Scene s(std::move(in));
    SunSky sky;
    s.env = Environment::fromSky(sky, 64, 32);
    s.sun = SunLight::fromSky(sky);
    RenderCamera cam;
    cam.eye = {60.f, 50.f, 80.f};
    cam.forward = Vec3(0.f, 10.f, 0.f) - cam.eye;
    const std::vector<float> one = render(s, cam, 40, 36, 6, 7, 1);
    const std::vector<float> three = render(s, cam, 40, 36, 6, 7, 3);
    const std::vector<float> again = render(s, cam, 40, 36, 6, 7, 2);
    ASSERT_EQ(one.size(), three.size());
    EXPECT_EQ(0, std::memcmp(one.data(), three.data(), one.size() * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(one.data(), again.data(), one.size() * sizeof(float)));
    const std::vector<float> other = render(s, cam, 40, 36, 6, 8, 2);
    EXPECT_NE(0, std::memcmp(one.data(), other.data(), one.size() * sizeof(float)));
    double sum = 0.0;
    for (float v : one) sum += v;
    EXPECT_GT(sum / double(one.size()), 0.05);
}

// A coarse mesh with smooth normals (an eight-sided prism, one corner on top) under a low sun:
// next to the top corner the facet turned a little away from the sun is lit as its smooth
// normals say, not black, and not shadowed by the facets around it.
TEST(RenderLight, CoarseSmoothMeshIsLitByItsNormalsNotByItsFacets)
{
    RenderMesh prism;
    const float R = 10.f;
    for (int k = 0; k < 8; ++k) {
        const float a = kPi / 2.f + float(k) * kPi / 4.f;
        for (float z : {-100.f, 100.f}) {
            prism.positions.insert(prism.positions.end(), {R * std::cos(a), R * std::sin(a), z});
            prism.normals.insert(prism.normals.end(), {std::cos(a), std::sin(a), 0.f});
        }
    }
    for (uint32_t k = 0; k < 8; ++k) {
        const uint32_t a = 2 * k, b = 2 * ((k + 1) % 8);
        prism.triangles.insert(prism.triangles.end(), {a, b, b + 1, a, b + 1, a + 1});
        prism.materials.insert(prism.materials.end(), {0, 0});
    }
    RenderSceneInput in;
    in.materials = {matte(1.f)};
    in.meshes.push_back(prism);
    Scene s(std::move(in));
    s.sun = sunAt(90.f, 20.f);
    const int size = 120;
    const std::vector<float> img = render(s, lookingDown({0.f, 100.f, 0.f}, 90.f, 12.f), size, size, 4);
    const Vec3 sun = s.sun.direction;
    // The facet from the top corner (0, R) down to the one at 135 degrees, seen from above.
    const Vec3 top(0.f, R, 0.f), left(R * std::cos(0.75f * kPi), R * std::sin(0.75f * kPi), 0.f);
    const Vec3 facetNormal = normalize(cross(Vec3(0.f, 0.f, 1.f), top - left));
    ASSERT_LT(dot(facetNormal, sun), 0.f) << "the facet must face away from the sun";
    for (float t : {0.04f, 0.08f, 0.12f}) {
        const Vec3 p = top + (left - top) * t;
        const Vec3 n = normalize(Vec3(0.f, 1.f, 0.f) * (1.f - t) + normalize(left) * t);
        const float expected = dot(n, sun) / kPi;
        // Where the camera 90 above the top corner sees p: the picture covers 12 either side at that depth.
        const float depth = 100.f - p.y;
        const int px = int((p.x / (12.f * depth / 90.f) + 1.f) * 0.5f * size);
        const float got = img[3 * (size_t(size / 2) * size + px) + 1];
        EXPECT_NEAR(got, expected, 0.1f * expected) << "at " << t << " of the facet";
    }
}
