// Every file the pane opens is looked at before it is read (what it is, how large it is, and
// for an image the size its header states), and what is refused is said where a batch run
// sees it.
#include "boxfixture.h"
#include <QBuffer>
#include <QtEndian>
#include <dzmaterial.h>
#include <dzshape.h>
#include <sys/stat.h>
#include "hostrun.h"
#include "materials/materialcore.h"
#include "plugin/readcheck.h"

namespace {

quint32 crc32(const QByteArray& data)
{
    quint32 c = 0xffffffffu;
    for (char ch : data) {
        c ^= quint8(ch);
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1u)));
    }
    return ~c;
}

// A noisy w x h PNG (noise does not compress, so cutting the file cuts pixels).
QByteArray png(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    quint32 s = 7;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, (s = s * 1664525u + 1013904223u) >> 8);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes;
}

// The same file stating another size in its header, its checksum mended.
QByteArray statingSize(QByteArray bytes, quint32 w, quint32 h)
{
    qToBigEndian(w, bytes.data() + 16);
    qToBigEndian(h, bytes.data() + 20);
    qToBigEndian(crc32(bytes.mid(12, 17)), bytes.data() + 29);
    return bytes;
}

class ReadCheck : public BoxTest
{
protected:
    QString path(const QString& rel) { return root.path() + "/" + rel; }
    int errors() { return dzApp->dialogs()->errorCount(); }
    QString lastMessage() { return messages().isEmpty() ? QString() : messages().last(); }
};

}  // namespace

TEST_F(ReadCheck, FilesAreLookedAtBeforeTheyAreRead)
{
    using namespace verdix;
    QString why;
    EXPECT_FALSE(checkFileToRead(path("gone.txt"), "the preset", kMaxTextFileBytes, &why));
    EXPECT_EQ(why, "Cannot read the preset " + path("gone.txt") + ": no such file");
    EXPECT_FALSE(checkFileToRead(root.path(), "the preset", kMaxTextFileBytes, &why));
    EXPECT_TRUE(why.endsWith("it is a folder")) << qPrintable(why);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.txt")).constData(), 0600), 0);
    EXPECT_FALSE(checkFileToRead(path("pipe.txt"), "the preset", kMaxTextFileBytes, &why));
    EXPECT_TRUE(why.contains("not a regular file")) << qPrintable(why);
    // Sizes are those the file system states: nothing of the file is read.
    file("big.txt");
    ASSERT_TRUE(QFile::resize(path("big.txt"), kMaxTextFileBytes + 1));
    EXPECT_FALSE(checkFileToRead(path("big.txt"), "the preset", kMaxTextFileBytes, &why));
    EXPECT_EQ(why, QString("Cannot read the preset %1: it holds 16777217 bytes, more than the 16777216 bytes allowed")
                       .arg(path("big.txt")));

    // Images: the header's size decides before a pixel is decoded.
    const QByteArray small = png(64, 64);
    file("small.png", small);
    file("huge.png", statingSize(small, 16000, 16000));
    file("cut.png", small.left(small.size() / 2));
    file("garbage.png", QByteArray(300, 'g'));
    // A sound PNG reads as Qt's own reader gives it: the same pixels, alpha only where the file has it.
    const QImage read = readCheckedImage(path("small.png"), "the texture", &why);
    EXPECT_EQ(read.convertToFormat(QImage::Format_RGB32),
              QImage(path("small.png")).convertToFormat(QImage::Format_RGB32));
    EXPECT_FALSE(read.hasAlphaChannel());
    QImage seeThrough(3, 2, QImage::Format_ARGB32);
    for (int i = 0; i < 6; ++i) seeThrough.setPixel(i % 3, i / 3, qRgba(40 * i, 255 - 30 * i, 7 * i, 50 * i));
    ASSERT_TRUE(seeThrough.save(path("alpha.png")));
    const QImage alpha = readCheckedImage(path("alpha.png"), "the texture", &why);
    EXPECT_TRUE(alpha.hasAlphaChannel());
    EXPECT_EQ(alpha.convertToFormat(QImage::Format_ARGB32), seeThrough);
    EXPECT_FALSE(checkImageToRead(path("huge.png"), "the texture", &why));
    EXPECT_EQ(why, QString("Cannot read the texture %1: it is 16000 x 16000 pixels, more than the 8192 x 8192 allowed")
                       .arg(path("huge.png")));
    // A chunk claiming more than the file holds is refused before the decoder allocates it.
    QByteArray claims = small;
    qToBigEndian(quint32(1500000000), claims.data() + 33);
    file("claims.png", claims);
    for (const char* broken : {"cut.png", "garbage.png", "claims.png"}) {
        why.clear();
        EXPECT_TRUE(readCheckedImage(path(broken), "the texture", &why).isNull()) << broken;
        EXPECT_TRUE(why.startsWith("Cannot read the texture " + path(broken) + ": ")) << qPrintable(why);
    }

    // A sprite sheet's grid tag past the sliders' reach is no grid at all.
    EXPECT_FALSE(readGridTags("Bugs_99999X99999.png").fault.isEmpty());
    EXPECT_FALSE(readGridTags("Bugs_8X0.png").fault.isEmpty());
    EXPECT_TRUE(readGridTags("Bugs_40X_X10.png").fault.isEmpty());
}

