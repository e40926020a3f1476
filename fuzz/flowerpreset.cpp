// A flower preset file ("FlowerV1,..."), as the flower box's preset list and open button read
// it. Input: the file's bytes.
#include "presetcheck.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::checkPreset(data, size, TypeFlower, "FlowerV1");
    return 0;
}
