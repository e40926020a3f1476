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

// Advances the scene by one animation tick; false stops the export with error set.
using TickFunction = std::function<bool(QString* error)>;

// Writes file (.glb) from the scene as it stands (the base) and options.frames ticks.
bool exportAnimationGlb(const QString& file, const AnimationExportOptions& options, const TickFunction& tick,
                        QString* error);

// Writes dir/frame_0001.obj ... one still export per tick (ext "obj" or "glb"); dir is made.
bool exportFrameSequence(const QString& dir, int frames, const QString& ext, const TickFunction& tick,
                         QString* error);
