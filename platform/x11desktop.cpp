#include "platform/x11desktop.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/session.h"
#include "platform/sjis.h"

namespace kovant::platform {
namespace {

class NoDesktop : public Desktop {
 public:
  bool Available() const override { return false; }
  std::vector<TopWindow> TopLevelWindows() override { return {}; }
  void Restore(WindowId) override {}
  bool Activate(WindowId) override { return false; }
  bool SendKey(Key) override { return false; }
  void WaitForPaste() override {}
};

// Watches the requests other programs make for our clipboard; Qt answers
// them, we only note when a text type was asked for. Only the types Qt
// offers for a text count: a reader that asks for another first (GTK asks
// text/plain;charset=utf-8) is refused and has not got the text yet. Once
// Qt has answered, the text sits in the reader's own window property, and
// a new clipboard can no longer change what it reads.
class SelectionWatch : public QAbstractNativeEventFilter {
 public:
  explicit SelectionWatch(Display* dpy) {
    for (const char* name : {"UTF8_STRING", "STRING", "TEXT", "COMPOUND_TEXT", "text/plain"}) {
      textTargets_.push_back(XInternAtom(dpy, name, False));
    }
  }
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t") return false;
    auto* ev = static_cast<xcb_generic_event_t*>(message);
    if ((ev->response_type & 0x7F) == XCB_SELECTION_REQUEST) {
      auto* req = reinterpret_cast<xcb_selection_request_event_t*>(ev);
      ++requests_;
      sinceLast_.start();
      for (Atom a : textTargets_) {
        if (req->target == a) ++textRequests_;
      }
    }
    return false;
  }
  int TextRequests() const { return textRequests_; }
  int Requests() const { return requests_; }
  qint64 MsSinceLast() const { return sinceLast_.isValid() ? sinceLast_.elapsed() : 1 << 30; }

 private:
  std::vector<Atom> textTargets_;
  int requests_ = 0;
  int textRequests_ = 0;
  QElapsedTimer sinceLast_;
};

class X11Desktop : public Desktop {
 public:
  explicit X11Desktop(Display* dpy) : dpy_(dpy), root_(DefaultRootWindow(dpy)), watch_(dpy) {
    QCoreApplication::instance()->installNativeEventFilter(&watch_);
  }
  ~X11Desktop() override {
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(&watch_);
  }

  void WaitForPaste() override {
    // Editors ask for several targets one after another and fetch the text
    // asynchronously: wait for a text request and then a short quiet time.
    // A busy target takes its time over each request (a second and more
    // when busy 95 ms of every 100), but one that asks nothing for 5 s is
    // too slow to follow: the next piece would replace the text unread.
    const int before = watch_.TextRequests();
    int requests = watch_.Requests();
    QElapsedTimer quiet;  // since the key or the target's last request
    quiet.start();
    while (quiet.elapsed() < 5000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      if (watch_.Requests() != requests) {
        requests = watch_.Requests();
        quiet.restart();
      }
      if (watch_.TextRequests() > before && watch_.MsSinceLast() >= 50) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    taken_ = watch_.TextRequests() > before;
  }
  bool PasteTaken() const override { return taken_; }

  bool Available() const override { return true; }

  std::vector<TopWindow> TopLevelWindows() override {
    std::vector<Window> ids = WindowProperty(root_, "_NET_CLIENT_LIST_STACKING");
    if (ids.empty()) {
      Window rootRet = 0, parent = 0, *children = nullptr;
      unsigned int n = 0;
      if (XQueryTree(dpy_, root_, &rootRet, &parent, &children, &n) && children) {
        ids.assign(children, children + n);
        XFree(children);
      }
    }
    // Both lists run from the bottom of the stack to its top.
    std::vector<TopWindow> out;
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) out.push_back({*it, Caption(*it)});
    return out;
  }

  void Restore(WindowId id) override {
    const Window w = static_cast<Window>(id);
    if (HasWindowManager()) {
      // Off the maximised state, then out of the minimised one.
      SendWmMessage(
          w, "_NET_WM_STATE",
          {0 /* remove */, AtomL("_NET_WM_STATE_MAXIMIZED_VERT"), AtomL("_NET_WM_STATE_MAXIMIZED_HORZ"), 1, 0});
      SendWmMessage(w, "_NET_WM_STATE", {0, AtomL("_NET_WM_STATE_HIDDEN"), 0, 1, 0});
    }
    XMapRaised(dpy_, w);
    XSync(dpy_, False);
  }

