#pragma once
// The path-traced picture from the command line: --render FILE.png with its sample count and
// size, and the run that writes it.
#include <QSize>
#include <QString>

struct RenderRequest
{
    QString file;           // --render FILE.png; empty: not asked
    int samples = 64;       // --samples N
    QSize size{1280, 720};  // --render-size WxH
    bool hasSamples = false, hasSize = false;
};

constexpr int kDefaultRenderSamples = 64;

// The --help lines of the render options.
QString renderUsageText();
bool isRenderOption(const QString& opt);
// Takes opt's value into request; false with error set (a usage error). Whether the file
// may be written is the caller's check, as for every output.
bool parseRenderOption(const QString& opt, const QString& value, RenderRequest* request, QString* error);
// After the whole command line: --samples and --render-size go with --render.
bool checkRenderRequest(const RenderRequest& request, QString* error);

// Renders the scene from the screenshots' camera and writes the picture; on failure error is
// set and the exit code returned (the previous file is kept whatever happens).
int runRender(const RenderRequest& request, QString* error);
