// Tying objects to landscapes: slider routing of landscape boxes, re-evaluation of the
// objects standing on a terrain, swapping, refreshing, dropping a scene object onto the
// terrains and the landscape selector's list.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPixmap>
#include <QThread>
#include <dzgeometry.h>
#include <dzintslider.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzundostack.h>
#include <dzshape.h>
#include "animation/taskring.h"
#include "pane/propnode.h"
#include "pane/verdixpane.h"

namespace {

bool standsOnTerrain(int type)
{
    const BoxTypeEntry* t = typeInfo(type);
    return t && t->standsOnTerrain;
}

// The landscape sliders whose focus picks the box, in the order they are asked; the first
// five are the map weights with their map slot.
const char* const kFocusSliders[] = {"Land",    "River",   "Hill",      "Flat",  "Path",  "Smooth",
                                     "DeNoise", "Size XZ", "DIVISIONS", "TILES", "Size Y"};
constexpr int kMapWeights = 5;

}  // namespace

bool ZPK_VerdixPane::updateWithHeights(int i)
{
    const ControlBox* box = m_boxes.at(i);
    if (!box) return false;
    const int type = box->type;
    // The objects standing on a terrain and the landscape itself.
    const BoxTypeEntry* t = typeInfo(type);
    const char* slot = t && (t->standsOnTerrain || type == TypeLandscape) ? t->updateSlot : nullptr;
    if (!slot) return false;
    if (m_updateOverride[type]) {
        m_updateOverride[type](i, true);
        return true;
    }
    if (!hasSlot((QByteArray(slot) + "(int,bool)").constData())) return false;
    return QMetaObject::invokeMethod(this, slot, Qt::DirectConnection, Q_ARG(int, i), Q_ARG(bool, true));
}

// ---- Slider routing ----------------------------------------------------------------------

void ZPK_VerdixPane::SliderMoveLandScape(int Input)
{
    Q_UNUSED(Input);
    if (m_loading) return;
    for (int i = 0; i < m_boxes.count(); ++i) {
        const ControlBox& box = m_boxes[i];
        if (!box.groupBox || box.type != TypeLandscape) continue;
        for (int k = 0; k < int(sizeof kFocusSliders / sizeof *kFocusSliders); ++k) {
            DzIntSlider* s = box.slider(QString::fromLatin1(kFocusSliders[k]));
            if (!s || !s->hasFocus()) continue;
            if (k < kMapWeights && m_previewLabel) {
                const int key = i * 256 + k + 1;
                if (m_previewKey != key) {
                    m_previewKey = key;
                    m_previewLabel->setPixmap(QPixmap::fromImage(box.images[size_t(k)]));
                    m_previewLabel->show();
                }
            }
            updateWithHeights(i);
            return;
        }
    }
    // No focus: a value set by code, or a slider that decides no box.
    for (int i = 0; i < m_boxes.count(); ++i)
        if (m_boxes[i].groupBox && m_boxes[i].type == TypeLandscape) updateWithHeights(i);
}

// ---- Re-evaluating objects ---------------------------------------------------------------

void ZPK_VerdixPane::updateObjectsThroughRing(const std::function<bool(int)>& wanted, bool interactive, bool lookFirst)
{
    VerdixFlags::progress = false;
    // Tree passes on workers read the sliders as they stand now.
    captureAllOf(TypeTree);
    const bool wasReplacing = m_replacing;
    m_replacing = true;
    {
        TaskRing ring;
        for (int i = 0; i < m_boxes.count(); ++i) {
            if (!standsOnTerrain(m_boxes[i].type) || !wanted(i)) continue;
            const int waitedBefore = ring.waiting();
            ring.acquire();
            if (interactive && ring.waiting() != waitedBefore) QApplication::processEvents();
            ring.start([this, i] { updateWithHeights(i); });
        }
        if (lookFirst) ring.finish(10);
        else {
            QThread::msleep(10);
            ring.waitAll();
        }
    }
    m_replacing = wasReplacing;
    VerdixFlags::progress = true;
}

