#include "pane/controlbox.h"
#include <utility>
#include <dzintslider.h>
#include "pane/slidersets.h"

namespace {

const VerdixTypeInfo kTypes[] = {
    {TypeLandscape, "LandscapeV1.0", "(%1) LandscapeV1.0", "LandscapeV1.png", "land", nullptr, "Added landscape"},
    {TypeRock, "RocksV1.0", "(%1) RockV1.0", "GrowRock.png", "rock", nullptr, nullptr},
    {TypeGrass, "GrassV1.0", "(%1) GrassV1.0", "GrassV1.png", "grass", "Added grass to %1 ", "Added grass"},
    {TypeBush, "BushV1.0", "(%1) BushV1.0", "GrowBush.png", nullptr, nullptr, nullptr},
    {TypeTree, "TreeV1.0", "(%1) TreeV1.0", "TreeV1.png", "tree", "Added tree to %1 ", "Added tree"},
    {TypeIvy, "IvyV1.0", "(%1) IvyV1.0", "GrowIvy.png", nullptr, nullptr, nullptr},
    {TypeWeed, "WeedV1.0", "(%1) WeedV1.0", "GrowWeed.png", nullptr, nullptr, nullptr},
    // Flowers share the tree's asset id.
    {TypeFlower, "FlowerV1.0", "(%1) FlowerV1.0", "FlowerV1.png", "tree", "Added flowers to %1 ", "Added flowers"},
    {TypeMushroom, "MushroomV1.0", "(%1) MushroomV1.0", "GrowMushroom.png", nullptr, nullptr, nullptr},
    {TypeCrystals, "CrystalsV1.0", "(%1) CrystalsV1.0", "GrowCrystals.png", nullptr, nullptr, nullptr},
    {TypeParticles, nullptr, "(%1) ParticlesV1.0", nullptr, nullptr, nullptr, nullptr},
    {TypeBillboard, "BillboardV1.0", "(%1) BillboardV1.0", "BillboardV1.png", "billboard", "Added Billboard to %1 ",
     "Added Billboard"},
    {TypeStones, "StonesV1.0", "(%1) StonesV1.0", "StonesV1.png", "stones", "Added stones to %1 ", "Added stones"},
};

QString indexDigits(int index) { return QString("%1").arg(index, 4, 10, QChar('0')); }

}  // namespace

const VerdixTypeInfo* typeInfo(int type)
{
    if (type < kFirstType || type > kLastType) return nullptr;
    return &kTypes[type - kFirstType];
}

QString typeLabel(int type, int index)
{
    const VerdixTypeInfo* t = typeInfo(type);
    if (!t) return QStringLiteral("Error: Label");
    return QString::fromLatin1(t->labelWord).arg(indexDigits(index));
}

QString newBoxTitle(int type, int index)
{
    const VerdixTypeInfo* t = typeInfo(type);
    if (!t || !t->titleWord) return QString();
    return QString("(%1) %2").arg(indexDigits(index), QString::fromLatin1(t->titleWord));
}

std::vector<VerdixMaterialSpec> typeMaterials(int type)
{
    const QColor white(255, 255, 255, 255);
    const QColor grass(250, 255, 240, 255);
    const double none = -1.0;
    switch (type) {
    case TypeLandscape:
        return {{"Landscape", white, 0x151515, none}};
    case TypeGrass:
        return {{"Grass", grass, 0x202020, 0.3}};
    case TypeStones:
        return {{"Stones", white, none, none}, {"Grass", grass, none, none}};
    case TypeTree:
        return {{"Trunk", white, 0x151515, none},
                {"Stem", white, 0x151515, none},
                {"Leaf", white, 0x151515, 0.4},
                {"Fruit", white, 0xA0A0A0, none}};
    case TypeFlower:
        return {{"Stem", white, 0x151515, none},
                {"PetalIn", white, 0x151515, none},
                {"PetalOut", white, 0x151515, none},
                {"Leaf", white, 0x151515, none},
                {"Pistil", white, 0x151515, none}};
    case TypeBillboard:
        return {{"Billboard", white, 0x000000, 1.0}};
    default:
        return {};
    }
}

QStringList typeMaterialCreationOrder(int type)
{
    if (type == TypeFlower) return {"Stem", "Leaf", "PetalOut", "PetalIn", "Pistil"};
    return {};
}

QStringList typeSliderNames(int type)
{
    QStringList names;
    for (const verdix::SliderDef& d : verdix::layoutFor(type).sliders) names << QString::fromLatin1(d.name);
    return names;
}

DzIntSlider* ControlBox::slider(const QString& name, int occurrence) const
{
    const QStringList names = typeSliderNames(type);
    int seen = 0;
    for (int k = 0; k < names.size() && size_t(k) < sliders.size(); ++k) {
        if (names.at(k) != name) continue;
        if (seen++ == occurrence) return sliders[size_t(k)];
    }
    return nullptr;
}

QComboBox* ControlBox::combo(char letter) const
{
    const int k = letter - 'A';
    return (k >= 0 && k < kComboSlots) ? combos[size_t(k)] : nullptr;
}

void ControlBox::setCombo(char letter, QComboBox* c)
{
    const int k = letter - 'A';
    if (k >= 0 && k < kComboSlots) combos[size_t(k)] = c;
}

void ControlBox::releaseBuffers()
{
    std::vector<std::vector<float>>().swap(heightFields);
    for (HeightMapBytes& m : heightMaps) m = HeightMapBytes();
    std::vector<float>().swap(userMap);
    userMapBytes = 0;
    mapSize = 0;
    std::vector<float>().swap(heightField);
    heightFieldLength = 0;
    std::vector<float>().swap(groundHeights);
}

int ControlBoxTable::append(int type)
{
    if (isFull()) return -1;
    const int i = m_count++;
    m_boxes[size_t(i)] = ControlBox();
    m_boxes[size_t(i)].type = type;
    return i;
}

void ControlBoxTable::removeAt(int k)
{
    if (k < 0 || k >= m_count) return;
    for (int j = k; j + 1 < m_count; ++j) m_boxes[size_t(j)] = std::move(m_boxes[size_t(j + 1)]);
    --m_count;
    m_boxes[size_t(m_count)] = ControlBox();
    for (int j = 0; j < m_count; ++j) {
        int& land = m_boxes[size_t(j)].landscapeIndex;
        if (land > k) --land;
        else if (land == k) land = 0;
    }
}

void ControlBoxTable::clear()
{
    for (int j = 0; j < m_count; ++j) m_boxes[size_t(j)] = ControlBox();
    m_count = 0;
}
