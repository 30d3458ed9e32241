// ICU on Windows: the system's own icu.dll (Windows 10 1903 and later),
// whose functions carry no version in their names. Nothing is loaded from
// the program's folder or the working folder.
#include <windows.h>

#include "platform/icu.h"

namespace kovant::platform {
namespace {

template <typename Ours>
bool Find(HMODULE library, const char* name, Ours& to) {
  to = reinterpret_cast<Ours>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return to != nullptr;
}

IcuFunctions* Load() {
  const HMODULE icu = LoadLibraryExW(L"icu.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!icu) return nullptr;
  static IcuFunctions f{};
  const bool found = Find(icu, "u_strFromUTF8", f.fromUtf8) && Find(icu, "u_strToUTF8", f.toUtf8) &&
                     Find(icu, "u_strToLower", f.toLower) && Find(icu, "unorm2_getNFKCInstance", f.nfkcInstance) &&
                     Find(icu, "unorm2_normalize", f.normalize) && Find(icu, "utrans_openU", f.openTransliterator) &&
                     Find(icu, "utrans_transUChars", f.transliterate) &&
                     Find(icu, "utrans_close", f.closeTransliterator);
  return found ? &f : nullptr;
}

}  // namespace

const IcuFunctions* LoadIcu() {
  static const IcuFunctions* const loaded = Load();
  return loaded;
}

}  // namespace kovant::platform
