#include "platform/waylanddesktop.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <linux/input-event-codes.h>
#include <poll.h>
#include <wayland-client.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "platform/clipboardkeeper.h"
#include "platform/datacontrol.h"
#include "platform/pastetiming.h"
#include "platform/waylandwindows.h"

namespace kovant::platform {
namespace {

using Clock = std::chrono::steady_clock;

// The connection, the seat and the clipboard; the windows and keys are the
// protocol family's the compositor offers, and one paste timing serves all.
class Compositor : public WaylandDesktop {
 public:
  explicit Compositor(std::unique_ptr<Clipboard> fallback) : fallback_(std::move(fallback)) {}

  ~Compositor() override {
    delete notifier_;
    delete unread_;
    windows_.reset();
    candidates_.clear();
    data_.reset();
    if (seat_) wl_seat_destroy(seat_);
    if (registry_) wl_registry_destroy(registry_);
    if (display_) wl_display_disconnect(display_);
  }

  bool Connect() {
    display_ = wl_display_connect(nullptr);
    if (!display_) return false;
    // A clipboard reader that closes its end early must not end us.
    std::signal(SIGPIPE, SIG_IGN);
    // In the order preferred where a compositor offers more than one.
    candidates_.push_back(MakeWlrootsWindows());
    candidates_.push_back(MakeKWinWindows());
    data_ = std::make_unique<DataControl>();
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    wl_display_roundtrip(display_);
    // By what the compositor offers, not by its name.
    for (auto& family : candidates_) {
      if (!windows_ && family->Offered()) windows_ = std::move(family);
    }
    candidates_.clear();
    if (!seat_ || !windows_) return false;
    if (data_->Bound()) {
      data_->Start(seat_);
      data_->OnFetched([this] { timing_.Fetched(); });
      data_->OnRead([this] { timing_.Read(); });
      timing_.TellsWhenRead();
    } else {
      data_.reset();
    }
    if (!windows_->Start(seat_)) return false;
    // The windows, their titles and states (KWin's come in a second round).
    wl_display_roundtrip(display_);
    wl_display_roundtrip(display_);
    // Events between our own calls (clipboard requests above all) are
    // read from Qt's event loop.
    notifier_ = new QSocketNotifier(wl_display_get_fd(display_), QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, [this] { Pump(0); });
    // A reader outside a paste (a clipboard manager, another program) gets
    // the end of its text once it has read it, between our own calls too.
    unread_ = new QTimer();
    unread_->setInterval(5);
    QObject::connect(unread_, &QTimer::timeout, [this] { Pump(0); });
    return wl_display_get_error(display_) == 0;
  }

  // Desktop
  bool Available() const override { return display_ && wl_display_get_error(display_) == 0; }

  std::vector<TopWindow> TopLevelWindows() override {
    wl_display_roundtrip(display_);
    return windows_->Windows();
  }

  void Restore(WindowId id) override {
    if (!windows_->Listed(id)) return;
    windows_->Restore(id);
    wl_display_roundtrip(display_);
  }

  bool Activate(WindowId id) override {
    if (!windows_->Listed(id)) return false;
    windows_->Activate(id, seat_);
    wl_display_flush(display_);
    return WaitUntil(std::chrono::milliseconds(1000),
                     [this, id] { return !windows_->Listed(id) || windows_->IsActive(id); });
  }

  bool IsActive(WindowId id) override {
    wl_display_roundtrip(display_);
    return windows_->IsActive(id);
  }

  bool SendKey(Key key) override {
    if (key == Key::Paste && data_) timing_.BeforeKey();
    uint32_t modifier = 0, code = 0;
    switch (key) {
      case Key::Paste: modifier = KEY_LEFTSHIFT, code = KEY_INSERT; break;
      case Key::Tab: code = KEY_TAB; break;
      case Key::Enter: code = KEY_ENTER; break;
      case Key::CtrlF1: modifier = KEY_LEFTCTRL, code = KEY_F1; break;
      case Key::Down: code = KEY_DOWN; break;
    }
    windows_->SendKey(modifier, code);
    return wl_display_roundtrip(display_) >= 0;
  }

