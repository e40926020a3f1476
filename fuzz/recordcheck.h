#pragma once
// What every read of a box record must give, whatever the text: values inside their
// sliders' ranges, combo choices inside their lists, finite numbers, and a snapshot that
// writes out and reads back to the same values.
#include <cmath>

#include "fuzzsupport.h"
#include "pane/slidersets.h"
#include "persistence/boxrecord.h"

namespace fuzz {

inline verdix::ReadTarget targetFor(int type, bool node, bool presets)
{
    verdix::ReadTarget t;
    t.type = type;
    t.header = verdix::setRecordHeader(type);
    t.hasNode = node;
    t.isPresets = presets;
    const verdix::TypeLayout& l = verdix::layoutFor(type);
    for (int c : l.recordCombos) t.comboItems.append({QLatin1String(l.combos[c].placeholder), "a.png", "b.png"});
    return t;
}

inline void checkRead(const verdix::RecordRead& r, const verdix::ReadTarget& t)
{
    using namespace verdix;
    const TypeLayout& l = layoutFor(t.type);
    FUZZ_CHECK(r.sliders.size() == l.recordSliderCount() && r.sliderSet.size() == r.sliders.size(),
               "one slider entry per record position");
    for (int p = 0; p < r.sliders.size(); ++p) {
        if (!r.sliderSet[p]) continue;
        const SliderDef& s = l.sliders[l.sliderAtRecordPosition(p)];
        FUZZ_CHECK(r.sliders[p] >= s.min && r.sliders[p] <= s.max, "slider value outside its range");
        FUZZ_CHECK(!(t.isPresets && s.position), "a preset set a position slider");
    }
    for (int c = 0; c < r.comboIndex.size(); ++c)
        FUZZ_CHECK(r.comboIndex[c] < t.comboItems.value(c).size(), "combo choice outside its list");
    if (r.hasPosition)
        FUZZ_CHECK(std::isfinite(r.position.x()) && std::isfinite(r.position.y()) && std::isfinite(r.position.z()),
                   "non-finite position");
    if (!t.hasNode) FUZZ_CHECK(!r.materialsRead && !r.hasPosition, "materials or position without a node");
    for (const MaterialRecord& m : r.materials)
        for (const MaterialProperty& p : m.properties) FUZZ_CHECK(std::isfinite(p.value), "non-finite material value");
    if (!r.ok()) FUZZ_CHECK(r.appliedSliderCount() == 0, "a failed read applied sliders");
}

// Reads text into a default snapshot of t's type, checks it and its round trip.
inline verdix::BoxSnapshot readChecked(const QString& text, const verdix::ReadTarget& t)
{
    using namespace verdix;
    const RecordRead r = readRecord(text, t);
    checkRead(r, t);
    BoxSnapshot snap = defaultSnapshot(t.type, t.header);
    applyRead(r, t, snap);
    FUZZ_CHECK(snap.sliders.size() == layoutFor(t.type).recordSliderCount(), "snapshot lost sliders");
    if (r.ok()) {
        const RecordRead again = readRecord(writeRecord(snap), t);
        FUZZ_CHECK(again.status == ReadStatus::Complete, "a written record does not read back complete");
        BoxSnapshot snap2 = defaultSnapshot(t.type, t.header);
        applyRead(again, t, snap2);
        FUZZ_CHECK(snap2.sliders == snap.sliders, "a written record reads back other values");
    }
    return snap;
}

}  // namespace fuzz
