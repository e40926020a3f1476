#pragma once
// Height-map sources without widgets: images turned into byte grids, and the raw float
// height files (".dat") read and written.
#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

// Byte of each pixel = (R + G + B) / 3, row by row from the top; alpha ignored. bMem holds
// width x height bytes. Nothing happens for a null buffer or a null image.
void imageToHeightBytes(unsigned char* bMem, const QImage& image);

// The most vertices a terrain has along one side (100 tiles of 100 divisions, plus one); a
// map image wider or taller than this gives a terrain nothing more.
constexpr int kMaxTerrainSide = 100 * 100 + 1;

// A map image read for a height map. The size is read from the file's header first, so an
// image past kMaxTerrainSide on a side is refused before its pixels are decoded.
struct MapImageRead
{
    QImage image;   // null when refused or not readable
    QString error;  // names the file and the reason when image is null
};
MapImageRead readMapImage(const QString& path, int maxSide = kMaxTerrainSide);

// The side length of a square float map held in a file of fileSize bytes.
int heightFileMapSize(long long fileSize);

// User maps beyond this are refused before anything is allocated: the largest terrain
// (10001 x 10001 vertices) saves 400 080 004 bytes, so its own file still loads.
constexpr long long kMaxHeightFileBytes = 512LL * 1024 * 1024;

struct HeightFileRead
{
    // Empty: fewer bytes than one float. NotFinite: a value is NaN or infinite.
    enum Status {
        Ok,
        OpenFailed,
        Empty,
        TooLarge,
        ReadFailed,
        NotFinite
    };
    Status status = OpenFailed;
    long long fileSize = 0;
    int mapSize = 0;
    std::vector<float> values;  // the file's bytes, padded with zeros to whole floats
    QString error;              // names the file and the reason
};
HeightFileRead readHeightFile(const QString& path, long long limit = kMaxHeightFileBytes);

// Writes count floats, little-endian, no header. False with the file's error text.
bool writeHeightFile(const QString& path, const float* values, long long count, QString* error);

// True for images with more than 8 bits per channel (16-bit PNG, TIFF), whose heights
// imageToHeightWords keeps at full precision.
bool imageHasWideChannels(const QImage& image);
// Word of each pixel = (R + G + B) / 3 at 16 bits, laid out as imageToHeightBytes lays bytes.
void imageToHeightWords(uint16_t* wMem, const QImage& image);

// A terrain's heights (side x side floats, row 0 at +Z) out for other tools, by the file's
// extension: ".png" 16-bit greyscale stretched over the full range, with the height of
// value 0 and of value 65535 in its text chunks "HeightOffset" and "HeightScale"
// (height = offset + scale * value / 65535); ".r16"/".raw" the same values little-endian
// without header, the numbers in a side file FILE.txt; ".dat" the floats themselves.
bool isHeightExportFormat(const QString& path);
bool writeHeightExport(const QString& path, const float* heights, int side, QString* error);

// Heights of a 16-bit PNG written by writeHeightExport, back in height units.
bool readHeightPng(const QString& path, std::vector<float>* heights, int* width, int* height, QString* error);
