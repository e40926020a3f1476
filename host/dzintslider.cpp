#include "dzintslider.h"
#include <QApplication>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <QVBoxLayout>

DzIntSlider::DzIntSlider(QWidget* parent)
    : QWidget(parent), m_label(new QLabel(this)), m_slider(new QSlider(Qt::Horizontal, this)),
      m_edit(new QLineEdit(this))
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(1, 1, 1, 1);
    outer->setSpacing(0);
    auto* top = new QHBoxLayout;
    top->setSpacing(2);
    top->addWidget(m_label, 1);
    top->addWidget(m_edit);
    outer->addLayout(top);
    outer->addWidget(m_slider);
    m_edit->setMaximumWidth(52);
    m_edit->setAlignment(Qt::AlignRight);
    m_slider->setRange(m_min, m_max);
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(m_slider);
    connect(m_slider, &QSlider::valueChanged, this, &DzIntSlider::onSliderMoved);
    connect(m_edit, &QLineEdit::editingFinished, this, &DzIntSlider::onEditFinished);
    refreshDisplay();
}

void DzIntSlider::setMin(int v) { setRange(v, qMax(v, m_max)); }
void DzIntSlider::setMax(int v) { setRange(qMin(m_min, v), v); }

void DzIntSlider::setRange(int lo, int hi)
{
    if (hi < lo) std::swap(lo, hi);
    m_min = lo;
    m_max = hi;
    m_updating = true;
    m_slider->setRange(lo, hi);
    m_updating = false;
    if (m_clamped) setValue(m_value);
    refreshDisplay();
    fitTextField();
}

void DzIntSlider::fitTextField()
{
    // Wide enough for every value of the range (200000 in a grass amount), never narrower
    // than the field the rows were laid out for.
    const QFontMetrics fm(m_edit->font());
    const int widest =
        std::max(fm.horizontalAdvance(QString::number(m_min)), fm.horizontalAdvance(QString::number(m_max))) +
        (m_percent ? fm.horizontalAdvance('%') : 0);
    QStyleOptionFrame opt;
    opt.initFrom(m_edit);
    const int frame = m_edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, m_edit);
    const int needed = widest + 2 * frame + 8;
    m_edit->setMinimumWidth(needed);
    m_edit->setMaximumWidth(std::max(52, needed));
}

void DzIntSlider::setSensitivity(int s)
{
    m_sensitivity = qMax(1, s);
    m_slider->setSingleStep(m_sensitivity);
    m_slider->setPageStep(qMax(m_sensitivity, (m_max - m_min) / 10));
}

void DzIntSlider::setClamped(bool on)
{
    m_clamped = on;
    if (on) setValue(m_value);
}

QString DzIntSlider::getLabel() const { return m_label->text(); }
void DzIntSlider::setLabel(const QString& text) { m_label->setText(text); }
void DzIntSlider::showLabel(bool on) { m_label->setVisible(on); }
bool DzIntSlider::isLabelVisible() const { return !m_label->isHidden(); }

void DzIntSlider::setDisplayAsPercent(bool on)
{
    m_percent = on;
    refreshDisplay();
    fitTextField();
}

void DzIntSlider::setTextEditable(bool on)
{
    m_textEditable = on;
    m_edit->setReadOnly(!on);
}

bool DzIntSlider::hasFocus() const
{
    const QWidget* f = QApplication::focusWidget();
    return f && (f == this || isAncestorOf(f));
}

QString DzIntSlider::text() const { return m_edit->text(); }

int DzIntSlider::clampValue(int v) const { return m_clamped ? qBound(m_min, v, m_max) : v; }

void DzIntSlider::setValue(int v)
{
    v = clampValue(v);
    if (v == m_value) {
        refreshDisplay();
        return;
    }
    m_value = v;
    refreshDisplay();
    emit valueChanged(m_value);
}

void DzIntSlider::onSliderMoved(int v)
{
    if (m_updating) return;
    setValue(v);
}

void DzIntSlider::onEditFinished()
{
    QString t = m_edit->text().trimmed();
    if (t.endsWith('%')) t.chop(1);
    bool ok = false;
    const int v = t.trimmed().toInt(&ok);
    if (ok) setValue(v);
    else refreshDisplay();  // not a number: show the value that still holds
}

void DzIntSlider::refreshDisplay()
{
    m_updating = true;
    m_slider->setValue(qBound(m_min, m_value, m_max));
    m_updating = false;
    m_edit->setText(m_percent ? QString("%1%").arg(m_value) : QString::number(m_value));
}
