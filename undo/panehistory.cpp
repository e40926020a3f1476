#include "undo/panehistory.h"
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <dzintslider.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzshape.h>
#include <dzscene.h>
#include <dzundostack.h>
#include "pane/verdixpane.h"
#include "persistence/boxrecord.h"

namespace {

// Wheel notches on one slider within this time are one turn, one step.
constexpr qint64 kWheelTurnMs = 1000;
constexpr int kWheelMergeId = 0x56445254;

class PaneStep : public DzUndoCommand
{
public:
    PaneStep(VerdixHistory* history, std::shared_ptr<const PaneState> before, std::shared_ptr<const PaneState> after,
             const QString& text, qint64 bytes, const QString& wheelKey)
        : DzUndoCommand(text), m_history(history), m_before(std::move(before)), m_after(std::move(after)),
          m_bytes(bytes), m_wheelKey(wheelKey), m_time(QDateTime::currentMSecsSinceEpoch())
    {
    }
    qint64 bytes() const override { return m_bytes; }
    DzUndoCommand* copy() const override
    {
        auto* c = new PaneStep(m_history, m_before, m_after, text(), m_bytes, m_wheelKey);
        c->m_pushed = true;
        return c;
    }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* o = dynamic_cast<const PaneStep*>(other);
        if (!o || o->m_wheelKey != m_wheelKey || o->m_time - m_time > kWheelTurnMs) return false;
        m_after = o->m_after;
        m_bytes += o->m_bytes;
        m_time = o->m_time;
        return true;
    }

protected:
    void takeBack() override
    {
        if (m_history) m_history->restore(*m_before);
    }
    void bringAgain() override
    {
        if (m_history) m_history->restore(*m_after);
    }
    int mergeId() const override { return m_wheelKey.isEmpty() ? -1 : kWheelMergeId; }

private:
    QPointer<VerdixHistory> m_history;
    std::shared_ptr<const PaneState> m_before, m_after;
    qint64 m_bytes;
    QString m_wheelKey;
    qint64 m_time;
};

// The materials part of a record; empty when it has none.
QString materialsOf(const QString& record)
{
    const int at = record.indexOf(QLatin1String(",Materials,"));
    return at < 0 ? QString() : record.mid(at);
}

// A record names the textures a material has and is silent on those it has not: before
// one is read back, the node's materials lose the textures they took since.
void clearTextures(DzNode* node)
{
    DzObject* obj = node ? node->getObject() : nullptr;
    for (int s = 0; obj && s < obj->getNumShapes(); ++s) {
        DzShape* shape = obj->getShape(s);
        for (int m = 0; shape && m < shape->getNumMaterials(); ++m) {
            DzMaterial* mat = shape->getMaterial(m);
            for (int i = 0; mat && i < mat->getNumProperties(); ++i) {
                DzProperty* prop = mat->getProperty(i);
                if (auto* num = qobject_cast<DzNumericProperty*>(prop)) {
                    if (num->getMapValue()) num->setMap(nullptr);
                } else if (auto* img = qobject_cast<DzImageProperty*>(prop)) {
                    if (img->getValue()) img->setValue(nullptr);
                }
            }
        }
    }
}

}  // namespace

VerdixHistory::VerdixHistory(ZPK_VerdixPane* pane) : QObject(pane), m_pane(pane)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this]() { commit(); });
    m_baseline = std::make_shared<const PaneState>(capture());
    if (dzUndoStack) {
        connect(dzUndoStack, &DzUndoStack::flushRequested, this, [this]() { commit(true); });
        dzUndoStack->addBusyTest(
            this, [this]() { return !m_restoring && (m_pane->m_busy || m_pane->m_loading || m_pane->m_sceneOpening); });
        // Another part's step (a node move) changes what the pane sees (a landscape's
        // position is in its record): the pane starts again from there.
        connect(dzUndoStack, &QUndoStack::indexChanged, this, [this]() {
            // After a jump over several steps, some of them another part's, the pane is what
            // all of them left: start from there.
            if (m_committing || m_restoring) return;
            rebaseline();
        });
    }
    if (dzScene) {
        // After the pane's own handling of a load or a clear: the boxes they leave are the
        // start of the history.
        connect(dzScene, &DzScene::sceneLoaded, this, &VerdixHistory::rebaseline);
        connect(dzScene, &DzScene::sceneCleared, this, &VerdixHistory::rebaseline);
    }
    if (qApp) qApp->installEventFilter(this);
}

VerdixHistory::~VerdixHistory() = default;

