#include "undo/panestate.h"
#include <QRegularExpression>
#include <QVariant>
#include <dznode.h>
#include "persistence/boxrecord.h"

namespace {

const char* const kPaneSliderNames[] = {"Gravity", "Friction", "Wind Strength 1", "Wind Speed", "Wind Speed2", "Timer"};
const char* const kCheckNames[] = {"Animate", "AutoOff", "Merge", "LowLOD", "Renew"};

qint64 stringBytes(const QString& s) { return 24 + qint64(s.capacity()) * 2; }

template <class T>
bool equalOrShared(const T& a, const T& b)
{
    return a.isSharedWith(b) || a == b;
}

bool sameBox(const PaneBoxState& a, const PaneBoxState& b)
{
    return a.type == b.type && a.landscape == b.landscape && a.folded == b.folded && equalOrShared(a.title, b.title) &&
           equalOrShared(a.record, b.record) && equalOrShared(a.sliders, b.sliders) &&
           equalOrShared(a.combos, b.combos);
}

QString landscapeTitle(const PaneState& s, int index)
{
    return index >= 0 && index < s.boxes.size() && s.boxes[index].type == 1 ? s.boxes[index].title
                                                                            : QString("no landscape");
}

}  // namespace

bool isPaneNodeLabel(const QString& label)
{
    static const QRegularExpression numbered(QStringLiteral("^\\(\\d{4}\\) "));
    return numbered.match(label).hasMatch();
}

quint64 nodeId(const DzNode* node) { return node ? node->property("verdixHistoryId").toULongLong() : 0; }

void setNodeId(DzNode* node, quint64 id)
{
    if (node) node->setProperty("verdixHistoryId", QVariant::fromValue(id));
}

QString PaneState::document() const
{
    QStringList records;
    QVector<int> landscapes;
    for (const PaneBoxState& b : boxes) {
        landscapes << b.landscape;
        if (!b.record.isEmpty()) records << b.record;
    }
    return verdix::joinSetDocument(records, landscapes);
}

bool PaneState::sameBoxes(const PaneState& o) const
{
    if (boxes.size() != o.boxes.size()) return false;
    for (int i = 0; i < boxes.size(); ++i)
        if (boxes[i].type != o.boxes[i].type || boxes[i].title != o.boxes[i].title) return false;
    return true;
}

bool PaneState::sameNodes(const PaneState& o) const
{
    if (nodes.size() != o.nodes.size()) return false;
    for (int i = 0; i < nodes.size(); ++i)
        if (nodes[i].first != o.nodes[i].first || nodes[i].second != o.nodes[i].second) return false;
    return true;
}

bool PaneState::sameNodeLabels(const PaneState& o) const
{
    if (nodes.size() != o.nodes.size()) return false;
    for (int i = 0; i < nodes.size(); ++i)
        if (nodes[i].second != o.nodes[i].second) return false;
    return true;
}

bool PaneState::operator==(const PaneState& o) const
{
    if (paneSliders != o.paneSliders || checks != o.checks || !sameNodes(o) || boxes.size() != o.boxes.size())
        return false;
    for (int i = 0; i < boxes.size(); ++i)
        if (!sameBox(boxes[i], o.boxes[i])) return false;
    return true;
}

void PaneState::shareWith(const PaneState& older)
{
    if (paneSliders == older.paneSliders) paneSliders = older.paneSliders;
    if (checks == older.checks) checks = older.checks;
    if (sameNodes(older)) nodes = older.nodes;
    // Boxes are matched by title: a box keeps its title while it stays where it is.
    bool allSame = boxes.size() == older.boxes.size();
    for (int i = 0; i < boxes.size(); ++i) {
        PaneBoxState& b = boxes[i];
        const PaneBoxState* o = nullptr;
        if (i < older.boxes.size() && older.boxes[i].title == b.title) o = &older.boxes[i];
        for (int j = 0; !o && j < older.boxes.size(); ++j)
            if (older.boxes[j].title == b.title && older.boxes[j].type == b.type) o = &older.boxes[j];
        if (!o) {
            allSame = false;
            continue;
        }
        b.title = o->title;
        if (b.record == o->record) b.record = o->record;
        if (b.sliders == o->sliders) b.sliders = o->sliders;
        if (b.sliderNames == o->sliderNames) b.sliderNames = o->sliderNames;
        if (b.combos == o->combos) b.combos = o->combos;
        allSame = allSame && o == &older.boxes[i] && sameBox(b, *o);
    }
    if (allSame) boxes = older.boxes;
}

