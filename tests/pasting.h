// What the desktop delivery tests share: settings that paste into a window
// and a delivery over a real desktop backend, waiting in real time.
#pragma once

#include <chrono>
#include <string>

#include "copy/delivery.h"
#include "process.h"
#include "settings/settings.h"

namespace kovant::test {

// Settings that paste into the window whose caption holds fragment.
inline settings::Settings PasteInto(const std::string& fragment) {
  settings::Settings settings = settings::DefaultSettings();
  settings.CopyAppl = 1;
  settings.FindCaption = fragment;
  return settings;
}

// Backend is both the desktop and the clipboard.
template <typename Backend>
copy::Delivery DeliveryOver(Backend& backend) {
  return copy::Delivery(&backend, &backend, [](double seconds) {
    WaitFor([] { return false; }, std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
  });
}

}  // namespace kovant::test
