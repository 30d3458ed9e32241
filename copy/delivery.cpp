#include "copy/delivery.h"

#include <chrono>

namespace kovant::copy {

std::string UpperCaption(std::string_view utf8) {
  std::string out(utf8);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 'a' + 'A');
    } else if (c == 0xEF && i + 2 < out.size() && static_cast<unsigned char>(out[i + 1]) == 0xBD) {
      // U+FF41..U+FF5A (ａ..ｚ) are EF BD 81..9A; their capitals U+FF21..U+FF3A are EF BC A1..BA.
      unsigned char t = static_cast<unsigned char>(out[i + 2]);
      if (t >= 0x81 && t <= 0x9A) {
        out[i + 1] = static_cast<char>(0xBC);
        out[i + 2] = static_cast<char>(t - 0x81 + 0xA1);
      }
      i += 2;
    }
  }
  return out;
}

platform::WindowId FindWindowByCaption(platform::Desktop& desktop, std::string_view fragment,
                                       std::string& foundWindowTitle, std::string* caption) {
  const std::string wanted = UpperCaption(fragment);
  for (const platform::TopWindow& w : desktop.TopLevelWindows()) {
    if (w.caption.empty()) continue;
    foundWindowTitle = UpperCaption(w.caption);
    if (foundWindowTitle.find(wanted) == std::string::npos) continue;
    if (caption) *caption = w.caption;
    return w.id;
  }
  return 0;
}

std::vector<PasteStep> PasteSteps(std::string_view text) {
  std::vector<PasteStep> steps;
  std::string chunk;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool crlf = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
    if (text[i] == '\t' || crlf) {
      steps.push_back({PasteStep::Paste, chunk});
      chunk.clear();
      steps.push_back({crlf ? PasteStep::Enter : PasteStep::Tab, {}});
      if (crlf) ++i;
    } else {
      chunk += text[i];
    }
  }
  if (!chunk.empty()) steps.push_back({PasteStep::Paste, chunk});
  return steps;
}

void WaitSeconds(double seconds, const bool& cancelled, const std::function<void()>& pump) {
  // A monotonic clock: the wait ends on time across midnight as well.
  const auto start = std::chrono::steady_clock::now();
  pump();
  while (!cancelled) {
    if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= seconds) return;
    pump();
  }
}

void Delivery::BringUp(platform::WindowId target) {
  desktop_->Restore(target);
  // The target must still be active a moment later: under Wayland, Qt asks
  // for its own window to be activated whenever the focus moves inside it,
  // and the compositor's answer may arrive after ours and take it back.
  for (int tries = 0; tries < 3; ++tries) {
    desktop_->Activate(target);
    wait_(0.05);
    if (desktop_->IsActive(target)) return;
  }
}

bool Delivery::PressPaste() {
  desktop_->SendKey(platform::Key::Paste);
  desktop_->WaitForPaste();
  return desktop_->PasteTaken();
}

bool Delivery::Open(platform::WindowId target) {
  for (const platform::TopWindow& w : desktop_->TopLevelWindows()) {
    if (w.id == target) return true;
  }
  return false;
}

Delivered Delivery::Paste(const std::string& text, platform::WindowId target) {
  for (const PasteStep& step : PasteSteps(text)) {
    if (step.kind == PasteStep::Paste && clipboard_) clipboard_->SetText(step.chunk);
    // Each key goes to the target, should our own window have taken the
    // focus back late (a slow machine answers Qt's request late).
    if (target != 0 && !desktop_->IsActive(target)) {
      desktop_->Activate(target);
      // Closed meanwhile: the keys would go to whatever window is in front.
      if (!Open(target)) return Delivered::TargetClosed;
    }
    if (step.kind != PasteStep::Paste) {
      desktop_->SendKey(step.kind == PasteStep::Tab ? platform::Key::Tab : platform::Key::Enter);
    } else if (!PressPaste()) {
      // The next piece would replace this one unread, and the target would
      // paste it in this one's place: stop, and say so.
      return target != 0 && !Open(target) ? Delivered::TargetClosed : Delivered::Unconfirmed;
    }
  }
  return Delivered::Pasted;
}

Delivered Delivery::PasteIntoFound(const std::string& text, platform::WindowId target, bool& setWhole) {
  // A clipboard that only the focused program may set (Qt's, where the
  // compositor shows its windows but offers no data control) takes the
  // whole text now, while ours still has the focus.
  const bool pieces = !clipboard_ || clipboard_->SetsWhileUnfocused();
  if (!pieces) clipboard_->SetText(text);
  setWhole = !pieces;
  BringUp(target);
  if (pieces) return Paste(text, target);
  if (PressPaste()) return Delivered::Pasted;
  return Open(target) ? Delivered::Unconfirmed : Delivered::TargetClosed;
}

