#include "lookup/table.h"

#include <algorithm>

namespace kovant::tools {

namespace {
constexpr size_t kBlock = size_t{64} << 10;
}

TableReader::TableReader(std::istream& in, char separator, size_t fieldsWanted, size_t maxRecordBytes)
    : in_(in), separator_(separator), fieldsWanted_(fieldsWanted), maxRecordBytes_(maxRecordBytes) {}

bool TableReader::Fill(size_t n) {
  if (pos_ > 0) {
    buffer_.erase(0, pos_);
    pos_ = 0;
  }
  while (buffer_.size() < n && !ended_) {
    const size_t old = buffer_.size();
    buffer_.resize(old + std::max(kBlock, n - old));
    in_.read(buffer_.data() + old, static_cast<std::streamsize>(buffer_.size() - old));
    buffer_.resize(old + static_cast<size_t>(in_.gcount()));
    if (!in_) {
      ended_ = true;
      failed_ = in_.bad();
    }
  }
  return buffer_.size() >= n;
}

std::string_view TableReader::Peek(size_t n) {
  Fill(n);
  return std::string_view(buffer_).substr(pos_, n);
}

TableReader::Status TableReader::Next(TableRecord& rec) {
  rec.raw.clear();
  rec.lineEnd.clear();
  rec.fields.clear();
  rec.line = line_;
  rec.openQuoteLine = 0;
  if (PeekByte() < 0) return failed_ ? Status::ReadError : Status::End;
  std::string field;
  size_t length = 0, quoteLine = 0;
  bool quoted = false;
  auto keep = [&](int c) {
    if (rec.fields.size() < fieldsWanted_) field += static_cast<char>(c);
    ++length;
  };
  for (int c; (c = Get()) >= 0;) {
    if (quoted) {
      if (c == '"' && PeekByte() == '"') {
        rec.raw += static_cast<char>(Get());
        keep(c);
      } else if (c == '"') {
        quoted = false;
      } else {
        keep(c);
        if (c == '\n' || (c == '\r' && PeekByte() != '\n')) ++line_;
      }
    } else if (c == '"' && length == 0) {
      quoted = true;
      quoteLine = line_;
    } else if (c == separator_) {
      if (rec.fields.size() < fieldsWanted_) rec.fields.push_back(std::move(field));
      field.clear();
      length = 0;
    } else if (c == '\r' || c == '\n') {
      rec.lineEnd = static_cast<char>(c);
      if (c == '\r' && PeekByte() == '\n') rec.lineEnd += static_cast<char>(Get());
      ++line_;
      break;
    } else {
      keep(c);
    }
    rec.raw += static_cast<char>(c);  // all but the line end, which ended the loop
    if (rec.raw.size() > maxRecordBytes_) {
      rec.openQuoteLine = quoted ? quoteLine : 0;
      return Status::TooLong;
    }
  }
  if (rec.fields.size() < fieldsWanted_) rec.fields.push_back(std::move(field));
  if (quoted) rec.openQuoteLine = quoteLine;
  return failed_ ? Status::ReadError : Status::Record;
}

std::string TableField(std::string_view field, char sep) {
  if (field.find_first_of(std::string{sep, '"', '\r', '\n'}) == std::string_view::npos) return std::string(field);
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace kovant::tools