  bool Activate(WindowId id) override {
    const Window w = static_cast<Window>(id);
    // An activation sent right after a restore can be lost: check and retry.
    for (int attempt = 0; attempt < 5; ++attempt) {
      if (HasWindowManager()) {
        SendWmMessage(w, "_NET_ACTIVE_WINDOW", {2 /* from a pager */, CurrentTime, 0, 0, 0});
      } else {
        XRaiseWindow(dpy_, w);
        XSetInputFocus(dpy_, w, RevertToParent, CurrentTime);
      }
      XSync(dpy_, False);
      for (int i = 0; i < 10; ++i) {
        if (ActiveWindow() == w) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    return ActiveWindow() == w;
  }

  bool SendKey(Key key) override {
    ReleaseHeldModifiers();
    std::vector<KeySym> modifiers;
    KeySym main = 0;
    switch (key) {
      case Key::Paste:
        modifiers = {XK_Shift_L};
        main = XK_Insert;
        break;
      case Key::Tab: main = XK_Tab; break;
      case Key::Enter: main = XK_Return; break;
      case Key::Down: main = XK_Down; break;
      case Key::CtrlF1:
        modifiers = {XK_Control_L};
        main = XK_F1;
        break;
    }
    const KeyCode code = XKeysymToKeycode(dpy_, main);
    if (code == 0) return false;
    for (KeySym m : modifiers) XTestFakeKeyEvent(dpy_, XKeysymToKeycode(dpy_, m), True, CurrentTime);
    XTestFakeKeyEvent(dpy_, code, True, CurrentTime);
    XTestFakeKeyEvent(dpy_, code, False, CurrentTime);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) {
      XTestFakeKeyEvent(dpy_, XKeysymToKeycode(dpy_, *it), False, CurrentTime);
    }
    XSync(dpy_, False);
    return true;
  }

 private:
  Atom Atom_(const char* name) { return XInternAtom(dpy_, name, False); }
  long AtomL(const char* name) { return static_cast<long>(Atom_(name)); }

  bool HasWindowManager() {
    std::vector<Window> check = WindowProperty(root_, "_NET_SUPPORTING_WM_CHECK");
    return !check.empty() && check[0] != 0;
  }

  Window ActiveWindow() {
    std::vector<Window> active = WindowProperty(root_, "_NET_ACTIVE_WINDOW");
    if (!active.empty()) return active[0];
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy_, &focus, &revert);
    return focus;
  }

  std::vector<Window> WindowProperty(Window w, const char* name) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<Window> out;
    if (XGetWindowProperty(dpy_, w, Atom_(name), 0, 1 << 16, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
      if (format == 32) {
        auto* values = reinterpret_cast<unsigned long*>(data);
        out.assign(values, values + count);
      }
      XFree(data);
    }
    return out;
  }

  // _NET_WM_NAME (UTF-8) or WM_NAME, cut to what 255 bytes of Shift-JIS hold.
  std::string Caption(Window w) {
    std::string text;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, w, Atom_("_NET_WM_NAME"), 0, 1024, False, Atom_("UTF8_STRING"), &type, &format, &count,
                           &after, &data) == Success &&
        data) {
      if (format == 8) text.assign(reinterpret_cast<char*>(data), count);
      XFree(data);
    }
    if (text.empty()) {
      XTextProperty prop{};
      if (XGetWMName(dpy_, w, &prop) && prop.value) {
        char** list = nullptr;
        int n = 0;
        if (Xutf8TextPropertyToTextList(dpy_, &prop, &list, &n) >= Success && list) {
          if (n > 0 && list[0]) text = list[0];
          XFreeStringList(list);
        }
        XFree(prop.value);
      }
    }
    if (text.empty()) return text;
    const std::string sjis = Utf8ToSjis(text);
    if (sjis.size() <= 255) return text;
    return SjisToUtf8(SjisPrefix(sjis, 255));
  }

  void SendWmMessage(Window w, const char* type, std::initializer_list<long> data) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = Atom_(type);
    ev.xclient.format = 32;
    int i = 0;
    for (long d : data) ev.xclient.data.l[i++] = d;
    XSendEvent(dpy_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
  }

  // A modifier the user still holds would turn Tab or Enter into another key.
  void ReleaseHeldModifiers() {
    char keys[32];
    XQueryKeymap(dpy_, keys);
    XModifierKeymap* map = XGetModifierMapping(dpy_);
    if (!map) return;
    for (int i = 0; i < 8 * map->max_keypermod; ++i) {
      KeyCode k = map->modifiermap[i];
      if (k != 0 && (keys[k / 8] & (1 << (k % 8)))) XTestFakeKeyEvent(dpy_, k, False, CurrentTime);
    }
    XFreeModifiermap(map);
  }

  Display* dpy_;
  Window root_;
  SelectionWatch watch_;
  bool taken_ = true;
};

}  // namespace

bool DesktopSessionReachable() {
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
  };
  if (set("QT_QPA_PLATFORM") || set("WAYLAND_DISPLAY")) return true;
  if (!set("DISPLAY")) return false;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  XCloseDisplay(display);
  return true;
}

std::unique_ptr<Desktop> MakeX11Desktop() {
  if (auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
    if (Display* dpy = x11->display()) {
      int event = 0, error = 0, major = 0, minor = 0;
      if (XTestQueryExtension(dpy, &event, &error, &major, &minor)) return std::make_unique<X11Desktop>(dpy);
    }
  }
  return std::make_unique<NoDesktop>();
}

}  // namespace kovant::platform
