#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <assimp/Exporter.hpp>
#include <assimp/GltfMaterial.h>
#include <assimp/material.h>
#include <assimp/scene.h>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dzprogress.h>
#include <dzsafefile.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>
#include "gltfmaterials.h"
#include "meshbuffers.h"
#include "sceneexport.h"
#include "scenemeshes.h"

namespace {

aiString aiStr(const QString& s) { return aiString(s.toUtf8().constData()); }

aiMatrix4x4 toAi(const DzTransform& t)
{
    const QMatrix4x4 m = toMatrix(t);
    return aiMatrix4x4(m(0, 0), m(0, 1), m(0, 2), m(0, 3), m(1, 0), m(1, 1), m(1, 2), m(1, 3), m(2, 0), m(2, 1),
                       m(2, 2), m(2, 3), m(3, 0), m(3, 1), m(3, 2), m(3, 3));
}

// Collects the scene under construction; the vectors become the aiScene's arrays at the end.
struct Builder
{
    std::vector<aiMesh*> meshes;
    std::vector<aiMaterial*> materials;
    std::vector<aiTexture*> textures;
    QHash<DzNode*, bool> included;
    QString error;

    ~Builder()
    {
        for (aiMesh* m : meshes) delete m;
        for (aiMaterial* m : materials) delete m;
        for (aiTexture* t : textures) delete t;
    }

    // Materials and images as the animated export writes them too.
    GltfMaterialWriter looks;

    int texture(int image)
    {
        return looks.texture(image, [this](const GltfImage& img) {
            auto* t = new aiTexture;
            t->mWidth = unsigned(img.png.size());
            t->mHeight = 0;
            std::strcpy(t->achFormatHint, "png");
            t->pcData = new aiTexel[(size_t(img.png.size()) + sizeof(aiTexel) - 1) / sizeof(aiTexel)];
            std::memcpy(t->pcData, img.png.constData(), size_t(img.png.size()));
            t->mFilename = aiStr(img.name);
            textures.push_back(t);
            return int(textures.size()) - 1;
        });
    }

    unsigned material(DzNode* node, DzMaterial* mat)
    {
        const GltfMaterial d = looks.describe(node, mat);
        auto* out = new aiMaterial;
        aiString name = aiStr(d.name);
        out->AddProperty(&name, AI_MATKEY_NAME);
        aiColor4D base(d.baseColor[0], d.baseColor[1], d.baseColor[2], d.baseColor[3]);
        aiColor3D diffuse(base.r, base.g, base.b);
        out->AddProperty(&base, 1, AI_MATKEY_BASE_COLOR);
        out->AddProperty(&diffuse, 1, AI_MATKEY_COLOR_DIFFUSE);
        out->AddProperty(&d.metallic, 1, AI_MATKEY_METALLIC_FACTOR);
        const int twoSided = d.doubleSided ? 1 : 0;
        out->AddProperty(&twoSided, 1, AI_MATKEY_TWOSIDED);
        const int t = texture(d.baseColorImage);
        if (t >= 0) {
            aiString path(QString("*%1").arg(t).toUtf8().constData());
            out->AddProperty(&path, AI_MATKEY_TEXTURE(aiTextureType_DIFFUSE, 0));
            out->AddProperty(&path, AI_MATKEY_TEXTURE(aiTextureType_BASE_COLOR, 0));
        }
        // The alpha mode is set here, never left to the writer's own reading of an opacity.
        if (d.alpha != GltfMaterial::Alpha::Opaque) {
            aiString alphaMode(d.alpha == GltfMaterial::Alpha::Mask ? "MASK" : "BLEND");
            out->AddProperty(&alphaMode, AI_MATKEY_GLTF_ALPHAMODE);
            if (d.alpha == GltfMaterial::Alpha::Mask) out->AddProperty(&d.alphaCutoff, 1, AI_MATKEY_GLTF_ALPHACUTOFF);
        }
        const int n = texture(d.normalImage);
        if (n >= 0) {
            aiString path(QString("*%1").arg(n).toUtf8().constData());
            out->AddProperty(&path, AI_MATKEY_TEXTURE(aiTextureType_NORMALS, 0));
        }
        materials.push_back(out);
        return unsigned(materials.size() - 1);
    }