qint64 PaneState::bytesBeyond(const PaneState* older) const
{
    qint64 total = qint64(sizeof(PaneState));
    if (older && boxes.isSharedWith(older->boxes)) return total;
    total += qint64(boxes.capacity()) * qint64(sizeof(PaneBoxState));
    if (!older || !paneSliders.isSharedWith(older->paneSliders)) total += 24 + paneSliders.capacity() * 4;
    if (!older || !nodes.isSharedWith(older->nodes))
        for (const auto& n : nodes) total += 16 + qint64(sizeof(n)) + stringBytes(n.second);
    for (int i = 0; i < boxes.size(); ++i) {
        const PaneBoxState& b = boxes[i];
        // Parts shared with any box of older cost older, not this state.
        auto sharedString = [&](const QString& s, QString PaneBoxState::*m) {
            if (!older) return false;
            for (const PaneBoxState& o : older->boxes)
                if (s.isSharedWith(o.*m)) return true;
            return false;
        };
        if (!sharedString(b.record, &PaneBoxState::record)) total += stringBytes(b.record);
        if (!sharedString(b.title, &PaneBoxState::title)) total += stringBytes(b.title);
        bool slidersShared = false, namesShared = false, combosShared = false;
        for (int j = 0; older && j < older->boxes.size(); ++j) {
            slidersShared = slidersShared || b.sliders.isSharedWith(older->boxes[j].sliders);
            namesShared = namesShared || b.sliderNames.isSharedWith(older->boxes[j].sliderNames);
            combosShared = combosShared || b.combos.isSharedWith(older->boxes[j].combos);
        }
        if (!slidersShared) total += 24 + qint64(b.sliders.capacity()) * 4;
        if (!namesShared)
            for (const QString& s : b.sliderNames) total += 8 + stringBytes(s);
        if (!combosShared)
            for (const QString& s : b.combos) total += 8 + stringBytes(s);
    }
    return total;
}

QString describeChange(const PaneState& before, const PaneState& after, const QString& hint)
{
    const int n0 = before.boxes.size(), n1 = after.boxes.size();
    if (before.sameBoxes(after)) {
        QList<int> changed;
        for (int i = 0; i < n1; ++i)
            if (!sameBox(before.boxes[i], after.boxes[i])) changed << i;
        if (changed.size() == 1) {
            const PaneBoxState& a = before.boxes[changed[0]];
            const PaneBoxState& b = after.boxes[changed[0]];
            if (a.folded != b.folded) return QString("%1 %2").arg(b.folded ? "Fold" : "Unfold", b.title);
            if (a.landscape != b.landscape)
                return QString("Place %1 on %2").arg(b.title, landscapeTitle(after, b.landscape));
            QList<int> moved;
            for (int k = 0; k < a.sliders.size() && k < b.sliders.size(); ++k)
                if (a.sliders[k] != b.sliders[k]) moved << k;
            QList<int> chosen;
            for (int c = 0; c < a.combos.size() && c < b.combos.size(); ++c)
                if (a.combos[c] != b.combos[c]) chosen << c;
            if (moved.size() == 1 && chosen.isEmpty() && moved[0] < b.sliderNames.size())
                return QString("Move '%1' of %2").arg(b.sliderNames[moved[0]], b.title);
            if (chosen.size() == 1 && moved.isEmpty())
                return QString("Choose '%1' in %2").arg(b.combos[chosen[0]], b.title);
            if (!hint.isEmpty()) return QString("%1 in %2").arg(hint, b.title);
            if (moved.isEmpty() && chosen.isEmpty()) return QString("Change materials of %1").arg(b.title);
            return QString("Change %1").arg(b.title);
        }
        if (changed.size() > 1) return hint.isEmpty() ? QString("Change %1 boxes").arg(changed.size()) : hint;
    } else {
        if (!hint.isEmpty()) return hint;
        if (n1 == 0) return QString("Delete all %1 boxes").arg(n0);
        if (n1 == n0 + 1 && after.boxes[n0].title.startsWith('('))
            return QString("Create %1").arg(after.boxes[n0].title);
        if (n1 == n0 - 1) {
            int k = 0;
            while (k < n1 && before.boxes[k].title == after.boxes[k].title) ++k;
            return QString("Delete %1").arg(before.boxes[k].title);
        }
        return QString("Change boxes");
    }
    for (int k = 0; k < before.paneSliders.size() && k < after.paneSliders.size(); ++k)
        if (before.paneSliders[k] != after.paneSliders[k] &&
            k < int(sizeof kPaneSliderNames / sizeof *kPaneSliderNames))
            return QString("Move '%1'").arg(kPaneSliderNames[k]);
    for (int k = 0; k < before.checks.size() && k < after.checks.size(); ++k)
        if (before.checks[k] != after.checks[k])
            return QString("%1 '%2'").arg(after.checks[k] ? "Tick" : "Untick", kCheckNames[k]);
    if (!hint.isEmpty()) return hint;
    return QString("Change the scene");
}
