#pragma once
// The vertices of every object of an exported OBJ file, by object name.
#include <QFile>
#include <QMap>
#include <QTextStream>
#include <dzmath.h>
#include <vector>

inline QMap<QString, std::vector<DzVec3>> readObj(const QString& file)
{
    QMap<QString, std::vector<DzVec3>> out;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return out;
    QTextStream in(&f);
    std::vector<DzVec3>* cur = nullptr;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.startsWith("o ")) {
            cur = &out[line.mid(2)];
        } else if (line.startsWith("v ") && cur) {
            const QStringList p = line.split(' ', Qt::SkipEmptyParts);
            if (p.size() == 4) cur->push_back(DzVec3(p[1].toFloat(), p[2].toFloat(), p[3].toFloat()));
        }
    }
    return out;
}
