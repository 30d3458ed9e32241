// Spreadsheet files as kovant-lookup --column reads and writes them: CSV
// (RFC 4180) or TSV, read record by record without changing a byte, so every
// row can be written back as it came with columns appended.
#pragma once

#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace kovant::tools {

struct TableRecord {
  std::string raw;                  // the record's bytes, without its line end
  std::string lineEnd;              // "\r\n", "\n", "\r" or "" (the last line)
  std::vector<std::string> fields;  // unquoted; only as many as were asked for
  size_t line = 0;                  // the line it begins on, from 1
  size_t openQuoteLine = 0;         // where a quote the file's end cut off began
};

// Reads a table from a stream one record at a time, holding no more than a
// record and a block of input. Quotes may hold separators and line ends; the
// delimiters are ASCII, so Shift-JIS text (whose trail bytes are never
// below 0x40) splits as safely as UTF-8.
class TableReader {
 public:
  // Only the first fieldsWanted fields of a record are kept: a row of a
  // million empty fields costs no more than its bytes.
  TableReader(std::istream& in, char separator, size_t fieldsWanted, size_t maxRecordBytes);

  // The next bytes, up to n (fewer only at the end), still to be read.
  std::string_view Peek(size_t n);

  enum class Status { Record, End, TooLong, ReadError };
  // The next record. TooLong: it passed maxRecordBytes; its line and
  // openQuoteLine (a quote still open) say where, and reading ends there.
  Status Next(TableRecord& record);

 private:
  bool Fill(size_t n);  // at least n bytes unread, unless the input ends first
  int Get() { return pos_ < buffer_.size() || Fill(1) ? static_cast<unsigned char>(buffer_[pos_++]) : -1; }
  int PeekByte() { return pos_ < buffer_.size() || Fill(1) ? static_cast<unsigned char>(buffer_[pos_]) : -1; }

  std::istream& in_;
  char separator_;
  size_t fieldsWanted_, maxRecordBytes_;
  std::string buffer_;
  size_t pos_ = 0, line_ = 1;
  bool ended_ = false, failed_ = false;
};

// A field as the file format wants it: quoted when it holds the separator,
// a quote or a line end.
std::string TableField(std::string_view field, char separator);

}  // namespace kovant::tools
