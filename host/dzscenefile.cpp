// Host scene files.
//
// A scene file is one UTF-8 JSON object:
//
//   {
//     "format": "verdix-host-scene",      // tag: anything else is not ours
//     "version": 1,                       // files newer than this reader are refused
//     "time": 0, "time_step": 160, "anim_end": 4800,      // ticks, integers
//     "nodes": [                          // scene order; parents refer to this list
//       { "class": "DzNode", "name": "...", "label": "...", "asset_id": "...",
//         "parent": -1,                   // index into "nodes", -1 for a root
//         "pos": [x, y, z], "rot": [x, y, z, w], "scale": [x, y, z],   // local transform
//         "visible": true, "selectable": true, "visible_in_render": true,
//         "render_priority": 0,
//         "presentation": "type" | null,
//         "object": null | {
//           "class": "DzObject", "name": "...", "label": "...",
//           "shapes": [
//             { "class": "DzFacetShape" | "DzShape", "name": "...", "label": "...",
//               "materials": [          // order gives the facets' material indices
//                 { "class": "DzDefaultMaterial" | "DzMaterial", "name": "...", "label": "...",
//                   "smoothing": false,
//                   "properties": [     // by display name, in the material's order
//                     { "name": "Diffuse Color", "class": "DzColorProperty",
//                       "value": 16777215,          // colours as 0xRRGGBB
//                       "mappable": true, "map": "/abs/path/bark.png" | "" },
//                     { "name": "Normal Map", "class": "DzImageProperty", "image": "" },
//                     { "name": "...", "class": "DzProperty" } ] } ],
//               "mesh": null | {        // only on DzFacetShape
//                 "class": "DzFacetMesh", "name": "...", "active_material": 0,
//                 "vertex_count": n, "vertices": "<base64>",  // n*3 float32
//                 "uv_class": "DzUVSet" | "DzMap" | null,
//                 "uv_count": m, "uvs": "<base64>",           // m*2 float32
//                 "facet_count": k, "facets": "<base64>" } } ] } } ],   // k*9 int32
//     "scene_data": { "<registered path>": { ...members the plug-in's IO wrote... } },
//     "view": { ...what the host application shows the scene with... }   // optional
//   }
//
// Blobs are standard base64 (with padding) of little-endian arrays: floats keep their exact
// bits, a million vertices cost 16 MB of text, and reading and writing stay linear. A facet
// is nine int32: four vertex indices (the fourth -1 for a triangle), four UV indices (-1 for
// none) and the material index. Other numbers are JSON numbers written with the shortest
// text that reads back to the same double; non-finite values are the strings "nan", "inf"
// and "-inf" (a property may hold one; vertices, UVs and transforms that are not finite are
// refused when read). Texture paths are stored as the image manager knows them (absolute); a
// relative path is taken relative to the scene file's folder. A texture is read only from the
// scene file's folder or a folder the image manager was given (the libraries): a scene from
// elsewhere could otherwise name any image of the machine, and exports would carry it on.
// Such a texture is left off, the rest of the scene loads, and the loss is reported.
//
// Loading parses and checks the whole file into plain records before the scene is touched,
// so a bad file leaves the current scene and its listeners alone. Saving streams through
// DzSafeFile, so a failed save or a crash never destroys the file that was there.
#include "dzscene.h"
#include "dzundostack.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "dzapp.h"
#include "dzdialogs.h"
#include "dzgeometry.h"
#include "dzimagefile.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzplugin.h"
#include "dzprogress.h"
#include "dzsafefile.h"
#include "dzsceneio.h"
#include "dzshape.h"

static_assert(sizeof(DzVec3) == 3 * sizeof(float), "vertices are written as packed float triples");
static_assert(sizeof(DzPnt2) == 2 * sizeof(float), "UVs are written as packed float pairs");
static_assert(sizeof(float) == sizeof(quint32), "float32 expected");
static_assert(sizeof(DzFacet) == 9 * sizeof(qint32) && offsetof(DzFacet, m_uvwIdx) == 16 &&
                  offsetof(DzFacet, m_materialIdx) == 32,
              "facets are read as nine packed int32");

