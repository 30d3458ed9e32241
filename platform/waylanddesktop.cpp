#include "platform/waylanddesktop.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/pastetiming.h"
#include "fake-input-client-protocol.h"
#include "plasma-window-management-client-protocol.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace kovant::platform {
namespace {

using Clock = std::chrono::steady_clock;

// An event we take no interest in, whatever its arguments.
template <typename... Args>
void Ignore(void*, Args...) {}

struct Toplevel {
  zwlr_foreign_toplevel_handle_v1* handle = nullptr;  // wlroots
  org_kde_plasma_window* plasma = nullptr;            // KDE
  std::string uuid;                                   // KDE
  WindowId id = 0;
  std::string title, pendingTitle;
  bool activated = false, pendingActivated = false;
  bool known = false;       // its first state is in
  uint64_t lastActive = 0;  // when it last became the active window
};

// One class for the compositors that show their windows to a program: a
// wlroots compositor through the foreign-toplevel list and a virtual
// keyboard, KWin through its window management and fake input. The
// clipboard is data control on both, and one paste timing serves both.
class Compositor : public WaylandDesktop {
 public:
  ~Compositor() override {
    delete notifier_;
    for (auto& [id, t] : toplevels_) {
      if (t.handle) zwlr_foreign_toplevel_handle_v1_destroy(t.handle);
      if (t.plasma) org_kde_plasma_window_destroy(t.plasma);
    }
    if (fakeInput_) org_kde_kwin_fake_input_destroy(fakeInput_);
    if (plasmaManager_) org_kde_plasma_window_management_destroy(plasmaManager_);
    for (auto* offer : offers_) zwlr_data_control_offer_v1_destroy(offer);
    for (auto* s : {clipboardSource_, primarySource_}) {
      if (s) zwlr_data_control_source_v1_destroy(s);
    }
    if (device_) zwlr_data_control_device_v1_destroy(device_);
    if (keyboard_) zwp_virtual_keyboard_v1_destroy(keyboard_);
    if (toplevelManager_) zwlr_foreign_toplevel_manager_v1_destroy(toplevelManager_);
    if (dataManager_) zwlr_data_control_manager_v1_destroy(dataManager_);
    if (keyboardManager_) zwp_virtual_keyboard_manager_v1_destroy(keyboardManager_);
    if (seat_) wl_seat_destroy(seat_);
    if (registry_) wl_registry_destroy(registry_);
    if (display_) wl_display_disconnect(display_);
  }

  bool Connect() {
    display_ = wl_display_connect(nullptr);
    if (!display_) return false;
    // A clipboard reader that closes its end early must not end us.
    std::signal(SIGPIPE, SIG_IGN);
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    wl_display_roundtrip(display_);
    if (!seat_ || !dataManager_) return false;
    // By what the compositor offers, not by its name.
    const bool wlroots = toplevelManager_ && keyboardManager_;
    const bool plasma = plasmaManager_ && fakeInput_;
    if (!wlroots && !plasma) return false;
    device_ = zwlr_data_control_manager_v1_get_data_device(dataManager_, seat_);
    zwlr_data_control_device_v1_add_listener(device_, &kDeviceListener, this);
    if (wlroots) {
      plasma_ = false;
      keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboardManager_, seat_);
      if (!SendKeymap()) return false;
    } else {
      plasma_ = true;
      org_kde_kwin_fake_input_authenticate(fakeInput_, "ぴこらん", "住所を他のアプリケーションに貼り付けるため");
    }
    // The windows, their titles and states (KWin's come in a second round).
    wl_display_roundtrip(display_);
    wl_display_roundtrip(display_);
    // Events between our own calls (clipboard requests above all) are
    // read from Qt's event loop.
    notifier_ = new QSocketNotifier(wl_display_get_fd(display_), QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, [this] { Pump(0); });
    return wl_display_get_error(display_) == 0;
  }

  // Desktop
  bool Available() const override { return display_ && wl_display_get_error(display_) == 0; }

