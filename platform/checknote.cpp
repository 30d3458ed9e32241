#include "platform/checknote.h"

#include <algorithm>
#include <vector>

namespace kovant::platform {
namespace {

// A few files a user reads: the dictionary in use, one beside a portable
// copy, the system's. Older lines drop out.
constexpr size_t kKeptLines = 16;

std::string Line(const FileIdentity& file, std::string_view what) {
  std::string line(what);
  for (const int64_t n :
       {static_cast<int64_t>(file.device), static_cast<int64_t>(file.inode), file.size, file.mtimeNs, file.changeNs}) {
    line += ' ' + std::to_string(n);
  }
  return line;
}

std::vector<std::string> Lines(const std::string& notePath) {
  std::vector<std::string> lines;
  const auto text = ReadWholeFile(notePath, 64 * 1024);
  if (!text) return lines;
  for (size_t at = 0; at < text->size();) {
    const size_t end = std::min(text->find('\n', at), text->size());
    if (end > at) lines.push_back(text->substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

}  // namespace

std::optional<std::string> CheckNotePath() {
  const auto cache = UserCacheFolder();
  if (!cache) return std::nullopt;
  return JoinPath(*cache, "checked");
}

bool NotedAsChecked(const std::string& notePath, const FileIdentity& file, std::string_view what) {
  // Another user's note, or one others may write, vouches for nothing.
  if (!OwnedPrivateFile(notePath)) return false;
  const std::string wanted = Line(file, what);
  for (const std::string& line : Lines(notePath)) {
    if (line == wanted) return true;
  }
  return false;
}

void NoteChecked(const std::string& notePath, const FileIdentity& file, std::string_view what, int64_t nowNs) {
  if (what.empty() || what.find_first_of(" \n") != std::string_view::npos) return;
  if (nowNs - file.changeNs < kSettledNs || nowNs - file.mtimeNs < kSettledNs) return;
  const std::string folder = notePath.substr(0, notePath.find_last_of("/\\"));
  // The cache folder, then ours in it: never made in another user's home
  // (UserCacheFolder() gives none there).
  MakePrivateFolder(folder.substr(0, folder.find_last_of("/\\")));
  MakePrivateFolder(folder);
  // A note placed by another user would vouch for files unchecked.
  if (!OwnedPrivateFolder(folder)) return;
  std::string text = Line(file, what) + '\n';
  size_t kept = 1;
  for (const std::string& line : Lines(notePath)) {
    if (kept == kKeptLines) break;
    if (line + '\n' == text) continue;
    text += line + '\n';
    ++kept;
  }
  WritePrivateFileAtomically(notePath, text);
}

}  // namespace kovant::platform
