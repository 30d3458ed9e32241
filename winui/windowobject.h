// A window that is one of our objects: the object rides in the window's
// user data from WM_NCCREATE (CreateWindowEx's last argument) until
// WM_NCDESTROY, and every message in between goes to its OnMessage.
#pragma once

#include <windows.h>

namespace kovant::winui {

class WindowObject {
 public:
  virtual ~WindowObject() = default;

  // The class's window procedure.
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* self = static_cast<WindowObject*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      self->hwnd_ = hwnd;
    }
    WindowObject* self = Of(hwnd);
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
      return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->OnMessage(message, wParam, lParam);
  }

  // The object of a window of ours; nullptr before WM_NCCREATE and after WM_NCDESTROY.
  static WindowObject* Of(HWND hwnd) { return reinterpret_cast<WindowObject*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

 protected:
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

  HWND hwnd_ = nullptr;
};

}  // namespace kovant::winui
