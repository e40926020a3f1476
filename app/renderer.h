#pragma once
// Draws the host scene with OpenGL: the sky (or the ground grid in flat shading), every
// visible mesh node in world space with its materials, lit by the sun and the sky with
// shadows and ambient occlusion as the shading mode asks (viewsettings.h), and the selected
// node highlighted. Works in any current
// context (the viewport widget or an offscreen surface for screenshots).
#include <QHash>
#include <QMatrix4x4>
#include <QOpenGLFunctions>
#include <QPointer>
#include <memory>
#include <map>
#include <unordered_map>
#include <vector>
#include "meshbuffers.h"
#include "shadowmap.h"
#include "skylight.h"
#include "scenemeshes.h"
#include "surfacemaps.h"
#include "worldground.h"

class QOpenGLShaderProgram;
class QOpenGLTexture;
class DzTexture;
class DzDefaultMaterial;

class SceneRenderer : protected QOpenGLFunctions
{
public:
    SceneRenderer();
    ~SceneRenderer();

    // Call with the context current; false with error set when the shaders do not build.
    bool initialize(QString* error = nullptr);
    // Call with the context current before the context goes away.
    void release();

    // Re-uploads the meshes whose revision changed since their last upload and forgets
    // meshes that left the scene. Returns true when anything changed.
    bool sync();
    void render(const QMatrix4x4& view, const QMatrix4x4& proj, int width, int height, DzNode* selected);

    // Number of mesh uploads so far; lets callers see that unchanged meshes stay put.
    int uploadCount() const { return m_uploads; }
    qint64 uploadedVertices() const { return m_uploadedVertices; }

private:
    struct GpuMesh
    {
        QPointer<DzFacetMesh> mesh;
        quint64 revision = 0;
        GLuint vbo = 0, ibo = 0;
        std::vector<MaterialRange> ranges;
        Bounds localBounds;
    };
    // One GL texture per pair of images: a diffuse map with its opacity companion as alpha,
    // or a relief map alone (second image null).
    struct GpuTexture
    {
        QPointer<DzTexture> colour, opacity;
        QOpenGLTexture* texture = nullptr;
        AlphaMode alpha = AlphaMode::Opaque;
    };
    using TextureKey = std::pair<const DzTexture*, const DzTexture*>;

    void upload(GpuMesh& g, const DzFacetMesh& mesh);
    void upload(GpuMesh& g, const MeshBuffers& b);
    void freeMesh(GpuMesh& g);
    void drawRange(const MaterialRange& r, DzDefaultMaterial* dm, const GpuTexture* tex, bool coverage);
    const GpuTexture* surface(DzTexture* colour, DzTexture* opacity);
    QOpenGLTexture* relief(DzTexture* t);
    // One image gets its mipmaps made by the driver; a chain is uploaded as it is.
    QOpenGLTexture* upload(const std::vector<QImage>& levels);
    void drawGrid(const QMatrix4x4& viewProj, const Bounds& sceneBox);
    // The world box of what is drawn, from the boxes kept at upload.
    Bounds drawnBounds(const QList<MeshNode>& nodes) const;
    void drawBox(const QMatrix4x4& viewProj, const Bounds& b);
    // Depth of the opaque and cut-out surfaces (cut-outs through their opacity) into the
    // bound target: the sun's shadow map and the occlusion pass use it.
    // With cull set, nodes whose box lies outside the clip box are left out.
    void drawDepth(const QMatrix4x4& viewProj, const QList<MeshNode>& nodes, bool cull = false);
    void bindMesh(const GpuMesh& g, bool normals);
    void unbindMesh();
    // Decodes and combines, in parallel, the maps of the scene's materials not drawn yet.
    void prepareSurfaces();
    // Rebuilds the land around the scene when its terrain (the widest mesh) changed or moved.
    void syncGround(const QList<MeshNode>& nodes, float sceneRadius);
    void drawGround();

    static constexpr int kShadowMapSize = 2048;
    // As many as the mesh shader's arrays hold.
    static constexpr int kShadowCascades = 3;
    std::unique_ptr<QOpenGLShaderProgram> m_meshProgram, m_lineProgram, m_depthProgram;
    SkyLight m_sky;
    ShadowMap m_shadow;
    std::unordered_map<const DzFacetMesh*, GpuMesh> m_meshes;
    std::map<TextureKey, GpuTexture> m_textures;
    GLuint m_lineVbo = 0;
    // The land around the scene, in world space; rebuilt when the terrain under it changes.
    struct Ground
    {
        const DzFacetMesh* mesh = nullptr;
        MeshNode node;
        quint64 revision = 0;
        QMatrix4x4 transform;
        float radius = 0.f;
        GpuMesh gpu;
        WorldGroundShape shape;
        bool valid = false;
    } m_ground;
    MeshBuffers m_scratch;
    bool m_ready = false;
    int m_uploads = 0;
    qint64 m_uploadedVertices = 0;
};

// Renders the current scene offscreen from screenshotCamera with the current look; a null
// image with error set when no OpenGL context can be made.
QImage renderSceneImage(const QSize& size, QString* error);
// The camera those images look from: the host camera where it has been placed (by the
// command line's view options, a loaded scene, the walk-through), else the perspective view
// framing the scene.
class OrbitCamera screenshotCamera(const QSize& size);