bool VerdixHistory::inPane(QObject* o) const
{
    for (QWidget* w = qobject_cast<QWidget*>(o); w; w = w->parentWidget())
        if (w == m_pane) return true;
    return false;
}

void VerdixHistory::scheduleCommit()
{
    if (m_commitQueued) return;
    m_commitQueued = true;
    QTimer::singleShot(0, this, [this]() {
        m_commitQueued = false;
        if (!m_pressed) commit();
    });
}

void VerdixHistory::noteChange()
{
    if (m_restoring || m_committing) return;
    m_dirty = true;
    if (!m_pressed) m_settle.start();
}

bool VerdixHistory::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (inPane(watched)) {
            m_pressed = true;
            m_dirty = true;
            ZPK_VerdixPane* p = m_pane;
            const QObject* b = watched;
            // A gesture names its own step; a hint no step took (a dialog cancelled) goes.
            if (b == p->m_openAllButton) m_hint = "Open all";
            else if (b == p->m_deleteAllButton) m_hint = "Delete all boxes";
            else if (b == p->m_refreshButton) m_hint = "Refresh all landscapes";
            else m_hint.clear();
        } else if (m_dirty && !m_pressed) {
            // A click elsewhere (the History, a menu, the viewport) finds this pane's last
            // change already a step.
            commit();
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_pressed) {
            m_pressed = false;
            scheduleCommit();
        }
        break;
    case QEvent::Wheel:
        if (inPane(watched)) {
            m_dirty = true;
            m_wheel = true;
            scheduleCommit();
        }
        break;
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
        if (inPane(watched)) m_dirty = true;
        else if (m_dirty && !m_pressed) commit();
        break;
    default:
        break;
    }
    return false;
}

PaneState VerdixHistory::capture() const
{
    const ZPK_VerdixPane* p = m_pane;
    PaneState s;
    s.boxes.reserve(p->m_boxes.count());
    for (int i = 0; i < p->m_boxes.count(); ++i) {
        const ControlBox& box = p->m_boxes[i];
        PaneBoxState b;
        b.type = box.type;
        b.title = box.groupBox ? box.groupBox->title() : typeLabel(box.type, i);
        const QString header = verdix::setRecordHeader(box.type);
        if (!header.isEmpty()) const_cast<ZPK_VerdixPane*>(p)->WriteSaveControls(i, box.type, header, b.record);
        for (const DzIntSlider* sl : box.sliders) {
            b.sliders << (sl ? sl->value() : 0);
            b.sliderNames << (sl ? sl->getLabel() : QString());
        }
        for (int c = 0; c < kComboSlots; ++c) {
            const QComboBox* combo = box.combos[size_t(c)];
            b.combos << (combo ? combo->currentText() : QString());
        }
        b.landscape = box.landscapeIndex;
        b.folded = !box.sections.empty() && box.sections.front()->isHidden();
        s.boxes << b;
    }
    for (const DzIntSlider* sl : {p->m_gravitySlider, p->m_frictionSlider, p->m_windStrengthSlider,
                                  p->m_windSpeedSlider, p->m_windSpeed2Slider, p->m_timerSlider})
        s.paneSliders << (sl ? sl->value() : 0);
    for (const QCheckBox* c :
         {p->m_animateCheck, p->m_autoOffCheck, p->m_mergeCheck, p->m_lowLodCheck, p->m_renewCheck})
        s.checks << (c && c->isChecked());
    if (dzScene)
        for (DzNode* n : dzScene->nodeList())
            if (isPaneNodeLabel(n->getLabel())) {
                static quint64 next = 0;
                if (!nodeId(n)) setNodeId(n, ++next);
                s.nodes.append({nodeId(n), n->getLabel()});
            }
    if (m_baseline) s.shareWith(*m_baseline);
    return s;
}

void VerdixHistory::commit(bool force)
{
    if (m_restoring || m_committing || !dzUndoStack) return;
    m_settle.stop();
    if (force) m_dirty = true;
    if (!m_dirty) return;
    // Half-way through an opening or an update the pane is no state to go back to.
    if (m_pane->m_loading || m_pane->m_sceneOpening || m_pane->m_busy) {
        m_settle.start();
        return;
    }
    m_committing = true;
    PaneState now = capture();
    if (now != *m_baseline) {
        const QString text = describeChange(*m_baseline, now, m_hint);
        auto after = std::make_shared<const PaneState>(std::move(now));
        const qint64 bytes = after->bytesBeyond(m_baseline.get());
        const QString wheelKey = m_wheel && text.startsWith("Move '") ? text : QString();
        auto before = m_baseline;
        m_baseline = after;
        dzUndoStack->pushStep(new PaneStep(this, before, after, text, bytes, wheelKey));
        // The hint stays until a step takes it: a click that opens a dialog ends its
        // gesture before the opening it asks for is done.
        m_hint.clear();
    }
    m_wheel = false;
    m_dirty = false;
    m_committing = false;
}