namespace {

const char* const kFormatTag = "verdix-host-scene";
constexpr int kFormatVersion = 1;
constexpr int kIntsPerFacet = 9;
// Times are integers that a double holds exactly.
constexpr double kMaxExactInt = 9007199254740992.0;

QString oneLine(QString s)
{
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return s;
}

QString quoted(const QString& s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

// ---------------------------------------------------------------------------------------
// Writing: a small streaming JSON writer, so that blobs go from the mesh arrays to the file
// chunk by chunk without a document-sized copy.

class JsonWriter
{
public:
    explicit JsonWriter(QIODevice* dev) : m_dev(dev) { m_buf.reserve(kFlushAt + 4096); }

    bool ok() const { return m_ok; }

    void beginObject(bool compact = false) { open('{', compact); }
    void endObject() { close('}'); }
    void beginArray(bool compact = false) { open('[', compact); }
    void endArray() { close(']'); }

    void key(const QString& k)
    {
        separate();
        writeString(k);
        m_buf += ": ";
        m_afterKey = true;
    }

    void value(const QString& s)
    {
        separate();
        writeString(s);
    }
    void value(bool b)
    {
        separate();
        m_buf += b ? "true" : "false";
    }
    void value(int i)
    {
        separate();
        m_buf += QByteArray::number(i);
    }
    void value(qint64 i)
    {
        separate();
        m_buf += QByteArray::number(i);
    }
    void null()
    {
        separate();
        m_buf += "null";
    }

    // Exact for every double (and so every float); non-finite values become strings.
    void number(double d)
    {
        separate();
        if (std::isnan(d)) m_buf += "\"nan\"";
        else if (std::isinf(d)) m_buf += d > 0 ? "\"inf\"" : "\"-inf\"";
        else if (d == 0.0 && std::signbit(d)) m_buf += "-0.0";  // "-0" would read back as +0
        else m_buf += QByteArray::number(d, 'g', QLocale::FloatingPointShortest);
    }

    void floats(const float* v, int n)
    {
        beginArray(true);
        for (int i = 0; i < n; ++i) number(v[i]);
        endArray();
    }

    // Any JSON value, as a plug-in's scene-data IO produced it.
    void json(const QJsonValue& v)
    {
        switch (v.type()) {
        case QJsonValue::Null:
        case QJsonValue::Undefined:
            null();
            break;
        case QJsonValue::Bool:
            value(v.toBool());
            break;
        case QJsonValue::Double: {
            const double d = v.toDouble();
            if (std::isfinite(d)) number(d);
            else null();  // plain JSON has no such numbers; the reader would not know them
            break;
        }
        case QJsonValue::String:
            value(v.toString());
            break;
        case QJsonValue::Array: {
            const QJsonArray a = v.toArray();
            beginArray();
            for (const QJsonValue& e : a) json(e);
            endArray();
            break;
        }
        case QJsonValue::Object: {
            const QJsonObject o = v.toObject();
            beginObject();
            for (auto it = o.begin(); it != o.end(); ++it) {
                key(it.key());
                json(it.value());
            }
            endObject();
            break;
        }
        }
    }

    // A base64 string of count items of itemBytes each; fill(first, n, dst) writes items
    // [first, first + n) to dst as little-endian bytes. Chunks hold a multiple of three
    // bytes, so their encodings concatenate without inner padding.
    template <class Fill>
    void blob(qint64 count, int itemBytes, Fill fill)
    {
        separate();
        m_buf += '"';
        const qint64 chunkItems = 3 * 16384;
        QByteArray raw;
        for (qint64 first = 0; first < count && m_ok; first += chunkItems) {
            const qint64 n = qMin(chunkItems, count - first);
            raw.resize(int(n * itemBytes));
            fill(first, n, raw.data());
            m_buf += raw.toBase64();
            flushIfFull();
        }
        m_buf += '"';
    }

    bool finish()
    {
        m_buf += '\n';
        flush();
        return m_ok;
    }

private:
    static constexpr int kFlushAt = 1 << 20;

    void open(char c, bool compact)
    {
        separate();
        m_buf += c;
        m_levels.push_back({true, compact || (!m_levels.empty() && m_levels.back().compact)});
    }

    void close(char c)
    {
        const Level l = m_levels.back();
        m_levels.pop_back();
        if (!l.first && !l.compact) newline();
        m_buf += c;
        flushIfFull();
    }

    // Comma and line break before a value, unless it follows its key.
    void separate()
    {
        if (m_afterKey) {
            m_afterKey = false;
            return;
        }
        if (m_levels.empty()) return;
        Level& l = m_levels.back();
        if (!l.first) m_buf += l.compact ? ", " : ",";
        l.first = false;
        if (!l.compact) newline();
    }

    void newline()
    {
        m_buf += '\n';
        m_buf.append(QByteArray(int(m_levels.size()) * 2, ' '));
    }

    void writeString(const QString& s)
    {
        static const char* const hex = "0123456789abcdef";
        const QByteArray utf8 = s.toUtf8();
        m_buf += '"';
        for (char ch : utf8) {
            const unsigned char c = static_cast<unsigned char>(ch);
            switch (c) {
            case '"':
                m_buf += "\\\"";
                break;
            case '\\':
                m_buf += "\\\\";
                break;
            case '\n':
                m_buf += "\\n";
                break;
            case '\r':
                m_buf += "\\r";
                break;
            case '\t':
                m_buf += "\\t";
                break;
            case '\b':
                m_buf += "\\b";
                break;
            case '\f':
                m_buf += "\\f";
                break;
            default:
                if (c < 0x20) {
                    m_buf += "\\u00";
                    m_buf += hex[c >> 4];
                    m_buf += hex[c & 15];
                } else {
                    m_buf += ch;
                }
            }
        }
        m_buf += '"';
    }

    void flushIfFull()
    {
        if (m_buf.size() >= kFlushAt) flush();
    }

    void flush()
    {
        if (m_ok && !m_buf.isEmpty() && m_dev->write(m_buf) != m_buf.size()) m_ok = false;
        m_buf.clear();
    }

    struct Level
    {
        bool first;
        bool compact;
    };

    QIODevice* m_dev;
    QByteArray m_buf;
    std::vector<Level> m_levels;
    bool m_afterKey = false;
    bool m_ok = true;
};

// The checks both directions share: a facet list that a reader would refuse is not written.
QString checkFacets(const DzFacet* facets, qint64 numFacets, qint64 numVerts, qint64 numUVs, int numMaterials)
{
    const int materialLimit = qMax(1, numMaterials);
    for (qint64 i = 0; i < numFacets; ++i) {
        const DzFacet& f = facets[i];
        for (int k = 0; k < 4; ++k) {
            const int v = f.m_vertIdx[k];
            const bool allowedEmpty = (k == 3 && v == -1);
            if (!allowedEmpty && (v < 0 || v >= numVerts))
                return QString("facet %1 refers to vertex %2 of %3").arg(i).arg(v).arg(numVerts);
            const int uv = f.m_uvwIdx[k];
            if (uv != -1 && (uv < 0 || uv >= numUVs))
                return QString("facet %1 refers to UV %2 of %3").arg(i).arg(uv).arg(numUVs);
        }
        if (f.m_materialIdx < 0 || f.m_materialIdx >= materialLimit)
            return QString("facet %1 refers to material %2 of %3").arg(i).arg(f.m_materialIdx).arg(numMaterials);
    }
    return QString();
}

void packLE32(const void* src, qint64 words, char* dst) { qToLittleEndian<quint32>(src, qsizetype(words), dst); }

// ---------------------------------------------------------------------------------------
// Reading: records that hold a checked file before any of it reaches the scene.

struct PropertyRec
{
    QString name;
    QString cls;
    double value = 0.0;
    bool mappable = false;
    QString map;  // texture path for numeric properties, image path for image properties
};

struct MaterialRec
{
    QString cls, name, label;
    bool smoothing = false;
    std::vector<PropertyRec> properties;
};

// Meshes are decoded straight into a mesh that belongs to no scene yet: a big terrain is
// then copied once, from the file into its final arrays.
struct MeshRec
{
    std::unique_ptr<DzFacetMesh> mesh;
};

struct ShapeRec
{
    QString cls, name, label;
    std::vector<MaterialRec> materials;
    std::unique_ptr<MeshRec> mesh;
};

struct ObjectRec
{
    QString name, label;
    std::vector<ShapeRec> shapes;
};

struct NodeRec
{
    QString name, label, assetId;
    int parent = -1;
    DzTransform local;
    bool visible = true, selectable = true, visibleInRender = true;
    int renderPriority = 0;
    bool hasPresentation = false;
    QString presentation;
    std::unique_ptr<ObjectRec> object;
};

struct SceneRec
{
    DzTime time = 0, timeStep = 0, animEnd = 0;
    std::vector<NodeRec> nodes;
    std::vector<std::pair<QString, QJsonObject>> sceneData;
    QJsonObject view;
};

const QStringList& propertyClasses()
{
    static const QStringList c{"DzFloatProperty", "DzColorProperty", "DzNumericProperty", "DzImageProperty",
                               "DzProperty"};
    return c;
}

bool isNumericClass(const QString& cls)
{
    return cls == "DzFloatProperty" || cls == "DzColorProperty" || cls == "DzNumericProperty";
}

// Long mesh blobs are cut out of the text before it goes to the JSON parser and decoded from
// the file's bytes in place; the parser sees a short placeholder instead. Only the values of
// the blob members qualify (labels and plug-in texts stay as they are), and only strings
// without escapes, which base64 never has.
constexpr qint64 kBlobMinLength = 4096;
const char* const kBlobMark =
    "\x01"
    "blob#";

struct BlobText
{
    const char* data = nullptr;
    qint64 size = 0;
};

bool isBlobKey(const char* p, qint64 len)
{
    static const QByteArray keys[] = {"vertices", "uvs", "facets"};
    for (const QByteArray& k : keys)
        if (len == k.size() && std::memcmp(p, k.constData(), size_t(len)) == 0) return true;
    return false;
}

// Whether only white space and one colon lie between two tokens.
bool onlyColonBetween(const char* p, qint64 from, qint64 to)
{
    int colons = 0;
    for (qint64 i = from; i < to; ++i) {
        const char c = p[i];
        if (c == ':') ++colons;
        else if (c != ' ' && c != '\n' && c != '\r' && c != '\t') return false;
    }
    return colons == 1;
}

QByteArray cutOutBlobs(const char* p, qint64 n, std::vector<BlobText>& blobs)
{
    QByteArray out;
    qint64 copied = 0;
    qint64 i = 0;
    // The string before the current one: a key when only a colon follows it.
    qint64 prevStart = -1, prevLen = 0, prevEnd = -1;
    while (i < n) {
        // Outside strings JSON has no quotes, so this visits every string in order.
        const char* q = static_cast<const char*>(std::memchr(p + i, '"', size_t(n - i)));
        if (!q) break;
        const qint64 start = q - p;  // the opening quote
        const char* end = static_cast<const char*>(std::memchr(q + 1, '"', size_t(n - start - 1)));
        if (!end) break;  // unterminated: the parser will say so
        const char* bs = static_cast<const char*>(std::memchr(q + 1, '\\', size_t(end - q - 1)));
        if (bs) {
            // An escaped string: walk it by hand to its real end.
            qint64 j = bs - p;
            while (j < n && p[j] != '"') j += (p[j] == '\\') ? 2 : 1;
            prevStart = -1;
            prevEnd = j;
            i = j + 1;
            continue;
        }
        const qint64 len = end - q - 1;
        if (len >= kBlobMinLength && prevStart >= 0 && isBlobKey(p + prevStart, prevLen) &&
            onlyColonBetween(p, prevEnd + 1, start)) {
            if (out.isEmpty()) out.reserve(1 << 16);
            out.append(p + copied, int(start - copied));
            out += "\"\\u0001blob#";
            out += QByteArray::number(qulonglong(blobs.size()));
            out += '"';
            blobs.push_back({q + 1, len});
            copied = (end - p) + 1;
        }
        prevStart = start + 1;
        prevLen = len;
        prevEnd = end - p;
        i = prevEnd + 1;
    }
    if (copied == 0) return QByteArray::fromRawData(p, int(n));
    out.append(p + copied, int(n - copied));
    return out;
}

// Strict base64 of a known byte count: exact length, the standard alphabet, padding only
// where it belongs. Decodes by ranges so callers can stream into their own arrays.
class Base64Text
{
public:
    Base64Text(const char* s, qint64 len) : m_s(s), m_len(len) {}

    bool holds(qint64 bytes)
    {
        m_bytes = bytes;
        m_groups = (bytes + 2) / 3;
        if (m_len != m_groups * 4) return false;
        const int pad = int((3 - bytes % 3) % 3);
        for (int k = 0; k < pad; ++k)
            if (m_s[m_len - 1 - k] != '=') return false;
        return true;
    }

    // Bytes [offset, offset + n); offset is a multiple of three.
    bool decode(qint64 offset, qint64 n, char* out) const
    {
        const qint8* t = table();
        const qint64 g0 = offset / 3;
        const qint64 g1 = (offset + n + 2) / 3;
        const unsigned char* p = reinterpret_cast<const unsigned char*>(m_s) + g0 * 4;
        qint64 left = n;
        for (qint64 g = g0; g < g1; ++g, p += 4) {
            qint8 v[4];
            if (g == m_groups - 1) {
                const int pad = int((3 - m_bytes % 3) % 3);
                for (int k = 0; k < 4; ++k) v[k] = (k >= 4 - pad) ? 0 : t[p[k]];
            } else {
                v[0] = t[p[0]], v[1] = t[p[1]], v[2] = t[p[2]], v[3] = t[p[3]];
            }
            if ((v[0] | v[1] | v[2] | v[3]) < 0) return false;
            const quint32 triple = quint32(v[0]) << 18 | quint32(v[1]) << 12 | quint32(v[2]) << 6 | quint32(v[3]);
            const char b[3] = {char(triple >> 16), char(triple >> 8), char(triple)};
            const int k = int(qMin<qint64>(3, left));
            std::memcpy(out, b, size_t(k));
            out += k;
            left -= k;
        }
        return true;
    }

private:
    static const qint8* table()
    {
        static const auto t = [] {
            std::array<qint8, 256> a{};
            a.fill(-1);
            const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
            for (int i = 0; i < 64; ++i) a[size_t(static_cast<unsigned char>(alphabet[i]))] = qint8(i);
            return a;
        }();
        return t.data();
    }

    const char* m_s;
    qint64 m_len;
    qint64 m_bytes = 0;
    qint64 m_groups = 0;
};

class Reader
{
public:
    QString error;

    bool fail(const QString& why)
    {
        if (error.isEmpty()) error = m_ctx.isEmpty() ? why : m_ctx.join(", ") + ": " + why;
        return false;
    }

    void push(const QString& c) { m_ctx.append(c); }
    void pop() { m_ctx.removeLast(); }

    bool member(const QJsonObject& o, const char* key, QJsonValue& out)
    {
        const auto it = o.constFind(QLatin1String(key));
        if (it == o.constEnd()) return fail(QString("missing \"%1\"").arg(key));
        out = it.value();
        return true;
    }

    bool getString(const QJsonObject& o, const char* key, QString& out)
    {
        QJsonValue v;
        if (!member(o, key, v)) return false;
        if (!v.isString()) return wrongType(key, "a string");
        out = v.toString();
        return true;
    }

    bool getStringOrNull(const QJsonObject& o, const char* key, QString& out, bool& isNull)
    {
        QJsonValue v;
        if (!member(o, key, v)) return false;
        isNull = v.isNull();
        if (isNull) {
            out.clear();
            return true;
        }
        if (!v.isString()) return wrongType(key, "a string or null");
        out = v.toString();
        return true;
    }

    bool getBool(const QJsonObject& o, const char* key, bool& out)
    {
        QJsonValue v;
        if (!member(o, key, v)) return false;
        if (!v.isBool()) return wrongType(key, "true or false");
        out = v.toBool();
        return true;
    }

    bool getInt(const QJsonObject& o, const char* key, int& out, int lo = std::numeric_limits<int>::min(),
                int hi = std::numeric_limits<int>::max())
    {
        QJsonValue v;
        if (!member(o, key, v)) return false;
        const double d = v.toDouble();
        if (!v.isDouble() || d != std::floor(d) || d < lo || d > hi)
            return fail(QString("\"%1\" must be an integer from %2 to %3").arg(key).arg(lo).arg(hi));
        out = int(d);
        return true;
    }

    bool getTime(const QJsonObject& o, const char* key, DzTime& out, double lo = 0, double hi = kMaxExactInt)
    {
        QJsonValue v;
        if (!member(o, key, v)) return false;
        const double d = v.toDouble();
        if (!v.isDouble() || d != std::floor(d) || d < lo || d > hi)
            return fail(QString("\"%1\" must be a whole number of ticks from %2 to %3")
                            .arg(key)
                            .arg(qint64(lo))
                            .arg(qint64(hi)));
        out = DzTime(d);
        return true;
    }

    static bool toNumber(const QJsonValue& v, double& out)
    {
        if (v.isDouble()) {
            out = v.toDouble();
            return true;
        }
        if (v.isString()) {
            const QString s = v.toString();
            if (s == "nan") out = std::numeric_limits<double>::quiet_NaN();
            else if (s == "inf") out = std::numeric_limits<double>::infinity();
            else if (s == "-inf") out = -std::numeric_limits<double>::infinity();
            else return false;
            return true;
        }
        return false;
    }

    bool getNumber(const QJsonObject& o, const char* key, double& out)
    {
        QJsonValue v;
        if (!member(o, key, v)) return false;
        if (!toNumber(v, out)) return wrongType(key, "a number");
        return true;
    }

    bool getFloats(const QJsonObject& o, const char* key, float* out, int n)
    {
        QJsonValue v;
        if (!member(o, key, v)) return false;
        const QJsonArray a = v.toArray();
        const QString what = QString("an array of %1 numbers").arg(n);
        if (!v.isArray() || a.size() != n) return wrongType(key, what);
        for (int i = 0; i < n; ++i) {
            double d;
            if (!toNumber(a.at(i), d)) return wrongType(key, what);
            out[i] = float(d);
            // A node nowhere (or past the float range) cannot be drawn, measured or exported.
            if (!std::isfinite(out[i]))
                return fail(QString("\"%1\" holds %2, not a finite number within the float range")
                                .arg(QLatin1String(key))
                                .arg(d));
        }
        return true;
    }

    bool getObject(const QJsonObject& o, const char* key, QJsonObject& out, bool* isNull = nullptr)
    {
        QJsonValue v;
        if (!member(o, key, v)) return false;
        if (isNull) {
            *isNull = v.isNull();
            if (*isNull) return true;
        }
        if (!v.isObject()) return wrongType(key, isNull ? "an object or null" : "an object");
        out = v.toObject();
        return true;
    }

    bool getArray(const QJsonObject& o, const char* key, QJsonArray& out)
    {
        QJsonValue v;
        if (!member(o, key, v)) return false;
        if (!v.isArray()) return wrongType(key, "an array");
        out = v.toArray();
        return true;
    }

    bool objectAt(const QJsonArray& a, int i, const char* what, QJsonObject& out)
    {
        if (!a.at(i).isObject()) return fail(QString("%1 %2 is not an object").arg(what).arg(i));
        out = a.at(i).toObject();
        return true;
    }

    bool getClass(const QJsonObject& o, const QStringList& allowed, QString& out)
    {
        if (!getString(o, "class", out)) return false;
        if (!allowed.contains(out)) return fail(QString("unknown class \"%1\"").arg(out));
        return true;
    }

    const std::vector<BlobText>* blobs = nullptr;

    // The base64 text of a blob member, cut out of the file or (short ones) inline.
    bool getBlobText(const QJsonObject& o, const char* key, QByteArray& keep, BlobText& out)
    {
        QJsonValue v;
        if (!member(o, key, v)) return false;
        if (!v.isString()) return wrongType(key, "a base64 string");
        const QString s = v.toString();
        if (s.startsWith(QLatin1String(kBlobMark)) && blobs) {
            bool ok = false;
            const qulonglong i = s.midRef(int(std::strlen(kBlobMark))).toULongLong(&ok);
            if (ok && i < blobs->size()) {
                out = (*blobs)[size_t(i)];
                return true;
            }
        }
        keep = s.toLatin1();
        out = {keep.constData(), keep.size()};
        return true;
    }

    // The blob of key, checked to hold exactly count items of words 32-bit words each. A
    // count is only a claim: nothing is allocated for it before the data is known to be there.
    bool checkBlob(const QJsonObject& o, const char* key, qint64 count, int words, QByteArray& keep, BlobText& out)
    {
        if (!getBlobText(o, key, keep, out)) return false;
        if (!Base64Text(out.data, out.size).holds(count * words * 4)) return blobFail(key, count);
        return true;
    }

    // A blob checkBlob passed, decoded into dst as little-endian words.
    bool decodeBlob(const BlobText& text, const char* key, qint64 count, int words, void* dst)
    {
        Base64Text b64(text.data, text.size);
        const qint64 bytes = count * words * 4;
        if (!b64.holds(bytes) || !b64.decode(0, bytes, static_cast<char*>(dst))) return blobFail(key, count);
        qFromLittleEndian<quint32>(dst, qsizetype(count * words), dst);
        return true;
    }

    // Facets stream through a small buffer into the mesh.
    bool getFacets(const QJsonObject& o, const char* key, qint64 count, DzFacetMesh* mesh)
    {
        QByteArray keep;
        BlobText text;
        if (!getBlobText(o, key, keep, text)) return false;
        Base64Text b64(text.data, text.size);
        if (!b64.holds(count * qint64(sizeof(DzFacet)))) return blobFail(key, count);
        mesh->preSizeFacets(int(count));
        constexpr qint64 kChunk = 16384;
        std::vector<DzFacet> buf(size_t(qMin(count, kChunk)));
        for (qint64 first = 0; first < count; first += kChunk) {
            const qint64 n = qMin(kChunk, count - first);
            if (!b64.decode(first * qint64(sizeof(DzFacet)), n * qint64(sizeof(DzFacet)),
                            reinterpret_cast<char*>(buf.data())))
                return blobFail(key, count);
            qFromLittleEndian<quint32>(buf.data(), qsizetype(n * kIntsPerFacet), buf.data());
            for (qint64 i = 0; i < n; ++i) mesh->addFacet(buf[size_t(i)]);
        }
        return true;
    }

private:
    bool blobFail(const char* key, qint64 count)
    {
        return fail(QString("\"%1\" does not hold %2 items").arg(QLatin1String(key)).arg(count));
    }

    bool wrongType(const char* key, const QString& what)
    {
        return fail(QString("\"%1\" must be %2").arg(QLatin1String(key), what));
    }

    QStringList m_ctx;
};

struct Scope
{
    Scope(Reader& r, const QString& c) : m_r(r) { m_r.push(c); }
    ~Scope() { m_r.pop(); }
    Reader& m_r;
};

bool readProperty(Reader& r, const QJsonObject& o, PropertyRec& p)
{
    if (!r.getString(o, "name", p.name)) return false;
    Scope s(r, QString("property %1").arg(quoted(p.name)));
    if (!r.getClass(o, propertyClasses(), p.cls)) return false;
    if (isNumericClass(p.cls))
        return r.getNumber(o, "value", p.value) && r.getBool(o, "mappable", p.mappable) && r.getString(o, "map", p.map);
    if (p.cls == "DzImageProperty") return r.getString(o, "image", p.map);
    return true;
}

bool readMaterial(Reader& r, const QJsonObject& o, MaterialRec& m)
{
    static const QStringList classes{"DzDefaultMaterial", "DzMaterial"};
    QJsonArray props;
    if (!r.getClass(o, classes, m.cls) || !r.getString(o, "name", m.name) || !r.getString(o, "label", m.label) ||
        !r.getBool(o, "smoothing", m.smoothing) || !r.getArray(o, "properties", props))
        return false;
    m.properties.resize(size_t(props.size()));
    for (int i = 0; i < props.size(); ++i) {
        QJsonObject po;
        if (!r.objectAt(props, i, "property", po) || !readProperty(r, po, m.properties[size_t(i)])) return false;
    }
    return true;
}

bool readMesh(Reader& r, const QJsonObject& o, int numMaterials, MeshRec& rec)
{
    static const QStringList meshClasses{"DzFacetMesh"};
    static const QStringList uvClasses{"DzUVSet", "DzMap"};
    QString cls, name, uvClass;
    int activeMaterial = 0, numVerts = 0, numUVs = 0, numFacets = 0;
    bool noUVs = true;
    if (!r.getClass(o, meshClasses, cls) || !r.getString(o, "name", name) ||
        !r.getInt(o, "active_material", activeMaterial, 0, qMax(0, numMaterials - 1)) ||
        !r.getInt(o, "vertex_count", numVerts, 0, std::numeric_limits<int>::max() / 12) ||
        !r.getStringOrNull(o, "uv_class", uvClass, noUVs) ||
        !r.getInt(o, "uv_count", numUVs, 0, std::numeric_limits<int>::max() / 8) ||
        !r.getInt(o, "facet_count", numFacets, 0, std::numeric_limits<int>::max() / int(sizeof(DzFacet))))
        return false;
    if (!noUVs && !uvClasses.contains(uvClass)) return r.fail(QString("unknown class %1").arg(quoted(uvClass)));
    if (noUVs && numUVs != 0) return r.fail("UVs without a UV map");

    // Every count is checked against its blob before the mesh grows to it.
    QByteArray keepVerts, keepUVs;
    BlobText vertText, uvText;
    if (!r.checkBlob(o, "vertices", numVerts, 3, keepVerts, vertText) ||
        !r.checkBlob(o, "uvs", noUVs ? 0 : numUVs, 2, keepUVs, uvText))
        return false;
    rec.mesh.reset(new DzFacetMesh);
    DzFacetMesh* mesh = rec.mesh.get();
    mesh->setObjectName(name);
    mesh->setNumVertices(numVerts);
    if (!r.decodeBlob(vertText, "vertices", numVerts, 3, mesh->getVerticesPtr())) return false;
    // Geometry that is not a number spreads into every normal, bound and export made from it.
    const float* xyz = reinterpret_cast<const float*>(mesh->getVerticesPtr());
    for (qint64 i = 0; i < qint64(numVerts) * 3; ++i)
        if (!std::isfinite(xyz[i]))
            return r.fail(QString("vertex %1 of %2 has a coordinate that is not a finite number (%3)")
                              .arg(i / 3)
                              .arg(numVerts)
                              .arg(double(xyz[i])));
    if (!noUVs) {
        DzMap* map = uvClass == "DzUVSet" ? new DzUVSet : new DzMap;
        mesh->setUVList(map);
        map->setNumValues(numUVs);
        if (!r.decodeBlob(uvText, "uvs", numUVs, 2, map->getPnt2ArrayPtr())) return false;
        const float* uv = reinterpret_cast<const float*>(map->getPnt2ArrayPtr());
        for (qint64 i = 0; i < qint64(numUVs) * 2; ++i)
            if (!std::isfinite(uv[i]))
                return r.fail(
                    QString("UV %1 of %2 is not a finite number (%3)").arg(i / 2).arg(numUVs).arg(double(uv[i])));
    }
    if (!r.getFacets(o, "facets", numFacets, mesh)) return false;
    const QString bad = checkFacets(mesh->getFacetsPtr(), numFacets, numVerts, numUVs, numMaterials);
    if (!bad.isEmpty()) return r.fail(bad);
    mesh->activateMaterial(activeMaterial);
    return true;
}

bool readShape(Reader& r, const QJsonObject& o, ShapeRec& s)
{
    static const QStringList classes{"DzFacetShape", "DzShape"};
    QJsonArray mats;
    if (!r.getClass(o, classes, s.cls) || !r.getString(o, "name", s.name) || !r.getString(o, "label", s.label) ||
        !r.getArray(o, "materials", mats))
        return false;
    s.materials.resize(size_t(mats.size()));
    for (int i = 0; i < mats.size(); ++i) {
        Scope sc(r, QString("material %1").arg(i));
        QJsonObject mo;
        if (!r.objectAt(mats, i, "material", mo) || !readMaterial(r, mo, s.materials[size_t(i)])) return false;
    }
    QJsonObject meshObj;
    bool noMesh = true;
    if (!r.getObject(o, "mesh", meshObj, &noMesh)) return false;
    if (noMesh) return true;
    if (s.cls != "DzFacetShape") return r.fail("only a DzFacetShape carries a mesh");
    Scope sc(r, "mesh");
    s.mesh.reset(new MeshRec);
    return readMesh(r, meshObj, int(s.materials.size()), *s.mesh);
}

bool readObject(Reader& r, const QJsonObject& o, ObjectRec& obj)
{
    static const QStringList classes{"DzObject"};
    QString cls;
    QJsonArray shapes;
    if (!r.getClass(o, classes, cls) || !r.getString(o, "name", obj.name) || !r.getString(o, "label", obj.label) ||
        !r.getArray(o, "shapes", shapes))
        return false;
    obj.shapes.resize(size_t(shapes.size()));
    for (int i = 0; i < shapes.size(); ++i) {
        Scope sc(r, QString("shape %1").arg(i));
        QJsonObject so;
        if (!r.objectAt(shapes, i, "shape", so) || !readShape(r, so, obj.shapes[size_t(i)])) return false;
    }
    return true;
}

bool readNode(Reader& r, const QJsonObject& o, int numNodes, NodeRec& n)
{
    static const QStringList classes{"DzNode"};
    QString cls;
    float pos[3], rot[4], scale[3];
    if (!r.getClass(o, classes, cls) || !r.getString(o, "name", n.name) || !r.getString(o, "label", n.label) ||
        !r.getString(o, "asset_id", n.assetId) || !r.getInt(o, "parent", n.parent, -1, numNodes - 1) ||
        !r.getFloats(o, "pos", pos, 3) || !r.getFloats(o, "rot", rot, 4) || !r.getFloats(o, "scale", scale, 3) ||
        !r.getBool(o, "visible", n.visible) || !r.getBool(o, "selectable", n.selectable) ||
        !r.getBool(o, "visible_in_render", n.visibleInRender) || !r.getInt(o, "render_priority", n.renderPriority))
        return false;
    n.local.pos = DzVec3(pos[0], pos[1], pos[2]);
    n.local.rot = DzQuat(rot[0], rot[1], rot[2], rot[3]);
    n.local.scale = DzVec3(scale[0], scale[1], scale[2]);
    bool noPresentation = true;
    if (!r.getStringOrNull(o, "presentation", n.presentation, noPresentation)) return false;
    n.hasPresentation = !noPresentation;
    QJsonObject objObj;
    bool noObject = true;
    if (!r.getObject(o, "object", objObj, &noObject)) return false;
    if (noObject) return true;
    Scope sc(r, "object");
    n.object.reset(new ObjectRec);
    return readObject(r, objObj, *n.object);
}

bool readScene(Reader& r, const QJsonObject& root, SceneRec& scene)
{
    const auto tagIt = root.constFind(QLatin1String("format"));
    if (tagIt == root.constEnd() || !tagIt.value().isString() || tagIt.value().toString() != kFormatTag)
        return r.fail("not a Verdix host scene file");
    int version = 0;
    if (!r.getInt(root, "version", version, 1)) return false;
    if (version > kFormatVersion)
        return r.fail(
            QString("written by a newer host (format %1, this host reads up to %2)").arg(version).arg(kFormatVersion));
    QJsonArray nodes;
    QJsonObject sceneData;
    // A frame is at least one tick long and at most an hour; times before the start do not exist.
    if (!r.getTime(root, "time", scene.time) ||
        !r.getTime(root, "time_step", scene.timeStep, 1, double(DZ_TICKS_PER_SECOND) * 3600) ||
        !r.getTime(root, "anim_end", scene.animEnd) || !r.getArray(root, "nodes", nodes) ||
        !r.getObject(root, "scene_data", sceneData))
        return false;
    const QJsonValue view = root.value(QLatin1String("view"));
    if (!view.isUndefined() && !view.isObject()) return r.fail("\"view\" is not an object");
    scene.view = view.toObject();

    scene.nodes.resize(size_t(nodes.size()));
    for (int i = 0; i < nodes.size(); ++i) {
        QJsonObject no;
        if (!r.objectAt(nodes, i, "node", no)) return false;
        const QString label = no.value("label").toString();
        Scope sc(r, label.isEmpty() ? QString("node %1").arg(i) : QString("node %1 %2").arg(i).arg(quoted(label)));
        if (!readNode(r, no, nodes.size(), scene.nodes[size_t(i)])) return false;
    }
    // Parents must form a forest: walk up from each node, marking the chains already known
    // to end at a root, so the whole check stays linear.
    {
        enum : char {
            Unknown,
            OnPath,
            Rooted
        };
        std::vector<char> state(scene.nodes.size(), Unknown);
        std::vector<int> path;
        for (size_t i = 0; i < scene.nodes.size(); ++i) {
            path.clear();
            int n = int(i);
            while (n >= 0 && state[size_t(n)] == Unknown) {
                state[size_t(n)] = OnPath;
                path.push_back(n);
                n = scene.nodes[size_t(n)].parent;
            }
            if (n >= 0 && state[size_t(n)] == OnPath)
                return r.fail(
                    QString("node %1 %2 is its own ancestor").arg(n).arg(quoted(scene.nodes[size_t(n)].label)));
            for (int p : path) state[size_t(p)] = Rooted;
        }
    }
    for (auto it = sceneData.constBegin(); it != sceneData.constEnd(); ++it) {
        if (!it.value().isObject()) return r.fail(QString("scene data %1 is not an object").arg(quoted(it.key())));
        scene.sceneData.emplace_back(it.key(), it.value().toObject());
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Building scene objects from checked records.

class TextureResolver
{
public:
    explicit TextureResolver(const QString& sceneFile) : m_dir(QFileInfo(sceneFile).absolutePath())
    {
        QStringList folders{m_dir.absolutePath()};
        if (dzApp) folders << dzApp->getImageMgr()->getImageFolders() << dzApp->getTextureRootOverride();
        for (const QString& f : folders) {
            const QString canonical = f.isEmpty() ? QString() : QFileInfo(f).canonicalFilePath();
            if (!canonical.isEmpty()) m_allowed << canonical + QLatin1Char('/');
        }
    }

    // Every texture the records name, looked up and decoded before a node is built; the
    // decoding (the longest part of opening a scene with dozens of large textures) is shared
    // out over the processors. The textures keep their pixels for the views and exports.
    void prepare(const std::vector<NodeRec>& nodes)
    {
        if (!dzApp) return;
        std::vector<std::pair<QString, DzTexture*>> found;  // a scene's path, its texture
        for (const NodeRec& n : nodes) {
            if (!n.object) continue;
            for (const ShapeRec& sr : n.object->shapes)
                for (const MaterialRec& mr : sr.materials)
                    for (const PropertyRec& p : mr.properties) {
                        if (p.map.isEmpty() || m_cache.contains(p.map)) continue;
                        DzTexture* t = lookUp(p.map);
                        m_cache.insert(p.map, t);
                        if (t) found.emplace_back(p.map, t);
                    }
        }
        std::vector<DzTexture*> distinct;  // two paths may name one file
        QSet<DzTexture*> seen;
        for (const auto& f : found)
            if (!seen.contains(f.second)) {
                seen.insert(f.second);
                distinct.push_back(f.second);
            }
        std::atomic<size_t> next{0};
        const auto decode = [&] {
            for (size_t k; (k = next.fetch_add(1)) < distinct.size();) distinct[k]->getImage();
        };
        const size_t helpers =
            dzApp->isMultiThreadingEnabled()
                ? std::min<size_t>(distinct.size(), std::max(1u, std::thread::hardware_concurrency())) - 1
                : 0;
        std::vector<std::thread> threads;
        for (size_t k = 0; k < helpers && distinct.size() > 1; ++k) threads.emplace_back(decode);
        decode();
        for (std::thread& t : threads) t.join();
        // A damaged image is told by name now instead of rendering as nothing later.
        for (const auto& f : found) {
            if (!f.second->getImage().isNull()) continue;
            QString why;
            dzReadImageFile(f.second->getFilename(), &why);
            m_unreadable << qMakePair(f.first, why.isEmpty() ? QString("not an image") : why);
            m_cache.insert(f.first, nullptr);
        }
    }

    // What prepare found for path: null for a file that is gone, no image, damaged or out of
    // the allowed folders (links and ".." resolved).
    DzTexture* get(const QString& path) const { return m_cache.value(path, nullptr); }

    const QStringList& refused() const { return m_refused; }
    const QList<QPair<QString, QString>>& unreadable() const { return m_unreadable; }

private:
    DzTexture* lookUp(const QString& path)
    {
        const QString full = QFileInfo(path).isRelative() ? m_dir.filePath(path) : path;
        if (allowed(full)) return dzApp->getImageMgr()->getImage(full);
        m_refused << path;
        return nullptr;
    }

    bool allowed(const QString& full) const
    {
        const QFileInfo info(full);
        if (!info.exists()) return true;  // nothing to read there
        const QString file = info.canonicalFilePath();
        for (const QString& folder : m_allowed)
            if (file.startsWith(folder)) return true;
        return false;
    }

    QDir m_dir;
    QStringList m_allowed;
    QHash<QString, DzTexture*> m_cache;
    QStringList m_refused;
    QList<QPair<QString, QString>> m_unreadable;  // path, why
};

// One message for all textures a scene was refused, so a scene naming thousands shows one box.
void reportRefusedTextures(const QString& file, const QStringList& refused)
{
    if (refused.isEmpty() || !dzApp) return;
    const QString name = quoted(QDir::toNativeSeparators(file));
    QString text;
    if (refused.size() == 1) {
        text = QString("The texture path %1 of %2 leads out of the library and the scene's folder; it was not read")
                   .arg(quoted(refused.first()), name);
    } else {
        QStringList shown;
        for (int k = 0; k < refused.size() && k < 3; ++k) shown << quoted(refused[k]);
        if (refused.size() > 3) shown << QString("%1 more").arg(refused.size() - 3);
        text = QString("%1 texture paths of %2 lead out of the library and the scene's folder; they were not read: %3")
                   .arg(refused.size())
                   .arg(name, shown.join(", "));
    }
    dzApp->dialogs()->messageBox(QMessageBox::Warning, "Scene", oneLine(text));
}

void reportUnreadableTextures(const QString& file, const QList<QPair<QString, QString>>& unreadable)
{
    if (unreadable.isEmpty() || !dzApp) return;
    const QString name = quoted(QDir::toNativeSeparators(file));
    QString text;
    if (unreadable.size() == 1) {
        text = QString("The texture %1 of %2 cannot be read: %3; it was left off")
                   .arg(quoted(unreadable.first().first), name, unreadable.first().second);
    } else {
        QStringList shown;
        for (int k = 0; k < unreadable.size() && k < 3; ++k)
            shown << QString("%1 (%2)").arg(quoted(unreadable[k].first), unreadable[k].second);
        if (unreadable.size() > 3) shown << QString("%1 more").arg(unreadable.size() - 3);
        text = QString("%1 textures of %2 cannot be read and were left off: %3")
                   .arg(unreadable.size())
                   .arg(name, shown.join("; "));
    }
    dzApp->dialogs()->messageBox(QMessageBox::Warning, "Scene", oneLine(text));
}

DzProperty* makeProperty(const PropertyRec& p)
{
    if (p.cls == "DzFloatProperty") return new DzFloatProperty(p.name);
    if (p.cls == "DzColorProperty") return new DzColorProperty(p.name);
    if (p.cls == "DzNumericProperty") return new DzNumericProperty(p.name);
    if (p.cls == "DzImageProperty") return new DzImageProperty(p.name);
    return new DzProperty(p.name);
}

DzMaterial* buildMaterial(const MaterialRec& rec, TextureResolver& textures)
{
    DzMaterial* mat;
    if (rec.cls == "DzDefaultMaterial") {
        auto* dm = new DzDefaultMaterial;
        dm->setSmoothingOn(rec.smoothing);
        mat = dm;
    } else {
        mat = new DzMaterial;
    }
    mat->setName(rec.name);
    mat->setLabel(rec.label);
    for (const PropertyRec& p : rec.properties) {
        DzProperty* prop = mat->findProperty(p.name);
        if (!prop) {
            prop = makeProperty(p);
            mat->addProperty(prop);
        }
        if (isNumericClass(p.cls)) {
            if (auto* num = qobject_cast<DzNumericProperty*>(prop)) {
                num->setDoubleValue(p.value);
                num->setIsMappable(p.mappable);
                num->setMap(textures.get(p.map));
            }
        } else if (p.cls == "DzImageProperty") {
            if (auto* img = qobject_cast<DzImageProperty*>(prop)) img->setValue(textures.get(p.map));
        }
    }
    return mat;
}

DzFacetMesh* takeMesh(MeshRec& rec)
{
    DzFacetMesh* mesh = rec.mesh.release();
    mesh->beginEdit();
    mesh->finishEdit();  // a new revision for whoever draws it
    return mesh;
}

DzNode* buildNode(NodeRec& rec, TextureResolver& textures)
{
    auto* node = new DzNode;
    node->setName(rec.name);
    node->setLabel(rec.label);
    node->setAssetId(rec.assetId);
    node->setLocalTransform(rec.local);
    node->setVisible(rec.visible);
    node->setSelectable(rec.selectable);
    node->setVisibleInRender(rec.visibleInRender);
    node->setRenderPriority(rec.renderPriority);
    if (rec.hasPresentation) {
        auto* pres = new DzPresentation;
        pres->setType(rec.presentation);
        node->setPresentation(pres);
    }
    if (rec.object) {
        auto* obj = new DzObject;
        obj->setName(rec.object->name);
        obj->setLabel(rec.object->label);
        for (ShapeRec& sr : rec.object->shapes) {
            DzShape* shape = sr.cls == "DzFacetShape" ? new DzFacetShape : new DzShape;
            shape->setName(sr.name);
            shape->setLabel(sr.label);
            for (const MaterialRec& mr : sr.materials) shape->addMaterial(buildMaterial(mr, textures));
            if (sr.mesh) static_cast<DzFacetShape*>(shape)->setFacetMesh(takeMesh(*sr.mesh));
            obj->addShape(shape);
        }
        node->setObject(obj);
    }
    return node;
}

QString textureFile(const DzTexture* t) { return t ? t->getFilename() : QString(); }

QObject* findDataObject(const DzScene& scene, const QString& dataClassName)
{
    for (int i = 0; i < scene.getNumDataItems(); ++i) {
        DzSceneData* d = scene.getDataItem(i);
        if (QString::fromLatin1(d->metaObject()->className()) == dataClassName) return d;
    }
    return nullptr;
}

DzExtraSceneDataIO* createIO(const DzSceneDataIORegistration& reg)
{
    QObject* o = dzApp->getPluginMgr()->createInstance(reg.ioClassName);
    auto* io = qobject_cast<DzExtraSceneDataIO*>(o);
    if (!io) delete o;
    return io;
}

}  // namespace

// ---------------------------------------------------------------------------------------

class DzSceneFile
{
public:
    static bool save(DzScene& scene, const QString& file, QString* error);
    static bool load(DzScene& scene, const QString& file, QString* error, bool merge);

private:
    static void writeMaterial(JsonWriter& w, const DzMaterial* mat);
    static void writeMesh(JsonWriter& w, const DzFacetMesh* mesh);
};

void DzSceneFile::writeMaterial(JsonWriter& w, const DzMaterial* mat)
{
    const auto* dm = qobject_cast<const DzDefaultMaterial*>(mat);
    w.beginObject();
    w.key("class");
    w.value(QString(dm ? "DzDefaultMaterial" : "DzMaterial"));
    w.key("name");
    w.value(mat->getName());
    w.key("label");
    w.value(mat->getLabel());
    w.key("smoothing");
    w.value(dm ? dm->isSmoothingOn() : false);
    w.key("properties");
    w.beginArray();
    for (int i = 0; i < mat->getNumProperties(); ++i) {
        const DzProperty* p = mat->getProperty(i);
        w.beginObject(true);
        w.key("name");
        w.value(p->getLabel());
        if (const auto* num = qobject_cast<const DzNumericProperty*>(p)) {
            const char* cls = qobject_cast<const DzColorProperty*>(p)   ? "DzColorProperty"
                              : qobject_cast<const DzFloatProperty*>(p) ? "DzFloatProperty"
                                                                        : "DzNumericProperty";
            w.key("class");
            w.value(QString(cls));
            w.key("value");
            w.number(num->getDoubleValue());
            w.key("mappable");
            w.value(num->isMappable());
            w.key("map");
            w.value(textureFile(num->getMapValue()));
        } else if (const auto* img = qobject_cast<const DzImageProperty*>(p)) {
            w.key("class");
            w.value(QString("DzImageProperty"));
            w.key("image");
            w.value(textureFile(img->getValue()));
        } else {
            w.key("class");
            w.value(QString("DzProperty"));
        }
        w.endObject();
    }
    w.endArray();
    w.endObject();
}

void DzSceneFile::writeMesh(JsonWriter& w, const DzFacetMesh* mesh)
{
    const qint64 nv = mesh->getNumVertices();
    const DzMap* uvMap = mesh->getUVs();
    const qint64 nuv = uvMap ? uvMap->getNumValues() : 0;
    const qint64 nf = mesh->getNumFacets();
    w.beginObject();
    w.key("class");
    w.value(QString("DzFacetMesh"));
    w.key("name");
    w.value(mesh->objectName());
    w.key("active_material");
    w.value(mesh->getActiveMaterial());
    w.key("vertex_count");
    w.value(nv);
    w.key("vertices");
    const DzVec3* verts = mesh->getVerticesPtr();
    w.blob(nv, 12, [verts](qint64 first, qint64 n, char* dst) { packLE32(verts + first, n * 3, dst); });
    w.key("uv_class");
    if (uvMap) w.value(QString(qobject_cast<const DzUVSet*>(uvMap) ? "DzUVSet" : "DzMap"));
    else w.null();
    w.key("uv_count");
    w.value(nuv);
    w.key("uvs");
    const DzPnt2* uvs = uvMap ? uvMap->getPnt2ArrayPtr() : nullptr;
    w.blob(nuv, 8, [uvs](qint64 first, qint64 n, char* dst) { packLE32(uvs + first, n * 2, dst); });
    w.key("facet_count");
    w.value(nf);
    w.key("facets");
    const DzFacet* facets = mesh->getFacetsPtr();
    w.blob(nf, kIntsPerFacet * 4, [facets](qint64 first, qint64 n, char* dst) {
        qint32* out = reinterpret_cast<qint32*>(dst);
        for (qint64 i = 0; i < n; ++i) {
            const DzFacet& f = facets[first + i];
            for (int k = 0; k < 4; ++k) *out++ = qToLittleEndian<qint32>(f.m_vertIdx[k]);
            for (int k = 0; k < 4; ++k) *out++ = qToLittleEndian<qint32>(f.m_uvwIdx[k]);
            *out++ = qToLittleEndian<qint32>(f.m_materialIdx);
        }
    });
    w.endObject();
}

bool DzSceneFile::save(DzScene& scene, const QString& file, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = oneLine(QString("Cannot save scene %1: %2").arg(quoted(QDir::toNativeSeparators(file)), why));
        return false;
    };
    if (file.isEmpty()) return fail("no file name given");

    // Cameras belong to the viewports, not to the scene file.
    QList<DzNode*> nodes;
    QHash<const DzNode*, int> index;
    for (DzNode* n : scene.m_nodes) {
        if (qobject_cast<DzCameraNode*>(n)) continue;
        index.insert(n, nodes.size());
        nodes.append(n);
    }

    // A mesh the reader would refuse fails the save now, before the old file is replaced.
    for (const DzNode* n : nodes) {
        const DzObject* obj = n->getObject();
        for (int s = 0; obj && s < obj->getNumShapes(); ++s) {
            const auto* shape = qobject_cast<const DzFacetShape*>(obj->getShape(s));
            const DzFacetMesh* mesh = shape ? shape->getFacetMesh() : nullptr;
            if (!mesh) continue;
            const QString bad =
                checkFacets(mesh->getFacetsPtr(), mesh->getNumFacets(), mesh->getNumVertices(),
                            mesh->getUVs() ? mesh->getUVs()->getNumValues() : 0, shape->getNumMaterials());
            if (!bad.isEmpty())
                return fail(QString("node %1, shape %2: %3").arg(quoted(n->getLabel())).arg(s).arg(bad));
        }
    }

    // Plug-in data, gathered before anything is written.
    std::vector<std::pair<QString, QJsonObject>> sceneData;
    if (dzApp) {
        QSet<QString> seen;
        DzFileIOSettings opts;
        for (const DzSceneDataIORegistration& reg : dzApp->getPluginMgr()->sceneDataIOs()) {
            if (seen.contains(reg.path)) continue;
            seen.insert(reg.path);
            std::unique_ptr<DzExtraSceneDataIO> io(createIO(reg));
            if (!io) continue;
            DzAssetFile assetFile(file);
            DzAssetJsonItem item(&assetFile, QJsonObject());
            QObject* obj = io->getObjectForInstance(&item, &opts);
            if (!obj) obj = findDataObject(scene, reg.dataClassName);
            if (!obj || !io->shouldWrite(obj, &opts)) continue;
            IDzJsonIO json;
            if (io->writeExtraInstance(obj, &json, &opts) != DZ_NO_ERROR)
                return fail(QString("scene data %1 could not be written").arg(quoted(reg.path)));
            sceneData.emplace_back(reg.path, json.object());
        }
    }

    DzSafeFile out(file);
    if (!out.open()) return fail(out.errorString());
    JsonWriter w(out.device());
    w.beginObject();
    w.key("format");
    w.value(QString(kFormatTag));
    w.key("version");
    w.value(kFormatVersion);
    w.key("time");
    w.value(qint64(scene.m_time));
    w.key("time_step");
    w.value(qint64(scene.m_timeStep));
    w.key("anim_end");
    w.value(qint64(scene.m_animEnd));
    w.key("nodes");
    w.beginArray();
    for (const DzNode* n : nodes) {
        // A node under a parent that is not saved keeps its place in the world.
        const DzNode* parent = n->getNodeParent();
        const int parentIdx = parent ? index.value(parent, -1) : -1;
        const DzTransform t = (parent && parentIdx < 0) ? n->getWSTransform() : n->getLocalTransform();
        w.beginObject();
        w.key("class");
        w.value(QString("DzNode"));
        w.key("name");
        w.value(n->getName());
        w.key("label");
        w.value(n->getLabel());
        w.key("asset_id");
        w.value(n->getAssetId());
        w.key("parent");
        w.value(parentIdx);
        const float pos[3] = {t.pos.m_x, t.pos.m_y, t.pos.m_z};
        const float rot[4] = {t.rot.m_x, t.rot.m_y, t.rot.m_z, t.rot.m_w};
        const float scale[3] = {t.scale.m_x, t.scale.m_y, t.scale.m_z};
        w.key("pos");
        w.floats(pos, 3);
        w.key("rot");
        w.floats(rot, 4);
        w.key("scale");
        w.floats(scale, 3);
        w.key("visible");
        w.value(n->isVisible());
        w.key("selectable");
        w.value(n->isSelectable());
        w.key("visible_in_render");
        w.value(n->isVisibleInRender());
        w.key("render_priority");
        w.value(n->getRenderPriority());
        w.key("presentation");
        if (n->getPresentation()) w.value(n->getPresentation()->getType());
        else w.null();
        w.key("object");
        if (const DzObject* obj = n->getObject()) {
            w.beginObject();
            w.key("class");
            w.value(QString("DzObject"));
            w.key("name");
            w.value(obj->getName());
            w.key("label");
            w.value(obj->getLabel());
            w.key("shapes");
            w.beginArray();
            for (int s = 0; s < obj->getNumShapes(); ++s) {
                const DzShape* shape = obj->getShape(s);
                const auto* facetShape = qobject_cast<const DzFacetShape*>(shape);
                w.beginObject();
                w.key("class");
                w.value(QString(facetShape ? "DzFacetShape" : "DzShape"));
                w.key("name");
                w.value(shape->getName());
                w.key("label");
                w.value(shape->getLabel());
                w.key("materials");
                w.beginArray();
                for (int m = 0; m < shape->getNumMaterials(); ++m) writeMaterial(w, shape->getMaterial(m));
                w.endArray();
                w.key("mesh");
                if (facetShape && facetShape->getFacetMesh()) writeMesh(w, facetShape->getFacetMesh());
                else w.null();
                w.endObject();
            }
            w.endArray();
            w.endObject();
        } else {
            w.null();
        }
        w.endObject();
    }
    w.endArray();
    w.key("scene_data");
    w.beginObject();
    for (const auto& sd : sceneData) {
        w.key(sd.first);
        w.json(sd.second);
    }
    w.endObject();
    const QJsonObject view = scene.m_viewProvider ? scene.m_viewProvider() : scene.m_view;
    if (!view.isEmpty()) {
        w.key("view");
        w.json(view);
    }
    w.endObject();
    if (!w.finish()) return fail(QString("it could not be written: %1").arg(out.device()->errorString()));
    if (!out.commit()) return fail(out.errorString());

    scene.m_filename = QFileInfo(file).absoluteFilePath();
    emit scene.sceneSaved(scene.m_filename);
    return true;
}

bool DzSceneFile::load(DzScene& scene, const QString& file, QString* error, bool merge)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = oneLine(QString("Cannot load scene %1: %2").arg(quoted(QDir::toNativeSeparators(file)), why));
        return false;
    };
    if (file.isEmpty()) return fail("no file name given");
    // Read and built aside, the scene is only touched once everything is there: until then
    // a cancel drops what was made, and the scene stays as it was.
    DzProgress progress(QString("Opening %1").arg(QFileInfo(file).fileName()), 0);
    auto cancelled = [&]() {
        if (error)
            *error = QString("Opening of %1 cancelled; the scene was not changed").arg(QFileInfo(file).fileName());
        return false;
    };
    SceneRec rec;
    {
        QFile in(file);
        if (!QFileInfo(file).isFile()) return fail("no such file");
        if (!in.open(QIODevice::ReadOnly)) return fail(in.errorString());
        const qint64 size = in.size();
        if (size == 0) return fail("the file is empty");
        if (size >= qint64(std::numeric_limits<int>::max())) return fail("the file is too large");
        // Mapped rather than read: the blobs are decoded from the page cache in place.
        QByteArray readData;
        const char* bytes = reinterpret_cast<const char*>(in.map(0, size));
        if (!bytes) {
            readData = in.readAll();
            if (readData.size() != size) return fail(in.errorString());
            bytes = readData.constData();
        }
        std::vector<BlobText> blobs;
        const QByteArray text = cutOutBlobs(bytes, size, blobs);
        if (!progress.step(0)) return cancelled();
        QJsonParseError perr;
        const QJsonDocument doc = QJsonDocument::fromJson(text, &perr);
        if (perr.error != QJsonParseError::NoError)
            return fail(QString("not a scene file (%1)").arg(perr.errorString()));
        if (!doc.isObject()) return fail("not a Verdix host scene file");
        Reader r;
        r.blobs = &blobs;
        if (!progress.step(0)) return cancelled();
        if (!readScene(r, doc.object(), rec)) return fail(r.error);
    }
    progress.setTotal((long long)rec.nodes.size() + 1);
    if (!progress.step(1)) return cancelled();

