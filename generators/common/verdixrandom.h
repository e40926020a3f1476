#pragma once
// The plug-in's random generator: a linear congruential generator whose state lives per
// thread, so a generator pass in a background task draws exactly the sequence it draws on
// the main thread. Never use the C library's rand(): its sequence differs by platform.
#include <cstdint>

inline std::uint32_t& vxRandState()
{
    static thread_local std::uint32_t state = 1u;
    return state;
}

inline void vxSrand(unsigned seed) { vxRandState() = std::uint32_t(seed); }

// 0..32767
inline int vxRand()
{
    std::uint32_t& s = vxRandState();
    s = s * 214013u + 2531011u;
    return int((s >> 16) & 0x7FFFu);
}

// A generator of its own: the one a generator core draws from. The core seeds it at the
// start of every pass and leaves it where the pass ended; the caller owns it, so passes on
// different threads (or boxes) never share a state.
struct VxRandomStream
{
    std::uint32_t state = 1u;
    VxRandomStream() = default;
    explicit VxRandomStream(std::uint32_t s) : state(s) {}
    void seed(std::uint32_t s) { state = s; }
    int next()
    {
        state = state * 214013u + 2531011u;
        return int((state >> 16) & 0x7FFFu);
    }
};
