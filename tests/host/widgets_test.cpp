#include <gtest/gtest.h>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QSlider>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <dzintslider.h>
#include <dzscript.h>
#include "hosttestsupport.h"

TEST(IntSlider, ClampsSignalsEachChangeOnceAndTakesTypedValues)
{
    DzIntSlider s;
    QList<int> seen;
    QObject::connect(&s, &DzIntSlider::valueChanged, [&](int v) { seen << v; });
    s.setRange(-10, 40);
    s.setValue(25);
    s.setValue(25);
    s.setValue(99);
    s.setValue(-99);
    EXPECT_EQ(s.getValue(), -10);
    EXPECT_EQ(seen, (QList<int>{25, 40, -10}));
    EXPECT_EQ(s.slider()->value(), -10);

    // Narrowing the range drags the value along and says so.
    s.setValue(30);
    seen.clear();
    s.setRange(0, 20);
    EXPECT_EQ(s.getValue(), 20);
    EXPECT_EQ(seen, QList<int>{20});

    // Unclamped, code may go past the track; the track shows the nearest end.
    s.setClamped(false);
    s.setValue(500);
    EXPECT_EQ(s.getValue(), 500);
    EXPECT_EQ(s.slider()->value(), 20);

    // As percent; typed values are taken, typed junk is not.
    s.setClamped(true);
    s.setRange(0, 200);
    s.setDisplayAsPercent(true);
    s.setValue(42);
    EXPECT_EQ(s.text(), "42%");
    seen.clear();
    s.lineEdit()->setText("150%");
    emit s.lineEdit()->editingFinished();
    EXPECT_EQ(s.getValue(), 150);
    s.lineEdit()->setText("lots");
    emit s.lineEdit()->editingFinished();
    EXPECT_EQ(s.getValue(), 150);
    EXPECT_EQ(s.text(), "150%");
    EXPECT_EQ(seen, QList<int>{150});
    // Moving the track is a change like any other.
    s.slider()->setValue(7);
    EXPECT_EQ(s.getValue(), 7);
    EXPECT_EQ(s.text(), "7%");
}

TEST(IntSlider, HasFocusWhenItsTextFieldHasFocus)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto *a = new DzIntSlider, *b = new DzIntSlider;
    layout->addWidget(a);
    layout->addWidget(b);
    window.show();
    QApplication::setActiveWindow(&window);
    window.activateWindow();
    a->lineEdit()->setFocus();
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), a->lineEdit());
    EXPECT_TRUE(a->hasFocus());
    EXPECT_FALSE(b->hasFocus());
    b->slider()->setFocus();
    QCoreApplication::processEvents();
    EXPECT_FALSE(a->hasFocus());
    EXPECT_TRUE(b->hasFocus());
}

TEST(IntSlider, TextFieldShowsTheWidestValueOfItsRangeWhole)
{
    // A narrow row, as in the pane's box list: the field still holds every digit.
    QWidget window;
    window.setFixedWidth(150);
    auto* layout = new QVBoxLayout(&window);
    auto* amount = new DzIntSlider;
    amount->setLabel("Amount");
    layout->addWidget(amount);
    amount->setRange(1, 200000);
    amount->setValue(200000);
    window.show();
    QCoreApplication::processEvents();
    QLineEdit* edit = amount->lineEdit();
    QStyleOptionFrame opt;
    opt.initFrom(edit);
    const QRect text = edit->style()->subElementRect(QStyle::SE_LineEditContents, &opt, edit);
    EXPECT_GE(text.width(), edit->fontMetrics().horizontalAdvance("200000")) << edit->width();
}

TEST(Script, FindsAPaneByClassCallsItsSlotAndFailsWithTheLine)
{
    std::unique_ptr<SomeTestPane> pane(new SomeTestPane);
    dzApp->getPaneMgr()->addPane(pane.get());
    DzScript script;
    script.addLine("var pane = MainWindow.getPaneMgr().findPane(\"SomeTestPane\");");
    script.addLine("if (!pane) throw new Error(\"no pane\");");
    script.addLine("pane.TestScriptInput(27);");
    ASSERT_TRUE(script.execute()) << qPrintable(script.errorMessage());
    EXPECT_EQ(pane->received, 27);
    EXPECT_TRUE(script.errorMessage().isEmpty());

    script.clear();
    script.addLine("var p = MainWindow.getPaneMgr().findPane(\"NoSuchPane\");");
    script.addLine("if (p) p.TestScriptInput(1); else throw new Error(\"pane missing\");");
    EXPECT_FALSE(script.execute());
    EXPECT_TRUE(script.errorMessage().contains("pane missing")) << qPrintable(script.errorMessage());
    EXPECT_EQ(pane->received, 27);

    // A syntax error anywhere runs nothing.
    script.clear();
    script.addLine("MainWindow.getPaneMgr().findPane(\"SomeTestPane\").TestScriptInput(5);");
    script.addLine("var x = ;");
    EXPECT_FALSE(script.execute());
    EXPECT_TRUE(script.errorMessage().startsWith("Line 2")) << qPrintable(script.errorMessage());
    EXPECT_EQ(pane->received, 27);
}

TEST(PluginMgr, LoadFailuresSayWhy)
{
    DzPluginMgr mgr;
    QString error;
    EXPECT_EQ(mgr.loadPlugin("/no/such/libplugin.so", &error), nullptr);
    EXPECT_TRUE(error.contains("not found")) << qPrintable(error);
    EXPECT_TRUE(error.contains("/no/such/libplugin.so"));

    // A real library without the entry points: the host's own.
    const QString host = QCoreApplication::applicationDirPath() + "/libverdixhost.so";
    ASSERT_TRUE(QFile::exists(host));
    error.clear();
    EXPECT_EQ(mgr.loadPlugin(host, &error), nullptr);
    EXPECT_TRUE(error.contains("not a plug-in")) << qPrintable(error);

    QTemporaryDir tmp;
    const QString junk = tmp.filePath("libjunk.so");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("not a library") > 0);
    f.close();
    error.clear();
    EXPECT_EQ(mgr.loadPlugin(junk, &error), nullptr);
    EXPECT_TRUE(error.startsWith("Cannot load plug-in")) << qPrintable(error);
    EXPECT_EQ(mgr.getNumPlugins(), 0);
}
