// Where the copy command's text goes: onto the clipboard, pasted into
// another application's window with simulated keys, or back to a program
// that asked over the link. Plain C++ over the Desktop and Clipboard
// interfaces; the window only shows the outcome.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "settings/settings.h"

namespace kovant::copy {

// Latin letters in half and full width to upper case; everything else as is.
std::string UpperCaption(std::string_view utf8);

// The topmost window whose caption, upper-cased, contains the upper-cased
// fragment; 0 when none does. foundWindowTitle is left holding the
// upper-cased caption of the last window compared.
// caption, when given, gets the found window's caption as it stands.
platform::WindowId FindWindowByCaption(platform::Desktop& desktop, std::string_view fragment,
                                       std::string& foundWindowTitle, std::string* caption = nullptr);

// One step of a paste delivery: paste the chunk (Shift+Insert), or press
// Tab or Enter.
struct PasteStep {
  enum Kind { Paste, Tab, Enter } kind;
  std::string chunk;  // for Paste
  bool operator==(const PasteStep&) const = default;
};

// A tab or CR LF ends the pending chunk, which is pasted (also when empty)
// and followed by Tab or Enter; a non-empty chunk at the end is pasted.
std::vector<PasteStep> PasteSteps(std::string_view text);

// Lets the window system run (pump) for that long, measured on a monotonic
// clock; ends early while cancelled is true.
void WaitSeconds(double seconds, const bool& cancelled, const std::function<void()>& pump);

// What a press of the copy button did.
enum class Delivered {
  Busy,            // a delivery was still running: nothing done
  ClipboardOnly,   // on the clipboard, as asked
  Pasted,          // pasted into the target window, then left whole on the clipboard
  NoDesktop,       // pasting asked for, other windows out of reach: clipboard only
  TargetNotFound,  // no window holds the caption: clipboard only
  // Where no window can be found by its caption: pasted into the window
  // used before ours, in pieces and keys, or whole in one paste where the
  // clipboard cannot change meanwhile.
  PastedIntoPrevious,
  PastedWholeIntoPrevious,
  // The target did not take a piece within the bound (a window too busy to
  // answer): the paste stopped there, and the clipboard still holds that
  // piece, so that whatever the target reads late is the right text.
  Unconfirmed,
  // The target closed in the middle of the paste: the rest was not sent
  // (its keys would have gone to whatever window came to the front), and
  // the clipboard holds the whole text.
  TargetClosed,
  Answered,        // a link request answered, its caller (if named) brought up
  CallerNotFound,  // a link request whose caller is not found: clipboard, request still open
  // Where no window can be found by its caption: the user did not answer
  // the desktop's consent dialog in time (asked again at the next copy),
  // or the focus did not leave our window; clipboard only.
  NotAllowed,
  StillInFront,
};

// A program's call over the link that the next copy answers.
struct LinkRequest {
  bool pending = false;       // ExternalRequest
  std::string callerCaption;  // DistName: the caller's window to bring up; empty for none
};

class Delivery {
 public:
  // wait lets the window system run for a number of seconds; desktop and
  // clipboard may be null (nothing to paste into, nowhere to copy).
  Delivery(platform::Desktop* desktop, platform::Clipboard* clipboard, std::function<void(double)> wait)
      : desktop_(desktop), clipboard_(clipboard), wait_(std::move(wait)) {}

  // Delivers text as the settings ask, or answers the request. started runs
  // once the delivery is under way (the window shows it is busy). Pasting
  // lets the window system run, so a second press meanwhile gets Busy.
  // foundWindowTitle is left as FindWindowByCaption leaves it.
  Delivered Deliver(const std::string& text, const LinkRequest& request, const settings::Settings& settings,
                    std::string& foundWindowTitle, const std::function<void()>& started = {});

  // Where the desktop finds no window by its caption: puts our window
  // aside so that the focus goes back to the window used before; true once
  // our window has lost the focus.
  void SetStepAside(std::function<bool()> stepAside) { stepAside_ = std::move(stepAside); }

  // The caption of the window the last delivery pasted into or brought up
  // ("" when it found none).
  const std::string& TargetCaption() const { return targetCaption_; }

 private:
  bool Reachable() const { return desktop_ && desktop_->Available(); }
  void BringUp(platform::WindowId target);
  // Pieces and keys; into target, kept active, where it is known. Pasted,
  // or Unconfirmed when a piece was not taken, or TargetClosed when the
  // target went away; the rest is left either way.
  Delivered Paste(const std::string& text, platform::WindowId target = 0);
  // The target still among the desktop's windows.
  bool Open(platform::WindowId target);
  Delivered PasteIntoPrevious(const std::string& text);
  // Into a window found by its caption; setWhole is true when the
  // clipboard took the whole text first and it went in one paste.
  Delivered PasteIntoFound(const std::string& text, platform::WindowId target, bool& setWhole);
  // The paste key, and the wait until the target has the text; false when
  // it did not take it.
  bool PressPaste();

  platform::Desktop* desktop_;
  platform::Clipboard* clipboard_;
  std::function<void(double)> wait_;
  std::function<bool()> stepAside_;
  bool busy_ = false;
  std::string targetCaption_;
};

// The message line's word on what a press of the copy button did ("" for
// Busy); targetCaption as TargetCaption gives it.
std::string DeliveredLine(Delivered outcome, const std::string& targetCaption);

}  // namespace kovant::copy