void ZPK_VerdixPane::AllObjectsOnLandScape(int SliderIndex)
{
    updateObjectsThroughRing([this, SliderIndex](int i) { return m_boxes[i].landscapeIndex == SliderIndex; }, false,
                             false);
}

void ZPK_VerdixPane::AllObjectsOnLandScapeShow(int SliderIndex)
{
    updateObjectsThroughRing([this, SliderIndex](int i) { return m_boxes[i].landscapeIndex == SliderIndex; }, true,
                             true);
}

void ZPK_VerdixPane::AllObjectsWithNoLandScape()
{
    updateObjectsThroughRing([](int) { return true; }, true, false);
}

// ---- Swapping ----------------------------------------------------------------------------

void ZPK_VerdixPane::SwapLandscape()
{
    if (m_boxes.count() == 0) return;
    const QString landscapeTitle = m_landscapeSelector ? m_landscapeSelector->currentText() : QString();
    const int L = FindLandScapeIndex(landscapeTitle);
    const ControlBox* target = m_boxes.at(L);
    if (!target || target->type != TypeLandscape) {
        setStatus("Landscape can't swap, Press Object Icon!");
        return;
    }
    const int s = m_selectedBox;
    ControlBox* box = m_boxes.at(s);
    if (!box) return;
    box->landscapeIndex = L;
    clearTerrainMeshCache(s);

    if (box->type == TypeLandscape) {
        // Its terrain rests on L at the next refresh; nodes of landscapes are never parented.
        setStatus(QString("Landscape %1 sitting on %2").arg(s).arg(L));
        return;
    }
    if (!standsOnTerrain(box->type)) return;
    updateWithHeights(s);

    DzNode* landscapeNode = dzScene ? dzScene->findNodeByLabel(landscapeTitle) : nullptr;
    DzNode* objectNode = (dzScene && box->titleLabel) ? dzScene->findNodeByLabel(box->titleLabel->text()) : nullptr;
    if (landscapeNode && objectNode) {
        landscapeNode->addNodeChild(objectNode, false);
        setStatus(QString("Object Swap to landscape %1").arg(L));
        saveModelData();
    } else {
        setStatus("ERROR: Swap");
    }
}

void ZPK_VerdixPane::SwapAllLandscape()
{
    if (m_boxes.count() == 0) return;
    VerdixFlags::progress = false;
    for (int i = 0; i < m_boxes.count(); ++i) {
        ControlBox& box = m_boxes[i];
        if (box.type == TypeLandscape) continue;
        const ControlBox* land = m_boxes.at(box.landscapeIndex);
        if (!land || land->type != TypeLandscape) continue;
        clearTerrainMeshCache(i);
        if (!standsOnTerrain(box.type)) continue;
        updateWithHeights(i);
        DzNode* landNode = (dzScene && land->titleLabel) ? dzScene->findNodeByLabel(land->titleLabel->text()) : nullptr;
        DzNode* node = (dzScene && box.titleLabel) ? dzScene->findNodeByLabel(box.titleLabel->text()) : nullptr;
        if (landNode && node) {
            landNode->addNodeChild(node, false);
            QApplication::processEvents();
        }
    }
    VerdixFlags::progress = true;
}

// ---- Refreshing --------------------------------------------------------------------------

void ZPK_VerdixPane::RefreshAllLandscape()
{
    if (m_boxes.count() == 0) return;
    invokeIfPresent("Animation_Stop");
    m_busy = true;
    setStatus("Please wait refreshing landscape...");
    QApplication::processEvents();
    const bool autoOff = m_autoOffCheck && m_autoOffCheck->isChecked();
    if (m_autoOffCheck) m_autoOffCheck->setChecked(false);
    for (int i = 0; i < m_boxes.count(); ++i)
        if (m_boxes[i].type == TypeLandscape) updateWithHeights(i);
    if (m_autoOffCheck) m_autoOffCheck->setChecked(autoOff);
    m_busy = false;
    saveModelData();
    setStatus("Landscape refreshed.");
}

