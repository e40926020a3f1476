// The set document: split into lines, every box record read into a box of its type, the
// landscape list resolved, and the whole written back and split again to the same boxes.
// Input: the document as 8-bit text.
#include "recordcheck.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace verdix;
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), int(size));
    const SetDocument doc = splitSetDocument(text);
    if (doc.empty) FUZZ_CHECK(doc.lines.isEmpty(), "an empty document has lines");
    const QVector<int> types = doc.boxTypes();
    FUZZ_CHECK(types.size() == doc.boxLines(), "box types and box lines disagree");
    FUZZ_CHECK(doc.landscapeList.size() <= kMaxBoxes, "landscape list longer than the pane holds");

    QStringList records;
    QVector<int> landscapes, recordTypes;
    const int boxCount = int(types.size());
    for (const SetDocumentLine& line : doc.lines) {
        if (line.kind != SetDocumentLine::Box) continue;
        FUZZ_CHECK(line.type >= TypeLandscape && line.type <= TypeStones, "box line of no known type");
        if (layoutFor(line.type).hasRecord()) {
            records.append(writeRecord(fuzz::readChecked(line.text, fuzz::targetFor(line.type, true, false))));
            recordTypes.append(line.type);
        }
        const int i = landscapes.size();
        const int v = doc.landscapeList.value(i, 0);
        const int r = resolveLandscapeEntry(v, line.type == TypeLandscape, 0, 0, boxCount);
        FUZZ_CHECK(r >= 0 && r < qMax(1, boxCount), "landscape entry names no box");
        landscapes.append(r);
    }
    if (records.isEmpty()) return 0;
    const SetDocument again = splitSetDocument(joinSetDocument(records, landscapes));
    FUZZ_CHECK(again.boxTypes() == recordTypes, "a written document splits into other boxes");
    return 0;
}
