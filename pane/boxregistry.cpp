#include "pane/boxregistry.h"
#include "pane/slidersets.h"
#include "animation/billboardbox.h"
#include "objects/stonesbox.h"
#include "vegetation/flowerbox.h"
#include "vegetation/grassbox.h"
#include "vegetation/treebox.h"

using VerdixAssets::Folder;

namespace {

template <class P, const SliderFields<P>& (*fields)()>
std::vector<BoundSliderRange> rangesOf()
{
    std::vector<BoundSliderRange> out;
    for (const SliderField<P>& f : fields()) out.push_back({f.name, f.occurrence, f.min, f.max});
    return out;
}

const std::vector<BoxTypeEntry>& registry()
{
    const QColor white(255, 255, 255, 255);
    const QColor grass(250, 255, 240, 255);
    const double none = -1.0;
    // A reserved type: a box with its header only, no node, no generator.
    auto reserved = [](int code, const char* title, const char* label, const char* icon) {
        return BoxTypeEntry{code,    title,   label,   icon,  nullptr,        nullptr, nullptr, nullptr,
                            nullptr, false,   false,   false, TickCall::None, nullptr, {},      {},
                            {},      nullptr, nullptr, false, nullptr,        nullptr};
    };
    // One row per type, laid out by hand.
    // clang-format off
    static const std::vector<BoxTypeEntry> table = {
        {TypeLandscape, "LandscapeV1.0", "(%1) LandscapeV1.0", "LandscapeV1.png", "land", nullptr, "Added landscape",
         "Button_CreateLandscape", "UpdateLandScape", false, false, false, TickCall::None, nullptr,
         {{"Landscape", white, 0x151515, none}}, {},
         {{"Ground_A.png", Folder::LandscapeGround},
          {"River_A.png", Folder::LandscapeRiver},
          {"Hill_A.png", Folder::LandscapeHill},
          {"Flat_Round_A.png", Folder::LandscapeFlat},
          {"Path_A.jpg", Folder::LandscapePath}},
         nullptr, nullptr, false, nullptr, nullptr},
        // The rock makes its own box on the selected landscape; its tick steps the rocks.
        {TypeRock, "RocksV1.0", "(%1) RockV1.0", "GrowRock.png", "rock", nullptr, nullptr, "Button_CreateRock",
         nullptr, false, false, false, TickCall::MappingStep, "ObjectMapping_Animation", {}, {}, {}, nullptr,
         nullptr, false, nullptr, nullptr},
        {TypeGrass, "GrassV1.0", "(%1) GrassV1.0", "GrassV1.png", "grass", "Added grass to %1 ", "Added grass",
         "Button_CreateGrass", "UpdateGrass", true, true, true, TickCall::BoxSlot, "UpdateGrass",
         {{"Grass", grass, 0x202020, 0.3}}, {}, {}, nullptr, nullptr, false,
         &rangesOf<GrassParams, grassSliderFields>, &GrassBox::make},
        reserved(TypeBush, "BushV1.0", "(%1) BushV1.0", "GrowBush.png"),
        {TypeTree, "TreeV1.0", "(%1) TreeV1.0", "TreeV1.png", "tree", "Added tree to %1 ", "Added tree",
         "Button_CreateTree", "UpdateTree", true, true, true, TickCall::BoxSlotIndex, "Button_AnimatePolyTree",
         {{"Trunk", white, 0x151515, none},
          {"Stem", white, 0x151515, none},
          {"Leaf", white, 0x151515, 0.4},
          {"Fruit", white, 0xA0A0A0, none}},
         {}, {{"default.png", Folder::ShapesTree}}, "Verdix_Presets_Tree", "TreeV1", true,
         &rangesOf<TreeParams, treeSliderFields>, &TreeBox::make},
        reserved(TypeIvy, "IvyV1.0", "(%1) IvyV1.0", "GrowIvy.png"),
        reserved(TypeWeed, "WeedV1.0", "(%1) WeedV1.0", "GrowWeed.png"),
        // Flowers share the tree's asset id.
        {TypeFlower, "FlowerV1.0", "(%1) FlowerV1.0", "FlowerV1.png", "tree", "Added flowers to %1 ", "Added flowers",
         "Button_CreateFlower", "UpdateFlower", true, true, true, TickCall::BoxSlot, "Button_AnimateFlower",
         {{"Stem", white, 0x151515, none},
          {"PetalIn", white, 0x151515, none},
          {"PetalOut", white, 0x151515, none},
          {"Leaf", white, 0x151515, none},
          {"Pistil", white, 0x151515, none}},
         {"Stem", "Leaf", "PetalOut", "PetalIn", "Pistil"}, {}, "Verdix_Presets_Flower", "FlowerV1", false,
         &rangesOf<FlowerParams, flowerSliderFields>, &FlowerBox::make},
        reserved(TypeMushroom, "MushroomV1.0", "(%1) MushroomV1.0", "GrowMushroom.png"),
        reserved(TypeCrystals, "CrystalsV1.0", "(%1) CrystalsV1.0", "GrowCrystals.png"),
        reserved(TypeParticles, nullptr, "(%1) ParticlesV1.0", nullptr),
        {TypeBillboard, "BillboardV1.0", "(%1) BillboardV1.0", "BillboardV1.png", "billboard",
         "Added Billboard to %1 ", "Added Billboard", "Button_CreateBillboard", "UpdateBillboard", true, false, true,
         TickCall::BoxSlot, "UpdateBillboard", {{"Billboard", white, 0x000000, 1.0}}, {}, {}, nullptr, nullptr,
         false, &rangesOf<BillboardParams, billboardSliderFields>, &BillboardBox::make},
        {TypeStones, "StonesV1.0", "(%1) StonesV1.0", "StonesV1.png", "stones", "Added stones to %1 ", "Added stones",
         "Button_CreateStones", "UpdateStones", true, true, true, TickCall::BoxSlot, "UpdateStones",
         {{"Stones", white, none, none}, {"Grass", grass, none, none}}, {}, {}, nullptr, nullptr, true,
         &rangesOf<StonesParams, stonesSliderFields>, &StonesBox::make},
    };
    // clang-format on
    return table;
}

QString indexDigits(int index) { return QString("%1").arg(index, 4, 10, QChar('0')); }

}  // namespace