  std::vector<TopWindow> TopLevelWindows() override {
    wl_display_roundtrip(display_);
    std::vector<const Toplevel*> order;
    for (const auto& [id, t] : toplevels_) {
      if (t.known) order.push_back(&t);
    }
    // Most recently active first, then from the top of the stack where the
    // compositor tells it, then the newest.
    auto height = [this](const Toplevel* t) {
      auto it = std::find(stacking_.begin(), stacking_.end(), t->uuid);
      return it == stacking_.end() ? -1 : static_cast<int>(it - stacking_.begin());
    };
    std::stable_sort(order.begin(), order.end(), [&](const Toplevel* a, const Toplevel* b) {
      if (a->lastActive != b->lastActive) return a->lastActive > b->lastActive;
      if (height(a) != height(b)) return height(a) > height(b);
      return a->id > b->id;
    });
    std::vector<TopWindow> out;
    for (const Toplevel* t : order) out.push_back({t->id, t->title});
    return out;
  }

  void Restore(WindowId id) override {
    if (Toplevel* t = Find(id)) {
      if (t->plasma) {
        org_kde_plasma_window_set_state(
            t->plasma,
            ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED | ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MAXIMIZED, 0);
      } else {
        zwlr_foreign_toplevel_handle_v1_unset_minimized(t->handle);
        zwlr_foreign_toplevel_handle_v1_unset_maximized(t->handle);
      }
      wl_display_roundtrip(display_);
    }
  }

  bool Activate(WindowId id) override {
    Toplevel* t = Find(id);
    if (!t) return false;
    if (t->plasma) {
      org_kde_plasma_window_set_state(t->plasma, ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE,
                                      ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE);
    } else {
      zwlr_foreign_toplevel_handle_v1_activate(t->handle, seat_);
    }
    wl_display_flush(display_);
    return WaitUntil(std::chrono::milliseconds(1000), [this, id] {
      const Toplevel* now = Find(id);
      return !now || now->activated;
    });
  }

  bool IsActive(WindowId id) override {
    wl_display_roundtrip(display_);
    const Toplevel* t = Find(id);
    return t && t->activated;
  }

