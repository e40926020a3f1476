#include "erodecommand.h"
#include <QLabel>
#include <QMetaMethod>
#include <QObject>
#include <cmath>
#include "commandline.h"

namespace {

// The ranges are the erosion core's own; the pane checks them again, so a caller that
// bypasses this table is refused just the same (tests/app holds the two side by side).
const ErodeOption kOptions[] = {
    {"--erode-iterations", "iterations", 0, 10000000, 200000, true,
     "droplets of rain let fall (0 to 10000000, default 200000)"},
    {"--erode-rain", "rain", 0.1, 10, 1, false, "water per droplet (0.1 to 10, default 1)"},
    {"--erode-capacity", "capacity", 0.5, 32, 4, false,
     "sediment a droplet carries per speed and drop (0.5 to 32, default 4)"},
    {"--erode-strength", "strength", 0.01, 1, 0.3, false,
     "share of the free capacity taken from the ground per step (0.01 to 1, default 0.3)"},
    {"--erode-deposition", "deposition", 0.01, 1, 0.3, false,
     "share of the excess sediment dropped per step (0.01 to 1, default 0.3)"},
    {"--erode-evaporation", "evaporation", 0, 0.5, 0.01, false,
     "share of the water lost per step (0 to 0.5, default 0.01)"},
    {"--erode-thermal", "thermal", 0, 89, 0, false,
     "angle of repose in degrees; steeper ground slides down (0 = off, up to 89)"},
    {"--erode-thermal-passes", "thermalPasses", 1, 10000, 50, true, "passes of the sliding (1 to 10000, default 50)"},
    {"--erode-seed", "seed", 0, 2147483647, 1, true, "the seed of the droplets (0 to 2147483647, default 1)"},
};

const ErodeOption* find(const QString& opt)
{
    for (const ErodeOption& o : kOptions)
        if (opt == QLatin1String(o.option)) return &o;
    return nullptr;
}

}  // namespace

const ErodeOption* erodeOptions(int* count)
{
    *count = int(sizeof(kOptions) / sizeof(kOptions[0]));
    return kOptions;
}

QString erodeUsageText()
{
    QString t =
        "  --erode BOX             erode the final heights of landscape box BOX (its index, as in its\n"
        "                          title) with rain and, with --erode-thermal, sliding ground; the result\n"
        "                          is saved as \"Eroded BOX.dat\" in the User folder and becomes the box's\n"
        "                          User map, so the box (and what stands on it) shows it\n";
    for (const ErodeOption& o : kOptions) {
        QString line = QString("  %1 %2").arg(QLatin1String(o.option), o.whole ? "N" : "X");
        line = line.leftJustified(26, ' ');
        if (line.size() >= 26) line += "\n" + QString(26, ' ');
        t += line + QLatin1String(o.help) + "\n";
    }
    return t;
}

bool isErodeOption(const QString& opt) { return opt == "--erode" || find(opt) != nullptr; }

bool parseErodeOption(const QString& opt, const QString& value, ErodeRequest* request, QString* error)
{
    if (opt == "--erode") {
        bool ok = false;
        const int box = value.toInt(&ok);
        if (!ok || box < 0 || box > 9999) {
            *error = QString("--erode: not a landscape box index (0 to 9999): %1").arg(value);
            return false;
        }
        request->box = box;
        return true;
    }
    const ErodeOption* o = find(opt);
    if (!o) {
        *error = QString("unknown option: %1 (see --help)").arg(opt);
        return false;
    }
    bool ok = false;
    const double v = value.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < o->lo || v > o->hi || (o->whole && v != std::floor(v))) {
        *error = QString("%1: %2 is not %3 from %4 to %5")
                     .arg(opt, value, o->whole ? "a whole number" : "a number", QString::number(o->lo, 'g', 12),
                          QString::number(o->hi, 'g', 12));
        return false;
    }
    request->options.insert(QLatin1String(o->key), o->whole ? QVariant(qint64(v)) : QVariant(v));
    request->given.append(opt);
    return true;
}

bool checkErodeRequest(const ErodeRequest& request, QString* error)
{
    if (request.box < 0 && !request.given.isEmpty()) {
        *error = QString("%1 goes with --erode BOX").arg(request.given.first());
        return false;
    }
    return true;
}

bool runErode(const ErodeRequest& request, QObject* pane, QString* error)
{
    const QMetaObject* mo = pane ? pane->metaObject() : nullptr;
    const int m = mo ? mo->indexOfMethod("erodeLandscape(int,QVariantMap)") : -1;
    if (m < 0) {
        *error = "--erode: no pane with landscapes";
        return false;
    }
    QVariantMap options = request.options;
    if (!options.contains("iterations")) options.insert("iterations", 200000);
    bool ok = false;
    mo->method(m).invoke(pane, Qt::DirectConnection, Q_RETURN_ARG(bool, ok), Q_ARG(int, request.box),
                         Q_ARG(QVariantMap, options));
    if (!ok) {
        auto* label = pane->findChild<QLabel*>(kStatusLabelName);
        *error = QString("--erode %1: %2").arg(request.box).arg(label ? label->text() : QString("failed"));
    }
    return ok;
}
