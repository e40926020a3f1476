#include "commandline.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMetaMethod>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <dzapp.h>
#include <dzdialogs.h>
#include <dzpane.h>
#include <dzplugin.h>
#include <dzprogress.h>
#include <dzsafefile.h>
#include <dzscene.h>
#include <dzscript.h>
#include "animexport.h"
#include "korgpane.h"
#include "mainwindow.h"
#include "midireplay.h"
#include "orbitcamera.h"
#include "privatedisplay.h"
#include "renderer.h"
#include "sceneexport.h"
#include "viewport.h"
#include "viewsettings.h"

QString usageText()
{
    return QString(
               "usage: verdix-host [--headless] [--assets DIR] [--load-scene FILE] [--open-set FILE] [--script FILE]\n"
               "                   [--midi-replay FILE.mid] [--time FRAME] [--ticks N] [--save-scene FILE]\n"
               "                   [--export-animation FILE.glb | --export-sequence DIR] [--frames N] [--fps F]\n"
               "                   [--interpolation linear|step] [--meshopt] [--sequence-format obj|glb]\n"
               "                   [--export-heightmap BOX FILE.{png,r16,raw,dat}] [--export FILE.{obj,gltf,glb}]...\n"
               "                   [--erode BOX [--erode-... VALUE]...]\n"
               "                   [--screenshot FILE.png]... [--screenshot-size WxH]\n"
               "                   [--render FILE.png [--samples N] [--render-size WxH]] [--status]\n"
               "                   [--sun AZIMUTH,ELEVATION] [--shading full|fast|flat]\n"
               "                   [--view perspective|top|front|eye | --camera X,Y,Z --look-at X,Y,Z] [--fov DEG]\n"
               "\n"
               "Options run in the order below, whatever order they are written in.\n"
               "  --headless              run without a window (batch work); every message the window would\n"
               "                          show goes to stderr\n"
               "  --assets DIR            use DIR as the asset library (height maps, textures, sample scenes)\n"
               "  --load-scene FILE       load a host scene file (.duf)\n"
               "  --open-set FILE         open a Verdix set document (.txt) in the pane, replacing its boxes\n"
               "  --script FILE           run a script file line by line; MainWindow.undo() and MainWindow.redo()\n"
               "                          take back and bring again the last step as the Edit menu does\n"
               "  --midi-replay FILE.mid  play the control changes of a Standard MIDI File in their order through\n"
               "                          the MIDI controller pane into the selected box (after --open-set, the\n"
               "                          last box made); in the window at their recorded times, headless\n"
               "                          without waiting\n"
               "  --sun AZIMUTH,ELEVATION the sun's direction in degrees: azimuth 0 to 360 (0 north = -Z, 90 east\n"
               "                          = +X), elevation 0 to 90 (default 135,35: mid-morning)\n"
               "  --shading MODE          full (sky, sun shadows, ambient occlusion; the default), fast (no\n"
               "                          shadows or occlusion) or flat (one fixed light, no sky)\n"
               "  --view NAME             the camera: perspective (the whole scene from above at an angle), top,\n"
               "                          front, or eye (standing on the terrain at the walk-through's eye\n"
               "                          height, looking across the scene to its centre)\n"
               "  --camera X,Y,Z --look-at X,Y,Z  the camera's eye and the point it looks at\n"
               "  --fov DEG               vertical field of view, 10 to 120 degrees\n"
               "                          Headless, the camera is placed after --open-set and --script and before\n"
               "                          --time and --ticks: billboards turn to it and screenshots look from it\n"
               "                          (without a view option: a loaded scene's saved camera, else the\n"
               "                          perspective view of the scene as it then stands)\n"
               "  --time FRAME            go to frame FRAME (0 to %1)\n"
               "  --ticks N               run N animation ticks (0 to %2)\n"
               "%9"
               "  --save-scene FILE       save the host scene to FILE\n"
               "  --export-animation FILE.glb  write N ticks of the wind as glTF morph targets (needs --frames N,\n"
               "                          1 to 10000; --fps F, 0.01 to 1000; --interpolation linear|step,\n"
               "                          --meshopt compresses them)\n"
               "  --export-sequence DIR   write DIR/frame_0001.obj ... one file per tick (needs --frames N;\n"
               "                          --sequence-format glb for .glb files)\n"
               "  --export-heightmap BOX FILE  write the final heights of landscape box BOX (its index, as in its\n"
               "                          title) as 16-bit PNG, raw 16-bit (.r16, .raw) or 32-bit float .dat\n"
               "  --export FILE           write every mesh in world space; .obj, .gltf or .glb (repeatable)\n"
               "  --screenshot FILE.png   render the viewport to a PNG file (repeatable)\n"
               "  --screenshot-size WxH   size of the screenshots, 16 to 8192 each (default 1280x720)\n"
               "%10"
               "  --status                print the pane's status line last\n"
               "  --window-shot FILE.png  in the window (not --headless): save a picture of the whole window\n"
               "                          once the options above ran, then quit\n"
               "  --help, -h              print this text and exit\n"
               "  --version               print the version and exit\n"
               "\n"
               "Exit codes:\n"
               "  %3  everything asked was done\n"
               "  %4  the plug-in library did not load or made no pane\n"
               "  %5  unknown option, missing or out-of-range value\n"
               "  %6  a file to read is missing, unreadable or not valid\n"
               "  %7  the run reported an error (a message, a failed step)\n"
               "  %8  a file to write could not be written completely\n")
        .arg(kMaxFrame)
        .arg(kMaxTicks)
        .arg(kExitOk)
        .arg(kExitPluginFailed)
        .arg(kExitUsage)
        .arg(kExitInputFailed)
        .arg(kExitRunFailed)
        .arg(kExitWriteFailed)
        .arg(erodeUsageText())
        .arg(renderUsageText());
}

