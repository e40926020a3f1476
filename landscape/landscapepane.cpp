// The landscape box's slots: creation, the grid topology, the height update with its map
// slots, map loading from the combos and saving the terrain's heights. The terrain itself
// is computed by terraincore.cpp; this file gathers its inputs and writes the result.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <dzapp.h>
#include <dzdialogs.h>
#include <dzgeometry.h>
#include <dzintslider.h>
#include <dznode.h>
#include <dzprogress.h>
#include <dzscene.h>
#include <dzshape.h>
#include <algorithm>
#include <cmath>
#include <new>
#include <unistd.h>
#include <QFile>
#include "landscape/heightmaps.h"
#include "pane/nodemesh.h"
#include "terrain/terraincore.h"
#include "pane/slidersets.h"
#include "pane/verdixpane.h"
#include "plugin/assetfolders.h"

namespace {

// The weight slider of each map slot, in slot order.
const char* const kWeightSliders[kTerrainSlots] = {"Land", "River", "Hill", "Flat", "Path", "User"};

int sliderValue(const ControlBox& box, const char* name, int fallback)
{
    const DzIntSlider* s = box.slider(QString::fromLatin1(name));
    return s ? s->value() : fallback;
}

TerrainLayout layoutFromSliders(const ControlBox& box)
{
    TerrainLayout l;
    l.divisions = sliderValue(box, "DIVISIONS", l.divisions);
    l.tiles = sliderValue(box, "TILES", l.tiles);
    l.tileSize = float(sliderValue(box, "Size XZ", int(l.tileSize)));
    // A slider set by code outside its range must not make an empty or negative grid.
    l.divisions = qBound(1, l.divisions, 100);
    l.tiles = qBound(1, l.tiles, 100);
    return l;
}

TerrainParams paramsFromSliders(const ControlBox& box)
{
    TerrainParams p;
    p.layout = layoutFromSliders(box);
    p.Land = sliderValue(box, "Land", 0);
    p.River = sliderValue(box, "River", 0);
    p.Hill = sliderValue(box, "Hill", 0);
    p.Flat = sliderValue(box, "Flat", 0);
    p.Path = sliderValue(box, "Path", 0);
    p.User = sliderValue(box, "User", 0);
    p.Smooth = sliderValue(box, "Smooth", 0);
    p.DeNoise = sliderValue(box, "DeNoise", 0);
    p.Rest = sliderValue(box, "Rest", 0);
    p.RestYOffset = sliderValue(box, "Rest Y Offset", 0);
    p.RestBlend = sliderValue(box, "Rest Blend", 10);
    p.SizeY = sliderValue(box, "Size Y", 100);
    return p;
}

void storeLayout(ControlBox& box, const TerrainLayout& l)
{
    box.storedTiles = l.tiles;
    box.storedDivisions = l.divisions;
    box.storedTileSize = l.tileSize;
}

// Closes a mesh edit on every way out of an update.
struct EditScope
{
    DzVertexMesh* mesh;
    explicit EditScope(DzVertexMesh* m) : mesh(m) { mesh->beginEdit(); }
    ~EditScope() { mesh->finishEdit(); }
};

}  // namespace

// ---- Height-map sources ------------------------------------------------------------------

void ZPK_VerdixPane::ImagetoHeightMap(BYTE* bMem, QImage Image) { imageToHeightBytes(bMem, Image); }

namespace {

// A 16-bit image keeps its full precision beside the byte grid.
void fillHeightWords(ControlBox::HeightMapBytes& map, const QImage& img)
{
    map.words.clear();
    if (!imageHasWideChannels(img)) return;
    map.words.assign(size_t(map.width) * size_t(map.height), 0);
    imageToHeightWords(map.words.data(), img);
}

}  // namespace

void ZPK_VerdixPane::buildHeightMapsFromImages(int i)
{
    ControlBox* box = m_boxes.at(i);
    if (!box) return;
    for (int k = 0; k < kImageSlots; ++k) {
        const QImage& img = box->images[size_t(k)];
        ControlBox::HeightMapBytes& map = box->heightMaps[size_t(k)];
        if (img.isNull()) continue;
        map.width = img.width();
        map.height = img.height();
        map.bytes.assign(size_t(map.width) * size_t(map.height), 0);
        ImagetoHeightMap(map.bytes.data(), img);
        fillHeightWords(map, img);
    }
}

