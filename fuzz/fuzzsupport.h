#pragma once
// Shared by the fuzz targets: an application object for what Qt needs one for, and a file
// holding the input for readers that take a path.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// Aborts with the message: libFuzzer and the replay test both count that as a finding.
#define FUZZ_CHECK(cond, msg)                                                                 \
    do {                                                                                      \
        if (!(cond)) {                                                                        \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", msg, __FILE__, __LINE__); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)

// One file per process, rewritten for every input.
inline QString fuzzInputFile(const char* suffix, const uint8_t* data, size_t size)
{
    static const QString path =
        QDir::tempPath() + QString("/verdix-fuzz-%1%2").arg(qint64(::getpid())).arg(QLatin1String(suffix));
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the input file");
    FUZZ_CHECK(f.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size), "short write");
    f.close();
    return path;
}

inline QString fuzzTempFile(const char* suffix)
{
    return QDir::tempPath() + QString("/verdix-fuzz-%1%2").arg(qint64(::getpid())).arg(QLatin1String(suffix));
}
