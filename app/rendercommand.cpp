#include "rendercommand.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <dzprogress.h>
#include <dzsafefile.h>
#include "commandline.h"
#include "renderscene.h"

QString renderUsageText()
{
    return QString(
               "  --render FILE.png       path-trace the scene (sky, sun, soft shadows, bounced light) from the\n"
               "                          screenshots' camera and write it as a PNG; the previous file is kept\n"
               "                          when the render fails or is cancelled\n"
               "  --samples N             samples per pixel of --render, 1 to %1 (default %2)\n"
               "  --render-size WxH       size of --render, 16 to 8192 each (default 1280x720)\n")
        .arg(kMaxRenderSamples)
        .arg(kDefaultRenderSamples);
}

bool isRenderOption(const QString& opt) { return opt == "--render" || opt == "--samples" || opt == "--render-size"; }

bool parseRenderOption(const QString& opt, const QString& v, RenderRequest* r, QString* error)
{
    if (opt == "--render") {
        if (QFileInfo(v).suffix().toLower() != "png") {
            *error = QString("--render: %1 is not a .png file").arg(v);
            return false;
        }
        r->file = v;
    } else if (opt == "--samples") {
        bool ok = false;
        const int n = v.toInt(&ok);
        if (!ok || n < 1 || n > kMaxRenderSamples) {
            *error = QString("--samples: %1 is not a whole number from 1 to %2").arg(v).arg(kMaxRenderSamples);
            return false;
        }
        r->samples = n;
        r->hasSamples = true;
    } else if (opt == "--render-size") {
        const QStringList wh = v.toLower().split('x');
        bool okW = false, okH = false;
        const int w = wh.size() == 2 ? wh[0].toInt(&okW) : 0;
        const int h = wh.size() == 2 ? wh[1].toInt(&okH) : 0;
        if (!okW || !okH || w < 16 || h < 16 || w > 8192 || h > 8192) {
            *error = QString("--render-size: not a size WxH (16 to 8192): %1").arg(v);
            return false;
        }
        r->size = QSize(w, h);
        r->hasSize = true;
    } else {
        return false;
    }
    return true;
}

bool checkRenderRequest(const RenderRequest& r, QString* error)
{
    if (r.file.isEmpty() && (r.hasSamples || r.hasSize)) {
        *error = QString("%1 goes with --render FILE.png").arg(r.hasSamples ? "--samples" : "--render-size");
        return false;
    }
    return true;
}

int runRender(const RenderRequest& r, QString* error)
{
    PreparedRender pr;
    QString why;
    if (!prepareRender(r.size, r.samples, &pr, &why)) {
        *error = QString("--render: %1").arg(why);
        return kExitRunFailed;
    }
    RenderJob job(*pr.scene, *pr.env, pr.sun, pr.camera, pr.settings);
    {
        DzProgress progress(QString("Rendering %1").arg(QFileInfo(r.file).fileName()), 1000);
        job.start();
        while (!job.isFinished()) {
            QThread::msleep(50);
            if (!progress.step((long long)(job.progress() * 1000.0))) {
                job.cancel();
                break;
            }
        }
        job.wait();
    }
    if (job.isCancelled()) {
        *error = QString("--render: cancelled; %1 was not written").arg(r.file);
        return kExitRunFailed;
    }
    if (!DzSafeFile::writeImage(job.image(), r.file, "PNG", &why)) {
        *error = QString("--render: %1").arg(why);
        return kExitWriteFailed;
    }
    return kExitOk;
}
