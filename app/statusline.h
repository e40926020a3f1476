#pragma once
// The window's status line: one line, cut with an ellipsis at the width it has. Messages
// may be long or span lines (a whole set document is reported after a host scene loads);
// the status bar must neither grow with them nor wrap them.
#include <QLabel>

class StatusLine : public QLabel
{
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent = nullptr);

    QString fullText() const { return m_full; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    void setFullText(const QString& text);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void fit();

    QString m_full;
    QString m_line;
};
