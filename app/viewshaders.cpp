#include "viewshaders.h"

namespace viewshaders {

const char* const kMeshVS = R"(
#version 120
attribute vec3 aPos;
attribute vec3 aNormal;
attribute vec2 aUv;
uniform mat4 uMvp;
uniform mat4 uModel;
uniform mat3 uNormalMat;
varying vec3 vNormal;
varying vec3 vPos;
varying vec2 vUv;
void main() {
    vNormal = uNormalMat * aNormal;
    vPos = (uModel * vec4(aPos, 1.0)).xyz;
    vUv = aUv;
    gl_Position = uMvp * vec4(aPos, 1.0);
}
)";

// The tone curve and the sky lookup, shared by the mesh and sky shaders (same formulas as
// tonecurve.h; the sky texture holds sky.h's radiance over the sphere, longitude by
// latitude).
#define VIEW_COMMON                                                                           \
    "uniform sampler2D uSkyTex;\n"                                                            \
    "uniform float uExposure;\n"                                                              \
    "vec3 skyRadiance(vec3 d) {\n"                                                            \
    "    float u = atan(d.x, -d.z) / 6.2831853 + 0.5;\n"                                      \
    "    float v = asin(clamp(d.y, -1.0, 1.0)) / 3.1415927 + 0.5;\n"                          \
    "    return texture2D(uSkyTex, vec2(u, v)).rgb;\n"                                        \
    "}\n"                                                                                     \
    "vec3 filmic(vec3 x) {\n"                                                                 \
    "    x *= uExposure;\n"                                                                   \
    "    return clamp((x * (2.51 * x + 0.03)) / (x * (2.43 * x + 0.59) + 0.14), 0.0, 1.0);\n" \
    "}\n"                                                                                     \
    "vec3 toSrgb(vec3 c) {\n"                                                                 \
    "    vec3 lo = 12.92 * c;\n"                                                              \
    "    vec3 hi = 1.055 * pow(c, vec3(1.0 / 2.4)) - 0.055;\n"                                \
    "    return mix(lo, hi, step(vec3(0.0031308), c));\n"                                     \
    "}\n"

// Alpha modes: 0 opaque, 1 cut-out (opacity map of solid and clear parts), 2 blended (a soft
// opacity map such as a terrain blend mask). Relief: 0 none, 1 normal map, 2 bump map. The
// tangent frame comes from screen-space derivatives, so meshes need no tangents. Mode 0 is
// the flat look (one light, no sky); 1 adds sky light, sun, fog and the tone curve; 2 adds
// the sun's shadow and ambient occlusion.
const char* const kMeshFS = "#version 120\n" VIEW_COMMON R"(
uniform vec3 uColor;
uniform float uOpacity;
uniform int uHasTex;
uniform sampler2D uTex;
uniform int uAlphaMode;
uniform int uCoverage;
uniform int uRelief;
uniform sampler2D uReliefTex;
uniform float uBumpScale;
uniform vec3 uLightDir;
uniform float uHighlight;
uniform int uMode;
uniform vec3 uSunColor;
uniform vec3 uSH[9];
uniform sampler2DShadow uShadowMap;
uniform mat4 uShadowMat[3];
uniform float uShadowOffset[3];
uniform float uCascadeFar[3];
uniform float uCascadeBlend[3];
uniform int uCascades;
uniform vec3 uViewDir;
uniform int uUseShadow;
uniform vec2 uShadowTexel;
uniform sampler2D uAO;
uniform int uUseAO;
uniform vec2 uInvViewport;
uniform vec3 uEye;
uniform float uFogDensity;
uniform vec3 uWorldCentre;
uniform vec2 uTerrainHalf;
uniform float uLandScale;
uniform int uGround;
varying vec3 vNormal;
varying vec3 vPos;
varying vec2 vUv;

