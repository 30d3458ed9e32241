// Zip archives made in memory, as Japan Post packs its files.
#pragma once

#include <zip.h>

#include <ctime>
#include <string>

namespace kovant::test {

// A zip holding one file, dated when given; stored uncompressed on request,
// so that a test can change its bytes in place.
inline std::string ZipOf(const std::string& name, const std::string& bytes, time_t mtime = 0, bool stored = false) {
  zip_error_t err;
  zip_error_init(&err);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &err);
  zip_source_keep(buffer);
  zip_t* za = zip_open_from_source(buffer, ZIP_TRUNCATE, &err);
  zip_source_t* file = zip_source_buffer(za, bytes.data(), bytes.size(), 0);
  const zip_int64_t index = zip_file_add(za, name.c_str(), file, ZIP_FL_OVERWRITE);
  if (mtime != 0) zip_file_set_mtime(za, static_cast<zip_uint64_t>(index), mtime, 0);
  if (stored) zip_set_file_compression(za, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  zip_close(za);
  zip_source_open(buffer);
  zip_source_seek(buffer, 0, SEEK_END);
  std::string out(static_cast<size_t>(zip_source_tell(buffer)), '\0');
  zip_source_seek(buffer, 0, SEEK_SET);
  zip_source_read(buffer, out.data(), out.size());
  zip_source_close(buffer);
  zip_source_free(buffer);
  return out;
}

}  // namespace kovant::test
