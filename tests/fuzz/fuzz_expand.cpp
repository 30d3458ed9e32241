// ExpandText on any field and length, and the conversion of what it gives.
#include <cstdint>
#include <string>

#include "dict/codec.h"
#include "platform/sjis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string field(reinterpret_cast<const char*>(data + 1), size - 1);
  auto text = kovant::dict::ExpandText(field, data[0]);
  if (text.ok()) (void)kovant::platform::SjisToUtf8(*text);
  (void)kovant::platform::SjisToUtf8(field);
  (void)kovant::platform::Utf8ToSjis(field);
  return 0;
}
