#include "pane/wheelguard.h"
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

WheelGuard::WheelGuard(QScrollArea* area) : QObject(area), m_area(area)
{
    // On the application: boxes come and go, and a filter per control would have to follow.
    qApp->installEventFilter(this);
}

namespace {

// The control a wheel over w would change, if any.
QWidget* wheelTaker(QWidget* w)
{
    for (; w; w = w->parentWidget()) {
        if (qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w)) return w;
        if (qobject_cast<QAbstractSlider*>(w) && !qobject_cast<QScrollBar*>(w)) return w;
        if (w->isWindow()) break;
    }
    return nullptr;
}

}  // namespace

bool WheelGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel || !watched->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(watched);
    QWidget* list = m_area->widget();
    if (!list || !list->isAncestorOf(w)) return false;
    QWidget* taker = wheelTaker(w);
    if (!taker || taker->hasFocus() || taker->isAncestorOf(QApplication::focusWidget())) return false;
    // Handed to the list's scroll bar, as if the pointer were over an empty part of the list.
    QScrollBar* bar = m_area->verticalScrollBar();
    if (bar) QApplication::sendEvent(bar, event);
    return true;
}