QString versionText() { return QString("verdix-host %1\n").arg(QStringLiteral(VERDIX_VERSION)); }

namespace {

bool checkInput(const QString& opt, const QString& file, QString* error)
{
    const QFileInfo fi(file);
    if (!fi.exists()) {
        *error = QString("%1: no such file: %2").arg(opt, file);
        return false;
    }
    if (!fi.isFile() || !fi.isReadable()) {
        *error = QString("%1: cannot read %2").arg(opt, file);
        return false;
    }
    return true;
}

bool checkOutput(const QString& opt, const QString& file, QString* error)
{
    const QFileInfo fi(file);
    if (fi.exists() && (fi.isDir() || !fi.isWritable())) {
        *error = QString("%1: cannot write %2").arg(opt, file);
        return false;
    }
    const QFileInfo dir(fi.absolutePath());
    if (!dir.isDir()) {
        *error = QString("%1: cannot write %2: folder %3 does not exist").arg(opt, file, dir.filePath());
        return false;
    }
    if (!dir.isWritable()) {
        *error = QString("%1: cannot write %2: folder %3 is not writable").arg(opt, file, dir.filePath());
        return false;
    }
    return true;
}

QMetaMethod paneMethod(QObject* pane, const char* signature)
{
    if (!pane) return QMetaMethod();
    const QMetaObject* mo = pane->metaObject();
    const int i = mo->indexOfMethod(QMetaObject::normalizedSignature(signature).constData());
    return i >= 0 ? mo->method(i) : QMetaMethod();
}

// Calls a pane slot found by name; a slot returning bool reports failure through it.
bool callPane(QObject* pane, const QMetaMethod& m, QGenericArgument arg = QGenericArgument(),
              QGenericArgument arg2 = QGenericArgument())
{
    if (m.returnType() == QMetaType::Bool) {
        bool ok = true;
        m.invoke(pane, Qt::DirectConnection, Q_RETURN_ARG(bool, ok), arg, arg2);
        return ok;
    }
    m.invoke(pane, Qt::DirectConnection, arg, arg2);
    return true;
}

QString paneStatus(QObject* pane)
{
    if (!pane) return QString();
    auto* label = pane->findChild<QLabel*>(kStatusLabelName);
    return label ? label->text() : QString();
}

}  // namespace