// Presets and set documents the pane opens itself: a pipe does not block it, a huge file does
// not exhaust it, and a file that is no preset changes nothing and is reported as an error.
TEST_F(ReadCheck, BrokenPresetsAndSetDocumentsAreReportedAndChangeNothing)
{
    showPane();
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.txt")).constData(), 0600), 0);
    addBox(TypeGrass);
    int before = errors();
    EXPECT_FALSE(pane->openSetDocument(path("pipe.txt")));
    EXPECT_TRUE(a->status()->text().contains("not a regular file")) << qPrintable(a->status()->text());
    EXPECT_EQ(errors(), before + 1);  // a script's opening fails its run, as the command line's does
    EXPECT_TRUE(lastMessage().contains(path("pipe.txt"))) << qPrintable(lastMessage());
    before = errors();
    dzApp->dialogs()->queueFileName(path("pipe.txt"));
    a->openScene();
    EXPECT_EQ(errors(), before + 1);
    EXPECT_EQ(a->boxes().count(), 1);

    const int t = addBox(TypeTree);
    slider(t, "Trunk Sides")->setValue(9);
    const QString folder = "Verdix_Presets_Tree/";
    file(folder + "huge.txt");
    ASSERT_TRUE(QFile::resize(path(folder + "huge.txt"), qint64(1) << 30));
    const struct
    {
        const char* name;
        QByteArray bytes;  // empty: the file made above
        const char* says;
    } presets[] = {
        {"huge.txt", {}, "it holds 1073741824 bytes, more than the 16777216 bytes allowed"},
        {"empty.txt", "\n", "is empty"},
        {"header.txt", "TreeV1,", "holds only its header"},
        {"garbage.txt", "\x01\x02 garbage", "does not start with \"TreeV1\""},
        {"flower.txt", "FlowerV1,1,2,3,;", "does not start with \"TreeV1\""},
        {"words.txt", "TreeV1,Gnarled.png,32,tall,;",
         "is broken: field 4 (slider \"Trunk LOD\") reads \"tall\", not a number"},
    };
    box(t).openFileButton->setFocus();
    QApplication::processEvents();
    for (const auto& p : presets) {
        if (!p.bytes.isEmpty()) file(folder + p.name, p.bytes);
        before = errors();
        dzApp->dialogs()->queueFileName(path(folder + p.name));
        QMetaObject::invokeMethod(pane, "Button_OpenTreeFile");
        EXPECT_EQ(errors(), before + 1) << p.name;
        EXPECT_TRUE(lastMessage().contains(p.name) && lastMessage().contains(p.says)) << qPrintable(lastMessage());
        EXPECT_EQ(slider(t, "Trunk Sides")->getValue(), 9) << p.name;
    }
}

