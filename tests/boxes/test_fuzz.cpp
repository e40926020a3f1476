#include "boxfixture.h"
#include "persistence/boxrecord.h"

namespace {

QString mutate(QString doc, SeededRandom& rng)
{
    static const QString alphabet = QStringLiteral(",,,;;\n\n0123456789-+.eVGTLx ");
    for (int e = 1 + rng.below(4); e > 0; --e) {
        const int at = rng.below(doc.size() + 1);
        switch (rng.below(6)) {
        case 0: doc.remove(at, 1 + rng.below(40)); break;
        case 1:
            for (int n = 1 + rng.below(6); n > 0; --n) doc.insert(at, alphabet[rng.below(alphabet.size())]);
            break;
        case 2: doc.truncate(at); break;
        case 3: {  // a line twice
            const int start = doc.lastIndexOf('\n', at - 1) + 1;
            const int end = doc.indexOf('\n', at);
            doc.insert(start, doc.mid(start, end < 0 ? -1 : end - start + 1));
            break;
        }
        case 4: {  // a field replaced by text that is no number
            const int comma = doc.indexOf(',', at);
            if (comma > 0) doc.insert(comma, QStringLiteral("abc"));
            break;
        }
        default:
            if (!doc.isEmpty()) doc[qMin(at, doc.size() - 1)] = doc[qMin(at, doc.size() - 1)].toUpper();
            break;
        }
    }
    return doc;
}

class Fuzz : public BoxTest
{
protected:
    // The stored document always describes the boxes the pane holds.
    void expectStoredMatchesPane()
    {
        EXPECT_EQ(verdix::splitSetDocument(a->model()->coolText()).boxLines(), a->boxes().count());
    }
};

}  // namespace

TEST_F(Fuzz, MutatedDocumentsNeverLoseABox)
{
    for (int type : {TypeLandscape, TypeGrass, TypeBillboard}) addBox(type);
    // A small patch: every opened document builds its grass again.
    slider(1, "Amount")->setValue(123);
    a->saveModelData();
    const QString base = a->model()->coolText();

    // Documents are what is tried here, not terrains: a mutated grid size may ask for the
    // largest terrain, seconds and gigabytes per round.
    a->setUpdateOverride(TypeLandscape, [](int, bool) {});
    // Nothing here needs painting; a shown pane would repaint its column after every box.
    pane->hide();
    SeededRandom rng{0xC0FFEEu};
    int opened = 0, refused = 0;
    for (int round = 0; round < 300; ++round) {
        const QString doc = mutate(base, rng);
        const QStringList before = titles();
        const verdix::SetDocument parsed = verdix::splitSetDocument(doc);
        if (a->openDocument(doc, true)) {
            ++opened;
            ASSERT_EQ(a->boxes().count(), qMin(parsed.boxLines(), kMaxControlBoxes)) << qPrintable(doc);
            for (int i = 0; i < a->boxes().count(); ++i) ASSERT_EQ(box(i).type, parsed.boxTypes()[i]);
        } else {
            ++refused;
            ASSERT_EQ(titles(), before) << qPrintable(doc);
        }
        expectStoredMatchesPane();
        EXPECT_FALSE(VerdixFlags::refreshBlocked);
        // Every few rounds start again from the whole set, so that later rounds have boxes.
        if (a->boxes().count() < 2) ASSERT_TRUE(a->openDocument(base, true));
        // Nodes of deleted boxes stay in the scene by design; a terrain's node is megabytes,
        // so the thousands this loop leaves behind are taken out as it goes.
        for (DzNode* n : dzScene->nodeList())
            if (n->getLabel().endsWith("Not active")) dzScene->removeNode(n);
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_GT(opened, 75);
    EXPECT_GT(refused, 4);
    pane->show();
}

TEST_F(Fuzz, RecordLineOfTwoMegabytes)
{
    // Read as far as the grass has sliders.
    QString huge = "VerdixV1.0,6,2018\nGrassV1.0,";
    while (huge.size() < 2 * 1024 * 1024) huge += QStringLiteral("77,");
    ASSERT_TRUE(a->openDocument(huge + "\n;", true));
    ASSERT_EQ(a->boxes().count(), 1);
    EXPECT_EQ(slider(0, "Amount")->getValue(), 77);
    EXPECT_EQ(slider(0, "Move Z")->getValue(), 77);
    expectStoredMatchesPane();
}
