#include "bridges/korgmap.h"
#include <QStringList>
#include <algorithm>
#include <map>
#include "animation/taskring.h"
#include "pane/controlbox.h"

namespace verdix {

namespace {

// The controller's factory layout: eight strips of fader, knob, S and M button.
constexpr int kFaders = 0, kKnobs = 16, kSButtons = 32, kMButtons = 48;

using Map = std::map<int, KorgAction>;

// Consecutive controls from first on, one slider each.
void group(Map& m, int first, KorgOp op, const QStringList& sliders)
{
    for (int k = 0; k < sliders.size(); ++k) m[first + k] = KorgAction{op, sliders[k], -1, 0};
}

// Consecutive controls from first on, each setting its slider to its own value.
void defaults(Map& m, int first, const QList<QPair<QString, int>>& sliders)
{
    for (int k = 0; k < sliders.size(); ++k)
        m[first + k] = KorgAction{KorgOp::Default, sliders[k].first, -1, sliders[k].second};
}

void one(Map& m, int cc, KorgOp op, const QString& slider, int value = 0) { m[cc] = KorgAction{op, slider, -1, value}; }

Map grassMap()
{
    Map m;
    group(m, kFaders, KorgOp::Set,
          {"Ring", "Area size Z", "Full off Z", "Clump RND", "Height RND", "Bend RND", "Thick RND"});
    one(m, kFaders + 7, KorgOp::NegativeSet, "Move Z");
    group(m, kKnobs, KorgOp::Set,
          {"Shape", "Area size X", "Full off X", "Clump Min", "Height Min", "Bend Min", "Thick Min", "Move X"});
    defaults(m, kSButtons,
             {{"Shape", 1},
              {"Area size X", 100},
              {"Full off X", 0},
              {"Clump Min", 1},
              {"Height Min", 20},
              {"Bend Min", 500},
              {"Thick Min", 200},
              {"Move X", 0}});
    defaults(m, kMButtons,
             {{"Ring", 1},
              {"Area size Z", 100},
              {"Full off Z", 0},
              {"Clump RND", 7},
              {"Height RND", 40},
              {"Bend RND", 300},
              {"Thick RND", 250},
              {"Move Z", 0}});
    return m;
}

Map billboardMap()
{
    Map m;
    group(m, kFaders, KorgOp::Set, {"Ring", "Area size Z", "Full off Z", "Height RND", "Width RND"});
    one(m, kFaders + 7, KorgOp::NegativeSet, "Move Z");
    group(m, kKnobs, KorgOp::Set, {"Shape", "Area size X", "Full off X", "Height Min", "Width Min"});
    one(m, kKnobs + 7, KorgOp::Set, "Move X");
    defaults(m, kSButtons,
             {{"Shape", 100}, {"Area size X", 1000}, {"Full off X", 0}, {"Height Min", 100}, {"Width Min", 150}});
    one(m, kSButtons + 7, KorgOp::Default, "Move X", 0);
    defaults(m, kMButtons,
             {{"Ring", 1000}, {"Area size Z", 1000}, {"Full off Z", 0}, {"Height RND", 40}, {"Width RND", 250}});
    one(m, kMButtons + 7, KorgOp::Default, "Move Z", 0);
    return m;
}

Map landscapeMap()
{
    Map m;
    group(m, kFaders, KorgOp::Set, {"Land", "River", "Hill", "Flat", "Path", "User", "DeNoise", "Smooth"});
    for (int k = 0; k < 6; ++k) m[kKnobs + k] = KorgAction{KorgOp::ComboStep, QString(), k, 0};
    one(m, kKnobs + 6, KorgOp::Set, "DeNoise");
    one(m, kKnobs + 7, KorgOp::Set, "Smooth");
    group(m, kSButtons, KorgOp::Zero, {"Land", "River", "Hill", "Flat", "Path", "User"});
    one(m, kSButtons + 6, KorgOp::Default, "DeNoise", 0);
    one(m, kSButtons + 7, KorgOp::Default, "Smooth", 0);
    return m;
}

Map treeMap()
{
    Map m;
    one(m, kFaders, KorgOp::Set, "Trunk LOD");
    one(m, kFaders + 1, KorgOp::Set, "Trunk Smooth");
    one(m, kFaders + 7, KorgOp::Set, "Z");
    one(m, kKnobs, KorgOp::Set, "Trunk Sides");
    one(m, kKnobs + 1, KorgOp::Set, "Trunk Shape");
    one(m, kKnobs + 2, KorgOp::Set, "Trunk Flute");
    one(m, kKnobs + 7, KorgOp::Set, "X");
    return m;
}

Map flowerMap()
{
    Map m;
    const QStringList shape = {"A Shape", "A Ring", "A Rotate", "Area X", "Area Y", "A Sector Size", "A Sector Start"};
    group(m, kFaders, KorgOp::Set, shape);
    one(m, kFaders + 7, KorgOp::NegativeSet, "Z");
    group(m, kKnobs, KorgOp::Set, shape);
    one(m, kKnobs + 7, KorgOp::Set, "X");
    group(m, kSButtons, KorgOp::Zero, shape + QStringList{"X"});
    one(m, kMButtons + 7, KorgOp::Zero, "Z");
    return m;
}

Map stonesMap()
{
    Map m;
    const QStringList shape = {"A Shape", "A Ring", "A Sector Size", "A Sector Start"};
    group(m, kFaders, KorgOp::Set, shape);
    one(m, kFaders + 7, KorgOp::NegativeSet, "Move Z");
    group(m, kKnobs, KorgOp::Set, shape);
    one(m, kKnobs + 7, KorgOp::Set, "Move X");
    group(m, kSButtons, KorgOp::Zero, shape);
    one(m, kSButtons + 7, KorgOp::Zero, "Move X");
    one(m, kMButtons + 7, KorgOp::Zero, "Move Z");
    return m;
}

const Map& mapOf(int type)
{
    static const Map none;
    static const Map grass = grassMap(), billboard = billboardMap(), landscape = landscapeMap(), tree = treeMap(),
                     flower = flowerMap(), stones = stonesMap();
    switch (type) {
    case TypeGrass:
        return grass;
    case TypeBillboard:
        return billboard;
    case TypeLandscape:
        return landscape;
    case TypeTree:
        return tree;
    case TypeFlower:
        return flower;
    case TypeStones:
        return stones;
    default:
        return none;
    }
}

}  // namespace

KorgMessage decodeKorgMessage(int in)
{
    const unsigned u = unsigned(in);
    KorgMessage m;
    m.status = int(u & 0xFFu);
    m.cc = int((u >> 8) & 0xFFu);
    // A data byte has seven bits; a script may hand anything.
    m.value = std::min(127, int((u >> 16) & 0xFFu));
    return m;
}

int packKorgMessage(int status, int cc, int value)
{
    return int((unsigned(status) & 0xFFu) | ((unsigned(cc) & 0xFFu) << 8) | ((unsigned(value) & 0xFFu) << 16));
}

KorgAction korgAction(int type, int cc)
{
    const Map& m = mapOf(type);
    const auto it = m.find(cc);
    return it == m.end() ? KorgAction() : it->second;
}

std::vector<std::pair<int, KorgAction>> korgMap(int type)
{
    const Map& m = mapOf(type);
    return std::vector<std::pair<int, KorgAction>>(m.begin(), m.end());
}

int korgSetValue(int min, int max, int v) { return int(lerpA(float(min), float(max), float(v / 127.0))); }

int korgNegativeValue(int min, int max, int v) { return int(-lerpA(float(min), float(max), float(v / 127.0))); }

int korgZeroValue(int min, int max) { return max + min; }

int korgComboIndex(int count, int v)
{
    const int index = int(v / 127.0 * (count - 1) + 1);
    return index < count ? index : -1;
}

QStringList korgConnectScript()
{
    return {QString("var Send=%1; /*Send to plugin*/").arg(kKorgStartSending),
            QString("var oPaneMgr=MainWindow.getPaneMgr(); var myPane=oPaneMgr.findPane(\"ZPK_KorgPane\"); "
                    "if(myPane){myPane.KorgScriptInput(Send);}")};
}

}  // namespace verdix
