// The host application's MIDI controller pane and the replay of a recorded session: control
// changes go through the pane's script into the Verdix pane, once the Verdix pane has asked.
#include "boxfixture.h"
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>
#include <thread>
#include <dzscript.h>
#include "commandline.h"
#include "hostrun.h"
#include "korgpane.h"
#include "midifile.h"
#include "midireplay.h"

namespace {

class KorgPaneTest : public BoxTest
{
protected:
    void TearDown() override
    {
        delete dzApp->getPaneMgr()->findPaneByClass("ZPK_KorgPane");
        BoxTest::TearDown();
    }
};

// The library's sample of two landscapes, the second made last.
class Replay : public KorgPaneTest
{
protected:
    QTemporaryDir dir;
    QString sample = QStringLiteral(VERDIX_SAMPLE_DIR "/Verdix_Scene/Landscape_Sample.txt");
    void SetUp() override
    {
        KorgPaneTest::SetUp();
        VerdixAssets::setTextureRoot(QStringLiteral(VERDIX_LIBRARY_DIR));
    }
    // Land up at 0 s, River to 100 on a second track at 1/8 beat, a note and a change on
    // the second channel between, Hill down at 1/4 beat, Land zeroed at 7/16 beat; 120
    // beats a minute, so a beat lasts half a second.
    QString sessionFile()
    {
        using namespace smf;
        const QByteArray first = track({{0, tempo(500000)}, {0, cc(0, 0, 127)}, {24, cc(0, 2, 0)}});
        const QByteArray second = track(
            {{12, cc(0, 1, 100)}, {4, noteOn(60, 90)}, {4, cc(1, 3, 100)}, {22, cc(0, 32, 127)}, {1, noteOff(60)}});
        const QString path = dir.path() + "/session.mid";
        EXPECT_TRUE(write(path, smf::file(1, 96, {first, second})));
        return path;
    }
};

}  // namespace

TEST_F(KorgPaneTest, ShowsWhetherTheMachineHasAMidiSystem)
{
    ZPK_KorgPane* korg = korgPane();
    ASSERT_NE(korg, nullptr);
    EXPECT_EQ(dzApp->getPaneMgr()->findPane("ZPK_KorgPane"), korg);
    korg->show();
    QApplication::processEvents();
    const bool midi = QFileInfo::exists("/dev/snd/seq");
    EXPECT_EQ(korg->hasMidiSystem(), midi);
    EXPECT_EQ(korg->findChild<QLabel*>("KorgState")->text() == "no MIDI system on this machine", !midi);
    if (!midi) EXPECT_FALSE(korg->findChild<QComboBox*>("KorgPorts")->isEnabled() || !korg->portNames().isEmpty());
    EXPECT_EQ(korg->lastMessageText(), "Last message: none");
}

TEST_F(KorgPaneTest, ForwardsControlChangesOnceTheVerdixPaneAsks)
{
    showPane();
    const int g = addBox(TypeGrass);
    QPushButton* button = nullptr;
    for (QPushButton* b : pane->findChildren<QPushButton*>())
        if (b->toolTip() == "Connect Korg nanoKONTROL2 with this plugin") button = b;
    ASSERT_NE(button, nullptr);
    // Without a controller pane the connect script finds nobody and says nothing.
    dzApp->statusLine("before");
    button->click();
    EXPECT_EQ(dzApp->getStatusLine(), "before");

    ZPK_KorgPane* korg = korgPane();
    const int before = slider(g, "Height RND")->getValue();
    EXPECT_TRUE(korg->receiveMessage(0xB0, 4, 127));
    EXPECT_EQ(slider(g, "Height RND")->getValue(), before);
    // Notes are no control changes: not even shown.
    korg->receiveMessage(0x90, 60, 100);
    EXPECT_EQ(korg->lastMessageText(), "Last message: control 4 = 127 (channel 1)");

    button->click();
    ASSERT_TRUE(korg->isSending());
    EXPECT_TRUE(korg->receiveMessage(0xB0, 4, 127));
    EXPECT_EQ(slider(g, "Height RND")->getValue(), 500);
    korg->receiveMessage(0xB3, 4, 1);
    EXPECT_EQ(korg->lastMessageText(), "Last message: control 4 = 1 (channel 4)");
    EXPECT_EQ(slider(g, "Height RND")->getValue(), 500);
    EXPECT_EQ(korg->forwardedCount(), 2);

    // A sweep from the port's thread while the GUI thread is busy: the newest value of each
    // control goes on, once.
    std::thread([korg] {
        for (int v = 0; v < 100; ++v) korg->receiveFromPort(0xB0, 4, v);
        korg->receiveFromPort(0xB0, 1, 127);
    }).join();
    QApplication::processEvents();
    EXPECT_EQ(korg->forwardedCount(), 4);
    EXPECT_EQ(slider(g, "Height RND")->getValue(), 1 + 499 * 99 / 127);
    EXPECT_EQ(slider(g, "Area size Z")->getValue(), 4000);
}