    // One aiMesh per material the node's facets use, in the node's own space.
    std::vector<unsigned> nodeMeshes(const MeshNode& mn)
    {
        std::vector<unsigned> out;
        const DzFacetMesh& mesh = *mn.mesh;
        MeshBuffers smooth;
        buildMeshBuffers(mesh, smooth);
        const DzMap* uvMap = mesh.getUVs();
        const int nuv = uvMap ? uvMap->getNumValues() : 0;
        const DzFacet* f = mesh.getFacetsPtr();

        const QMap<int, std::vector<int>> byMaterial = facetsByMaterial(mn);
        for (auto it = byMaterial.begin(); it != byMaterial.end(); ++it) {
            std::unordered_map<uint64_t, unsigned> corner;
            std::vector<aiVector3D> pos, nrm, uv;
            std::vector<unsigned> tri;
            auto index = [&](int vi, int ui) {
                if (ui < 0 || ui >= nuv) ui = -1;
                const uint64_t key = (uint64_t(uint32_t(vi)) << 32) | uint32_t(ui);
                auto c = corner.find(key);
                if (c != corner.end()) return c->second;
                const GpuVertex& g = smooth.vertices[size_t(vi)];
                pos.emplace_back(g.px, g.py, g.pz);
                // A facet too large or too small for float arithmetic has no normal; any
                // unit vector serves it better than a NaN a viewer cannot draw.
                if (std::isfinite(g.nx) && std::isfinite(g.ny) && std::isfinite(g.nz))
                    nrm.emplace_back(g.nx, g.ny, g.nz);
                else nrm.emplace_back(0.f, 1.f, 0.f);
                const DzPnt2 p = ui >= 0 ? uvMap->getPnt2Value(ui) : DzPnt2();
                uv.emplace_back(p.u, p.v, 0.f);
                const unsigned idx = unsigned(pos.size() - 1);
                corner.emplace(key, idx);
                return idx;
            };
            for (int fi : it.value()) {
                const DzFacet& fa = f[fi];
                unsigned c[4];
                const int corners = fa.isQuad() ? 4 : 3;
                for (int k = 0; k < corners; ++k) c[k] = index(fa.m_vertIdx[k], fa.m_uvwIdx[k]);
                tri.insert(tri.end(), {c[0], c[1], c[2]});
                if (corners == 4) tri.insert(tri.end(), {c[0], c[2], c[3]});
            }
            auto* am = new aiMesh;
            am->mName = aiStr(mn.node->getLabel());
            am->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
            am->mNumVertices = unsigned(pos.size());
            am->mVertices = new aiVector3D[pos.size()];
            am->mNormals = new aiVector3D[pos.size()];
            std::copy(pos.begin(), pos.end(), am->mVertices);
            std::copy(nrm.begin(), nrm.end(), am->mNormals);
            if (nuv > 0) {
                am->mTextureCoords[0] = new aiVector3D[pos.size()];
                am->mNumUVComponents[0] = 2;
                std::copy(uv.begin(), uv.end(), am->mTextureCoords[0]);
            }
            am->mNumFaces = unsigned(tri.size() / 3);
            am->mFaces = new aiFace[am->mNumFaces];
            for (unsigned i = 0; i < am->mNumFaces; ++i) {
                am->mFaces[i].mNumIndices = 3;
                am->mFaces[i].mIndices = new unsigned[3]{tri[3 * i], tri[3 * i + 1], tri[3 * i + 2]};
            }
            am->mMaterialIndex = material(mn.node, facetMaterial(mn, it.key()));
            meshes.push_back(am);
            out.push_back(unsigned(meshes.size() - 1));
        }
        return out;
    }

    // The writer cannot put a number that is not finite into its JSON, and says only that it
    // failed: such a node is found here and named.
    void checkFinite(DzNode* n, const aiMatrix4x4& m)
    {
        if (!error.isEmpty()) return;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                if (!std::isfinite(m[r][c])) {
                    error = QString("the transform of node \"%1\" is not a finite number").arg(n->getLabel());
                    return;
                }
        const MeshNode mn = meshNodeOf(n);
        if (!n->isVisible() || !mn.mesh) return;
        const DzVec3* v = mn.mesh->getVerticesPtr();
        for (int i = 0; i < mn.mesh->getNumVertices(); ++i)
            if (!std::isfinite(v[i].m_x) || !std::isfinite(v[i].m_y) || !std::isfinite(v[i].m_z)) {
                error = QString("vertex %1 of node \"%2\" is not a finite number").arg(i).arg(n->getLabel());
                return;
            }
    }

    aiNode* node(DzNode* n, const DzTransform& local)
    {
        auto* out = new aiNode(n->getLabel().toStdString());
        out->mTransformation = toAi(local);
        checkFinite(n, out->mTransformation);
        const MeshNode mn = meshNodeOf(n);
        if (n->isVisible() && mn.mesh && mn.mesh->getNumFacets() > 0) {
            const std::vector<unsigned> ids = nodeMeshes(mn);
            if (!ids.empty()) {
                out->mNumMeshes = unsigned(ids.size());
                out->mMeshes = new unsigned[ids.size()];
                std::copy(ids.begin(), ids.end(), out->mMeshes);
            }
        }
        return out;
    }

