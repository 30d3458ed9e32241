// ICU on POSIX systems: the libraries of the version the program was built
// against, by their versioned names (utrans_openU_72), so that the program
// and the library agree.
#include <dlfcn.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utrans.h>

#include "platform/icu.h"

namespace kovant::platform {
namespace {

#define KOVANT_NAME(x) #x
#define KOVANT_SYMBOL(x) KOVANT_NAME(x)

static_assert(U_ZERO_ERROR == 0 && U_ILLEGAL_ARGUMENT_ERROR > 0 && U_USING_DEFAULT_WARNING < 0);
static_assert(UTRANS_FORWARD == kIcuForward && sizeof(UChar) == sizeof(char16_t));
static_assert(sizeof(UParseError) == sizeof(IcuParseError) && U_PARSE_CONTEXT_LEN == 16);
static_assert(sizeof(UErrorCode) == sizeof(IcuStatus));

// The symbol as ours, its declared type checked against ICU's own header.
template <typename Ours, typename Theirs>
bool Find(void* library, const char* name, Ours& to, Theirs) {
  to = reinterpret_cast<Ours>(dlsym(library, name));
  return to != nullptr;
}

IcuFunctions* Load() {
  void* uc = dlopen("libicuuc.so." KOVANT_SYMBOL(U_ICU_VERSION_MAJOR_NUM), RTLD_NOW | RTLD_LOCAL);
  void* i18n = dlopen("libicui18n.so." KOVANT_SYMBOL(U_ICU_VERSION_MAJOR_NUM), RTLD_NOW | RTLD_LOCAL);
  if (!uc || !i18n) return nullptr;
  static IcuFunctions f{};
  const bool found = Find(uc, KOVANT_SYMBOL(u_strFromUTF8), f.fromUtf8, &::u_strFromUTF8) &&
                     Find(uc, KOVANT_SYMBOL(u_strToUTF8), f.toUtf8, &::u_strToUTF8) &&
                     Find(uc, KOVANT_SYMBOL(u_strToLower), f.toLower, &::u_strToLower) &&
                     Find(uc, KOVANT_SYMBOL(unorm2_getNFKCInstance), f.nfkcInstance, &::unorm2_getNFKCInstance) &&
                     Find(uc, KOVANT_SYMBOL(unorm2_normalize), f.normalize, &::unorm2_normalize) &&
                     Find(i18n, KOVANT_SYMBOL(utrans_openU), f.openTransliterator, &::utrans_openU) &&
                     Find(i18n, KOVANT_SYMBOL(utrans_transUChars), f.transliterate, &::utrans_transUChars) &&
                     Find(i18n, KOVANT_SYMBOL(utrans_close), f.closeTransliterator, &::utrans_close);
  return found ? &f : nullptr;
}

}  // namespace

const IcuFunctions* LoadIcu() {
  static const IcuFunctions* const loaded = Load();
  return loaded;
}

}  // namespace kovant::platform
