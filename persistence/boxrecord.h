#pragma once
// The text record of one control box and the set document made of such records.
//
// A record is a comma-terminated field list with no escaping; files written here must be
// readable by every other build, so the field order and number formats are fixed. The
// functions below work on plain snapshots, so nothing here touches a widget:
//
//   writing: fill a BoxSnapshot (sliders in record order through
//            TypeLayout::sliderAtRecordPosition, texts of TypeLayout::recordCombos, the
//            landscape node's world position, collectMaterials(node)), then appendRecord.
//   reading: fill a ReadTarget (combo items, whether the node exists), call readRecord,
//            show RecordRead::message when set, then set the combos with an index >= 0,
//            setValue the sliders marked in sliderSet, move the node to position when
//            hasPosition, and replay materials with applyMaterials when materialsRead.
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

#include "dzmath.h"
#include "materials/materialcore.h"

class DzNode;
class DzProperty;

namespace verdix {

// One "Double" or "Path" entry of a material.
struct MaterialProperty
{
    enum Kind {
        Double,
        Path
    };
    Kind kind = Double;
    QString property;
    double value = 0.0;  // Double
    QString path;        // Path: texture file name
    bool operator==(const MaterialProperty& o) const
    {
        return kind == o.kind && property == o.property && path == o.path && (kind == Path || value == o.value);
    }
};

struct MaterialRecord
{
    QString name;
    QVector<MaterialProperty> properties;
    bool operator==(const MaterialRecord& o) const { return name == o.name && properties == o.properties; }
};

// Everything a record holds about one box.
struct BoxSnapshot
{
    int type = 0;
    QString header;
    // Slider values in the type's record order (gap-free; see TypeLayout::recordOrder).
    QVector<int> sliders;
    // Texts of the combos listed by TypeLayout::recordCombos (landscape: all eight, tree:
    // its shape combo); empty for the other types.
    QStringList combos;
    // Landscape only: the node's world-space position, when the node exists.
    bool hasPosition = false;
    DzVec3 position;
    // The materials of the box's node, shape by shape; empty when it has no node.
    QVector<MaterialRecord> materials;
};

// A snapshot of type with every slider at its default and every combo on its placeholder.
BoxSnapshot defaultSnapshot(int type, const QString& header);

// Appends the record of snap to text.
void appendRecord(const BoxSnapshot& snap, QString& text);
QString writeRecord(const BoxSnapshot& snap);

// What the box being read into offers the reader.
struct ReadTarget
{
    int type = 0;
    QString header;
    bool isPresets = false;
    // Items of each combo listed by TypeLayout::recordCombos, in that order.
    QVector<QStringList> comboItems;
    // The box's node exists (landscape position and materials are applied to it).
    bool hasNode = false;
};

enum class ReadStatus {
    Empty,           // no text
    HeaderMismatch,  // nothing applied; message set
    HeaderOnly,      // a header and nothing after it
    Truncated,       // the text ended inside the values
    UnknownCombo,    // a landscape combo text is not in its list: read ended there
    Complete,        // read to the material part (which may have ended early)
};

// The outcome of reading one record: only what parsed is set.
struct RecordRead
{
    ReadStatus status = ReadStatus::Empty;
    QString message;  // status-label text, empty when none
    // A file named in an editable combo that its list lacks: the read went on without it.
    QString missingFile;
    // Per record slider position (gap-free): the value to set, already inside the
    // slider's range, or unset.
    QVector<int> sliders;
    QVector<bool> sliderSet;
    // Per record combo: the item index to select, -1 to leave the combo alone.
    QVector<int> comboIndex;
    // Per record combo: the text the record holds (empty when not reached).
    QStringList comboText;
    bool hasPosition = false;
    DzVec3 position;
    bool materialsRead = false;
    QVector<MaterialRecord> materials;

