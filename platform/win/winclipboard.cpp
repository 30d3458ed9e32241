#include "platform/win/winclipboard.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/win/ddelink.h"
#include "platform/windows.h"

namespace kovant::platform {
namespace {

// Another program may hold the clipboard open for a moment.
bool OpenWithRetry() {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(10);
  }
  return false;
}

bool Put(UINT format, const std::vector<char>& bytes) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!memory) return false;
  void* at = GlobalLock(memory);
  if (!at) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(at, bytes.data(), bytes.size());
  GlobalUnlock(memory);
  if (SetClipboardData(format, memory)) return true;
  GlobalFree(memory);
  return false;
}

}  // namespace

void WinClipboard::SetText(const std::string& utf8) {
  if (!OpenWithRetry()) return;
  EmptyClipboard();
  Put(CF_UNICODETEXT, Utf8ToLinkText(CF_UNICODETEXT, utf8));
  Put(CF_TEXT, Utf8ToLinkText(CF_TEXT, utf8));
  CloseClipboard();
}

std::string WinClipboard::Text() const {
  std::string text;
  if (!OpenWithRetry()) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = Narrow(std::wstring(chars, wcsnlen(chars, GlobalSize(data) / sizeof(wchar_t))));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace kovant::platform
