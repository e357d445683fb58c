// The fills of a pressed and of a hot button face when no skin draws them
// (buttons, the combo box's and the edit box's buttons, scroll bar arrows).
#pragma once

#include "toolkit/graphics.h"

inline constexpr TColor kDownFill = RGB(133, 147, 181);
inline constexpr TColor kHotFill = RGB(182, 189, 210);
