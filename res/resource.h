#pragma once
// Resource identifiers. Ranges: 1-99 program-wide, 100-999 main window,
// 1000-1999 main menu commands (menu tags), 2000-2999 options dialog,
// 3000-3999 confirmation and About boxes.

#define IDI_VELLUMIX 1