  bool SendKey(Key key) override {
    if (key == Key::Paste) timing_.BeforeKey();
    uint32_t modifier = 0, code = 0;
    switch (key) {
      case Key::Paste: modifier = KEY_LEFTSHIFT, code = KEY_INSERT; break;
      case Key::Tab: code = KEY_TAB; break;
      case Key::Enter: code = KEY_ENTER; break;
      case Key::CtrlF1: modifier = KEY_LEFTCTRL, code = KEY_F1; break;
      case Key::Down: code = KEY_DOWN; break;
    }
    if (plasma_) {
      // KWin keeps the modifiers from the keys themselves.
      constexpr uint32_t kPressed = WL_KEYBOARD_KEY_STATE_PRESSED, kReleased = WL_KEYBOARD_KEY_STATE_RELEASED;
      if (modifier) org_kde_kwin_fake_input_keyboard_key(fakeInput_, modifier, kPressed);
      org_kde_kwin_fake_input_keyboard_key(fakeInput_, code, kPressed);
      org_kde_kwin_fake_input_keyboard_key(fakeInput_, code, kReleased);
      if (modifier) org_kde_kwin_fake_input_keyboard_key(fakeInput_, modifier, kReleased);
      return wl_display_roundtrip(display_) >= 0;
    }
    const uint32_t mods = modifier == KEY_LEFTSHIFT ? shiftMask_ : modifier == KEY_LEFTCTRL ? ctrlMask_ : 0;
    const uint32_t time = Now();
    if (mods) zwp_virtual_keyboard_v1_modifiers(keyboard_, mods, 0, 0, 0);
    zwp_virtual_keyboard_v1_key(keyboard_, time, code, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(keyboard_, time + 1, code, WL_KEYBOARD_KEY_STATE_RELEASED);
    if (mods) zwp_virtual_keyboard_v1_modifiers(keyboard_, 0, 0, 0, 0);
    return wl_display_roundtrip(display_) >= 0;
  }

  void WaitForPaste() override { timing_.AfterKey(); }

  // Clipboard
  void SetText(const std::string& utf8) override {
    text_ = utf8;
    auto offer = [this] {
      zwlr_data_control_source_v1* source = zwlr_data_control_manager_v1_create_data_source(dataManager_);
      for (const char* type : kWaylandTextTypes) zwlr_data_control_source_v1_offer(source, type);
      zwlr_data_control_source_v1_add_listener(source, &kSourceListener, this);
      return source;
    };
    // Replaced sources are cancelled by the compositor and destroyed then.
    clipboardSource_ = offer();
    zwlr_data_control_device_v1_set_selection(device_, clipboardSource_);
    if (zwlr_data_control_device_v1_get_version(device_) >=
        ZWLR_DATA_CONTROL_DEVICE_V1_SET_PRIMARY_SELECTION_SINCE_VERSION) {
      primarySource_ = offer();
      zwlr_data_control_device_v1_set_primary_selection(device_, primarySource_);
    }
    timing_.Offered();
    wl_display_roundtrip(display_);
  }
  std::string Text() const override { return text_; }
  bool OwnsClipboard() const override { return clipboardSource_ != nullptr; }

 private:
  Toplevel* Find(WindowId id) {
    auto it = toplevels_.find(id);
    return it == toplevels_.end() ? nullptr : &it->second;
  }

  static uint32_t Now() {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
  }

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

  bool SendKeymap() {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context) return false;
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    bool sent = false;
    if (keymap) {
      shiftMask_ = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
      ctrlMask_ = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CTRL);
      if (char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1)) {
        const size_t size = std::strlen(text) + 1;
        const int fd = memfd_create("kovant-keymap", MFD_CLOEXEC);
        if (fd >= 0 && write(fd, text, size) == static_cast<ssize_t>(size)) {
          zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, static_cast<uint32_t>(size));
          sent = true;
        }
        if (fd >= 0) close(fd);
        free(text);
      }
      xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
    return sent;
  }

  // Listeners.
  static void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    auto* self = static_cast<Compositor*>(data);
    auto bind = [&](const wl_interface* which, uint32_t highest) {
      return wl_registry_bind(registry, name, which, std::min(version, highest));
    };
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_) {
      self->seat_ = static_cast<wl_seat*>(bind(&wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0) {
      self->toplevelManager_ =
          static_cast<zwlr_foreign_toplevel_manager_v1*>(bind(&zwlr_foreign_toplevel_manager_v1_interface, 3));
      zwlr_foreign_toplevel_manager_v1_add_listener(self->toplevelManager_, &kManagerListener, self);
    } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
      self->dataManager_ = static_cast<zwlr_data_control_manager_v1*>(bind(&zwlr_data_control_manager_v1_interface, 2));
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
      self->keyboardManager_ =
          static_cast<zwp_virtual_keyboard_manager_v1*>(bind(&zwp_virtual_keyboard_manager_v1_interface, 1));
    } else if (std::strcmp(interface, org_kde_plasma_window_management_interface.name) == 0 && version >= 13) {
      // 13: windows by their uuid, and the stacking order.
      self->plasmaManager_ = static_cast<org_kde_plasma_window_management*>(
          bind(&org_kde_plasma_window_management_interface, org_kde_plasma_window_management_interface.version));
      org_kde_plasma_window_management_add_listener(self->plasmaManager_, &kPlasmaListener, self);
    } else if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4) {
      self->fakeInput_ = static_cast<org_kde_kwin_fake_input*>(bind(&org_kde_kwin_fake_input_interface, 4));
    }
  }
  static void GlobalRemove(void*, wl_registry*, uint32_t) {}

  // A window as the compositor names it: a handle of either protocol.
  Toplevel& Add(const void* handle) {
    const WindowId id = ++nextId_;
    ids_[handle] = id;
    Toplevel& t = toplevels_[id];
    t.id = id;
    return t;
  }
  Toplevel* Of(const void* handle) {
    auto it = ids_.find(handle);
    return it == ids_.end() ? nullptr : Find(it->second);
  }
  // Forgets a closed window; false when the handle is none of ours.
  bool Forget(const void* handle) {
    auto it = ids_.find(handle);
    if (it == ids_.end()) return false;
    toplevels_.erase(it->second);
    ids_.erase(it);
    return true;
  }

  static void NewToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<Compositor*>(data);
    self->Add(handle).handle = handle;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener, self);
  }
  static void ManagerFinished(void*, zwlr_foreign_toplevel_manager_v1*) {}
  static void Title(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* title) {
    if (Toplevel* t = static_cast<Compositor*>(data)->Of(handle)) t->pendingTitle = title;
  }
  static void AppId(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
  static void OutputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
  static void OutputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
  static void State(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states) {
    Toplevel* t = static_cast<Compositor*>(data)->Of(handle);
    if (!t) return;
    t->pendingActivated = false;
    const auto* begin = static_cast<const uint32_t*>(states->data);
    for (const uint32_t* s = begin; s < begin + states->size / sizeof(uint32_t); ++s) {
      if (*s == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED) t->pendingActivated = true;
    }
  }
  static void Done(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<Compositor*>(data);
    Toplevel* t = self->Of(handle);
    if (!t) return;
    t->title = t->pendingTitle;
    t->known = true;
    if (t->pendingActivated && !t->activated) t->lastActive = ++self->activations_;
    t->activated = t->pendingActivated;
  }
  static void Closed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
    if (static_cast<Compositor*>(data)->Forget(handle)) zwlr_foreign_toplevel_handle_v1_destroy(handle);
  }
  static void Parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

  // KWin's windows: a window's state comes with each change, its end with
  // unmapped; the stacking order as uuids from bottom to top.
  static void PlasmaWindow(void* data, org_kde_plasma_window_management* manager, uint32_t, const char* uuid) {
    auto* self = static_cast<Compositor*>(data);
    org_kde_plasma_window* window = org_kde_plasma_window_management_get_window_by_uuid(manager, uuid);
    Toplevel& t = self->Add(window);
    t.plasma = window;
    t.uuid = uuid;
    org_kde_plasma_window_add_listener(window, &kPlasmaWindowListener, self);
  }
  static void PlasmaStacking(void* data, org_kde_plasma_window_management*, const char* uuids) {
    auto* self = static_cast<Compositor*>(data);
    self->stacking_.clear();
    for (std::string_view rest = uuids; !rest.empty();) {
      const size_t end = std::min(rest.find(';'), rest.size());
      self->stacking_.emplace_back(rest.substr(0, end));
      rest.remove_prefix(std::min(end + 1, rest.size()));
    }
  }
  static void PlasmaTitle(void* data, org_kde_plasma_window* window, const char* title) {
    if (Toplevel* t = static_cast<Compositor*>(data)->Of(window)) t->title = title;
  }
  static void PlasmaState(void* data, org_kde_plasma_window* window, uint32_t flags) {
    auto* self = static_cast<Compositor*>(data);
    Toplevel* t = self->Of(window);
    if (!t) return;
    const bool active = flags & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE;
    if (active && !t->activated) t->lastActive = ++self->activations_;
    t->activated = active;
  }
  static void PlasmaInitialState(void* data, org_kde_plasma_window* window) {
    if (Toplevel* t = static_cast<Compositor*>(data)->Of(window)) t->known = true;
  }
  static void PlasmaUnmapped(void* data, org_kde_plasma_window* window) {
    if (static_cast<Compositor*>(data)->Forget(window)) org_kde_plasma_window_destroy(window);
  }

  // The compositor announces every selection, ours and others', as an
  // offer; we read none, so each is let go once it is no longer current.
  static void DataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
    static_cast<Compositor*>(data)->offers_.push_back(offer);
  }
  void KeepOnly(zwlr_data_control_offer_v1*& which, zwlr_data_control_offer_v1* offer) {
    which = offer;
    std::erase_if(offers_, [this](zwlr_data_control_offer_v1* o) {
      if (o == clipboardOffer_ || o == primaryOffer_) return false;
      zwlr_data_control_offer_v1_destroy(o);
      return true;
    });
  }
  static void Selection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
    auto* self = static_cast<Compositor*>(data);
    self->KeepOnly(self->clipboardOffer_, offer);
  }
  static void PrimarySelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
    auto* self = static_cast<Compositor*>(data);
    self->KeepOnly(self->primaryOffer_, offer);
  }
  static void DeviceFinished(void*, zwlr_data_control_device_v1*) {}

  static void Send(void* data, zwlr_data_control_source_v1*, const char*, int32_t fd) {
    auto* self = static_cast<Compositor*>(data);
    WriteAll(fd, self->text_);
    close(fd);
    self->timing_.Fetched();
  }
  static void Cancelled(void* data, zwlr_data_control_source_v1* source) {
    auto* self = static_cast<Compositor*>(data);
    if (source == self->clipboardSource_) self->clipboardSource_ = nullptr;
    if (source == self->primarySource_) self->primarySource_ = nullptr;
    zwlr_data_control_source_v1_destroy(source);
  }

  static constexpr wl_registry_listener kRegistryListener{Global, GlobalRemove};
  static constexpr zwlr_foreign_toplevel_manager_v1_listener kManagerListener{NewToplevel, ManagerFinished};
  static constexpr zwlr_foreign_toplevel_handle_v1_listener kHandleListener{Title, AppId, OutputEnter, OutputLeave,
                                                                            State, Done,  Closed,      Parent};
  static constexpr org_kde_plasma_window_management_listener kPlasmaListener{
      .show_desktop_changed = Ignore,
      .window = Ignore,
      .stacking_order_changed = Ignore,
      .stacking_order_uuid_changed = PlasmaStacking,
      .window_with_uuid = PlasmaWindow,
  };
  static constexpr org_kde_plasma_window_listener kPlasmaWindowListener{
      .title_changed = PlasmaTitle,
      .app_id_changed = Ignore,
      .state_changed = PlasmaState,
      .virtual_desktop_changed = Ignore,
      .themed_icon_name_changed = Ignore,
      .unmapped = PlasmaUnmapped,
      .initial_state = PlasmaInitialState,
      .parent_window = Ignore,
      .geometry = Ignore,
      .icon_changed = Ignore,
      .pid_changed = Ignore,
      .virtual_desktop_entered = Ignore,
      .virtual_desktop_left = Ignore,
      .application_menu = Ignore,
      .activity_entered = Ignore,
      .activity_left = Ignore,
      .resource_name_changed = Ignore,
  };
  static constexpr zwlr_data_control_source_v1_listener kSourceListener{Send, Cancelled};
  static constexpr zwlr_data_control_device_v1_listener kDeviceListener{DataOffer, Selection, DeviceFinished,
                                                                        PrimarySelection};

  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  zwlr_foreign_toplevel_manager_v1* toplevelManager_ = nullptr;
  zwlr_data_control_manager_v1* dataManager_ = nullptr;
  zwp_virtual_keyboard_manager_v1* keyboardManager_ = nullptr;
  org_kde_plasma_window_management* plasmaManager_ = nullptr;
  org_kde_kwin_fake_input* fakeInput_ = nullptr;
  bool plasma_ = false;  // KWin's protocols rather than wlroots'
  std::vector<std::string> stacking_;
  zwlr_data_control_device_v1* device_ = nullptr;
  zwp_virtual_keyboard_v1* keyboard_ = nullptr;
  zwlr_data_control_source_v1* clipboardSource_ = nullptr;
  zwlr_data_control_source_v1* primarySource_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
  std::vector<zwlr_data_control_offer_v1*> offers_;
  zwlr_data_control_offer_v1* clipboardOffer_ = nullptr;
  zwlr_data_control_offer_v1* primaryOffer_ = nullptr;
  std::map<WindowId, Toplevel> toplevels_;
  std::map<const void*, WindowId> ids_;  // by the protocol object of either kind
  WindowId nextId_ = 0;
  uint64_t activations_ = 0;
  uint32_t shiftMask_ = 0, ctrlMask_ = 0;
  std::string text_;
  PasteTiming timing_{
      [this](std::chrono::milliseconds bound, const std::function<bool()>& done) { return WaitUntil(bound, done); }};
};

}  // namespace

std::unique_ptr<WaylandDesktop> MakeWaylandDesktop() {
  auto desktop = std::make_unique<Compositor>();
  if (!desktop->Connect()) return nullptr;
  return desktop;
}

}  // namespace kovant::platform
