#include "winui/controls.h"

#include <commctrl.h>

#include "platform/windows.h"

namespace kovant::winui {
namespace {

using window::layout::Align;
using window::layout::Control;
using window::layout::Kind;

struct KindClass {
  const wchar_t* cls;
  DWORD style;
};

KindClass ClassOf(const Control& c) {
  switch (c.kind) {
    case Kind::TextBox:
      return {WC_EDITW, static_cast<DWORD>(ES_AUTOHSCROLL | (c.align == Align::Centre ? ES_CENTER : 0))};
    case Kind::OptionButton: return {WC_BUTTONW, BS_AUTORADIOBUTTON};
    case Kind::CheckBox: return {WC_BUTTONW, BS_AUTOCHECKBOX | BS_MULTILINE};
    case Kind::Button: return {WC_BUTTONW, BS_PUSHBUTTON};
    case Kind::ListBox: return {WC_LISTBOXW, LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL};
    case Kind::ComboBox: return {WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL};
    case Kind::Frame: return {WC_BUTTONW, BS_GROUPBOX};
    case Kind::Progress: return {PROGRESS_CLASSW, 0};
    default: break;
  }
  DWORD style = SS_NOPREFIX;
  if (c.align == Align::Centre) style |= SS_CENTER | SS_CENTERIMAGE;
  if (c.align == Align::Left) style |= SS_LEFT | SS_CENTERIMAGE;
  // A band behind the controls it heads is drawn only where they are not.
  if (c.behind) style |= WS_CLIPSIBLINGS;
  return {WC_STATICW, style};
}

}  // namespace

std::vector<Making> MakingOrder(const window::layout::Window& table) {
  std::vector<Making> order;
  auto add = [&order](const Control& c, DWORD tabStyle) {
    const KindClass k = ClassOf(c);
    const bool sunken = c.kind == Kind::TextBox || c.kind == Kind::ListBox;
    order.push_back({&c, k.cls, WS_CHILD | WS_VISIBLE | k.style | tabStyle, sunken ? WS_EX_CLIENTEDGE : 0u});
  };
  for (const Control& c : table.controls) {
    if (c.Shown() && !c.TakesFocus()) add(c, 0);
  }
  std::string_view previousArray;
  for (const Control* c : table.TabOrder()) {
    const bool sameGroup = c->kind == Kind::OptionButton && c->Array() == previousArray;
    add(*c, sameGroup ? 0 : WS_GROUP | WS_TABSTOP);
    previousArray = c->kind == Kind::OptionButton ? c->Array() : std::string_view();
  }
  return order;
}

int Px(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

RECT PixelsOf(const window::layout::Window& table, const Control& control, int dpi) {
  const window::layout::Rect r = table.InWindow(control);
  return {Px(r.left, dpi), Px(r.top, dpi), Px(r.Right(), dpi), Px(r.Bottom(), dpi)};
}

void MakeControls(HWND window, const window::layout::Window& table, int dpi,
                  const std::function<MadeAs(std::string_view)>& idOf, int firstFree,
                  const std::function<void(HWND, int, const Control&)>& made) {
  int nextFree = firstFree;
  std::vector<HWND> behind;
  for (const Making& m : MakingOrder(table)) {
    const Control& c = *m.control;
    const MadeAs given = idOf(c.name);
    const int id = given.id != 0 ? given.id : nextFree++;
    const RECT r = PixelsOf(table, c, dpi);
    HWND control =
        CreateWindowExW(m.exStyle, m.cls, platform::Wide(std::string(c.caption)).c_str(),
                        (m.style | given.style) & ~given.without, r.left, r.top, r.right - r.left, r.bottom - r.top,
                        window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (c.behind) behind.push_back(control);
    made(control, id, c);
  }
  for (HWND band : behind) SetWindowPos(band, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

COLORREF ColourRefOf(int32_t rgb, COLORREF none) {
  if (rgb == window::layout::kNoColour) return none;
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

int FontKey(const window::layout::Font& font) {
  return (font.proportional ? 1 : 0) | (font.bold ? 2 : 0) | (font.centiPoints << 2);
}

HFONT CreateTableFont(const window::layout::Font& font, int dpi) {
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(font.centiPoints, dpi, 7200);
  lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  if (font.proportional) {
    // The system's own UI font (its message font), Japanese on a Japanese system.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi));
    lstrcpynW(lf.lfFaceName, metrics.lfMessageFont.lfFaceName, LF_FACESIZE);
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  } else {
    // The codes line up in a fixed-pitch Gothic.
    lstrcpynW(lf.lfFaceName, L"ＭＳ ゴシック", LF_FACESIZE);
    lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  }
  return CreateFontIndirectW(&lf);
}

}  // namespace kovant::winui
