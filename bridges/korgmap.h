#pragma once
// What a nanoKONTROL2 control does to a box: the controller's messages in, the slider and
// combo changes out. No widgets here; the pane applies the changes to the box's widgets.
#include <QString>
#include <vector>

namespace verdix {

// Only a control change on the first channel moves anything.
constexpr int kKorgControlChange = 176;
// What the connect button sends the controller pane to make it start sending.
constexpr int kKorgStartSending = 99999908;

// One short message as the controller pane packs it into one integer: status in bits 0-7,
// controller number in bits 8-15, value in bits 16-23.
struct KorgMessage
{
    int status = 0;
    int cc = 0;
    int value = 0;  // 0..127
};
KorgMessage decodeKorgMessage(int in);
int packKorgMessage(int status, int cc, int value);

enum class KorgOp {
    None,
    Set,          // min .. max across the control's travel
    NegativeSet,  // the same, negated (a fader that runs the other way)
    Default,      // a fixed value
    Zero,         // max + min: the middle of a range symmetric about 0
    ComboStep,    // steps through a combo box's items after its placeholder
};

struct KorgAction
{
    KorgOp op = KorgOp::None;
    QString slider;  // target slider's display name (Set, NegativeSet, Default, Zero)
    int combo = -1;  // ComboStep: the box's combo box by creation order, 0-based
    int value = 0;   // Default: the value set
};

// The action of controller cc on a box of type; op None for a control the type leaves alone
// and for the types without a map.
KorgAction korgAction(int type, int cc);
// Every action of a type's map with its controller number, in cc order.
std::vector<std::pair<int, KorgAction>> korgMap(int type);

// Slider values for a control value v (0..127) on a slider of range min..max.
int korgSetValue(int min, int max, int v);
int korgNegativeValue(int min, int max, int v);
int korgZeroValue(int min, int max);
// The item a combo step chooses among count items, or -1 when nothing is chosen (the top of
// the travel: the step never reaches past the last item, nor the placeholder at 0).
int korgComboIndex(int count, int v);

// Host script lines of the connect button: ask the controller pane to start sending.
QStringList korgConnectScript();

}  // namespace verdix
