#include "viewport.h"
#include "selection.h"
#include "framing.h"
#include "meshtriangles.h"
#include "viewsettings.h"
#include <QElapsedTimer>
#include <QKeyEvent>
#include <cstdio>
#include <sys/resource.h>
#include <QMouseEvent>
#include <QWheelEvent>
#include <limits>
#include <dzgeometry.h>
#include <dznode.h>
#include <dzprogress.h>
#include <dzapp.h>
#include <dzscene.h>

Viewport::Viewport(QWidget* parent) : QOpenGLWidget(parent)
{
    m_life.start();
    connect(this, &QOpenGLWidget::frameSwapped, this, &Viewport::frameDone);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 240);
    // Multisampling smooths mesh edges and turns the alpha of cut-outs (grass, leaves) into
    // coverage, so thin blades neither stair-step nor flicker while the camera moves.
    QSurfaceFormat fmt = format();
    fmt.setSamples(4);
    setFormat(fmt);
    m_camera.readFrom(hostCamera());
    // Worker threads edit meshes during animation ticks; the view looks for new revisions
    // at its own pace instead of being told.
    m_poll.setInterval(30);
    connect(&m_poll, &QTimer::timeout, this, &Viewport::poll);
    m_poll.start();
    // Long work (opening, building) holds the redraws until it ends: a frame of a large
    // scene costs seconds on a software renderer, and the work lets events through often so
    // that Cancel answers. One frame is drawn when the work is over.
    if (dzApp)
        connect(dzApp, &DzApp::progressChanged, this, [this]() {
            if (m_heldRedraw && !DzProgress::isRunning()) {
                m_heldRedraw = false;
                m_discardAfterFrame = isVisible();
                update();
            }
        });
    if (dzScene) {
        auto repaint = [this]() { redraw(); };
        connect(dzScene, &DzScene::nodeAdded, this, repaint);
        connect(dzScene, &DzScene::nodeRemoved, this, repaint);
        connect(dzScene, &DzScene::sceneCleared, this, repaint);
        connect(dzScene, &DzScene::primarySelectionChanged, this, repaint);
        connect(dzScene, &DzScene::timeChanged, this, repaint);
        // A loaded scene shows what its file keeps: its camera when it has one, else all of it.
        connect(dzScene, &DzScene::sceneLoaded, this, [this]() {
            m_frameWhenFilled = false;
            if (dzScene->getViewSettings().contains("camera")) followHostCamera();
            else frameAll();
        });
    }
    connect(ViewLookNotifier::instance(), &ViewLookNotifier::changed, this, [this]() { update(); });
}

Viewport::~Viewport()
{
    makeCurrent();
    m_renderer.release();
    doneCurrent();
}

void Viewport::initializeGL()
{
    QString error;
    m_glReady = m_renderer.initialize(&error);
    if (!m_glReady) qWarning("verdix-host: %s", qPrintable(error));
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this]() {
        makeCurrent();
        m_renderer.release();
        doneCurrent();
    });
}

void Viewport::redraw()
{
    if (DzProgress::isRunning()) m_heldRedraw = true;
    else update();
}

void Viewport::paintGL()
{
    if (DzProgress::isRunning()) {
        // The framebuffer keeps the last frame until the work is over.
        m_heldRedraw = true;
        return;
    }
    m_frameStart.start();
    // Content that arrived while long work held the redraws is framed before its first
    // frame, not one frame later: on a software renderer a frame of a large scene costs seconds.
    frameNewContent();
    // What this frame shows is seen: the next look at the revisions asks for no second frame.
    m_seenRevisions = revisions();
    m_frameMeshes = m_seenRevisions.size();
    m_heldRedraw = false;
    m_renderer.sync();
    const int dpr = devicePixelRatio();
    m_renderer.render(m_camera.view(), m_camera.projection(float(width()) / float(std::max(1, height()))),
                      width() * dpr, height() * dpr, dzScene ? dzScene->getPrimarySelection() : nullptr);
}

