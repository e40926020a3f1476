#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <cstdio>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dzprogress.h>
#include <dzsafefile.h>
#include <dznode.h>
#include <dzshape.h>
#include "sceneexport.h"
#include "scenemeshes.h"

namespace {

QString mtlName(const QString& s)
{
    // MTL names end at white space in most readers.
    QString out = s.trimmed();
    for (QChar& c : out)
        if (c.isSpace()) c = '_';
    return out.isEmpty() ? QStringLiteral("material") : out;
}

QByteArray fmt(const char* f, double a, double b)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, f, a, b);
    return buf;
}

QByteArray fmt3(const char* f, double a, double b, double c)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, f, a, b, c);
    return buf;
}

QString oneLine(QString s)
{
    s.replace('\n', ' ').replace('\r', ' ');
    return s;
}

// Copies each texture once into a folder beside the OBJ, so the export can be moved or
// sent as a whole, and names it relative to the MTL file.
class ImageCopies
{
public:
    explicit ImageCopies(const QFileInfo& obj)
        : m_dir(obj.path()), m_folder(noSpaces(obj.completeBaseName() + "_textures"))
    {
    }

    bool place(DzTexture* t, QString* ref, QString* error)
    {
        auto it = m_done.find(t);
        if (it != m_done.end()) {
            *ref = it.value();
            return true;
        }
        const QFileInfo src(t->getFilename());
        // MTL readers split a map line at white space (or take its whole rest, options and
        // all), and an escape such as %20 names no file: the copies carry no spaces.
        QString name = noSpaces(src.fileName());
        for (int k = 2; m_names.contains(name); ++k)
            name = noSpaces(src.completeBaseName() + "_" + QString::number(k) + "." + src.suffix());
        m_names.insert(name);
        const QString folder = m_dir.filePath(m_folder);
        const QString target = folder + "/" + name;
        if (!QDir().mkpath(folder)) {
            if (error) *error = QString("Cannot write %1: cannot create the folder").arg(folder);
            return false;
        }
        QFile::remove(target);
        if (!QFile::copy(src.absoluteFilePath(), target)) {
            if (error) *error = QString("Cannot write %1: cannot copy %2").arg(target, src.absoluteFilePath());
            return false;
        }
        *ref = m_folder + "/" + name;
        m_done.insert(t, *ref);
        return true;
    }

private:
    static QString noSpaces(QString s) { return s.replace(QRegExp("\\s"), "_"); }

    QDir m_dir;
    QString m_folder;
    QHash<DzTexture*, QString> m_done;
    QSet<QString> m_names;
};

}  // namespace

