// Operations on existing boxes: selecting, folding, deleting and highlighting them, and
// the refresh gates the host and scripts set.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <dzintslider.h>
#include <dznode.h>
#include <dzscene.h>
#include "pane/slidersets.h"
#include "pane/verdixpane.h"

namespace {

// A box's title as it stands; the rock box's word ("RocksV1.0") is not its type label's.
QString titleOf(const ControlBox& box, const QString& fallback)
{
    return box.groupBox && !box.groupBox->title().isEmpty() ? box.groupBox->title() : fallback;
}

// title under a new number, with its own word after it.
QString renumbered(const QString& title, int index, const QString& fallback)
{
    static const QRegularExpression numbered(QStringLiteral("^\\(\\d{4}\\) (.+)$"));
    const QRegularExpressionMatch m = numbered.match(title);
    return m.hasMatch() ? QString("(%1) %2").arg(index, 4, 10, QChar('0')).arg(m.captured(1)) : fallback;
}

}  // namespace

int ZPK_VerdixPane::findBoxByDownButton(QPushButton* ControlBox::*button) const
{
    for (int i = 0; i < m_boxes.count(); ++i) {
        const ControlBox& box = m_boxes[i];
        if (!box.groupBox || !(box.*button)) continue;
        if (button != &ControlBox::imageButton && !box.deleteButton) continue;
        if ((box.*button)->isDown()) return i;
    }
    return -1;
}

void ZPK_VerdixPane::ControlBox_ImageButtonPress()
{
    const int i = findBoxByDownButton(&ControlBox::imageButton);
    if (i < 0 || m_boxes[i].icon.isNull()) return;
    selectBox(i);
}

bool ZPK_VerdixPane::selectBox(int i)
{
    ControlBox* box = m_boxes.at(i);
    if (!box || !box->groupBox) return false;
    invokeIfPresent("Animation_Stop");
    if (!box->icon.isNull()) m_previewLabel->setPixmap(QPixmap::fromImage(box->icon));
    m_selectedBox = i;
    ColourBox();
    if (!dzScene) return true;
    if (DzNode* node = dzScene->findNodeByLabel(box->groupBox->title())) {
        dzScene->selectAllNodes(false);
        dzScene->setPrimarySelection(node);
    }
    return true;
}

void ZPK_VerdixPane::ControlBox_ShowHideButtonPress()
{
    for (int i = 0; i < m_boxes.count(); ++i) {
        ControlBox& box = m_boxes[i];
        if (!box.groupBox || !box.deleteButton || !box.showHideButton || !box.showHideButton->isDown()) continue;
        if (box.sections.empty()) continue;
        const bool open = !box.sections.front()->isHidden();
        for (QGroupBox* s : box.sections) s->setVisible(!open);
    }
}

void ZPK_VerdixPane::ControlBox_DeleteButtonPress() { ControlBox_DeleteControl(false, true); }

void ZPK_VerdixPane::ControlBox_DeleteControl(bool BypassButton, bool ChangeLabel)
{
    // The box whose delete button is down, or the first box.
    int k = -1;
    for (int i = 0; i < m_boxes.count() && k < 0; ++i) {
        const ControlBox& box = m_boxes[i];
        if (!box.groupBox || !box.deleteButton) continue;
        if (BypassButton || box.deleteButton->isDown()) k = i;
    }
    if (k < 0) {
        if (!BypassButton) saveModelData();
        return;
    }

    // The widgets go with their group box. The button being pressed may be one of
    // them, so the box is deleted once the press has been delivered.
    ControlBox& box = m_boxes[k];
    const int deletedType = box.type;
    const bool wasLandscape = deletedType == TypeLandscape;
    QGroupBox* group = box.groupBox;
    for (QObject* child : group->findChildren<QObject*>()) QObject::disconnect(child, nullptr, this, nullptr);
    m_boxColumn->removeWidget(group);
    group->hide();
    group->deleteLater();
    box.releaseBuffers();

    // Titles before the move, for the relabelling.
    const int count = m_boxes.count();
    QStringList oldTitles;
    for (int j = 0; j < count; ++j) oldTitles << titleOf(m_boxes[j], GetTypeLable(m_boxes[j].type, j));
    bool landscapeMoved = false;
    for (int j = k + 1; j < count; ++j) landscapeMoved |= m_boxes[j].type == TypeLandscape;
    const QString selected = m_landscapeSelector->currentText();

    // Later boxes move down; landscape references follow their landscape.
    m_boxes.removeAt(k);
    if (m_selectedBox > k) --m_selectedBox;
    else if (m_selectedBox == k) m_selectedBox = 0;

    bool nodeMissing = false;
    if (ChangeLabel) {
        if (dzScene) {
            if (DzNode* node = dzScene->findNodeByLabel(oldTitles[k]))
                node->setLabel(QString("%1 Not active").arg(oldTitles[k]));
        }
        for (int j = k + 1; j < count; ++j) {
            ControlBox& moved = m_boxes[j - 1];
            const QString title = renumbered(oldTitles[j], j - 1, GetTypeLable(moved.type, j - 1));
            DzNode* node = dzScene ? dzScene->findNodeByLabel(oldTitles[j]) : nullptr;
            if (node) node->setLabel(title);
            // A rock box's rocks carry its title and are found by it; they are its nodes.
            int rocks = 0;
            if (moved.type == TypeRock && dzScene)
                for (; rocks < 100; ++rocks) {
                    DzNode* rock = dzScene->findNodeByLabel(QString("%1 %2").arg(oldTitles[j]).arg(rocks));
                    if (!rock) break;
                    rock->setLabel(QString("%1 %2").arg(title).arg(rocks));
                }
            if (!node && rocks == 0) nodeMissing = true;
            if (moved.titleLabel) moved.titleLabel->setText(title);
            if (moved.groupBox) moved.groupBox->setTitle(title);
        }
    }

    // The selector lists landscapes by title: it changes when one goes and when one is
    // renumbered.
    if (wasLandscape || (ChangeLabel && landscapeMoved)) {
        if (!invokeIfPresent("RedoComboSwapBox")) rebuildLandscapeSelector();
        // Keep the selection on the same landscape under its new title.
        if (!wasLandscape || selected != oldTitles[k]) {
            const int old = oldTitles.indexOf(selected);
            if (old > k) {
                const int at = m_landscapeSelector->findText(GetTypeLable(TypeLandscape, old - 1),
                                                             Qt::MatchExactly | Qt::MatchCaseSensitive);
                if (at >= 0) m_landscapeSelector->setCurrentIndex(at);
            }
        }
    }

    if (!nodeMissing) setStatus(QString("Deleted control box %1").arg(k));
    if (!BypassButton) saveModelData();
}

