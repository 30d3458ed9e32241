// The windows and keys of a wlroots compositor (sway and its kin): the
// foreign-toplevel list and a virtual keyboard with a keymap of our own.
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/waylandwindows.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <linux/input-event-codes.h>

namespace kovant::platform {
namespace {

class WlrootsWindows : public WaylandWindows {
 public:
  ~WlrootsWindows() override {
    for (auto& [id, t] : toplevels_) zwlr_foreign_toplevel_handle_v1_destroy(Handle(t));
    if (keyboard_) zwp_virtual_keyboard_v1_destroy(keyboard_);
    if (toplevelManager_) zwlr_foreign_toplevel_manager_v1_destroy(toplevelManager_);
    if (keyboardManager_) zwp_virtual_keyboard_manager_v1_destroy(keyboardManager_);
  }

  bool Bind(wl_registry* registry, uint32_t name, const char* interface, uint32_t version) override {
    if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0 && !toplevelManager_) {
      toplevelManager_ = static_cast<zwlr_foreign_toplevel_manager_v1*>(
          wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface, std::min(version, 3u)));
      zwlr_foreign_toplevel_manager_v1_add_listener(toplevelManager_, &kManagerListener, this);
      return true;
    }
    if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0 && !keyboardManager_) {
      keyboardManager_ = static_cast<zwp_virtual_keyboard_manager_v1*>(
          wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
      return true;
    }
    return false;
  }
  bool Offered() const override { return toplevelManager_ && keyboardManager_; }

  bool Start(wl_seat* seat) override {
    keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboardManager_, seat);
    return SendKeymap();
  }

  void Restore(WindowId id) override {
    if (Toplevel* t = Find(id)) {
      zwlr_foreign_toplevel_handle_v1_unset_minimized(Handle(*t));
      zwlr_foreign_toplevel_handle_v1_unset_maximized(Handle(*t));
    }
  }
  void Activate(WindowId id, wl_seat* seat) override {
    if (Toplevel* t = Find(id)) zwlr_foreign_toplevel_handle_v1_activate(Handle(*t), seat);
  }

  void SendKey(uint32_t modifier, uint32_t code) override {
    const uint32_t mods = modifier == KEY_LEFTSHIFT ? shiftMask_ : modifier == KEY_LEFTCTRL ? ctrlMask_ : 0;
    const auto time = static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
    if (mods) zwp_virtual_keyboard_v1_modifiers(keyboard_, mods, 0, 0, 0);
    zwp_virtual_keyboard_v1_key(keyboard_, time, code, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(keyboard_, time + 1, code, WL_KEYBOARD_KEY_STATE_RELEASED);
    if (mods) zwp_virtual_keyboard_v1_modifiers(keyboard_, 0, 0, 0, 0);
  }

 private:
  static zwlr_foreign_toplevel_handle_v1* Handle(const Toplevel& t) {
    return static_cast<zwlr_foreign_toplevel_handle_v1*>(t.handle);
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

  // Listeners: a window's state comes in pieces, complete at done.
  static void NewToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<WlrootsWindows*>(data);
    self->Add(handle);
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener, self);
  }
  static void ManagerFinished(void*, zwlr_foreign_toplevel_manager_v1*) {}
  static void Title(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* title) {
    if (Toplevel* t = static_cast<WlrootsWindows*>(data)->Of(handle)) t->pendingTitle = title;
  }
  static void AppId(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
  static void OutputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
  static void OutputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
  static void State(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states) {
    Toplevel* t = static_cast<WlrootsWindows*>(data)->Of(handle);
    if (!t) return;
    t->pendingActivated = false;
    const auto* begin = static_cast<const uint32_t*>(states->data);
    for (const uint32_t* s = begin; s < begin + states->size / sizeof(uint32_t); ++s) {
      if (*s == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED) t->pendingActivated = true;
    }
  }
  static void Done(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<WlrootsWindows*>(data);
    Toplevel* t = self->Of(handle);
    if (!t) return;
    t->title = t->pendingTitle;
    t->known = true;
    self->SetActive(*t, t->pendingActivated);
  }
  static void Closed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
    if (static_cast<WlrootsWindows*>(data)->Forget(handle)) zwlr_foreign_toplevel_handle_v1_destroy(handle);
  }
  static void Parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

  static constexpr zwlr_foreign_toplevel_manager_v1_listener kManagerListener{NewToplevel, ManagerFinished};
  static constexpr zwlr_foreign_toplevel_handle_v1_listener kHandleListener{Title, AppId, OutputEnter, OutputLeave,
                                                                            State, Done,  Closed,      Parent};

  zwlr_foreign_toplevel_manager_v1* toplevelManager_ = nullptr;
  zwp_virtual_keyboard_manager_v1* keyboardManager_ = nullptr;
  zwp_virtual_keyboard_v1* keyboard_ = nullptr;
  uint32_t shiftMask_ = 0, ctrlMask_ = 0;
};

}  // namespace

std::unique_ptr<WaylandWindows> MakeWlrootsWindows() { return std::make_unique<WlrootsWindows>(); }

}  // namespace kovant::platform
