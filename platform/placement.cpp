#include "platform/placement.h"

namespace pelvarn {

TPoint CenterOver(const TArea& main, int formWidth, int formHeight, const TArea& workArea) {
    TPoint p;
    p.X = main.Left + main.Width / 2 - formWidth / 2;
    p.Y = main.Top + main.Height / 2 - formHeight / 2;
    if (p.X < workArea.Left) p.X = workArea.Left;
    if (p.Y < workArea.Top) p.Y = workArea.Top;
    if (p.X + formWidth > workArea.Left + workArea.Width)
        p.X = workArea.Left + workArea.Width - formWidth;
    if (p.Y + formHeight > workArea.Top + workArea.Height)
        p.Y = workArea.Top + workArea.Height - formHeight;
    return p;
}

} // namespace pelvarn
