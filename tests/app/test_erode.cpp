// The erosion options of the command line: taken whole, refused with their range, and the
// same ranges as the erosion itself checks.
#include <gtest/gtest.h>
#include "commandline.h"
#include "terrain/erosioncore.h"

TEST(ErodeOptions, TakenIntoTheRequestOrRefusedNamingOptionAndRange)
{
    CommandLine cl;
    QString error;
    ASSERT_TRUE(parseCommandLine({"--erode", "2", "--erode-iterations", "5000", "--erode-rain=2.5", "--erode-thermal",
                                  "35", "--erode-seed", "9"},
                                 &cl, &error))
        << qPrintable(error);
    EXPECT_EQ(cl.erode.box, 2);
    EXPECT_EQ(cl.erode.options.value("iterations").toLongLong(), 5000);
    EXPECT_DOUBLE_EQ(cl.erode.options.value("rain").toDouble(), 2.5);
    EXPECT_DOUBLE_EQ(cl.erode.options.value("thermal").toDouble(), 35.0);
    EXPECT_EQ(cl.erode.options.value("seed").toLongLong(), 9);
    EXPECT_FALSE(cl.erode.options.contains("capacity"));

    const struct
    {
        QStringList args;
        QString expect;
    } cases[] = {
        {{"--erode", "0", "--erode-rain", "0"}, "--erode-rain: 0 is not a number from 0.1 to 10"},
        {{"--erode", "0", "--erode-thermal", "90"}, "--erode-thermal: 90 is not a number from 0 to 89"},
        {{"--erode", "0", "--erode-iterations", "1.5"},
         "--erode-iterations: 1.5 is not a whole number from 0 to 10000000"},
        {{"--erode", "0", "--erode-evaporation", "nan"}, "--erode-evaporation: nan is not a number from 0 to 0.5"},
        {{"--erode", "-1"}, "--erode: not a landscape box index (0 to 9999): -1"},
        {{"--erode-capacity", "8"}, "--erode-capacity goes with --erode BOX"},
        {{"--erode", "0", "--erode-seed", "1", "--erode-seed", "2"}, "--erode-seed given more than once"},
        {{"--erode", "0", "--erode-wind", "2"}, "unknown option: --erode-wind"},
    };
    for (const auto& c : cases) {
        CommandLine bad;
        int code = kExitOk;
        EXPECT_FALSE(parseCommandLine(c.args, &bad, &error, &code)) << qPrintable(c.args.join(' '));
        EXPECT_TRUE(error.startsWith(c.expect)) << qPrintable(error);
        EXPECT_EQ(code, kExitUsage) << qPrintable(c.args.join(' '));
    }
    EXPECT_TRUE(usageText().contains("--erode-thermal X"));
}

TEST(ErodeOptions, RangesAreTheErosionsOwn)
{
    const ErosionRange core[] = {kErodeIterationsRange, kErodeRainRange,          kErodeCapacityRange,
                                 kErodeStrengthRange,   kErodeDepositionRange,    kErodeEvaporationRange,
                                 kErodeThermalRange,    kErodeThermalPassesRange, kErodeSeedRange};
    int n = 0;
    const ErodeOption* opts = erodeOptions(&n);
    ASSERT_EQ(n, int(sizeof(core) / sizeof(core[0])));
    for (int k = 0; k < n; ++k) {
        EXPECT_STREQ(opts[k].option, core[k].name);
        EXPECT_EQ(opts[k].lo, core[k].lo) << core[k].name;
        EXPECT_EQ(opts[k].hi, core[k].hi) << core[k].name;
    }
}
