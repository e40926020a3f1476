#include <gtest/gtest.h>

#include <cmath>

#include "recordtestsupport.h"

using namespace verdix;

namespace {

QString seedRecord(int type)
{
    BoxSnapshot s = defaultSnapshot(type, setRecordHeader(type));
    s.hasPosition = true;
    s.position = DzVec3(1.5f, 2.5f, 3.5f);
    for (int m = 0; m < 3; ++m) {
        MaterialRecord r{QString("M%1").arg(m), {}};
        r.properties.append({MaterialProperty::Double, "Glossiness", 0.5, {}});
        r.properties.append({MaterialProperty::Path, "Diffuse Color", 0, "C:\\t\\x.png"});
        s.materials.append(r);
    }
    return writeRecord(s);
}

const char* const kOdd[] = {";", "+", "Materials", "Double", "Path", "", "nan", "inf", "-inf", "1e400",
                            "99999999999999999999", "-2147483649", "0x10", "\n", "\xff", "  7  "};

QString mutate(const QString& in, Lcg& rng)
{
    QStringList f = in.split(',');
    const int rounds = 1 + rng.below(4);
    for (int r = 0; r < rounds && !f.isEmpty(); ++r) {
        const int i = rng.below(f.size());
        switch (rng.below(7)) {
        case 0: f = f.mid(0, i); break;                                   // truncate
        case 1: f.swapItemsAt(i, rng.below(f.size())); break;             // swap fields
        case 2: f[i] = QLatin1String(kOdd[rng.below(int(sizeof kOdd / sizeof *kOdd))]); break;
        case 3: f.removeAt(i); break;
        case 4: f.insert(i, QLatin1String(kOdd[rng.below(int(sizeof kOdd / sizeof *kOdd))])); break;
        case 5: {                                                          // random bytes
            QString junk;
            for (int k = rng.below(20); k > 0; --k) junk += QChar(ushort(rng.below(0x3000)));
            f[i] = junk;
            break;
        }
        default: f[i] = QString::number(qint64(rng.next()) * rng.next() * rng.next() - 1000000); break;
        }
    }
    QString out = f.join(',');
    if (rng.below(5) == 0) out.truncate(rng.below(out.size() + 1));
    return out;
}

void expectSane(const RecordRead& r, const ReadTarget& t)
{
    const TypeLayout& l = layoutFor(t.type);
    ASSERT_EQ(r.sliders.size(), l.recordSliderCount());
    for (int p = 0; p < r.sliders.size(); ++p) {
        if (!r.sliderSet[p]) continue;
        const SliderDef& s = l.sliders[l.sliderAtRecordPosition(p)];
        ASSERT_GE(r.sliders[p], s.min) << s.name;
        ASSERT_LE(r.sliders[p], s.max) << s.name;
        if (t.isPresets) {
            ASSERT_FALSE(s.position);
        }
    }
    for (int c = 0; c < r.comboIndex.size(); ++c) {
        ASSERT_LT(r.comboIndex[c], t.comboItems[c].size());
    }
    if (r.hasPosition) {
        ASSERT_TRUE(std::isfinite(r.position.x()) && std::isfinite(r.position.y()) && std::isfinite(r.position.z()));
        ASSERT_EQ(t.type, TypeLandscape);
    }
    if (!t.hasNode) {
        ASSERT_FALSE(r.materialsRead || r.hasPosition);
    }
    ASSERT_LE(r.materials.size(), 10);
    for (const MaterialRecord& m : r.materials) {
        ASSERT_LE(m.properties.size(), 100);
        for (const MaterialProperty& p : m.properties) {
            ASSERT_TRUE(std::isfinite(p.value));
        }
    }
    if (!r.ok()) {
        ASSERT_EQ(r.appliedSliderCount(), 0);
    }
}

} // namespace

TEST(Fuzz, MutatedRecordsNeverApplyOutOfRangeValues)
{
    Lcg rng{2018};
    for (int type : kRecorded) {
        const QString seed = seedRecord(type);
        for (int i = 0; i < 1500; ++i) {
            ReadTarget t = targetFor(type, rng.below(2) == 0);
            t.isPresets = rng.below(3) == 0;
            const QString text = mutate(seed, rng);
            const RecordRead r = readRecord(text, t);
            expectSane(r, t);
            BoxSnapshot snap = defaultSnapshot(type, t.header);
            applyRead(r, t, snap);
            ASSERT_EQ(snap.sliders.size(), layoutFor(type).recordSliderCount());
            // What was read writes out and reads back to the same values.
            if (r.ok()) {
                const RecordRead again = readRecord(writeRecord(snap), t);
                ASSERT_EQ(again.status, ReadStatus::Complete);
                BoxSnapshot snap2 = defaultSnapshot(type, t.header);
                applyRead(again, t, snap2);
                ASSERT_EQ(snap2.sliders, snap.sliders);
            }
        }
    }
}

