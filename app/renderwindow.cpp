#include "renderwindow.h"
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QKeyEvent>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <dzapp.h>
#include <dzdialogs.h>
#include <dzsafefile.h>
#include "rendercommand.h"
#include "scenemeshes.h"

namespace {

// How often the picture on screen follows the render: often enough to watch it refine, seldom
// enough that tone-mapping a large picture costs the workers nothing to speak of.
constexpr int kRefreshMs = 400;

QString durationText(qint64 ms)
{
    const qint64 s = ms / 1000;
    return s >= 60 ? QString("%1 min %2 s").arg(s / 60).arg(s % 60)
                   : QString("%1 s").arg(double(ms) / 1000.0, 0, 'f', 1);
}

}  // namespace

RenderWindow::RenderWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("RenderWindow");
    setWindowTitle("Render");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    m_view = new QLabel(this);
    m_view->setObjectName("RenderPicture");
    m_view->setAlignment(Qt::AlignCenter);
    m_view->setMinimumSize(320, 180);
    m_view->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_view->setStyleSheet("background: #202020");
    layout->addWidget(m_view, 1);
    auto* row = new QHBoxLayout;
    m_status = new QLabel(this);
    m_status->setObjectName("RenderStatus");
    m_bar = new QProgressBar(this);
    m_bar->setObjectName("RenderProgress");
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    m_bar->setMaximumWidth(240);
    m_cancel = new QPushButton("Cancel", this);
    m_cancel->setObjectName("RenderCancel");
    m_cancel->setToolTip("Stop rendering; the picture so far stays (Escape)");
    m_save = new QPushButton("Save\u2026", this);
    m_save->setObjectName("RenderSave");
    m_save->setToolTip("Save the picture as it stands as a PNG file");
    row->addWidget(m_status, 1);
    row->addWidget(m_bar);
    row->addWidget(m_cancel);
    row->addWidget(m_save);
    layout->addLayout(row);
    connect(m_cancel, &QPushButton::clicked, this, &RenderWindow::cancel);
    connect(m_save, &QPushButton::clicked, this, &RenderWindow::save);
    m_timer = new QTimer(this);
    m_timer->setInterval(kRefreshMs);
    connect(m_timer, &QTimer::timeout, this, &RenderWindow::refresh);
    m_cancel->setEnabled(false);
    m_save->setEnabled(false);
}

RenderWindow::~RenderWindow()
{
    // The workers read the prepared scene: they stop before it goes.
    if (m_job) m_job->cancel();
    m_job.reset();
}

bool RenderWindow::start(const QSize& size, int samples)
{
    QString error;
    m_status->setText("Reading the scene\u2026");
    QApplication::processEvents();
    if (!prepareRender(size, samples, &m_prepared, &error)) {
        m_status->setText("Cannot render: " + error);
        dzApp->dialogs()->messageBox(QMessageBox::Warning, "Render", "The scene cannot be rendered: " + error,
                                     QString(), QMessageBox::Ok, QMessageBox::Ok, this);
        return false;
    }
    setWindowTitle(QString("Render %1 \u00d7 %2, %3 samples").arg(size.width()).arg(size.height()).arg(samples));
    m_job.reset(
        new RenderJob(*m_prepared.scene, *m_prepared.env, m_prepared.sun, m_prepared.camera, m_prepared.settings));
    m_clock.start();
    m_job->start();
    m_cancel->setEnabled(true);
    m_save->setEnabled(true);
    m_timer->start();
    refresh();
    return true;
}

bool RenderWindow::isRunning() const { return m_job && !m_done; }

QImage RenderWindow::picture() const { return m_picture; }

QString RenderWindow::statusText() const { return m_status->text(); }

void RenderWindow::refresh()
{
    if (!m_job) return;
    const bool finished = m_job->isFinished();
    m_picture = m_job->image();
    showPicture();
    m_bar->setValue(int(m_job->progress() * 1000.0));
    const int done = m_job->samplesDone(), total = m_prepared.settings.samples;
    if (!finished) {
        m_status->setText(QString("Rendering: %1 of %2 samples per pixel, %3")
                              .arg(done)
                              .arg(total)
                              .arg(durationText(m_clock.elapsed())));
        return;
    }
    m_timer->stop();
    m_done = true;
    m_cancel->setEnabled(false);
    if (m_cancelled)
        m_status->setText(QString("Cancelled after %1 of %2 samples per pixel; the picture so far can be saved")
                              .arg(done)
                              .arg(total));
    else m_status->setText(QString("Done: %1 samples per pixel in %2").arg(total).arg(durationText(m_clock.elapsed())));
}

