#include "statusline.h"
#include <QFontMetrics>

namespace {

// A message no one reads to its end in a tooltip either.
constexpr int kTooltipChars = 2000;

}  // namespace

StatusLine::StatusLine(QWidget* parent) : QLabel(parent)
{
    setObjectName("StatusLine");
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

QSize StatusLine::sizeHint() const
{
    // One line high whatever the text, so the status bar never changes height.
    return QSize(fontMetrics().averageCharWidth() * 20, fontMetrics().height());
}

QSize StatusLine::minimumSizeHint() const { return QSize(0, fontMetrics().height()); }

void StatusLine::setFullText(const QString& text)
{
    m_full = text;
    // The first line that says something; the others are in the tooltip.
    m_line.clear();
    for (const QString& l : text.split(QRegExp("[\r\n]"), Qt::SkipEmptyParts)) {
        const QString t = l.simplified();
        if (!t.isEmpty()) {
            m_line = t;
            break;
        }
    }
    const bool more = m_line != text.simplified();
    setToolTip(text.size() > kTooltipChars ? text.left(kTooltipChars) + QStringLiteral("…")
                                           : (more ? text : QString()));
    if (more && !m_line.isEmpty() && text.contains('\n')) m_line += QStringLiteral(" …");
    fit();
}

void StatusLine::resizeEvent(QResizeEvent* e)
{
    QLabel::resizeEvent(e);
    fit();
}

void StatusLine::fit()
{
    const QString shown = fontMetrics().elidedText(m_line, Qt::ElideRight, std::max(0, contentsRect().width()));
    // Setting the same text again would ask for a new layout each time.
    if (shown != text()) QLabel::setText(shown);
    if (!toolTip().isEmpty() || shown == m_line) return;
    setToolTip(m_full.size() > kTooltipChars ? m_full.left(kTooltipChars) + QStringLiteral("…") : m_full);
}