Delivered Delivery::PasteIntoPrevious(const std::string& text) {
  if (!stepAside_) return Delivered::NoDesktop;
  // Still reachable after a failed preparation: consent not given this time.
  if (!desktop_->PrepareKeys()) return desktop_->Available() ? Delivered::NotAllowed : Delivered::NoDesktop;
  // A clipboard that only the focused program may set takes the whole
  // text now, while ours still has the focus; the pieces cannot follow.
  const bool pieces = !clipboard_ || clipboard_->SetsWhileUnfocused();
  if (!pieces) clipboard_->SetText(text);
  if (!stepAside_()) return Delivered::StillInFront;
  wait_(0.05);
  if (pieces) {
    const Delivered pasted = Paste(text);
    return pasted == Delivered::Pasted ? Delivered::PastedIntoPrevious : pasted;
  }
  // The whole text stays on the clipboard either way.
  PressPaste();
  return Delivered::PastedWholeIntoPrevious;
}

Delivered Delivery::Deliver(const std::string& text, const LinkRequest& request, const settings::Settings& settings,
                            std::string& foundWindowTitle, const std::function<void()>& started) {
  if (busy_) return Delivered::Busy;
  busy_ = true;
  struct Release {
    bool& busy;
    ~Release() { busy = false; }
  } release{busy_};
  if (started) started();

  targetCaption_.clear();
  auto find = [&](std::string_view caption) -> platform::WindowId {
    return Reachable() ? FindWindowByCaption(*desktop_, caption, foundWindowTitle, &targetCaption_) : 0;
  };
  Delivered outcome = Delivered::ClipboardOnly;
  bool setWhole = false;  // while ours had the focus, where it had to be
  if (request.pending) {
    // The caller gets its answer through the link, not the clipboard, and
    // is brought up when it gave its caption.
    if (request.callerCaption.empty()) return Delivered::Answered;
    if (platform::WindowId caller = find(request.callerCaption); caller != 0) {
      BringUp(caller);
      return Delivered::Answered;
    }
    outcome = Delivered::CallerNotFound;
  } else if (settings.CopyAppl == settings::kSwitchOn) {
    if (!Reachable()) {
      outcome = Delivered::NoDesktop;
    } else if (!desktop_->FindsWindows()) {
      outcome = PasteIntoPrevious(text);
    } else if (platform::WindowId target = find(settings.FindCaption); target == 0) {
      outcome = Delivered::TargetNotFound;
    } else {
      outcome = PasteIntoFound(text, target, setWhole);
    }
  }
  // The clipboard ends holding the whole text, whatever the pastes left
  // (set already where ours had to set it while it had the focus), but for
  // a piece the target has yet to read.
  const bool keep = outcome == Delivered::PastedWholeIntoPrevious || outcome == Delivered::Unconfirmed;
  if (clipboard_ && !keep && !setWhole) clipboard_->SetText(text);
  return outcome;
}

namespace {

// A caption cut to a length the message line can show.
std::string ShortCaption(const std::string& caption) {
  constexpr size_t kMaxCharacters = 16;
  size_t chars = 0;
  for (size_t i = 0; i < caption.size(); ++i) {
    if ((static_cast<unsigned char>(caption[i]) & 0xC0) != 0x80 && ++chars > kMaxCharacters) {
      return caption.substr(0, i) + "…";
    }
  }
  return caption;
}

}  // namespace

std::string DeliveredLine(Delivered outcome, const std::string& targetCaption) {
  switch (outcome) {
    case Delivered::ClipboardOnly: return "クリップボードにコピーしました。";
    case Delivered::Pasted:
      return targetCaption.empty() ? "指定のウィンドウに貼り付けました。"
                                   : "「" + ShortCaption(targetCaption) + "」に貼り付けました。";
    case Delivered::PastedIntoPrevious:
    case Delivered::PastedWholeIntoPrevious: return "前に使っていたウィンドウに貼り付けました。";
    case Delivered::Answered: return "呼び出したプログラムに渡しました。";
    case Delivered::NoDesktop:
    case Delivered::TargetNotFound:
    case Delivered::CallerNotFound:
    case Delivered::NotAllowed:
    case Delivered::StillInFront: return "クリップボードにのみコピーしました。";
    case Delivered::Unconfirmed: return "貼り付けを途中で止めました。";
    case Delivered::TargetClosed: return "貼り付け先のウィンドウが閉じられたため、貼り付けを途中で止めました。";
    case Delivered::Busy: break;
  }
  return std::string();
}

}  // namespace kovant::copy