void Viewport::frameDone()
{
    if (!m_frameStart.isValid()) return;
    const qint64 ms = m_frameStart.elapsed();
    m_frameStart.invalidate();
    // Until this frame was on screen the window showed the work running (its bar, its Cancel
    // button): what the user did meanwhile was meant for that, and is dropped as the work's
    // own input was.
    if (m_discardAfterFrame) {
        m_discardAfterFrame = false;
        DzProgress::discardQueuedInput();
    }
    // For timing the window as a user meets it (the time to the first whole frame of what
    // was opened): VERDIX_FRAME_TIMES=1 logs each frame's cost, when it was on screen and the
    // processor time the process had used by then (all threads: on a loaded machine the wall
    // times stretch, this does not).
    static const bool logFrames = qEnvironmentVariableIsSet("VERDIX_FRAME_TIMES");
    if (logFrames) {
        rusage use{};
        getrusage(RUSAGE_SELF, &use);
        const double cpu = double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
                           double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
        fprintf(stderr, "verdix-host: frame of %d meshes in %lld ms, shown at %.2f s, %.2f s of processor time\n",
                m_frameMeshes, ms, double(m_life.elapsed()) / 1000.0, cpu);
    }
}

void Viewport::poll()
{
    if (!dzScene || !isVisible()) return;
    if (DzProgress::isRunning()) {
        m_heldRedraw = true;
        return;
    }
    const QHash<const DzFacetMesh*, quint64> now = revisions();
    if (now != m_seenRevisions || m_heldRedraw) {
        m_seenRevisions = now;
        m_heldRedraw = false;
        update();
    }
    // The first thing made in an empty scene (a new landscape, a set opened in the pane, which
    // empties the scene and fills it again) is brought into view; after that the camera stays
    // where the user put it.
    if (now.isEmpty()) m_frameWhenFilled = true;
    else if (frameNewContent()) update();
}

QHash<const DzFacetMesh*, quint64> Viewport::revisions() const
{
    // A cheap look at the revisions and where the nodes stand (the animation moves rocks
    // without touching their meshes); paintGL uploads only the meshes that changed.
    QHash<const DzFacetMesh*, quint64> now;
    for (const MeshNode& mn : sceneMeshNodes(true)) {
        const DzVec3 p = mn.node->getWSPos();
        const uint where = qHash(QByteArray::fromRawData(reinterpret_cast<const char*>(&p), int(sizeof p)));
        now.insert(mn.mesh, (mn.mesh->revision() << 32) ^ where);
    }
    return now;
}

bool Viewport::frameNewContent()
{
    if (!m_frameWhenFilled || sceneBounds().isEmpty()) return false;
    // From the perspective view, horizon and sky in the picture, whatever angle the camera
    // had over the empty scene.
    m_frameWhenFilled = false;
    m_camera = namedViewCamera(NamedView::Perspective, float(width()) / float(std::max(1, height())), walkEyeHeight());
    m_camera.writeTo(hostCamera());
    return true;
}

void Viewport::cameraChanged()
{
    m_camera.writeTo(hostCamera());
    redraw();
}

void Viewport::followHostCamera()
{
    m_frameWhenFilled = false;
    m_camera.readFrom(hostCamera());
    redraw();
}

void Viewport::frameAll()
{
    m_frameWhenFilled = false;
    framePoints(&m_camera, sceneOutline(), float(width()) / float(std::max(1, height())));
    cameraChanged();
}

void Viewport::frameSelected()
{
    DzNode* sel = dzScene ? dzScene->getPrimarySelection() : nullptr;
    const MeshNode mn = sel ? meshNodeOf(sel) : MeshNode();
    if (!mn.mesh) return frameAll();
    frameBounds(&m_camera, nodeBounds(mn), float(width()) / float(std::max(1, height())));
    cameraChanged();
}

void Viewport::setNamedView(int view)
{
    m_camera = namedViewCamera(NamedView(view), float(width()) / float(std::max(1, height())), walkEyeHeight());
    cameraChanged();
}

void Viewport::mousePressEvent(QMouseEvent* e)
{
    m_pressPos = m_lastPos = e->pos();
    m_moved = false;
    m_dragButton = e->button();
    m_panning =
        e->button() == Qt::MiddleButton || (e->button() == Qt::LeftButton && (e->modifiers() & Qt::ShiftModifier));
}

