#pragma once
// GLSL of the viewport. GLSL 1.20 so the same shaders run on OpenGL 2.1 and on 3.x and
// later compatibility contexts (Mesa's software renderer included).

namespace viewshaders {

extern const char* const kMeshVS;
extern const char* const kMeshFS;
extern const char* const kLineVS;
extern const char* const kLineFS;
// Depth only, with cut-outs tested against their opacity: the sun's shadow map and the
// depth the occlusion pass reads.
extern const char* const kDepthVS;
extern const char* const kDepthFS;
// Full-screen passes: a triangle with aPos in clip space.
extern const char* const kScreenVS;
extern const char* const kSkyFS;
extern const char* const kOcclusionFS;

}  // namespace viewshaders
