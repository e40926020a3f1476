#pragma once
// The box list is a long column of combo boxes and sliders. A wheel turned over it scrolls
// the list; a control under the pointer takes the wheel only once it has the keyboard focus
// (clicked or tabbed to), so scrolling past a box never changes it.
#include <QObject>

class QScrollArea;

class WheelGuard : public QObject
{
public:
    // Watches the controls inside area's widget, those there now and those added later.
    explicit WheelGuard(QScrollArea* area);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QScrollArea* m_area;
};
