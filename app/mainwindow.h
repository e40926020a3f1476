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
class StatusLine;

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
    StatusLine* statusLine() const { return m_statusText; }

public slots:
    void dockPane(DzPane* pane);
    void newScene();
    void openScene();
    // False when the user cancelled or the save failed.
    bool saveScene();
    void exportScene();

protected:
    // Asks "Save changes?" when the scene changed since it was saved.
    void closeEvent(QCloseEvent* e) override;

private:
    // Whether the scene may be replaced: unchanged, saved now, or changes discarded.
    bool maybeSave();
    QString dialogFolder() const;
    QString suggestedPath(const QString& suffix) const;
    void rememberFolder(const QString& file);

    void report(const QString& text);

    Viewport* m_viewport;
    Outliner* m_outliner;
    Timeline* m_timeline;
    QMenu* m_windowMenu;
    StatusLine* m_statusText;
    QLabel* m_progressLabel;
    QProgressBar* m_progress;
    QPushButton* m_cancel;
    QString m_lastFolder;
};