// Smooth value noise of about one feature per unit.
float cellHash(vec2 p) {
    return fract(sin(dot(p, vec2(127.1, 311.7))) * 43758.5453);
}
float broadNoise(vec2 p) {
    vec2 i = floor(p), f = fract(p);
    f = f * f * (3.0 - 2.0 * f);
    return mix(mix(cellHash(i), cellHash(i + vec2(1.0, 0.0)), f.x),
               mix(cellHash(i + vec2(0.0, 1.0)), cellHash(i + vec2(1.0, 1.0)), f.x), f.y);
}

// On the land around the scene the relief follows its texture: a second, turned copy mixed
// in (gMix2 of it, at gUv2) and flattened with distance (gFlat).
vec2 gUv2 = vec2(0.0);
float gMix2 = 0.0;
float gFlat = 0.0;
vec4 reliefAt() {
    vec4 r = texture2D(uReliefTex, vUv);
    if (uGround != 0) r = mix(r, texture2D(uReliefTex, gUv2), gMix2);
    return r;
}

vec3 normalMapped(vec3 n) {
    vec3 dp1 = dFdx(vPos), dp2 = dFdy(vPos);
    vec2 duv1 = dFdx(vUv), duv2 = dFdy(vUv);
    vec3 dp2perp = cross(dp2, n), dp1perp = cross(n, dp1);
    vec3 t = dp2perp * duv1.x + dp1perp * duv2.x;
    vec3 b = dp2perp * duv1.y + dp1perp * duv2.y;
    float len = max(dot(t, t), dot(b, b));
    if (len <= 0.0) return n;
    float inv = inversesqrt(len);
    vec3 m = reliefAt().xyz * 2.0 - 1.0;
    return normalize(mix(normalize(t * inv * m.x + b * inv * m.y + n * m.z), n, gFlat));
}

vec3 bumped(vec3 n) {
    float h = reliefAt().r * uBumpScale * (1.0 - gFlat);
    vec3 sx = dFdx(vPos), sy = dFdy(vPos);
    vec3 r1 = cross(sy, n), r2 = cross(n, sx);
    float det = dot(sx, r1);
    if (abs(det) <= 0.0) return n;
    vec3 g = sign(det) * (dFdx(h) * r1 + dFdy(h) * r2);
    return normalize(abs(det) * n - g);
}

vec3 skyIrradiance(vec3 n) {
    vec3 e = uSH[0] * 0.282095
           + uSH[1] * (0.488603 * n.y) + uSH[2] * (0.488603 * n.z) + uSH[3] * (0.488603 * n.x)
           + uSH[4] * (1.092548 * n.x * n.y) + uSH[5] * (1.092548 * n.y * n.z)
           + uSH[6] * (0.315392 * (3.0 * n.z * n.z - 1.0)) + uSH[7] * (1.092548 * n.x * n.z)
           + uSH[8] * (0.546274 * (n.x * n.x - n.y * n.y));
    return max(e, vec3(0.0));
}

// The sun's cascades lie side by side in one map. Nine filtered taps (each one a bilinear
// blend of four comparisons): a soft edge a few texels wide.
float cascadeShadow(int i, vec3 offsetDir) {
    vec4 s = uShadowMat[i] * vec4(vPos + offsetDir * uShadowOffset[i], 1.0);
    vec3 q = s.xyz / s.w * 0.5 + 0.5;
    // Outside the cascade (the land around the scene): lit. The border keeps the taps in
    // the cascade's own tile.
    float m = 3.0 * uShadowTexel.y;
    if (q.x <= m || q.y <= m || q.x >= 1.0 - m || q.y >= 1.0 - m || q.z >= 1.0) return 1.0;
    q.x = (q.x + float(i)) / float(uCascades);
    float sum = 0.0;
    for (int y = -1; y <= 1; ++y)
        for (int x = -1; x <= 1; ++x)
            sum += shadow2D(uShadowMap, vec3(q.xy + vec2(float(x), float(y)) * uShadowTexel * 1.25, q.z)).r;
    return sum / 9.0;
}

