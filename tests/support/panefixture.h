#pragma once
// The pane of the test process as every pane fixture reaches it: its boxes, their sliders and
// presses of the mouse. The fixtures empty it in their own way.
#include <gtest/gtest.h>
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <dzintslider.h>
#include <memory>
#include "paneaccess.h"

class PaneFixture : public ::testing::Test
{
protected:
    ZPK_VerdixPane* pane = nullptr;
    std::unique_ptr<VerdixPaneTestAccess> a;

    void attachPane()
    {
        pane = thePane();
        a.reset(new VerdixPaneTestAccess(pane));
    }

    ControlBox& box(int i) { return a->boxes()[i]; }
    int count() { return a->boxes().count(); }
    DzIntSlider* slider(int i, const char* name, int occurrence = 0) { return box(i).slider(name, occurrence); }

    // A press or a release as the mouse gives it at the widget's centre.
    static void mouseAt(QWidget* w, QEvent::Type type)
    {
        const QPoint c = w->rect().center();
        QMouseEvent e(type, c, Qt::LeftButton, type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    // A click: the button is down while pressed() is delivered; pending events run after.
    static void click(QWidget* w)
    {
        mouseAt(w, QEvent::MouseButtonPress);
        mouseAt(w, QEvent::MouseButtonRelease);
        QApplication::processEvents();
    }
};