void VerdixHistory::rebaseline()
{
    if (m_restoring || m_committing) return;
    m_settle.stop();
    m_baseline = std::make_shared<const PaneState>(capture());
    m_dirty = false;
    m_hint.clear();
    m_wheel = false;
}

void VerdixHistory::restore(const PaneState& target)
{
    if (m_restoring) return;
    m_restoring = true;
    m_settle.stop();
    ZPK_VerdixPane* p = m_pane;
    const PaneState current = capture();

    // The pane-wide sliders first: the wind poses the meshes the boxes build below.
    DzIntSlider* const sliders[] = {p->m_gravitySlider,   p->m_frictionSlider,   p->m_windStrengthSlider,
                                    p->m_windSpeedSlider, p->m_windSpeed2Slider, p->m_timerSlider};
    for (int k = 0; k < target.paneSliders.size() && k < 6; ++k)
        if (sliders[k] && sliders[k]->value() != target.paneSliders[k]) sliders[k]->setValue(target.paneSliders[k]);

    bool sameLandscapes = current.sameBoxes(target);
    for (int i = 0; sameLandscapes && i < target.boxes.size(); ++i)
        sameLandscapes =
            current.boxes[i].landscape == target.boxes[i].landscape || target.boxes[i].type != TypeLandscape;
    if (current.sameBoxes(target) && current.sameNodeLabels(target) && sameLandscapes) {
        for (int i = 0; i < target.boxes.size(); ++i) {
            const PaneBoxState& want = target.boxes[i];
            const PaneBoxState& have = current.boxes[i];
            const bool recordChanged =
                want.record != have.record || want.sliders != have.sliders || want.combos != have.combos;
            const bool moved = want.landscape != have.landscape;
            if (!recordChanged && !moved) continue;
            if (recordChanged && !want.record.isEmpty()) {
                if (materialsOf(want.record) != materialsOf(have.record) && dzScene)
                    clearTextures(dzScene->findNodeByLabel(want.title));
                const bool loading = p->m_loading;
                p->m_loading = true;
                QString record = want.record;
                p->ReadSaveControls(i, want.type, verdix::setRecordHeader(want.type), record, false);
                p->m_loading = loading;
            }
            // A type without a record (rocks) keeps its sliders in the state alone.
            if (want.record.isEmpty() && want.sliders != have.sliders)
                if (ControlBox* box = p->m_boxes.at(i)) {
                    const bool loading = p->m_loading;
                    p->m_loading = true;
                    for (size_t k = 0; k < box->sliders.size() && int(k) < want.sliders.size(); ++k)
                        if (box->sliders[k]) box->sliders[k]->setValue(want.sliders[int(k)]);
                    p->m_loading = loading;
                }
            // Combos no record holds (texture choices) show what they showed.
            if (ControlBox* box = p->m_boxes.at(i))
                for (int c = 0; c < kComboSlots && c < want.combos.size(); ++c) {
                    QComboBox* combo = box->combos[size_t(c)];
                    if (!combo || combo->currentText() == want.combos[c]) continue;
                    const int k = combo->findText(want.combos[c], Qt::MatchExactly | Qt::MatchCaseSensitive);
                    if (k < 0) continue;
                    const QSignalBlocker quiet(combo);
                    combo->setCurrentIndex(k);
                }
            if (moved) {
                // As the swap button does: the object stands on its landscape again.
                ControlBox* box = p->m_boxes.at(i);
                if (!box) continue;
                box->landscapeIndex = want.landscape;
                p->clearTerrainMeshCache(i);
                const ControlBox* land = p->m_boxes.at(want.landscape);
                DzNode* landNode =
                    dzScene && land && land->titleLabel ? dzScene->findNodeByLabel(land->titleLabel->text()) : nullptr;
                DzNode* node = dzScene && box->titleLabel ? dzScene->findNodeByLabel(box->titleLabel->text()) : nullptr;
                if (land && land->type == TypeLandscape && landNode && node) landNode->addNodeChild(node, false);
            }
            if (want.type == TypeLandscape || moved) {
                if (!p->updateWithHeights(i)) p->updateBox(i);
            } else {
                p->updateBox(i);
            }
        }
    } else if (keepsAsPrefix(current, target)) {
        // Boxes made since (a create undone): the others stay as they are.
        while (p->m_boxes.count() > target.boxes.size()) {
            const int before = p->m_boxes.count();
            p->deleteLastBox();
            if (p->m_boxes.count() == before) break;
        }
        matchNodes(target);
    } else {
        rebuild(target);
    }

    for (int i = 0; i < target.boxes.size() && i < p->m_boxes.count(); ++i)
        for (QGroupBox* s : p->m_boxes[i].sections) s->setVisible(!target.boxes[i].folded);
    QCheckBox* const checks[] = {p->m_animateCheck, p->m_autoOffCheck, p->m_mergeCheck, p->m_lowLodCheck,
                                 p->m_renewCheck};
    for (int k = 0; k < target.checks.size() && k < 5; ++k) {
        if (!checks[k] || checks[k]->isChecked() == target.checks[k]) continue;
        checks[k]->setChecked(target.checks[k]);
        if (checks[k] == p->m_lowLodCheck) p->invokeIfPresent("LowLODMode");
    }
    adoptNodes(target);
    p->saveModelData();

    PaneState now = capture();
    now.shareWith(target);
    m_baseline = std::make_shared<const PaneState>(std::move(now));
    m_dirty = false;
    m_hint.clear();
    m_wheel = false;
    m_restoring = false;
}

