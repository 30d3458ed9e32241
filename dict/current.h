// The result on show in the main window, all text (UTF-8).
#pragma once

#include <string>

namespace kovant::dict {

struct CurrentResult {
  std::string OldCode;     // "NNN" or "NNN-NN"
  std::string NewCode;     // "NNN-NNNN"
  std::string Address1;    // prefecture, with its suffix
  std::string Address2;    // city
  std::string Address3;    // town, cut before its first "（"
  std::string Supplement;  // the supplement field
};

}  // namespace kovant::dict
