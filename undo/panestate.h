#pragma once
// What the pane's history keeps of the pane: everything a user can change in it, as text
// and numbers. A box is its record (the text a set document stores for it: sliders, combos,
// materials), which rebuilds its mesh exactly; the rest is what no record holds. States
// taken one after another share every part that did not change (Qt's implicit sharing),
// so a step costs what it changed.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

class DzNode;

struct PaneBoxState
{
    int type = 0;
    QString title;
    QString record;        // empty for types that write no record
    QVector<int> sliders;  // the box's sliders, creation order
    QStringList sliderNames;
    QStringList combos;  // current texts of the combo tables 'A'..'H' ("" where none)
    int landscape = 0;
    bool folded = false;
};

struct PaneState
{
    QVector<PaneBoxState> boxes;
    // Gravity, Friction, Wind Strength 1, Wind Speed, Wind Speed2, Timer.
    QVector<int> paneSliders;
    // Animate, AutoOff, Merge, LowLOD, Renew.
    QVector<bool> checks;
    // The scene nodes the pane made (their labels start with a box number) by their history
    // id (nodeId), with their labels: a deleted box leaves its node behind under another
    // label, and a node a step removed and another made again is the same node to it.
    QList<QPair<quint64, QString>> nodes;

    // The set document of the boxes, as buildSetDocument writes it.
    QString document() const;
    // Same boxes by type and title, in the same order.
    bool sameBoxes(const PaneState& o) const;
    bool sameNodes(const PaneState& o) const;
    // The same labels: boxes find their nodes by label, whichever node carries it.
    bool sameNodeLabels(const PaneState& o) const;
    bool operator==(const PaneState& o) const;
    bool operator!=(const PaneState& o) const { return !(*this == o); }
    // Takes over from older every part equal to its own, so the two share that memory.
    void shareWith(const PaneState& older);
    // Bytes this state holds that older does not share (all of it without older).
    qint64 bytesBeyond(const PaneState* older) const;
};

// Names the change from before to after as the Edit menu shows it: "Move 'Height Min' of
// (0003) GrassV1.0", "Delete (0002) TreeV1.0", ...; hint names changes of many boxes.
QString describeChange(const PaneState& before, const PaneState& after, const QString& hint);

// A label of a node the pane made: "(0003) ...".
bool isPaneNodeLabel(const QString& label);

// The id node carries in the history; 0 when it has none yet.
quint64 nodeId(const DzNode* node);
void setNodeId(DzNode* node, quint64 id);
