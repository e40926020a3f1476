#include <gtest/gtest.h>

#include "fuzz/recordcheck.h"
#include "recordtestsupport.h"

using namespace verdix;

namespace {

QString seedRecord(int type)
{
    BoxSnapshot s = defaultSnapshot(type, setRecordHeader(type));
    s.hasPosition = true;
    s.position = DzVec3(1.5f, 2.5f, 3.5f);
    for (int m = 0; m < 3; ++m)
        s.materials.append({QString("M%1").arg(m), {{MaterialProperty::Double, "Glossiness", 0.5, {}},
                                                    {MaterialProperty::Path, "Diffuse Color", 0, "C:\\t\\x.png"}}});
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
            // In range, finite, and what was read writes out and reads back to the same values;
            // a failed check there aborts the run with its message, as in the fuzz targets.
            fuzz::readChecked(text, t);
            const RecordRead r = readRecord(text, t);
            ASSERT_TRUE(!r.hasPosition || type == TypeLandscape);
            ASSERT_LE(r.materials.size(), 10);
            for (const MaterialRecord& m : r.materials) ASSERT_LE(m.properties.size(), 100);
        }
    }
}

