#pragma once
// A generator's slider bindings: each integer parameter with the box slider it is read from
// and the range the core clamps it to. The pane reads the sliders through the same table the
// core clamps with, so a parameter cannot be read from one slider and clamped as another;
// a test ties every range to its slider's own.
#include <vector>

template <class P>
struct SliderField
{
    const char* name;  // the slider's display name
    int P::*member;
    int min, max;        // inclusive
    int occurrence = 0;  // names repeat within a tree box: 0 is the first slider of the name
};

template <class P>
using SliderFields = std::vector<SliderField<P>>;

// Forces every bound field of q into its range.
template <class P>
void clampFields(P& q, const SliderFields<P>& fields)
{
    for (const SliderField<P>& f : fields) {
        int& v = q.*f.member;
        v = v < f.min ? f.min : (v > f.max ? f.max : v);
    }
}