const verdix::TypeLayout& BoxTypeEntry::layout() const { return verdix::layoutFor(code); }

const BoxTypeEntry* typeInfo(int type)
{
    if (type < kFirstType || type > kLastType) return nullptr;
    const BoxTypeEntry* e = &registry()[size_t(type - kFirstType)];
    Q_ASSERT(e->code == type);
    return e;
}

QString wrongTypeMessage(int type)
{
    const BoxTypeEntry* t = typeInfo(type);
    QString word = t && t->titleWord ? QString::fromLatin1(t->titleWord) : QStringLiteral("box");
    const int version = word.indexOf(QLatin1String("V1.0"));
    if (version > 0) word.truncate(version);
    return QStringLiteral("Not a %1 object!").arg(word.toLower());
}

QString typeLabel(int type, int index)
{
    const BoxTypeEntry* t = typeInfo(type);
    if (!t) return QStringLiteral("Error: Label");
    return QString::fromLatin1(t->labelWord).arg(indexDigits(index));
}

QString newBoxTitle(int type, int index)
{
    const BoxTypeEntry* t = typeInfo(type);
    if (!t || !t->titleWord) return QString();
    return QString("(%1) %2").arg(indexDigits(index), QString::fromLatin1(t->titleWord));
}

std::vector<VerdixMaterialSpec> typeMaterials(int type)
{
    const BoxTypeEntry* t = typeInfo(type);
    return t ? t->materials : std::vector<VerdixMaterialSpec>();
}

QStringList typeMaterialCreationOrder(int type)
{
    QStringList out;
    if (const BoxTypeEntry* t = typeInfo(type))
        for (const char* name : t->materialCreationOrder) out << QString::fromLatin1(name);
    return out;
}
