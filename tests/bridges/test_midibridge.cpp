// The controller's messages arriving at the pane's public slot, as the controller pane's script
// delivers them: the selected box's widgets move through their own change signals.
#include "boxfixture.h"
#include <QComboBox>
#include "bridges/korgmap.h"

using verdix::kKorgControlChange;
using verdix::packKorgMessage;

namespace {

class MidiBridge : public BoxTest
{
protected:
    UpdateLog log;

    void SetUp() override
    {
        BoxTest::SetUp();
        showPane();
    }
    void send(int status, int cc, int v) { pane->VerdixScriptInput(packKorgMessage(status, cc, v)); }
    void cc(int cc, int v) { send(kKorgControlChange, cc, v); }
    int value(int i, const char* name) { return slider(i, name)->getValue(); }
    // Every slider and combo of every box.
    QList<int> everything()
    {
        QList<int> all;
        for (int i = 0; i < a->boxes().count(); ++i) {
            for (DzIntSlider* s : box(i).sliders) all << (s ? s->getValue() : -99999);
            for (QComboBox* c : box(i).combos) all << (c ? c->currentIndex() : -99999);
        }
        return all;
    }
};

}  // namespace

// Faders, knobs and the S, M and R buttons on the selected box's sliders, one box per type.
TEST_F(MidiBridge, ControlsReachBothEndsOfTheSelectedBoxsSliders)
{
    const struct
    {
        int type, cc, value;
        const char* slider;
        int expected;
    } steps[] = {
        {TypeGrass, 4, 127, "Height RND", 500},  // fader 5: 1..500
        {TypeGrass, 4, 0, "Height RND", 1},
        {TypeGrass, 7, 0, "Move Z", 10000},  // fader 8 runs the other way
        {TypeGrass, 7, 127, "Move Z", -10000},
        {TypeGrass, 16, 127, "Shape", 300},  // knob 1: -300..300
        // S and M buttons put their slider back to its own value, whatever the button sends.
        {TypeGrass, 36, 0, "Height Min", 20},
        {TypeGrass, 52, 127, "Height RND", 40},
        {TypeStones, 1, 10, "A Ring", 314},     // 4000 x 10 / 127
        {TypeStones, 33, 127, "A Ring", 4000},  // zero buttons give max plus min
        {TypeStones, 16, 127, "A Shape", 300},
        {TypeStones, 32, 0, "A Shape", 0},
        {TypeLandscape, 2, 127, "Hill", 100},
        {TypeLandscape, 34, 127, "Hill", 0},
        {TypeLandscape, 23, 127, "Smooth", 400},
        {TypeLandscape, 39, 127, "Smooth", 0},
    };
    int box = -1, type = -1;
    for (const auto& s : steps) {
        if (s.type != type) {
            box = addBox(type = s.type);
            a->setUpdateOverride(type, log.hook());
        }
        if (s.cc == 36) slider(box, "Height Min")->setValue(77);
        cc(s.cc, s.value);
        EXPECT_EQ(value(box, s.slider), s.expected) << "cc " << s.cc << " = " << s.value;
    }
}

TEST_F(MidiBridge, OnlyMappedControlChangesOfTheFirstChannelMoveAnything)
{
    const int g = addBox(TypeGrass), t = addBox(TypeTree);
    for (int type : {TypeGrass, TypeTree}) a->setUpdateOverride(type, log.hook());
    ASSERT_EQ(a->selectedBox(), t);
    const QList<int> before = everything();
    // The tree has no knob 4 and no buttons.
    for (int c : {19, 20, 32, 48, 55, 8, 15, 24, 56, 127}) cc(c, 100);
    EXPECT_EQ(everything(), before);
    // A note-on, or a control change on the second channel, of a control the tree does map.
    send(144, 0, 100);
    send(177, 0, 100);
    EXPECT_EQ(everything(), before);
    cc(0, 127);
    EXPECT_EQ(value(t, "Trunk LOD"), 50);
    EXPECT_EQ(value(g, "Ring"), before[0 + typeSliderNames(TypeGrass).indexOf("Ring")]);

    // A box without a map takes nothing.
    a->addControlBox("GrowBush.png", newBoxTitle(TypeBush, 2), TypeBush);
    ASSERT_EQ(a->selectedBox(), 2);
    const QList<int> withBush = everything();
    for (int c = 0; c < 64; ++c) cc(c, 3);
    EXPECT_EQ(everything(), withBush);
}

TEST_F(MidiBridge, TheSelectedBoxAloneMovesAndRegenerates)
{
    const int first = addBox(TypeGrass), second = addBox(TypeGrass);
    a->setUpdateOverride(TypeGrass, log.hook());
    // A new box is the selected one; selecting the first box's node in the scene turns the
    // controller to it. The slider takes the focus, so its box alone is rebuilt.
    for (auto [selected, v, other, expected, untouched] :
         {std::tuple(second, 127, first, 4000, 100), std::tuple(first, 0, second, 1, 4000)}) {
        if (selected == first) {
            ASSERT_NE(nodeOf(first), nullptr);
            nodeOf(first)->setSelected(true);
            a->refreshSelected(nodeOf(first));
            ASSERT_EQ(a->selectedBox(), first);
        }
        log.clear();
        cc(1, v);
        EXPECT_EQ(value(selected, "Area size Z"), expected);
        EXPECT_EQ(value(other, "Area size Z"), untouched);
        EXPECT_EQ(log.sorted(), std::vector<int>({selected}));
    }
}

TEST_F(MidiBridge, AMessageArrivingDuringAnUpdateWaitsForIt)
{
    const int g = addBox(TypeGrass);
    QStringList seen;
    bool nested = false;
    a->setUpdateOverride(TypeGrass, [&](int, bool) {
        seen << QString("update %1").arg(value(g, "Ring"));
        // The update lets events through and the controller's next message comes in.
        if (!nested) {
            nested = true;
            cc(0, 0);
            seen << "back";
        }
    });
    cc(0, 127);
    // Applied after the running message, not inside it, and not lost.
    EXPECT_EQ(seen, QStringList({"update 4000", "back", "update 0"}));
    EXPECT_EQ(value(g, "Ring"), 0);
}

TEST_F(MidiBridge, KnobsStepThroughALandscapesMaps)
{
    for (const char* f : {"G1.png", "G2.png", "G3.png", "G4.png"}) image(QString("Verdix_Landscape_Ground/") + f);
    const int l = addBox(TypeLandscape);
    a->setUpdateOverride(TypeLandscape, log.hook());
    QComboBox* maps = box(l).combo('A');
    ASSERT_NE(maps, nullptr);
    ASSERT_EQ(maps->count(), 5);
    maps->setCurrentIndex(0);
    // 64 / 127 x 4 + 1 = 3.01; the top of the travel chooses nothing.
    for (auto [v, index] : {std::pair(0, 1), std::pair(64, 3), std::pair(127, 3)}) {
        cc(16, v);
        EXPECT_EQ(maps->currentIndex(), index) << v;
    }
}
