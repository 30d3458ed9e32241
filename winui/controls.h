// Win32 controls made from the layout table (window/layout.h): the class
// and styles of each kind, the order the system's Tab key follows, the
// fonts and colours.
#pragma once

#include <windows.h>

#include <functional>
#include <string_view>
#include <vector>

#include "window/layout.h"

namespace kovant::winui {

// How a control of the table is made.
struct Making {
  const window::layout::Control* control;
  const wchar_t* cls;
  DWORD style;  // WS_CHILD | WS_VISIBLE and the kind's own, Tab stops included
  DWORD exStyle;
};

// The controls in the order they are made: the captions and frames first,
// then those that take the focus in the table's Tab order, since the
// system's Tab key goes through the controls in the order they were made.
// The first option of an array starts a group and is the Tab stop (the
// arrows choose within it); every other focusable control is a group.
std::vector<Making> MakingOrder(const window::layout::Window& table);

// The identifier a window gives one of its controls (0: one the window
// never addresses) and the styles it adds to the kind's.
struct MadeAs {
  int id = 0;
  DWORD style = 0;
  DWORD without = 0;  // styles of the kind it does without
};

// Makes every control of the window; a control without an identifier of
// its own gets the next free one from firstFree. made is called with each.
void MakeControls(HWND window, const window::layout::Window& table, int dpi,
                  const std::function<MadeAs(std::string_view)>& idOf, int firstFree,
                  const std::function<void(HWND, int, const window::layout::Control&)>& made);

// The control's place in the window's client area, in pixels at dpi.
RECT PixelsOf(const window::layout::Window& table, const window::layout::Control& control, int dpi);
int Px(int twips, int dpi);

// A colour of the table, or none for kNoColour.
COLORREF ColourRefOf(int32_t rgb, COLORREF none);
// One number for each font of the table, to keep the fonts made by.
int FontKey(const window::layout::Font& font);
// The font of the table at dpi; the caller deletes it.
HFONT CreateTableFont(const window::layout::Font& font, int dpi);

}  // namespace kovant::winui