// The cascade whose slice of the view holds the point, blended into the next one over the
// last part of its slice, so no seam shows where the detail changes.
float sunShadow(vec3 offsetDir) {
    float depth = dot(vPos - uEye, uViewDir);
    int i = 0;
    while (i < uCascades - 1 && depth > uCascadeFar[i]) ++i;
    float s = cascadeShadow(i, offsetDir);
    if (i < uCascades - 1) {
        float start = uCascadeFar[i] - uCascadeBlend[i];
        if (depth > start) s = mix(s, cascadeShadow(i + 1, offsetDir), smoothstep(start, uCascadeFar[i], depth));
    }
    return s;
}

// The occlusion was computed with a 4 x 4 pattern of sample rotations; four bilinear taps
// average exactly those 16 pixels.
float ambientOcclusion() {
    vec2 uv = gl_FragCoord.xy * uInvViewport;
    float a = texture2D(uAO, uv + vec2(-1.5, -1.5) * uInvViewport).r + texture2D(uAO, uv + vec2(0.5, -1.5) * uInvViewport).r
            + texture2D(uAO, uv + vec2(-1.5, 0.5) * uInvViewport).r + texture2D(uAO, uv + vec2(0.5, 0.5) * uInvViewport).r;
    return a * 0.25;
}

void main() {
    vec4 t = uHasTex != 0 ? texture2D(uTex, vUv) : vec4(1.0);
    // How far out of the terrain's footprint the point lies, in terrain widths.
    vec2 outside2 = max(abs(vPos.xz - uWorldCentre.xz) - uTerrainHalf, vec2(0.0));
    float outside = length(outside2) / (2.0 * max(max(uTerrainHalf.x, uTerrainHalf.y), 1e-3));
    // The land around the scene repeats the terrain's texture. Past the rim a second copy,
    // turned and scaled, comes in where a broad noise says so, so no two repeats look alike;
    // farther out it turns to the texture's broad colour.
    if (uGround != 0) {
        vec2 uv2 = mat2(0.8, 0.6, -0.6, 0.8) * vUv * 1.37 + vec2(0.31, 0.57);
        float w = smoothstep(0.35, 0.65, broadNoise(vPos.xz / (uTerrainHalf.x + uTerrainHalf.y) * 2.5));
        gUv2 = uv2;
        gMix2 = w * smoothstep(0.0, 0.25, outside);
        gFlat = smoothstep(0.05, 0.7, outside);
        if (uHasTex != 0) {
            t = mix(t, texture2D(uTex, uv2), gMix2);
            t = mix(t, texture2D(uTex, vUv, 9.0), gFlat);
        }
    }
    float a = t.a * uOpacity;
    if (uAlphaMode == 1) {
        // Sharpened over one pixel: crisp edges, and with multisampling the coverage of
        // blades far away fades instead of flickering on and off.
        a = (a - 0.5) / max(fwidth(a), 0.0001) + 0.5;
        if (uCoverage == 0 && a < 0.5) discard;
        a = clamp(a, 0.0, 1.0);
        if (a <= 0.0) discard;
    } else if (uAlphaMode == 2) {
        if (a <= 0.004) discard;
    } else {
        a = 1.0;
    }
    vec3 c = uColor * t.rgb;
    vec3 geo = normalize(vNormal);
    if (!gl_FrontFacing) geo = -geo;
    vec3 n = geo;
    if (uRelief == 1) n = normalMapped(n);
    else if (uRelief == 2) n = bumped(n);
    if (uMode == 0) {
        float d = dot(n, uLightDir);
        // Cut-out cards (blades, leaves, petals, wings) are thin: light passes through them, so
        // a card edge-on to the light or turned away is not lit as a dark solid surface.
        float lit = uAlphaMode == 1 ? 0.6 + 0.4 * abs(d) : 0.35 + 0.65 * max(d, 0.0);
        c *= lit;
        c = mix(c, vec3(1.0, 0.55, 0.1), uHighlight);
        gl_FragColor = vec4(c, a);
        return;
    }
    vec3 albedo = pow(c, vec3(2.2));
    float ndl = dot(n, uLightDir);
    vec3 ambientN = n;
    float sunTerm;
    vec3 offsetDir;
    if (uAlphaMode == 1) {
        // Thin cards: lit through from behind, and lit by the sky above more than by the
        // side they happen to face.
        sunTerm = 0.35 + 0.55 * abs(ndl);
        ambientN = normalize(n + vec3(0.0, 1.2, 0.0));
        offsetDir = uLightDir;
    } else {
        sunTerm = max(ndl, 0.0);
        // Pushed off the surface along its normal, so a lit slope does not shadow itself.
        offsetDir = geo;
    }
    float shadow = (uUseShadow != 0 && sunTerm > 0.0) ? sunShadow(offsetDir) : 1.0;
    float ao = uUseAO != 0 ? ambientOcclusion() : 1.0;
    vec3 light = uSunColor * (sunTerm * shadow) + skyIrradiance(ambientN) * ao;
    vec3 col = albedo * light * 0.3183099;
    // Air between the eye and the surface: the sky's own colour along the view, close to
    // the horizon where the distance lies.
    vec3 toP = vPos - uEye;
    float dist = length(toP);
    vec3 vd = toP / max(dist, 1e-4);
    float fog = 1.0 - exp(-dist * uFogDensity);
    // The land around the scene fades into the haze with its distance from the terrain (in
    // terrain widths, 30 m at the least), lost by three and a half of them, well before its far edge;
    // inside the terrain's footprint only the air counts, so the terrain and the land meet
    // without a step.
    // Towards the horizon many kilometres of air lie along the view: the land seen at a
    // grazing angle is hazed too, from nothing at the rim.
    float away = length(outside2) / uLandScale;
    fog = max(fog, smoothstep(0.1, 3.5, away));
    fog = max(fog, (1.0 - smoothstep(0.0, 0.16, -vd.y)) * smoothstep(0.0, 0.5, away));
    col = mix(col, skyRadiance(normalize(vec3(vd.x, max(vd.y, 0.03), vd.z))), fog);
    col = toSrgb(filmic(col));
    col = mix(col, vec3(1.0, 0.55, 0.1), uHighlight);
    gl_FragColor = vec4(col, a);
}
)";

