// Japanese text in a window under Wine is drawn with real glyphs: without a
// Japanese locale (or font) every character comes out as the same box, and
// a test that only opens a window passes all the same.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 64;

// The character drawn black on white in a window's compatible bitmap, one
// value per pixel.
std::vector<uint32_t> Draw(HWND window, HFONT font, const wchar_t* text) {
  HDC windowDc = GetDC(window);
  HDC dc = CreateCompatibleDC(windowDc);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kSize;
  info.bmiHeader.biHeight = -kSize;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<uint32_t> pixels;
  if (bitmap && bits) {
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont = SelectObject(dc, font);
    RECT all{0, 0, kSize, kSize};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, 4, 4, text, static_cast<int>(wcslen(text)));
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    pixels.assign(p, p + kSize * kSize);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(window, windowDc);
  return pixels;
}

int Inked(const std::vector<uint32_t>& pixels) {
  int n = 0;
  for (uint32_t p : pixels) n += (p & 0xFF) < 0x80;  // darker than mid-grey
  return n;
}

}  // namespace

TEST(JapaneseText, IsDrawnWithDistinctRealGlyphs) {
  HWND window = CreateWindowExW(0, L"STATIC", L"ぴこらん", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  // The UI font (the message font of the system's metrics) and the one
  // dialogs name, at a size where strokes are clear.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  LOGFONTW dialog = metrics.lfMessageFont;
  wcscpy_s(dialog.lfFaceName, L"MS Shell Dlg");
  for (LOGFONTW face : {metrics.lfMessageFont, dialog}) {
    face.lfHeight = -40;
    face.lfQuality = NONANTIALIASED_QUALITY;
    HFONT font = CreateFontIndirectW(&face);
    ASSERT_NE(font, nullptr);
    const std::string name(face.lfFaceName, face.lfFaceName + wcslen(face.lfFaceName));
    SCOPED_TRACE(name);
    // Unassigned code points: what a missing glyph looks like in this font.
    const std::vector<uint32_t> missing = Draw(window, font, L"\x0378");
    const std::vector<uint32_t> missing2 = Draw(window, font, L"\xFFFF");
    std::vector<std::vector<uint32_t>> drawn;
    for (const wchar_t* c : {L"郵", L"便", L"番", L"号", L"〒", L"ぴ", L"ラ"}) {
      drawn.push_back(Draw(window, font, c));
      ASSERT_EQ(drawn.back().size(), static_cast<size_t>(kSize * kSize));
      EXPECT_GT(Inked(drawn.back()), 20) << "character " << drawn.size() << " left no ink";
      EXPECT_TRUE(drawn.back() != missing) << "character " << drawn.size() << " is the missing glyph";
      EXPECT_TRUE(drawn.back() != missing2) << "character " << drawn.size() << " is the missing glyph";
      for (size_t i = 0; i + 1 < drawn.size(); ++i) {
        EXPECT_TRUE(drawn[i] != drawn.back()) << "characters " << i + 1 << " and " << drawn.size() << " look alike";
      }
    }
    DeleteObject(font);
  }
  DestroyWindow(window);
}
