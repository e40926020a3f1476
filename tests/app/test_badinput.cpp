// Batch runs given bad input: every message a window would show reaches stderr, naming the
// file and the reason, and the run exits with the code of its failure.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <gtest/gtest.h>
#include "commandline.h"
#include "hostrun.h"

namespace {

void copyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + file.mid(from.size());
        QDir().mkpath(QFileInfo(target).path());
        QFile::copy(file, target);
    }
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

quint32 crc32(const QByteArray& data)
{
    quint32 c = 0xFFFFFFFFu;
    for (char ch : data) {
        c ^= quint8(ch);
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

QByteArray be32(quint32 v)
{
    char b[4];
    qToBigEndian(v, b);
    return QByteArray(b, 4);
}

QByteArray chunk(const QByteArray& typeAndData)
{
    return be32(quint32(typeAndData.size() - 4)) + typeAndData + be32(crc32(typeAndData));
}

// A PNG whose header claims width x height (8-bit RGB) and that holds no pixels at all, an
// empty IDAT after it: only a reader that decodes before it looks at the size would ask for the memory.
QByteArray pngHeaderOnly(quint32 width, quint32 height)
{
    return QByteArray("\x89PNG\r\n\x1a\n", 8) +
           chunk("IHDR" + be32(width) + be32(height) + QByteArray("\x08\x02\x00\x00\x00", 5)) + chunk("IDAT");
}

class BadInput : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString lib;

    void SetUp() override
    {
        lib = dir.path() + "/library";
        copyTree(VERDIX_LIBRARY_DIR, lib);
        QDir().mkpath(lib + "/Verdix_Landscape_User");
        ASSERT_TRUE(QFileInfo(lib + "/Verdix_Landscape_Hill/Hill_A.png").isFile());
    }
    // A set of one landscape whose combos name hill and user; the record ends after them.
    QString landscapeSet(const QString& hill, const QString& user)
    {
        const QString path = dir.path() + "/set.txt";
        writeFile(path, QString("VerdixV1.0,6,2018\nLandscapeV1.0,Ground_A.png,River_A.png,%1,Flat,Path,%2,;\n"
                                "OnLandScapeList,0,;\n;")
                            .arg(hill, user)
                            .toLatin1());
        return path;
    }
    HostRun open(const QString& set) { return runHost({"--headless", "--assets", lib, "--open-set", set, "--status"}); }
};

}  // namespace

// What each faulty height file is told is checked in the pane; here, that a batch run fails
// on one, naming the file and the reason on stderr, and that a record's file the library lacks
// fails it too.
TEST_F(BadInput, HeightFilesThatHoldNoUsableMapFailTheRunNamingFileAndReason)
{
    const QString user = lib + "/Verdix_Landscape_User/";
    std::vector<float> heights(16, 1.f);
    heights[5] = std::nanf("");
    writeFile(user + "nan.dat", QByteArray(reinterpret_cast<const char*>(heights.data()), 64));
    heights[5] = 1.f;
    heights[9] = -INFINITY;
    writeFile(user + "inf.dat", QByteArray(reinterpret_cast<const char*>(heights.data()), 64));
    const struct
    {
        QString file, says;
    } cases[] = {
        {"nan.dat", "holds nan at index 5: heights must be finite numbers"},
        {"inf.dat", "holds -inf at index 9"},
        // Listed in the record, yet not in the library.
        {"gone.dat", "\"gone.dat\" is not among the files of the box's list"},
    };
    for (const auto& c : cases) {
        const HostRun r = open(landscapeSet("Hill_A.png", c.file));
        EXPECT_EQ(r.code, kExitInputFailed) << qPrintable(c.file) << qPrintable(r.err);
        EXPECT_TRUE(r.err.contains(c.file) && r.err.contains(c.says)) << qPrintable(r.err);
        EXPECT_FALSE(r.err.contains("Unknown error")) << qPrintable(r.err);
    }
    // The same set with a sound file succeeds, so what failed above was the file.
    heights[9] = 2.f;
    writeFile(user + "good.dat", QByteArray(reinterpret_cast<const char*>(heights.data()), 64));
    const HostRun ok = open(landscapeSet("Hill_A.png", "good.dat"));
    EXPECT_EQ(ok.code, kExitOk) << qPrintable(ok.err);
    EXPECT_EQ(ok.err, "");
}

