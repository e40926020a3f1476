#pragma once
// The pane of the test process, emptied before each test, with an asset root of its own.
#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QTemporaryDir>
#include <dzdialogs.h>
#include <dznode.h>
#include <dzscene.h>
#include <mutex>
#include <vector>
#include "panefixture.h"
#include "pane/slidersets.h"
#include "plugin/assetfolders.h"

class BoxTest : public PaneFixture
{
protected:
    QTemporaryDir root;

    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        // The pane reads the configured root when it is built; the test's root comes after.
        attachPane();
        VerdixAssets::setTextureRoot(root.path());
        reset();
    }
    void TearDown() override
    {
        reset();
        VerdixAssets::setTextureRoot(VerdixAssets::defaultTextureRoot());
    }
    void reset()
    {
        a->setLoading(false);
        for (int t = 0; t <= kLastType; ++t) a->setUpdateOverride(t, nullptr);
        pane->setBatchRunner(nullptr);
        while (a->boxes().count() > 0) a->deleteControl(true, false);
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        a->selector()->clear();
        for (QCheckBox* c : {a->merge(), a->renew(), a->autoOff()}) c->setChecked(false);
        dzScene->clear();
        a->status()->clear();
        dzApp->dialogs()->clearLog();
        VerdixFlags::refreshBlocked = false;
        VerdixFlags::deleteAllArmed = false;
    }

    void file(const QString& rel, const QByteArray& bytes = "x")
    {
        const QString path = root.path() + "/" + rel;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void image(const QString& rel)
    {
        const QString path = root.path() + "/" + rel;
        QDir().mkpath(QFileInfo(path).path());
        QImage img(4, 4, QImage::Format_RGB32);
        img.fill(Qt::green);
        ASSERT_TRUE(img.save(path));
    }

    // A box as its generator's create operation makes it: the box, then its node.
    int addBox(int type, bool withNode = true)
    {
        const int i = a->boxes().count();
        const QString title = newBoxTitle(type, i);
        a->addControlBox(QString::fromLatin1(typeInfo(type)->iconFile), title, type);
        if (a->boxes().count() != i + 1) return -1;
        if (withNode && typeInfo(type)->assetId) pane->BuildObjectNode(type, i, title, nullptr);
        if (type == TypeLandscape) {
            a->selector()->addItem(title);
            a->selector()->setCurrentIndex(a->selector()->findText(title));
        }
        return i;
    }
    DzNode* nodeOf(int i) { return dzScene->findNodeByLabel(box(i).groupBox->title()); }

    void showPane()
    {
        pane->show();
        QApplication::setActiveWindow(pane->window());
        QApplication::processEvents();
    }
    // The boxes' titles, in order.
    QStringList titles()
    {
        QStringList t;
        for (int i = 0; i < a->boxes().count(); ++i) t << box(i).groupBox->title();
        return t;
    }
    QStringList messages() const
    {
        QStringList out;
        for (const DzMessageRecord& m : dzApp->dialogs()->messages()) out << m.title + ": " + m.text;
        return out;
    }
};

// A small seeded generator: the same values on every machine.
struct SeededRandom
{
    quint32 state;
    int next()
    {
        state = state * 214013u + 2531011u;
        return int((state >> 16) & 0x7FFF);
    }
    int range(int lo, int hi) { return lo + int(((qint64(next()) << 15) | next()) % (qint64(hi) - lo + 1)); }
    int below(int n) { return n <= 0 ? 0 : range(0, n - 1); }
};

// Records every update the routing asks for.
struct UpdateLog
{
    std::mutex lock;
    std::vector<int> boxes;
    std::function<void(int, bool)> hook()
    {
        return [this](int i, bool) {
            std::lock_guard<std::mutex> g(lock);
            boxes.push_back(i);
        };
    }
    std::vector<int> sorted()
    {
        std::lock_guard<std::mutex> g(lock);
        std::vector<int> v = boxes;
        std::sort(v.begin(), v.end());
        return v;
    }
    void clear()
    {
        std::lock_guard<std::mutex> g(lock);
        boxes.clear();
    }
};
