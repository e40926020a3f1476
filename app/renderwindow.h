#pragma once
// The Render menu's window: the path-traced picture of the scene refining pass by pass, with
// its progress, "Cancel" (Escape) and "Save…". The render works on a copy of the scene, so the
// scene may change while it runs without touching the picture.
#include <QElapsedTimer>
#include <QSize>
#include <QWidget>
#include <memory>
#include "renderscene.h"

class QLabel;
class QMainWindow;
class QProgressBar;
class QPushButton;
class QTimer;

class RenderWindow : public QWidget
{
    Q_OBJECT
public:
    explicit RenderWindow(QWidget* parent = nullptr);
    ~RenderWindow() override;

    // Reads the scene and starts rendering; false with the reason on the status line (and
    // in a message) when the scene cannot be rendered.
    bool start(const QSize& size, int samples);
    bool isRunning() const;
    QImage picture() const;
    QString statusText() const;

public slots:
    void cancel();
    // Asks for a file and saves the picture as it stands.
    void save();
    // The picture to file; false with the reason shown.
    bool saveTo(const QString& file);

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void refresh();
    void showPicture();

    PreparedRender m_prepared;
    std::unique_ptr<RenderJob> m_job;
    QImage m_picture;
    QElapsedTimer m_clock;
    QLabel* m_view;
    QLabel* m_status;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
    QPushButton* m_save;
    QTimer* m_timer;
    bool m_cancelled = false;
    bool m_done = false;
};

// Adds the Render menu with "Render Image…" to window's menu bar.
void addRenderMenu(QMainWindow* window);
