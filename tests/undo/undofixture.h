#pragma once
// The pane of the test process over the generated library, with small boxes (few divisions,
// few blades) so that every step rebuilds in milliseconds, and the scene as the user and
// the exporter see it: the set document and the exported vertices.
#include <gtest/gtest.h>
#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QGroupBox>
#include <QSlider>
#include <QTemporaryDir>
#include <QTextStream>
#include <dzintslider.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzundostack.h>
#include "panefixture.h"
#include "plugin/assetfolders.h"
#include "sceneexport.h"
#include "undo/panehistory.h"

// What must come back exactly.
struct Fingerprint
{
    QString document;
    QByteArray vertices;  // hash of the OBJ export's nodes, vertices and faces
    bool operator==(const Fingerprint& o) const { return document == o.document && vertices == o.vertices; }
    bool operator!=(const Fingerprint& o) const { return !(*this == o); }
};

inline std::ostream& operator<<(std::ostream& os, const Fingerprint& f)
{
    return os << f.vertices.toHex().constData() << "\n" << f.document.toStdString();
}

class UndoTest : public PaneFixture
{
protected:
    QTemporaryDir tmp;

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        attachPane();
        VerdixAssets::setTextureRoot(VERDIX_LIBRARY_DIR);
        a->setLoading(false);
        for (QCheckBox* c : {a->merge(), a->renew(), a->autoOff()}) c->setChecked(false);
        dzScene->clear();
        QApplication::processEvents();
        pane->history()->rebaseline();
        dzUndoStack->clear();
    }
    void TearDown() override
    {
        dzScene->clear();
        QApplication::processEvents();
        dzUndoStack->clear();
        VerdixAssets::setTextureRoot(VerdixAssets::defaultTextureRoot());
    }

    // A value as a script or preset sets it, pushed as a step of its own.
    void set(int i, const char* name, int value)
    {
        DzIntSlider* s = slider(i, name);
        ASSERT_NE(s, nullptr) << name;
        s->setValue(value);
        flush();
    }
    void flush() { dzUndoStack->flush(); }

    // Small boxes: a landscape of 2 x 2 tiles of 2 divisions, grass of few blades.
    int create(int type)
    {
        const int i = count();
        if (!pane->createBoxOfType(type)) return -1;
        a->setLoading(true);
        if (type == TypeLandscape) {
            slider(i, "TILES")->setValue(2);
            slider(i, "DIVISIONS")->setValue(2);
            slider(i, "Size XZ")->setValue(40);
        } else if (type == TypeGrass) {
            slider(i, "Amount")->setValue(30);
        } else if (type == TypeStones) {
            slider(i, "Grass")->setValue(2);
        }
        a->setLoading(false);
        pane->updateBox(i);
        flush();
        return i;
    }

    Fingerprint fingerprint()
    {
        QApplication::processEvents();
        Fingerprint f;
        f.document = pane->setDocumentText();
        const QString obj = tmp.path() + "/scene.obj";
        QString error;
        EXPECT_TRUE(exportObj(obj, &error)) << error.toStdString();
        QFile file(obj);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QCryptographicHash h(QCryptographicHash::Sha1);
        while (!file.atEnd()) {
            const QByteArray line = file.readLine();
            if (line.startsWith("o ") || line.startsWith("v ") || line.startsWith("f ")) h.addData(line);
        }
        f.vertices = h.result();
        return f;
    }

    // A change, then undo and redo: undo gives the state before, redo the state after.
    template <class Change>
    void expectUndoable(const char* what, Change change)
    {
        SCOPED_TRACE(what);
        const Fingerprint before = fingerprint();
        const int steps = dzUndoStack->count();
        change();
        flush();
        const Fingerprint after = fingerprint();
        ASSERT_NE(before, after) << "the change changed nothing";
        ASSERT_EQ(dzUndoStack->count(), steps + 1);
        ASSERT_TRUE(dzUndoStack->undoStep());
        EXPECT_EQ(fingerprint(), before);
        ASSERT_TRUE(dzUndoStack->redoStep());
        EXPECT_EQ(fingerprint(), after);
    }
};
