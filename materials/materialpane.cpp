// The texture combos of every box type: the chosen image goes on one material of the box's
// node, with the companion maps found beside it and the sheet's grid read into the sliders.
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QSignalBlocker>
#include <dzmaterial.h>
#include <dzshape.h>
#include <dzintslider.h>
#include <dznode.h>
#include <dzscene.h>
#include "materials/materialcore.h"
#include "pane/verdixpane.h"
#include "plugin/assetfolders.h"
#include "plugin/readcheck.h"

namespace {

using VerdixAssets::Folder;

QString texturePrefix(Folder f) { return VerdixAssets::prefix(f, VerdixAssets::textureRoot()); }

// The sliders a sheet's grid goes into: columns, rows, and for billboards the animation
// range that plays every frame.
struct GridSliders
{
    int type;
    const char* material;
    const char* columns;
    const char* rows;
    bool animation;
};

const GridSliders kGridSliders[] = {
    {TypeTree, "Leaf", "Leaf Maps X", "Leaf Maps Y", false},
    {TypeTree, "Fruit", "Fruit Maps X", "Fruit Maps Y", false},
    {TypeBillboard, "Billboard", "Map X", "Map Z", true},
    {TypeStones, "Stones", "Stone Map X", "Stone Map Y", false},
    {TypeFlower, "Leaf", "Leaf Map X", "Leaf Map Y", false},
    {TypeFlower, "PetalIn", "Petal inner Map X", "Petal inner Map Y", false},
    {TypeFlower, "PetalOut", "Petal outer Map X", "Petal outer Map Y", false},
    {TypeFlower, "Pistil", "Pistil outer Map X", "Pistil outer Map Y", false},
};

const GridSliders* gridSlidersFor(int type, const QString& material)
{
    for (const GridSliders& g : kGridSliders)
        if (g.type == type && material == QLatin1String(g.material)) return &g;
    return nullptr;
}

void setSlider(const ControlBox& box, const char* name, int value)
{
    if (DzIntSlider* s = box.slider(QString::fromLatin1(name))) s->setValue(value);
}

// Which material and property each texture combo of a type feeds.
struct TextureCombo
{
    int type;
    char letter;
    Folder folder;
    const char* material;
};

const TextureCombo kTextureCombos[] = {
    {TypeLandscape, 'G', Folder::TextureLandscape, "Landscape"},
    {TypeLandscape, 'H', Folder::TextureLandscapeAlpha, "Landscape"},
    {TypeGrass, 'C', Folder::TextureGrass, "Grass"},
    {TypeStones, 'D', Folder::TextureStones, "Stones"},
    {TypeStones, 'C', Folder::TextureGrass, "Grass"},
    {TypeTree, 'C', Folder::TextureTreeLeaf, "Leaf"},
    {TypeTree, 'D', Folder::TextureTreeFruit, "Fruit"},
    {TypeTree, 'E', Folder::TextureTreeBark, "Stem"},
    {TypeTree, 'F', Folder::TextureTreeBark, "Trunk"},
    {TypeFlower, 'B', Folder::TextureFlowerStem, "Stem"},
    {TypeFlower, 'C', Folder::TextureFlowerLeaf, "Leaf"},
    {TypeFlower, 'D', Folder::TextureFlowerPetal, "PetalIn"},
    {TypeFlower, 'E', Folder::TextureFlowerPetal, "PetalOut"},
    {TypeFlower, 'F', Folder::TextureFlowerPistil, "Pistil"},
    {TypeBillboard, 'C', Folder::TextureBillboard, "Billboard"},
};

}  // namespace

