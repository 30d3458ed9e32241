#include "platform/waylandwindows.h"

#include <algorithm>

namespace kovant::platform {

std::vector<TopWindow> WaylandWindows::Windows() const {
  std::vector<const Toplevel*> order;
  for (const auto& [id, t] : toplevels_) {
    if (t.known) order.push_back(&t);
  }
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

bool WaylandWindows::IsActive(WindowId id) const {
  auto it = toplevels_.find(id);
  return it != toplevels_.end() && it->second.activated;
}

WaylandWindows::Toplevel& WaylandWindows::Add(void* handle) {
  const WindowId id = ++nextId_;
  ids_[handle] = id;
  Toplevel& t = toplevels_[id];
  t.id = id;
  t.handle = handle;
  return t;
}

WaylandWindows::Toplevel* WaylandWindows::Of(const void* handle) {
  auto it = ids_.find(handle);
  return it == ids_.end() ? nullptr : Find(it->second);
}

WaylandWindows::Toplevel* WaylandWindows::Find(WindowId id) {
  auto it = toplevels_.find(id);
  return it == toplevels_.end() ? nullptr : &it->second;
}

bool WaylandWindows::Forget(const void* handle) {
  auto it = ids_.find(handle);
  if (it == ids_.end()) return false;
  toplevels_.erase(it->second);
  ids_.erase(it);
  return true;
}

void WaylandWindows::SetActive(Toplevel& t, bool active) {
  if (active && !t.activated) t.lastActive = ++activations_;
  t.activated = active;
}

}  // namespace kovant::platform
