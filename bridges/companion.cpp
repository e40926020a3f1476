#include "bridges/companion.h"
#include <QLabel>
#include <algorithm>
#include <cmath>
#include <dzapp.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzscript.h>
#include "pane/verdixpane.h"

namespace verdix {

float companionHeight(const std::vector<LandscapeAnswer>& answers)
{
    float height = 0.f;
    bool answered = false;
    for (const LandscapeAnswer& a : answers) {
        if (a.answer.hit == HeightHit::OutOfBounds) continue;
        const float h = a.answer.height;
        if (a.box == 0) {
            height = h;
        } else {
            if (h == 0.f) continue;
            height = answered ? std::max(height, h) : h;
        }
        answered = true;
    }
    return height;
}

QString companionReplyScript(float height)
{
    // A broken terrain must not break the companion's script with a "nan".
    const double h = std::isfinite(height) ? double(height) : 0.0;
    return QString(
               "var oPaneMgr=MainWindow.getPaneMgr(); var myPane=oPaneMgr.findPane(\"ZPK_TrekkoPane\"); "
               "if(myPane){myPane.VerdixHeight(%1);}")
        .arg(h, 0, 'g', 6);
}

}  // namespace verdix

void ZPK_VerdixPane::InputFromTrekko(float X, float Z)
{
    std::vector<verdix::LandscapeAnswer> answers;
    for (int i = 0; i < m_boxes.count(); ++i) {
        const ControlBox& box = m_boxes[i];
        if (box.type != TypeLandscape) continue;
        // A landscape without its node stands at the origin.
        DzNode* node = dzScene && box.titleLabel ? dzScene->findNodeByLabel(box.titleLabel->text()) : nullptr;
        const DzVec3 P = node ? node->getWSPos() : DzVec3(0.f, 0.f, 0.f);
        verdix::LandscapeAnswer a;
        a.box = i;
        a.answer = heightAnswer(i, X - P.x(), Z - P.z(), nullptr, nullptr, nullptr);
        // The terrain answers in its node's frame; the walker's eye stands in the world.
        if (a.answer.hit == HeightHit::Found) a.answer.height += P.y();
        answers.push_back(a);
    }
    DzScript script;
    script.clear();
    script.addLine(verdix::companionReplyScript(verdix::companionHeight(answers)));
    if (!script.execute() && dzApp) dzApp->statusLine(script.errorMessage());
}
