// The rock box's slots: dropping twenty rocks onto a landscape, putting them back where they
// started and onto their landscape's surface. The rocks then move by the object mapping.
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>

#include "common/verdixrandom.h"
#include "rock/rockmesh.h"
#include "pane/propnode.h"
#include "pane/verdixpane.h"

namespace {

QString rockLabel(const QString& boxTitle, int k) { return QString("%1 %2").arg(boxTitle).arg(k); }

// One rock node: its own sphere and material, presented as a prop. Red when the height
// query found the rock's ground in a cell's first triangle, green otherwise.
DzNode* buildRockNode(const QString& label, bool firstTriangle, VxRandomStream& rng)
{
    auto* mesh = new DzFacetMesh;
    buildRockMesh(*mesh, rng);
    const QColor colour = firstTriangle ? QColor(255, 0, 0, 255) : QColor(0, 255, 0, 255);
    DzNode* node = newPropNode(label, "rock", mesh, {newPlainMaterial("Material", colour)}, true);
    return node;
}

}  // namespace

void ZPK_VerdixPane::Button_CreateRock() { CreateRock(); }

void ZPK_VerdixPane::CreateRock()
{
    const int s = m_selectedBox;
    const ControlBox* land = m_boxes.at(s);
    if (!land || land->type != TypeLandscape) {
        setStatus("Please select a landscape!");
        return;
    }
    const QString landTitle = land->groupBox ? land->groupBox->title() : QString();
    DzNode* landNode = dzScene ? dzScene->findNodeByLabel(landTitle) : nullptr;
    if (!landNode) {
        setStatus(QString("Error can't find %1").arg(landTitle));
        return;
    }

    const int i = m_boxes.count();
    const QString title = newBoxTitle(TypeRock, i);
    Network_AddControlBox(QString::fromLatin1(typeInfo(TypeRock)->iconFile), title, TypeRock);
    if (m_boxes.count() != i + 1) return;
    ControlBox& box = m_boxes[i];
    box.landscapeIndex = FindLandScapeIndex(m_landscapeSelector ? m_landscapeSelector->currentText() : QString());

    // Rocks are never reseeded: they draw on from this thread's generator, so every rock
    // differs, and hand it back for the next box.
    VxRandomStream rng(vxRandState());
    for (int k = 0; k < kRocksPerBox; ++k) {
        const RockSpot spot = drawRockSpot(rng);
        // The rocks hang under box s's node, so its own terrain gives their ground.
        const HeightAnswer a = heightAnswer(s, spot.x, spot.z, nullptr, nullptr, nullptr);
        const bool first = a.hit == HeightHit::Found && a.firstTriangle;
        if (a.hit == HeightHit::Found) m_heightFirstTriangle = a.firstTriangle;
        const DzVec3 start(spot.x, a.height + spot.lift, spot.z);

        DzNode* node = buildRockNode(rockLabel(title, k), first, rng);
        dzScene->addNode(node);
        landNode->addNodeChild(node, false);
        node->setLocalPos(start);
        addMapped(node, start, kRockRadius, kRockBound, box.groupBox);
    }
    vxRandState() = rng.state;
    setStatus(QString("ControlBox_Selected %1").arg(box.landscapeIndex));
}

void ZPK_VerdixPane::ControlBox_ResetRockPress()
{
    if (!m_mapping.exists() || m_boxes.count() == 0) return;
    for (int i = 0; i < m_boxes.count(); ++i) {
        const ControlBox& box = m_boxes[i];
        if (!box.groupBox || !box.resetButton || !box.resetButton->isDown()) continue;
        m_mapping.resetOwner(box.groupBox);
        return;
    }
}

void ZPK_VerdixPane::RocksOnLandScape(int SliderIndex)
{
    const ControlBox* land = m_boxes.at(SliderIndex);
    if (!land || land->type != TypeLandscape || !land->groupBox || !dzScene) return;
    for (int i = 0; i < m_boxes.count(); ++i) {
        const ControlBox& box = m_boxes[i];
        if (box.type != TypeRock || box.landscapeIndex != SliderIndex || !box.groupBox) continue;
        DzNode* landNode = dzScene->findNodeByLabel(land->groupBox->title());
        if (!landNode) continue;
        const DzVec3 Q = landNode->getWSPos();
        for (int k = 0; k < 100; ++k) {
            DzNode* rock = dzScene->findNodeByLabel(rockLabel(box.groupBox->title(), k));
            if (!rock) break;
            const DzVec3 P = rock->getWSPos();
            // The terrain answers in its node's frame: a raised landscape raises its ground.
            const float y = fHeight(SliderIndex, P.x() - Q.x(), P.z() - Q.z(), nullptr, nullptr, nullptr) + Q.y();
            rock->setWSPos(DzVec3(P.x(), y, P.z()));
            // The mapping goes on from the new place; it would otherwise put the rock back
            // at the next step.
            for (MappedObject& r : m_mapping.records())
                if (r.node == rock) r.position = rock->getLocalPos();
        }
    }
}
