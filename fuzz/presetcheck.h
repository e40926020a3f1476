#pragma once
// A tree or flower preset file as the pane opens it: its first line judged, read into a box
// of the type, and the accepted ones written back and read again to the same values.
#include "recordcheck.h"

namespace fuzz {

inline void checkPreset(const uint8_t* data, size_t size, int type, const char* header)
{
    using namespace verdix;
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), int(size));
    QString line = text.section(QLatin1Char('\n'), 0, 0);
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    const QString fault = presetFault(line, type, QLatin1String(header));
    ReadTarget t = targetFor(type, true, true);
    t.header = QLatin1String(header);
    const RecordRead r = readRecord(line, t);
    checkRead(r, t);
    if (!fault.isEmpty()) return;
    // What is accepted is read whole: nothing of it is left to defaults in silence.
    FUZZ_CHECK(r.status == ReadStatus::Complete, "an accepted preset does not read complete");
    readChecked(line, t);
}

}  // namespace fuzz
