#pragma once
// An integer slider with a label, a slider track and an editable text field.
#include <QWidget>
#include "dzexport.h"

class QLabel;
class QLineEdit;
class QSlider;

class DZHOST_EXPORT DzIntSlider : public QWidget
{
    Q_OBJECT
public:
    explicit DzIntSlider(QWidget* parent = nullptr);

    int getValue() const { return m_value; }
    int value() const { return m_value; }
    int getMin() const { return m_min; }
    int getMax() const { return m_max; }
    void setMin(int v);
    void setMax(int v);
    void setRange(int lo, int hi);
    int getSensitivity() const { return m_sensitivity; }
    void setSensitivity(int s);
    bool getDoClamping() const { return m_clamped; }
    void setClamped(bool on);
    QString getLabel() const;
    void setLabel(const QString& text);
    void showLabel(bool on);
    bool isLabelVisible() const;
    bool getDisplayAsPercent() const { return m_percent; }
    void setDisplayAsPercent(bool on);
    bool getTextEditable() const { return m_textEditable; }
    void setTextEditable(bool on);

    // True when the slider or any of its parts (track, text field) has keyboard focus.
    bool hasFocus() const;

    // The parts, for tests and the focus logic.
    QSlider* slider() const { return m_slider; }
    QLineEdit* lineEdit() const { return m_edit; }
    QLabel* labelWidget() const { return m_label; }
    QString text() const;

public slots:
    // Emits valueChanged whenever the stored value changes, whoever sets it.
    void setValue(int v);

signals:
    void valueChanged(int value);

private slots:
    void onSliderMoved(int v);
    void onEditFinished();

private:
    void refreshDisplay();
    void fitTextField();
    int clampValue(int v) const;

    QLabel* m_label;
    QSlider* m_slider;
    QLineEdit* m_edit;
    int m_value = 0;
    int m_min = 0;
    int m_max = 100;
    int m_sensitivity = 1;
    bool m_clamped = true;
    bool m_percent = false;
    bool m_textEditable = true;
    bool m_updating = false;
};
