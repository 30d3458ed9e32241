// Item names from other programs: only the exact names are taken.
#include <cstdint>
#include <string_view>

#include "platform/linkitems.h"

using namespace kovant::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view name(reinterpret_cast<const char*>(data), size);
  LinkItem item = ParseLinkItem(name);
  if (item != LinkItem::Unknown && name.size() != 3 && name.size() != 7 && name.size() != 8) __builtin_trap();
  const int index = AddrIndex(item);
  if (index > 5 || (index >= 0 && IsPokable(item))) __builtin_trap();
  return 0;
}