void ZPK_VerdixPane::deleteLastBox()
{
    const int k = m_boxes.count() - 1;
    if (k < 0 || !m_boxes[k].deleteButton) return;
    // The delete operation takes the box whose button is down.
    for (int i = 0; i < k; ++i)
        if (m_boxes[i].deleteButton) m_boxes[i].deleteButton->setDown(false);
    m_boxes[k].deleteButton->setDown(true);
    ControlBox_DeleteControl(false, false);
}

void ZPK_VerdixPane::rebuildLandscapeSelector()
{
    const QString current = m_landscapeSelector->currentText();
    m_landscapeSelector->blockSignals(true);
    m_landscapeSelector->clear();
    for (int i = 0; i < m_boxes.count(); ++i) {
        const ControlBox& b = m_boxes[i];
        if (b.type == TypeLandscape && b.titleLabel) m_landscapeSelector->addItem(b.titleLabel->text());
    }
    const int at = m_landscapeSelector->findText(current, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (at >= 0) m_landscapeSelector->setCurrentIndex(at);
    m_landscapeSelector->blockSignals(false);
}

void ZPK_VerdixPane::on_DeleteAllButton_pressed()
{
    const int count = m_boxes.count();
    if (!VerdixFlags::deleteAllArmed) {
        setStatus(QString("Press again to delete all %1 controls!").arg(count));
        VerdixFlags::deleteAllArmed = true;
        return;
    }
    setStatus(QString("Deleted all %1 controls!").arg(count));
    VerdixFlags::deleteAllArmed = false;
    const QString message = m_statusLabel->text();
    for (int n = 0; n < count; ++n) ControlBox_DeleteControl(true, true);
    m_landscapeSelector->clear();
    saveModelData();
    m_lastLoadedScene.clear();
    setStatus(message);
}

void ZPK_VerdixPane::ColourBox()
{
    if (m_boxes.count() == 0) return;
    VerdixFlags::deleteAllArmed = false;
    for (int i = 0; i < m_boxes.count(); ++i) {
        ControlBox& box = m_boxes[i];
        if (!box.groupBox) continue;
        const bool selected = i == m_selectedBox;
        QPalette pal = box.groupBox->palette();
        pal.setColor(QPalette::Window, QColor(selected ? 0x008000 : 0x000001));
        box.groupBox->setPalette(pal);
        if (box.type == TypeGrass) {
            if (DzIntSlider* amount = box.slider("Amount")) {
                amount->setAutoFillBackground(selected);
                if (selected) {
                    QPalette sp = amount->palette();
                    sp.setColor(QPalette::Window, QColor(0x208000));
                    amount->setPalette(sp);
                }
            }
        }
    }
}

void ZPK_VerdixPane::refreshSelected(DzNode* node)
{
    m_externalObject = nullptr;
    if (VerdixFlags::refreshBlocked || m_boxes.count() == 0 || !node) return;
    if (!node->isSelected()) return;
    m_selectedBox = 0;
    for (int i = 0; i < m_boxes.count(); ++i) {
        const ControlBox& box = m_boxes[i];
        if (!box.groupBox || box.groupBox->title() != node->getLabel()) continue;
        m_selectedBox = i;
        ColourBox();
        setStatus(QString("Control box selected %1 On %2").arg(i).arg(box.landscapeIndex));
        return;
    }
    setStatus(QString("Object selected %1").arg(node->getLabel()));
    m_externalObject = node;
}

void ZPK_VerdixPane::nodeAboutToRemove(DzNode*) { VerdixFlags::refreshBlocked = true; }
void ZPK_VerdixPane::nodeRemoved(DzNode*) { VerdixFlags::refreshBlocked = false; }
void ZPK_VerdixPane::setupMaxSpin() {}