// ---- Dropping a scene object onto the terrains -------------------------------------------

void ZPK_VerdixPane::PutOnLandscape()
{
    if (!m_externalObject) {
        setStatus("Don't use this for Ver-dix objects!");
        return;
    }
    if (!m_externalObject->isSelected()) return;
    const DzVec3 P = m_externalObject->getWSPos();
    // Box 0 is the base terrain: where it answers, its height stands even below the others;
    // elsewhere the highest non-zero answer wins, the miss value included.
    float y = 0.f;
    bool baseHit = false;
    for (int i = 0; i < m_boxes.count() && !baseHit; ++i) {
        const ControlBox& box = m_boxes[i];
        if (box.type != TypeLandscape) continue;
        DzNode* node = (dzScene && box.titleLabel) ? dzScene->findNodeByLabel(box.titleLabel->text()) : nullptr;
        const DzVec3 Q = node ? node->getWSPos() : DzVec3();
        const HeightAnswer a = heightAnswer(i, P.x() - Q.x(), P.z() - Q.z(), nullptr, nullptr, nullptr);
        if (a.hit == HeightHit::Found) m_heightFirstTriangle = a.firstTriangle;
        // The terrain answers in its node's frame; a miss and "no triangle" stay as they are.
        const float h = a.hit == HeightHit::Found ? a.height + Q.y() : a.height;
        if (i == 0) {
            y = h;
            baseHit = h != 0.f && h != kHeightMiss;
        } else if (h != 0.f) {
            y = std::max(y, h);
        }
    }
    const DzTransform before = m_externalObject->getLocalTransform();
    m_externalObject->setWSPos(DzVec3(P.x(), y, P.z()));
    if (dzUndoStack)
        dzUndoStack->pushNodeMove(m_externalObject, before,
                                  QString("Put '%1' on landscape").arg(m_externalObject->getLabel()));
}

// ---- The landscape selector --------------------------------------------------------------

void ZPK_VerdixPane::RedoComboSwapBox()
{
    if (m_landscapeSelector) rebuildLandscapeSelector();
}

// ---- Height marker -----------------------------------------------------------------------

void ZPK_VerdixPane::Button_CreateGroundHeightPointer()
{
    const int i = m_boxes.count();
    const QString title = newBoxTitle(TypeRock, i);
    Network_AddControlBox("GrowRock.png", title, TypeRock);
    if (!dzScene || dzScene->findNodeByLabel(title)) return;

    // This query's own triangle, not whatever an earlier query left behind.
    const HeightAnswer a = heightAnswer(0, -19.f, -28.f, nullptr, nullptr, nullptr);
    if (a.hit == HeightHit::Found) m_heightFirstTriangle = a.firstTriangle;
    const float h = a.height;
    const bool first = a.hit == HeightHit::Found && a.firstTriangle;

    auto* mesh = new DzFacetMesh;
    mesh->beginEdit();
    auto* uvs = new DzUVSet;
    for (const DzPnt2& p : {DzPnt2(0, 0), DzPnt2(1, 0), DzPnt2(1, 1), DzPnt2(0, 1)}) uvs->appendPnt2Vec(p);
    mesh->setUVList(uvs);
    mesh->addVertex(-18.99f, h, -28.f);
    mesh->addVertex(-19.01f, h, -28.f);
    mesh->addVertex(-20.f, h + 10.f, -28.f);
    mesh->addVertex(-18.f, h + 10.f, -28.f);
    const int quad[4] = {0, 1, 2, 3};
    mesh->activateMaterial(0);
    mesh->addFacet(quad, quad);
    mesh->finishEdit();

    const QColor colour = first ? QColor(255, 0, 0, 255) : QColor(0, 255, 0, 255);
    DzNode* node = newPropNode(title, "rock", mesh, {newPlainMaterial("Material", colour)}, true);
    dzScene->addNode(node);
}