TEST(MidiFileReading, ControlChangesOfEveryTrackInTimeOrder)
{
    using namespace smf;
    QTemporaryDir dir;
    const QString path = dir.path() + "/t.mid";
    QVector<TimedControlChange> c;
    QString error;
    // No tempo event: a beat is half a second.
    ASSERT_TRUE(write(path, file(1, 96,
                                 {track({{0, cc(0, 7, 64)}, {96, cc(0, 16, 127)}, {0, noteOn(60, 1)}}),
                                  track({{48, cc(2, 0, 0)}, {144, cc(0, 55, 1)}})})));
    ASSERT_TRUE(readControlChanges(path, &c, &error)) << qPrintable(error);
    const TimedControlChange want[] = {
        {0.0, 0xB0, 7, 64}, {0.25, 0xB2, 0, 0}, {0.5, 0xB0, 16, 127}, {1.0, 0xB0, 55, 1}};
    ASSERT_EQ(c.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(c[i].seconds, want[i].seconds, 1e-9) << i;
        EXPECT_EQ(QList<int>({c[i].status, c[i].controller, c[i].value}),
                  QList<int>({want[i].status, want[i].controller, want[i].value}))
            << i;
    }

    // A tempo change halfway: one beat a second at first, then two.
    ASSERT_TRUE(write(
        path, file(0, 96, {track({{0, tempo(1000000)}, {96, cc(0, 1, 1)}, {0, tempo(500000)}, {96, cc(0, 2, 2)}})})));
    ASSERT_TRUE(readControlChanges(path, &c, &error)) << qPrintable(error);
    ASSERT_EQ(c.size(), 2);
    EXPECT_NEAR(c[0].seconds, 1.0, 1e-9);
    EXPECT_NEAR(c[1].seconds, 1.5, 1e-9);

    ASSERT_TRUE(write(path, "MThd but nothing else"));
    EXPECT_FALSE(readControlChanges(path, &c, &error));
    EXPECT_TRUE(error.contains("is no Standard MIDI File")) << qPrintable(error);
    EXPECT_TRUE(c.isEmpty());
    EXPECT_FALSE(readControlChanges(dir.path() + "/missing.mid", &c, &error));
}

TEST_F(Replay, MovesTheLastBoxsSlidersInOrderAtTheirTimes)
{
    ASSERT_TRUE(pane->openSetDocument(sample)) << qPrintable(a->status()->text());
    ASSERT_EQ(a->boxes().count(), 2);
    ASSERT_EQ(a->selectedBox(), 1);
    QStringList moves;
    QElapsedTimer clock;
    QList<qint64> times;
    for (int i = 0; i < 2; ++i)
        for (DzIntSlider* s : box(i).sliders)
            QObject::connect(s, &DzIntSlider::valueChanged, [&, s, i](int v) {
                moves << QString("%1 %2 %3").arg(i).arg(s->getLabel()).arg(v);
                times << clock.elapsed();
            });
    CommandLine cl;
    cl.midiReplay = sessionFile();
    QString out, error;
    QTextStream stream(&out);
    clock.start();
    ASSERT_EQ(runCommands(cl, pane, stream, &error), 0) << qPrintable(error);
    EXPECT_EQ(moves, QStringList({"1 Land 100", "1 River 57", "1 Hill -100", "1 Land 0"}));
    // No change comes before its time (a beat is 500 ms).
    ASSERT_EQ(times.size(), 4);
    EXPECT_GE(times[1], 62 - 5);
    EXPECT_GE(times[2], 125 - 5);
    EXPECT_GE(times[3], 219 - 5);
    EXPECT_TRUE(korgPane()->isSending());
}

