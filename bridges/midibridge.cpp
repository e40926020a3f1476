// The controller bridge: messages of the controller pane move the selected box's sliders and
// combo boxes, each through its own change signal, as the user's hand would.
#include <QComboBox>
#include <QMutexLocker>
#include <dzapp.h>
#include <dzintslider.h>
#include <dzscript.h>
#include "bridges/korgmap.h"
#include "pane/slidersets.h"
#include "pane/verdixpane.h"

using namespace verdix;

void ZPK_VerdixPane::VerdixScriptInput(int In)
{
    // An update reached from this call may let events through, and with them the next
    // message of the controller: the lock is held by this very thread then, so the message
    // waits for the running call instead of dead-locking on it.
    static thread_local bool applying = false;
    if (applying) {
        m_bridgePending.append(In);
        return;
    }
    QMutexLocker lock(&m_bridgeLock);
    applying = true;
    applyControllerMessage(In);
    while (!m_bridgePending.isEmpty()) applyControllerMessage(m_bridgePending.takeFirst());
    applying = false;
}

void ZPK_VerdixPane::applyControllerMessage(int In)
{
    if (m_loading || m_boxes.count() == 0) return;
    const KorgMessage msg = decodeKorgMessage(In);
    if (msg.status != kKorgControlChange) return;
    const ControlBox* box = m_boxes.at(m_selectedBox);
    if (!box || !box->groupBox) return;
    const KorgAction act = korgAction(box->type, msg.cc);
    switch (act.op) {
    case KorgOp::None:
        return;
    case KorgOp::Set:
        KorgSetSlider(box->slider(act.slider), msg.value);
        return;
    case KorgOp::NegativeSet:
        KorgSetSliderNeg(box->slider(act.slider), msg.value);
        return;
    case KorgOp::Default:
        KorgSetSliderDef(box->slider(act.slider), act.value);
        return;
    case KorgOp::Zero:
        KorgSetSliderZero(box->slider(act.slider));
        return;
    case KorgOp::ComboStep: {
        const TypeLayout& layout = layoutFor(box->type);
        if (act.combo >= layout.combos.size()) return;
        QComboBox* combo = box->combo(layout.combos[act.combo].letter);
        if (!combo) return;
        const int index = korgComboIndex(combo->count(), msg.value);
        if (index < 0) return;
        combo->setFocus(Qt::OtherFocusReason);
        combo->setCurrentIndex(index);
        return;
    }
    }
}

void ZPK_VerdixPane::KorgSetSlider(DzIntSlider* Slider, int KorgValue)
{
    if (!Slider) return;
    Slider->setFocus(Qt::OtherFocusReason);
    Slider->setValue(korgSetValue(Slider->getMin(), Slider->getMax(), KorgValue));
}

void ZPK_VerdixPane::KorgSetSliderNeg(DzIntSlider* Slider, int KorgValue)
{
    if (!Slider) return;
    Slider->setFocus(Qt::OtherFocusReason);
    Slider->setValue(korgNegativeValue(Slider->getMin(), Slider->getMax(), KorgValue));
}

void ZPK_VerdixPane::KorgSetSliderZero(DzIntSlider* Slider)
{
    if (!Slider) return;
    Slider->setFocus(Qt::OtherFocusReason);
    Slider->setValue(korgZeroValue(Slider->getMin(), Slider->getMax()));
}

void ZPK_VerdixPane::KorgSetSliderDef(DzIntSlider* Slider, int SliderValue)
{
    if (!Slider) return;
    Slider->setFocus(Qt::OtherFocusReason);
    Slider->setValue(SliderValue);
}

void ZPK_VerdixPane::OutputToKorg()
{
    DzScript script;
    script.clear();
    for (const QString& line : korgConnectScript()) script.addLine(line);
    if (!script.execute() && dzApp) dzApp->statusLine(script.errorMessage());
}
