// The progress bar the window shows: one bar for nested work, that never runs backwards; and
// the input given while work runs, which acts neither then nor afterwards.
#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QVector>
#include <QWidget>
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

TEST_F(Progress, InputGivenWhileWorkRunsActsNeitherThenNorAfterItButInputGivenLaterDoes)
{
    QWidget window;
    auto* edit = new QLineEdit(&window);
    auto* button = new QPushButton("Apply", &window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(edit);
    layout->addWidget(button);
    auto* undo = new QAction("Undo", &window);
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    window.addAction(undo);
    int undone = 0, clicked = 0;
    QObject::connect(undo, &QAction::triggered, [&]() { ++undone; });
    QObject::connect(button, &QPushButton::clicked, [&]() { ++clicked; });
    window.show();
    QApplication::setActiveWindow(&window);
    edit->setFocus();
    QCoreApplication::processEvents();

    {
        DzProgress work("Opening Grove.txt", 2);
        work.step(1);
        // Keys that reach the window while the work lets events through: a shortcut too.
        QTest::keyClick(button, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClicks(edit, "ab");
        work.step(2);
        // Input queued while the work ran on without letting events through (its last stretch).
        QCoreApplication::postEvent(edit, new QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x"));
        const QPoint centre = button->rect().center();
        QCoreApplication::postEvent(
            button, new QMouseEvent(QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(
            button, new QMouseEvent(QEvent::MouseButtonRelease, centre, Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(undone, 0) << "a shortcut acted inside the work";
    EXPECT_EQ(edit->text(), QString());
    EXPECT_EQ(clicked, 0) << "a click queued during the work clicked once it was over";

    // What the user does after the work acts at once, however soon.
    QTest::keyClicks(edit, "ok");
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, button->rect().center(),
                                                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, button->rect().center(),
                                                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    QCoreApplication::processEvents();
    QTest::keyClick(button, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QString("ok"));
    EXPECT_EQ(clicked, 1);
    EXPECT_EQ(undone, 1);
}