bool parseCommandLine(const QStringList& args, CommandLine* cl, QString* error, int* code)
{
    int unused = 0;
    int& rc = code ? *code : unused;
    rc = kExitUsage;
    QStringList seen;
    for (int i = 0; i < args.size(); ++i) {
        QString opt = args[i];
        QString value;
        bool hasInline = false;
        if (opt.startsWith("--") && opt.contains('=')) {
            value = opt.mid(opt.indexOf('=') + 1);
            opt = opt.left(opt.indexOf('='));
            hasInline = true;
        }
        auto takeValue = [&](QString* v) {
            if (hasInline) {
                *v = value;
            } else if (i + 1 < args.size() && !args[i + 1].startsWith("--")) {
                *v = args[++i];
            } else {
                *error = QString("%1 needs a value").arg(opt);
                return false;
            }
            if (v->isEmpty()) {
                *error = QString("%1 needs a value").arg(opt);
                return false;
            }
            return true;
        };
        auto once = [&]() {
            if (seen.contains(opt)) {
                *error = QString("%1 given more than once").arg(opt);
                return false;
            }
            seen.append(opt);
            return true;
        };
        // A whole number from lo to hi; anything else names the option and its range.
        auto takeNumber = [&](qint64 lo, qint64 hi, qint64* n) {
            QString v;
            if (!once() || !takeValue(&v)) return false;
            bool ok = false;
            *n = v.toLongLong(&ok);
            if (!ok || *n < lo || *n > hi) {
                *error = QString("%1: %2 is not a whole number from %3 to %4").arg(opt, v).arg(lo).arg(hi);
                return false;
            }
            return true;
        };
        const bool flag = opt == "--headless" || opt == "--status" || opt == "--help" || opt == "-h" ||
                          opt == "--version" || opt == "--meshopt";
        if (flag && hasInline) {
            *error = QString("%1 takes no value").arg(opt);
            return false;
        }
        if (opt == "--headless") {
            cl->headless = true;
        } else if (opt == "--status") {
            cl->status = true;
        } else if (opt == "--help" || opt == "-h") {
            cl->help = true;
        } else if (opt == "--version") {
            cl->version = true;
        } else if (opt == "--assets") {
            if (!once() || !takeValue(&cl->assets)) return false;
            if (!QFileInfo(cl->assets).isDir()) {
                *error = QString("--assets: no such folder: %1").arg(cl->assets);
                rc = kExitInputFailed;
                return false;
            }
        } else if (opt == "--load-scene" || opt == "--open-set" || opt == "--script") {
            QString* dst = opt == "--load-scene" ? &cl->loadScene : opt == "--open-set" ? &cl->openSet : &cl->script;
            if (!once() || !takeValue(dst)) return false;
            if (!checkInput(opt, *dst, error)) {
                rc = kExitInputFailed;
                return false;
            }
        } else if (opt == "--midi-replay") {
            if (!once() || !takeValue(&cl->midiReplay)) return false;
            if (!checkInput(opt, cl->midiReplay, error)) {
                rc = kExitInputFailed;
                return false;
            }
        } else if (opt == "--time") {
            if (!takeNumber(0, kMaxFrame, &cl->frame)) return false;
            cl->hasTime = true;
        } else if (opt == "--ticks") {
            qint64 n = 0;
            if (!takeNumber(0, kMaxTicks, &n)) return false;
            cl->ticks = int(n);
            cl->hasTicks = true;
        } else if (opt == "--save-scene") {
            if (!once() || !takeValue(&cl->saveScene)) return false;
            if (!checkOutput(opt, cl->saveScene, error)) {
                rc = kExitWriteFailed;
                return false;
            }
        } else if (opt == "--export-animation") {
            if (!once() || !takeValue(&cl->exportAnimation)) return false;
            if (QFileInfo(cl->exportAnimation).suffix().toLower() != "glb") {
                *error = QString("--export-animation: %1 is not a .glb file").arg(cl->exportAnimation);
                return false;
            }
            if (!checkOutput(opt, cl->exportAnimation, error)) {
                rc = kExitWriteFailed;
                return false;
            }
        } else if (opt == "--export-sequence") {
            if (!once() || !takeValue(&cl->exportSequence)) return false;
            if (QFileInfo(cl->exportSequence).exists() && !QFileInfo(cl->exportSequence).isDir()) {
                *error = QString("--export-sequence: %1 is not a folder").arg(cl->exportSequence);
                return false;
            }
        } else if (opt == "--sequence-format") {
            if (!once() || !takeValue(&cl->sequenceFormat)) return false;
            cl->sequenceFormat = cl->sequenceFormat.toLower();
            if (cl->sequenceFormat != "obj" && cl->sequenceFormat != "glb") {
                *error = QString("--sequence-format: use obj or glb, not %1").arg(cl->sequenceFormat);
                return false;
            }
        } else if (opt == "--frames") {
            QString v;
            if (!once() || !takeValue(&v)) return false;
            bool ok = false;
            cl->frames = v.toInt(&ok);
            if (!ok || cl->frames < 1 || cl->frames > 100000) {
                *error = QString("--frames: not a count of frames from 1 to 100000: %1").arg(v);
                return false;
            }
        } else if (opt == "--fps") {
            QString v;
            if (!once() || !takeValue(&v)) return false;
            bool ok = false;
            cl->fps = v.toDouble(&ok);
            if (!ok || !(cl->fps >= kMinAnimationFps) || !(cl->fps <= kMaxAnimationFps)) {
                *error = QString("--fps: not a frame rate from %1 to %2: %3")
                             .arg(kMinAnimationFps)
                             .arg(kMaxAnimationFps)
                             .arg(v);
                return false;
            }
        } else if (opt == "--interpolation") {
            QString v;
            if (!once() || !takeValue(&v)) return false;
            if (v.toLower() != "linear" && v.toLower() != "step") {
                *error = QString("--interpolation: use linear or step, not %1").arg(v);
                return false;
            }
            cl->stepInterpolation = v.toLower() == "step";
        } else if (opt == "--meshopt") {
            cl->meshopt = true;
        } else if (opt == "--export-heightmap") {
            QString v;
            if (!once() || !takeValue(&v)) return false;
            bool ok = false;
            cl->heightmapBox = v.toInt(&ok);
            if (!ok || cl->heightmapBox < 0) {
                *error = QString("--export-heightmap: not a landscape box index: %1").arg(v);
                return false;
            }
            if (i + 1 >= args.size() || args[i + 1].startsWith("--")) {
                *error = "--export-heightmap needs a box index and a file";
                return false;
            }
            cl->heightmapFile = args[++i];
            const QString ext = QFileInfo(cl->heightmapFile).suffix().toLower();
            if (ext != "png" && ext != "r16" && ext != "raw" && ext != "dat") {
                *error = QString("--export-heightmap: unknown format of %1 (use .png, .r16, .raw or .dat)")
                             .arg(cl->heightmapFile);
                return false;
            }
            if (!checkOutput(opt, cl->heightmapFile, error)) {
                rc = kExitWriteFailed;
                return false;
            }
        } else if (opt == "--export") {
            QString v;
            if (!takeValue(&v)) return false;
            if (!isExportFormat(v)) {
                *error = QString("--export: unknown format of %1 (use .obj, .gltf or .glb)").arg(v);
                return false;
            }
            if (!checkOutput(opt, v, error)) {
                rc = kExitWriteFailed;
                return false;
            }
            cl->exports.append(v);
        } else if (opt == "--screenshot") {
            QString v;
            if (!takeValue(&v)) return false;
            if (QFileInfo(v).suffix().toLower() != "png") {
                *error = QString("--screenshot: %1 is not a .png file").arg(v);
                return false;
            }
            if (!checkOutput(opt, v, error)) {
                rc = kExitWriteFailed;
                return false;
            }
            cl->screenshots.append(v);
        } else if (opt == "--window-shot") {
            if (!once() || !takeValue(&cl->windowShot)) return false;
            if (QFileInfo(cl->windowShot).suffix().toLower() != "png") {
                *error = QString("--window-shot: %1 is not a .png file").arg(cl->windowShot);
                return false;
            }
            if (!checkOutput(opt, cl->windowShot, error)) {
                rc = kExitWriteFailed;
                return false;
            }
        } else if (opt == "--screenshot-size") {
            QString v;
            if (!once() || !takeValue(&v)) return false;
            const QStringList wh = v.toLower().split('x');
            bool okW = false, okH = false;
            const int w = wh.size() == 2 ? wh[0].toInt(&okW) : 0;
            const int h = wh.size() == 2 ? wh[1].toInt(&okH) : 0;
            if (!okW || !okH || w < 16 || h < 16 || w > 8192 || h > 8192) {
                *error = QString("--screenshot-size: not a size WxH (16 to 8192): %1").arg(v);
                return false;
            }
            cl->screenshotSize = QSize(w, h);
        } else if (isRenderOption(opt)) {
            QString v;
            if (!once() || !takeValue(&v) || !parseRenderOption(opt, v, &cl->render, error)) return false;
            if (opt == "--render" && !checkOutput(opt, v, error)) {
                rc = kExitWriteFailed;
                return false;
            }
        } else if (isErodeOption(opt)) {
            QString v;
            if (!once() || !takeValue(&v) || !parseErodeOption(opt, v, &cl->erode, error)) return false;
        } else if (opt == "--sun" || opt == "--shading" || opt == "--view" || opt == "--camera" || opt == "--look-at" ||
                   opt == "--fov") {
            QString v;
            if (!once() || !takeValue(&v)) return false;
            if (parseViewOption(opt, v, cl, error) < 0) return false;
        } else {
            *error = QString("unknown option: %1 (see --help)").arg(args[i]);
            return false;
        }
    }
    if (!checkErodeRequest(cl->erode, error)) return false;
    if (!checkRenderRequest(cl->render, error)) return false;
    if (!checkViewOptions(*cl, error)) return false;
    const bool animates = !cl->exportAnimation.isEmpty() || !cl->exportSequence.isEmpty();
    if (!cl->exportAnimation.isEmpty() && !cl->exportSequence.isEmpty()) {
        // Both would tick the same scene one after the other, so their frames would differ.
        *error = "use --export-animation or --export-sequence, not both in one run";
        return false;
    }
    if (animates && cl->frames < 1) {
        *error = QString("%1 needs --frames N")
                     .arg(cl->exportAnimation.isEmpty() ? "--export-sequence" : "--export-animation");
        return false;
    }
    if (!cl->exportAnimation.isEmpty() && cl->frames > kMaxAnimationFrames) {
        *error = QString(
                     "--frames: %1 frames are more than the %2 an animated .glb may hold (its weights grow with "
                     "the square of the frames); --export-sequence takes more")
                     .arg(cl->frames)
                     .arg(kMaxAnimationFrames);
        return false;
    }
    if (!animates && (cl->frames > 0 || seen.contains("--fps") || seen.contains("--interpolation") || cl->meshopt)) {
        *error = "--frames, --fps, --interpolation and --meshopt go with --export-animation or --export-sequence";
        return false;
    }
    rc = kExitOk;
    return true;
}