    // The exporter and aiNode's destructor recurse over the node tree, so nesting deeper than
    // this is flattened: such a node hangs under its ancestor at the limit with its transform
    // relative to that ancestor, and every node keeps its place in the world.
    static constexpr int kMaxDepth = 1000;

    // The tree under root, walked with a stack of its own: a scene may be one long chain.
    aiNode* tree(DzNode* root)
    {
        struct Item
        {
            DzNode* node;
            aiNode* parent;     // where the node's aiNode goes; null for the root
            int depth;          // of the aiNode
            DzTransform local;  // relative to parent's node
        };
        std::unordered_map<aiNode*, std::vector<aiNode*>> kids;
        aiNode* top = nullptr;
        std::vector<Item> stack{{root, nullptr, 0, root->getLocalTransform()}};
        while (!stack.empty()) {
            const Item it = stack.back();
            stack.pop_back();
            aiNode* out = node(it.node, it.local);
            if (it.parent) kids[it.parent].push_back(out);
            else top = out;
            const bool flatten = it.depth >= kMaxDepth;
            // Children in reverse, so that they come off the stack in their order.
            for (int i = it.node->getNumNodeChildren() - 1; i >= 0; --i) {
                DzNode* c = it.node->getNodeChild(i);
                if (!included.contains(c)) continue;
                if (flatten) stack.push_back({c, it.parent, it.depth, it.local * c->getLocalTransform()});
                else stack.push_back({c, out, it.depth + 1, c->getLocalTransform()});
            }
        }
        for (auto& k : kids) k.first->addChildren(unsigned(k.second.size()), k.second.data());
        return top;
    }
};

template <class T>
T** release(std::vector<T*>& v, unsigned& count)
{
    count = unsigned(v.size());
    if (v.empty()) return nullptr;
    T** arr = new T*[v.size()];
    std::copy(v.begin(), v.end(), arr);
    v.clear();
    return arr;
}

// Names of every extension that an "extensions" object below v holds.
void usedExtensions(const QJsonValue& v, QSet<QString>& out)
{
    if (v.isArray()) {
        for (const QJsonValue& e : v.toArray()) usedExtensions(e, out);
    } else if (v.isObject()) {
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (it.key() == "extensions" && it.value().isObject())
                for (const QString& name : it.value().toObject().keys()) out.insert(name);
            if (it.key() != "extensionsUsed" && it.key() != "extensionsRequired") usedExtensions(it.value(), out);
        }
    }
}

QJsonObject withoutExtensions(QJsonObject o, const QStringList& names)
{
    QJsonObject ext = o.value("extensions").toObject();
    for (const QString& n : names) ext.remove(n);
    if (ext.isEmpty()) o.remove("extensions");
    else o.insert("extensions", ext);
    return o;
}

// The writer adds a volume extension to every material and a polygon encoding to every
// primitive, neither of which this scene uses; the file then declares only what is left.
void tidy(QJsonObject& doc)
{
    QJsonArray materials = doc.value("materials").toArray();
    for (int i = 0; i < materials.size(); ++i)
        materials[i] = withoutExtensions(materials[i].toObject(), {"KHR_materials_volume"});
    if (!materials.isEmpty()) doc.insert("materials", materials);
    QJsonArray meshes = doc.value("meshes").toArray();
    for (int i = 0; i < meshes.size(); ++i) {
        QJsonObject mesh = meshes[i].toObject();
        QJsonArray prims = mesh.value("primitives").toArray();
        for (int k = 0; k < prims.size(); ++k) prims[k] = withoutExtensions(prims[k].toObject(), {"FB_ngon_encoding"});
        mesh.insert("primitives", prims);
        meshes[i] = mesh;
    }
    if (!meshes.isEmpty()) doc.insert("meshes", meshes);
    QSet<QString> used;
    usedExtensions(doc, used);
    for (const char* key : {"extensionsUsed", "extensionsRequired"}) {
        QJsonArray kept;
        for (const QJsonValue& v : doc.value(key).toArray())
            if (used.contains(v.toString())) kept.append(v);
        if (kept.isEmpty()) doc.remove(key);
        else doc.insert(key, kept);
    }
}

