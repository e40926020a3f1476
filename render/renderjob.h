#pragma once
// A picture rendered over a pool of worker threads, pass by pass: each pass adds samples to
// every pixel, tile by tile, so the picture refines as a whole. Every sample draws its random
// numbers from a stream seeded by the seed, its pixel and its index, and each pixel's sums
// are added in pass order, so a seed and a sample count give the same picture bit for bit
// on any number of threads. Memory is the picture's sums, whatever the sample count.
#include <QImage>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include "integrator.h"

struct RenderSettings
{
    int width = 640, height = 360;
    int samples = 16;  // per pixel
    uint32_t seed = 1;
    int threads = 0;         // 0: one per processor
    float exposure = 0.85f;  // the viewport's, applied before the filmic curve
    TraceSettings trace;
};

class RenderJob
{
public:
    // The scene, sky and sun must outlive the job.
    RenderJob(const RenderScene& scene, const Environment& env, const SunLight& sun, const RenderCamera& camera,
              const RenderSettings& settings);
    ~RenderJob();  // cancels and waits

    // Starts the workers and returns; wait() blocks until they end.
    void start();
    void wait();
    // Renders on the calling thread's behalf until done or cancelled.
    void run()
    {
        start();
        wait();
    }
    void cancel();
    bool isCancelled() const { return m_cancel.load(); }
    bool isFinished() const;

    // Share of the samples done, 0 to 1.
    double progress() const;
    int passesDone() const;
    int passCount() const { return int(m_passSamples.size()); }
    int samplesDone() const;  // per pixel, of the passes finished

    // The picture so far (each pixel the mean of its samples), tone-mapped to 8-bit sRGB.
    QImage image() const;
    // Linear radiance, RGB per pixel row by row (each pixel the mean of its samples).
    std::vector<float> linear() const;
    RayCounts rays() const;
    // Seconds of processor time the workers used (their thread clocks, summed).
    double cpuSeconds() const;

private:
    void worker();
    void renderTile(int pass, int tile, std::vector<float>& out, RayCounts& counts) const;

    const RenderScene& m_scene;
    Integrator m_integrator;
    RenderSettings m_set;
    Vec3 m_eye, m_right, m_up, m_forward;
    float m_tanHalf = 0.f, m_aspect = 1.f, m_spread = 0.f;
    int m_tilesX = 0, m_tilesY = 0;
    std::vector<int> m_passSamples, m_passFirst;

    std::vector<std::thread> m_threads;
    std::atomic<bool> m_cancel{false};
    std::atomic<int> m_next{0};
    mutable std::mutex m_lock;
    std::condition_variable m_passDone;
    int m_itemsDone = 0;  // guarded by m_lock
    int m_running = 0;
    std::vector<float> m_sum;       // guarded by m_lock
    std::vector<uint32_t> m_count;  // guarded by m_lock; samples per pixel so far
    RayCounts m_rays;               // guarded by m_lock
    double m_cpu = 0.0;             // guarded by m_lock
    long long m_samplesDone = 0;    // pixel samples, guarded by m_lock
};

constexpr int kRenderTile = 32;
constexpr int kMaxRenderSamples = 65536;
