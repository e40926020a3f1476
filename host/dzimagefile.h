#pragma once
// Image files read so that no decoder writes to stderr on its own: libpng's default error
// handler, which Qt's reader leaves in place, prints "libpng error: ..." naming no file. A
// damaged PNG comes back here as a null image and the reason, for a message that names it.
#include <QImage>
#include <QSize>
#include <QString>
#include "dzexport.h"

// Whether the file starts with the PNG signature.
DZHOST_EXPORT bool dzIsPngFile(const QString& path);
// The size a PNG file's header states, read without decoding the pixels; invalid, with why
// set, when the header does not read.
DZHOST_EXPORT QSize dzPngSize(const QString& path, QString* why);
// The PNG file decoded whole, RGB32 when it is opaque and ARGB32 otherwise (the formats Qt's
// reader gives); null, with why set, when it does not decode.
DZHOST_EXPORT QImage dzReadPng(const QString& path, QString* why);
// Any image file: PNG as above, other formats through Qt's reader.
DZHOST_EXPORT QImage dzReadImageFile(const QString& path, QString* why);
