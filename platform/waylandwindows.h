// A Wayland compositor's list of windows and its keys, one implementation
// per protocol family: a wlroots compositor's foreign-toplevel list and
// virtual keyboard, KWin's window management and fake input. The desktop
// of the compositor owns the connection and does the round trips; a family
// binds its globals, keeps its windows and sends its requests.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop.h"

struct wl_registry;
struct wl_seat;

namespace kovant::platform {

class WaylandWindows {
 public:
  virtual ~WaylandWindows() = default;
  // Binds what the registry announces of the family's; true when it was one.
  virtual bool Bind(wl_registry* registry, uint32_t name, const char* interface, uint32_t version) = 0;
  // Whether the compositor offers both the window list and the keys.
  virtual bool Offered() const = 0;
  // Readies the keys once the globals are bound; false when they cannot be had.
  virtual bool Start(wl_seat* seat) = 0;
  // Back from minimised and maximised.
  virtual void Restore(WindowId id) = 0;
  virtual void Activate(WindowId id, wl_seat* seat) = 0;
  // Presses and releases code with modifier (0 for none) held; evdev codes.
  virtual void SendKey(uint32_t modifier, uint32_t code) = 0;

  // The windows whose first state is in: most recently active first, then
  // from the top of the stack where the compositor tells it, then the newest.
  std::vector<TopWindow> Windows() const;
  bool Listed(WindowId id) const { return toplevels_.count(id) != 0; }
  bool IsActive(WindowId id) const;

 protected:
  struct Toplevel {
    void* handle = nullptr;  // the family's protocol object
    std::string uuid;        // KWin's name for it
    WindowId id = 0;
    std::string title, pendingTitle;
    bool activated = false, pendingActivated = false;
    bool known = false;       // its first state is in
    uint64_t lastActive = 0;  // when it last became the active window
  };

  Toplevel& Add(void* handle);
  Toplevel* Of(const void* handle);
  Toplevel* Find(WindowId id);
  // Forgets a closed window; false when the handle is none of ours.
  bool Forget(const void* handle);
  // Notes a new state; a window that becomes active moves to the front.
  void SetActive(Toplevel& t, bool active);

  std::map<WindowId, Toplevel> toplevels_;
  std::vector<std::string> stacking_;  // uuids from bottom to top, where told

 private:
  std::map<const void*, WindowId> ids_;  // by the protocol object
  WindowId nextId_ = 0;
  uint64_t activations_ = 0;
};

std::unique_ptr<WaylandWindows> MakeWlrootsWindows();
std::unique_ptr<WaylandWindows> MakeKWinWindows();

}  // namespace kovant::platform
