#pragma once
// Height-map sources without widgets: images turned into byte grids, and the raw float
// height files (".dat") read and written.
#include <QString>
#include <vector>

class QImage;

// Byte of each pixel = (R + G + B) / 3, row by row from the top; alpha ignored. bMem holds
// width x height bytes. Nothing happens for a null buffer or a null image.
void imageToHeightBytes(unsigned char* bMem, const QImage& image);

// The side length of a square float map held in a file of fileSize bytes.
int heightFileMapSize(long long fileSize);

// User maps beyond this are refused before anything is allocated: the largest terrain
// (10001 x 10001 vertices) saves 400 080 004 bytes, so its own file still loads.
constexpr long long kMaxHeightFileBytes = 512LL * 1024 * 1024;

struct HeightFileRead
{
    enum Status { Ok, OpenFailed, Empty, TooLarge, ReadFailed };
    Status status = OpenFailed;
    long long fileSize = 0;
    int mapSize = 0;
    std::vector<float> values;  // the file's bytes, padded with zeros to whole floats
    QString error;              // the file's error text
};
HeightFileRead readHeightFile(const QString& path, long long limit = kMaxHeightFileBytes);

// Writes count floats, little-endian, no header. False with the file's error text.
bool writeHeightFile(const QString& path, const float* values, long long count, QString* error);
