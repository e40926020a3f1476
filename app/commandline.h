#pragma once
// verdix-host's command line: parsed and checked as a whole before anything runs, then run
// in its fixed order (whatever order the options were written in).
#include <QSize>
#include <QString>
#include <QStringList>
#include "erodecommand.h"
#include "rendercommand.h"

class DzPane;
class QTextStream;

struct CommandLine
{
    bool headless = false;
    bool help = false;
    bool version = false;
    QString assets;
    QString loadScene;
    QString openSet;
    QString script;
    QString midiReplay;
    bool hasTime = false;
    qint64 frame = 0;
    bool hasTicks = false;
    int ticks = 0;
    QString saveScene;
    // The wind animation out: morph targets in one .glb, or one still file per frame.
    QString exportAnimation;
    QString exportSequence;
    QString sequenceFormat = "obj";
    int frames = 0;
    double fps = 30.0;
    bool stepInterpolation = false;
    bool meshopt = false;
    // Landscape box index and file of --export-heightmap (empty file: not asked).
    int heightmapBox = -1;
    QString heightmapFile;
    // --erode BOX and its parameters (before --save-scene).
    ErodeRequest erode;
    QStringList exports;
    QStringList screenshots;
    QSize screenshotSize{1280, 720};
    // --render FILE.png and its samples and size (after the screenshots).
    RenderRequest render;
    bool status = false;
    // In the window: a picture of the whole window once the other options ran, then quit.
    QString windowShot;
    // The look and the camera of the viewport and the screenshots (viewcommands.cpp).
    bool hasSun = false;
    float sunAzimuth = 0.f, sunElevation = 0.f;
    QString shading;  // flat, fast or full; empty: as it is
    QString view;     // perspective, top, front or eye; empty: none asked
    bool hasCamera = false, hasLookAt = false;
    float camera[3] = {0.f, 0.f, 0.f}, lookAt[3] = {0.f, 0.f, 0.f};
    float fov = 0.f;  // 0: the view's own
};

// The view options: sets what opt names from the value (taking it from args at i when it is
// one of them) and returns 1, returns 0 when opt is not a view option, -1 with error set when
// the value is refused.
int parseViewOption(const QString& opt, const QString& value, CommandLine* cl, QString* error);
// After the options are read: the ones that only make sense together.
bool checkViewOptions(const CommandLine& cl, QString* error);
// Applies the look and places the host camera as the view options ask (after the scene is
// loaded or opened, before --time and --ticks): the camera that pictures are taken from and
// that billboards face.
void applyViewOptions(const CommandLine& cl, bool setOpened);

QString usageText();

// args without the program name. False with error set to one line on unknown options,
// missing or out-of-range values, missing input files and outputs that cannot be written;
// code (when given) then receives the exit code of the failure from the table below.
bool parseCommandLine(const QStringList& args, CommandLine* out, QString* error, int* code = nullptr);

// The largest --time frame and --ticks count: frames multiply the scene's time step, and
// every frame up to this bound stays exact for any step a scene file may hold.
constexpr qint64 kMaxFrame = 2147483647;
constexpr int kMaxTicks = 1000000;

// Runs every option after --assets in order against dzScene and pane (may be null).
// Returns 0, or the exit code with error set at the first failure; output of --status
// goes to out.
int runCommands(const CommandLine& cl, DzPane* pane, QTextStream& out, QString* error);

// The pane the application creates at start.
constexpr const char* kPaneClass = "ZPK_VerdixPane";
constexpr const char* kPaneActionClass = "ZPK_VerdixPaneAction";
constexpr const char* kStatusLabelName = "VerdixStatusLabel";

// Exit codes: one table for every run, printed by --help. A run that exits 0 did everything
// it was asked.
constexpr int kExitOk = 0;
constexpr int kExitPluginFailed = 1;  // the plug-in library did not load or made no pane
constexpr int kExitUsage = 2;         // unknown option, missing or out-of-range value
constexpr int kExitInputFailed = 3;   // a file to read is missing, unreadable or not valid
constexpr int kExitRunFailed = 4;     // the run reported an error (a message box, a failed step)
constexpr int kExitWriteFailed = 5;   // a file to write could not be written completely

QString versionText();

// The whole application: what main() runs.
int runHostApplication(int argc, char** argv);
