// Where every control of the program's windows stands, what it says and
// how it looks: the one table the Qt view and the Win32 view both build
// their controls from, so that the two show the same window.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kovant::window::layout {

enum class Kind { Label, TextBox, OptionButton, CheckBox, Button, ListBox, ComboBox, Frame, Progress, Link };
// Left and Centre: one line, centred from top to bottom; TopLeft: a text
// that wraps, from the top.
enum class Align { Left, Centre, TopLeft };

// Left, top, width and height in twips (1/1440 inch), within the parent.
struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  constexpr int Right() const { return left + width; }
  constexpr int Bottom() const { return top + height; }
  constexpr bool operator==(const Rect&) const = default;
};

// "ＭＳ Ｐゴシック" (proportional) or "ＭＳ ゴシック", in hundredths of a point.
struct Font {
  bool proportional = false;
  int centiPoints = 975;
  bool bold = false;
  constexpr double Points() const { return centiPoints / 100.0; }
  constexpr bool operator==(const Font&) const = default;
};

// Colours as 0xRRGGBB; kNoColour keeps the system's.
inline constexpr int32_t kNoColour = -1;
// The main window's left and top edge from the screen's when it opens.
inline constexpr int kMainWindowLeftTop = 500;
// The text of the heading over the list the keys act on.
inline constexpr int32_t kMarkedHeading = 0xFF0000;
// A control outside the focus sequence.
inline constexpr int kNoTab = -1;

struct Control {
  std::string_view name;  // as the window's handlers call it: "Label4(1)"
  Kind kind = Kind::Label;
  std::string_view caption;  // UTF-8
  Rect place;
  // Position in the focus sequence, from 0; controls that take no focus
  // (labels, frames) keep theirs too, as the window always had them.
  int tab = kNoTab;
  Font font;
  int32_t background = kNoColour, text = kNoColour;
  Align align = Align::Left;
  std::string_view parent;  // the frame that holds it; empty: the window
  std::string_view spokenName, spokenDescription;
  // The place and the caption in the window's other mode (the search
  // mode, the delete mode); empty: the same.
  Rect other;
  std::string_view otherCaption;
  // A heading band drawn behind the controls it heads.
  bool behind = false;

  bool TakesFocus() const;
  bool Shown() const { return kind != Kind::Link; }
  // The array a member of a control array belongs to ("Label4" of
  // "Label4(1)"), the name itself for a single control.
  std::string_view Array() const;
};

struct Window {
  std::string_view name, title;
  std::string_view otherTitle;  // in the window's other mode (the delete mode)
  int width = 0, height = 0;    // the client area in twips
  Font font;
  std::span<const Control> controls;

  // The control of that name; nullptr when the window has none.
  const Control* Find(std::string_view controlName) const;
  // The same, for a name the window is known to have (an empty control
  // for one it has not).
  const Control& operator[](std::string_view controlName) const;
  // The controls that take the focus, in the order Tab goes through them.
  std::vector<const Control*> TabOrder() const;
  // Where a control stands in the window's client area (a frame's
  // controls are placed within their frame).
  Rect InWindow(const Control& control) const;
};

const Window& Main();      // KOVANT1
const Window& Settings();  // KOVANT2
const Window& Profile();   // KOVANT3
const Window& Update();    // the dictionary update

// The name of a member of a control array: Indexed("Label4", 1) is "Label4(1)".
std::string Indexed(std::string_view array, int index);

}  // namespace kovant::window::layout