// Textures a document names: a path out of the library and the document's folder is refused,
// and so is a file too large or broken, each by name; the property keeps what it had.
TEST_F(ReadCheck, TexturesOfADocumentAreConfinedAndCheckedBeforeTheyAreRead)
{
    QTemporaryDir elsewhere, docs;
    const QByteArray small = png(16, 16);
    const auto put = [](const QString& p, const QByteArray& b) {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(b) == b.size());
    };
    put(elsewhere.filePath("secret.png"), small);
    put(docs.filePath("beside.png"), small);
    file("Verdix_Texture_Grass/cut.png", small.left(small.size() / 2));
    file("Verdix_Texture_Grass/huge.png", statingSize(small, 16000, 16000));
    file("Verdix_Texture_Grass/fine.png", small);
    const struct
    {
        QString texture;
        const char* says;  // nullptr: taken
    } cases[] = {
        {elsewhere.filePath("secret.png"), "leads out of the library and the document's folder"},
        {root.path() + "/Verdix_Texture_Grass/../../" + QFileInfo(elsewhere.path()).fileName() + "/secret.png",
         "leads out of the library"},
        {path("Verdix_Texture_Grass/cut.png"), "Cannot read the texture"},
        {path("Verdix_Texture_Grass/huge.png"), "16000 x 16000 pixels"},
        {path("Verdix_Texture_Grass/fine.png"), nullptr},
        {docs.filePath("beside.png"), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.texture.toStdString());
        reset();
        const QString doc =
            "VerdixV1.0,6,2018\nGrassV1.0,5,;,Materials,+,Grass,Path,Diffuse Color," + c.texture + ",;\n;";
        put(docs.filePath("set.txt"), doc.toUtf8());
        const int before = errors();
        ASSERT_TRUE(pane->openSetDocument(docs.filePath("set.txt")));
        ASSERT_EQ(a->boxes().count(), 1);
        auto* mat = qobject_cast<DzDefaultMaterial*>(nodeOf(0)->getObject()->getShape(0)->findMaterial("Grass"));
        ASSERT_NE(mat, nullptr);
        if (c.says) {
            EXPECT_EQ(errors(), before + 1);
            EXPECT_TRUE(lastMessage().contains(c.says)) << qPrintable(lastMessage());
            EXPECT_EQ(mat->getColorMap(), nullptr);
        } else {
            EXPECT_EQ(errors(), before);
            ASSERT_NE(mat->getColorMap(), nullptr);
            EXPECT_EQ(QFileInfo(mat->getColorMap()->getFilename()).canonicalFilePath(),
                      QFileInfo(c.texture).canonicalFilePath());
        }
    }

    // Headless, such a document fails the run with the input code.
    put(docs.filePath("out.txt"), ("VerdixV1.0,6,2018\nGrassV1.0,5,;,Materials,+,Grass,Path,Diffuse Color," +
                                   elsewhere.filePath("secret.png") + ",;\n;")
                                      .toUtf8());
    const HostRun r = runHost({"--headless", "--assets", VERDIX_LIBRARY_DIR, "--open-set", docs.filePath("out.txt")});
    EXPECT_EQ(r.code, 3) << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains(elsewhere.filePath("secret.png"))) << qPrintable(r.err);

    // Damaged pixel data (a PNG's chunks whole): the decoder's own words go into the one
    // message that names the file; nothing of the decoder stands on stderr by itself.
    QByteArray damaged = png(64, 64);
    const int data = damaged.indexOf("IDAT") + 4;
    for (int k = data + 40; k < data + 200; ++k) damaged[k] = char(damaged[k] ^ 0x5a);
    put(docs.filePath("damaged.png"), damaged);
    put(docs.filePath("damaged.txt"), ("VerdixV1.0,6,2018\nGrassV1.0,5,;,Materials,+,Grass,Path,Diffuse Color," +
                                       docs.filePath("damaged.png") + ",;\n;")
                                          .toUtf8());
    const HostRun d =
        runHost({"--headless", "--assets", VERDIX_LIBRARY_DIR, "--open-set", docs.filePath("damaged.txt")});
    EXPECT_EQ(d.code, 3) << qPrintable(d.err);
    const QStringList lines = d.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << qPrintable(d.err);  // the texture's message, the run's summary
    EXPECT_TRUE(
        lines[0].contains("Cannot read the texture " + docs.filePath("damaged.png") + ": its PNG data is damaged ("))
        << qPrintable(d.err);
}
