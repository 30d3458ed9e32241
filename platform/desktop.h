// Other applications' windows and simulated keystrokes, behind an interface
// so that the copy delivery and the hand-over run in tests with a fake.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kovant::platform {

using WindowId = uint64_t;

struct TopWindow {
  WindowId id = 0;
  std::string caption;  // UTF-8; empty when the window has none
};

// Down only drives our own window in tests; the delivery sends the others.
enum class Key { Paste, Tab, Enter, CtrlF1, Down };

class Desktop {
 public:
  virtual ~Desktop() = default;
  // False when other programs' windows and keys are out of reach: no X11
  // display, no compositor or portal that offers them, or the user refused.
  virtual bool Available() const = 0;
  // False where the desktop shows other programs' windows to nobody (GNOME
  // in a Wayland session): a paste then goes to the window that had the
  // focus before ours.
  virtual bool FindsWindows() const { return true; }
  // Readies the keys before a delivery sends any; false when they cannot be
  // had (on GNOME the user is asked once and may refuse).
  virtual bool PrepareKeys() { return true; }
  // Every top-level window, visible or hidden, ours included, topmost first
  // (none where the desktop shows none).
  virtual std::vector<TopWindow> TopLevelWindows() = 0;
  // Back from minimised or maximised to the normal state.
  virtual void Restore(WindowId id) = 0;
  // Makes the window the active one; true when it became active.
  virtual bool Activate(WindowId id) = 0;
  // Whether the window is the active one now (where the desktop tells).
  virtual bool IsActive(WindowId) { return true; }
  // Sends the key to the active window and returns once the window system
  // has taken it (the X server or the compositor has handled the request,
  // the portal has answered). Paste is Shift+Insert.
  virtual bool SendKey(Key key) = 0;
  // After a paste key: processes events until the active window has
  // fetched our clipboard text and had a moment to insert it, within a
  // bound of a few seconds for a busy target; a short fixed wait where the
  // clipboard does not tell when it was read.
  virtual void WaitForPaste() = 0;
  // False when the last WaitForPaste did not see the target take the text
  // within its bound: the next piece would replace it unread.
  virtual bool PasteTaken() const { return true; }
  // Brings our own window, known by its caption, to the front where the
  // desktop keeps the focus from a program that asks for it itself (a
  // Wayland compositor); elsewhere the window's own request does it.
  virtual void BringForward(const std::string& /*ownCaption*/) {}
  // What the last operations could not keep and the user should hear of
  // (a consent that could not be saved), once; empty when nothing.
  virtual std::string TakeNotice() { return {}; }
};

}  // namespace kovant::platform