void RenderWindow::showPicture()
{
    if (m_picture.isNull()) return;
    m_view->setPixmap(
        QPixmap::fromImage(m_picture.scaled(m_view->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void RenderWindow::cancel()
{
    if (!m_job || m_done) return;
    m_cancelled = true;
    m_job->cancel();
    m_job->wait();
    refresh();
}

void RenderWindow::save()
{
    const QString file = dzApp->dialogs()->getSaveFileName(this, "Save Render", QDir::homePath(), "PNG images (*.png)");
    if (file.isEmpty()) return;
    saveTo(QFileInfo(file).suffix().toLower() == "png" ? file : file + ".png");
}

bool RenderWindow::saveTo(const QString& file)
{
    if (m_job) m_picture = m_job->image();
    QString why;
    if (!DzSafeFile::writeImage(m_picture, file, "PNG", &why)) {
        dzApp->dialogs()->messageBox(QMessageBox::Warning, "Render", why, QString(), QMessageBox::Ok, QMessageBox::Ok,
                                     this);
        return false;
    }
    m_status->setText(QString("Saved %1").arg(QDir::toNativeSeparators(file)));
    return true;
}

void RenderWindow::closeEvent(QCloseEvent* e)
{
    if (m_job && !m_done) {
        m_cancelled = true;
        m_job->cancel();
    }
    QWidget::closeEvent(e);
}

void RenderWindow::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        cancel();
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

void RenderWindow::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    showPicture();
}

namespace {

class RenderDialog : public QDialog
{
public:
    explicit RenderDialog(QWidget* parent) : QDialog(parent)
    {
        setWindowTitle("Render Image");
        setObjectName("RenderDialog");
        auto* form = new QFormLayout(this);
        auto spin = [this](const char* name, int lo, int hi, int value, const QString& tip) {
            auto* s = new QSpinBox(this);
            s->setObjectName(name);
            s->setRange(lo, hi);
            s->setValue(value);
            s->setToolTip(tip);
            return s;
        };
        m_width = spin("RenderWidth", 16, 8192, s_size.width(), "Width of the picture in pixels");
        m_height = spin("RenderHeight", 16, 8192, s_size.height(), "Height of the picture in pixels");
        m_samples = spin("RenderSamples", 1, kMaxRenderSamples, s_samples,
                         "Samples per pixel: more is smoother and takes longer in proportion");
        form->addRow("Width", m_width);
        form->addRow("Height", m_height);
        form->addRow("Samples", m_samples);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        buttons->button(QDialogButtonBox::Ok)->setText("Render");
        connect(buttons, &QDialogButtonBox::accepted, this, [this]() {
            s_size = QSize(m_width->value(), m_height->value());
            s_samples = m_samples->value();
            accept();
        });
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        form->addRow(buttons);
    }

    // The last values asked for, offered again.
    static QSize s_size;
    static int s_samples;

private:
    QSpinBox *m_width, *m_height, *m_samples;
};

QSize RenderDialog::s_size{1280, 720};
int RenderDialog::s_samples = kDefaultRenderSamples;

void renderImage(QMainWindow* window)
{
    RenderDialog dialog(window);
    if (dialog.exec() != QDialog::Accepted) return;
    auto* w = new RenderWindow(window);
    const QSize size = RenderDialog::s_size;
    w->resize(std::min(size.width(), 1280) + 24, std::min(size.height(), 720) + 64);
    w->show();
    if (!w->start(size, RenderDialog::s_samples)) w->close();
}

}  // namespace

void addRenderMenu(QMainWindow* window)
{
    QMenu* menu = window->menuBar()->addMenu("&Render");
    menu->setObjectName("RenderMenu");
    QAction* act = menu->addAction("Render &Image\u2026", window, [window]() { renderImage(window); });
    act->setObjectName("RenderImageAction");
    const QString tip = "Path-trace the scene from the viewport's camera under its sun and sky";
    act->setToolTip(tip);
    QObject::connect(menu, &QMenu::aboutToShow, act, [act, tip]() {
        act->setEnabled(!sceneMeshNodes(true).isEmpty());
        act->setToolTip(act->isEnabled() ? tip : QString("The scene shows no mesh; there is nothing to render"));
    });
}