// Rewrites the JSON of a written .gltf or .glb through tidy.
bool tidyFile(const QString& file, bool binary, QString* error)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        if (error) *error = QString("Cannot read back %1: %2").arg(file, in.errorString());
        return false;
    }
    QByteArray bytes = in.readAll();
    in.close();
    QByteArray json = bytes, rest;
    if (binary) {
        // Header (magic, version, length), then the JSON chunk (length, type, data), then the rest.
        if (bytes.size() < 20) return true;
        const quint32 jsonLength = qFromLittleEndian<quint32>(bytes.constData() + 12);
        if (20 + qint64(jsonLength) > bytes.size()) return true;
        json = bytes.mid(20, int(jsonLength));
        rest = bytes.mid(20 + int(jsonLength));
    }
    QJsonParseError perr;
    QJsonDocument doc = QJsonDocument::fromJson(json, &perr);
    if (!doc.isObject()) {
        if (error) *error = QString("Cannot read back %1: %2").arg(file, perr.errorString());
        return false;
    }
    QJsonObject root = doc.object();
    tidy(root);
    QByteArray out = QJsonDocument(root).toJson(binary ? QJsonDocument::Compact : QJsonDocument::Indented);
    if (binary) {
        while (out.size() % 4) out.append(' ');
        QByteArray glb(20, '\0');
        qToLittleEndian<quint32>(0x46546C67u, glb.data());
        qToLittleEndian<quint32>(2u, glb.data() + 4);
        qToLittleEndian<quint32>(quint32(20 + out.size() + rest.size()), glb.data() + 8);
        qToLittleEndian<quint32>(quint32(out.size()), glb.data() + 12);
        qToLittleEndian<quint32>(0x4E4F534Au, glb.data() + 16);
        out = glb + out + rest;
    }
    return DzSafeFile::writeAll(file, out, error);
}

}  // namespace

bool exportGltf(const QString& file, bool binary, QString* error)
{
    Builder b;
    std::unique_ptr<aiScene> scene(new aiScene);
    scene->mRootNode = new aiNode("Scene");
    const QList<DzNode*> nodes = dzScene ? dzScene->nodeList() : QList<DzNode*>();
    for (DzNode* n : nodes) b.included.insert(n, true);
    std::vector<aiNode*> roots;
    // The library writes in one go, without a way to stop it: progress and the cancel
    // request are looked at between the nodes and once more before the file is put in place.
    DzProgress progress(QString("Exporting %1").arg(QFileInfo(file).fileName()), nodes.size() + 1);
    auto cancelled = [&]() {
        for (aiNode* r : roots) delete r;
        if (error) *error = QString("Export of %1 cancelled; the file was not changed").arg(file);
        return false;
    };
    for (DzNode* n : nodes) {
        if (!n->getNodeParent() || !b.included.contains(n->getNodeParent())) roots.push_back(b.tree(n));
        if (!progress.advance()) return cancelled();
    }
    if (!roots.empty()) scene->mRootNode->addChildren(unsigned(roots.size()), roots.data());
    if (!b.error.isEmpty()) {
        if (error) *error = QString("Cannot write %1: %2").arg(file, b.error);
        return false;
    }
    if (b.materials.empty()) {
        // glTF writers expect at least one material.
        auto* m = new aiMaterial;
        aiString name("default");
        m->AddProperty(&name, AI_MATKEY_NAME);
        b.materials.push_back(m);
    }
    scene->mMeshes = release(b.meshes, scene->mNumMeshes);
    scene->mMaterials = release(b.materials, scene->mNumMaterials);
    scene->mTextures = release(b.textures, scene->mNumTextures);

    // The exporter writes by path, and a .gltf brings its .bin: both go to a folder beside
    // the target and are moved into place once complete.
    DzSafeFileSet out(file);
    if (!out.open()) {
        if (error) *error = out.errorString();
        return false;
    }
    Assimp::Exporter exporter;
    const aiReturn rc =
        exporter.Export(scene.get(), binary ? "glb2" : "gltf2", QFile::encodeName(out.mainTempPath()).toStdString());
    if (rc != aiReturn_SUCCESS) {
        const QString said = QString::fromUtf8(exporter.GetErrorString()).trimmed();
        if (error)
            *error = QString("%1 could not be written: the glTF writer failed%2")
                         .arg(file, said.isEmpty() ? QString(" without saying why") : ": " + said);
        return false;
    }
    if (!tidyFile(out.mainTempPath(), binary, error)) return false;
    if (!progress.advance()) {
        if (error) *error = QString("Export of %1 cancelled; the file was not changed").arg(file);
        return false;
    }
    if (!out.commit()) {
        if (error) *error = out.errorString();
        return false;
    }
    return true;
}

bool isExportFormat(const QString& file)
{
    const QString ext = QFileInfo(file).suffix().toLower();
    return ext == "obj" || ext == "gltf" || ext == "glb";
}

bool exportScene(const QString& file, QString* error)
{
    const QString ext = QFileInfo(file).suffix().toLower();
    if (ext == "obj") return exportObj(file, error);
    if (ext == "gltf") return exportGltf(file, false, error);
    if (ext == "glb") return exportGltf(file, true, error);
    if (error) *error = QString("Unknown export format: %1 (use .obj, .gltf or .glb)").arg(file);
    return false;
}
