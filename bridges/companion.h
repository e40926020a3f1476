#pragma once
// The ground height the walk-through pane asks for: every landscape answers for the point in
// its own frame, and the highest ground stands.
#include <QString>
#include <vector>
#include "terrain/heightquery.h"

namespace verdix {

struct LandscapeAnswer
{
    int box = 0;  // box index of the landscape
    HeightAnswer answer;
};

// The answers in box index order. The first landscape box (index 0) answers whatever it
// finds, 0 included; a later one only with a height other than 0, and the larger height wins.
// A landscape the point is not over has no say (its miss value is no ground), so a point
// over low ground is not lifted to the miss value's 0.
float companionHeight(const std::vector<LandscapeAnswer>& answers);

// The host script line that hands height to the walk-through pane.
QString companionReplyScript(float height);

}  // namespace verdix
