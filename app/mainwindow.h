#pragma once
// The host application's window: viewport in the centre, panes docked on the right, the
// outliner on the left, the timeline below, menus and a status bar with progress.
#include <QMainWindow>

class DzPane;
class Outliner;
class Timeline;
class Viewport;
class QMenu;
class QProgressBar;
class QPushButton;
class QLabel;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Shows the Verdix pane (created through the plug-in) and puts its action in the
    // Window menu.
    void createPane();
    // The MIDI controller pane and the walk-through pane, docked under the outliner.
    void createBridgePanes();

    Viewport* viewport() const { return m_viewport; }
    Outliner* outliner() const { return m_outliner; }
    Timeline* timeline() const { return m_timeline; }
    QMenu* windowMenu() const { return m_windowMenu; }
    QProgressBar* progressBar() const { return m_progress; }
    QPushButton* cancelButton() const { return m_cancel; }

public slots:
    void dockPane(DzPane* pane);
    void newScene();
    void openScene();
    void saveScene();
    void exportScene();

private:
    void report(const QString& text);

    Viewport* m_viewport;
    Outliner* m_outliner;
    Timeline* m_timeline;
    QMenu* m_windowMenu;
    QLabel* m_statusText;
    QLabel* m_progressLabel;
    QProgressBar* m_progress;
    QPushButton* m_cancel;
};