const char* const kLineVS = R"(
#version 120
attribute vec3 aPos;
uniform mat4 uMvp;
void main() { gl_Position = uMvp * vec4(aPos, 1.0); }
)";

const char* const kLineFS = R"(
#version 120
uniform vec4 uColor;
void main() { gl_FragColor = uColor; }
)";

const char* const kDepthVS = R"(
#version 120
attribute vec3 aPos;
attribute vec2 aUv;
uniform mat4 uMvp;
varying vec2 vUv;
void main() {
    vUv = aUv;
    gl_Position = uMvp * vec4(aPos, 1.0);
}
)";

// A cut-out's clear parts let the light through: its shadow has the blade's or leaf's shape.
const char* const kDepthFS = R"(
#version 120
uniform int uAlphaTest;
uniform sampler2D uTex;
uniform float uOpacity;
varying vec2 vUv;
void main() {
    if (uAlphaTest != 0 && texture2D(uTex, vUv).a * uOpacity < 0.5) discard;
    gl_FragColor = vec4(1.0);
}
)";

const char* const kScreenVS = R"(
#version 120
attribute vec2 aPos;
varying vec2 vNdc;
void main() {
    vNdc = aPos;
    gl_Position = vec4(aPos, 1.0, 1.0);
}
)";

const char* const kSkyFS = "#version 120\n" VIEW_COMMON R"(
uniform mat4 uInvViewProj;
uniform vec3 uEye;
uniform vec3 uSunDir;
uniform vec3 uSunDisc;
uniform float uSunCos;
varying vec2 vNdc;
void main() {
    vec4 far = uInvViewProj * vec4(vNdc, 1.0, 1.0);
    vec3 d = normalize(far.xyz / far.w - uEye);
    vec3 c = skyRadiance(d);
    float cs = dot(d, uSunDir);
    // The disc with a soft rim, and a glow around it that the sky model leaves out.
    float disc = smoothstep(uSunCos - 0.00002, uSunCos + 0.00002, cs);
    c += uSunDisc * disc * step(0.0, d.y);
    c += uSunDisc * 0.0025 * pow(max(cs, 0.0), 400.0);
    gl_FragColor = vec4(toSrgb(filmic(c)), 1.0);
}
)";

