#pragma once
// Object mapping: a small rigid-sphere simulation that lets scene nodes fall onto a terrain,
// bounce, slide down slopes and push each other apart. Pure: a table of records, a ground
// query passed in, positions written to the records' nodes; no widgets, no scene look-ups.
//
// How the pane adapter calls it:
//   ObjectMapping_Open/Close/Add: open(), close(), add(node, xyz, rad, boundMax, owner).
//   ObjectMapping_Animation: if exists(): step(gravity, ground on landscape 0), writeNodes().
//   The rock box's reset button: resetOwner(the box's group box).
// One table is stepped by one thread at a time; steps of several rock boxes run one after
// another.
#include <QObject>
#include <QPointer>
#include <utility>
#include <vector>

#include "dzmath.h"
#include "terrain/heightquery.h"

class DzNode;

struct MappedObject
{
    // Bit 28: the object takes part in the simulation.
    static constexpr quint32 kSimulated = 1u << 28;
    // Steps counted at rest from which an object is no longer moved.
    static constexpr int kRestSteps = 5;
    // Speed (units per step, along each axis) under which a ground contact counts as a rest
    // step: the bounce of a rock lying on the ground, far below any fall or slide.
    static constexpr float kRestSpeed = 0.05f;
    // Closing speed (units per step) of a contact between two rocks that wakes them: a knock
    // from a falling or rolling rock, not the jostle of a heap settling.
    static constexpr float kKnockSpeed = 0.25f;

    quint32 flags = 0x11000000u;
    int restCount = 0;
    DzVec3 startPosition;
    DzVec3 position;
    DzVec3 velocity;
    DzQuat rotation;    // kept for the node, not changed by a step
    DzVec3 angular[2];  // kept, not changed by a step
    // Guarded: a node deleted from the scene turns this null and its record is skipped.
    QPointer<DzNode> node;
    bool registeredWithNode = false;
    // Who registered the record (a rock box's group box), for the reset button.
    QPointer<QObject> owner;
    float radius = 0.f;
    int groundCache[2] = {0, 0};  // the cell of the last ground found

    bool simulated() const { return (flags & kSimulated) != 0; }
    // The record lost its node: it neither moves, collides nor is written any more.
    bool nodeGone() const { return registeredWithNode && node.isNull(); }
    bool moving() const { return restCount < kRestSteps && simulated(); }
};

// The terrain under the objects, answering as the terrain height query does: normal
// receives the downward unit normal of the triangle found (zero on a miss); null caches
// let the query estimate its start cell.
struct MappingGround
{
    virtual ~MappingGround() = default;
    virtual HeightAnswer height(float x, float z, DzVec3* normal, int* iCache, int* jCache) const = 0;
};

// How touching pairs are found. Both give the same pairs in the same order: Grid buckets the
// objects into cells of the largest diameter, AllPairs is the plain double loop.
enum class PairSearch {
    Grid,
    AllPairs
};

class ObjectMapping
{
public:
    static constexpr int kBlock = 500;

    bool exists() const { return m_exists; }
    int count() const { return int(m_records.size()); }
    int capacity() const { return m_capacity; }

    // Grows the table by one block, creating it when there is none; true when it exists.
    bool open();
    // Frees the table: count and capacity 0.
    void close();
    // Appends a record at xyz with radius rad; boundMax is accepted for callers and unused.
    // Grows first when the table is full; false when nothing was added.
    bool add(DzNode* node, const DzVec3& xyz, float rad, float boundMax, QObject* owner = nullptr);

    MappedObject& operator[](int i) { return m_records[size_t(i)]; }
    const MappedObject& operator[](int i) const { return m_records[size_t(i)]; }
    std::vector<MappedObject>& records() { return m_records; }
    const std::vector<MappedObject>& records() const { return m_records; }

    // One simulation step: integration with ground contact, then collisions.
    void step(float gravity, const MappingGround& ground, PairSearch search = PairSearch::Grid);
    // Moves every moving record's node to the record's position.
    void writeNodes() const;
    // Puts owner's records that hold a node back where they started, at rest; returns how many.
    int resetOwner(const QObject* owner);

private:
    std::vector<MappedObject> m_records;
    int m_capacity = 0;
    bool m_exists = false;
};

// The two halves of a step, for callers that time or check them apart.
void integrateMapped(std::vector<MappedObject>& records, float gravity, const MappingGround& ground);
void collideMapped(std::vector<MappedObject>& records, PairSearch search = PairSearch::Grid);
// The touching pairs (i < j) in the order the collisions visit them: i ascending, then j.
std::vector<std::pair<int, int>> mappedContacts(const std::vector<MappedObject>& records,
                                                PairSearch search = PairSearch::Grid);
