#include "platform/win/winclipboard.h"

#include <cstring>
#include <vector>

#include "platform/win/ddelink.h"
#include "platform/windows.h"

namespace kovant::platform {
namespace {

// Another program may hold the clipboard open for a moment.
bool OpenWithRetry(HWND owner) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(10);
  }
  return false;
}

HGLOBAL Copy(const std::vector<char>& bytes) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!memory) return nullptr;
  void* at = GlobalLock(memory);
  if (!at) {
    GlobalFree(memory);
    return nullptr;
  }
  std::memcpy(at, bytes.data(), bytes.size());
  GlobalUnlock(memory);
  return memory;
}

constexpr const wchar_t* kOwnerClass = L"KOVANT.ClipboardOwner";

}  // namespace

WinClipboard::WinClipboard() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = OwnerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kOwnerClass;
  RegisterClassExW(&wc);
  owner_ = CreateWindowExW(0, kOwnerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  if (owner_) SetWindowLongPtrW(owner_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

WinClipboard::~WinClipboard() {
  if (!owner_) return;
  SetWindowLongPtrW(owner_, GWLP_USERDATA, 0);
  KeepAfterExit();
  DestroyWindow(owner_);
}

LRESULT CALLBACK WinClipboard::OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<WinClipboard*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_RENDERFORMAT:
      // A reader asks: the clipboard is open for it already.
      if (self->Render(static_cast<UINT>(wParam))) self->takenSinceSet_ = true;
      return 0;
    case WM_RENDERALLFORMATS: self->KeepAfterExit(); return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

bool WinClipboard::Render(UINT format) const {
  if (!IsLinkFormat(format)) return false;
  HGLOBAL memory = Copy(Utf8ToLinkText(format, text_));
  if (!memory) return false;
  if (SetClipboardData(format, memory)) return true;
  GlobalFree(memory);
  return false;
}

void WinClipboard::SetText(const std::string& utf8) {
  text_ = utf8;
  takenSinceSet_ = false;
  lastSetOk_ = false;
  if (!OpenWithRetry(owner_)) return;
  if (EmptyClipboard()) {
    if (owner_) {
      // Rendered when asked for: the request is the sign the text was taken.
      lastSetOk_ = SetClipboardData(CF_UNICODETEXT, nullptr) != nullptr;
      SetClipboardData(CF_TEXT, nullptr);
    } else {
      lastSetOk_ = Render(CF_UNICODETEXT);
      Render(CF_TEXT);
    }
  }
  CloseClipboard();
}

std::string WinClipboard::Text() const {
  // Our own text is read without rendering it: a render is a reader's sign.
  if (Owned()) return text_;
  std::string text;
  if (!OpenWithRetry(owner_)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = Narrow(std::wstring(chars, wcsnlen(chars, GlobalSize(data) / sizeof(wchar_t))));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void WinClipboard::KeepAfterExit() {
  if (!Owned() || !OpenWithRetry(owner_)) return;
  // Still ours once open: render what no reader has asked for yet.
  if (GetClipboardOwner() == owner_) {
    Render(CF_UNICODETEXT);
    Render(CF_TEXT);
  }
  CloseClipboard();
}

}  // namespace kovant::platform
