#pragma once
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMatrix4x4>
#include <QQuaternion>
#include <QVector3D>
#include <QtEndian>
#include <gtest/gtest.h>
#include <functional>
#include <map>
#include <meshoptimizer.h>
#include <vector>

// A binary glTF read as far as these tests need: accessors as floats (normalized integers
// decoded), meshopt-compressed views decoded.
struct Glb
{
    QJsonObject json;
    QByteArray bin;
    std::vector<QByteArray> views;

    bool read(const QString& file)
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) return false;
        const QByteArray d = f.readAll();
        if (d.size() < 20 || !d.startsWith("glTF")) return false;
        const uint32_t jsonLength = qFromLittleEndian<uint32_t>(d.constData() + 12);
        json = QJsonDocument::fromJson(d.mid(20, int(jsonLength))).object();
        const int binAt = 20 + int(jsonLength);
        if (d.size() > binAt + 8) bin = d.mid(binAt + 8, int(qFromLittleEndian<uint32_t>(d.constData() + binAt)));
        for (const QJsonValue& v : json["bufferViews"].toArray()) views.push_back(view(v.toObject()));
        return true;
    }

    QByteArray view(const QJsonObject& v) const
    {
        const QJsonObject ext = v["extensions"].toObject()["EXT_meshopt_compression"].toObject();
        if (ext.isEmpty()) return bin.mid(v["byteOffset"].toInt(), v["byteLength"].toInt());
        const QByteArray src = bin.mid(ext["byteOffset"].toInt(), ext["byteLength"].toInt());
        const int count = ext["count"].toInt(), stride = ext["byteStride"].toInt();
        QByteArray out(count * stride, 0);
        const auto* s = reinterpret_cast<const unsigned char*>(src.constData());
        int rc = -1;
        if (ext["mode"].toString() == "ATTRIBUTES")
            rc = meshopt_decodeVertexBuffer(out.data(), size_t(count), size_t(stride), s, size_t(src.size()));
        else if (ext["mode"].toString() == "TRIANGLES")
            rc = meshopt_decodeIndexBuffer(out.data(), size_t(count), size_t(stride), s, size_t(src.size()));
        EXPECT_EQ(rc, 0) << "meshopt view did not decode";
        return out;
    }

    // Components of accessor a, comps per element.
    std::vector<float> floats(int a, int* comps = nullptr) const
    {
        const QJsonObject acc = json["accessors"].toArray()[a].toObject();
        const QJsonObject v = json["bufferViews"].toArray()[acc["bufferView"].toInt()].toObject();
        const QByteArray& data = views[size_t(acc["bufferView"].toInt())];
        const QString type = acc["type"].toString();
        const int n = type == "SCALAR" ? 1 : type == "VEC2" ? 2 : type == "VEC3" ? 3 : 4;
        const int ct = acc["componentType"].toInt();
        const int size = ct == 5126 || ct == 5125 ? 4 : ct == 5122 || ct == 5123 ? 2 : 1;
        const int stride = v["byteStride"].toInt(n * size);
        const bool norm = acc["normalized"].toBool();
        const int count = acc["count"].toInt();
        std::vector<float> out;
        const char* p = data.constData() + acc["byteOffset"].toInt();
        for (int i = 0; i < count; ++i)
            for (int c = 0; c < n; ++c) {
                const char* e = p + i * stride + c * size;
                float x = 0.f;
                switch (ct) {
                case 5126:
                    x = qFromLittleEndian<float>(e);
                    break;
                case 5125:
                    x = float(qFromLittleEndian<uint32_t>(e));
                    break;
                case 5123:
                    x = float(qFromLittleEndian<uint16_t>(e));
                    break;
                case 5122:
                    x = float(qFromLittleEndian<int16_t>(e));
                    if (norm) x = std::max(x / 32767.f, -1.f);
                    break;
                case 5121:
                    x = float(uint8_t(*e));
                    break;
                case 5120:
                    x = float(int8_t(*e));
                    if (norm) x = std::max(x / 127.f, -1.f);
                    break;
                }
                out.push_back(x);
            }
        if (comps) *comps = n;
        return out;
    }

    static QMatrix4x4 local(const QJsonObject& node)
    {
        auto f = [&](const char* key, int i) { return float(node[key].toArray()[i].toDouble()); };
        QMatrix4x4 m;
        if (node.contains("matrix")) {
            for (int i = 0; i < 16; ++i) m(i % 4, i / 4) = f("matrix", i);  // glTF lists columns first
            return m;
        }
        if (node.contains("translation")) m.translate(f("translation", 0), f("translation", 1), f("translation", 2));
        if (node.contains("rotation"))
            m.rotate(QQuaternion(f("rotation", 3), f("rotation", 0), f("rotation", 1), f("rotation", 2)));
        if (node.contains("scale")) m.scale(f("scale", 0), f("scale", 1), f("scale", 2));
        return m;
    }

    // World-space triangle corners of each named mesh node at frame (0 = the base, k = base
    // plus morph target k - 1), in primitive and index order; step gets the node's
    // largest world distance of one position unit of its accessor's last bit.
    std::map<QString, std::vector<QVector3D>> corners(int frame, std::map<QString, float>* step = nullptr) const
    {
        std::map<QString, std::vector<QVector3D>> out;
        const QJsonArray nodes = json["nodes"].toArray();
        std::function<void(int, const QMatrix4x4&)> walk = [&](int ni, const QMatrix4x4& parent) {
            const QJsonObject node = nodes[ni].toObject();
            const QMatrix4x4 world = parent * local(node);
            if (node.contains("mesh")) {
                const QJsonObject mesh = json["meshes"].toArray()[node["mesh"].toInt()].toObject();
                auto& list = out[node["name"].toString()];
                for (const QJsonValue& pv : mesh["primitives"].toArray()) {
                    const QJsonObject prim = pv.toObject();
                    const int pa = prim["attributes"].toObject()["POSITION"].toInt();
                    std::vector<float> pos = floats(pa);
                    const QJsonArray targets = prim["targets"].toArray();
                    // A mesh without targets stands still: every frame is its base.
                    if (frame > 0 && !targets.isEmpty()) {
                        EXPECT_GE(targets.size(), frame) << qPrintable(node["name"].toString());
                        if (targets.size() >= frame) {
                            const std::vector<float> d = floats(targets[frame - 1].toObject()["POSITION"].toInt());
                            for (size_t i = 0; i < pos.size(); ++i) pos[i] += d[i];
                        }
                    }
                    const std::vector<float> idx = floats(prim["indices"].toInt());
                    for (float fi : idx) {
                        const size_t i = size_t(fi) * 3;
                        list.push_back(world.map(QVector3D(pos[i], pos[i + 1], pos[i + 2])));
                    }
                    if (step) {
                        const QJsonObject acc = json["accessors"].toArray()[pa].toObject();
                        const float unit = acc["componentType"].toInt() == 5122 ? 1.f / 32767.f : 1e-6f;
                        (*step)[node["name"].toString()] = world.mapVector(QVector3D(unit, 0, 0)).length();
                    }
                }
            }
            for (const QJsonValue& c : node["children"].toArray()) walk(c.toInt(), world);
        };
        for (const QJsonValue& r : json["scenes"].toArray()[json["scene"].toInt()].toObject()["nodes"].toArray())
            walk(r.toInt(), QMatrix4x4());
        return out;
    }
};
