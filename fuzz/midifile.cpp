// A recorded controller session: a Standard MIDI File read as --midi-replay reads it. Every
// file is refused with one line of reason, or yields control changes in time order with
// finite times and values a controller can send, no more than a session may hold; reading
// it from a file gives the same.
// Input: the file's bytes.
#include <cmath>

#include "fuzzsupport.h"
#include "midireplay.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    QVector<TimedControlChange> changes;
    QString reason;
    const bool ok = parseControlChanges(bytes, &changes, &reason);

    if (!ok) {
        FUZZ_CHECK(changes.isEmpty(), "a refused file kept changes");
        FUZZ_CHECK(!reason.isEmpty() && !reason.contains(QLatin1Char('\n')), "a refusal is not one line");
        return 0;
    }
    // Through a file too (most inputs are refused above: the file costs more than the parse).
    const QString file = fuzzInputFile(".mid", data, size);
    QVector<TimedControlChange> fromFile;
    QString error;
    FUZZ_CHECK(readControlChanges(file, &fromFile, &error), qPrintable("the file reads differently: " + error));
    FUZZ_CHECK(fromFile.size() == changes.size(), "the file and its bytes hold different changes");
    FUZZ_CHECK(changes.size() <= kMaxMidiControlChanges, "more changes than a session may hold");
    double last = 0.0;
    for (const TimedControlChange& c : changes) {
        FUZZ_CHECK(std::isfinite(c.seconds) && c.seconds >= last, "times not finite or out of order");
        last = c.seconds;
        FUZZ_CHECK((c.status & 0xF0) == 0xB0 && (c.status & ~0xFF) == 0, "not a control change");
        FUZZ_CHECK(c.controller >= 0 && c.controller <= 127 && c.value >= 0 && c.value <= 127, "data past 7 bits");
    }
    return 0;
}
