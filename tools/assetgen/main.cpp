#include "assetgen.h"

#include <QDir>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

const char* const kUsage = "usage: verdix-assetgen --images DIR --library DIR --config FILE\n";

int fail(const QString& line)
{
    std::fprintf(stderr, "verdix-assetgen: %s\n", qPrintable(line));
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    // Only raster painting into QImage, no text: no platform plugin or display is needed,
    // which keeps the tool quiet and runnable on bare build machines.
    QCoreApplication app(argc, argv);

    QString images, library, config;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString& opt = args.at(i);
        if (opt == "--help" || opt == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        QString* target = nullptr;
        if (opt == "--images") target = &images;
        else if (opt == "--library") target = &library;
        else if (opt == "--config") target = &config;
        else return fail(QString("unknown option %1 (%2)").arg(opt, QString(kUsage).trimmed()));
        if (i + 1 >= args.size() || args.at(i + 1).isEmpty()) return fail(QString("option %1 needs a value").arg(opt));
        if (!target->isEmpty()) return fail(QString("option %1 given twice").arg(opt));
        *target = args.at(++i);
    }
    if (images.isEmpty() || library.isEmpty() || config.isEmpty())
        return fail(QString("missing option (%1)").arg(QString(kUsage).trimmed()));

    library = QDir::cleanPath(QDir(library).absolutePath());

    QString error;
    if (!assetgen::writeIcons(images, &error) || !assetgen::writeLibrary(library, &error) ||
        !assetgen::writeConfig(config, library, &error))
        return fail(error);
    return 0;
}