namespace {

// Whether a step reported trouble through a message box (which, headless, already went to
// stderr); the step then fails even when the slot it ran returned normally.
class StepErrors
{
public:
    StepErrors() : m_before(dzApp ? dzApp->dialogs()->errorCount() : 0) {}
    int reported() const { return dzApp ? dzApp->dialogs()->errorCount() - m_before : 0; }

private:
    int m_before;
};

QString reportedText(int n) { return n == 1 ? QString("1 error reported") : QString("%1 errors reported").arg(n); }

}  // namespace

int runCommands(const CommandLine& cl, DzPane* pane, QTextStream& out, QString* error)
{
    QString why;
    if (!cl.loadScene.isEmpty()) {
        StepErrors step;
        if (!dzScene->loadScene(cl.loadScene, &why)) {
            *error = QString("--load-scene %1: %2").arg(cl.loadScene, why);
            return kExitInputFailed;
        }
        QCoreApplication::processEvents();
        if (step.reported()) {
            *error = QString("--load-scene %1: %2").arg(cl.loadScene, reportedText(step.reported()));
            return kExitInputFailed;
        }
    }
    if (!cl.openSet.isEmpty()) {
        const QMetaMethod m = paneMethod(pane, "openSetDocument(QString)");
        if (!m.isValid()) {
            *error = "--open-set is not available yet";
            return kExitRunFailed;
        }
        StepErrors step;
        if (!callPane(pane, m, Q_ARG(QString, cl.openSet))) {
            const QString status = paneStatus(pane);
            *error = QString("--open-set %1: %2").arg(cl.openSet, status.isEmpty() ? "cannot open the set" : status);
            return kExitInputFailed;
        }
        QCoreApplication::processEvents();
        if (step.reported()) {
            *error = QString("--open-set %1: %2").arg(cl.openSet, reportedText(step.reported()));
            return kExitInputFailed;
        }
    }
    if (!cl.script.isEmpty()) {
        QFile f(cl.script);
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
            *error = QString("--script: cannot read %1").arg(cl.script);
            return kExitInputFailed;
        }
        StepErrors step;
        DzScript script;
        const QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
        for (const QString& line : lines) script.addLine(line);
        if (!script.execute()) {
            *error = QString("--script %1: %2").arg(cl.script, script.errorMessage());
            return kExitRunFailed;
        }
        QCoreApplication::processEvents();
        if (step.reported()) {
            *error = QString("--script %1: %2").arg(cl.script, reportedText(step.reported()));
            return kExitRunFailed;
        }
    }
    if (!cl.midiReplay.isEmpty()) {
        QVector<TimedControlChange> changes;
        if (!readControlChanges(cl.midiReplay, &changes, &why)) {
            *error = QString("--midi-replay: %1").arg(why);
            return kExitInputFailed;
        }
        // Headless nothing watches the time pass: the file's clock alone orders the changes.
        const ReplayClock clock = cl.headless ? ReplayClock::FileClock : ReplayClock::WallClock;
        if (!replayControlChanges(changes, pane, korgPane(), clock, &why)) {
            *error = QString("--midi-replay %1: %2").arg(cl.midiReplay, why);
            return kExitRunFailed;
        }
    }
    applyViewOptions(cl, !cl.openSet.isEmpty());
    if (cl.hasTime) {
        StepErrors step;
        DzTime t = 0;
        if (cl.frame < 0 || __builtin_mul_overflow(DzTime(cl.frame), dzScene->getTimeStep(), &t) || t < 0) {
            *error = QString("--time: frame %1 times the scene's time step %2 is past the last time a scene holds")
                         .arg(cl.frame)
                         .arg(dzScene->getTimeStep());
            return kExitUsage;
        }
        if (dzScene->getTime() == t) {
            // The scene emits nothing for the time it already has (a fresh scene at frame 0,
            // a loaded scene saved at that frame), yet the pane must still follow it.
            const QMetaMethod follow = paneMethod(pane, "UpdateFrame(DzTime)");
            if (follow.isValid()) callPane(pane, follow, Q_ARG(DzTime, t));
        } else {
            dzScene->setTime(t);
        }
        QCoreApplication::processEvents();
        if (step.reported()) {
            *error = QString("--time %1: %2").arg(cl.frame).arg(reportedText(step.reported()));
            return kExitRunFailed;
        }
    }
    if (cl.hasTicks) {
        const QMetaMethod tick = paneMethod(pane, "Animation_Draw()");
        if (!tick.isValid()) {
            *error = "--ticks: no pane to animate";
            return kExitRunFailed;
        }
        StepErrors step;
        // Each tick waits for its background tasks; events between ticks deliver what the
        // tasks posted (status lines) as the window's event loop would.
        for (int i = 0; i < cl.ticks; ++i) {
            callPane(pane, tick);
            QCoreApplication::processEvents();
        }
        if (step.reported()) {
            *error = QString("--ticks %1: %2").arg(cl.ticks).arg(reportedText(step.reported()));
            return kExitRunFailed;
        }
    }
    if (cl.erode.box >= 0) {
        StepErrors step;
        if (!runErode(cl.erode, pane, error)) return kExitRunFailed;
        if (step.reported()) {
            *error = QString("--erode %1: %2").arg(cl.erode.box).arg(reportedText(step.reported()));
            return kExitRunFailed;
        }
    }
    if (!cl.saveScene.isEmpty() && !dzScene->saveScene(cl.saveScene, &why)) {
        *error = QString("--save-scene %1: %2").arg(cl.saveScene, why);
        return kExitWriteFailed;
    }
    if (!cl.heightmapFile.isEmpty()) {
        const QMetaMethod m = paneMethod(pane, "exportHeightMap(int,QString)");
        if (!m.isValid()) {
            *error = "--export-heightmap: no pane with landscapes";
            return kExitRunFailed;
        }
        if (!callPane(pane, m, Q_ARG(int, cl.heightmapBox), Q_ARG(QString, cl.heightmapFile))) {
            *error = QString("--export-heightmap: %1").arg(paneStatus(pane));
            return kExitWriteFailed;
        }
    }
    if (!cl.exportAnimation.isEmpty() || !cl.exportSequence.isEmpty()) {
        const QMetaMethod tickSlot = paneMethod(pane, "Animation_Draw()");
        if (!tickSlot.isValid()) {
            *error = "--export-animation: no pane to animate";
            return kExitRunFailed;
        }
        // The same ticks as --ticks, so frame k of an export is what --ticks k leaves.
        const TickFunction tick = [&](QString*) {
            callPane(pane, tickSlot);
            QCoreApplication::processEvents();
            return true;
        };
        if (!cl.exportAnimation.isEmpty()) {
            AnimationExportOptions opt;
            opt.frames = cl.frames;
            opt.fps = cl.fps;
            opt.linear = !cl.stepInterpolation;
            opt.compress = cl.meshopt;
            if (!exportAnimationGlb(cl.exportAnimation, opt, tick, &why)) {
                *error = QString("--export-animation: %1").arg(why);
                return kExitWriteFailed;
            }
        }
        if (!cl.exportSequence.isEmpty() &&
            !exportFrameSequence(cl.exportSequence, cl.frames, cl.sequenceFormat, tick, &why)) {
            *error = QString("--export-sequence: %1").arg(why);
            return kExitWriteFailed;
        }
    }
    for (const QString& file : cl.exports) {
        if (!exportScene(file, &why)) {
            *error = QString("--export: %1").arg(why);
            return kExitWriteFailed;
        }
    }
    for (const QString& file : cl.screenshots) {
        const QImage img = renderSceneImage(cl.screenshotSize, &why);
        if (img.isNull()) {
            *error = QString("--screenshot: %1").arg(why);
            return kExitRunFailed;
        }
        if (!DzSafeFile::writeImage(img, file, "PNG", &why)) {
            *error = QString("--screenshot: %1").arg(why);
            return kExitWriteFailed;
        }
    }
    if (!cl.render.file.isEmpty()) {
        const int rc = runRender(cl.render, error);
        if (rc != kExitOk) return rc;
    }
    if (cl.status) {
        out << paneStatus(pane) << '\n';
        out.flush();
    }
    return kExitOk;
}

