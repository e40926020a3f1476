#pragma once
// Reads a box's sliders into a generator's parameters through the generator's own binding
// table (generators/common/sliderbinding.h): the table the core clamps with is the one read here.
#include <QString>
#include <vector>
#include <dzintslider.h>
#include "pane/controlbox.h"
#include "pane/slidersets.h"
#include "common/sliderbinding.h"

template <class P>
class BoundSliders
{
public:
    // The slider positions are looked up once: ticks read every slider of every animated
    // box, and a look-up by name walks the type's whole slider list.
    BoundSliders(int type, const SliderFields<P>& fields) : m_fields(fields)
    {
        for (const SliderField<P>& f : fields)
            m_positions.push_back(verdix::sliderIndex(type, QString::fromLatin1(f.name), f.occurrence));
    }

    // The box's slider of field k; null when the box has none.
    const DzIntSlider* slider(const ControlBox& box, size_t k) const
    {
        Q_ASSERT(k < m_positions.size());
        const int at = m_positions[k];
        return at >= 0 && size_t(at) < box.sliders.size() ? box.sliders[size_t(at)] : nullptr;
    }

    // Sets every field whose slider the box has; the others keep their value.
    void read(const ControlBox& box, P& p) const
    {
        for (size_t k = 0; k < m_fields.size(); ++k)
            if (const DzIntSlider* s = slider(box, k)) p.*m_fields[k].member = s->value();
    }

    // The position of the field of member in the table; -1 when it is not bound.
    int fieldOf(int P::*member) const
    {
        for (size_t k = 0; k < m_fields.size(); ++k)
            if (m_fields[k].member == member) return int(k);
        return -1;
    }

private:
    const SliderFields<P>& m_fields;
    std::vector<int> m_positions;
};

// The state of a generator whose snapshot is its bound sliders, the pane's wind sliders,
// the animation phase and the LOD flag.
template <class G, int Type, class P, const SliderFields<P>& (*fields)()>
class WindSnapshotBox : public GeneratorBoxOf<G, Type>
{
public:
    P params;

    void capture(const PaneInputs& in, const ControlBox& box, int i) override
    {
        static const BoundSliders<P> bound(Type, fields());
        P p;
        bound.read(box, p);
        if (in.hasWindStrength) p.WindStrength1 = in.windStrength;
        if (in.hasWindSpeed) p.WindSpeed = in.windSpeed;
        if (in.hasWindSpeed2) p.WindSpeed2 = in.windSpeed2;
        p.phase = in.phase;
        p.lowLOD = in.lowLOD;
        params = p;
    }
};