TEST_F(Replay, BatchRunAppliesTheSessionAfterOpeningTheSet)
{
    const QString scene = dir.path() + "/replayed.duf";
    HostRun r = runHost({"--headless", "--assets", VERDIX_LIBRARY_DIR, "--open-set", sample, "--midi-replay",
                         sessionFile(), "--save-scene", scene});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(r.err, "");
    QFile f(scene);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    // The second landscape's record in the pane's state, as the session left it.
    EXPECT_TRUE(f.readAll().contains("Landscape Blend None,0,57,-100,40,")) << "no replayed record in the scene";

    // A file that is no MIDI file: one line, the input exit status, nothing on the output.
    const QString junk = dir.path() + "/junk.mid";
    ASSERT_TRUE(smf::write(junk, "RIFF....not a midi file"));
    r = runHost(
        {"--headless", "--assets", VERDIX_LIBRARY_DIR, "--open-set", sample, "--midi-replay", junk, "--status"});
    EXPECT_EQ(r.code, kExitInputFailed);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.count('\n'), 1) << qPrintable(r.err);
    EXPECT_TRUE(r.err.startsWith("verdix-host: --midi-replay: ")) << qPrintable(r.err);
}

TEST(MidiFileReading, RefusesBrokenAndOversizedFilesNamingTheReason)
{
    using namespace smf;
    QTemporaryDir dir;
    const QString path = dir.path() + "/bad.mid";
    const QByteArray one = track({{0, cc(0, 1, 1)}});
    // Many control changes on running status: three bytes each.
    QByteArray many = bytes({0x00, 0xB0, 0x01, 0x01});
    for (int i = 0; i < kMaxMidiControlChanges; ++i) many += bytes({0x00, 0x01, 0x02});
    many += bytes({0x00, 0xFF, 0x2F, 0x00});
    QByteArray manyTracks = "MThd" + be(6, 4) + be(1, 2) + be(kMaxMidiTracks + 1, 2) + be(96, 2);
    for (int i = 0; i <= kMaxMidiTracks; ++i) manyTracks += one;
    const struct
    {
        const char* name;
        QByteArray data;
        const char* says;
    } cases[] = {
        {"division of 0", file(0, 0, {one}), "division is 0"},
        {"no frame rate", "MThd" + be(6, 4) + be(0, 2) + be(1, 2) + be(0xE200, 2) + one, "no valid frame rate"},
        {"five byte time", file(0, 96, {"MTrk" + be(8, 4) + bytes({0x81, 0x80, 0x80, 0x80, 0x00, 0xB0, 0x01, 0x01})}),
         "longer than four bytes"},
        {"five byte length", file(0, 96, {"MTrk" + be(8, 4) + bytes({0x00, 0xF0, 0x81, 0x80, 0x80, 0x80, 0x00, 0xF7})}),
         "longer than four bytes"},
        {"track past the end", file(0, 96, {"MTrk" + be(0x7FFFFFF0, 4) + bytes({0x00, 0xB0, 0x01, 0x01})}),
         "past the end of the file"},
        {"event cut off", file(0, 96, {"MTrk" + be(3, 4) + bytes({0x00, 0xB0, 0x01})}), "cut off"},
        {"missing tracks", file(1, 96, {one}).replace(10, 2, be(3, 2)), "names 3 tracks, the file holds 1"},
        {"too many tracks", manyTracks, "1025 tracks"},
        {"too many changes", file(0, 96, {"MTrk" + be(quint32(many.size()), 4) + many}),
         "more than 10000 control changes"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(write(path, c.data));
        QVector<TimedControlChange> out;
        QString error;
        EXPECT_FALSE(readControlChanges(path, &out, &error)) << c.name;
        EXPECT_TRUE(out.isEmpty()) << c.name;
        EXPECT_TRUE(error.contains(path) && error.contains(c.says)) << c.name << ": " << qPrintable(error);
    }
    // One change fewer than the limit is a session.
    many.remove(4, 3);
    QVector<TimedControlChange> out;
    QString error;
    ASSERT_TRUE(write(path, file(0, 96, {"MTrk" + be(quint32(many.size()), 4) + many})));
    EXPECT_TRUE(readControlChanges(path, &out, &error)) << qPrintable(error);
    EXPECT_EQ(out.size(), kMaxMidiControlChanges);

    // The longest wait a file can state, at the slowest tempo and coarsest division: a few
    // thousand years, exactly.
    ASSERT_TRUE(
        write(path, file(0, 1, {track({{0, tempo(0xFFFFFF)}, {0x0FFFFFFF, cc(0, 1, 2)}, {0x0FFFFFFF, cc(0, 1, 3)}})})));
    ASSERT_TRUE(readControlChanges(path, &out, &error)) << qPrintable(error);
    ASSERT_EQ(out.size(), 2);
    EXPECT_DOUBLE_EQ(out[1].seconds, 2.0 * 0x0FFFFFFF * 0xFFFFFF / 1e6);
}

TEST_F(Replay, BatchRunGoesByTheFilesClockWithoutWaiting)
{
    // In process: the pane sees every change in order, each with its time in the recording,
    // though the last comes more than two centuries in.
    ASSERT_TRUE(pane->openSetDocument(sample)) << qPrintable(a->status()->text());
    QStringList moves;
    for (DzIntSlider* s : box(1).sliders)
        QObject::connect(s, &DzIntSlider::valueChanged, [&, s](int v) {
            moves << QString("%1 %2 (%3)").arg(s->getLabel()).arg(v).arg(korgPane()->lastMessageText());
        });
    {
        using namespace smf;
        const QString session = dir.path() + "/centuries.mid";
        ASSERT_TRUE(write(session, smf::file(0, 1,
                                             {track({{0, tempo(0xFFFFFF)},
                                                     {0, cc(0, 1, 127)},
                                                     {0x0FFFFFFF, cc(0, 1, 0)},
                                                     {0x0FFFFFFF, cc(0, 2, 127)}})})));
        QVector<TimedControlChange> changes;
        QString error;
        ASSERT_TRUE(readControlChanges(session, &changes, &error)) << qPrintable(error);
        ASSERT_TRUE(replayControlChanges(changes, pane, korgPane(), ReplayClock::FileClock, &error))
            << qPrintable(error);
    }
    EXPECT_EQ(moves, QStringList({"River 100 (Last message: control 1 = 127 (channel 1) at 0.000 s)",
                                  "River -100 (Last message: control 1 = 0 (channel 1) at 4503599342.158 s)",
                                  "Hill 100 (Last message: control 2 = 127 (channel 1) at 9007198684.316 s)"}));

    // River up at once, then down after more than a century (the slowest tempo, one tick
    // a quarter note), then Hill after another.
    using namespace smf;
    const QString session = dir.path() + "/century.mid";
    ASSERT_TRUE(write(
        session,
        smf::file(
            0, 1,
            {track(
                {{0, tempo(0xFFFFFF)}, {0, cc(0, 1, 127)}, {0x0FFFFFFF, cc(0, 1, 0)}, {0x0FFFFFFF, cc(0, 2, 127)}})})));
    const QString scene = dir.path() + "/replayed.duf";
    HostRun r = runHost({"--headless", "--assets", VERDIX_LIBRARY_DIR, "--open-set", sample, "--midi-replay", session,
                         "--save-scene", scene});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    QFile f(scene);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("Landscape Blend None,50,-100,100,40,"))
        << "the changes were not all replayed in order";

    // A refused file: the input status and one line naming the file and the reason.
    ASSERT_TRUE(write(session, smf::file(0, 0, {track({{0, cc(0, 1, 127)}})})));
    r = runHost({"--headless", "--assets", VERDIX_LIBRARY_DIR, "--open-set", sample, "--midi-replay", session});
    EXPECT_EQ(r.code, kExitInputFailed);
    EXPECT_EQ(r.err.count('\n'), 1) << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains(session) && r.err.contains("division is 0")) << qPrintable(r.err);
}
