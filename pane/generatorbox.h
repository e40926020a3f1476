#pragma once
// What a generator keeps for one box, behind one interface. The GUI thread reads the box's
// sliders and the pane-wide inputs into a snapshot (capture); the passes, on the GUI thread
// or on a worker of a task ring, read only that snapshot: they lay the mesh's topology and
// update its vertices (a tick is an update that keeps the caches). Each generated type has
// its own state class beside its adapter; the registry entry of the type makes it.
#include <QString>
#include <functional>
#include <memory>
#include <vector>
#include <dzmath.h>
#include "common/verdixrandom.h"

class DzFacetMesh;
class ZPK_VerdixPane;
struct ControlBox;
struct GroundSampler;
struct NodeMesh;

// The pane-wide inputs a snapshot takes beside the box's own sliders, read on the GUI thread.
struct PaneInputs
{
    // The wind sliders; absent (false) while the pane has not built them.
    bool hasWindStrength = false, hasWindSpeed = false, hasWindSpeed2 = false;
    int windStrength = 100, windSpeed = 100, windSpeed2 = 0;
    float phase = 0.f;
    int frame = 0;
    bool lowLOD = false;
    DzVec3 camera{0.f, 0.f, 0.f};
};

// A long pass's progress, shown on the GUI thread.
struct PassProgress
{
    virtual ~PassProgress() = default;
    virtual void begin(int maximum) = 0;
    virtual void step(int value) = 0;
    virtual void end() = 0;
};

// One pass over a box's mesh.
struct GeneratorPass
{
    DzFacetMesh& mesh;
    const GroundSampler& ground;
    ControlBox& box;
    bool resetCache;
    // The GUI thread's progress bar for long builds; null on workers.
    struct PassProgress* progress = nullptr;
    // Bytes of memory free, -1 when unknown; asked by builds that check their size first.
    const std::function<long long()>* freeMemory = nullptr;

    long long freeBytes() const { return freeMemory && *freeMemory ? (*freeMemory)() : -1; }
};

// What a pass tells the pane: a status line and an error (status line and message box).
struct PassReport
{
    QString status;
    QString error;
};

class GeneratorBox
{
public:
    virtual ~GeneratorBox() = default;
    // Copies move with their box (compaction, a cleared table).
    virtual std::unique_ptr<GeneratorBox> clone() const = 0;

    // GUI thread: the box's sliders and the pane's inputs into the snapshot. The pane sets
    // title, landscape and ready around it.
    virtual void capture(const PaneInputs& in, const ControlBox& box, int i) = 0;
    // GUI thread, after capture: state only the pane can read (files, dialogs).
    virtual void captureFromPane(ZPK_VerdixPane& pane, int i) {}

    // False while the snapshot must not be passed over the mesh (a refused build).
    virtual bool passable() const { return true; }
    // The status line when the box's mesh is not found.
    virtual QString meshMissing(const NodeMesh& found, const QString& title) const;

    // Lays the mesh's topology from the snapshot.
    virtual PassReport layTopology(GeneratorPass& pass) = 0;
    // Writes the mesh's vertices from the snapshot; the animation tick runs it without
    // resetCache.
    virtual PassReport update(GeneratorPass& pass) = 0;

    // The generator the box's passes draw from; each pass seeds it.
    VxRandomStream random;
    // The node's title, the landscape the box stood on and whether a capture has run.
    QString title;
    int landscape = 0;
    bool ready = false;
};

// The concrete state of type G's box, or null when the box is of another type.
template <class G>
G* generatorOf(ControlBox& box);
template <class G>
const G* generatorOf(const ControlBox& box);

// Holds a box's generator: copied by clone, so a ControlBox stays a value.
class GeneratorHolder
{
public:
    GeneratorHolder() = default;
    GeneratorHolder(std::unique_ptr<GeneratorBox> p) : m_p(std::move(p)) {}
    GeneratorHolder(const GeneratorHolder& o) : m_p(o.m_p ? o.m_p->clone() : nullptr) {}
    GeneratorHolder(GeneratorHolder&&) noexcept = default;
    GeneratorHolder& operator=(const GeneratorHolder& o)
    {
        if (this != &o) m_p = o.m_p ? o.m_p->clone() : nullptr;
        return *this;
    }
    GeneratorHolder& operator=(GeneratorHolder&&) noexcept = default;

    GeneratorBox* get() const { return m_p.get(); }
    GeneratorBox* operator->() const { return m_p.get(); }
    explicit operator bool() const { return bool(m_p); }

private:
    std::unique_ptr<GeneratorBox> m_p;
};

// The state class of a generated type: its code, its clone and the factory the registry
// names.
template <class G, int Type>
class GeneratorBoxOf : public GeneratorBox
{
public:
    static constexpr int kType = Type;
    std::unique_ptr<GeneratorBox> clone() const override { return std::make_unique<G>(static_cast<const G&>(*this)); }
    static std::unique_ptr<GeneratorBox> make() { return std::make_unique<G>(); }
};
