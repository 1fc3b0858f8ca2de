#pragma once
// Icons at a window's scale. The pictures are drawn in several sizes; the one
// nearest to the wanted size is taken as drawn, since a stretched picture
// blurs (and older Windows stretches icons without any filter).

#include <windows.h>

#include <vector>

// The sizes an icon resource holds, ascending; empty when there is no such icon.
std::vector<int> IconSizes(HMODULE Module, int Id);
// The largest of Sizes (ascending) that is not above Wanted, so the picture
// fits where a picture of Wanted pixels goes; the smallest when all are
// larger; 0 when there are none.
int NearestIconSize(const std::vector<int>& Sizes, int Wanted);
// The icon at the size NearestIconSize picks (the caller destroys it); when
// even the smallest drawn size is larger than Wanted, the system shrinks it to
// Wanted. Null when the icon is missing.
HICON LoadIconNear(HMODULE Module, int Id, int Wanted);
// The width of an icon in pixels, 0 for none.
int IconWidth(HICON Icon);
