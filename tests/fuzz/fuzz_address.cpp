// Any bytes as an address, a search text or a typed reading, against the
// sample dictionary (with its readings): resolving, finding and folding
// never crash or hang, and an answer is never a code outside what it lists.
#include <cstdint>
#include <string>

#include "dict/address.h"
#include "dict/fold.h"

using namespace kovant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const auto gazetteer = dict::Gazetteer::Load(KOVANT_SAMPLE_DIC);
  if (!gazetteer.ok()) __builtin_trap();
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto answer = gazetteer->Resolve(text);
  if (answer.status == dict::AddressAnswer::Status::Single && answer.candidates.size() != 1) __builtin_trap();
  if (answer.status == dict::AddressAnswer::Status::Several && answer.candidates.size() < 2) __builtin_trap();
  (void)gazetteer->Find(text, 5);
  (void)dict::ReadingKey(text);
  (void)dict::FoldName(text);
  return 0;
}
