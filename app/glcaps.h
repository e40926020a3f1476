#pragma once
// What the current OpenGL context is good at.

// True when the current context renders on the CPU (Mesa's llvmpipe, softpipe or swrast).
// There anisotropic texture filtering on a multisampled target costs a hundred times a plain
// frame or more, and the cost jumps with the target's size (a 1280x720 screenshot of the
// Meadow took minutes, 1100x619 seconds); trilinear filtering keeps frames proportional to
// their pixels.
bool isSoftwareRasterizer();