void ZPK_VerdixPane::showTextureChoices(int i)
{
    const ControlBox* box = m_boxes.at(i);
    if (!box || !box->groupBox || !dzScene) return;
    DzNode* node = dzScene->findNodeByLabel(box->groupBox->title());
    DzObject* obj = node ? node->getObject() : nullptr;
    DzShape* shape = obj ? obj->getShape(0) : nullptr;
    if (!shape) return;
    for (const TextureCombo& t : kTextureCombos) {
        QComboBox* combo = box->type == t.type ? box->combo(t.letter) : nullptr;
        auto* mat = combo ? qobject_cast<DzDefaultMaterial*>(shape->findMaterial(t.material)) : nullptr;
        if (!mat) continue;
        DzTexture* tex = t.letter == 'H' ? mat->getOpacityMap() : mat->getColorMap();
        if (!tex) continue;
        const QFileInfo file(tex->getFilename());
        // Only an image of the combo's own folder is one of its items.
        if (QFileInfo(VerdixAssets::folder(t.folder, VerdixAssets::textureRoot())).canonicalFilePath() !=
            file.dir().canonicalPath())
            continue;
        const int k = combo->findText(file.fileName(), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (k <= 0 || k == combo->currentIndex()) continue;
        const QSignalBlocker quiet(combo);
        combo->setCurrentIndex(k);
    }
}

void ZPK_VerdixPane::LoadTexureLandscape(int)
{
    LoadTexureToMaterial('G', TypeLandscape, texturePrefix(Folder::TextureLandscape), "Landscape");
    setStatus("Set landscape texture");
}

void ZPK_VerdixPane::LoadTexureLandscapeBlend(int)
{
    LoadTexureToMaterial('H', TypeLandscape, texturePrefix(Folder::TextureLandscapeAlpha), "Landscape");
    setStatus("Set landscape blending texture");
}

void ZPK_VerdixPane::LoadTexureGrass(int)
{
    LoadTexureToMaterial('C', TypeGrass, texturePrefix(Folder::TextureGrass), "Grass");
}

void ZPK_VerdixPane::LoadTexureStones(int)
{
    LoadTexureToMaterial('D', TypeStones, texturePrefix(Folder::TextureStones), "Stones");
}

void ZPK_VerdixPane::LoadTexureStonesGrass(int)
{
    LoadTexureToMaterial('C', TypeStones, texturePrefix(Folder::TextureGrass), "Grass");
}

void ZPK_VerdixPane::LoadTexureTreeLeaf(int)
{
    LoadTexureToMaterial('C', TypeTree, texturePrefix(Folder::TextureTreeLeaf), "Leaf");
}

void ZPK_VerdixPane::LoadTexureTreeFruit(int)
{
    LoadTexureToMaterial('D', TypeTree, texturePrefix(Folder::TextureTreeFruit), "Fruit");
}

// The bark goes on the branches, which the tree draws with its "Stem" material.
void ZPK_VerdixPane::LoadTexureTreeBark(int)
{
    LoadTexureToMaterial('E', TypeTree, texturePrefix(Folder::TextureTreeBark), "Stem");
}

void ZPK_VerdixPane::LoadTexureTreeTrunk(int)
{
    LoadTexureToMaterial('F', TypeTree, texturePrefix(Folder::TextureTreeBark), "Trunk");
}

void ZPK_VerdixPane::LoadTexureFlowerStem(int)
{
    LoadTexureToMaterial('B', TypeFlower, texturePrefix(Folder::TextureFlowerStem), "Stem");
    setStatus("Set stem texture");
}

void ZPK_VerdixPane::LoadTexureFlowerLeaf(int)
{
    LoadTexureToMaterial('C', TypeFlower, texturePrefix(Folder::TextureFlowerLeaf), "Leaf");
    setStatus("Set leaf texture");
}

void ZPK_VerdixPane::LoadTexureFlowerPetalIn(int)
{
    LoadTexureToMaterial('D', TypeFlower, texturePrefix(Folder::TextureFlowerPetal), "PetalIn");
    setStatus("Set inner petal texture");
}

void ZPK_VerdixPane::LoadTexureFlowerPetalOut(int)
{
    LoadTexureToMaterial('E', TypeFlower, texturePrefix(Folder::TextureFlowerPetal), "PetalOut");
    setStatus("Set outer petal texture");
}

void ZPK_VerdixPane::LoadTexureFlowerPistil(int)
{
    LoadTexureToMaterial('F', TypeFlower, texturePrefix(Folder::TextureFlowerPistil), "Pistil");
    setStatus("Set center flower pistil texture");
}

void ZPK_VerdixPane::LoadTexureBillboard(int)
{
    LoadTexureToMaterial('C', TypeBillboard, texturePrefix(Folder::TextureBillboard), "Billboard");
}

void ZPK_VerdixPane::LoadTexureToMaterial(char ABCD, int ObjectType, QString dirText, QString MaterialName)
{
    if (m_boxes.count() == 0) return;
    const int slot = ABCD - 'A';
    if (slot < 0 || slot >= kComboSlots) return;

    // The box whose combo has keyboard focus. A combo changed while the pane's window is not
    // the active one (a record read headless, a script) has none; its own signal names it.
    int i = -1;
    for (int k = 0; k < m_boxes.count() && i < 0; ++k) {
        const QComboBox* c = m_boxes[k].type == ObjectType ? m_boxes[k].combo(ABCD) : nullptr;
        if (c && c->hasFocus()) i = k;
    }
    if (i < 0) {
        const QComboBox* from = qobject_cast<QComboBox*>(sender());
        for (int k = 0; k < m_boxes.count() && i < 0 && from; ++k)
            if (m_boxes[k].type == ObjectType && m_boxes[k].combo(ABCD) == from) i = k;
    }
    if (i < 0) return;

    const ControlBox& box = m_boxes[i];
    const QComboBox* combo = box.combo(ABCD);
    const QString name = combo->currentText();
    if (!box.groupBox || !dzScene) return;
    DzNode* node = dzScene->findNodeByLabel(box.groupBox->title());
    if (!node) return;

    const bool blend = ABCD == 'H';
    const QString property = blend ? QStringLiteral("Opacity Strength") : QStringLiteral("Diffuse Color");
    const QString path = dirText + name;
    if (name.isEmpty() || !QFileInfo(path).isFile()) {
        // The placeholder: the material loses its texture, its companions stay.
        processMaterials(node, MaterialName, property, QStringLiteral("None"));
        return;
    }
    // A sheet's grid comes from its name: a name whose grid cannot be read is refused whole,
    // rather than shown cut into a grid it does not have.
    const GridSliders* grid = blend ? nullptr : gridSlidersFor(ObjectType, MaterialName);
    const verdix::GridTags tags = verdix::readGridTags(name);
    if (grid && !tags.fault.isEmpty()) {
        setStatus("Error: " + tags.fault);
        errorBox(tags.fault);
        return;
    }
    processMaterials(node, MaterialName, property, path);

    // Refused images were named by processMaterials already.
    QString refused;
    const QImage image = verdix::readCheckedImage(path, QStringLiteral("the texture"), &refused);
    if (!image.isNull() && m_previewLabel) {
        m_previewLabel->setPixmap(QPixmap::fromImage(image));
        // The preview now shows a texture, not one of the landscapes' height maps.
        m_previewKey = 1000;
    }
    if (blend) return;

    if (const GridSliders* g = grid) {
        // Setting a slider runs its update; the box may be gone afterwards.
        const ControlBox* b = m_boxes.at(i);
        if (b) setSlider(*b, g->columns, tags.columns);
        if ((b = m_boxes.at(i))) setSlider(*b, g->rows, tags.rows);
        if (g->animation) {
            if ((b = m_boxes.at(i))) setSlider(*b, "Animate Start RND", 0);
            if ((b = m_boxes.at(i))) setSlider(*b, "Animate End", tags.columns * tags.rows);
        }
    }

    int count = 0;
    const verdix::CompanionMap* maps = verdix::companionMaps(&count);
    for (int m = 0; m < count; ++m) {
        const QString companion = dirText + verdix::companionFileName(name, maps[m].marker);
        if (!QFileInfo(companion).isFile()) continue;
        // The node may have left the scene through an update the grid sliders ran.
        node = m_boxes.at(i) && m_boxes[i].groupBox ? dzScene->findNodeByLabel(m_boxes[i].groupBox->title()) : nullptr;
        if (!node) return;
        const QString prop = QString::fromLatin1(maps[m].property);
        processMaterials(node, MaterialName, prop, companion);
        if (maps[m].hasValue) processMaterialsDouble(node, MaterialName, prop, maps[m].value);
    }
}

void ZPK_VerdixPane::processMaterials(DzNode* node, QString matName, QString propName, QString texturePath)
{
    const QString path = verdix::resolveTexturePath(texturePath, VerdixAssets::textureRoot());
    const QString refused =
        verdix::setMaterialTexture(node, matName, propName, path, [this](const QString& m) { setStatus(m); });
    if (!refused.isEmpty()) {
        setStatus("Error: " + refused);
        errorBox(refused);
    }
}

void ZPK_VerdixPane::processMaterialsDouble(DzNode* node, QString matName, QString propName, double dValue)
{
    verdix::setMaterialValue(node, matName, propName, dValue);
}
