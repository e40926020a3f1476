#include "persistence/boxrecord.h"

#include <QFileInfo>
#include <cmath>

#include "dzapp.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzshape.h"
#include "pane/boxregistry.h"
#include "pane/slidersets.h"

namespace verdix {

const char* const kSetDocumentHeader = "VerdixV1.0,6,2018";
const char* const kLandscapeListTag = "OnLandScapeList";

namespace {

const QString kEnd = QStringLiteral(";");
const QString kMaterials = QStringLiteral("Materials");
const QString kPlus = QStringLiteral("+");
const QString kDouble = QStringLiteral("Double");
const QString kPath = QStringLiteral("Path");

constexpr int kMaxMaterials = 10;
constexpr int kMaxEntries = 100;

// A field must not split the record (",") or the document ("\n"), nor end the values
// early (";"). There is no escaping, so such a text cannot be stored.
bool storable(const QString& t)
{
    return t != kEnd && !t.contains(QLatin1Char(',')) && !t.contains(QLatin1Char('\n')) &&
           !t.contains(QLatin1Char('\r'));
}

int clampTo(qlonglong v, int lo, int hi) { return int(v < lo ? lo : (v > hi ? hi : v)); }

// Text that is not a number counts 0; the slider then clamps to its range.
int sliderValue(const QString& field, const SliderDef& slider)
{
    bool ok = false;
    const qlonglong v = field.toLongLong(&ok);
    return clampTo(ok ? v : 0, slider.min, slider.max);
}

float floatValue(const QString& field)
{
    bool ok = false;
    const float v = field.toFloat(&ok);
    return ok && std::isfinite(v) ? v : 0.f;
}

double doubleValue(const QString& field)
{
    bool ok = false;
    const double v = field.toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

QString number(double v, int precision) { return QString::number(v, 'g', precision); }

// The slider of a type whose field, when it is the closing ";", sets it to 0: both were
// added to the record last, so older records end right before them.
bool zeroOnEnd(int type, int recordPos, int count)
{
    const BoxTypeEntry* t = typeInfo(type);
    return t && t->lastSliderOptional && recordPos == count - 1;
}

}  // namespace

int RecordRead::appliedSliderCount() const
{
    int n = 0;
    for (bool b : sliderSet) n += b ? 1 : 0;
    return n;
}

BoxSnapshot defaultSnapshot(int type, const QString& header)
{
    BoxSnapshot s;
    s.type = type;
    s.header = header;
    const TypeLayout& l = layoutFor(type);
    for (int p = 0; p < l.recordSliderCount(); ++p) s.sliders.append(l.sliders[l.sliderAtRecordPosition(p)].def);
    for (int c : l.recordCombos) s.combos.append(QLatin1String(l.combos[c].placeholder));
    return s;
}

void appendRecord(const BoxSnapshot& snap, QString& text)
{
    const QLatin1Char comma(',');
    text += snap.header;
    text += comma;
    const TypeLayout& l = layoutFor(snap.type);
    if (!l.hasRecord()) return;

    for (int c = 0; c < l.recordCombos.size(); ++c) {
        const ComboDef& combo = l.combos[l.recordCombos[c]];
        const QString t = snap.combos.value(c, QLatin1String(combo.placeholder));
        text += storable(t) ? t : QString(QLatin1String(combo.placeholder));
        text += comma;
    }
    const int count = l.recordSliderCount();
    for (int p = 0; p < count; ++p) {
        const int v = p < snap.sliders.size() ? snap.sliders[p] : l.sliders[l.sliderAtRecordPosition(p)].def;
        text += QString::number(v);
        text += comma;
    }
    if (snap.type == TypeLandscape && snap.hasPosition) {
        for (float v : {snap.position.x(), snap.position.y(), snap.position.z()}) {
            text += number(double(v), 6);
            text += comma;
        }
    }
    text += QLatin1String(";,Materials,");
    for (const MaterialRecord& m : snap.materials) {
        if (!storable(m.name)) continue;
        text += QLatin1String("+,");
        text += m.name;
        text += comma;
        for (const MaterialProperty& p : m.properties) {
            if (!storable(p.property)) continue;
            if (p.kind == MaterialProperty::Path) {
                if (!storable(p.path)) continue;
                text += QLatin1String("Path,") + p.property + comma + p.path + comma;
            } else {
                if (!std::isfinite(p.value)) continue;
                text += QLatin1String("Double,") + p.property + comma + number(p.value, 42) + comma;
            }
        }
    }
    text += kEnd;
}

QString writeRecord(const BoxSnapshot& snap)
{
    QString t;
    appendRecord(snap, t);
    return t;
}

RecordRead readRecord(const QString& text, const ReadTarget& target)
{
    RecordRead r;
    const TypeLayout& l = layoutFor(target.type);
    const int count = l.recordSliderCount();
    r.sliders.fill(0, count);
    r.sliderSet.fill(false, count);
    r.comboIndex.fill(-1, l.recordCombos.size());
    for (int c = 0; c < l.recordCombos.size(); ++c) r.comboText.append(QString());
    if (text.isEmpty()) return r;

    const QStringList f = text.split(QLatin1Char(','), Qt::KeepEmptyParts);
    const int n = f.size();
    if (f[0] != target.header) {
        r.status = ReadStatus::HeaderMismatch;
        r.message = QStringLiteral("Error: Header reads %1 not %2").arg(f[0], target.header);
        return r;
    }
    if (n == 1 || f[1] == kEnd || !l.hasRecord()) {
        r.status = ReadStatus::HeaderOnly;
        return r;
    }

    int k = 1;
    auto values = [&]() -> ReadStatus {
        // Combos first: a landscape looks each text up and stops at one it lacks; a tree
        // selects its shape when it has it.
        for (int c = 0; c < l.recordCombos.size(); ++c) {
            if (k >= n) return ReadStatus::Truncated;
            if (f[k] == kEnd) return ReadStatus::Complete;
            const int idx = target.comboItems.value(c).indexOf(f[k]);
            r.comboText[c] = f[k];
            if (target.type == TypeLandscape) {
                // A typed name in the editable combo is never in its list; losing the
                // whole landscape over it would be worse than leaving that combo alone.
                if (idx < 0 && !l.combos[l.recordCombos[c]].editable) {
                    r.message = QStringLiteral(
                                    "Error: %1 is not among the files of the box's list (missing from "
                                    "the asset library); the record was read up to it")
                                    .arg(quotedField(f[k]));
                    return ReadStatus::UnknownCombo;
                }
                if (idx < 0 && !f[k].isEmpty())
                    r.missingFile = QStringLiteral(
                                        "Error: %1 is not among the files of the box's list (missing "
                                        "from the asset library); the box goes on without it")
                                        .arg(quotedField(f[k]));
                r.comboIndex[c] = idx > 0 ? idx : -1;
            } else {
                r.comboIndex[c] = idx;
            }
            ++k;
        }
        for (int p = 0; p < count; ++p) {
            if (k >= n) return ReadStatus::Truncated;
            const SliderDef& slider = l.sliders[l.sliderAtRecordPosition(p)];
            if (f[k] == kEnd) {
                if (zeroOnEnd(target.type, p, count)) {
                    r.sliders[p] = clampTo(0, slider.min, slider.max);
                    r.sliderSet[p] = true;
                }
                return ReadStatus::Complete;
            }
            if (!(target.isPresets && slider.position)) {
                r.sliders[p] = sliderValue(f[k], slider);
                r.sliderSet[p] = true;
            }
            ++k;
        }
        if (target.type == TypeLandscape && target.hasNode) {
            float xyz[3];
            for (float& v : xyz) {
                if (k >= n) return ReadStatus::Truncated;
                if (f[k] == kEnd) return ReadStatus::Complete;
                v = floatValue(f[k++]);
            }
            r.hasPosition = true;
            r.position = DzVec3(xyz[0], xyz[1], xyz[2]);
        }
        return ReadStatus::Complete;
    };
    r.status = values();
    if (r.status != ReadStatus::Complete) return r;

    if (k >= n || f[k] != kEnd) return r;
    if (k + 1 >= n || f[k + 1] != kMaterials) return r;
    k += 2;
    if (!target.hasNode) return r;
    r.materialsRead = true;
    for (int m = 0; m < kMaxMaterials; ++m) {
        if (k >= n || f[k] == kEnd) break;
        if (f[k++] != kPlus) break;
        if (k >= n || f[k] == kEnd) break;
        MaterialRecord mat;
        mat.name = f[k++];
        for (int e = 0; e < kMaxEntries && k < n; ++e) {
            const bool isDouble = f[k] == kDouble;
            if (!isDouble && f[k] != kPath) break;  // not an entry: the next material round stops
            if (k + 2 >= n) {
                k = n;
                break;
            }  // an entry cut short is not applied
            MaterialProperty p;
            p.kind = isDouble ? MaterialProperty::Double : MaterialProperty::Path;
            p.property = f[k + 1];
            if (isDouble) p.value = doubleValue(f[k + 2]);
            else p.path = f[k + 2];
            mat.properties.append(p);
            k += 3;
            if (k >= n || f[k] == kPlus || f[k] == kEnd) break;
        }
        r.materials.append(mat);
    }
    return r;
}

void applyRead(const RecordRead& read, const ReadTarget& target, BoxSnapshot& snap)
{
    if (!read.ok()) return;
    const TypeLayout& l = layoutFor(target.type);
    for (int c = 0; c < read.comboIndex.size(); ++c) {
        const int idx = read.comboIndex[c];
        const QStringList items = target.comboItems.value(c);
        if (idx >= 0 && idx < items.size()) {
            while (snap.combos.size() <= c) snap.combos.append(QLatin1String(l.combos[l.recordCombos[c]].placeholder));
            snap.combos[c] = items[idx];
        }
    }
    for (int p = 0; p < read.sliders.size(); ++p) {
        if (!read.sliderSet[p]) continue;
        while (snap.sliders.size() <= p)
            snap.sliders.append(l.sliders[l.sliderAtRecordPosition(snap.sliders.size())].def);
        snap.sliders[p] = read.sliders[p];
    }
    if (read.hasPosition) {
        snap.hasPosition = true;
        snap.position = read.position;
    }
    if (read.materialsRead) snap.materials = read.materials;
}

// ---- Materials ---------------------------------------------------------------------------

QVector<MaterialRecord> collectMaterials(const DzNode* node, const PropertyTest& admit)
{
    QVector<MaterialRecord> out;
    const DzObject* obj = node ? node->getObject() : nullptr;
    if (!obj) return out;
    for (int s = 0; s < obj->getNumShapes(); ++s) {
        const DzShape* shape = obj->getShape(s);
        if (!shape) continue;
        for (int m = 0; m < shape->getNumMaterials(); ++m) {
            const DzMaterial* mat = shape->getMaterial(m);
            if (!mat) continue;
            MaterialRecord rec;
            rec.name = mat->getName();
            for (int i = 0; i < mat->getNumProperties(); ++i) {
                const DzProperty* prop = mat->getProperty(i);
                if (auto* num = qobject_cast<const DzNumericProperty*>(prop)) {
                    if (admit && !admit(prop)) continue;
                    if (num->isMappable() && num->getMapValue())
                        rec.properties.append(
                            {MaterialProperty::Path, prop->getLabel(), 0.0, num->getMapValue()->getFilename()});
                    rec.properties.append({MaterialProperty::Double, prop->getLabel(), num->getDoubleValue(), {}});
                } else if (auto* img = qobject_cast<const DzImageProperty*>(prop)) {
                    if (img->getValue())
                        rec.properties.append(
                            {MaterialProperty::Path, prop->getLabel(), 0.0, img->getValue()->getFilename()});
                }
            }
            out.append(rec);
        }
    }
    return out;
}

void applyMaterials(DzNode* node, const QVector<MaterialRecord>& materials, const MaterialApplier& applier)
{
    if (!node) return;
    for (const MaterialRecord& m : materials) {
        for (const MaterialProperty& p : m.properties) {
            if (p.kind == MaterialProperty::Double) {
                if (applier.value) applier.value(node, m.name, p.property, p.value);
            } else if (applier.path) {
                applier.path(node, m.name, p.property, p.path);
            }
        }
    }
}

MaterialApplier hostMaterialApplier(const std::function<void(const QString&)>& report)
{
    MaterialApplier a;
    a.path = [report](DzNode* n, const QString& m, const QString& p, const QString& path) {
        const QString refused = setMaterialTexture(n, m, p, path, report);
        if (!refused.isEmpty() && report) report(refused);
    };
    a.value = [](DzNode* n, const QString& m, const QString& p, double v) { setMaterialValue(n, m, p, v); };
    return a;
}

// ---- Set documents -----------------------------------------------------------------------

namespace {
struct HeaderWord
{
    int type;
    const char* word;
};
const HeaderWord kSetHeaders[] = {
    {TypeTree, "TreeV1.0"},     {TypeGrass, "GrassV1.0"},   {TypeLandscape, "LandscapeV1.0"},
    {TypeFlower, "FlowerV1.0"}, {TypeStones, "StonesV1.0"}, {TypeBillboard, "BillboardV1.0"},
};
}  // namespace

QString setRecordHeader(int type)
{
    for (const HeaderWord& h : kSetHeaders)
        if (h.type == type) return QLatin1String(h.word);
    return {};
}

int typeForSetRecordHeader(const QString& field)
{
    for (const HeaderWord& h : kSetHeaders)
        if (field == QLatin1String(h.word)) return h.type;
    return 0;
}

QString joinSetDocument(const QStringList& records, const QVector<int>& landscapeIndex)
{
    QString doc = QLatin1String(kSetDocumentHeader);
    doc += QLatin1Char('\n');
    for (const QString& r : records) {
        doc += r;
        doc += QLatin1Char('\n');
    }
    if (!landscapeIndex.isEmpty()) {
        doc += QLatin1String(kLandscapeListTag);
        doc += QLatin1Char(',');
        for (int v : landscapeIndex) {
            doc += QString::number(v);
            doc += QLatin1Char(',');
        }
        doc += QLatin1String(";\n");
    }
    doc += kEnd;
    return doc;
}

QVector<int> parseLandscapeList(const QStringList& fields)
{
    QVector<int> out;
    for (int i = 1; i < fields.size() && out.size() < kMaxBoxes; ++i) {
        if (fields[i] == kEnd) break;
        bool ok = false;
        const int v = fields[i].toInt(&ok);
        out.append(ok ? v : 0);
    }
    return out;
}

int resolveLandscapeEntry(int v, bool boxIsLandscape, int base, int target, int boxCount)
{
    if (v == 0 && boxIsLandscape) return target;
    if (v < 0 || v >= boxCount - base) return target;
    return v + base;
}

int SetDocument::boxLines() const
{
    int n = 0;
    for (const SetDocumentLine& l : lines) n += l.kind == SetDocumentLine::Box ? 1 : 0;
    return n;
}

QVector<SetDocumentLine> SetDocument::unknownLines() const
{
    QVector<SetDocumentLine> out;
    for (const SetDocumentLine& l : lines)
        if (l.kind == SetDocumentLine::Unknown) out << l;
    return out;
}

QString quotedField(const QString& field)
{
    QString out = field.left(24);
    for (QChar& c : out)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format) c = QLatin1Char('?');
    if (field.size() > 24) out += QStringLiteral("...");
    return QStringLiteral("\"%1\"").arg(out);
}

QVector<int> SetDocument::boxTypes() const
{
    QVector<int> out;
    for (const SetDocumentLine& l : lines)
        if (l.kind == SetDocumentLine::Box) out << l.type;
    return out;
}

QString recordFault(const QString& text, int type)
{
    const QStringList f = text.split(QLatin1Char(','), Qt::KeepEmptyParts);
    const TypeLayout& l = layoutFor(type);
    if (!l.hasRecord()) return {};
    int n = f.size();
    // A trailing comma leaves an empty last field; it cuts nothing off.
    while (n > 1 && f[n - 1].isEmpty()) --n;
    const auto fieldName = [&](int k, const QString& what) {
        return QStringLiteral("field %1 (%2) reads %3, not a number").arg(k + 1).arg(what, quotedField(f[k]));
    };
    const QString cutOff = QStringLiteral("the record is cut off after field %1 (no closing \";\")").arg(n);
    int k = 1 + l.recordCombos.size();
    // A record may end among its combos (older files): whole when its ";" is there.
    for (int c = 1; c < k && c < n; ++c)
        if (f[c] == kEnd) return f[n - 1] == kEnd ? QString() : cutOff;
    if (k > n) return cutOff;
    for (int p = 0; p < l.recordSliderCount(); ++p, ++k) {
        if (k >= n) return cutOff;
        if (f[k] == kEnd) break;
        bool ok = false;
        f[k].toLongLong(&ok);
        if (!ok) return fieldName(k, QStringLiteral("slider \"%1\"").arg(l.sliders[l.sliderAtRecordPosition(p)].name));
    }
    if (type == TypeLandscape)
        for (int c = 0; c < 3 && k < n && f[k] != kEnd; ++c, ++k) {
            bool ok = false;
            if (!std::isfinite(f[k].toFloat(&ok)) || !ok) return fieldName(k, QStringLiteral("position"));
        }
    if (f[n - 1] != kEnd) return cutOff;
    for (; k + 2 < n; ++k) {
        if (f[k] != kDouble && f[k] != kPath) continue;
        if (f[k] == kDouble) {
            bool ok = false;
            if (!std::isfinite(f[k + 2].toDouble(&ok)) || !ok)
                return fieldName(k + 2, QStringLiteral("material value \"%1\"").arg(f[k + 1]));
        }
        k += 2;
    }
    return {};
}

QString presetFault(const QString& line, int type, const QString& header)
{
    if (line.trimmed().isEmpty()) return QStringLiteral("is empty");
    const QString first = line.section(QLatin1Char(','), 0, 0);
    if (first != header)
        return QStringLiteral("does not start with \"%1\" but with %2").arg(header, quotedField(first));
    const QString rest = line.section(QLatin1Char(','), 1);
    if (rest.isEmpty() || rest.startsWith(kEnd)) return QStringLiteral("holds only its header");
    const QString fault = recordFault(line, type);
    return fault.isEmpty() ? fault : QStringLiteral("is broken: ") + fault;
}

SetDocument splitSetDocument(const QString& text)
{
    SetDocument doc;
    if (text.size() < 10) return doc;
    doc.empty = false;
    int start = 0;
    int number = 0;
    while (start <= text.size()) {
        ++number;
        int end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0) end = text.size();
        QString line = text.mid(start, end - start);
        start = end + 1;
        // Files edited on Windows keep their carriage returns once joined.
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        const QStringList fields = line.split(QLatin1Char(','), Qt::KeepEmptyParts);
        if (fields.size() < 2) {
            if (!line.trimmed().isEmpty() && line != kEnd) {
                SetDocumentLine bad;
                bad.firstField = line;
                bad.number = number;
                doc.lines.append(bad);
            }
            break;
        }
        const QString& first = fields[0];
        if (first == kEnd) break;
        SetDocumentLine l;
        l.firstField = first;
        l.number = number;
        if (const int type = typeForSetRecordHeader(first)) {
            l.kind = SetDocumentLine::Box;
            l.type = type;
            l.text = line;
        } else if (first == QLatin1String("VerdixV1.0")) {
            l.kind = SetDocumentLine::Header;
        } else if (first == QLatin1String(kLandscapeListTag)) {
            l.kind = SetDocumentLine::LandscapeList;
            l.landscapeList = parseLandscapeList(fields);
            if (!doc.hasLandscapeList) {
                doc.hasLandscapeList = true;
                doc.landscapeList = l.landscapeList;
            }
        } else {
            l.kind = SetDocumentLine::Unknown;
        }
        doc.lines.append(l);
    }
    return doc;
}

}  // namespace verdix
