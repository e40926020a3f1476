// A tree preset file ("TreeV1,..."), as the tree box's preset list and open button read it.
// Input: the file's bytes.
#include "presetcheck.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::checkPreset(data, size, TypeTree, "TreeV1");
    return 0;
}