TEST_F(BadInput, MapImagesThatAreTooLargeAreRefusedBeforeDecoding)
{
    const QString hill = lib + "/Verdix_Landscape_Hill/";
    writeFile(hill + "Huge.png", pngHeaderOnly(40000, 40000));
    writeFile(hill + "Wide.png", pngHeaderOnly(10002, 8));

    HostRun r = open(landscapeSet("Huge.png", "User"));
    EXPECT_EQ(r.code, kExitInputFailed);
    EXPECT_TRUE(r.err.contains(hill + "Huge.png is 40000 x 40000 pixels, larger than the 10001 x 10001"))
        << qPrintable(r.err);
    r = open(landscapeSet("Wide.png", "User"));
    EXPECT_TRUE(r.err.contains("is 10002 x 8 pixels")) << qPrintable(r.err);

    // Damaged pixels behind a sound header: named with the reason, and no line of the
    // decoder's own beside it.
    QFile sound(hill + "Hill_A.png");
    ASSERT_TRUE(sound.open(QIODevice::ReadOnly));
    QByteArray damaged = sound.readAll();
    const int data = damaged.indexOf("IDAT") + 4;
    ASSERT_GT(damaged.size(), data + 600);
    for (int k = data + 200; k < data + 600; ++k) damaged[k] = char(damaged[k] ^ 0x5a);
    writeFile(hill + "Damaged.png", damaged);
    r = open(landscapeSet("Damaged.png", "User"));
    EXPECT_EQ(r.code, kExitInputFailed);
    for (const QString& line : r.err.split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(line.startsWith("verdix-host: ")) << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains("Cannot read the map image " + hill + "Damaged.png: its PNG data is damaged ("))
        << qPrintable(r.err);
}

TEST_F(BadInput, SetDocumentsThatDoNotParseFailTheRunAndSayWhichLine)
{
    const QString set = dir.path() + "/garbage.txt";
    writeFile(set, "VerdixV1.0,6,2018\n\x13\x88\xfe\xff\x01\x02\nGrassV1.0,3,;\n;");
    HostRun r = open(set);
    EXPECT_EQ(r.code, kExitInputFailed);
    EXPECT_TRUE(r.err.contains("garbage.txt has no box records: line 2")) << qPrintable(r.err);
    EXPECT_FALSE(r.out.contains("Scene load finished..")) << qPrintable(r.out);

    writeFile(set, "VerdixV1.0,6,2018\nGrassV1.0,3,;\nTreeV1,1,;\n;");
    r = open(set);
    EXPECT_EQ(r.code, kExitInputFailed);
    EXPECT_TRUE(r.err.contains("garbage.txt: 1 of 3 lines skipped")) << qPrintable(r.err);
}

TEST_F(BadInput, AnEmptyAssetLibraryFailsTheRunNamingWhatIsMissing)
{
    QDir().mkpath(dir.path() + "/empty");
    const HostRun r =
        runHost({"--headless", "--assets", dir.path() + "/empty", "--open-set", lib + "/Verdix_Scene/Meadow.txt"});
    EXPECT_NE(r.code, kExitOk);
    EXPECT_TRUE(r.err.contains("Ground_A.png is missing, from folder " + dir.path() + "/empty")) << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains("--assets")) << qPrintable(r.err);
}

TEST(Executable, HelpListsEveryOptionTheExitCodesAndTheVersion)
{
    const HostRun help = runHost({"--help"});
    EXPECT_EQ(help.code, kExitOk);
    for (const char* opt : {"--headless", "--assets", "--load-scene", "--open-set", "--script", "--midi-replay",
                            "--time", "--ticks", "--save-scene", "--export", "--screenshot ", "--screenshot-size",
                            "--render ", "--samples", "--render-size", "--status", "--version"})
        EXPECT_TRUE(help.out.contains(QString("\n  ") + opt)) << opt;
    for (int code : {kExitOk, kExitPluginFailed, kExitUsage, kExitInputFailed, kExitRunFailed, kExitWriteFailed})
        EXPECT_TRUE(help.out.contains(QString("\n  %1  ").arg(code))) << code;
    const HostRun version = runHost({"--version"});
    EXPECT_EQ(version.code, kExitOk);
    EXPECT_TRUE(version.out.startsWith("verdix-host ")) << qPrintable(version.out);
    // Parse failures exit with the table's codes, not one code for all.
    EXPECT_EQ(runHost({"--headless", "--load-scene", "/no/such.duf"}).code, kExitInputFailed);
    EXPECT_EQ(runHost({"--headless", "--ticks", "-1"}).code, kExitUsage);
    EXPECT_EQ(runHost({"--headless", "--save-scene", "/no/such/folder/x.duf"}).code, kExitWriteFailed);
}
