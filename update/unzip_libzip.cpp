// The first CSV inside a zip archive, through libzip (the Linux build).
#include <zip.h>

#include <algorithm>
#include <cctype>

#include "platform/clock.h"
#include "update/kenall.h"
#include "update/unzip.h"

namespace kovant::tools {
namespace {

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The bytes of one entry, at most maxBytes as inflated, with its own name.
// expected is the size the archive states (0 when it does not): the bytes
// are read into one block that size (up to kZipFirstBlock) rather than
// grown through copies; what stops a bomb is what was really inflated.
Result<InputFile> ReadZipEntry(zip_t* za, zip_uint64_t index, const std::string& path, const std::string& name,
                               size_t expected, size_t maxBytes) {
  zip_file_t* zf = zip_fopen_index(za, index, 0);
  if (!zf) {
    return Error{path + ": " + name + " を展開できません（" + ZipErrorText(zip_error_code_zip(zip_get_error(za))) +
                 "）。"};
  }
  InputFile in;
  in.name = name;
  in.bytes.reserve(std::min(expected, kZipFirstBlock));
  char buf[65536];
  zip_int64_t n;
  while ((n = zip_fread(zf, buf, sizeof buf)) > 0) {
    in.bytes.append(buf, static_cast<size_t>(n));
    if (in.bytes.size() > maxBytes) {
      zip_fclose(zf);
      return Error{ZipTooLargeText(path, name, maxBytes)};
    }
  }
  const int readError = n < 0 ? zip_error_code_zip(zip_file_get_error(zf)) : ZIP_ER_OK;
  zip_fclose(zf);
  if (n < 0) {
    return Error{path + ": " + name + " を展開できません" +
                 (readError != ZIP_ER_OK ? "（" + ZipErrorText(readError) + "）" : std::string()) + "。"};
  }
  return in;
}

}  // namespace

Result<InputFile> ReadZipCsv(const std::string& raw, const std::string& path, const std::string& date,
                             size_t maxBytes) {
  zip_error_t zerr;
  zip_error_init(&zerr);
  zip_source_t* src = zip_source_buffer_create(raw.data(), raw.size(), 0, &zerr);
  if (!src) return Error{path + ": zip を開けません。"};
  zip_t* za = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &zerr);
  if (!za) {
    zip_source_free(src);
    const int code = zip_error_code_zip(&zerr);
    zip_error_fini(&zerr);
    // libzip says "no such entry" when a size of 0xFFFFFFFF points to a
    // 64-bit record that is not there: the archive's own fault.
    if (code == ZIP_ER_NOENT) return Error{path + ": zip が壊れています（大きさの欄が読めません）。"};
    return Error{path + ": zip を開けません（" + ZipErrorText(code) + "）。"};
  }
  zip_error_fini(&zerr);
  zip_int64_t count = zip_get_num_entries(za, 0);
  Result<InputFile> result =
      Error{path + (count <= 0 ? ": zip の中にファイルがありません。" : ": zip の中に CSV がありません。")};
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t zs;
    if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &zs) != 0 || !(zs.valid & ZIP_STAT_NAME)) continue;
    std::string name = zs.name;
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (!EndsWith(lower, ".csv")) continue;
    if ((zs.valid & ZIP_STAT_SIZE) && zs.size > maxBytes) {
      result = Error{ZipTooLargeText(path, name, maxBytes)};
      break;
    }
    result = ReadZipEntry(za, static_cast<zip_uint64_t>(i), path, name,
                          (zs.valid & ZIP_STAT_SIZE) ? static_cast<size_t>(zs.size) : 0, maxBytes);
    if (result) result->date = (zs.valid & ZIP_STAT_MTIME) ? platform::LocalDate(zs.mtime) : date;
    break;
  }
  zip_close(za);
  return result;
}

// libzip's texts are English; the ones a damaged download gives, in Japanese.
std::string ZipErrorText(int code) {
  switch (code) {
    case ZIP_ER_OPEN: return "ファイルを開けません";
    case ZIP_ER_NOZIP: return "zip ではありません";
    case ZIP_ER_INCONS:
    case ZIP_ER_COMPNOTSUPP:
    case ZIP_ER_ZLIB: return "壊れています";
    case ZIP_ER_CRC: return "検査値が合いません";
    case ZIP_ER_NOENT: return "その名前のファイルがありません";
    case ZIP_ER_EOF:
    case ZIP_ER_READ: return "途中で切れています";
    case ZIP_ER_MEMORY: return "メモリーが足りません";
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD: return "暗号化されています";
    default: break;
  }
  // The rarer ones: libzip's own English text, to go by.
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = std::string("zip の処理でエラーが発生しました（") + zip_error_strerror(&error) + "）";
  zip_error_fini(&error);
  return text;
}

}  // namespace kovant::tools
