#pragma once
// What the record tests share: a small seeded generator and the combo lists a box offers.
#include "pane/slidersets.h"
#include "persistence/boxrecord.h"

namespace verdix {

struct Lcg
{
    quint32 state;
    int next()
    {
        state = state * 214013u + 2531011u;
        return int((state >> 16) & 0x7FFF);
    }
    int range(int lo, int hi) { return lo + int((qint64(next()) << 15 | next()) % (qint64(hi) - lo + 1)); }
};

const int kRecorded[] = {TypeLandscape, TypeGrass, TypeTree, TypeFlower, TypeStones, TypeBillboard};

inline ReadTarget targetFor(int type)
{
    ReadTarget t;
    t.type = type;
    t.header = setRecordHeader(type);
    t.hasNode = true;
    const TypeLayout& l = layoutFor(type);
    for (int c : l.recordCombos)
        t.comboItems.append({QLatin1String(l.combos[c].placeholder), "Ground_A.png", "Hill B.jpg", "x_4X_X2.png"});
    return t;
}

}  // namespace verdix
