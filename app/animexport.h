#pragma once
// The wind animation out of the host: a glTF 2.0 binary whose meshes carry one morph target
// per frame, or one still file per frame. Frames come from the pane's own ticks, so frame k
// is exactly what `--ticks k` leaves in the scene.
#include <QString>
#include <functional>

struct AnimationExportOptions
{
    int frames = 0;
    double fps = 30.0;
    bool linear = true;     // weights blend between frames; false holds each frame (STEP)
    bool compress = false;  // EXT_meshopt_compression over the mesh data
    // Meshes with at least this many vertices are written quantized (KHR_mesh_quantization).
    int quantizeFrom = 1024;
};

// A morph animation keys the weight of every target at every frame, so its weights grow with
// the square of the frames: 10 000 frames make 400 MB of them, past which no viewer follows.
constexpr int kMaxAnimationFrames = 10000;
// Key times are single floats from 0 to frames / fps.
constexpr double kMinAnimationFps = 0.01;
constexpr double kMaxAnimationFps = 1000.0;

// Advances the scene by one animation tick; false stops the export with error set.
using TickFunction = std::function<bool(QString* error)>;

// Writes file (.glb) from the scene as it stands (the base) and options.frames ticks. A frame
// count or rate out of range, or a scene whose frames cannot fit the 4 GiB of a .glb, is
// refused before the first tick, naming the limit.
bool exportAnimationGlb(const QString& file, const AnimationExportOptions& options, const TickFunction& tick,
                        QString* error);

// Writes dir/frame_0001.obj ... one still export per tick (ext "obj" or "glb"); dir is made.
bool exportFrameSequence(const QString& dir, int frames, const QString& ext, const TickFunction& tick, QString* error);