bool VerdixHistory::keepsAsPrefix(const PaneState& current, const PaneState& target)
{
    if (target.boxes.size() >= current.boxes.size()) return false;
    for (int i = 0; i < target.boxes.size(); ++i) {
        const PaneBoxState& a = current.boxes[i];
        const PaneBoxState& b = target.boxes[i];
        if (a.type != b.type || a.title != b.title || a.record != b.record || a.sliders != b.sliders ||
            a.combos != b.combos || a.landscape != b.landscape)
            return false;
    }
    return true;
}

void VerdixHistory::matchNodes(const PaneState& target)
{
    if (!dzScene) return;
    adoptNodes(target);
    // The pane's nodes the target does not know go; those it knows get their labels back.
    QSet<quint64> keep;
    for (const auto& n : target.nodes) keep.insert(n.first);
    const QList<DzNode*> nodes = dzScene->nodeList();
    for (DzNode* n : nodes)
        if (isPaneNodeLabel(n->getLabel()) && !keep.contains(nodeId(n))) dzScene->removeNode(n);
    for (DzNode* n : dzScene->nodeList()) {
        const quint64 id = nodeId(n);
        for (const auto& t : target.nodes)
            if (t.first == id && id && n->getLabel() != t.second) n->setLabel(t.second);
    }
}

void VerdixHistory::adoptNodes(const PaneState& target)
{
    if (!dzScene) return;
    // Nodes made again for the target's boxes (a step removed the old ones) take over the
    // ids of the nodes they stand for, so later steps find them.
    QSet<quint64> present, wanted;
    for (DzNode* n : dzScene->nodeList()) present.insert(nodeId(n));
    for (const auto& t : target.nodes) wanted.insert(t.first);
    for (const auto& t : target.nodes) {
        if (present.contains(t.first)) continue;
        for (DzNode* n : dzScene->nodeList()) {
            if (n->getLabel() != t.second || wanted.contains(nodeId(n))) continue;
            setNodeId(n, t.first);
            present.insert(t.first);
            break;
        }
    }
}

void VerdixHistory::rebuild(const PaneState& target)
{
    ZPK_VerdixPane* p = m_pane;
    // Nodes of the boxes are taken over by title, never made anew where they still stand,
    // and no dialog asks anything.
    p->m_renewCheck->setChecked(false);
    p->m_mergeCheck->setChecked(false);
    while (p->m_boxes.count() > 0) {
        const int before = p->m_boxes.count();
        p->deleteLastBox();
        if (p->m_boxes.count() == before) break;
    }
    matchNodes(target);
    if (target.boxes.isEmpty()) {
        p->m_landscapeSelector->clear();
        p->m_previewLabel->clear();
        p->m_selectedBox = 0;
        return;
    }
    const bool dialogs = p->m_noDialogs, restoring = p->m_restoring;
    p->m_noDialogs = true;
    p->m_restoring = true;
    p->openDocument(target.document(), true, QString("The history's step"));
    p->m_noDialogs = dialogs;
    p->m_restoring = restoring;
}