// Screen-space ambient occlusion from the depth alone: a hemisphere of samples around each
// point's normal (rebuilt from neighbouring depths), rotated in a 4 x 4 pattern that the
// mesh shader averages away.
const char* const kOcclusionFS = R"(
#version 120
uniform sampler2D uDepth;
uniform mat4 uProj;
uniform mat4 uInvProj;
uniform vec2 uInvSize;
uniform float uRadius;
varying vec2 vNdc;
vec3 viewPos(vec2 uv) {
    float d = texture2D(uDepth, uv).r;
    vec4 p = uInvProj * vec4(uv * 2.0 - 1.0, d * 2.0 - 1.0, 1.0);
    return p.xyz / p.w;
}
void main() {
    vec2 uv = gl_FragCoord.xy * uInvSize;
    float d = texture2D(uDepth, uv).r;
    if (d >= 1.0) { gl_FragColor = vec4(1.0); return; }
    vec3 P = viewPos(uv);
    vec3 pr = viewPos(uv + vec2(uInvSize.x, 0.0)), pl = viewPos(uv - vec2(uInvSize.x, 0.0));
    vec3 pu = viewPos(uv + vec2(0.0, uInvSize.y)), pd = viewPos(uv - vec2(0.0, uInvSize.y));
    vec3 dx = abs(pr.z - P.z) < abs(P.z - pl.z) ? pr - P : P - pl;
    vec3 dy = abs(pu.z - P.z) < abs(P.z - pd.z) ? pu - P : P - pd;
    vec3 N = normalize(cross(dx, dy));
    if (dot(N, P) > 0.0) N = -N;
    vec2 cell = mod(floor(gl_FragCoord.xy), 4.0);
    float angle = (cell.x * 4.0 + cell.y) * 0.3926991 + cell.x * 1.7;
    vec3 ref = abs(N.y) < 0.9 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0);
    vec3 T0 = normalize(cross(N, ref));
    vec3 T = T0 * cos(angle) + cross(N, T0) * sin(angle);
    vec3 B = cross(N, T);
    float occ = 0.0;
    const int COUNT = 12;
    for (int i = 0; i < COUNT; ++i) {
        float f = (float(i) + 0.5) / float(COUNT);
        float phi = float(i) * 2.3999632;
        float z = sqrt(1.0 - f) * 0.9 + 0.1;
        float r = sqrt(max(0.0, 1.0 - z * z));
        vec3 k = vec3(cos(phi) * r, sin(phi) * r, z) * mix(0.15, 1.0, f * f);
        vec3 S = P + (T * k.x + B * k.y + N * k.z) * uRadius;
        vec4 c = uProj * vec4(S, 1.0);
        vec2 suv = c.xy / c.w * 0.5 + 0.5;
        float sz = viewPos(suv).z;
        float range = smoothstep(0.0, 1.0, uRadius / max(abs(P.z - sz), 1e-4));
        occ += (sz >= S.z + uRadius * 0.02 ? 1.0 : 0.0) * range;
    }
    float ao = clamp(1.0 - occ / float(COUNT), 0.0, 1.0);
    gl_FragColor = vec4(ao, ao, ao, 1.0);
}
)";

}  // namespace viewshaders
