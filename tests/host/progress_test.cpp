// The progress bar the window shows: one bar for nested work, that never runs backwards.
#include <gtest/gtest.h>
#include <QVector>
#include <dzapp.h>
#include <dzprogress.h>

namespace {

struct Shown
{
    QString label;
    int value, maximum;
};

class Progress : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DzProgress::setTimings(0, 0, 0);
        m_link = QObject::connect(dzApp, &DzApp::progressChanged, [this](const QString& l, int v, int m) {
            shown.append({l, v, m});
        });
    }
    void TearDown() override
    {
        QObject::disconnect(m_link);
        DzProgress::setTimings(40, 300, 100);
    }
    QVector<Shown> shown;

private:
    QMetaObject::Connection m_link;
};

}  // namespace

TEST_F(Progress, NestedWorkFillsItsParentsStepAndTheBarNeverRunsBackwards)
{
    {
        // An opening of four records; the second and third rebuild a landscape of their own.
        DzProgress open("Opening Grove.txt", 4);
        for (int record = 0; record < 4; ++record) {
            open.step(record);
            if (record == 1 || record == 2) {
                DzProgress land("Landscape (0000)", 100);
                for (int row = 0; row <= 100; row += 10) land.step(row);
            }
        }
        open.step(4);
        // A last step with no count of its own starts where the bar stands.
        DzProgress busy("Sorting", 0);
        busy.step(0);
    }
    ASSERT_GT(shown.size(), 20);
    int last = 0;
    bool sawLandscape = false;
    for (int i = 0; i + 1 < shown.size(); ++i) {
        const Shown& s = shown[i];
        EXPECT_EQ(s.maximum, 1000) << i;
        EXPECT_GE(s.value, last) << qPrintable(s.label) << " went back from " << last;
        last = s.value;
        if (s.label.startsWith("Landscape")) {
            sawLandscape = true;
            // Inside the share of the record that runs it: a quarter of the bar each.
            EXPECT_GE(s.value, 250) << i;
            EXPECT_LE(s.value, 750) << i;
        }
    }
    EXPECT_TRUE(sawLandscape);
    EXPECT_GE(last, 990);
    // The end is said once the outermost scope closes, shown or not.
    EXPECT_EQ(shown.last().value, shown.last().maximum);
    EXPECT_FALSE(DzProgress::isRunning());
}
