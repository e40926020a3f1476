#pragma once
// The one gate every file the pane reads passes first: presets, set documents, textures and
// their companion maps, tree shapes and sprite sheets. It looks at what the file is and how
// large it says it is before a byte is read or a pixel decoded, so that a pipe cannot block
// the pane, a huge file cannot exhaust memory, and a refusal names the file, its size and
// the limit.
#include <QImage>
#include <QSize>
#include <QString>

namespace verdix {

// Text files of the pane (a preset, a set document): far above the largest document of a
// full pane (129 boxes of a few kB each).
constexpr qint64 kMaxTextFileBytes = qint64(16) << 20;
// Image files: a compressed image of the largest side below is far smaller.
constexpr qint64 kMaxImageFileBytes = qint64(256) << 20;
// Pixels on either side of an image the pane decodes (a texture, a tree shape, a sheet).
constexpr int kMaxImageSide = 8192;

// True when path is a regular file (no folder, pipe or device) of at most maxBytes; why
// otherwise, naming it as what ("the preset", "the texture", ...).
bool checkFileToRead(const QString& path, const QString& what, qint64 maxBytes, QString* why);

// The same for an image, and the size its header states, within maxSide both ways, read
// without decoding it. size receives that size when given.
bool checkImageToRead(const QString& path, const QString& what, QString* why, int maxSide = kMaxImageSide,
                      QSize* size = nullptr);

// The image decoded after that check; a null image with why set when it is refused or does
// not decode whole (a corrupt or truncated file).
QImage readCheckedImage(const QString& path, const QString& what, QString* why, int maxSide = kMaxImageSide);

}  // namespace verdix