  void WaitForPaste() override {
    if (data_) {
      taken_ = timing_.AfterKey();
    } else {
      // Qt's clipboard does not tell when the text was fetched.
      WaitUntil(std::chrono::milliseconds(150), [] { return false; });
    }
  }
  bool PasteTaken() const override { return taken_; }

  // The compositor keeps the focus from a program that asks for it itself.
  void BringForward(const std::string& ownCaption) override {
    if (!Available()) return;
    for (const TopWindow& w : TopLevelWindows()) {
      if (w.caption != ownCaption) continue;
      Restore(w.id);
      Activate(w.id);
      break;
    }
  }

  // Clipboard
  void SetText(const std::string& utf8) override {
    text_ = utf8;
    if (!data_) {
      if (fallback_) fallback_->SetText(utf8);
      return;
    }
    data_->SetText(utf8);
    timing_.Offered();
    wl_display_roundtrip(display_);
  }
  std::string Text() const override { return data_ || !fallback_ ? text_ : fallback_->Text(); }
  bool SetsWhileUnfocused() const override { return data_ || (fallback_ && fallback_->SetsWhileUnfocused()); }

  // Served on by a keeper process of our own, through data control too.
  void KeepAfterExit() override {
    if (!data_) {
      if (fallback_) fallback_->KeepAfterExit();
    } else if (data_->Owns()) {
      KeepClipboardAfterExit(data_->Text(), Session::Wayland);
    }
  }

 private:
  // Reads and dispatches what the compositor sent, waiting up to timeoutMs.
  void Pump(int timeoutMs) {
    while (wl_display_prepare_read(display_) != 0) wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
    pollfd p{wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&p, 1, timeoutMs) > 0) {
      wl_display_read_events(display_);
    } else {
      wl_display_cancel_read(display_);
    }
    wl_display_dispatch_pending(display_);
    if (data_) data_->Poll();
    if (unread_ && data_ && data_->Unread() != unread_->isActive()) {
      data_->Unread() ? unread_->start() : unread_->stop();
    }
  }

  // Runs both event loops until done() or the bound; true when done.
  template <typename Done>
  bool WaitUntil(std::chrono::milliseconds bound, Done done) {
    const auto end = Clock::now() + bound;
    for (;;) {
      if (done()) return true;
      if (Clock::now() >= end || !Available()) return false;
      Pump(2);
      QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
  }

  // Globals announced while connecting go to whoever binds them.
  static void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    auto* self = static_cast<Compositor*>(data);
    if (self->candidates_.empty()) return;
    if (std::strcmp(interface, wl_seat_interface.name) == 0) {
      if (!self->seat_) self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
      return;
    }
    if (self->data_->Bind(registry, name, interface, version)) return;
    for (auto& family : self->candidates_) {
      if (family->Bind(registry, name, interface, version)) return;
    }
  }
  static void GlobalRemove(void*, wl_registry*, uint32_t) {}
  static constexpr wl_registry_listener kRegistryListener{Global, GlobalRemove};

  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  std::vector<std::unique_ptr<WaylandWindows>> candidates_;  // while connecting
  std::unique_ptr<WaylandWindows> windows_;
  std::unique_ptr<DataControl> data_;  // null where the compositor has none
  std::unique_ptr<Clipboard> fallback_;
  QSocketNotifier* notifier_ = nullptr;
  QTimer* unread_ = nullptr;  // runs while a reader has not read to the end
  std::string text_;
  bool taken_ = true;
  PasteTiming timing_{
      [this](std::chrono::milliseconds bound, const std::function<bool()>& done) { return WaitUntil(bound, done); }};
};

}  // namespace

std::unique_ptr<WaylandDesktop> MakeWaylandDesktop(std::unique_ptr<Clipboard> fallback) {
  auto desktop = std::make_unique<Compositor>(std::move(fallback));
  if (!desktop->Connect()) return nullptr;
  return desktop;
}

}  // namespace kovant::platform
