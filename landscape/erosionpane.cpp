// Erosion of a landscape box: the pane's side of erosioncore.cpp. The eroded heights go
// into a ".dat" file of the User folder, which the box then takes as its User map with every
// other weight at 0, so the record keeps its format and a set document that names the file
// opens the same terrain elsewhere.
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <dzintslider.h>
#include <dzprogress.h>
#include <cmath>
#include "terrain/erosioncore.h"
#include "landscape/heightmaps.h"
#include "terrain/terraincore.h"
#include "pane/verdixpane.h"

namespace {

// Option keys of erodeLandscape and the parameters they set.
ErosionParams paramsFrom(const QVariantMap& o)
{
    ErosionParams p;
    p.droplets = o.value("iterations", p.droplets).toInt();
    p.rain = o.value("rain", p.rain).toFloat();
    p.capacity = o.value("capacity", p.capacity).toFloat();
    p.erosion = o.value("strength", p.erosion).toFloat();
    p.deposition = o.value("deposition", p.deposition).toFloat();
    p.evaporation = o.value("evaporation", p.evaporation).toFloat();
    p.talusDegrees = o.value("thermal", p.talusDegrees).toFloat();
    p.thermalPasses = o.value("thermalPasses", p.thermalPasses).toInt();
    p.seed = o.value("seed", p.seed).toUInt();
    return p;
}

}  // namespace

bool ZPK_VerdixPane::erodeLandscape(int ControlBoxIndex, QVariantMap options)
{
    const int i = ControlBoxIndex;
    ControlBox* box = m_boxes.at(i);
    if (!box || box->type != TypeLandscape || !box->titleLabel) {
        setStatus(QString("Box %1 is no landscape box").arg(i));
        return false;
    }
    const ErosionParams p = paramsFrom(options);
    const QString bad = checkErosionParams(p);
    if (!bad.isEmpty()) {
        setStatus(bad);
        return false;
    }
    // The field is grown, never shrunk: only the last update's length is this terrain.
    const long long count = box->heightFieldLength;
    const int side = int(std::lround(std::sqrt(double(count))));
    if (count <= 0 || (long long)side * side != count || (long long)box->heightField.size() < count || side < 2) {
        setStatus(QString("Box %1 has no terrain to erode").arg(i));
        return false;
    }
    const QString title = box->titleLabel->text();
    QString name = options.value("name").toString();
    if (name.isEmpty()) name = QString("Eroded %1.dat").arg(i);
    if (QFileInfo(name).suffix().toLower() != "dat") name += ".dat";
    if (name.contains('/') || name.contains('\\')) {
        setStatus(QString("Erode: %1 is no file name").arg(name));
        return false;
    }

    // The terrain's cells are square: tile size over divisions, in the mesh's units.
    const float cell = box->storedTileSize / float(std::max(1, box->storedDivisions));
    std::vector<float> y(box->heightField.begin(), box->heightField.begin() + count);
    ErosionResult result;
    {
        DzProgress progress(QString("Erode %1").arg(title), 1000);
        result = erodeTerrain(y.data(), side, cell, p,
                              [&](double done) { return progress.step((long long)std::lround(done * 1000)); });
    }
    if (!result.complete) {
        setStatus(QString("Cancelled: %1 left as it was").arg(title));
        return false;
    }

    const QString path = QDir(userFolder()).filePath(name);
    QString error;
    if (!writeHeightFile(path, y.data(), count, &error)) {
        setStatus(error);
        errorBox(error);
        return false;
    }
    std::vector<float>().swap(y);

    // The box shows the file alone, at its own scale: User 100, Size Y 100, every other
    // weight and pass 0. The sliders are set without their updates; the map load runs one.
    box = m_boxes.at(i);
    if (!box) return false;
    const bool loading = m_loading;
    m_loading = true;
    static const char* const kZero[] = {"Land", "River", "Hill", "Flat", "Path", "Smooth", "DeNoise", "Rest"};
    for (const char* n : kZero)
        if (DzIntSlider* s = box->slider(QString::fromLatin1(n))) s->setValue(0);
    if (DzIntSlider* s = box->slider("User")) s->setValue(100);
    if (DzIntSlider* s = box->slider("Size Y")) s->setValue(100);
    m_loading = loading;
    refreshUserCombo(i);
    box = m_boxes.at(i);
    QComboBox* combo = box ? box->combo('F') : nullptr;
    if (!combo) return false;
    const bool blocked = combo->blockSignals(true);
    const int at = combo->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (at >= 0) combo->setCurrentIndex(at);
    else combo->setEditText(name);
    combo->blockSignals(blocked);
    // Loading the map runs the box's update, which moves the objects on it as any change does.
    if (!loadMapSlot(i, SlotUser)) return false;
    setStatus(QString("Eroded %1 into %2: %3 taken up, %4 carried off the edge")
                  .arg(title, name)
                  .arg(result.eroded, 0, 'g', 4)
                  .arg(result.carriedOff, 0, 'g', 4));
    return true;
}

QVariantList ZPK_VerdixPane::landscapeBoxes() const
{
    QVariantList out;
    for (int i = 0; i < m_boxes.count(); ++i) {
        const ControlBox& box = m_boxes[i];
        if (box.type != TypeLandscape || !box.titleLabel) continue;
        out.append(QVariantMap{{"index", i}, {"title", box.titleLabel->text()}});
    }
    return out;
}
