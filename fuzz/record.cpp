// The box text record: one record read into a box of each kind that has records.
// Input: one byte choosing the box type and whether it has a node and reads a preset, then
// the record as 8-bit text (as the files are read).
#include "recordcheck.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace verdix;
    if (size < 1) return 0;
    static const int kTypes[] = {TypeLandscape, TypeGrass, TypeTree, TypeFlower, TypeStones, TypeBillboard};
    const uint8_t pick = data[0];
    const int type = kTypes[(pick & 0x0F) % 6];
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data + 1), int(size - 1));
    fuzz::readChecked(text, fuzz::targetFor(type, pick & 0x10, pick & 0x20));
    return 0;
}
