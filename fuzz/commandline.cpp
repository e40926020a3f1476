// The host application's command line: every argument list parses to a checked command
// line or to one line of error, and a parsed one keeps what the arguments said.
// Input: the arguments, one per line.
#include <QStringList>

#include "commandline.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    QStringList args = text.split(QLatin1Char('\n'));
    if (!args.isEmpty() && args.last().isEmpty()) args.removeLast();
    CommandLine cl;
    QString error;
    if (!parseCommandLine(args, &cl, &error)) {
        FUZZ_CHECK(!error.isEmpty() && !error.contains(QLatin1Char('\n')), "a refusal is not one line");
        return 0;
    }
    FUZZ_CHECK(error.isEmpty(), "an accepted command line has an error");
    FUZZ_CHECK(!cl.hasTicks || cl.ticks >= 0, "negative tick count accepted");
    FUZZ_CHECK(cl.screenshotSize.width() > 0 && cl.screenshotSize.height() > 0, "empty screenshot size accepted");
    (void)usageText();
    return 0;
}
