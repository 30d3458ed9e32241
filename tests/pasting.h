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

// Rounds of two pieces and two keys into the window whose caption holds
// fragment and which writes what it holds into out; how many arrived whole,
// each judged against what the target held after the round before.
inline int IntactRounds(copy::Delivery& delivery, const std::string& fragment, const std::string& out, int rounds) {
  std::string expected = ReadAll(out), found;
  int intact = 0;
  for (int i = 0; i < rounds; ++i) {
    const copy::Delivered outcome = delivery.Deliver(
        "〒100-0001\t東京都\r\n千代田区千代田" + std::to_string(i) + "\r\n", {}, PasteInto(fragment), found);
    expected += "〒100-0001\t東京都\n千代田区千代田" + std::to_string(i) + "\n";
    if (outcome == copy::Delivered::Pasted &&
        WaitFor([&] { return ReadAll(out).size() >= expected.size(); }, std::chrono::milliseconds(5000)) &&
        ReadAll(out) == expected) {
      ++intact;
    } else {
      expected = ReadAll(out);
    }
  }
  return intact;
}

}  // namespace kovant::test