int runHostApplication(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i) args.append(QString::fromLocal8Bit(argv[i]));
    CommandLine cl;
    QString error;
    int code = kExitUsage;
    if (!parseCommandLine(args, &cl, &error, &code)) {
        std::fprintf(stderr, "verdix-host: %s\n", qPrintable(error));
        return code;
    }
    if (cl.help) {
        std::fputs(qPrintable(usageText()), stdout);
        return kExitOk;
    }
    if (cl.version) {
        std::fputs(qPrintable(versionText()), stdout);
        return kExitOk;
    }
    PrivateDisplay display;
    if (cl.headless) {
        const QByteArray forced = qgetenv("QT_QPA_PLATFORM");
        // Qt warns on stderr when this is missing and then uses the same folder; batch runs
        // keep stderr for their own one-line messages.
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            const QByteArray dir = QDir::tempPath().toLocal8Bit() + "/runtime-" + QByteArray::number(uint(getuid()));
            QDir().mkpath(QString::fromLocal8Bit(dir));
            QFile::setPermissions(QString::fromLocal8Bit(dir),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", dir);
        }
        if (forced.isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
        // The offscreen platform reaches OpenGL through an X display only.
        if (!cl.screenshots.isEmpty() && (forced.isEmpty() || forced == "offscreen")) display.ensure();
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("verdix-host");
    int rc = 0;
    {
        DzHostSession session;
        installViewPersistence();
        if (!cl.assets.isEmpty()) dzApp->setTextureRootOverride(QDir(cl.assets).absolutePath());
        const QString lib = dzApp->getApplicationDir() + "/plugins/libverdix.so";
        if (!dzApp->getPluginMgr()->loadPlugin(lib, &error)) {
            std::fprintf(stderr, "verdix-host: %s\n", qPrintable(error));
            return kExitPluginFailed;
        }
        QTextStream out(stdout);
        if (cl.headless) {
            dzApp->dialogs()->setEchoToStderr(true);
            // Long steps show where they are, but only to a person watching a terminal.
            DzProgress::setConsoleOutput(isatty(2) != 0);
            dzApp->getPaneMgr()->showPane(kPaneClass);
            rc = runCommands(cl, dzApp->getPaneMgr()->findPaneByClass(kPaneClass), out, &error);
            // Messages shown outside any step (while the pane was built) fail the run too.
            if (rc == kExitOk && dzApp->dialogs()->errorCount() > 0) {
                rc = kExitRunFailed;
                error = reportedText(dzApp->dialogs()->errorCount());
            }
            if (rc != 0) std::fprintf(stderr, "verdix-host: %s\n", qPrintable(error));
        } else {
            dzApp->dialogs()->setInteractive(true);
            std::unique_ptr<MainWindow> window(new MainWindow);
            window->createPane();
            window->createBridgePanes();
            window->show();
            QCoreApplication::processEvents();
            // In the window a failed option is reported and the session goes on, with the
            // scene as it stands.
            const int crc = runCommands(cl, dzApp->getPaneMgr()->findPaneByClass(kPaneClass), out, &error);
            if (!cl.view.isEmpty() || cl.hasCamera || cl.fov > 0.f) window->viewport()->followHostCamera();
            // Framed at the viewport's own shape rather than the screenshots'.
            if (!cl.view.isEmpty() && cl.view != "eye") window->viewport()->frameAll();
            if (crc != 0) {
                std::fprintf(stderr, "verdix-host: %s\n", qPrintable(error));
                dzApp->statusLine(error);
            }
            if (!cl.windowShot.isEmpty()) {
                // Let the layout settle and the viewport draw before the picture is taken.
                QTimer::singleShot(500, window.get(), [&]() {
                    QString why;
                    if (!DzSafeFile::writeImage(window->grab().toImage(), cl.windowShot, "PNG", &why)) {
                        std::fprintf(stderr, "verdix-host: --window-shot: %s\n", qPrintable(why));
                        QCoreApplication::exit(kExitWriteFailed);
                        return;
                    }
                    QCoreApplication::exit(crc);
                });
            }
            rc = app.exec();
            dzApp->emitClosing();
            window.reset();
            return rc;
        }
        dzApp->emitClosing();
    }
    return rc;
}