bool exportObj(const QString& file, QString* error)
{
    const QFileInfo info(file);
    const QString mtlFile = info.path() + "/" + info.completeBaseName() + ".mtl";
    DzSafeFile objFile(file), mtlOut(mtlFile);
    if (!objFile.open()) {
        if (error) *error = objFile.errorString();
        return false;
    }
    if (!mtlOut.open()) {
        if (error) *error = mtlOut.errorString();
        return false;
    }
    QIODevice& obj = *objFile.device();
    QIODevice& mtl = *mtlOut.device();
    obj.write("# verdix-host\n");
    obj.write("mtllib " + QFileInfo(mtlFile).fileName().toUtf8() + "\n");
    mtl.write("# verdix-host\n");

    ImageCopies images(info);
    QHash<QString, int> usedNames;
    qint64 vBase = 1, vtBase = 1;
    const QList<MeshNode> meshNodes = sceneMeshNodes(true);
    // Progress counts points and faces, and is asked once per few thousand of them.
    long long total = 0, done = 0;
    for (const MeshNode& mn : meshNodes)
        total += (long long)mn.mesh->getNumVertices() + (mn.mesh->getUVs() ? mn.mesh->getUVs()->getNumValues() : 0) +
                 mn.mesh->getNumFacets();
    DzProgress progress(QString("Exporting %1").arg(info.fileName()), total);
    constexpr int kPerStep = 4096;
    // Nothing is replaced unless the export completes: the temporary files are dropped.
    auto cancelled = [&]() {
        if (error) *error = QString("Export of %1 cancelled; the file was not changed").arg(file);
        return false;
    };
    for (const MeshNode& mn : meshNodes) {
        const DzFacetMesh* mesh = mn.mesh;
        const DzTransform ws = mn.node->getWSTransform();
        obj.write("o " + oneLine(mn.node->getLabel()).toUtf8() + "\n");
        const int nv = mesh->getNumVertices();
        const DzVec3* v = mesh->getVerticesPtr();
        for (int i = 0; i < nv; ++i) {
            const DzVec3 w = ws.apply(v[i]);
            obj.write(fmt3("v %.9g %.9g %.9g\n", w.m_x, w.m_y, w.m_z));
            if ((i + 1) % kPerStep == 0 && !progress.step(done + i)) return cancelled();
        }
        done += nv;
        const DzMap* uv = mesh->getUVs();
        const int nuv = uv ? uv->getNumValues() : 0;
        for (int i = 0; i < nuv; ++i) {
            const DzPnt2 p = uv->getPnt2Value(i);
            obj.write(fmt("vt %.9g %.9g\n", p.u, p.v));
            if ((i + 1) % kPerStep == 0 && !progress.step(done + i)) return cancelled();
        }
        done += nuv;

        // One MTL entry per material of this node's shape, named after node and material.
        QHash<int, QString> names;
        const int nmat = mn.shape->getNumMaterials();
        for (int m = 0; m < nmat; ++m) {
            DzMaterial* mat = mn.shape->getMaterial(m);
            const QString base =
                mtlName(mn.node->getLabel() + "_" + (mat->getLabel().isEmpty() ? mat->getName() : mat->getLabel()));
            QString name = base;
            for (int k = 2; usedNames.contains(name); ++k) name = base + "_" + QString::number(k);
            usedNames.insert(name, 1);
            names.insert(m, name);
            mtl.write("\nnewmtl " + name.toUtf8() + "\n");
            auto* dm = qobject_cast<DzDefaultMaterial*>(mat);
            const QColor c = dm ? dm->getDiffuseColor() : QColor(Qt::white);
            mtl.write(fmt3("Kd %.6g %.6g %.6g\n", c.redF(), c.greenF(), c.blueF()));
            if (dm) {
                mtl.write("d " + QByteArray::number(dm->getBaseOpacity(), 'g', 6) + "\n");
                auto map = [&](const char* key, DzTexture* t, const QByteArray& options = QByteArray()) {
                    if (!t) return true;
                    QString ref;
                    if (!images.place(t, &ref, error)) return false;
                    mtl.write(QByteArray(key) + " " + options + ref.toUtf8() + "\n");
                    return true;
                };
                const QByteArray bm = "-bm " + QByteArray::number(dm->getBumpStrength(), 'g', 6) + " ";
                if (!map("map_Kd", dm->getColorMap()) || !map("map_d", dm->getOpacityMap()) ||
                    !map("norm", dm->getNormalMap()) ||
                    !map("bump", dm->getBumpStrength() > 0 ? dm->getBumpMap() : nullptr, bm))
                    return false;
            }
        }

        int current = -1;
        const DzFacet* f = mesh->getFacetsPtr();
        for (int i = 0, n = mesh->getNumFacets(); i < n; ++i) {
            const int corners = f[i].isQuad() ? 4 : 3;
            bool ok = true;
            for (int k = 0; k < corners; ++k) ok = ok && f[i].m_vertIdx[k] >= 0 && f[i].m_vertIdx[k] < nv;
            if (!ok) continue;
            int matIdx = f[i].m_materialIdx;
            if (matIdx < 0 || matIdx >= nmat) matIdx = 0;
            if (nmat > 0 && matIdx != current) {
                current = matIdx;
                obj.write("usemtl " + names.value(matIdx).toUtf8() + "\n");
            }
            // A face gives UVs for all its corners or for none.
            bool withUv = true;
            for (int k = 0; k < corners; ++k) withUv = withUv && f[i].m_uvwIdx[k] >= 0 && f[i].m_uvwIdx[k] < nuv;
            QByteArray line("f");
            for (int k = 0; k < corners; ++k) {
                line += ' ';
                line += QByteArray::number(vBase + f[i].m_vertIdx[k]);
                const int t = f[i].m_uvwIdx[k];
                if (withUv) {
                    line += '/';
                    line += QByteArray::number(vtBase + t);
                }
            }
            line += '\n';
            obj.write(line);
            if ((i + 1) % kPerStep == 0 && !progress.step(done + i)) return cancelled();
        }
        done += mesh->getNumFacets();
        if (!progress.step(done)) return cancelled();
        vBase += nv;
        vtBase += nuv;
    }
    if (!progress.step(total)) return cancelled();
    // The materials first: an OBJ is never newer than the MTL it names.
    if (!mtlOut.commit()) {
        if (error) *error = mtlOut.errorString();
        return false;
    }
    if (!objFile.commit()) {
        if (error) *error = objFile.errorString();
        return false;
    }
    return true;
}
