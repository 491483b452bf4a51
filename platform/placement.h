// Window placement arithmetic, apart from any window system so that it can be tested alone.
#pragma once

namespace pelvarn {

struct TArea {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

struct TPoint {
    int X = 0;
    int Y = 0;
};

// Where a form of formWidth by formHeight goes so that it sits over the centre of `main`,
// kept inside `workArea`: first clamped to the left and top edges, then to the right and
// bottom ones, so a form larger than the area ends on its right or bottom edge.
TPoint CenterOver(const TArea& main, int formWidth, int formHeight, const TArea& workArea);

} // namespace pelvarn
