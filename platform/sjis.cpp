#include "platform/sjis.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace kovant::platform {
namespace {

// One descriptor per direction and thread: iconv_open is far dearer than a
// conversion of one short name.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts input; on a byte sequence it cannot take, appends bad and skips
  // skip(in) bytes.
  template <typename Skip>
  std::string Run(std::string_view input, std::string_view bad, Skip skip, bool* lossy) {
    std::string out;
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      if (lossy) *lossy = true;
      return out;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    // Through a buffer on the stack: an output sized for the worst case
    // and filled with zeros first cost more than the conversion of a long
    // list (fresh pages, every call).
    out.reserve(input.size() + input.size() / 2 + 16);
    char buffer[16384];
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    while (inLeft > 0) {
      char* dst = buffer;
      size_t outLeft = sizeof buffer;
      const size_t r = iconv(cd_, &in, &inLeft, &dst, &outLeft);
      const int error = errno;  // before append can touch it
      out.append(buffer, static_cast<size_t>(dst - buffer));
      if (r != static_cast<size_t>(-1)) break;
      if (error == E2BIG) continue;
      // EILSEQ or EINVAL (a truncated sequence at the end).
      if (lossy) *lossy = true;
      size_t n = skip(std::string_view(in, inLeft));
      in += n;
      inLeft -= n;
      out.append(bad);
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

size_t Utf8SequenceLength(std::string_view s) {
  unsigned char c = static_cast<unsigned char>(s[0]);
  size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  if (n > s.size()) n = s.size();
  for (size_t i = 1; i < n; ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return i;
  }
  return n;
}

}  // namespace

std::string SjisToUtf8(std::string_view sjis) {
  std::string utf8;
  SjisDecoder::Append(utf8, sjis);
  return utf8;
}

std::vector<std::string> SjisToUtf8Batch(const std::vector<std::string_view>& sjis) {
  std::string joined;
  size_t total = 0;
  for (auto s : sjis) total += s.size() + 1;
  joined.reserve(total);
  // Texts are joined with line feeds; a line feed of their own, or a lead
  // byte that would swallow the separator, would shift every later text,
  // so such bytes go in as "?" (they are broken text anyway).
  for (auto s : sjis) {
    // Whole runs of sound text are copied at once; a batch is thousands of
    // names.
    size_t run = 0;
    for (size_t i = 0; i < s.size(); ++i) {
      const auto c = static_cast<unsigned char>(s[i]);
      if (IsSjisLeadByte(c) && i + 1 < s.size() && s[i + 1] != '\n') {
        ++i;
      } else if (IsSjisLeadByte(c) || c == '\n') {
        joined.append(s.substr(run, i - run));
        joined += '?';
        run = i + 1;
      }
    }
    joined.append(s.substr(run));
    joined += '\n';
  }
  std::string utf8 = SjisToUtf8(joined);
  std::vector<std::string> out;
  out.reserve(sjis.size());
  size_t start = 0;
  for (size_t i = 0; i < sjis.size(); ++i) {
    size_t nl = utf8.find('\n', start);
    if (nl == std::string::npos) nl = utf8.size();
    out.emplace_back(utf8, start, nl - start);
    start = nl + 1 > utf8.size() ? utf8.size() : nl + 1;
  }
  return out;
}

// SjisDecoder::kSingles and kPairs.
#include "platform/cp932table.inc"

void SjisDecoder::Append(std::string& utf8, std::string_view sjis) {
  // Text the table knows character by character needs no converter (a
  // dictionary's header and names always are such text); the rest goes to
  // the converter whole, which decides what its bad bytes become.
  const size_t start = utf8.size();
  utf8.reserve(start + sjis.size() * 3 / 2 + 4);  // two bytes become three
  for (size_t i = 0; i < sjis.size();) {
    const auto c = static_cast<unsigned char>(sjis[i]);
    const std::string_view one = sjis.substr(i, IsSjisLeadByte(c) && i + 1 < sjis.size() ? 2 : 1);
    if (!AppendChar(utf8, one)) {
      utf8.resize(start);
      thread_local Converter conv("UTF-8", "CP932");
      utf8 += conv.Run(
          sjis, "\xEF\xBF\xBD", [](std::string_view) { return size_t{1}; }, nullptr);
      return;
    }
    i += one.size();
  }
}

std::string Utf8ToSjis(std::string_view utf8, bool* lossy) {
  thread_local Converter conv("CP932", "UTF-8");
  if (lossy) *lossy = false;
  return conv.Run(utf8, "?", Utf8SequenceLength, lossy);
}

std::string SjisEncoder::Encode(std::string_view utf8, bool* lossy) {
  if (chars_.empty()) chars_.resize(0x10000);
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    size_t n = 0;
    const char32_t c = DecodeUtf8At(utf8, i, &n);
    // Only the shortest form of a character: iconv refuses the others.
    const size_t shortest = c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
    if (c == U'\uFFFD' || c >= 0x10000 || n != shortest) return Utf8ToSjis(utf8, lossy);
    Char& slot = chars_[c];
    if (slot.length == 0) {
      bool bad = false;
      const std::string sjis = Utf8ToSjis(utf8.substr(i, n), &bad);
      if (bad || sjis.empty() || sjis.size() > sizeof slot.bytes) {
        slot.length = kIrregular;
      } else {
        sjis.copy(slot.bytes, sjis.size());
        slot.length = static_cast<uint8_t>(sjis.size());
      }
    }
    if (slot.length == kIrregular) return Utf8ToSjis(utf8, lossy);
    out.append(slot.bytes, slot.length);
    i += n;
  }
  if (lossy) *lossy = false;
  return out;
}

std::string_view SjisPrefix(std::string_view sjis, std::size_t maxBytes) {
  size_t i = 0;
  while (i < sjis.size()) {
    size_t n = IsSjisLeadByte(static_cast<unsigned char>(sjis[i])) ? 2 : 1;
    if (i + n > maxBytes || i + n > sjis.size()) break;
    i += n;
  }
  return sjis.substr(0, i);
}

}  // namespace kovant::platform