    bool ok() const { return status != ReadStatus::Empty && status != ReadStatus::HeaderMismatch; }
    int appliedSliderCount() const;
};

RecordRead readRecord(const QString& text, const ReadTarget& target);

// Applies what was read to snap (the pane's adapter applies it to widgets instead).
void applyRead(const RecordRead& read, const ReadTarget& target, BoxSnapshot& snap);

// ---- Materials of a node -----------------------------------------------------------------

// The record entries of every material of node's object, shape by shape. A numeric
// property is admitted when admit says so (all numeric properties when admit is empty).
using PropertyTest = std::function<bool(const DzProperty*)>;
QVector<MaterialRecord> collectMaterials(const DzNode* node, const PropertyTest& admit = {});

// Where material entries go when a record is applied.
struct MaterialApplier
{
    std::function<void(DzNode*, const QString& mat, const QString& prop, const QString& path)> path;
    std::function<void(DzNode*, const QString& mat, const QString& prop, double value)> value;
};
// Replays materials in record order through applier.
void applyMaterials(DzNode* node, const QVector<MaterialRecord>& materials, const MaterialApplier& applier);

// Replays through the material setters of materials/materialcore.h.
MaterialApplier hostMaterialApplier(const std::function<void(const QString&)>& report = {});

// ---- Set documents -----------------------------------------------------------------------

extern const char* const kSetDocumentHeader;  // "VerdixV1.0,6,2018"
extern const char* const kLandscapeListTag;   // "OnLandScapeList"

// Header field of type in set documents ("GrassV1.0", ...); empty for types without records.
QString setRecordHeader(int type);
// The type whose set-document header is field; 0 when none.
int typeForSetRecordHeader(const QString& field);

// records: one record per recorded box, in box order, without line ends. landscapeIndex:
// one entry per box of every type, in box order.
QString joinSetDocument(const QStringList& records, const QVector<int>& landscapeIndex);

struct SetDocumentLine
{
    enum Kind {
        Box,
        Header,
        LandscapeList,
        Unknown
    };
    Kind kind = Unknown;
    int type = 0;                // Box: the type to create
    QString text;                // the whole line, the record for a Box
    QString firstField;          // for the "Error: Model %1" message of Unknown lines
    QVector<int> landscapeList;  // LandscapeList: the raw entries
    int number = 0;              // line number in the document, from 1
};

struct SetDocument
{
    bool empty = true;  // shorter than 10 characters
    // Up to the first line with fewer than 2 fields or ";". A line of fewer than 2 fields
    // that is neither empty nor the end mark is kept as the last, Unknown line: text that
    // is not a set document, which the opening must report instead of ignoring.
    QVector<SetDocumentLine> lines;
    // Entries of the first landscape-list line, for the pre-pass before boxes are built.
    QVector<int> landscapeList;
    bool hasLandscapeList = false;
    int boxLines() const;
    // The lines that are not part of any set document, in order.
    QVector<SetDocumentLine> unknownLines() const;
    // Types of the box lines in order: the boxes the opening will create.
    QVector<int> boxTypes() const;
};

SetDocument splitSetDocument(const QString& text);

// Why the box record text of type cannot be read as written, one phrase naming the field;
// empty when it can. What the reader would otherwise default without a word: a slider,
// position or material value that is not a number, and a record cut off before its closing
// ";". Records that end early with their ";" (older files) are whole.
QString recordFault(const QString& text, int type);

// Why line (a preset file's first line) is no preset of type with header ("TreeV1"), as a
// phrase after the file's name ("is empty", "holds only its header", ...); empty when it is one.
QString presetFault(const QString& line, int type, const QString& header);

// Field text fit for a one-line message: control characters shown as "?", cut at 24
// characters.
QString quotedField(const QString& field);

// Raw entries of a landscape-list line (fields after the tag up to the first ";"), at most
// kMaxBoxes of them; text that is not a number counts 0.
QVector<int> parseLandscapeList(const QStringList& fields);

// The landscape index stored for box (base + position) from entry v: v + base, or target
// for a 0 on a landscape box. Entries that would name no box of the pane after the opening
// (negative, or at or past boxCount) fall back to target.
int resolveLandscapeEntry(int v, bool boxIsLandscape, int base, int target, int boxCount);

}  // namespace verdix
