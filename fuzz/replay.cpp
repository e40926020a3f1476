// Without libFuzzer: runs every file of the folders (or the files) given through the target,
// so that the seed corpus and every kept crash input are checked by the normal test suite.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (QFileInfo(arg).isDir()) {
            QDirIterator it(arg, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) files.append(it.next());
        } else {
            files.append(arg);
        }
    }
    files.sort();
    if (files.isEmpty()) {
        std::fprintf(stderr, "replay: no inputs\n");
        return 1;
    }
    for (const QString& file : files) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "replay: cannot read %s\n", qPrintable(file));
            return 1;
        }
        const QByteArray bytes = f.readAll();
        std::vector<uint8_t> copy(bytes.begin(), bytes.end());  // exact size, as libFuzzer passes it
        LLVMFuzzerTestOneInput(copy.data(), copy.size());
    }
    std::printf("replayed %d inputs\n", int(files.size()));
    return 0;
}
