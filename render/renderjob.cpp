#include "renderjob.h"
#include <algorithm>
#include <cmath>
#include <ctime>
#include "tonecurve.h"

namespace {

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

}  // namespace

RenderJob::RenderJob(const RenderScene& scene, const Environment& env, const SunLight& sun, const RenderCamera& camera,
                     const RenderSettings& settings)
    : m_scene(scene), m_integrator(scene, env, sun, settings.trace), m_set(settings)
{
    m_set.width = std::max(1, m_set.width);
    m_set.height = std::max(1, m_set.height);
    m_set.samples = std::clamp(m_set.samples, 1, kMaxRenderSamples);
    m_eye = camera.eye;
    m_forward = normalize(camera.forward);
    m_right = normalize(cross(m_forward, camera.up));
    if (length(cross(m_forward, camera.up)) < 1e-6f) m_right = normalize(cross(m_forward, Vec3(0.f, 0.f, 1.f)));
    m_up = cross(m_right, m_forward);
    m_tanHalf = std::tan(std::clamp(camera.fovYDeg, 1.f, 170.f) * kPi / 360.f);
    m_aspect = float(m_set.width) / float(m_set.height);
    m_spread = 2.f * m_tanHalf / float(m_set.height);
    m_tilesX = (m_set.width + kRenderTile - 1) / kRenderTile;
    m_tilesY = (m_set.height + kRenderTile - 1) / kRenderTile;
    // A quick first look, then passes that double up to a size that keeps the picture moving.
    int done = 0;
    for (int n = 1; done < m_set.samples; n = std::min(n * 2, 16)) {
        const int take = std::min(n, m_set.samples - done);
        m_passFirst.push_back(done);
        m_passSamples.push_back(take);
        done += take;
    }
    m_sum.assign(size_t(m_set.width) * size_t(m_set.height) * 3, 0.f);
    m_count.assign(size_t(m_set.width) * size_t(m_set.height), 0);
}

RenderJob::~RenderJob()
{
    cancel();
    wait();
}

void RenderJob::cancel()
{
    m_cancel.store(true);
    std::lock_guard<std::mutex> g(m_lock);
    m_passDone.notify_all();
}

void RenderJob::start()
{
    if (!m_threads.empty()) return;
    int n = m_set.threads > 0 ? m_set.threads : int(std::thread::hardware_concurrency());
    n = std::max(1, n);
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_running = n;
    }
    for (int i = 0; i < n; ++i) m_threads.emplace_back(&RenderJob::worker, this);
}

void RenderJob::wait()
{
    for (std::thread& t : m_threads)
        if (t.joinable()) t.join();
}

bool RenderJob::isFinished() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return !m_threads.empty() && m_running == 0;
}

double RenderJob::progress() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return double(m_samplesDone) / (double(m_set.width) * m_set.height * m_set.samples);
}

int RenderJob::passesDone() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_itemsDone / (m_tilesX * m_tilesY);
}

int RenderJob::samplesDone() const
{
    const int p = passesDone();
    return p == 0 ? 0 : m_passFirst[size_t(p - 1)] + m_passSamples[size_t(p - 1)];
}

RayCounts RenderJob::rays() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_rays;
}

double RenderJob::cpuSeconds() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_cpu;
}