void Viewport::mouseMoveEvent(QMouseEvent* e)
{
    if (m_dragButton == Qt::NoButton) return;
    const QPoint d = e->pos() - m_lastPos;
    m_lastPos = e->pos();
    if ((e->pos() - m_pressPos).manhattanLength() > 3) m_moved = true;
    if (m_panning) {
        m_camera.pan(float(d.x()) / float(std::max(1, height())), float(d.y()) / float(std::max(1, height())));
    } else if (m_dragButton == Qt::LeftButton) {
        m_camera.orbit(-d.x() * 0.4f, d.y() * 0.4f);
    } else {
        return;
    }
    cameraChanged();
}

void Viewport::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && !m_moved && dzScene) {
        DzNode* hit = pick(e->pos());
        if (hit) clickSelect(hit, e->modifiers() & Qt::ControlModifier);
        else dzScene->selectAllNodes(false);
    }
    m_dragButton = Qt::NoButton;
}

void Viewport::wheelEvent(QWheelEvent* e)
{
    const float steps = float(e->angleDelta().y()) / 120.f;
    m_camera.zoom(std::pow(0.85f, steps));
    cameraChanged();
}

void Viewport::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_F) frameSelected();
    else QOpenGLWidget::keyPressEvent(e);
}

namespace {

// Möller–Trumbore; the distance along the ray or a negative value.
float hitTriangle(const QVector3D& o, const QVector3D& d, const QVector3D& a, const QVector3D& b, const QVector3D& c)
{
    const QVector3D e1 = b - a, e2 = c - a;
    const QVector3D p = QVector3D::crossProduct(d, e2);
    const float det = QVector3D::dotProduct(e1, p);
    if (std::abs(det) < 1e-12f) return -1.f;
    const float inv = 1.f / det;
    const QVector3D t = o - a;
    const float u = QVector3D::dotProduct(t, p) * inv;
    if (u < 0.f || u > 1.f) return -1.f;
    const QVector3D q = QVector3D::crossProduct(t, e1);
    const float v = QVector3D::dotProduct(d, q) * inv;
    if (v < 0.f || u + v > 1.f) return -1.f;
    return QVector3D::dotProduct(e2, q) * inv;
}

bool hitBox(const QVector3D& o, const QVector3D& d, const Bounds& b)
{
    float t0 = 0.f, t1 = std::numeric_limits<float>::max();
    for (int i = 0; i < 3; ++i) {
        const float inv = 1.f / (std::abs(d[i]) > 1e-12f ? d[i] : 1e-12f);
        float n = (b.min[i] - o[i]) * inv, f = (b.max[i] - o[i]) * inv;
        if (n > f) std::swap(n, f);
        t0 = std::max(t0, n);
        t1 = std::min(t1, f);
        if (t0 > t1) return false;
    }
    return true;
}

}  // namespace

DzNode* Viewport::pick(const QPoint& pos) const
{
    const float aspect = float(width()) / float(std::max(1, height()));
    const float x = 2.f * (float(pos.x()) + 0.5f) / float(std::max(1, width())) - 1.f;
    const float y = 1.f - 2.f * (float(pos.y()) + 0.5f) / float(std::max(1, height()));
    QVector3D o, d;
    m_camera.ray(x, y, aspect, &o, &d);
    DzNode* best = nullptr;
    float bestT = std::numeric_limits<float>::max();
    for (const MeshNode& mn : sceneMeshNodes(true)) {
        if (!mn.node->isSelectable()) continue;
        if (!hitBox(o, d, nodeBounds(mn))) continue;
        // Test in the node's own space; distances stay comparable through the world hit point.
        const QMatrix4x4 model = toMatrix(mn.node->getWSTransform());
        const QMatrix4x4 inv = model.inverted();
        const QVector3D lo = inv.map(o), ld = inv.mapVector(d);
        const DzVec3* v = mn.mesh->getVerticesPtr();
        forEachTriangle(*mn.mesh, [&](int i0, int i1, int i2) {
            const float s = hitTriangle(lo, ld, toQt(v[i0]), toQt(v[i1]), toQt(v[i2]));
            if (s <= 0.f) return;
            const float wt = (model.map(lo + ld * s) - o).length();
            if (wt < bestT) {
                bestT = wt;
                best = mn.node;
            }
        });
    }
    return best;
}
