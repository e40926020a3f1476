#pragma once
// The 3D view: orbit (left drag), pan (middle or shift-left drag), zoom (wheel), frame
// all (F), click to select. Meshes the pane edits are picked up by their revision.
#include <QOpenGLWidget>
#include <QHash>
#include <QPoint>
#include <QElapsedTimer>
#include <QTimer>
#include "orbitcamera.h"
#include "renderer.h"

class DzNode;

class Viewport : public QOpenGLWidget
{
    Q_OBJECT
public:
    explicit Viewport(QWidget* parent = nullptr);
    ~Viewport() override;

    OrbitCamera& camera() { return m_camera; }
    const SceneRenderer& renderer() const { return m_renderer; }
    // The node under widget position pos (nearest triangle hit), or null.
    DzNode* pick(const QPoint& pos) const;
    bool hasGL() const { return m_glReady; }

public slots:
    void frameAll();
    // Frames the selected node (the whole scene when nothing is selected).
    void frameSelected();
    void setNamedView(int view);  // a NamedView
    // Takes the view from the host camera after someone else (the walk-through) moved it.
    void followHostCamera();

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private slots:
    void poll();
    // After a frame reached the screen: its cost, counted from paintGL.
    void frameDone();

private:
    void cameraChanged();
    // The first content of an empty scene brought into view; true when the camera moved.
    bool frameNewContent();
    // Each mesh's revision mixed with where its node stands.
    QHash<const DzFacetMesh*, quint64> revisions() const;
    // update(), or held while long work runs.
    void redraw();

    OrbitCamera m_camera;
    SceneRenderer m_renderer;
    QTimer m_poll;
    QElapsedTimer m_life, m_frameStart;
    QHash<const DzFacetMesh*, quint64> m_seenRevisions;
    QPoint m_pressPos, m_lastPos;
    Qt::MouseButton m_dragButton = Qt::NoButton;
    bool m_panning = false;
    bool m_moved = false;
    bool m_glReady = false;
    bool m_heldRedraw = false;
    // Meshes in the frame being drawn, for the frame log.
    int m_frameMeshes = 0;
    // The frame that shows what long work made: input queued while it is drawn is dropped.
    bool m_discardAfterFrame = false;
    // Set while the scene is empty: the next content to arrive (an opened set) is framed.
    bool m_frameWhenFilled = true;
};
