// The dictionary update of `kovant-mkdic --update` as a library: the
// settings window runs the same steps on a thread of its own.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "dict/result.h"

namespace kovant::tools {

struct UpdateOptions {
  std::string from;  // mirror base URL; "" for Japan Post (or KOVANT_DATA_URL)
  long timeout = 60;
  // Where the new dictionary goes; "" for KOVANT_HOME, else the user's data folder.
  std::string folder;
  // Set: the two zips are saved there as they came, and nothing is installed.
  std::string downloadFolder;
  // Called with a line for the user and the share done (0..1, -1 unknown).
  std::function<void(const std::string& step, double share)> progress;
  // Said on the way, failure or not ("使用中の辞書を読めないため…").
  std::function<void(const std::string& note)> note;
  // Set from another thread: the update ends at its next step, nothing written.
  const std::atomic<bool>* cancel = nullptr;
};

struct UpdateReport {
  std::string target;                 // the dictionary written, or the download folder
  std::string dateBefore, dateAfter;  // dateBefore "" when there was none
  size_t added = 0, removed = 0, towns = 0, offices = 0;
  std::vector<std::string> skipped;  // rows left out (no Shift-JIS for a character)
  // The download was the data in use, byte for byte: nothing was written
  // but the note of the check, and target is the dictionary in use.
  bool upToDate = false;
};

// Downloads, checks, builds and installs. On any error, or when cancelled,
// the dictionary in use is left as it was.
dict::Result<UpdateReport> UpdateDictionary(const UpdateOptions& options);

// The message of a cancelled update.
inline constexpr const char* kUpdateCancelled = "更新を中止しました。";

}  // namespace kovant::tools