    TextureResolver textures(file);
    textures.prepare(rec.nodes);
    std::vector<DzNode*> built;
    built.reserve(rec.nodes.size());
    for (NodeRec& n : rec.nodes) {
        built.push_back(buildNode(n, textures));
        n.object.reset();  // the mesh now lives in the node; keep the peak low on big scenes
        if (!progress.step((long long)built.size() + 1)) {
            // Not linked to each other yet: each goes on its own.
            qDeleteAll(built);
            return cancelled();
        }
    }

    // The file is sound and built: from here on the scene changes, and there is no way back.
    DzProgress noWayBack(QString(), 0, false);
    emit scene.sceneLoadStarting();
    if (!merge) {
        scene.clear();
        scene.m_filename = QFileInfo(file).absoluteFilePath();
    }
    // Parents first, so listeners of nodeAdded see the hierarchy as it will stay. Deepest
    // first: an attach checks the parent's ancestors for cycles, and a parent not yet attached
    // itself has none, so a chain of any length links up in linear time. Within one depth file
    // order is kept, which keeps each parent's children in file order.
    {
        const size_t count = rec.nodes.size();
        std::vector<int> depth(count, -1);
        std::vector<size_t> path;
        for (size_t i = 0; i < count; ++i) {
            path.clear();
            size_t n = i;
            while (depth[n] < 0 && rec.nodes[n].parent >= 0) {
                path.push_back(n);
                n = size_t(rec.nodes[n].parent);
            }
            int d = depth[n] < 0 ? 0 : depth[n];
            depth[n] = d;
            for (auto it = path.rbegin(); it != path.rend(); ++it) depth[*it] = ++d;
        }
        std::vector<size_t> order(count);
        for (size_t i = 0; i < count; ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return depth[a] > depth[b]; });
        for (size_t i : order)
            if (rec.nodes[i].parent >= 0) built[size_t(rec.nodes[i].parent)]->addNodeChild(built[i], false);
    }
    for (DzNode* n : built) scene.addNode(n);

    if (!merge) {
        scene.m_view = rec.view;
        scene.setTimeStep(rec.timeStep);
        scene.setAnimEnd(rec.animEnd);
        scene.setTime(rec.time);

        // Plug-in data: every instance is applied before any is resolved. A path that no
        // loaded plug-in registers (an older or missing plug-in) is skipped.
        if (dzApp) {
            const QList<DzSceneDataIORegistration> regs = dzApp->getPluginMgr()->sceneDataIOs();
            DzAssetFile assetFile(file);
            DzFileIOSettings opts;
            struct Applied
            {
                std::unique_ptr<DzExtraSceneDataIO> io;
                QObject* target;
            };
            std::vector<Applied> applied;
            for (const auto& sd : rec.sceneData) {
                const DzSceneDataIORegistration* reg = nullptr;
                for (const DzSceneDataIORegistration& g : regs)
                    if (g.path == sd.first) {
                        reg = &g;
                        break;
                    }
                if (!reg) continue;
                std::unique_ptr<DzExtraSceneDataIO> io(createIO(*reg));
                if (!io) continue;
                DzAssetJsonItem item(&assetFile, sd.second);
                if (DzAssetJsonObject* reader = io->startInstanceRead(&item)) {
                    for (auto it = sd.second.constBegin(); it != sd.second.constEnd(); ++it)
                        reader->addMember(it.key(), it.value());
                    delete reader;
                }
                QObject* target = io->getObjectForInstance(&item, &opts);
                if (!target) target = findDataObject(scene, reg->dataClassName);
                io->applyInstanceToObject(target, &opts);
                applied.push_back({std::move(io), target});
            }
            for (Applied& a : applied) a.io->resolveInstance(a.target, &opts);
        }
    }
    emit scene.sceneLoaded();
    reportRefusedTextures(file, textures.refused());
    reportUnreadableTextures(file, textures.unreadable());
    return true;
}

bool DzScene::saveScene(const QString& file, QString* error)
{
    if (!DzSceneFile::save(*this, file, error)) return false;
    setModified(false);
    return true;
}

bool DzScene::loadScene(const QString& file, QString* error)
{
    // The listeners of sceneLoaded (plug-ins restoring their state) are part of the load.
    if (!DzSceneFile::load(*this, file, error, false)) return false;
    setModified(false);
    // A loaded scene starts with an empty history.
    if (dzUndoStack) dzUndoStack->clear();
    return true;
}

bool DzScene::mergeScene(const QString& file, QString* error) { return DzSceneFile::load(*this, file, error, true); }