QString ZPK_VerdixPane::userFolder()
{
    const QString folder = VerdixAssets::folder(VerdixAssets::Folder::LandscapeUser, VerdixAssets::textureRoot());
    if (!QFileInfo(folder).isDir()) WarnMissingFolder(VerdixAssets::folderName(VerdixAssets::Folder::LandscapeUser));
    return folder;
}

void ZPK_VerdixPane::rememberAppliedSliders(int i)
{
    ControlBox* box = m_boxes.at(i);
    if (!box) return;
    box->appliedSliders.clear();
    for (const DzIntSlider* s : box->sliders) box->appliedSliders.push_back(s ? s->value() : 0);
}

void ZPK_VerdixPane::restoreAppliedSliders(int i)
{
    ControlBox* box = m_boxes.at(i);
    if (!box || box->appliedSliders.size() != box->sliders.size()) return;
    const bool loading = m_loading;
    m_loading = true;
    for (size_t k = 0; k < box->sliders.size(); ++k)
        if (box->sliders[k] && box->sliders[k]->value() != box->appliedSliders[k])
            box->sliders[k]->setValue(box->appliedSliders[k]);
    m_loading = loading;
}

void ZPK_VerdixPane::refreshUserCombo(int i)
{
    ControlBox* box = m_boxes.at(i);
    QComboBox* combo = box ? box->combo('F') : nullptr;
    if (!combo) return;
    const verdix::TypeLayout& layout = verdix::layoutFor(TypeLandscape);
    const int c = layout.comboForLetter('F');
    if (c < 0) return;
    // Relisted from the folder its names are resolved in, so each file appears once.
    const QString current = combo->currentText();
    const QString folder = VerdixAssets::folder(VerdixAssets::Folder::LandscapeUser, VerdixAssets::textureRoot());
    const bool blocked = combo->blockSignals(true);
    combo->clear();
    combo->addItem(QString::fromLatin1(layout.combos[c].placeholder));
    combo->addItems(verdix::listComboFiles(folder, layout.combos[c].filter));
    const int keep = combo->findText(current, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (keep >= 0) combo->setCurrentIndex(keep);
    else combo->setEditText(current);
    combo->blockSignals(blocked);
}

bool ZPK_VerdixPane::loadMapSlot(int i, int slot)
{
    ControlBox* box = m_boxes.at(i);
    QComboBox* combo = box ? box->combo(char('A' + slot)) : nullptr;
    if (!combo) return true;
    const QString name = combo->currentText();

    if (slot < kImageSlots) {
        QString path;
        switch (slot) {
        case SlotLand:
            path = LoadGround(name);
            break;
        case SlotRiver:
            path = LoadRiver(name);
            break;
        case SlotHill:
            path = LoadHill(name);
            break;
        case SlotFlat:
            path = LoadFlat(name);
            break;
        default:
            path = LoadPath(name);
            break;
        }
        box = m_boxes.at(i);
        if (!box) return true;
        QImage& img = box->images[size_t(slot)];
        const MapImageRead read = readMapImage(path);
        img = read.image;
        // The old byte grid stays; the slot counts as missing until an image loads. A file
        // that is not there was reported by the path look-up already.
        if (img.isNull()) {
            if (QFileInfo(path).isFile()) errorBox(read.error);
            return true;
        }
        m_previewKey = i * 256 + slot + 1;
        if (m_previewLabel) {
            m_previewLabel->setPixmap(QPixmap::fromImage(img));
            m_previewLabel->show();
        }
        ControlBox::HeightMapBytes& map = box->heightMaps[size_t(slot)];
        map = ControlBox::HeightMapBytes();
        map.width = img.width();
        map.height = img.height();
        map.bytes.assign(size_t(map.width) * size_t(map.height), 0);
        ImagetoHeightMap(map.bytes.data(), img);
        fillHeightWords(map, img);
        UpdateLandScape(i, true);
        return true;
    }

    // The User slot: a raw float file.
    const QString path = LoadUser(name);
    HeightFileRead file = readHeightFile(path);
    switch (file.status) {
    case HeightFileRead::OpenFailed:
    case HeightFileRead::ReadFailed:
    case HeightFileRead::NotFinite:
        dzApp->dialogs()->messageBox(QMessageBox::Information, "error", file.error, QString(), QMessageBox::Ok,
                                     QMessageBox::Ok, this);
        return false;
    case HeightFileRead::TooLarge:
        // Refused before anything was allocated; the map held so far stays in use.
        dzApp->dialogs()->messageBox(QMessageBox::Information, "error: MemSize", file.error, QString(), QMessageBox::Ok,
                                     QMessageBox::Ok, this);
        return false;
    case HeightFileRead::Empty:
        if ((box = m_boxes.at(i))) box->mapSize = 0;
        dzApp->dialogs()->messageBox(QMessageBox::Information, "error: MemSize", file.error, QString(), QMessageBox::Ok,
                                     QMessageBox::Ok, this);
        return false;
    case HeightFileRead::Ok:
        break;
    }
    box = m_boxes.at(i);
    if (!box) return false;
    box->userMap.swap(file.values);
    box->userMapBytes = file.fileSize;
    box->mapSize = file.mapSize;
    UpdateLandScape(i, true);
    setStatus(QString("Float data height map, FileSize=%1 MapSize=%2").arg(file.fileSize).arg(file.mapSize));
    return true;
}

void ZPK_VerdixPane::LoadComboMapImage(int Index)
{
    if (Index == 0) return;
    QComboBox* from = qobject_cast<QComboBox*>(sender());
    bool acted = false;
    for (int i = 0; i < m_boxes.count(); ++i) {
        const ControlBox& box = m_boxes[i];
        if (box.type != TypeLandscape || !box.groupBox) continue;
        for (int slot = 0; slot < kTerrainSlots; ++slot) {
            QComboBox* combo = box.combo(char('A' + slot));
            if (!combo || !box.slider(QString::fromLatin1(kWeightSliders[slot])) || !combo->hasFocus()) continue;
            acted = true;
            if (!loadMapSlot(i, slot)) return;
            break;
        }
    }
    if (acted || !from) return;
    // A combo changed while the pane's window is not the active one has no focus; its
    // own signal still names it.
    for (int i = 0; i < m_boxes.count(); ++i) {
        const ControlBox& box = m_boxes[i];
        if (box.type != TypeLandscape || !box.groupBox) continue;
        for (int slot = 0; slot < kTerrainSlots; ++slot)
            if (box.combo(char('A' + slot)) == from) {
                loadMapSlot(i, slot);
                return;
            }
    }
}

void ZPK_VerdixPane::SaveUserHeightMap()
{
    if (m_boxes.count() == 0) return;
    // The box is the one whose button sent the press; it is known before the dialog,
    // which takes the press away from the button.
    int i = findBoxByDownButton(&ControlBox::saveMapButton);
    if (i < 0) {
        QPushButton* from = qobject_cast<QPushButton*>(sender());
        for (int k = 0; k < m_boxes.count() && from; ++k)
            if (m_boxes[k].saveMapButton == from && m_boxes[k].groupBox) i = k;
    }
    if (i < 0) return;
    const QString path = dzApp->dialogs()->getSaveFileName(this, "Save File", userFolder(),
                                                           "DAT (*.dat);;PNG 16-bit (*.png);;RAW 16-bit (*.r16 *.raw)");
    if (path.isEmpty()) return;
    ControlBox* box = m_boxes.at(i);
    if (!box) return;
    QString error;
    if (isHeightExportFormat(path) && QFileInfo(path).suffix().toLower() != "dat") {
        // The forms other tools read; a name without one of their extensions stays a .dat.
        if (!exportHeightMap(i, path)) {
            dzApp->dialogs()->messageBox(QMessageBox::Information, "error",
                                         m_statusLabel ? m_statusLabel->text() : path, QString(), QMessageBox::Ok,
                                         QMessageBox::Ok, this);
        }
        return;
    }
    const long long count = box->heightField.empty() ? 0 : box->heightFieldLength;
    if (!writeHeightFile(path, box->heightField.data(), count, &error)) {
        dzApp->dialogs()->messageBox(QMessageBox::Information, "error", error, QString(), QMessageBox::Ok,
                                     QMessageBox::Ok, this);
        return;
    }
    setStatus(QString("Save landscape data %1").arg(i));
    refreshUserCombo(i);
}

bool ZPK_VerdixPane::exportHeightMap(int ControlBoxIndex, QString path)
{
    ControlBox* box = m_boxes.at(ControlBoxIndex);
    if (!box || box->type != TypeLandscape) {
        setStatus(QString("Box %1 is no landscape box").arg(ControlBoxIndex));
        return false;
    }
    // The field is grown, never shrunk: only the last update's length is this terrain.
    const long long count = box->heightFieldLength;
    int side = int(std::lround(std::sqrt(double(count))));
    if (count <= 0 || (long long)side * side != count || (long long)box->heightField.size() < count) side = 0;
    QString error;
    if (!writeHeightExport(path, side > 0 ? box->heightField.data() : nullptr, side, &error)) {
        setStatus(error);
        return false;
    }
    setStatus(QString("Save landscape data %1").arg(ControlBoxIndex));
    return true;
}

// ---- The terrain mesh --------------------------------------------------------------------

long long ZPK_VerdixPane::availableMemoryBytes()
{
    // What the kernel could hand out without swapping, page cache included.
    QFile info("/proc/meminfo");
    if (info.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (QByteArray line = info.readLine(); !line.isEmpty(); line = info.readLine()) {
            if (!line.startsWith("MemAvailable:")) continue;
            const QList<QByteArray> parts = line.simplified().split(' ');
            bool ok = false;
            const long long kb = parts.size() >= 2 ? parts[1].toLongLong(&ok) : 0;
            if (ok) return kb * 1024;
        }
    }
#ifdef _SC_AVPHYS_PAGES
    const long pages = sysconf(_SC_AVPHYS_PAGES), size = sysconf(_SC_PAGESIZE);
    if (pages > 0 && size > 0) return (long long)pages * size;
#endif
    return -1;
}

void ZPK_VerdixPane::Button_CreateLandscape()
{
    const int i = m_boxes.count();
    if (m_boxes.isFull()) return;
    const QString title = newBoxTitle(TypeLandscape, i);
    m_landscapeSelector->addItem(title);
    m_landscapeSelector->setCurrentIndex(
        m_landscapeSelector->findText(title, Qt::MatchExactly | Qt::MatchCaseSensitive));
    Network_AddControlBox(QString::fromLatin1(typeInfo(TypeLandscape)->iconFile), title, TypeLandscape);
    if (m_boxes.count() != i + 1) return;
    buildHeightMapsFromImages(i);
    // The heights come with the box's first update; until then the terrain is flat.
    BuildObjectNode(TypeLandscape, i, title, [this](int k, DzFacetMesh* mesh) {
        mesh->beginEdit();
        Button_AddPolyLandscape(k, mesh);
        mesh->finishEdit();
    });
}

void ZPK_VerdixPane::Button_AddPolyLandscape(int ControlBoxIndex, DzFacetMesh* mesh)
{
    ControlBox* box = m_boxes.at(ControlBoxIndex);
    if (!box || !mesh) return;
    const TerrainLayout l = layoutFromSliders(*box);
    storeLayout(*box, l);
    clearTerrainMeshCache(ControlBoxIndex);
    mesh->activateMaterial(0);
    // Meshes of this host come without a UV list; the terrain brings its own.
    if (!mesh->getUVs()) mesh->setUVList(new DzUVSet);
    addTerrainTopology(l, *mesh);
}

void ZPK_VerdixPane::UpdateLandScape(int SliderIndex, bool UpdateObjects)
{
    const int i = SliderIndex;
    QMutexLocker lock(&m_landscapeLock);
    {
        ControlBox* box = m_boxes.at(i);
        if (!box || box->type != TypeLandscape || !box->titleLabel) return;
        const QString title = box->titleLabel->text();

        // The node and its mesh.
        DzNode* node = dzScene ? dzScene->findNodeByLabel(title) : nullptr;
        const NodeMesh found = nodeFacetMesh(node);
        DzFacetMesh* mesh = found.mesh;
        if (!mesh) {
            // A node without an object is left alone without a word.
            if (found.miss != NodeMesh::Object) setStatus(nodeMeshMessage(found.miss, title));
            return;
        }

        const TerrainParams p = paramsFromSliders(*box);
        const TerrainLayout& l = p.layout;
        // What a cancel puts back: the stored layout and the sliders of the last update.
        TerrainLayout before;
        before.tiles = box->storedTiles;
        before.divisions = box->storedDivisions;
        before.tileSize = box->storedTileSize;
        storeLayout(*box, l);
        const long long VV = l.vertexCount();
        const bool regrid = mesh->getNumVertices() != VV;

        // A new tile or division count needs a new grid. One that does not fit is refused
        // before the old one is let go; a large one is announced, as it takes a while.
        // The old grid stays until the new one is complete, so a cancel can fall back on
        // it; when only one of the two fits, the old goes first and there is no way back.
        bool keepOld = true;
        if (regrid) {
            // What the old grid holds (a grid's quads are a rule and hold nothing).
            const long long listed = mesh->facetGrid().rows > 0 ? 0 : mesh->getNumFacets();
            const long long held = (long long)mesh->getNumVertices() * (sizeof(DzVec3) + sizeof(DzPnt2)) +
                                   listed * (long long)sizeof(DzFacet);
            const long long free = m_freeMemory ? m_freeMemory() : -1;
            const TerrainBuildCheck check = checkTerrainBuild(l, free < 0 ? free : free + held);
            if (check.refuse) {
                storeLayout(*box, before);
                setStatus(check.text);
                errorBox(check.text);
                return;
            }
            keepOld = free < 0 || terrainBuildBytes(l) <= free;
            if (!check.text.isEmpty()) {
                setStatus(check.text);
                if (dzApp) {
                    dzApp->statusLine(check.text);
                    dzApp->dialogs()->note(check.text);
                }
            }
        }

        DzProgress progress(QString("Landscape %1").arg(title), (regrid ? l.side() : 0) + 9LL * l.side(), keepOld);
        long long stepBase = 0;
        const TerrainProgress ask = [&](long long rows) { return progress.step(stepBase + rows); };
        auto putBack = [&]() {
            if (ControlBox* b = m_boxes.at(i)) {
                storeLayout(*b, before);
                restoreAppliedSliders(i);
            }
            setStatus(QString("Cancelled: %1 left as it was").arg(title));
        };

        // A new grid is laid down aside and put in place with the heights.
        DzFacetMesh fresh;
        bool freshGrid = false;
        if (regrid && keepOld) {
            fresh.setUVList(new DzUVSet);
            bool complete = false;
            try {
                complete = addTerrainTopology(l, fresh, ask);
            } catch (const std::bad_alloc&) {
                fresh.removeAllFacets();
                fresh.clearAllVertices();
                fresh.getUVs()->clearAllData();
                complete = true;  // an empty grid, reported below as the wrong count
            }
            if (!complete) {
                putBack();
                return;
            }
            stepBase = l.side();
            freshGrid = true;
            setStatus(QString("Mesh %1 Updated its size!").arg(title));
            if (fresh.getNumVertices() != VV) {
                EditScope edit(mesh);
                mesh->swapGeometry(fresh);
                clearTerrainMeshCache(i);
                setStatus(QString("Error: Incorrect vertex count! %1 %2").arg(mesh->getNumVertices()).arg(VV));
                return;
            }
        } else if (regrid) {
            EditScope edit(mesh);
            mesh->removeAllFacets();
            if (DzMap* uvs = mesh->getUVs()) uvs->clearAllData();
            mesh->clearAllVertices();
            // The largest grid needs some 2.4 GB; without it the update ends with a report
            // and an empty mesh rather than taking the host down.
            try {
                Button_AddPolyLandscape(i, mesh);
            } catch (const std::bad_alloc&) {
                mesh->removeAllFacets();
                if (DzMap* uvs = mesh->getUVs()) uvs->clearAllData();
                mesh->clearAllVertices();
            }
            stepBase = l.side();
            setStatus(QString("Mesh %1 Updated its size!").arg(title));
            if (mesh->getNumVertices() != VV) {
                setStatus(QString("Error: Incorrect vertex count! %1 %2").arg(mesh->getNumVertices()).arg(VV));
                return;
            }
        }
        // Puts the new grid in place; after this the update only moves vertices.
        auto installGrid = [&]() {
            if (!freshGrid) return;
            mesh->swapGeometry(fresh);
            clearTerrainMeshCache(i);
            freshGrid = false;
        };

        // Which map slots take part.
        box = m_boxes.at(i);
        if (!box) return;
        TerrainSlotState state;
        for (int k = 0; k < kImageSlots; ++k) {
            state.imageLoaded[k] = !box->images[size_t(k)].isNull();
            state.mapPresent[k] = box->heightMaps[size_t(k)].present();
        }
        state.mapSize = box->mapSize;
        state.userFloats = (long long)box->userMap.size();
        const TerrainJudgement judged = judgeTerrainSlots(state, p);
        for (const QString& m : judged.messages) setStatus(m);
        if (!judged.stop.isEmpty()) {
            // The update stops after the rebuild: the new grid stands, flat.
            EditScope edit(mesh);
            installGrid();
            return;
        }

        TerrainSources sources;
        for (int k = 0; k < kImageSlots; ++k) {
            const ControlBox::HeightMapBytes& map = box->heightMaps[size_t(k)];
            sources.active[k] = judged.active[k];
            sources.maps[k].bytes = map.bytes.data();
            sources.maps[k].words = map.words.empty() ? nullptr : map.words.data();
            sources.maps[k].width = map.width;
            sources.maps[k].height = map.height;
        }
        sources.userActive = judged.userActive;
        sources.user = box->userMap.data();
        sources.userSize = box->mapSize;
        progress.setTotal(stepBase + terrainHeightRows(p, sources) + l.side());

        // The heights are computed aside; the mesh and the height field take them only
        // once they are complete.
        std::vector<float> y;
        try {
            y.resize(size_t(VV));
        } catch (const std::bad_alloc&) {
            EditScope edit(mesh);
            installGrid();
            setStatus(QString("Error: Incorrect vertex count! %1 %2").arg(mesh->getNumVertices()).arg(VV));
            return;
        }
        if (!computeTerrainHeights(p, sources, y.data(), ask)) {
            putBack();
            return;
        }
        stepBase += terrainHeightRows(p, sources);

        // Resting the edge on the landscape this one sits on.
        const int j = box->landscapeIndex;
        const ControlBox* other = m_boxes.at(j);
        DzNode* otherNode = nullptr;
        if (p.Rest != 0 && j != i && other && other->type == TypeLandscape && other->titleLabel)
            otherNode = dzScene->findNodeByLabel(other->titleLabel->text());
        if (otherNode) {
            const DzVec3 P = node->getWSPos(), Q = otherNode->getWSPos();
            TerrainRest rest;
            rest.rest = p.rest();
            rest.restY = p.restY();
            rest.blend = p.RestBlend;
            rest.flagX = P.x() >= Q.x();
            rest.flagZ = P.z() >= Q.z();
            rest.dx = P.x() - Q.x();
            rest.dz = P.z() - Q.z();
            rest.dy = P.y() - Q.y();
            // Without caches each query starts at the cell the point falls in by the other
            // grid's layout, so a jump to the next line costs a cell test, not a search.
            restTerrain(l, rest, y.data(),
                        [&](float x, float z) { return fHeight(j, x, z, nullptr, nullptr, nullptr); });
        }
        if (!progress.step(stepBase)) {
            putBack();
            return;
        }

        // From here on nothing is cancelled: the result goes in at once.
        box = m_boxes.at(i);
        if (!box) return;
        EditScope edit(mesh);
        installGrid();
        writeTerrainVertices(l, y.data(), mesh->getVerticesPtr());
        // The height field is grown, never shrunk.
        if (box->heightField.size() <= y.size()) box->heightField.swap(y);
        else std::copy(y.begin(), y.end(), box->heightField.begin());
        box->heightFieldLength = int(VV);
        rememberAppliedSliders(i);
        // The edit closes here.
    }
    if (UpdateObjects && !(m_autoOffCheck && m_autoOffCheck->isChecked())) AllObjectsOnLandScape(i);
    saveModelData();
}
