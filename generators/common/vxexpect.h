#pragma once
// What a caller must guarantee at a core's entry point (index ranges, buffer and mesh sizes),
// checked in debug builds: a broken promise stops there with the condition and its place,
// not later in a write past an array. Release builds compile the checks out.
#ifdef NDEBUG
#define VX_EXPECT(condition, what) ((void)0)
#else
#include <cstdio>
#include <cstdlib>
[[noreturn]] inline void vxExpectFailed(const char* condition, const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: %s (%s)\n", file, line, what, condition);
    std::abort();
}
#define VX_EXPECT(condition, what) ((condition) ? (void)0 : vxExpectFailed(#condition, what, __FILE__, __LINE__))
#endif