void RenderJob::worker()
{
    const double cpu0 = threadCpuSeconds();
    const int tiles = m_tilesX * m_tilesY;
    const int items = tiles * passCount();
    std::vector<float> out;
    for (;;) {
        if (m_cancel.load()) break;
        const int item = m_next.fetch_add(1);
        if (item >= items) break;
        const int pass = item / tiles, tile = item % tiles;
        {
            // A pixel's sums are added in pass order: the items of the pass before are all
            // taken by now, so this waits only for their last few to finish.
            std::unique_lock<std::mutex> g(m_lock);
            m_passDone.wait(g, [&] { return m_itemsDone >= pass * tiles || m_cancel.load(); });
        }
        if (m_cancel.load()) break;
        RayCounts counts;
        renderTile(pass, tile, out, counts);
        const int x0 = (tile % m_tilesX) * kRenderTile, y0 = (tile / m_tilesX) * kRenderTile;
        const int w = std::min(kRenderTile, m_set.width - x0), h = std::min(kRenderTile, m_set.height - y0);
        std::lock_guard<std::mutex> g(m_lock);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const size_t p = size_t(y0 + y) * size_t(m_set.width) + size_t(x0 + x);
                const size_t q = size_t(y) * size_t(w) + size_t(x);
                m_sum[3 * p] += out[3 * q];
                m_sum[3 * p + 1] += out[3 * q + 1];
                m_sum[3 * p + 2] += out[3 * q + 2];
                m_count[p] += uint32_t(m_passSamples[size_t(pass)]);
            }
        m_rays += counts;
        m_samplesDone += (long long)(w)*h * m_passSamples[size_t(pass)];
        ++m_itemsDone;
        if (m_itemsDone % tiles == 0) m_passDone.notify_all();
    }
    std::lock_guard<std::mutex> g(m_lock);
    m_cpu += threadCpuSeconds() - cpu0;
    --m_running;
    // A cancelled worker may leave others waiting for a pass that will not complete.
    m_passDone.notify_all();
}

void RenderJob::renderTile(int pass, int tile, std::vector<float>& out, RayCounts& counts) const
{
    const int x0 = (tile % m_tilesX) * kRenderTile, y0 = (tile / m_tilesX) * kRenderTile;
    const int w = std::min(kRenderTile, m_set.width - x0), h = std::min(kRenderTile, m_set.height - y0);
    out.assign(size_t(w) * size_t(h) * 3, 0.f);
    const int first = m_passFirst[size_t(pass)], n = m_passSamples[size_t(pass)];
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int px = x0 + x, py = y0 + y;
            Vec3 sum(0.f);
            for (int s = first; s < first + n; ++s) {
                Rng rng(m_set.seed, uint32_t(px), uint32_t(py), uint32_t(s));
                const float sx = (float(px) + rng.next()) / float(m_set.width);
                const float sy = (float(py) + rng.next()) / float(m_set.height);
                const Vec3 dir = normalize(m_forward + m_right * ((2.f * sx - 1.f) * m_tanHalf * m_aspect) +
                                           m_up * ((1.f - 2.f * sy) * m_tanHalf));
                Vec3 L = m_integrator.radiance(m_eye, dir, m_spread, rng, counts);
                // A sample that is not a number (a degenerate triangle's normal) is dropped
                // rather than spoiling the pixel for good.
                if (!std::isfinite(L.x) || !std::isfinite(L.y) || !std::isfinite(L.z)) L = Vec3(0.f);
                sum += L;
            }
            const size_t q = size_t(y) * size_t(w) + size_t(x);
            out[3 * q] = sum.x;
            out[3 * q + 1] = sum.y;
            out[3 * q + 2] = sum.z;
        }
}

std::vector<float> RenderJob::linear() const
{
    std::lock_guard<std::mutex> g(m_lock);
    std::vector<float> out(m_sum.size(), 0.f);
    for (size_t p = 0; p < m_count.size(); ++p) {
        if (!m_count[p]) continue;
        const float inv = 1.f / float(m_count[p]);
        for (int c = 0; c < 3; ++c) out[3 * p + size_t(c)] = m_sum[3 * p + size_t(c)] * inv;
    }
    return out;
}

QImage RenderJob::image() const
{
    const std::vector<float> lin = linear();
    QImage img(m_set.width, m_set.height, QImage::Format_RGB32);
    for (int y = 0; y < m_set.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < m_set.width; ++x) {
            const float* c = &lin[3 * (size_t(y) * size_t(m_set.width) + size_t(x))];
            auto byte = [&](float v) { return int(std::lround(toneMap(v, m_set.exposure) * 255.f)); };
            line[x] = qRgb(byte(c[0]), byte(c[1]), byte(c[2]));
        }
    }
    return img;
}
