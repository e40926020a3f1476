#pragma once
// Erosion from the command line and the window: the options, their ranges and the call
// into the pane's erodeLandscape with the option map it reads.
#include <QString>
#include <QVariantMap>

class QObject;

struct ErodeRequest
{
    int box = -1;         // --erode BOX; -1: not asked
    QVariantMap options;  // the pane's keys (iterations, rain, ...), only those given
    QStringList given;    // the --erode-... options given, for the check that --erode came too
};

// One option of the table: its name, the pane's key, its range and whether it is whole.
struct ErodeOption
{
    const char* option;
    const char* key;
    double lo, hi, fallback;
    bool whole;
    const char* help;
};
// Every --erode-... option, in --help order.
const ErodeOption* erodeOptions(int* count);

// The --help lines of the erosion options.
QString erodeUsageText();

// Whether opt is one of the erosion options (--erode or --erode-...).
bool isErodeOption(const QString& opt);
// Takes opt's value into request; false with error naming the option and its range.
bool parseErodeOption(const QString& opt, const QString& value, ErodeRequest* request, QString* error);
// After the whole command line: the --erode-... options need --erode BOX.
bool checkErodeRequest(const ErodeRequest& request, QString* error);

// Runs the erosion on pane; false with error set (the pane's status line).
bool runErode(const ErodeRequest& request, QObject* pane, QString* error);
