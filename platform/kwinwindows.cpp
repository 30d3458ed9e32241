// The windows and keys of KWin: its window management and fake input,
// offered only to programs whose .desktop file names them.
#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "fake-input-client-protocol.h"
#include "platform/waylandwindows.h"
#include "plasma-window-management-client-protocol.h"

namespace kovant::platform {
namespace {

// An event we take no interest in, whatever its arguments.
template <typename... Args>
void Ignore(void*, Args...) {}

class KWinWindows : public WaylandWindows {
 public:
  ~KWinWindows() override {
    for (auto& [id, t] : toplevels_) org_kde_plasma_window_destroy(Window(t));
    if (fakeInput_) org_kde_kwin_fake_input_destroy(fakeInput_);
    if (manager_) org_kde_plasma_window_management_destroy(manager_);
  }

  bool Bind(wl_registry* registry, uint32_t name, const char* interface, uint32_t version) override {
    if (std::strcmp(interface, org_kde_plasma_window_management_interface.name) == 0 && version >= 13 && !manager_) {
      // 13: windows by their uuid, and the stacking order.
      manager_ = static_cast<org_kde_plasma_window_management*>(
          wl_registry_bind(registry, name, &org_kde_plasma_window_management_interface,
                           std::min<uint32_t>(version, org_kde_plasma_window_management_interface.version)));
      org_kde_plasma_window_management_add_listener(manager_, &kManagerListener, this);
      return true;
    }
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4 && !fakeInput_) {
      fakeInput_ = static_cast<org_kde_kwin_fake_input*>(
          wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
      return true;
    }
    return false;
  }
  bool Offered() const override { return manager_ && fakeInput_; }

  bool Start(wl_seat*) override {
    org_kde_kwin_fake_input_authenticate(fakeInput_, "ぴこらん", "住所を他のアプリケーションに貼り付けるため");
    return true;
  }

  void Restore(WindowId id) override {
    if (Toplevel* t = Find(id)) {
      org_kde_plasma_window_set_state(
          Window(*t),
          ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED | ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MAXIMIZED, 0);
    }
  }
  void Activate(WindowId id, wl_seat*) override {
    if (Toplevel* t = Find(id)) {
      org_kde_plasma_window_set_state(Window(*t), ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE,
                                      ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE);
    }
  }

  // KWin keeps the modifiers from the keys themselves.
  void SendKey(uint32_t modifier, uint32_t code) override {
    constexpr uint32_t kPressed = WL_KEYBOARD_KEY_STATE_PRESSED, kReleased = WL_KEYBOARD_KEY_STATE_RELEASED;
    if (modifier) org_kde_kwin_fake_input_keyboard_key(fakeInput_, modifier, kPressed);
    org_kde_kwin_fake_input_keyboard_key(fakeInput_, code, kPressed);
    org_kde_kwin_fake_input_keyboard_key(fakeInput_, code, kReleased);
    if (modifier) org_kde_kwin_fake_input_keyboard_key(fakeInput_, modifier, kReleased);
  }

 private:
  static org_kde_plasma_window* Window(const Toplevel& t) { return static_cast<org_kde_plasma_window*>(t.handle); }

  // Listeners: a window's state comes with each change, its end with
  // unmapped; the stacking order as uuids from bottom to top.
  static void NewWindow(void* data, org_kde_plasma_window_management* manager, uint32_t, const char* uuid) {
    auto* self = static_cast<KWinWindows*>(data);
    org_kde_plasma_window* window = org_kde_plasma_window_management_get_window_by_uuid(manager, uuid);
    self->Add(window).uuid = uuid;
    org_kde_plasma_window_add_listener(window, &kWindowListener, self);
  }
  static void Stacking(void* data, org_kde_plasma_window_management*, const char* uuids) {
    auto* self = static_cast<KWinWindows*>(data);
    self->stacking_.clear();
    for (std::string_view rest = uuids; !rest.empty();) {
      const size_t end = std::min(rest.find(';'), rest.size());
      self->stacking_.emplace_back(rest.substr(0, end));
      rest.remove_prefix(std::min(end + 1, rest.size()));
    }
  }
  static void Title(void* data, org_kde_plasma_window* window, const char* title) {
    if (Toplevel* t = static_cast<KWinWindows*>(data)->Of(window)) t->title = title;
  }
  static void State(void* data, org_kde_plasma_window* window, uint32_t flags) {
    auto* self = static_cast<KWinWindows*>(data);
    if (Toplevel* t = self->Of(window)) self->SetActive(*t, flags & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE);
  }
  static void InitialState(void* data, org_kde_plasma_window* window) {
    if (Toplevel* t = static_cast<KWinWindows*>(data)->Of(window)) t->known = true;
  }
  static void Unmapped(void* data, org_kde_plasma_window* window) {
    if (static_cast<KWinWindows*>(data)->Forget(window)) org_kde_plasma_window_destroy(window);
  }

  static constexpr org_kde_plasma_window_management_listener kManagerListener{
      .show_desktop_changed = Ignore,
      .window = Ignore,
      .stacking_order_changed = Ignore,
      .stacking_order_uuid_changed = Stacking,
      .window_with_uuid = NewWindow,
  };
  static constexpr org_kde_plasma_window_listener kWindowListener{
      .title_changed = Title,
      .app_id_changed = Ignore,
      .state_changed = State,
      .virtual_desktop_changed = Ignore,
      .themed_icon_name_changed = Ignore,
      .unmapped = Unmapped,
      .initial_state = InitialState,
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

  org_kde_plasma_window_management* manager_ = nullptr;
  org_kde_kwin_fake_input* fakeInput_ = nullptr;
};

}  // namespace

std::unique_ptr<WaylandWindows> MakeKWinWindows() { return std::make_unique<KWinWindows>(); }

}  // namespace kovant::platform
