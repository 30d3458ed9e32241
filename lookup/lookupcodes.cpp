// Codes to towns: given as arguments, or a file of them on standard input.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include "dict/codeindex.h"
#include "dict/codeinput.h"
#include "platform/sjis.h"
#include "lookup/lookup.h"
#include "lookup/lookupdetail.h"

namespace kovant::lookup {

using namespace detail;

namespace {

// The towns of many codes (none for a code that is not one), found one
// way or the other: each(i, town) for each town of codes[i], in the order
// of the codes.
using Visit = std::function<void(size_t, const dict::MatchView&)>;
using Finder = std::function<dict::Result<bool>(const std::vector<std::string>& codes, const Visit& each)>;

Finder IndexFinder(const dict::CodeIndex& index) {
  return [&index](const std::vector<std::string>& codes, const Visit& each) { return index.ForEachMatch(codes, each); };
}

// Input codes as typed, normalised, and which are no code (their reason
// goes to standard error; the index finds nothing for them).
struct Inputs {
  std::vector<std::string> codes;
  std::vector<bool> bad;
};

// An input as standard error shows it: a line of megabytes is no code and
// would bury the others, so a long one is cut (at a character's start) and
// its size told.
constexpr size_t kShownBytes = 64;

std::string Shown(const std::string& input) {
  if (input.size() <= kShownBytes) return input;
  size_t cut = kShownBytes;
  while (cut > 0 && (static_cast<unsigned char>(input[cut]) & 0xC0) == 0x80) --cut;
  return input.substr(0, cut) + "…（" + std::to_string(input.size()) + " バイト）";
}

// firstLine is the line of inputs[0] in a file of codes, 0 for arguments.
Inputs Normalise(const std::vector<std::string>& inputs, size_t firstLine) {
  Inputs in;
  in.codes.reserve(inputs.size());
  in.bad.reserve(inputs.size());
  for (const std::string& input : inputs) {
    // Most lines of a batch are seven plain digits: nothing to change or tell.
    if (input.size() == 7 && std::all_of(input.begin(), input.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      in.codes.push_back(input);
      in.bad.push_back(false);
      continue;
    }
    in.codes.push_back(dict::NormalizeCodeInput(input));
    const auto problem = dict::CodeInputProblem(in.codes.back());
    if (problem && firstLine == 0) std::fprintf(stderr, "%s: %s\n", Shown(input).c_str(), problem->c_str());
    if (problem && firstLine != 0) {
      std::fprintf(stderr, "行 %zu: %s: %s\n", firstLine + in.codes.size() - 1, Shown(input).c_str(), problem->c_str());
    }
    in.bad.push_back(problem.has_value());
  }
  return in;
}

// For each input its towns and its answer. Returns whether every one was
// found, or the read error (and then the output holds a part to drop).
dict::Result<bool> LookUp(const std::vector<std::string>& inputs, size_t firstLine, const Finder& find,
                          LookupOutput& out) {
  const Inputs in = Normalise(inputs, firstLine);
  bool all = true;
  // The towns of input `next` arrive one by one; it is answered when a
  // later input's town arrives or at the end.
  size_t next = 0, count = 0;
  auto close = [&] {
    const char* status = in.bad[next] ? kInvalid : count == 0 ? kNone : count == 1 ? kFound : kSeveral;
    all = all && count > 0;
    out.Code({inputs[next], in.codes[next], status, count});
    ++next;
    count = 0;
  };
  auto found = find(in.codes, [&](size_t i, const dict::MatchView& town) {
    while (next < i) close();
    out.CodeTown(town);
    ++count;
  });
  if (!found) return found.error();
  while (next < inputs.size()) close();
  return all;
}

// A batch of lines answered from the index. The index is opened at once,
// and the dictionary's prefectures read again only when it fails, to say
// why as before; its own failure is told with the first batch (an empty
// input never meets it).
class Batch {
 public:
  // numbered: the inputs are a file's lines, named by their number.
  Batch(const std::string& path, LookupOutput& out, bool interactive, bool numbered)
      : path_(path), out_(out), interactive_(interactive), numbered_(numbered), built_(dict::CodeIndex::Build(path)) {}
  // False when the dictionary cannot be used at all (and that was said).
  bool Usable() const { return built_.ok() || LoadTable(path_).has_value(); }
  dict::Result<bool> Answer(std::vector<std::string>& lines) {
    if (lines.empty()) return true;
    if (!index_) {
      if (!built_) return built_.error();
      index_ = std::move(*built_);
      NoteSetAside(path_, index_->SetAside());
    }
    auto found = LookUp(lines, numbered_ ? line_ : 0, IndexFinder(*index_), out_);
    line_ += lines.size();
    lines.clear();
    if (!found) return found;
    if (interactive_) {
      out_.Push();
    } else {
      out_.Flush();
    }
    return found;
  }

 private:
  const std::string& path_;
  LookupOutput& out_;
  bool interactive_, numbered_;
  size_t line_ = 1;
  dict::Result<dict::CodeIndex> built_;
  std::optional<dict::CodeIndex> index_;
};

}  // namespace

// Codes as arguments take the same index as a file of them: with the code
// section it costs little more to open than the window's search of one
// code, which walks every city of the code's prefectures.
int LookUpCodes(const std::string& dicPath, const std::vector<std::string>& codes, LookupOutput& out) {
  Batch batch(dicPath, out, false, false);
  if (!batch.Usable()) return 2;
  std::vector<std::string> lines = codes;
  auto found = batch.Answer(lines);
  if (!found) return ReadError(dicPath, found.error());
  return out.Finish(*found ? 0 : 1);
}

int LookUpCodeLines(const std::string& dicPath, int fd, LookupOutput& out, const std::string& encoding) {
  const bool interactive = isatty(fd), sjis = encoding == "sjis";
  Batch batch(dicPath, out, interactive, true);
  if (!batch.Usable()) return 2;
  LineReader input(fd);
  std::vector<std::string> lines;
  lines.reserve(kChunk);
  std::string line;
  bool all = true;
  while (!out.Failed() && input.Next(line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(sjis ? platform::SjisToUtf8(line) : std::move(line));
    // At a terminal each answer comes at once; from a file, in chunks.
    if (lines.size() < (interactive ? 1 : kChunk)) continue;
    auto found = batch.Answer(lines);
    if (!found) return ReadError(dicPath, found.error());
    all = all && *found;
  }
  auto found = batch.Answer(lines);
  if (!found) return ReadError(dicPath, found.error());
  all = all && *found;
  return out.Finish(all ? 0 : 1);
}

}  // namespace kovant::lookup
